#pragma once

#include <QString>
#include <QVariant>

#include <optional>

// Reads a loosely written setting or feed value as a boolean: "YES", "true", "1" and "on" are
// true, "NO", "false", "0" and "off" false, in any case; numbers are true when not 0.
// Anything else has no boolean meaning.
class HVInterpretedString {
public:
    static std::optional<bool> boolValue(const QVariant& value);
};
