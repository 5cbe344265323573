// Where a window stands: its frame and size limits, the screen it is on, and the host widget's geometry.
#include "platform/appkit/Window.h"

#include "platform/appkit/Animation.h"
#include "platform/appkit/AppKitLog.h"
#include "platform/appkit/AppKitNotifications.h"
#include "platform/appkit/GlobalCoordinates.h"
#include "platform/appkit/RectFunctions.h"
#include "platform/appkit/Timer.h"
#include "platform/appkit/WindowHost.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/NotificationCenter.h"

#include <algorithm>
#include <cmath>

namespace {

QRect alignedQtRect(const Rect& globalFrame)
{
    const QRectF rect = qtRectFromGlobal(globalFrame);
    return QRect(int(std::lround(rect.x())), int(std::lround(rect.y())), int(std::lround(rect.width())),
                 int(std::lround(rect.height())));
}

} // namespace

Rect Window::clampedToMinMax(const Rect& frame) const
{
    Rect result = frame;
    result.size.width =
        std::clamp(frame.size.width, m_minSize.width, std::max(m_minSize.width, m_maxSize.width));
    result.size.height =
        std::clamp(frame.size.height, m_minSize.height, std::max(m_minSize.height, m_maxSize.height));
    return result;
}

void Window::setFrame(const Rect& frame, bool display)
{
    if (!isValidRect(frame)) {
        qCWarning(lcAppKit) << "Window: refusing frame" << toQRectF(frame);
        return;
    }
    const Rect clamped = clampedToMinMax(frame);
    if (clamped == m_frame)
        return;
    const Rect old = m_frame;
    m_frame = clamped;
    applyGeometryToHost();
    layOutContent();
    frameDidChange(old);
    if (display)
        displayIfNeeded();
}

void Window::frameDidChange(const Rect& oldFrame)
{
    const double dx = m_frame.origin.x - oldFrame.origin.x;
    const double dy = m_frame.origin.y - oldFrame.origin.y;
    if (dx != 0 || dy != 0) {
        for (Window* child : m_childWindows)
            child->setFrameOrigin({child->frame().origin.x + dx, child->frame().origin.y + dy});
        NotificationCenter::shared().postNotification(kWindowDidMoveNotification, this);
    }
    if (!(m_frame.size == oldFrame.size))
        NotificationCenter::shared().postNotification(kWindowDidResizeNotification, this);
    checkScreenChange();
}

void Window::checkScreenChange()
{
    const std::optional<Screen> current = screen();
    const quint32 id = current ? current->displayID() : 0;
    if (id == m_screenID)
        return;
    m_screenID = id;
    NotificationCenter::shared().postNotification(kWindowDidChangeScreenNotification, this);
}

void Window::setFrameOrigin(const Point& origin)
{
    setFrame({origin, m_frame.size});
}

void Window::setFrameTopLeftPoint(const Point& point)
{
    setFrame({{point.x, point.y - m_frame.size.height}, m_frame.size});
}

void Window::center()
{
    const std::optional<Screen> target = screen() ? screen() : Screen::mainScreen();
    if (!target)
        return;
    const Rect visible = target->visibleFrame();
    // The platform centres horizontally and puts the window somewhat above the middle.
    const double x = visible.midX() - m_frame.size.width / 2;
    const double y = visible.origin.y + (visible.size.height - m_frame.size.height) * 2.0 / 3.0;
    setFrameOrigin({std::round(x), std::round(y)});
}

Rect Window::constrainFrameRect(const Rect& frame, const std::optional<Screen>& screen) const
{
    if (!screen || !(m_styleMask & Titled) || !isValidRect(frame))
        return frame;
    const Rect visible = screen->visibleFrame();
    Rect result = frame;
    if ((m_styleMask & Resizable) && result.size.height > visible.size.height) {
        result.size.height = visible.size.height;
        result.origin.y = visible.origin.y;
    }
    if (result.maxY() > visible.maxY())
        result.origin.y = visible.maxY() - result.size.height;
    // Keep the top edge reachable: never entirely below the visible frame.
    if (result.maxY() < visible.origin.y + 1)
        result.origin.y = visible.origin.y + 1 - result.size.height;
    return result;
}

void Window::setMinSize(const Size& size)
{
    if (!size.isFinite() || size.width < 0 || size.height < 0)
        return;
    m_minSize = size;
    applySizeLimitsToHost();
    setFrame(m_frame, false);
}

void Window::setMaxSize(const Size& size)
{
    if (!size.isFinite() || size.width < 0 || size.height < 0)
        return;
    m_maxSize = size;
    applySizeLimitsToHost();
    setFrame(m_frame, false);
}

bool Window::pinsHostSize() const
{
    return (m_styleMask & Titled) && !(m_styleMask & Resizable) && !(m_styleMask & FullScreen);
}

void Window::applySizeLimitsToHost()
{
    // The window manager learns the limits from the host, so a window pinned to one size cannot be
    // resized by its edges either.
    const auto side = [](double value) {
        return int(std::clamp<double>(std::lround(value), 0, QWIDGETSIZE_MAX));
    };
    // A titled window that is not resizable keeps the user from changing its size, and only the
    // user: the program's own frames still reach it, and the host's limits follow each of them.
    if (pinsHostSize()) {
        const QSize pinned(side(m_frame.size.width), side(m_frame.size.height));
        m_host->setMinimumSize(pinned);
        m_host->setMaximumSize(pinned);
        return;
    }
    m_host->setMinimumSize(side(m_minSize.width), side(m_minSize.height));
    m_host->setMaximumSize(side(std::max(m_minSize.width, m_maxSize.width)),
                           side(std::max(m_minSize.height, m_maxSize.height)));
}

std::optional<Screen> Window::screen() const
{
    return Screen::screenForRect(m_frame);
}

double Window::backingScaleFactor() const
{
    if (std::optional<Screen> s = screen())
        return s->backingScaleFactor();
    return m_host->devicePixelRatioF();
}

void Window::restoreAppliedFrame()
{
    const Rect old = m_frame;
    m_frame = m_appliedFrame;
    applyGeometryToHost();
    if (old == m_frame)
        return;
    layOutContent();
    frameDidChange(old);
}

void Window::applyGeometryToHost()
{
    m_appliedFrame = m_frame;
    m_applyingGeometry = true;
    // Qt clamps a geometry to the host's limits; a pinned size is the old frame's, not a limit.
    if (pinsHostSize()) {
        m_host->setMinimumSize(0, 0);
        m_host->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
    m_host->setGeometry(alignedQtRect(m_frame));
    if (pinsHostSize())
        applySizeLimitsToHost();
    m_applyingGeometry = false;
}

void Window::hostGeometryChanged()
{
    if (m_applyingGeometry)
        return;
    // The window manager moved or resized us. Keep our fractional frame when Qt only echoes it.
    const QRect geometry = m_host->geometry();
    if (geometry == alignedQtRect(m_frame))
        return;
    const Rect old = m_frame;
    m_frame = globalRectFromQt(QRectF(geometry));
    // A move by the user is the frame a refused window-manager command comes back to.
    if (m_host->windowState() == Qt::WindowNoState)
        m_appliedFrame = m_frame;
    if (pinsHostSize() && !(old.size == m_frame.size)) {
        // The window manager placed the window at a size of its own (a screen too small for it):
        // that is the size the window is pinned to now.
        m_applyingGeometry = true;
        applySizeLimitsToHost();
        m_applyingGeometry = false;
    }
    layOutContent();
    frameDidChange(old);
    if (!(old.size == m_frame.size))
        liveResizeStep();
}

void Window::liveResizeStep()
{
    const double end = Clock::shared().now() + kLiveResizeEndDelay;
    if (m_inLiveResize && m_liveResizeEnd) {
        m_liveResizeEnd->setFireDate(end);
        return;
    }
    m_inLiveResize = true;
    NotificationCenter::shared().postNotification(kWindowWillStartLiveResizeNotification, this);
    m_liveResizeEnd = Timer::scheduledTimer(kLiveResizeEndDelay, false, [this](Timer&) {
        m_inLiveResize = false;
        NotificationCenter::shared().postNotification(kWindowDidEndLiveResizeNotification, this);
    });
}

void Window::animateFrame(const Rect& frame, double duration, std::function<void(bool)> completion)
{
    if (!isValidRect(frame)) {
        qCWarning(lcAppKit) << "Window: refusing to animate to frame" << toQRectF(frame);
        return;
    }
    const Rect from = m_frame;
    if (m_frameAnimation)
        m_frameAnimation->stop();
    if (animationResizeTime(frame) == 0) {
        setFrame(frame);
        if (completion)
            completion(true);
        return;
    }
    m_frameAnimation = std::make_unique<Animation>(duration, [this, from, frame](double t) {
        auto mix = [t](double a, double b) { return a + (b - a) * t; };
        setFrame(t >= 1.0 ? frame
                          : Rect{{mix(from.origin.x, frame.origin.x), mix(from.origin.y, frame.origin.y)},
                                 {mix(from.size.width, frame.size.width),
                                  mix(from.size.height, frame.size.height)}});
    });
    m_frameAnimation->setCompletion(std::move(completion));
    m_frameAnimation->start();
}

namespace {

bool& animationResizeTimeOverridden()
{
    static bool overridden = false;
    return overridden;
}

} // namespace

void Window::setAnimationResizeTimeOverridden(bool overridden)
{
    animationResizeTimeOverridden() = overridden;
}

bool Window::isAnimationResizeTimeOverridden()
{
    return animationResizeTimeOverridden();
}

double Window::animationResizeTime(const Rect&) const
{
    if (isAnimationResizeTimeOverridden() && m_usesInstantAnimationResizeTime)
        return 0;
    return kDefaultAnimationResizeTime;
}

void Window::stopFrameAnimation()
{
    if (m_frameAnimation)
        m_frameAnimation->stop();
}

void Window::zoom()
{
    const Rect standard = standardFrame();
    if (standard.isEmpty())
        return;
    if (m_frame == standard && m_userFrame) {
        setFrame(*m_userFrame);
        m_userFrame.reset();
        return;
    }
    m_userFrame = m_frame;
    setFrame(standard);
}

Rect Window::standardFrame() const
{
    const std::optional<Screen> current = screen();
    return current ? clampedToMinMax(frameWithinAreaForDecorations(current->visibleFrame())) : Rect();
}

Point Window::convertPointToScreen(const Point& point) const
{
    return {m_frame.origin.x + point.x, m_frame.origin.y + point.y};
}

Point Window::convertPointFromScreen(const Point& point) const
{
    return {point.x - m_frame.origin.x, point.y - m_frame.origin.y};
}

Rect Window::convertRectToScreen(const Rect& rect) const
{
    return {convertPointToScreen(rect.origin), rect.size};
}

Rect Window::convertRectFromScreen(const Rect& rect) const
{
    return {convertPointFromScreen(rect.origin), rect.size};
}

Rect Window::titleBarRect() const
{
    if (!m_host->isVisible())
        return {};
    const QRect outer = m_host->frameGeometry();
    const QRect inner = m_host->geometry();
    const int height = inner.top() - outer.top();
    if (height <= 0)
        return {};
    return globalRectFromQt(QRectF(outer.left(), outer.top(), outer.width(), height));
}

Rect Window::frameWithinAreaForDecorations(const Rect& area) const
{
    if (!m_host->isVisible() || area.isEmpty())
        return area;
    const QRect outer = m_host->frameGeometry();
    const QRect inner = m_host->geometry();
    const double left = std::max(0, inner.left() - outer.left());
    const double top = std::max(0, inner.top() - outer.top());
    const double right = std::max(0, outer.right() - inner.right());
    const double bottom = std::max(0, outer.bottom() - inner.bottom());
    return Rect{
        {area.origin.x + left, area.origin.y + bottom},
        {std::max(0.0, area.size.width - left - right), std::max(0.0, area.size.height - top - bottom)}};
}
