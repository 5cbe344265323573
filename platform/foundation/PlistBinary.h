#pragma once

#include "platform/foundation/PlistValue.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The platform's binary property-list form ("bplist00"): a header, the objects, a table of their
// offsets and a trailer saying where the table is and how wide its entries are.
class PlistBinary {
public:
    // Nothing is trusted: offsets, counts and references are checked against the input, cycles and
    // deep nesting are refused, and the values built are bounded by the size of the input.
    static std::optional<PlistValue> read(const QByteArray& data, QString* failureReason);
    // Deterministic output: strings, numbers, dates, data and UIDs are written once however often
    // they occur; containers are written where they occur.
    static std::optional<QByteArray> write(const PlistValue& value, QString* failureReason);

    static bool hasMagic(const QByteArray& data);
};
