#include "prompting/OVUnconstrainedWindow.h"

namespace {

// The least room a window manager leaves for a title bar above a window; frames reaching higher are
// moved down by it.
constexpr double kMinimumTitleBarRoom = 1;

} // namespace

OVUnconstrainedWindow::OVUnconstrainedWindow(const Rect& frame, unsigned styleMask) : Window(frame, styleMask)
{
}

bool OVUnconstrainedWindow::hasForceFrame() const
{
    return !(m_forceFrame == Rect());
}

void OVUnconstrainedWindow::setForceFrame(const Rect& frame)
{
    m_forceFrame = frame;
    if (!hasForceFrame())
        return;
    setFrame(frame, false);
    displayIfNeeded();
}

void OVUnconstrainedWindow::setAlwaysUnconstrained(bool flag)
{
    if (m_alwaysUnconstrained == flag)
        return;
    m_alwaysUnconstrained = flag;
    updateDecorations();
}

Rect OVUnconstrainedWindow::constrainFrameRect(const Rect& frame, const std::optional<Screen>& screen) const
{
    if (hasForceFrame())
        return m_forceFrame;
    if (m_alwaysUnconstrained)
        return frame;
    return Window::constrainFrameRect(frame, screen);
}

void OVUnconstrainedWindow::setFrame(const Rect& frame, bool display)
{
    const Rect target = hasForceFrame() ? m_forceFrame : frame;
    if (target == this->frame()) {
        if (display)
            this->display();
        return;
    }
    Window::setFrame(target, display);
    updateDecorations();
}

bool OVUnconstrainedWindow::windowManagerWouldMove(const Rect& frame) const
{
    if (!(styleMask() & Titled))
        return false;
    const std::optional<Screen> screen = Screen::screenForRect(frame);
    if (!screen)
        return false;
    return frame.maxY() + kMinimumTitleBarRoom > screen->visibleFrame().maxY() ||
           frame.size.height > screen->visibleFrame().size.height;
}

void OVUnconstrainedWindow::updateDecorations()
{
    const bool undecorated = (m_alwaysUnconstrained || hasForceFrame()) && windowManagerWouldMove(frame());
    if (undecorated == m_undecorated)
        return;
    m_undecorated = undecorated;
    updateQtFlags();
}

Qt::WindowFlags OVUnconstrainedWindow::additionalQtFlags() const
{
    // Linux window managers keep a decorated window's title bar on screen; the one way to have a
    // window exactly where it is asked to be is to have no title bar.
    return m_undecorated ? Qt::FramelessWindowHint : Qt::WindowFlags();
}
