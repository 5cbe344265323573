#pragma once

#include "platform/foundation/PlistValue.h"

#include <optional>

// The line at the top of the prompter, kept in the package beside "scrollbarPosition": that share of
// the text's height only names the same line again once the whole text is laid out, while the line's
// first character lets a script open at its place with the text above it still unlaid. It is written
// with the share it was taken with, so that a file whose position a program not knowing the anchor
// changed later is recognised and opened by the share instead.
struct OVScrollbarAnchor {
    // The first character of the line at the top, in the saved text.
    qint64 characterIndex = 0;
    // How far below that line's top the view's top is.
    double lineOffset = 0;
    // The "scrollbarPosition" written with it.
    double scrollbarPosition = 0;

    PlistValue propertyListValue() const;
    // The anchor a file holds, when it is whole and still names the position the file has: a
    // dictionary of numbers in range, its index within a text of length characters, its share the
    // file's own. Anything else is absent, so the caller restores by the share.
    static std::optional<OVScrollbarAnchor>
    fromPropertyList(const PlistValue& value, std::optional<double> scrollbarPosition, qint64 length);
};
