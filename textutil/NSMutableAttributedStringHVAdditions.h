#pragma once

// Style-keeping insertion and line-ending repair of a text in place.

#include "platform/text/MutableAttributedString.h"

#include <vector>

// Insertion that can carry over the attributes around the insertion point, so text pasted or typed
// into a styled script takes its style. With preserveExistingAttributes false each is the plain
// operation. Each refuses (returns false, changes nothing) an index or range outside the receiver.
namespace NSMutableAttributedStringHVAdditions {

bool insertAttributedString(MutableAttributedString& receiver, const AttributedString& string,
                            qsizetype atIndex, bool preserveExistingAttributes);
bool replaceCharactersInRange(MutableAttributedString& receiver, const Range& range,
                              const AttributedString& string, bool preserveExistingAttributes);
void appendAttributedString(MutableAttributedString& receiver, const AttributedString& string,
                            bool preserveExistingAttributes);

// Ends every line in range with "\n": a CR LF pair becomes its LF, a lone CR a LF with the CR's
// attributes. adjustCharacterRanges, when given, move to where they lie in the unified text.
void unifyLineEndingsInRange(MutableAttributedString& receiver, const Range& range,
                             std::vector<Range>* adjustCharacterRanges = nullptr);
void unifyLineEndings(MutableAttributedString& receiver);

// string with every attribute of the receiver at index (the last character when index is the
// length) added over its whole range, except attributes string carries anywhere and the attachment.
MutableAttributedString _attributedString(const AttributedString& receiver, const AttributedString& string,
                                          qsizetype preservingAttributesAtIndex);

} // namespace NSMutableAttributedStringHVAdditions
