#pragma once

// Bookmark and atom attachments found in a text, and the one shared invisible atom.

#include "platform/foundation/Error.h"
#include "platform/text/AttributedString.h"

#include <QByteArray>

#include <functional>
#include <optional>
#include <vector>

// Range queries over the attachment kinds, and the one shared atom string.
namespace NSAttributedStringOVBookmarkAdditions {

enum class AttachmentType { Any = 0, Image = 1, Bookmark = 2, Atom = 3 };

// Answers the bytes of the atom picture ("Atom.tiff"), or nothing with an error.
using AtomResourceLoader = std::function<std::optional<QByteArray>(Error* error)>;

// One atom attachment character, made once per process; every atom so made shares one file name.
// Nothing, from then on, when the picture cannot be read.
std::optional<AttributedString> atomAttributedString();
// Replaces where the atom picture comes from (an empty loader puts back the built-in one) and
// forgets the atom made so far.
void setAtomResourceLoader(AtomResourceLoader loader);

// Ranges of attachment characters of a kind, in text order; nothing (never an empty list) when none.
std::optional<std::vector<Range>> bookmarkCharacterRanges(const AttributedString& string);
std::optional<std::vector<Range>> atomCharacterRanges(const AttributedString& string);
std::optional<std::vector<Range>> anyAttachmentCharacterRangesInRange(const AttributedString& string,
                                                                      const Range& range);
std::optional<std::vector<Range>> imageCharacterRangesInRange(const AttributedString& string,
                                                              const Range& range);
std::optional<std::vector<Range>> bookmarkCharacterRangesInRange(const AttributedString& string,
                                                                 const Range& range);
std::optional<std::vector<Range>> atomCharacterRangesInRange(const AttributedString& string,
                                                             const Range& range);
bool containsAnyAttachmentInRange(const AttributedString& string, const Range& range);
bool containsImageAttachmentInRange(const AttributedString& string, const Range& range);
bool containsBookmarkAttachmentInRange(const AttributedString& string, const Range& range);
bool containsAtomAttachmentInRange(const AttributedString& string, const Range& range);

// The worker of the queries; with containsSearchOnly it stops at the first match and sets the flag.
std::optional<std::vector<Range>> _characterRangesForAttachmentType(const AttributedString& string,
                                                                    AttachmentType type, const Range& range,
                                                                    bool* containsSearchOnly);
bool _containsAttachmentType(const AttributedString& string, AttachmentType type, const Range& range);

} // namespace NSAttributedStringOVBookmarkAdditions
