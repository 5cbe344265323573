// A window: its host widget, content and bars, flags and level, and its showing, mapping and ordering.
#include "platform/appkit/Window.h"

#include "platform/appkit/Animation.h"
#include "platform/appkit/AppKitLog.h"
#include "platform/appkit/AppKitNotifications.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/RectFunctions.h"
#include "platform/appkit/Timer.h"
#include "platform/appkit/View.h"
#include "platform/appkit/WindowHost.h"
#include "platform/appkit/WindowManagerState.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/NotificationCenter.h"

#include <QGuiApplication>
#include <QMenuBar>
#include <QTimer>
#include <QToolBar>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace {

// How long a hidden window waits for the window manager to let go of it before it is shown again
// regardless, and how often it asks.
constexpr double kWindowManagerReleaseTimeout = 2.0;
constexpr double kWindowManagerReleasePoll = 0.01;
// A window manager maps a window well within this; one still unmapped then is shown again, a few
// times at most.
constexpr double kMapCheckDelay = 2.0;
constexpr int kMapRetries = 3;

// The offscreen and minimal platforms have no stacking and complain about every raise.
bool platformStacksWindows()
{
    const QString name = QGuiApplication::platformName();
    return name != QLatin1String("offscreen") && name != QLatin1String("minimal");
}

// Floating panels stay above the windows of lower levels. A window manager keeps them there (they
// ask to stay on top); without one nothing does, and a window raised over them would cover them
// until they are shown again. Raising them back changes no focus.
void raiseFloatingWindowsAbove(const Window& raised)
{
    if (!platformStacksWindows() || (raised.styleMask() & Window::UtilityWindow))
        return;
    const std::vector<Window*> ordered = Application::shared().orderedWindows();
    for (auto it = ordered.rbegin(); it != ordered.rend(); ++it) {
        Window* window = *it;
        if (window != &raised && (window->styleMask() & Window::UtilityWindow) && window->isVisible() &&
            !window->parentWindow() && window->level() > raised.level() && !window->isMiniaturized())
            window->hostWidget()->raise();
    }
}

} // namespace

Window::Window(const Rect& frame, unsigned styleMask)
    : m_host(std::make_unique<WindowHost>(*this)), m_styleMask(styleMask)
{
    m_firstResponder = this;
    if (isValidRect(frame))
        m_frame = frame;
    else
        qCWarning(lcAppKit) << "Window: refusing frame" << toQRectF(frame);
    applyQtFlags();
    applyGeometryToHost();
    auto content = std::make_unique<View>(contentRectForFrameRect(m_frame));
    setContentView(std::move(content));
    m_screenID = screen() ? screen()->displayID() : 0;
    m_screensObserver = std::make_unique<NotificationObserver>(
        NotificationCenter::shared(), kApplicationDidChangeScreenParametersNotification, nullptr,
        [this](const Notification&) { checkScreenChange(); });
    Application::shared().registerWindow(this);
}

Window::~Window()
{
    if (m_sheetParent)
        m_sheetParent->endSheet(this, 0);
    if (m_attachedSheet)
        endSheet(m_attachedSheet, 0);
    if (m_parentWindow)
        m_parentWindow->removeChildWindow(this);
    while (!m_childWindows.empty())
        removeChildWindow(m_childWindows.back());
    m_screensObserver.reset();
    m_alphaAnimation.reset();
    m_frameAnimation.reset();
    m_liveResizeEnd.reset();
    m_showPoll.reset();
    m_mapCheck.reset();
    Application::shared().unregisterWindow(this);
    // The tool bar holds its items' views: it is its owner's to delete, not the host widget's.
    setToolBar(nullptr);
    m_contentView.reset();
    m_host.reset();
}

QWidget* Window::hostWidget() const
{
    return m_host.get();
}

View* Window::setContentView(std::unique_ptr<View> view)
{
    takeContentView();
    if (!view)
        return nullptr;
    m_contentView = std::move(view);
    m_contentView->setFrame(contentRectForFrameRect(m_frame));
    m_contentView->setAutoresizingMask(View::WidthSizable | View::HeightSizable);
    m_contentView->Responder::setNextResponder(this);
    m_contentView->setWindowRecursively(this);
    m_contentView->setNeedsDisplay(true);
    return m_contentView.get();
}

Rect Window::contentRectForFrameRect(const Rect& frame) const
{
    // Window coordinates run up from the bottom-left, so the bar's strip is at the top of the frame.
    return {{0, 0}, {frame.size.width, std::max(0.0, frame.size.height - menuBarHeight() - toolBarHeight())}};
}

Rect Window::frameRectForContentRect(const Rect& content) const
{
    return {content.origin, {content.size.width, content.size.height + menuBarHeight() + toolBarHeight()}};
}

double Window::menuBarHeight() const
{
    if (!m_menuBar || m_menuBarHidden)
        return 0;
    return m_menuBar->sizeHint().height();
}

void Window::setMenuBar(QMenuBar* bar)
{
    if (m_menuBar == bar)
        return;
    delete m_menuBar.data();
    m_menuBar = bar;
    if (m_menuBar) {
        m_menuBar->setParent(m_host.get());
        // A bar that takes the focus would keep key events from the responder chain.
        m_menuBar->setFocusPolicy(Qt::NoFocus);
    }
    layOutContent();
}

void Window::setToolBar(QToolBar* bar)
{
    if (m_toolBar == bar)
        return;
    if (m_toolBar) {
        m_toolBar->hide();
        m_toolBar->setParent(nullptr);
    }
    m_toolBar = bar;
    if (m_toolBar) {
        m_toolBar->setParent(m_host.get());
        m_toolBar->setFocusPolicy(Qt::NoFocus);
    }
    layOutContent();
}

QToolBar* Window::toolBar() const
{
    return m_toolBar;
}

double Window::toolBarHeight() const
{
    if (!m_toolBar || m_toolBar->isHidden())
        return 0;
    return m_toolBar->sizeHint().height();
}

QMenuBar* Window::menuBar() const
{
    return m_menuBar;
}

void Window::setMenuBarHidden(bool hidden)
{
    if (m_menuBarHidden == hidden)
        return;
    m_menuBarHidden = hidden;
    layOutContent();
}

void Window::layOutContent()
{
    if (m_menuBar) {
        m_menuBar->setVisible(!m_menuBarHidden);
        m_menuBar->setGeometry(0, 0, m_host->width(), int(menuBarHeight()));
    }
    if (m_toolBar && !m_toolBar->isHidden()) {
        m_toolBar->setGeometry(0, int(menuBarHeight()), m_host->width(), int(toolBarHeight()));
        m_toolBar->raise();
    }
    if (m_contentView) {
        const Rect content = contentRectForFrameRect(m_frame);
        if (!(m_contentView->frame() == content))
            m_contentView->setFrame(content);
    }
}

std::unique_ptr<View> Window::takeContentView()
{
    if (!m_contentView)
        return nullptr;
    m_contentView->setWindowRecursively(nullptr);
    m_contentView->Responder::setNextResponder(nullptr);
    invalidateWindowRect({{0, 0}, m_frame.size});
    return std::move(m_contentView);
}

void Window::setTitle(const QString& title)
{
    m_title = title;
    m_host->setWindowTitle(title);
}

void Window::setStyleMask(unsigned styleMask)
{
    if (styleMask == m_styleMask)
        return;
    m_styleMask = styleMask;
    applyQtFlags();
    applySizeLimitsToHost();
}

void Window::setLevel(int level)
{
    if (level == m_level)
        return;
    m_level = level;
    applyQtFlags();
    Application::shared().windowOrderChanged(this, m_visible ? Application::OrderChange::Front
                                                             : Application::OrderChange::None);
}

Window::FlagChanges::FlagChanges(Window& window) : m_window(window)
{
    ++m_window.m_flagChangeDepth;
}

Window::FlagChanges::~FlagChanges()
{
    if (--m_window.m_flagChangeDepth > 0 || !m_window.m_flagsPending)
        return;
    m_window.m_flagsPending = false;
    m_window.applyQtFlags();
}

Qt::WindowFlags Window::qtFlags() const
{
    Qt::WindowFlags flags = Qt::Window;
    if (m_styleMask & Titled) {
        flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint;
        if (m_styleMask & Closable)
            flags |= Qt::WindowCloseButtonHint;
        if (m_styleMask & Miniaturizable)
            flags |= Qt::WindowMinimizeButtonHint;
        if (m_styleMask & Resizable)
            flags |= Qt::WindowMaximizeButtonHint;
    } else {
        flags |= Qt::FramelessWindowHint;
    }
    if (m_level > kNormalWindowLevel)
        flags |= Qt::WindowStaysOnTopHint;
    if (m_ignoresMouseEvents)
        flags |= Qt::WindowTransparentForInput;
    const Qt::WindowFlags additional = additionalQtFlags();
    // Qt puts a frame back on a window that asks for title-bar buttons.
    if (additional & Qt::FramelessWindowHint)
        flags &= ~(Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    flags |= additional;
    if (m_styleMask & UtilityWindow)
        flags = (flags & ~Qt::Window) | Qt::Tool;
    if (isSheet())
        flags = (flags & ~Qt::Window) | Qt::Dialog;
    return flags;
}

void Window::applyQtFlags()
{
    if (m_flagChangeDepth > 0 && m_host->isVisible()) {
        m_flagsPending = true;
        return;
    }
    // A host waiting to be shown again takes the flags as they are then.
    if (m_showPending)
        return;
    const Qt::WindowFlags flags = qtFlags();
    const Qt::WindowFlags old = m_host->windowFlags();
    if (old == flags)
        return;
    QWindow* handle = m_host->windowHandle();
    if (!m_host->isVisible() || !handle) {
        m_host->setWindowFlags(flags);
        applyGeometryToHost();
        return;
    }
    // QWidget::setWindowFlags would hide the window and map it again at once, and a window manager
    // that has not yet let go of it can leave it unmapped for good. The native window takes new
    // decorations, level, buttons and input on the spot, through the window manager's hints; only
    // the kind of window and whether the window manager handles it at all are read as it is mapped.
    const Qt::WindowFlags readAsMapped = Qt::WindowType_Mask | Qt::BypassWindowManagerHint;
    if ((old ^ flags) & readAsMapped) {
        hideAndShowHost();
        return;
    }
    m_host->overrideWindowFlags(flags);
    handle->setFlags(flags);
    scheduleMapCheck();
    // The window keeps the keyboard it had, also against a panel shown in the same pass, whose
    // activation may still be on its way.
    if (m_host->isActiveWindow() || m_activationPending) {
        m_activationPending = true;
        m_host->activateWindow();
    }
}

void Window::showHost()
{
    if (m_showPending || m_host->isVisible())
        return;
    if (!windowManagerHasReleased(*m_host)) {
        m_showPending = true;
        m_showDeadline = Clock::shared().now() + kWindowManagerReleaseTimeout;
        m_showPoll = Timer::scheduledTimer(kWindowManagerReleasePoll, false, [this](Timer& timer) {
            if (windowManagerHasReleased(*m_host) || Clock::shared().now() >= m_showDeadline)
                finishShowingHost();
            else
                timer.schedule();
        });
        return;
    }
    m_host->show();
    scheduleMapCheck();
}

void Window::hideAndShowHost(const std::function<void()>& whileHidden)
{
    // The activation asked for by an earlier change in the same pass has not arrived yet.
    m_activateWhenShown = m_host->isActiveWindow() || m_activationPending;
    m_host->hide();
    if (whileHidden)
        whileHidden();
    // Qt hides a widget whose window kind changes; it is hidden already, so nothing is mapped here.
    if (m_host->windowFlags() != qtFlags()) {
        m_host->setWindowFlags(qtFlags());
        applyGeometryToHost();
    }
    showHost();
    if (!m_showPending)
        finishShowingHost();
}

void Window::finishShowingHost()
{
    const bool wasPending = m_showPending;
    m_showPending = false;
    if (wasPending) {
        // Flags changed while the host waited.
        if (m_host->windowFlags() != qtFlags())
            m_host->setWindowFlags(qtFlags());
        applyGeometryToHost();
    }
    if (!m_visible) {
        m_activateWhenShown = false;
        return;
    }
    if (!m_host->isVisible()) {
        m_host->show();
        scheduleMapCheck();
    }
    if (platformStacksWindows())
        m_host->raise();
    // Without a window manager the keyboard goes nowhere once the window it was in is hidden, so it
    // is given back.
    if (m_activateWhenShown) {
        m_activateWhenShown = false;
        m_activationPending = true;
        m_host->activateWindow();
    }
}

void Window::scheduleMapCheck()
{
    // Only an X server has a window manager that can leave a window unmapped.
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    m_mapCheck = Timer::scheduledTimer(kMapCheckDelay, false, [this](Timer&) { checkMapped(); });
}

void Window::checkMapped()
{
    if (!m_visible || m_showPending || !m_host->isVisible() || m_host->isMinimized() ||
        windowSystemShows(*m_host)) {
        m_mapRetries = 0;
        return;
    }
    if (m_mapRetries >= kMapRetries) {
        // A window shown over nothing would leave the screen covered with no way back to it.
        qCWarning(lcAppKit) << "Window: the window manager does not show" << m_title
                            << "- its child windows are taken away";
        for (Window* child : std::vector<Window*>(m_childWindows))
            child->orderOut();
        return;
    }
    ++m_mapRetries;
    qCWarning(lcAppKit) << "Window: the window manager left" << m_title << "unmapped; showing it again";
    hideAndShowHost();
}

void Window::setAlphaValue(double alpha)
{
    if (m_alphaAnimation)
        m_alphaAnimation->stop();
    if (!std::isfinite(alpha)) {
        qCWarning(lcAppKit) << "Window: refusing alpha" << alpha;
        return;
    }
    m_alpha = std::clamp(alpha, 0.0, 1.0);
    m_host->setWindowOpacity(m_alpha);
}

void Window::animateAlphaValue(double alpha, double duration, std::function<void(bool)> completion)
{
    if (!std::isfinite(alpha)) {
        qCWarning(lcAppKit) << "Window: refusing to animate to alpha" << alpha;
        return;
    }
    const double from = m_alpha;
    const double to = std::clamp(alpha, 0.0, 1.0);
    if (m_alphaAnimation)
        m_alphaAnimation->stop();
    m_alphaAnimation = std::make_unique<Animation>(duration, [this, from, to](double t) {
        m_alpha = from + (to - from) * t;
        m_host->setWindowOpacity(m_alpha);
    });
    m_alphaAnimation->setCompletion(std::move(completion));
    m_alphaAnimation->start();
}

namespace {

Window::FirstPlacement& firstPlacement()
{
    static Window::FirstPlacement placement;
    return placement;
}

} // namespace

void Window::setFirstPlacement(FirstPlacement placement)
{
    firstPlacement() = std::move(placement);
}

void Window::orderFront()
{
    // Windows that cannot become key must not take the focus from the one that is.
    m_host->setAttribute(Qt::WA_ShowWithoutActivating, !canBecomeKeyWindow() || m_becomesKeyOnlyIfNeeded);
    if (!m_visible && (m_styleMask & Titled)) {
        Rect frame = constrainFrameRect(m_frame, screen() ? screen() : Screen::mainScreen());
        // Panels and alerts float where their owners put them; a window shown again stays where the
        // user left it.
        if (!m_placed && m_level < kFloatingWindowLevel && firstPlacement())
            frame = firstPlacement()(frame);
        setFrame(frame, false);
    }
    m_visible = true;
    m_placed = true;
    showHost();
    if (platformStacksWindows())
        m_host->raise();
    Application::shared().windowOrderChanged(this, Application::OrderChange::Front);
    raiseFloatingWindowsAbove(*this);
}

void Window::orderBack()
{
    m_visible = true;
    showHost();
    if (platformStacksWindows())
        m_host->lower();
    Application::shared().windowOrderChanged(this, Application::OrderChange::Back);
}

void Window::orderOut()
{
    if (!m_visible && !m_host->isVisible())
        return;
    m_visible = false;
    m_activationPending = false;
    m_host->hide();
    Application::shared().windowOrderChanged(this, Application::OrderChange::Out);
}

void Window::makeKeyAndOrderFront()
{
    orderFront();
    makeKeyWindow();
}

void Window::miniaturize()
{
    m_host->showMinimized();
}

void Window::deminiaturize()
{
    m_host->showNormal();
}

bool Window::isMiniaturized() const
{
    return m_host->isMinimized();
}

void Window::toggleFullScreen()
{
    if (isFullScreen()) {
        m_styleMask &= ~FullScreen;
        applySizeLimitsToHost();
        m_host->showNormal();
        setFrame(m_frameBeforeFullScreen);
        NotificationCenter::shared().postNotification(kWindowDidExitFullScreenNotification, this);
        return;
    }
    m_frameBeforeFullScreen = m_frame;
    const std::optional<Screen> target = screen() ? screen() : Screen::mainScreen();
    m_styleMask |= FullScreen;
    applySizeLimitsToHost();
    if (target)
        setFrame(target->frame());
    m_visible = true;
    m_host->showFullScreen();
    NotificationCenter::shared().postNotification(kWindowDidEnterFullScreenNotification, this);
}

void Window::setIgnoresMouseEvents(bool flag)
{
    if (flag == m_ignoresMouseEvents)
        return;
    m_ignoresMouseEvents = flag;
    applyQtFlags();
}

void Window::setOpaque(bool flag)
{
    m_opaque = flag;
    m_host->setAttribute(Qt::WA_TranslucentBackground, !flag);
    invalidateWindowRect({{0, 0}, m_frame.size});
}

void Window::setBackgroundColor(const QColor& color)
{
    m_backgroundColor = color;
    invalidateWindowRect({{0, 0}, m_frame.size});
}

void Window::close()
{
    NotificationCenter::shared().postNotification(kWindowWillCloseNotification, this);
    orderOut();
    if (m_closeHandler) {
        std::function<void()> handler = m_closeHandler;
        handler();
    }
}

void Window::hostClosed()
{
    NotificationCenter::shared().postNotification(kWindowWillCloseNotification, this);
    m_visible = false;
    Application::shared().windowOrderChanged(this, Application::OrderChange::Out);
    if (m_closeHandler) {
        std::function<void()> handler = m_closeHandler;
        handler();
    }
}

void Window::hostActivated()
{
    m_activationPending = false;
    // The window manager raises the window it activates; Qt cannot query the stacking, so the
    // application's order follows here.
    if (m_visible) {
        Application::shared().windowOrderChanged(this, Application::OrderChange::Front);
        raiseFloatingWindowsAbove(*this);
    }
    if (m_becomesKeyOnlyIfNeeded)
        return;
    if (canBecomeKeyWindow() && Application::shared().keyWindow() != this)
        Application::shared().setKeyWindow(this);
}

void Window::hostStateChanged()
{
    const Qt::WindowStates refused =
        (windowManagerMayMiniaturize() ? Qt::WindowNoState : Qt::WindowMinimized) |
        (windowManagerMayZoom() ? Qt::WindowNoState : Qt::WindowMaximized);
    if (m_host->windowState() & refused) {
        m_host->setWindowState(m_host->windowState() & ~refused);
        restoreAppliedFrame();
        // The geometry the window manager gave the refused state may still be on its way.
        QTimer::singleShot(0, m_host.get(), [this] { restoreAppliedFrame(); });
        return;
    }
    const bool full = m_host->windowState() & Qt::WindowFullScreen;
    if (full != isFullScreen()) {
        if (full)
            m_styleMask |= FullScreen;
        else
            m_styleMask &= ~FullScreen;
        applySizeLimitsToHost();
    }
    const bool miniaturized = m_host->windowState() & Qt::WindowMinimized;
    if (miniaturized != m_miniaturized) {
        m_miniaturized = miniaturized;
        NotificationCenter::shared().postNotification(
            miniaturized ? kWindowDidMiniaturizeNotification : kWindowDidDeminiaturizeNotification, this);
    }
}
