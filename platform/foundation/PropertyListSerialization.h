#pragma once

#include "platform/foundation/Error.h"
#include "platform/foundation/PlistValue.h"

#include <QByteArray>

#include <optional>

// Failures are reported in the Cocoa domain with the platform's property-list codes, so a document
// reader can wrap them as the underlying error of its own kFileReadCorruptFileError. The failure
// reason says what was wrong and, for binary input, where.
inline constexpr qint64 kPropertyListReadCorruptError = 3840;
inline constexpr qint64 kPropertyListWriteInvalidError = 3851;

// Nesting deeper than this is refused by both readers, and by the writers, so that what we write
// we can read back.
inline constexpr int kPropertyListMaximumDepth = 512;

// Turns property-list values into bytes and back, in the platform's XML form (the one written to
// settings files and readable by people) or its binary form ("bplist00", smaller and faster).
class PropertyListSerialization {
public:
    enum class Format { Xml, Binary };

    // Reads either form, telling them apart by their first bytes; format, when given, receives the
    // form that was read. Hostile input answers an empty optional and an error, never a crash.
    static std::optional<PlistValue> propertyListWithData(const QByteArray& data, Format* format = nullptr,
                                                          Error* error = nullptr);

    // Writes value in the given form. Fails (empty optional) for a null value anywhere in the tree,
    // nesting deeper than kPropertyListMaximumDepth, or, in XML, strings XML 1.0 cannot hold
    // (control characters, unpaired surrogates).
    static std::optional<QByteArray> dataWithPropertyList(const PlistValue& value, Format format,
                                                          Error* error = nullptr);

    // The form data is in, judged by its first bytes only; empty when it is neither.
    static std::optional<Format> detectFormat(const QByteArray& data);
};
