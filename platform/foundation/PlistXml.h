#pragma once

#include "platform/foundation/PlistValue.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The platform's XML property-list form, as its settings files and documents hold it.
class PlistXml {
public:
    // Reads with QXmlStreamReader, which fetches no DTD and caps entity expansion; invalid UTF-8,
    // unknown elements, malformed numbers and dates, and nesting too deep are errors.
    static std::optional<PlistValue> read(const QByteArray& data, QString* failureReason);
    // Writes the platform's header, DOCTYPE and tab-indented layout. An archive UID is written as
    // the platform does, a dictionary holding the single key "CF$UID", and read back as a UID.
    static std::optional<QByteArray> write(const PlistValue& value, QString* failureReason);
};
