#pragma once

#include "platform/text/MutableAttributedString.h"

#include <vector>

// Text size scaling and paragraph-indent normalisation of a text in place, for the editor's size
// commands, the talent output's magnification and documents read with odd indents. Attachments
// keep their size: a picture is not text. These belong with the bookmark additions of the same name
// in the text layer and live here, below the views, so every layer can use them without a display.
namespace NSMutableAttributedStringOVBookmarkAdditions {

// The smallest size scaling may leave a font at.
inline constexpr double kMinimumFontSize = 1.0;

// Whether old × factor + size is no change at all.
bool isTextSizeChangeNoOp(double factor, double size);

// Sets each font's point size to old × factor + size. A change that would take any font below
// kMinimumFontSize or beyond a finite size, or a factor that is not a positive number, is refused as
// a whole. Answers whether the text changed; a no-op, a refusal and text without fonts open no edit.
bool adjustTextSizeByFactor(MutableAttributedString& string, double factor, double size);
bool adjustTextSizeByFactor(MutableAttributedString& string, double factor, double size,
                            const std::vector<Range>& inRanges);

// The smallest point size of the fonts outside attachments; the largest double when there is none,
// so that a text without fonts is never too small to grow.
double smallestAvailableFontSize(const AttributedString& string);
double smallestAvailableFontSizeInRanges(const AttributedString& string, const std::vector<Range>& ranges);

// ranges without the characters that carry an attachment.
std::vector<Range> _rangeValueArrayIgnoringAttachments(const AttributedString& string,
                                                       const std::vector<Range>& ranges);

// Gives each paragraph whose first paragraph style has other than the default indents a copy of that
// style with the default indents, over the part of the paragraph within range only. A range reaching
// outside the text does nothing.
void normalizeParagraphIndents(MutableAttributedString& string);
void normalizeParagraphIndentsInRange(MutableAttributedString& string, const Range& range);

} // namespace NSMutableAttributedStringOVBookmarkAdditions
