#include "platform/appkit/Scroller.h"

#include "platform/appkit/AppKitLog.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/RectFunctions.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
constexpr double kLegacyWidth = 15.0;
constexpr double kOverlayWidth = 11.0;
constexpr double kMinimumKnobLength = 20.0;
constexpr double kKnobInset = 2.0;
} // namespace

double Scroller::scrollerWidth(Style style)
{
    return style == Style::Legacy ? kLegacyWidth : kOverlayWidth;
}

Scroller::Scroller(Orientation orientation, const Rect& frame) : View(frame), m_orientation(orientation) {}

void Scroller::setStyle(Style style)
{
    m_style = style;
    setNeedsDisplay(true);
}

void Scroller::setDoubleValue(double value)
{
    if (!std::isfinite(value)) {
        qCWarning(lcAppKit) << "Scroller: refusing value" << value;
        return;
    }
    value = std::clamp(value, 0.0, 1.0);
    if (value == m_value)
        return;
    changeKnob([&] { m_value = value; });
}

void Scroller::setKnobProportion(double proportion)
{
    if (!std::isfinite(proportion)) {
        qCWarning(lcAppKit) << "Scroller: refusing knob proportion" << proportion;
        return;
    }
    proportion = std::clamp(proportion, 0.0, 1.0);
    if (proportion == m_knobProportion)
        return;
    changeKnob([&] { m_knobProportion = proportion; });
}

Rect Scroller::drawnRect() const
{
    if (m_style == Style::Legacy)
        return bounds();
    // The knob's rounded edge is smoothed into the pixels around it.
    const Rect knob = knobRect();
    return knob.isEmpty() ? knob : knob.insetBy(-1, -1).intersection(bounds());
}

void Scroller::changeKnob(const std::function<void()>& change)
{
    // Out of a window nothing is drawn: the mark alone says the view needs drawing.
    if (!window()) {
        change();
        setNeedsDisplay(true);
        return;
    }
    const Rect before = drawnRect();
    change();
    const Rect after = drawnRect();
    if (after == before)
        return;
    // A prompter moves the knob a little at every tick: only where it was and where it is change,
    // not the whole length of the track over the text.
    setNeedsDisplayInRect(before.united(after));
}

void Scroller::setEnabled(bool enabled)
{
    m_enabled = enabled;
    setNeedsDisplay(true);
}

void Scroller::setKnobTrackingHandlers(Handler willBegin, Handler didFinish)
{
    m_willBeginTracking = std::move(willBegin);
    m_didFinishTracking = std::move(didFinish);
}

double Scroller::trackLength() const
{
    const Size size = bounds().size;
    return std::max(0.0,
                    (m_orientation == Orientation::Vertical ? size.height : size.width) - 2 * kKnobInset);
}

double Scroller::knobLength() const
{
    const double track = trackLength();
    return std::min(track, std::max(kMinimumKnobLength, track * m_knobProportion));
}

Rect Scroller::knobRect() const
{
    if (!m_enabled || m_knobProportion >= 1.0)
        return {};
    const double track = trackLength();
    const double length = knobLength();
    const double offset = kKnobInset + (track - length) * m_value;
    const Rect b = bounds();
    if (m_orientation == Orientation::Vertical)
        return {{b.origin.x + kKnobInset, b.origin.y + offset},
                {std::max(0.0, b.size.width - 2 * kKnobInset), length}};
    return {{b.origin.x + offset, b.origin.y + kKnobInset},
            {length, std::max(0.0, b.size.height - 2 * kKnobInset)}};
}

void Scroller::setKnobStyle(KnobStyle style)
{
    if (style == m_knobStyle)
        return;
    m_knobStyle = style;
    setNeedsDisplay(true);
}

void Scroller::drawRect(QPainter& painter, const Rect&)
{
    const bool light = m_knobStyle == KnobStyle::Light;
    if (m_style == Style::Legacy)
        painter.fillRect(toQRectF(bounds()), light ? QColor(45, 45, 45) : QColor(240, 240, 240));
    const Rect knob = knobRect();
    if (knob.isEmpty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const int alpha = m_tracking ? 160 : 110;
    painter.setBrush(light ? QColor(255, 255, 255, alpha + 30) : QColor(0, 0, 0, alpha));
    const double radius = std::min(knob.size.width, knob.size.height) / 2;
    painter.drawRoundedRect(toQRectF(knob), radius, radius);
    painter.restore();
}

View* Scroller::hitTest(const Point& pointInSuperview)
{
    return m_enabled ? View::hitTest(pointInSuperview) : nullptr;
}

double Scroller::positionAlongTrack(const Event& event) const
{
    const Point local = convertPointFromView(event.locationInWindow, nullptr);
    return m_orientation == Orientation::Vertical ? local.y : local.x;
}

void Scroller::mouseDown(Event& event)
{
    const Point local = convertPointFromView(event.locationInWindow, nullptr);
    const Rect knob = knobRect();
    if (knob.isEmpty())
        return;
    if (!knob.contains(local)) {
        // A click in the track jumps the knob's centre there, then drags from it.
        const double travel = trackLength() - knobLength();
        const double centre = positionAlongTrack(event) - kKnobInset - knobLength() / 2;
        if (travel > 0) {
            setDoubleValue(centre / travel);
            if (m_valueChanged)
                m_valueChanged(*this);
        }
    }
    trackKnob(event);
}

void Scroller::trackKnob(Event& event)
{
    const Rect knob = knobRect();
    const double knobStart = m_orientation == Orientation::Vertical ? knob.origin.y : knob.origin.x;
    m_dragOffset = positionAlongTrack(event) - knobStart;
    m_tracking = true;
    if (m_willBeginTracking)
        m_willBeginTracking(*this);
    setNeedsDisplay(true);
}

void Scroller::mouseDragged(Event& event)
{
    if (!m_tracking)
        return;
    const double travel = trackLength() - knobLength();
    if (travel <= 0)
        return;
    const double knobStart = positionAlongTrack(event) - m_dragOffset;
    const double old = m_value;
    setDoubleValue((knobStart - kKnobInset) / travel);
    if (m_value != old && m_valueChanged)
        m_valueChanged(*this);
}

void Scroller::mouseUp(Event&)
{
    if (!m_tracking)
        return;
    m_tracking = false;
    setNeedsDisplay(true);
    if (m_didFinishTracking)
        m_didFinishTracking(*this);
}
