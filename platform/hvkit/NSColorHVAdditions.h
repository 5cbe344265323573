#pragma once

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

} // namespace NSColorHVAdditions
