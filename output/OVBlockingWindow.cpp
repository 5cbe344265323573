#include "output/OVBlockingWindow.h"

#include "output/OVBlockingView.h"
#include "platform/appkit/Event.h"
#include "prompting/OVEventInterpreter.h"

#include <QWidget>

std::unique_ptr<OVBlockingWindow> OVBlockingWindow::blockingWindow()
{
    const std::vector<Screen> screens = Screen::screens();
    return std::make_unique<OVBlockingWindow>(screens.empty() ? kFallbackFrame : screens.front().frame());
}

std::unique_ptr<OVBlockingWindow> OVBlockingWindow::transparentBlockingWindow()
{
    std::unique_ptr<OVBlockingWindow> window = blockingWindow();
    window->setOpaque(false);
    window->setBackgroundColor(Qt::transparent);
    return window;
}

OVBlockingWindow::OVBlockingWindow(const Rect& frame) : Window(frame, Borderless)
{
    setLevel(kScreenSaverWindowLevel);
    setMovable(false);
    setHidesOnDeactivate(false);
    setExcludedFromWindowsMenu(true);
    setBackgroundColor(Qt::black);
    setHasShadow(false);
    setOpaque(true);
    updateQtFlags();
    hostWidget()->setAttribute(Qt::WA_ShowWithoutActivating);
    setContentView(std::make_unique<OVBlockingView>(contentRectForFrameRect(frame)));
}

OVBlockingWindow::~OVBlockingWindow()
{
    m_eventInterpreter = nullptr;
}

Rect OVBlockingWindow::constrainFrameRect(const Rect& frame, const std::optional<Screen>&) const
{
    return frame;
}

void OVBlockingWindow::sendEvent(Event& event)
{
    event.window = this;
    if (m_eventInterpreter && m_eventInterpreter->interpretEvent(event, this))
        return;
    Window::sendEvent(event);
}

Qt::WindowFlags OVBlockingWindow::additionalQtFlags() const
{
    // Bypassing the window manager keeps it exactly over the screen and above the desktop's panels
    // on X11; a tool window stays off the task bar.
    return Qt::Tool | Qt::WindowDoesNotAcceptFocus | Qt::X11BypassWindowManagerHint;
}
