#pragma once

#include "window/OVSliderCell.h"

#include <QSlider>

// The speed slider: a slider of double values (over an integer scale of tenths, the finest step
// the speed takes), with a grey mark at 0 when its range reaches below 0, so the operator sees where
// the prompter stops and turns round.
class OVSlider : public QSlider {
public:
    // Steps per unit of value.
    static constexpr double kScale = 10.0;

    explicit OVSlider(Qt::Orientation orientation = Qt::Horizontal, QWidget* parent = nullptr);

    double minDoubleValue() const { return minimum() / kScale; }
    double maxDoubleValue() const { return maximum() / kScale; }
    void setDoubleRange(double minimum, double maximum);
    double doubleValue() const { return value() / kScale; }
    void setDoubleValue(double value);
    static int positionForValue(double value);

    // The slider's geometry as the style lays it out now.
    OVSliderCell::Geometry cellGeometry() const;
    // Where the zero mark is drawn; empty when none is.
    QRectF zeroMarkRect() const { return OVSliderCell::zeroMarkRect(cellGeometry()); }

protected:
    void paintEvent(QPaintEvent* event) override;
};
