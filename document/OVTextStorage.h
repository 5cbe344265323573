#pragma once

#include "platform/text/TextStorage.h"

// A plain text storage for the script's views. The text model's storage already keeps its characters
// and runs in one attributed string of its own and reports every change of characters (with its
// change in length) and of attributes (with none) as an edit; this class adds that attributes are
// fixed as each edit is processed, never lazily.
class OVTextStorage : public TextStorage {
public:
    using TextStorage::TextStorage;
    OVTextStorage() = default;

    bool fixesAttributesLazily() const { return false; }
};
