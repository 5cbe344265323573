#include "quicklook/NSColorOVExtensionAdditions.h"

#include <algorithm>
#include <cmath>

namespace {

double linearised(double component)
{
    const double c = std::clamp(component, 0.0, 1.0);
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

} // namespace

double NSColorOVExtensionAdditions::luminanceValue(const Color& color)
{
    // Our colours are sRGB or grey already; a grey's one component stands for all three.
    const double luminance =
        0.2126 * linearised(color.red) + 0.7152 * linearised(color.green) + 0.0722 * linearised(color.blue);
    return std::round(luminance * 10000.0) / 10000.0;
}

NSColorOVExtensionAdditions::LuminanceType NSColorOVExtensionAdditions::luminanceType(const Color& color)
{
    const double luminance = luminanceValue(color);
    if (luminance >= 0 && luminance <= 0.3)
        return LuminanceDark;
    if (luminance >= 0.7 && luminance <= 1.0)
        return LuminanceLight;
    return LuminanceMedium;
}
