#pragma once

#include "platform/appkit/View.h"

#include <functional>

// A scroll bar: a knob whose position (0 to 1) and proportion mirror the clip view, dragged by the
// user. Drawn by us so it can float over content (overlay style) or take its own strip (legacy).
class Scroller : public View {
public:
    enum class Orientation { Vertical, Horizontal };
    enum class Style { Legacy, Overlay };
    // A dark knob for a light page, a light one for a dark page.
    enum class KnobStyle { Dark, Light };
    using Handler = std::function<void(Scroller& scroller)>;

    // The width of a scroller strip of the given style.
    static double scrollerWidth(Style style);

    explicit Scroller(Orientation orientation, const Rect& frame = {});

    Orientation orientation() const { return m_orientation; }
    Style style() const { return m_style; }
    void setStyle(Style style);
    KnobStyle knobStyle() const { return m_knobStyle; }
    void setKnobStyle(KnobStyle style);

    // 0 at the top (or left) of the document, 1 at the bottom (or right). Values that are not finite are
    // refused; others are clamped.
    double doubleValue() const { return m_value; }
    void setDoubleValue(double value);
    double knobProportion() const { return m_knobProportion; }
    void setKnobProportion(double proportion);
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);

    // In bounds coordinates (flipped: y grows downward).
    Rect knobRect() const;
    bool isTrackingKnob() const { return m_tracking; }

    // Heard when the user moves the knob, and when a knob drag begins and ends.
    void setValueChangedHandler(Handler handler) { m_valueChanged = std::move(handler); }
    void setKnobTrackingHandlers(Handler willBegin, Handler didFinish);

    bool isFlipped() const override { return true; }
    void drawRect(QPainter& painter, const Rect& dirtyRect) override;
    // An overlay scroller draws its knob alone, over the content.
    Rect drawnRect() const override;
    View* hitTest(const Point& pointInSuperview) override;
    void mouseDown(Event& event) override;
    void mouseDragged(Event& event) override;
    void mouseUp(Event& event) override;

protected:
    // Starts a knob drag from the event; subclasses add behaviour around it.
    virtual void trackKnob(Event& event);

private:
    // Makes the change to the knob and marks for drawing what it touches.
    void changeKnob(const std::function<void()>& change);
    double trackLength() const;
    double knobLength() const;
    double positionAlongTrack(const Event& event) const;

    Orientation m_orientation;
    Style m_style = Style::Overlay;
    KnobStyle m_knobStyle = KnobStyle::Dark;
    double m_value = 0;
    double m_knobProportion = 1;
    bool m_enabled = true;
    bool m_tracking = false;
    double m_dragOffset = 0;
    Handler m_valueChanged;
    Handler m_willBeginTracking;
    Handler m_didFinishTracking;
};
