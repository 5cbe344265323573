#pragma once

// The attribute fix-ups the program puts in place of the text model's own: attachments stay on
// attachment characters only and carry the cells the script's views draw.

#include "platform/text/MutableAttributedString.h"

namespace NSMutableAttributedStringOVAppleBugWorkaroundAdditions {

// Installs the attachment fix-up below for every text of the process; the first call does it, later
// calls change nothing (the program's start makes exactly one).
void toggleFixAttachmentAppleBugWorkaround();
bool isFixAttachmentAppleBugWorkaroundInstalled();
// Clears the attachment attribute from every composed character of range that is not the
// attachment character, whether or not a view shows the text. In a text a view shows, a bookmark
// attachment also gets its bookmark cell, any other attachment with a cell of another kind gets a
// picture cell, and the bookmarks of the range are repaired.
void fixAttachmentAttributeWithAppleBugWorkaroundInRange(MutableAttributedString& string, const Range& range);

// Kept but never installed: the text model's own paragraph-style fix-up is the one in use.
void toggleFixParagraphStyleAppleBugWorkaround();
// Gives each paragraph touched by range one paragraph style across its whole extent: the first found
// in it, or the default style when it has none.
void fixParagraphStyleAttributeWithAppleBugWorkaroundInRange(MutableAttributedString& string,
                                                             const Range& range);

} // namespace NSMutableAttributedStringOVAppleBugWorkaroundAdditions
