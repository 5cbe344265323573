#pragma once

#include "platform/foundation/ArchiveValue.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/PlistValue.h"

#include <QSet>
#include <QString>

#include <optional>

// The platform's code for a coder that met data it cannot read.
inline constexpr qint64 kCoderReadCorruptError = 4864;

// Reads keyed archives written by KeyedArchiver or by the platform, treating them as untrusted.
//
// Only classes named in the allow-list are read; strings, numbers and data stored as they are
// need no entry. The system's own classes come back as ArchiveObject values; arrays, dictionaries
// (with string keys), dates, colours and the mutable string and data forms come back as the
// matching ArchiveValue. Colours are read in the RGB and white spaces (1 to 4) and, for a named
// catalogue colour, as the plain colour archived with it. Anything else fails with an Error in the Cocoa
// domain, code kCoderReadCorruptError, whose failure reason says what was wrong: a class outside the
// allow-list, a reference past the object table, an object that contains itself, a value of the
// wrong type, or an archive past one of the limits below. Reading never crashes, and its time
// and memory are bounded by the limits whatever the input.
class KeyedUnarchiver {
public:
    // Entries of the object table.
    static constexpr qsizetype kMaxObjects = 100000;
    // Objects inside objects, the root being at depth 1.
    static constexpr int kMaxDepth = 512;
    // Work done while reading: one for each reference followed and one for each key of each object
    // entry read, counted again each time an entry is reached, so that shared references cannot
    // multiply into an exponential tree.
    static constexpr qsizetype kMaxDecodedValues = 262144;

    // Arrays, dictionaries, strings, numbers, data and dates in their immutable and mutable forms:
    // enough for an archive of a plain property list.
    static const QSet<QString>& propertyListClasses();

    // The root object of an archive in either property-list form (the platform writes binary). A
    // nil root reads as nil. Data that are no property list fail with kCoderReadCorruptError too.
    static std::optional<ArchiveValue>
    unarchivedRootObject(const QByteArray& data, const QSet<QString>& allowedClasses, Error* error);
    // The same for an archive already read as a property-list tree.
    static std::optional<ArchiveValue>
    unarchivedRootObjectFromPropertyList(const PlistValue& archive, const QSet<QString>& allowedClasses,
                                         Error* error);
};
