#include "platform/hvkit/NSColorHVAdditions.h"

#include <algorithm>
#include <cmath>

namespace NSColorHVAdditions {

namespace {

// Channels closer than this are equal: colours written through 8-bit tables keep their grey.
constexpr double kGrayTolerance = 0.5 / 255.0;
// Halvings of the distance to the target: far below what any display shows.
constexpr int kAdjustmentSteps = 24;

double linear(double component)
{
    const double c = std::clamp(component, 0.0, 1.0);
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double relativeLuminance(const Color& color)
{
    return 0.2126 * linear(color.red) + 0.7152 * linear(color.green) + 0.0722 * linear(color.blue);
}

Color mixed(const Color& from, const Color& to, double fraction)
{
    auto mix = [fraction](double a, double b) { return a + (b - a) * fraction; };
    return Color::rgb(mix(from.red, to.red), mix(from.green, to.green), mix(from.blue, to.blue), from.alpha);
}

} // namespace

Color RGBWhiteColor()
{
    return Color::rgb(1, 1, 1);
}

Color RGBBlackColor()
{
    return Color::rgb(0, 0, 0);
}

bool isGrayscale(const Color& color)
{
    if (color.isGray())
        return true;
    return std::abs(color.red - color.green) <= kGrayTolerance &&
           std::abs(color.green - color.blue) <= kGrayTolerance;
}

double contrastRatio(const Color& color, const Color& other)
{
    const double a = relativeLuminance(color);
    const double b = relativeLuminance(other);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

bool isContrastReadableWithColor(const Color& color, const Color& background, double minimumRatio)
{
    return contrastRatio(color, background) >= minimumRatio;
}

Color colorAdjustedToBeReadableOn(const Color& color, const Color& background, double minimumRatio)
{
    if (isContrastReadableWithColor(color, background, minimumRatio))
        return color;
    // The far end of the scale from the background gives the most contrast there is.
    const Color target = relativeLuminance(background) > 0.18 ? RGBBlackColor() : RGBWhiteColor();
    double low = 0;
    double high = 1;
    for (int step = 0; step < kAdjustmentSteps; ++step) {
        const double middle = (low + high) / 2;
        if (isContrastReadableWithColor(mixed(color, target, middle), background, minimumRatio))
            high = middle;
        else
            low = middle;
    }
    return mixed(color, target, high);
}

Color inverseColor(const Color& color)
{
    auto turned = [](double component) { return 1.0 - std::clamp(component, 0.0, 1.0); };
    if (color.isGray())
        return Color::gray(turned(color.white()), color.alpha);
    return Color::rgb(turned(color.red), turned(color.green), turned(color.blue), color.alpha);
}

bool isEqualToColor(const Color& color, const Color& other, double tolerance)
{
    const double limit = std::max(0.0, tolerance);
    return std::abs(color.red - other.red) <= limit && std::abs(color.green - other.green) <= limit &&
           std::abs(color.blue - other.blue) <= limit && std::abs(color.alpha - other.alpha) <= limit;
}

} // namespace NSColorHVAdditions
