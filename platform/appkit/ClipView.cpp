#include "platform/appkit/ClipView.h"

#include "platform/appkit/AppKitLog.h"
#include "platform/appkit/RectFunctions.h"
#include "platform/appkit/ScrollView.h"

#include <QPainter>

#include <algorithm>

ClipView::ClipView(const Rect& frame) : View(frame) {}

ClipView::~ClipView()
{
    if (m_documentView)
        m_documentView->removeObserver(m_documentObserver);
}

View* ClipView::setDocumentView(std::unique_ptr<View> view)
{
    takeDocumentView();
    if (!view)
        return nullptr;
    m_documentView = addSubview(std::move(view));
    m_documentObserver = m_documentView->addFrameObserver([this](View&) { documentFrameDidChange(); });
    // The document's flippedness decides ours, and with it the meaning of the current origin.
    setBoundsOrigin(constrainBoundsRect({documentRect().origin, bounds().size}).origin);
    documentFrameDidChange();
    return m_documentView;
}

std::unique_ptr<View> ClipView::takeDocumentView()
{
    if (!m_documentView)
        return nullptr;
    m_documentView->removeObserver(m_documentObserver);
    View* document = m_documentView;
    m_documentView = nullptr;
    return document->removeFromSuperview();
}

bool ClipView::isFlipped() const
{
    return m_documentView ? m_documentView->isFlipped() : View::isFlipped();
}

Rect ClipView::documentRect() const
{
    return m_documentView ? m_documentView->frame() : Rect{};
}

Rect ClipView::documentVisibleRect() const
{
    return bounds().intersection(documentRect());
}

void ClipView::scrollToPoint(const Point& point)
{
    if (!point.isFinite()) {
        qCWarning(lcAppKit) << "ClipView: refusing scroll point" << toQPointF(point);
        return;
    }
    setBoundsOrigin(constrainBoundsRect({point, bounds().size}).origin);
}

Rect ClipView::constrainBoundsRect(const Rect& proposed) const
{
    if (!m_documentView)
        return proposed;
    const Rect document = documentRect();
    Rect result = proposed;
    auto constrain = [](double origin, double extent, double docOrigin, double docExtent) {
        const double maxOrigin = docOrigin + std::max(0.0, docExtent - extent);
        return std::clamp(origin, docOrigin, maxOrigin);
    };
    result.origin.x =
        constrain(proposed.origin.x, proposed.size.width, document.origin.x, document.size.width);
    result.origin.y =
        constrain(proposed.origin.y, proposed.size.height, document.origin.y, document.size.height);
    return result;
}

void ClipView::setDrawsBackground(bool flag)
{
    m_drawsBackground = flag;
    setNeedsDisplay(true);
}

void ClipView::setBackgroundColor(const QColor& color)
{
    m_backgroundColor = color;
    setNeedsDisplay(true);
}

void ClipView::drawRect(QPainter& painter, const Rect& dirtyRect)
{
    if (m_drawsBackground)
        painter.fillRect(toQRectF(dirtyRect), m_backgroundColor);
}

void ClipView::boundsDidChange()
{
    if (auto* scrollView = dynamic_cast<ScrollView*>(superview()))
        scrollView->reflectScrolledClipView(this);
}

void ClipView::frameDidChange(const Size&)
{
    if (auto* scrollView = dynamic_cast<ScrollView*>(superview()))
        scrollView->reflectScrolledClipView(this);
}

void ClipView::documentFrameDidChange()
{
    if (auto* scrollView = dynamic_cast<ScrollView*>(superview()))
        scrollView->reflectScrolledClipView(this);
}
