#pragma once

#include "platform/text/Color.h"

// How light a colour looks, for choosing scroller knobs that stay visible on a document's background.
namespace NSColorOVExtensionAdditions {

enum LuminanceType : unsigned { LuminanceDark = 0, LuminanceMedium = 1, LuminanceLight = 2 };

// The relative luminance of the colour in sRGB (components linearised by the sRGB curve), rounded
// to four decimals half away from zero.
double luminanceValue(const Color& color);
// Dark up to 0.3, light from 0.7, medium between.
LuminanceType luminanceType(const Color& color);

} // namespace NSColorOVExtensionAdditions
