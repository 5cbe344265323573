#pragma once

#include <QRectF>

// The speed slider's geometry: where a value sits along the bar, and the small grey mark that shows
// where the speed is 0 when the slider also runs backwards. Coordinates are the control's own
// (y down); the bar is the groove the style draws.
class OVSliderCell {
public:
    static constexpr double kZeroMarkWidth = 2;
    static constexpr double kZeroMarkCornerRadius = 1;

    struct Geometry {
        QRectF bar;
        double minValue = 0;
        double maxValue = 1;
        bool vertical = false;
        // The knob's extent across the bar.
        double knobThickness = 0;
        // The control's extent across the bar.
        double boundsThickness = 0;
    };

    // The position of value along the bar; the bar's start when the range is empty (no division by
    // a zero width).
    static double coordinateForDoubleValue(const Geometry& geometry, double value);
    // The mark at 0: empty unless the range reaches below 0, or when the mark would have no height.
    static QRectF zeroMarkRect(const Geometry& geometry);
};
