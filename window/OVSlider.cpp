#include "window/OVSlider.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QStyleOptionSlider>

#include <cmath>
#include <limits>

OVSlider::OVSlider(Qt::Orientation orientation, QWidget* parent) : QSlider(orientation, parent) {}

int OVSlider::positionForValue(double value)
{
    if (!std::isfinite(value))
        return 0;
    const double scaled = std::round(value * kScale);
    constexpr double limit = std::numeric_limits<int>::max() / 2;
    return int(std::clamp(scaled, -limit, limit));
}

void OVSlider::setDoubleRange(double minimum, double maximum)
{
    setRange(positionForValue(minimum), positionForValue(maximum));
}

void OVSlider::setDoubleValue(double value)
{
    setValue(positionForValue(value));
}

OVSliderCell::Geometry OVSlider::cellGeometry() const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    OVSliderCell::Geometry geometry;
    geometry.bar = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect knob = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    geometry.vertical = orientation() == Qt::Vertical;
    geometry.knobThickness = geometry.vertical ? knob.width() : knob.height();
    geometry.boundsThickness = geometry.vertical ? width() : height();
    geometry.minValue = minDoubleValue();
    geometry.maxValue = maxDoubleValue();
    return geometry;
}

void OVSlider::paintEvent(QPaintEvent*)
{
    // The mark lies on the bar, under the knob: groove, mark, then knob.
    QPainter painter(this);
    QStyleOptionSlider option;
    initStyleOption(&option);
    option.subControls = QStyle::SC_SliderGroove;
    if (tickPosition() != NoTicks)
        option.subControls |= QStyle::SC_SliderTickmarks;
    style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);
    const QRectF mark = zeroMarkRect();
    if (!mark.isEmpty()) {
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.addRoundedRect(mark, OVSliderCell::kZeroMarkCornerRadius, OVSliderCell::kZeroMarkCornerRadius);
        painter.fillPath(path, QColor(128, 128, 128));
        painter.restore();
    }
    option.subControls = QStyle::SC_SliderHandle;
    style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);
}
