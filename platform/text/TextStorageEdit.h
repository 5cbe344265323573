#pragma once

#include "platform/foundation/Range.h"

// What an edit changed, as the edited mask reports it.
enum TextStorageEditActions : unsigned {
    TextStorageEditedAttributes = 1,
    TextStorageEditedCharacters = 2,
};

// One processed edit as observers see it: what changed, the range it covers in the text after the
// edit, and by how much the text grew (negative when it shrank).
struct TextStorageEdit {
    unsigned editedMask = 0;
    Range editedRange{kNotFound, 0};
    qsizetype changeInLength = 0;

    bool operator==(const TextStorageEdit&) const = default;
};
