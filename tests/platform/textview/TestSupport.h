#pragma once

#include <QString>

#include <ostream>

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& string, std::ostream* out)
{
    *out << '"' << string.toStdString() << '"';
}
