#include "platform/appkit/ScrollView.h"

#include "platform/appkit/AppKitLog.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/RectFunctions.h"

#include <algorithm>
#include <cmath>

ScrollView::ScrollView(const Rect& frame) : View(frame)
{
    m_clipView = addSubview(std::make_unique<ClipView>(Rect{{0, 0}, frame.size}));
    setVerticalScroller(std::make_unique<Scroller>(Scroller::Orientation::Vertical));
    setHorizontalScroller(std::make_unique<Scroller>(Scroller::Orientation::Horizontal));
    tile();
}

ClipView* ScrollView::setContentView(std::unique_ptr<ClipView> clipView)
{
    if (!clipView)
        return m_clipView;
    std::unique_ptr<View> document = m_clipView->takeDocumentView();
    std::unique_ptr<View> old = m_clipView->removeFromSuperview();
    m_clipView = static_cast<ClipView*>(addSubview(std::move(clipView), Place::Below, nullptr));
    if (document)
        m_clipView->setDocumentView(std::move(document));
    tile();
    return m_clipView;
}

void ScrollView::setHasVerticalScroller(bool flag)
{
    m_hasVerticalScroller = flag;
    tile();
}

void ScrollView::setHasHorizontalScroller(bool flag)
{
    m_hasHorizontalScroller = flag;
    tile();
}

void ScrollView::setAutohidesScrollers(bool flag)
{
    m_autohidesScrollers = flag;
    tile();
}

void ScrollView::setScrollerStyle(Scroller::Style style)
{
    m_scrollerStyle = style;
    m_verticalScroller->setStyle(style);
    m_horizontalScroller->setStyle(style);
    tile();
}

Scroller* ScrollView::setVerticalScroller(std::unique_ptr<Scroller> scroller)
{
    if (!scroller)
        return m_verticalScroller;
    if (m_verticalScroller)
        m_verticalScroller->removeFromSuperview();
    m_verticalScroller = addSubview(std::move(scroller));
    wireScroller(m_verticalScroller);
    tile();
    return m_verticalScroller;
}

Scroller* ScrollView::setHorizontalScroller(std::unique_ptr<Scroller> scroller)
{
    if (!scroller)
        return m_horizontalScroller;
    if (m_horizontalScroller)
        m_horizontalScroller->removeFromSuperview();
    m_horizontalScroller = addSubview(std::move(scroller));
    wireScroller(m_horizontalScroller);
    tile();
    return m_horizontalScroller;
}

void ScrollView::wireScroller(Scroller* scroller)
{
    scroller->setStyle(m_scrollerStyle);
    scroller->setValueChangedHandler([this](Scroller& s) { scrollerValueChanged(s); });
}

void ScrollView::setHorizontalRulerView(std::unique_ptr<View> ruler)
{
    if (m_horizontalRuler)
        m_horizontalRuler->removeFromSuperview();
    m_horizontalRuler = ruler ? addSubview(std::move(ruler)) : nullptr;
    tile();
}

void ScrollView::setHasHorizontalRuler(bool flag)
{
    m_hasHorizontalRuler = flag;
    tile();
}

void ScrollView::setRulersVisible(bool flag)
{
    m_rulersVisible = flag;
    tile();
}

double ScrollView::horizontalRulerThickness() const
{
    if (!m_horizontalRuler || !m_hasHorizontalRuler || !m_rulersVisible)
        return 0;
    return std::min(m_horizontalRuler->frame().size.height, bounds().size.height);
}

void ScrollView::setVerticalLineScroll(double value)
{
    if (std::isfinite(value) && value > 0)
        m_verticalLineScroll = value;
}

void ScrollView::setHorizontalLineScroll(double value)
{
    if (std::isfinite(value) && value > 0)
        m_horizontalLineScroll = value;
}

bool ScrollView::showsScroller(bool has, double documentExtent, double clipExtent) const
{
    if (!has)
        return false;
    return !m_autohidesScrollers || documentExtent > clipExtent;
}

void ScrollView::tile()
{
    if (m_tiling || !m_clipView || !m_verticalScroller || !m_horizontalScroller)
        return;
    m_tiling = true;
    const Size size = bounds().size;
    const Size document = m_clipView->documentRect().size;
    const double width = Scroller::scrollerWidth(m_scrollerStyle);
    const bool showVertical = showsScroller(m_hasVerticalScroller, document.height, size.height);
    const bool showHorizontal = showsScroller(m_hasHorizontalScroller, document.width, size.width);
    // Legacy scrollers take their strip from the content; overlay ones float over it.
    const bool legacy = m_scrollerStyle == Scroller::Style::Legacy;
    const double clipWidth = std::max(0.0, size.width - (legacy && showVertical ? width : 0));
    const double ruler = horizontalRulerThickness();
    const double clipHeight = std::max(0.0, size.height - ruler - (legacy && showHorizontal ? width : 0));
    m_clipView->setFrame({{0, ruler}, {clipWidth, clipHeight}});
    if (m_horizontalRuler) {
        m_horizontalRuler->setHidden(ruler == 0);
        if (ruler > 0)
            m_horizontalRuler->setFrame({{0, 0}, {size.width, m_horizontalRuler->frame().size.height}});
    }
    const double verticalLength = std::max(0.0, size.height - ruler - (showHorizontal ? width : 0));
    const double horizontalLength = std::max(0.0, size.width - (showVertical ? width : 0));
    m_verticalScroller->setFrame(
        {{std::max(0.0, size.width - width), ruler}, {std::min(width, size.width), verticalLength}});
    m_horizontalScroller->setFrame(
        {{0, std::max(0.0, size.height - width)}, {horizontalLength, std::min(width, size.height)}});
    m_verticalScroller->setHidden(!showVertical);
    m_horizontalScroller->setHidden(!showHorizontal);
    m_tiling = false;
    reflectScrolledClipView(m_clipView);
}

void ScrollView::reflectScrolledClipView(ClipView* clipView)
{
    if (clipView != m_clipView || !m_verticalScroller || !m_horizontalScroller)
        return;
    const Rect document = clipView->documentRect();
    const Rect visible = clipView->bounds();
    auto ratio = [](double position, double extent, double docExtent) {
        const double range = docExtent - extent;
        return range > 0 ? std::clamp(position / range, 0.0, 1.0) : 0.0;
    };
    auto proportion = [](double extent, double docExtent) {
        return docExtent > 0 ? std::clamp(extent / docExtent, 0.0, 1.0) : 1.0;
    };
    // Scroller value 0 is the top of the document: for an unflipped document that is its max y.
    const double fromTop =
        clipView->isFlipped() ? visible.origin.y - document.origin.y : document.maxY() - visible.maxY();
    m_verticalScroller->setDoubleValue(ratio(fromTop, visible.size.height, document.size.height));
    m_verticalScroller->setKnobProportion(proportion(visible.size.height, document.size.height));
    m_horizontalScroller->setDoubleValue(
        ratio(visible.origin.x - document.origin.x, visible.size.width, document.size.width));
    m_horizontalScroller->setKnobProportion(proportion(visible.size.width, document.size.width));
    if (m_autohidesScrollers && !m_tiling) {
        const bool showVertical =
            showsScroller(m_hasVerticalScroller, document.size.height, visible.size.height);
        const bool showHorizontal =
            showsScroller(m_hasHorizontalScroller, document.size.width, visible.size.width);
        if (showVertical == m_verticalScroller->isHidden() ||
            showHorizontal == m_horizontalScroller->isHidden())
            tile();
    }
}

void ScrollView::scrollerValueChanged(Scroller& scroller)
{
    const Rect document = m_clipView->documentRect();
    Point origin = m_clipView->bounds().origin;
    const Size visible = m_clipView->bounds().size;
    const double value = scroller.doubleValue();
    if (&scroller == m_verticalScroller) {
        const double range = std::max(0.0, document.size.height - visible.height);
        origin.y = m_clipView->isFlipped() ? document.origin.y + value * range
                                           : document.maxY() - visible.height - value * range;
    } else {
        const double range = std::max(0.0, document.size.width - visible.width);
        origin.x = document.origin.x + value * range;
    }
    m_clipView->scrollToPoint(origin);
}

void ScrollView::scrollWheel(Event& event)
{
    const double dy = event.hasPreciseScrollingDeltas ? event.scrollingDeltaY
                                                      : event.scrollingDeltaY * m_verticalLineScroll;
    const double dx = event.hasPreciseScrollingDeltas ? event.scrollingDeltaX
                                                      : event.scrollingDeltaX * m_horizontalLineScroll;
    if (!std::isfinite(dx) || !std::isfinite(dy)) {
        qCWarning(lcAppKit) << "ScrollView: ignoring wheel deltas" << dx << dy;
        return;
    }
    if (dx == 0 && dy == 0)
        return;
    // A positive delta shows earlier content: up in a flipped document means a smaller y.
    Point origin = m_clipView->bounds().origin;
    origin.y += m_clipView->isFlipped() ? -dy : dy;
    origin.x -= dx;
    m_clipView->scrollToPoint(origin);
}

void ScrollView::frameDidChange(const Size&)
{
    tile();
}
