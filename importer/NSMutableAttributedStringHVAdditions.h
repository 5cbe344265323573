#pragma once

#include "platform/text/MutableAttributedString.h"

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

// string with every attribute of the receiver at index (the last character when index is the
// length) added over its whole range, except attributes string carries anywhere and the attachment.
MutableAttributedString _attributedString(const AttributedString& receiver, const AttributedString& string,
                                          qsizetype preservingAttributesAtIndex);

} // namespace NSMutableAttributedStringHVAdditions
