#pragma once

#include "platform/appkit/Window.h"

// A window the program may place anywhere: a force frame that wins over every frame set on it, and
// an always-unconstrained mode in which the frame asked for is the frame it gets. The base of every
// prompter window.
class OVUnconstrainedWindow : public Window {
public:
    explicit OVUnconstrainedWindow(const Rect& frame, unsigned styleMask = kStandardStyle);

    // The zero rectangle when unset; a set one is applied at once.
    const Rect& forceFrame() const { return m_forceFrame; }
    void setForceFrame(const Rect& frame);
    bool isAlwaysUnconstrained() const { return m_alwaysUnconstrained; }
    void setAlwaysUnconstrained(bool flag);

    Rect constrainFrameRect(const Rect& frame, const std::optional<Screen>& screen) const override;
    void setFrame(const Rect& frame, bool display = true) override;

protected:
    Qt::WindowFlags additionalQtFlags() const override;

private:
    bool hasForceFrame() const;
    // Whether a window manager would move a decorated window at this frame: its title bar would
    // leave the visible frame of its screen.
    bool windowManagerWouldMove(const Rect& frame) const;
    void updateDecorations();

    Rect m_forceFrame;
    bool m_alwaysUnconstrained = false;
    // Decorations are dropped while the frame asked for is one the window manager would not allow.
    bool m_undecorated = false;
};
