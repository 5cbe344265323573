#include "output/OVBlockingWindow.h"

#include "output/OVBlockingView.h"
#include "platform/appkit/Event.h"
#include "prompting/OVEventInterpreter.h"

#include <QGuiApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace {

// Window managers nest a frame or two around a window; a deeper tree is not a frame.
constexpr int kMaxFrameDepth = 8;

xcb_connection_t* x11Connection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

// The window's outermost ancestor below the root: the window manager's frame, or the window itself.
xcb_window_t topLevelAncestor(xcb_connection_t* connection, xcb_window_t window)
{
    for (int depth = 0; depth < kMaxFrameDepth; ++depth) {
        std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)> tree(
            xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr), &std::free);
        if (!tree || tree->parent == tree->root || tree->parent == XCB_NONE)
            return window;
        window = tree->parent;
    }
    return window;
}

void restackBelow(QWidget* below, QWidget* above)
{
    xcb_connection_t* connection = x11Connection();
    QWindow* lower = below->windowHandle();
    QWindow* upper = above->windowHandle();
    if (!connection || !lower || !upper || !below->isVisible() || !above->isVisible())
        return;
    const uint32_t values[] = {topLevelAncestor(connection, xcb_window_t(upper->winId())),
                               XCB_STACK_MODE_BELOW};
    xcb_configure_window(connection, xcb_window_t(lower->winId()),
                         XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, values);
    xcb_flush(connection);
}

} // namespace

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

void OVBlockingWindow::stackBelow(const Window& other)
{
    QWidget* self = hostWidget();
    QPointer<QWidget> above = other.hostWidget();
    restackBelow(self, above);
    // The window manager frames a window it has just mapped on its next turn; the frame is known then.
    QTimer::singleShot(0, self, [self, above] {
        if (above)
            restackBelow(self, above);
    });
}

Qt::WindowFlags OVBlockingWindow::additionalQtFlags() const
{
    // Bypassing the window manager keeps it exactly over the screen and above the desktop's panels
    // on X11; a tool window stays off the task bar.
    return Qt::Tool | Qt::WindowDoesNotAcceptFocus | Qt::X11BypassWindowManagerHint;
}
