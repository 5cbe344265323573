#pragma once

#include "platform/appkit/Window.h"

#include <memory>

class OVEventInterpreter;

// A black, borderless window that shields a screen in Prompt mode. It never becomes key or main,
// stays above the program's other windows and, on X11, outside the window manager's reach (so it
// can cover the desktop's panels there; Wayland shells allow no such window). Events it receives go
// to its event interpreter first, so clicks on the black area can still control the prompter.
class OVBlockingWindow : public Window {
public:
    // Where a blocking window goes when there is no screen at all.
    static constexpr Rect kFallbackFrame{-8000, -8000, 1, 1};

    // Over the first screen, or at the fallback frame without one.
    static std::unique_ptr<OVBlockingWindow> blockingWindow();
    // Clear, yet still receiving mouse events.
    static std::unique_ptr<OVBlockingWindow> transparentBlockingWindow();

    explicit OVBlockingWindow(const Rect& frame);
    ~OVBlockingWindow() override;

    OVEventInterpreter* eventInterpreter() const { return m_eventInterpreter; }
    void setEventInterpreter(OVEventInterpreter* interpreter) { m_eventInterpreter = interpreter; }

    // It may cover whatever the desktop reserves.
    Rect constrainFrameRect(const Rect& frame, const std::optional<Screen>& screen) const override;
    bool canBecomeKeyWindow() const override { return false; }
    bool canBecomeMainWindow() const override { return false; }
    bool acceptsFirstResponder() const override { return false; }
    bool becomeFirstResponder() override { return false; }
    void sendEvent(Event& event) override;

protected:
    Qt::WindowFlags additionalQtFlags() const override;
    // A window manager stacks the windows it handles among themselves only: the blocking window,
    // which it does not handle, is put under the other window's frame directly on X11.
    void stackBelow(const Window& other) override;

private:
    OVEventInterpreter* m_eventInterpreter = nullptr;
};
