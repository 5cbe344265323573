#pragma once

// Colour contrast and adjustment helpers that the exports and the editor share.

#include "platform/text/Color.h"

// The contrast ratio at which text counts as readable on its background: the figure for large text,
// which scripts are, and the one the prompter's own views judge their colours by.
inline constexpr double HVColorContrastRatioReadable = 3.0;

// Colour tests and adjustments the exports and the editor share; contrast is the relative-luminance
// ratio of sRGB colours, alpha left out.
namespace NSColorHVAdditions {

Color RGBWhiteColor();
Color RGBBlackColor();
// A grey: a colour of the grey space, or an RGB colour whose three channels are (nearly) equal.
bool isGrayscale(const Color& color);
double contrastRatio(const Color& color, const Color& other);
bool isContrastReadableWithColor(const Color& color, const Color& background, double minimumRatio);
// color moved toward black (on a light background) or white (on a dark one) just far enough to reach
// minimumRatio, its alpha kept; color itself when it already does.
Color colorAdjustedToBeReadableOn(const Color& color, const Color& background, double minimumRatio);
// Each channel turned around (1 - c, cut to 0...1), alpha kept; a grey stays in the grey space. The
// inverse of the inverse is the colour again wherever the channels are exact in binary, as 8-bit
// channels of 128 and above are.
Color inverseColor(const Color& color);
// Channels and alpha each within tolerance of the other's, whatever space either is in.
bool isEqualToColor(const Color& color, const Color& other, double tolerance);

} // namespace NSColorHVAdditions
