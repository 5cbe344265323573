#pragma once

#include "platform/text/Color.h"
#include "platform/text/MutableAttributedString.h"

#include <functional>
#include <optional>
#include <vector>

// Colour inversion of a text in place: only the greys (black, white and the shades between, so
// coloured words keep their colour) or every colour. Scripts are written dark on light and prompted
// light on dark; the editor inverts the document's text, the talent output its own copy. These
// belong with the bookmark additions of the same name in the text layer and live here, below the
// views, so that every layer can use them without a display.
namespace NSMutableAttributedStringOVBookmarkAdditions {

// The colour attributes, in the order they are inverted.
const std::vector<QString>& colorAttributeNames();

bool invertsBlackAndWhiteOnlyByDefault();
// The default, reversed while the Alt (Option) key is held.
bool invertsBlackAndWhiteOnly();
// Answers whether Alt is held; the program installs one, without it Alt counts as up.
void setOptionKeyDownProvider(std::function<bool()> provider);

void invertColors(MutableAttributedString& string);
void invertColorsIgnoringModifiers(MutableAttributedString& string);
void invertColorsIgnoringModifiersInRange(MutableAttributedString& string, const Range& range);
void invertAllColors(MutableAttributedString& string);
void invertBlackAndWhiteOnly(MutableAttributedString& string);
void _invertColors(MutableAttributedString& string, bool blackAndWhiteOnly);
// Text in the range without a colour of its own takes black, the colour it is drawn in, so that an
// inversion after it turns it white.
void blackenUncolouredText(MutableAttributedString& string, const Range& range);
void _invertColors(MutableAttributedString& string, bool blackAndWhiteOnly, const Range& range);

// Inverts ranges (the whole text when there are none). Given ranges and a view background, it is a
// selection being inverted as one block: text without a highlight first takes the background as
// its highlight, and highlights that end up equal to the background are dropped again.
void invertBlackAndWhiteOnly(MutableAttributedString& string, bool blackAndWhiteOnly,
                             const std::vector<Range>& ranges,
                             const std::optional<Color>& viewBackgroundColor);

} // namespace NSMutableAttributedStringOVBookmarkAdditions
