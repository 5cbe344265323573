#include "prompter_view/OVScrollView.h"

#include "platform/appkit/Event.h"
#include "platform/appkit/Timer.h"
#include "platform/foundation/GeometryStrings.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/textlayout/LayoutManager.h"
#include "platform/textview/TextView.h"
#include "prompter_view/OVClipView.h"
#include "prompter_view/OVEnclosingPrompterView.h"
#include "prompter_view/OVScroller.h"
#include "prompting/NSScrollViewOVAppleBugWorkaroundsAdditions.h"
#include "prompting/OVCore.h"
#include "text/OVScrollViewTextView.h"

#include <QApplication>
#include <QDebug>

#include <cfloat>
#include <cmath>

namespace {

OVScrollView::TextViewFactory& textViewFactory()
{
    static OVScrollView::TextViewFactory factory;
    return factory;
}

std::unique_ptr<View> makeTextView(const Rect& frame)
{
    if (textViewFactory())
        if (std::unique_ptr<View> view = textViewFactory()(frame))
            return view;
    auto view = std::make_unique<View>(frame);
    view->setFlipped(true);
    return view;
}

double roundHalfAwayFromZero(double value)
{
    return std::round(value);
}

} // namespace

void OVScrollView::setTextViewFactory(TextViewFactory factory)
{
    textViewFactory() = std::move(factory);
}

OVScrollView::OVScrollView(const Rect& frame, std::unique_ptr<View> textView) : ScrollView(frame)
{
    setAutoresizingMask(WidthSizable | HeightSizable);
    setAutoresizesSubviews(true);
    setAutohidesScrollers(true);
    setDocumentView(textView ? std::move(textView) : makeTextView(bounds()));
    setVerticalScroller(std::make_unique<OVScroller>(Scroller::Orientation::Vertical, Rect{0, 0, 10, 100}));
    setHorizontalScroller(
        std::make_unique<OVScroller>(Scroller::Orientation::Horizontal, Rect{0, 0, 100, 10}));
    ScrollView::setHasVerticalScroller(true);
    const QColor background = contentView()->backgroundColor();
    const bool drawsBackground = contentView()->drawsBackground();
    ClipView* clip = setContentView(std::make_unique<OVClipView>(contentView()->frame()));
    clip->setBackgroundColor(background);
    clip->setDrawsBackground(drawsBackground);
    // Every tick of the prompter moves the text by whole device pixels: copying what is drawn and
    // drawing only the lines that come into view costs a fraction of drawing the view again.
    clip->setCopiesOnScroll(true);
    ScrollView::setScrollerStyle(Scroller::Style::Overlay);

    const QString paddingKey = QStringLiteral("alwaysUseAutomaticWhitespacePadding");
    setTracksVerticalInset(UserDefaults::shared().boolForKey(paddingKey));
    m_paddingPreferenceObserver =
        NotificationObserver(NotificationCenter::shared(),
                             OVPreferencesAdvancedDidChangeAlwaysUseAutomaticWhitespacePaddingNotification,
                             nullptr, [this, paddingKey](const Notification&) {
                                 setTracksVerticalInset(UserDefaults::shared().boolForKey(paddingKey));
                             });
    tile();
}

OVScrollView::~OVScrollView() = default;

void OVScrollView::setVerticalInsetAdjustment(double adjustment)
{
    if (!std::isfinite(adjustment) || adjustment == m_verticalInsetAdjustment)
        return;
    m_verticalInsetAdjustment = adjustment;
    _adjustForTracksVerticalInset();
}

void OVScrollView::setTracksVerticalInset(bool tracks)
{
    if (tracks == m_tracksVerticalInset)
        return;
    m_tracksVerticalInset = tracks;
    _adjustForTracksVerticalInset();
}

void OVScrollView::_adjustForTracksVerticalInset()
{
    auto* text = dynamic_cast<OVScrollViewTextView*>(documentView());
    if (!text)
        return;
    const Size old = text->textContainerInset();
    const Size inset = m_tracksVerticalInset
                           ? Size{old.width, std::max(0.0, contentSize().height + m_verticalInsetAdjustment)}
                           : Size{0, 0};
    ClipView* clip = contentView();
    // The padding above the text grows by the difference, so the origin moves with it and the text
    // stays where it was on screen.
    const double y = clip->bounds().origin.y + (inset.height - old.height);
    text->setTextContainerInset(inset);
    const Rect constrained = clip->constrainBoundsRect({{clip->bounds().origin.x, y}, clip->bounds().size});
    clip->scrollToPoint(constrained.origin);
    reflectScrolledClipView(clip);
    NotificationCenter::shared().postNotification(OVScrollViewTracksVerticalInsetDidChangeNotification, this);
}

void OVScrollView::reflectScrolledClipView(ClipView* clipView)
{
    ScrollView::reflectScrolledClipView(clipView);
    fixedReflectScrolledClipView(*this, clipView);
}

void OVScrollView::tile()
{
    // Laying out can change the document's frame, which asks for a tile again; answering that inside
    // this one would recurse without end when a scaled text's height makes the scroller come and go.
    if (m_suspendReTile || m_tiling)
        return;
    m_tiling = true;
    ScrollView::tile();
    m_tiling = false;
    ClipView* clip = contentView();
    if (!clip || !verticalScroller())
        return;
    // Overlay scrollers float over the text: the clip view keeps the whole width.
    const bool legacy = scrollerStyle() == Scroller::Style::Legacy;
    const double scroller = Scroller::scrollerWidth(scrollerStyle());
    const Size size = frame().size;
    const double width =
        std::max(0.0, size.width - (legacy && !verticalScroller()->isHidden() ? scroller : 0));
    const double height = std::max(0.0, size.height - horizontalRulerThickness() -
                                            (legacy && !horizontalScroller()->isHidden() ? scroller : 0));
    if (clip->frame().size.width != width)
        clip->setFrame({clip->frame().origin, {width, height}});
}

void OVScrollView::setHasVerticalScroller(bool flag)
{
    _setHas(flag, 0);
}

void OVScrollView::setHasHorizontalScroller(bool flag)
{
    _setHas(flag, 1);
}

void OVScrollView::_setHas(bool flag, int axis)
{
    if (m_ignoreSetHasScrollerCalls)
        return;
    auto inherited = [this, axis](bool has) {
        if (axis == 0)
            ScrollView::setHasVerticalScroller(has);
        else
            ScrollView::setHasHorizontalScroller(has);
    };
    View* document = documentView();
    if (flag || !document) {
        inherited(flag);
        return;
    }
    const Rect documentFrame = document->frame();
    const Rect own = frame();
    const bool longer =
        axis == 0 ? documentFrame.size.height > own.size.height : documentFrame.size.width > own.size.width;
    if (longer) {
        inherited(false);
        return;
    }
    // A short document is made longer than the view for the moment the scroller goes, so hiding it
    // never leaves the text narrower; then it takes the view's size.
    Rect wanted = documentFrame;
    if (axis == 0)
        wanted.size.height = std::min(own.size.height + kHiddenScrollerExtraLength, DBL_MAX);
    else
        wanted.size.width = std::min(own.size.width + kHiddenScrollerExtraLength, DBL_MAX);
    if (wanted == documentFrame)
        return;
    document->setFrame(wanted);
    inherited(false);
    document->setFrame({{0, 0}, own.size});
    tile();
}

void OVScrollView::setScrollerStyle(Scroller::Style)
{
    if (!m_ignoreSetHasScrollerCalls)
        ScrollView::setScrollerStyle(Scroller::Style::Overlay);
}

bool OVScrollView::usesOverlayScrollers() const
{
    return verticalScroller() && verticalScroller()->style() == Scroller::Style::Overlay;
}

void OVScrollView::setBackgroundColor(const QColor& color)
{
    contentView()->setBackgroundColor(color);
    // The knob keeps its contrast with the page: a dark knob on a black prompter is no knob at all.
    const Scroller::KnobStyle style = color.isValid() && color.alpha() > 0 && color.lightnessF() < 0.5
                                          ? Scroller::KnobStyle::Light
                                          : Scroller::KnobStyle::Dark;
    for (Scroller* scroller : {verticalScroller(), horizontalScroller()}) {
        if (scroller)
            scroller->setKnobStyle(style);
    }
}

void OVScrollView::scrollWheel(Event& event)
{
    if (m_preventScrolling)
        return;
    if (m_core && m_core->isStatusStarted()) {
        // While prompting the view never moves by itself: the engine takes the delta. A precise
        // device's points stay points; a wheel notch moves what a notch moves everywhere else on the
        // desktop, its lines of the script's own line height.
        const double dy = event.hasPreciseScrollingDeltas ? event.scrollingDeltaY
                                                          : event.scrollingDeltaY * wheelNotchDistance();
        if (dy != 0 && std::isfinite(dy))
            m_core->addScrollingDelta(-dy);
        return;
    }
    if (m_enclosingPrompterView && m_enclosingPrompterView->isVerticallyFlipped()) {
        ClipView* clip = contentView();
        const Point origin = clip->bounds().origin;
        const double step = event.hasPreciseScrollingDeltas
                                ? event.scrollingDeltaY
                                : roundHalfAwayFromZero(event.scrollingDeltaY * verticalLineScroll());
        if (!std::isfinite(step))
            return;
        // Shown upside down, the text moves the other way for the same wheel turn.
        clip->scrollToPoint({origin.x, origin.y + step});
        reflectScrolledClipView(clip);
        if (!hasVerticalScroller())
            verticalScroller()->setDoubleValue(1.0 - verticalScroller()->doubleValue());
        return;
    }
    ScrollView::scrollWheel(event);
}

double OVScrollView::wheelNotchDistance() const
{
    int lines = 3;
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        lines = QApplication::wheelScrollLines();
    double lineHeight = verticalLineScroll();
    // The line at the middle of the view, where the reader is: the script's sizes vary.
    const auto* text = dynamic_cast<const TextView*>(textView());
    const LayoutManager* layout = text ? text->layoutManager().get() : nullptr;
    if (layout && layout->numberOfGlyphs() > 0) {
        const Rect visible = contentView()->bounds();
        const Point probe{0, visible.origin.y + visible.size.height / 2 - text->textContainerOrigin().y};
        const double height =
            layout->lineFragmentRectForGlyphAtIndex(layout->glyphIndexForPoint(probe)).size.height;
        if (height > 0 && std::isfinite(height))
            lineHeight = height;
    }
    return std::max(0, lines) * lineHeight;
}

void OVScrollView::setOverlayScrollerBehavior(unsigned behavior)
{
    if (behavior == m_overlayScrollerBehavior)
        return;
    m_overlayScrollerBehavior = behavior;
    if (!usesOverlayScrollers())
        return;
    ScrollView::setHasVerticalScroller(true);
    removeTrackingArea();
    m_flashTimer.reset();
    if (behavior == kOverlayShowOnHover) {
        ScrollView::setHasVerticalScroller(false);
        installTrackingArea();
        updateOverlayScrollerVisibility(Event{});
    } else if (behavior == kOverlayKeepFlashing) {
        ScrollView::setHasVerticalScroller(false);
        m_flashTimer = std::make_unique<Timer>(kFlashInterval, true, [this](Timer&) { flashScrollers(); });
        m_flashTimer->schedule();
        m_flashTimer->fire();
        installTrackingArea();
    }
}

Rect OVScrollView::trackingStripRect() const
{
    const double strip = Scroller::scrollerWidth(scrollerStyle()) + kTrackingStripExtraWidth;
    const Size size = frame().size;
    return {size.width - strip, 0, strip, size.height};
}

Rect OVScrollView::overlayTrackingRect() const
{
    for (const TrackingArea& area : const_cast<OVScrollView*>(this)->trackingAreas())
        if (area.identifier == m_trackingArea)
            return area.rect;
    return {};
}

void OVScrollView::installTrackingArea()
{
    removeTrackingArea();
    TrackingArea area;
    area.rect = trackingStripRect();
    area.options = TrackingArea::MouseEnteredAndExited | TrackingArea::ActiveWhenFirstResponder |
                   TrackingArea::ActiveInKeyWindow | TrackingArea::ActiveInActiveApp;
    area.owner = this;
    area.userInfo = kOverlayTrackingKey;
    m_trackingArea = addTrackingArea(area);
}

void OVScrollView::removeTrackingArea()
{
    if (!m_trackingArea)
        return;
    View::removeTrackingArea(m_trackingArea);
    m_trackingArea = 0;
}

void OVScrollView::updateTrackingAreas()
{
    if (m_overlayScrollerBehavior == kOverlayShowOnHover || m_overlayScrollerBehavior == kOverlayKeepFlashing)
        installTrackingArea();
}

void OVScrollView::frameDidChange(const Size& oldSize)
{
    ScrollView::frameDidChange(oldSize);
    if (m_trackingArea)
        installTrackingArea();
    if (m_tracksVerticalInset && oldSize.height != frame().size.height)
        _adjustForTracksVerticalInset();
}

void OVScrollView::flashScrollers()
{
    if (!hasVerticalScroller())
        ScrollView::setHasVerticalScroller(true);
}

void OVScrollView::mouseEntered(Event& event)
{
    if (event.trackingUserInfo == kOverlayTrackingKey && m_trackingArea)
        updateOverlayScrollerVisibility(event);
}

void OVScrollView::mouseExited(Event& event)
{
    if (event.trackingUserInfo == kOverlayTrackingKey && m_trackingArea)
        updateOverlayScrollerVisibility(event);
}

void OVScrollView::updateOverlayScrollerVisibility(const Event& event)
{
    if (!usesOverlayScrollers()) {
        ScrollView::setHasVerticalScroller(showsLegacyScrollersIfUsed());
        NotificationCenter::shared().postNotification(
            OVScrollViewHasLegacyVerticalScrollerDidChangeNotification, this);
        return;
    }
    const bool enterOrExit =
        event.type == Event::Type::MouseEntered || event.type == Event::Type::MouseExited;
    const Rect strip = overlayTrackingRect();
    if (strip != trackingStripRect())
        qWarning().noquote() << QStringLiteral(
                                    "%1 [_overlayTrackingArea rect] and _trackingAreaRect differ (%2 vs "
                                    "%3). _overlayTrackingArea needs to be updated to use "
                                    "_trackingAreaRect.")
                                    .arg(QStringLiteral("-[OVScrollView _isCursorInOverlayMouseOverRect]"),
                                         stringFromRect(strip), stringFromRect(trackingStripRect()));
    const bool inside = enterOrExit && strip.contains(convertPointFromView(event.locationInWindow, nullptr));
    if (inside && !hasVerticalScroller()) {
        ScrollView::setHasVerticalScroller(true);
        reflectScrolledClipView(contentView());
    } else if (hasVerticalScroller() && !inside) {
        ScrollView::setHasVerticalScroller(false);
        if (m_overlayScrollerBehavior == kOverlayKeepFlashing)
            ScrollView::setHasVerticalScroller(true);
    }
}

void OVScrollView::viewDidMoveToSuperview()
{
    m_enclosingPrompterView = nullptr;
    for (View* view = superview(); view; view = view->superview())
        if (auto* prompter = dynamic_cast<OVEnclosingPrompterView*>(view)) {
            m_enclosingPrompterView = prompter;
            break;
        }
}

QString OVScrollView::debugScrollStack() const
{
    auto entry = [](const QString& prefix, const char* className, const View* view) {
        return QStringLiteral("%1%2 <%3>\n   frame = %4\n  bounds = %5")
            .arg(prefix, QLatin1String(className), QString::asprintf("%p", static_cast<const void*>(view)),
                 stringFromRect(view->frame()), stringFromRect(view->bounds()));
    };
    QStringList entries{entry({}, "OVScrollView", this),
                        entry(QStringLiteral("- "), "OVClipView", contentView())};
    if (documentView())
        entries << entry(QStringLiteral("- "), "OVTextView", documentView());
    const QString stack = entries.join(QLatin1Char('\n'));
    qDebug().noquote() << stack;
    return stack;
}

void OVScrollView::setMagnification(double magnification)
{
    if (magnification > 0 && std::isfinite(magnification))
        m_magnification = magnification;
}
