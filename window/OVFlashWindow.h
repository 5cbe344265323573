#pragma once

#include "platform/appkit/View.h"

#include <QColor>

#include <functional>
#include <memory>

// A flash over part of a window: it shows a colour at once and fades it out, then takes itself off
// the window. It is a frameless overlay inside the window rather than a window of its own, since
// X11 window managers stack and decorate extra top-level windows as they please. It never takes
// clicks or the keyboard.
class OVFlashWindow : public View {
public:
    using Callback = std::function<void(OVFlashWindow& window)>;

    static constexpr double kDefaultIntensity = 0.5;
    static constexpr double kDefaultDuration = 0.45;

    // A new flash overlay of {0, 0, 640, 480}, not yet on a window.
    static std::unique_ptr<OVFlashWindow> window();

    explicit OVFlashWindow(const Rect& frame);
    ~OVFlashWindow() override;

    const QColor& flashColor() const { return m_flashColor; }
    void setFlashColor(const QColor& color) { m_flashColor = color; }
    double intensity() const { return m_intensity; }
    void setIntensity(double intensity) { m_intensity = intensity; }
    double duration() const { return m_duration; }
    void setDuration(double duration) { m_duration = duration; }
    void setFlashDidBegin(Callback callback) { m_flashDidBegin = std::move(callback); }
    // Called when the fade ends; the overlay is then still on its parent, which it leaves right after.
    void setFlashDidComplete(Callback callback) { m_flashDidComplete = std::move(callback); }
    // Where the overlay goes once a flash ends; it hands itself over there and is gone from view.
    using Detach = std::function<void(std::unique_ptr<View> detached)>;
    void setDetachHandler(Detach handler) { m_detach = std::move(handler); }

    // Shows the colour at the intensity and fades it out over the duration; a new flash during a
    // running one starts again from the full intensity, and only the last one completes.
    void flash();
    bool isFlashing() const { return m_flashing; }

    View* hitTest(const Point&) override { return nullptr; }
    bool acceptsFirstResponder() const override { return false; }
    void drawRect(QPainter& painter, const Rect& dirtyRect) override;

private:
    void _flashCompleted();

    QColor m_flashColor = Qt::white;
    double m_intensity = kDefaultIntensity;
    double m_duration = kDefaultDuration;
    Callback m_flashDidBegin;
    Callback m_flashDidComplete;
    Detach m_detach;
    bool m_flashing = false;
};
