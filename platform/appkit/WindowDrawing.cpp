// A window's drawing: what its host widget repaints, and the scrolled view whose drawn pixels are
// copied instead of drawn again.
#include "platform/appkit/Window.h"

#include "platform/appkit/RectFunctions.h"
#include "platform/appkit/View.h"
#include "platform/appkit/WindowHost.h"

#include <QRegion>
#include <QTransform>
#include <QWidget>

#include <algorithm>
#include <cmath>

void Window::display()
{
    m_host->repaint();
}

void Window::displayIfNeeded()
{
    if (m_host->isVisible())
        m_host->repaint();
}

void Window::invalidateWindowRect(const Rect& rect)
{
    const double height = m_frame.size.height;
    const QRectF device(rect.origin.x, height - rect.maxY(), rect.size.width, rect.size.height);
    const QRect aligned = device.toAlignedRect() & m_host->rect();
    m_pendingRedraw += aligned;
    m_host->update(aligned);
}

namespace {

bool isWhole(double value)
{
    return std::abs(value - std::round(value)) < 1e-6;
}

} // namespace

bool Window::scrollDrawnContent(const View& view, const QTransform& before)
{
    if (!m_host->isVisible() || !m_host->updatesEnabled() || !m_opaque || !view.isOpaque() ||
        view.window() != this)
        return false;
    for (const View* shown = &view; shown; shown = shown->superview()) {
        if (shown->isHidden() || shown->alphaValue() < 1.0)
            return false;
    }
    const QTransform after = view.drawingTransformToWindow();
    if (after.type() > QTransform::TxScale || before.type() > QTransform::TxScale ||
        after.m11() != before.m11() || after.m22() != before.m22())
        return false;
    const double dx = after.dx() - before.dx();
    const double dy = after.dy() - before.dy();
    const double ratio = m_host->devicePixelRatioF();
    // Copying by a fraction of a device pixel would blur or shift what drawing again would place.
    if (!isWhole(ratio) || !isWhole(dx) || !isWhole(dy))
        return false;
    const QRectF shown = after.mapRect(toQRectF(view.visibleRect())) & QRectF(m_host->rect());
    const QRect area = shown.toAlignedRect();
    // A partly covered pixel at the edge mixes the view with what lies beside it.
    if (area.isEmpty() || QRectF(area) != shown)
        return false;
    const int x = int(std::lround(dx));
    const int y = int(std::lround(dy));
    if (x == 0 && y == 0)
        return true;
    if (std::abs(x) >= area.width() || std::abs(y) >= area.height())
        return false;
    // Qt's controls in the window (menu bar, toolbar) share its pixels but are not views.
    for (const QObject* child : m_host->children()) {
        const auto* widget = qobject_cast<const QWidget*>(child);
        if (widget && widget->isVisible() && widget->geometry().intersects(area))
            return false;
    }
    const QRegion pending = m_pendingRedraw & area;
    m_host->scroll(x, y, area);
    QRegion redraw = pending.translated(x, y) & area;
    // Views drawn after this one (later siblings of it and of its superviews) stand still on screen:
    // the copy moved their pixels away.
    for (const View* child = &view; child->superview(); child = child->superview()) {
        const auto& siblings = child->superview()->subviews();
        auto it = std::find_if(siblings.begin(), siblings.end(),
                               [&](const std::unique_ptr<View>& sibling) { return sibling.get() == child; });
        for (++it; it != siblings.end(); ++it) {
            const View& over = **it;
            if (over.isHidden())
                continue;
            const Rect drawn = over.drawnRect();
            if (drawn.isEmpty())
                continue;
            const QRect covered =
                over.drawingTransformToWindow().mapRect(toQRectF(drawn)).toAlignedRect() & area;
            if (!covered.isEmpty())
                redraw += QRegion(covered) + (covered.translated(x, y) & area);
        }
    }
    if (!redraw.isEmpty()) {
        m_pendingRedraw += redraw;
        m_host->update(redraw);
    }
    return true;
}
