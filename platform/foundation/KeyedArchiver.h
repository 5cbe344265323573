#pragma once

#include "platform/foundation/ArchiveValue.h"
#include "platform/foundation/PlistValue.h"

// Writes keyed archives in the platform's structure: a dictionary holding "$archiver"
// ("NSKeyedArchiver"), "$objects" (the object table, "$null" first), "$top" ({"root": UID}) and
// "$version" (100000).
//
// Objects are numbered in the order they are first met, depth first, an object before what it
// holds; a class entry ({"$classname", "$classes"}) follows the first object of its class and is
// shared by every later one. Equal strings, numbers and data are stored once, and so is a shared
// object of the system's classes encoded twice. An object's entry lists its keys in the order
// they were encoded, "$class" last. The output is therefore a function of the value alone: equal
// values give equal archives.
class KeyedArchiver {
public:
    static constexpr qint64 kArchiveVersion = 100000;

    // The archive in the binary property-list form, as the platform writes archives.
    static QByteArray archivedData(const ArchiveValue& rootObject);
    // The archive as a property-list tree.
    static PlistValue archivedPropertyList(const ArchiveValue& rootObject);
};
