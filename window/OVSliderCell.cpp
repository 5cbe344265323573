#include "window/OVSliderCell.h"

#include <algorithm>
#include <cmath>

namespace {

bool isOdd(double value)
{
    return std::llround(value) % 2 != 0;
}

} // namespace

double OVSliderCell::coordinateForDoubleValue(const Geometry& geometry, double value)
{
    const double start = geometry.vertical ? geometry.bar.y() : geometry.bar.x();
    const double length = geometry.vertical ? geometry.bar.height() : geometry.bar.width();
    const double span = geometry.maxValue - geometry.minValue;
    if (span == 0 || !std::isfinite(span) || !std::isfinite(value))
        return start;
    return start + length * (value - geometry.minValue) / span;
}

QRectF OVSliderCell::zeroMarkRect(const Geometry& geometry)
{
    if (!(geometry.minValue < 0) || geometry.bar.isEmpty())
        return {};
    const double thickness = geometry.vertical ? geometry.bar.width() : geometry.bar.height();
    // std::round rounds halves away from zero.
    double height = std::round(std::min(3.5 * thickness, geometry.knobThickness - 3)) - 4;
    if (isOdd(std::round(thickness)) != isOdd(height))
        height -= 1;
    if (isOdd(std::round(geometry.boundsThickness - height)))
        height -= 1;
    // A knob too small for a mark leaves none, rather than one of negative height.
    if (height <= 0)
        return {};
    const double along = coordinateForDoubleValue(geometry, 0) - kZeroMarkWidth / 2;
    QRectF mark;
    if (geometry.vertical)
        mark = QRectF(geometry.bar.center().x() - height / 2, along, height, kZeroMarkWidth);
    else
        mark = QRectF(along, geometry.bar.center().y() - height / 2, kZeroMarkWidth, height);
    // Whole pixels on every edge, so the mark stays crisp.
    const double left = std::round(mark.left());
    const double top = std::round(mark.top());
    return QRectF(left, top, std::round(mark.right()) - left, std::round(mark.bottom()) - top);
}
