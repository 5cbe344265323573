#include "prompter_view/OVPrompterView.h"

#include "textutil/NSMutableAttributedStringOVColorInversion.h"
#include "platform/appkit/Animation.h"
#include "platform/appkit/ClipView.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/NSViewHVAdditions.h"
#include "platform/appkit/RectFunctions.h"
#include "platform/appkit/Scroller.h"
#include "platform/appkit/Window.h"

#include "platform/foundation/Clock.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVEventBlocker.h"
#include "platform/hvkit/HVLocalizedString.h"
#include "platform/hvkit/HVLogger.h"
#include "platform/hvkit/NSColorHVAdditions.h"
#include "platform/text/AttributeNames.h"
#include "platform/textlayout/LayoutManager.h"
#include "platform/textview/FindBar.h"
#include "prompter_view/OVBlankingNoticeView.h"
#include "prompter_view/OVFocusArrowView.h"
#include "prompter_view/OVPrompterStandbyView.h"
#include "prompter_view/OVScrollView.h"
#include "prompter_view/OVTimeBar.h"
#include "prompter_view/OVViewDrawing.h"
#include "prompting/OVCore.h"
#include "text/OVTextView.h"
#include <QCursor>
#include <QWidget>

#include <QDebug>

#include <cmath>

namespace {

std::function<bool()>& shiftKeyQuery()
{
    static std::function<bool()> query;
    return query;
}

bool isShiftHeld()
{
    if (shiftKeyQuery())
        return shiftKeyQuery()();
    return (Menu::currentModifierFlags() & kShiftKeyMask) != 0;
}

bool isNoLine(const Rect& rect)
{
    constexpr double none = OVPrompterView::kNoLineValue;
    return rect.origin.x == none && rect.origin.y == none && rect.size.width == none &&
           rect.size.height == none;
}

Rect noLine()
{
    constexpr double none = OVPrompterView::kNoLineValue;
    return {none, none, none, none};
}

Rect integral(const Rect& rect)
{
    const double x = std::floor(rect.origin.x);
    const double y = std::floor(rect.origin.y);
    return {x, y, std::ceil(rect.maxX()) - x, std::ceil(rect.maxY()) - y};
}

Rect unionOf(const Rect& a, const Rect& b)
{
    if (a.size.width <= 0 || a.size.height <= 0)
        return b;
    if (b.size.width <= 0 || b.size.height <= 0)
        return a;
    const double x = std::min(a.origin.x, b.origin.x);
    const double y = std::min(a.origin.y, b.origin.y);
    return {x, y, std::max(a.maxX(), b.maxX()) - x, std::max(a.maxY(), b.maxY()) - y};
}

Rect intersectionOf(const Rect& a, const Rect& b)
{
    const double x = std::max(a.origin.x, b.origin.x);
    const double y = std::max(a.origin.y, b.origin.y);
    const double maxX = std::min(a.maxX(), b.maxX());
    const double maxY = std::min(a.maxY(), b.maxY());
    if (maxX <= x || maxY <= y)
        return {};
    return {x, y, maxX - x, maxY - y};
}

} // namespace

void OVPrompterView::setShiftKeyQuery(std::function<bool()> query)
{
    shiftKeyQuery() = std::move(query);
}

OVPrompterView::OVPrompterView(const Rect& frame) : View(frame)
{
    const Rect bounds = this->bounds();
    auto text = std::make_unique<OVTextView>(Rect{0, 0, bounds.size.width, bounds.size.height});
    m_textView = text.get();
    m_scrollView = addSubview(std::make_unique<OVScrollView>(bounds, std::move(text)));
    m_scrollView->setAutoresizingMask(NotSizable);
    m_focusArrowView = addSubview(std::make_unique<OVFocusArrowView>(Rect{0, 0, 0, bounds.size.height}));
    m_focusArrowView->setAutoresizingMask(NotSizable);
    m_focusArrowView->setHidden(true);
    m_timeBar = addSubview(std::make_unique<OVTimeBar>(Rect{0, bounds.size.height, bounds.size.width, 0}));
    m_timeBar->setAutoresizingMask(NotSizable);
    m_timeBar->setHidden(true);
    m_blankingNoticeView = addSubview(std::make_unique<OVBlankingNoticeView>(Rect{0, 0, 64, 64}));
    m_blankingNoticeView->setNotice(HVLocalizedString::localizedString(QStringLiteral("blanking-notice-on"),
                                                                       QStringLiteral("Blanking is on")));
    m_blankingNoticeView->setHidden(true);
    // Made at once, so the application's blanking menu has a view to ask even before blanking.
    createStandbyViewIfNecessary();

    // The arrow's and the bar's frames change on every step of their animations: the text follows.
    m_arrowFrameObserver = m_focusArrowView->addFrameObserver([this](View&) { tile(); });
    m_barFrameObserver = m_timeBar->addFrameObserver([this](View&) { tile(); });
    // A stored alignment outside the grid would only log on every tile: the centre stands in.
    const qint64 alignment = UserDefaults::shared().integerForKey(QStringLiteral("marginAlignment"));
    m_marginAlignment = alignment >= 0 && alignment <= 8 ? unsigned(alignment) : 4u;
    m_observers.emplace_back(NotificationCenter::shared(), OVTimeBarPositionDidChangeNotification, m_timeBar,
                             [this](const Notification&) { tile(); });
    m_observers.emplace_back(NotificationCenter::shared(), OVTextViewDidChangeBackgroundColorNotification,
                             m_textView, [this](const Notification&) { backgroundColorDidChange(); });
    backgroundColorDidChange();
    // Line keys reach the view through the responder chain from the text view inside it.
    setActionHandler(QStringLiteral("scrollToNextLine:"), [this](const QVariant&) { scrollToNextLine(); });
    setActionHandler(QStringLiteral("scrollToPreviousLine:"),
                     [this](const QVariant&) { scrollToPreviousLine(); });
    tile();
}

OVPrompterView::~OVPrompterView()
{
    m_observers.clear();
    m_focusArrowView->removeObserver(m_arrowFrameObserver);
    m_timeBar->removeObserver(m_barFrameObserver);
}

void OVPrompterView::setHorizontalMarginIndentFactor(double factor)
{
    m_horizontalMarginIndentFactor = OVPrompterTileGeometry::clampedMarginFactor(factor);
    tile();
    if (m_hasContentBorder)
        setNeedsDisplay(true);
}

void OVPrompterView::setVerticalMarginIndentFactor(double factor)
{
    m_verticalMarginIndentFactor = OVPrompterTileGeometry::clampedMarginFactor(factor);
    tile();
    if (m_hasContentBorder)
        setNeedsDisplay(true);
}

void OVPrompterView::setMarginAlignment(unsigned alignment)
{
    m_marginAlignment = alignment;
    tile();
}

bool OVPrompterView::setScaleFactor(double factor)
{
    if (!OVPrompterTileGeometry::isUsableScaleFactor(factor)) {
        qWarning().noquote() << QStringLiteral("Refused prompter scale factor %1").arg(factor);
        return false;
    }
    m_scaleFactor = factor;
    // Bookmark icons keep their size on screen however far the text is zoomed.
    if (m_textView && m_textView->layoutManager())
        m_textView->layoutManager()->setAttachmentScale(factor);
    tile();
    return true;
}

void OVPrompterView::setTileOptions(unsigned options)
{
    m_tileOptions = options;
    tile();
}

void OVPrompterView::setHorizontallyFlipped(bool flipped)
{
    if (flipped == m_horizontallyFlipped)
        return;
    m_horizontallyFlipped = flipped;
    applyFlips(flipped ? NSViewHVAdditions::kFlipAxisHorizontalOn : NSViewHVAdditions::kFlipAxisHorizontalOff);
}

void OVPrompterView::setVerticallyFlipped(bool flipped)
{
    if (flipped == m_verticallyFlipped)
        return;
    m_verticallyFlipped = flipped;
    applyFlips(flipped ? NSViewHVAdditions::kFlipAxisVerticalOn : NSViewHVAdditions::kFlipAxisVerticalOff);
}

void OVPrompterView::applyFlips(unsigned axis)
{
    // Left to right the text mirrors about the scroll view's centre. Upside down it mirrors about the
    // script's own centre, so the clip view's origin counts from the script's end: the position sync
    // moves a flipped talent's clip view the other way to the operator's, and a screen of script is
    // the same screen of script whichever way it is shown. Both are drawing transforms that leave the
    // layout alone, applied at once; arrow and bar draw their mirror images themselves.
    NSViewHVAdditions::performFlipAxis(
        axis, {m_textView, m_focusArrowView, m_timeBar}, 0, [this] {
            m_scrollView->setLayerTransform(QTransform::fromScale(m_horizontallyFlipped ? -1 : 1, 1));
            m_textView->setLayerTransform(QTransform::fromScale(1, m_verticallyFlipped ? -1 : 1));
            m_focusArrowView->setFlippedHorizontally(m_horizontallyFlipped);
            m_focusArrowView->setFlippedVertically(m_verticallyFlipped);
            m_timeBar->setFlippedHorizontally(m_horizontallyFlipped);
            m_timeBar->setFlippedVertically(m_verticallyFlipped);
        });
    // The blanking image turns with the output, animated only while it shows.
    createStandbyViewIfNecessary();
    m_standbyView->setUsesAnimation(m_usesAnimation && m_standbyViewVisible);
    NSViewHVAdditions::performFlipAxis(axis, {m_standbyView}, m_standbyView->flipAnimationDuration(), [this] {
        m_standbyView->setHorizontallyFlipped(m_horizontallyFlipped);
        m_standbyView->setVerticallyFlipped(m_verticallyFlipped);
    });
    tile();
    setNeedsDisplay(true);
}

void OVPrompterView::setHasContentBorder(bool flag)
{
    if (flag == m_hasContentBorder)
        return;
    m_hasContentBorder = flag;
    const double from = m_borderAlpha;
    const double to = flag ? 1.0 : 0.0;
    m_borderAnimation =
        std::make_unique<Animation>(kDefaultAnimationDuration, [this, from, to](double progress) {
            m_borderAlpha = from + (to - from) * progress;
            setNeedsDisplay(true);
        });
    m_borderAnimation->start();
}

void OVPrompterView::setContentBorderColor(const std::optional<QColor>& color)
{
    m_contentBorderColor = color;
    setNeedsDisplay(true);
}

void OVPrompterView::backgroundColorDidChange()
{
    const QColor color = m_textView->backgroundColor();
    m_focusArrowView->setBackgroundColor(color);
    m_timeBar->setBackgroundColor(color);
    m_scrollView->setBackgroundColor(color);
    setNeedsDisplay(true);
}

void OVPrompterView::createStandbyViewIfNecessary()
{
    if (m_standbyView)
        return;
    m_standbyView = addSubview(OVPrompterStandbyView::make(bounds()));
    m_standbyView->setAutoresizingMask(WidthSizable | HeightSizable);
    m_standbyView->setStandbyHidden(true);
    m_standbyView->setHorizontallyFlipped(m_horizontallyFlipped);
    m_standbyView->setVerticallyFlipped(m_verticallyFlipped);
}

void OVPrompterView::setShowBlankingNotice(bool flag)
{
    if (flag == m_showBlankingNotice)
        return;
    m_showBlankingNotice = flag;
    m_blankingNoticeView->setHidden(!flag);
    if (flag)
        tile();
}

void OVPrompterView::setStandbyViewVisible(bool visible)
{
    createStandbyViewIfNecessary();
    m_standbyViewVisible = visible;
    m_standbyView->setFrame(bounds());
    m_standbyView->setStandbyHidden(!visible);
    m_scrollView->setHidden(visible);
    // An arrow or a bar switched off stays hidden when the script comes back.
    m_timeBar->setHidden(visible || !m_timeBarVisible);
    m_focusArrowView->setHidden(visible || !m_focusArrowVisible);
    tile();
    setNeedsDisplay(true);
}

double OVPrompterView::focusArrowCenterFromOrigin() const
{
    return m_focusArrowView->arrowCenterFromOrigin();
}

void OVPrompterView::frameDidChange(const Size& oldSize)
{
    View::frameDidChange(oldSize);
    tile();
}

void OVPrompterView::setFrameWithoutTile(const Rect& frame)
{
    const bool suspended = m_suspendReTile;
    m_suspendReTile = true;
    setFrame(frame);
    m_suspendReTile = suspended;
}

void OVPrompterView::tile()
{
    if (m_suspendReTile || !m_scrollView)
        return;
    m_suspendReTile = true;

    OVPrompterTileGeometry::Input input;
    input.size = bounds().size;
    input.horizontalMarginIndentFactor = m_horizontalMarginIndentFactor;
    input.verticalMarginIndentFactor = m_verticalMarginIndentFactor;
    input.marginAlignment = m_marginAlignment;
    input.timeBarVisible = m_timeBarVisible;
    input.timeBarHeight = m_timeBar->frame().size.height;
    input.timeBarPosition = m_timeBar->position();
    input.focusArrowVisible = m_focusArrowVisible;
    input.focusArrowWidth = m_focusArrowView->frame().size.width;
    input.focusArrowOnRight = OVFocusArrowView::showsOnRight();
    if (m_tileOptions & kTileOptionReserveScrollerWidth)
        input.reservedScrollerWidth = Scroller::scrollerWidth(m_scrollView->scrollerStyle());
    input.horizontallyFlipped = m_horizontallyFlipped;
    input.verticallyFlipped = m_verticallyFlipped;
    m_lastTile = OVPrompterTileGeometry::tile(input);
    if (m_lastTile.unhandledAlignment) {
        qWarning().noquote() << QStringLiteral("Unhandled margin alignment, using vertical middle center");
        qWarning().noquote() << QStringLiteral("Unhandled margin alignment, using horizontal middle center");
    }

    if (m_timeBarVisible && !(m_timeBar->frame() == m_lastTile.timeBar))
        m_timeBar->setFrame(m_lastTile.timeBar);
    if (m_focusArrowVisible && !(m_focusArrowView->frame() == m_lastTile.focusArrow))
        m_focusArrowView->setFrame(m_lastTile.focusArrow);
    if (!(m_scrollView->frame() == m_lastTile.content))
        m_scrollView->setFrame(m_lastTile.content);

    ClipView* clip = m_scrollView->contentView();
    m_scrollView->reflectScrolledClipView(clip);
    const Size clipSize = clip->frame().size;
    const OVPrompterTileGeometry::Scale scale = OVPrompterTileGeometry::scale(clipSize, m_scaleFactor);
    if (m_textView->frame().size.width != scale.textViewWidth)
        m_textView->setFrameSize({scale.textViewWidth, m_textView->frame().size.height});
    // Magnification scales only what the clip view shows: the text keeps its width and line breaks.
    const double magnification = m_scrollView->magnification();
    const Size boundsSize{scale.clipBoundsSize.width / magnification,
                          scale.clipBoundsSize.height / magnification};
    if (!(clip->bounds().size == boundsSize))
        clip->setBoundsSize(boundsSize);

    Rect border;
    const Rect visible = visibleRect();
    for (View* view : {static_cast<View*>(m_scrollView), static_cast<View*>(m_focusArrowView),
                       static_cast<View*>(m_timeBar)}) {
        if (!view->isHidden())
            border = unionOf(border, intersectionOf(visible, view->frame()));
    }
    m_contentBorderRect = border.size.width > 0 ? integral(border) : Rect{};
    if (m_standbyViewVisible && !(m_standbyView->frame() == bounds()))
        m_standbyView->setFrame(bounds());
    if (m_showBlankingNotice) {
        const Size notice = m_blankingNoticeView->frame().size;
        const Size size = bounds().size;
        m_blankingNoticeView->setFrameOrigin(
            {std::round((size.width - notice.width) * 0.5), size.height - notice.height});
        m_blankingNoticeView->setNeedsDisplay(true);
    }
    m_suspendReTile = false;
}

double OVPrompterView::animationDuration() const
{
    if (!m_usesAnimation)
        return 0;
    return isShiftHeld() ? kSlowAnimationDuration : kDefaultAnimationDuration;
}

void OVPrompterView::beginAnimation(double duration)
{
    ++m_animationCount;
    if (m_blockEventsDuringAnimation && window() && window()->hostWidget())
        HVEventBlocker::sharedBlocker().blockWindow(window()->hostWidget(), 0, duration);
}

void OVPrompterView::setTimeBarVisible(bool visible)
{
    // Compared with where the bar is heading, so showing it again while it hides turns it round.
    if (visible == m_timeBarTarget)
        return;
    m_timeBarTarget = visible;
    const double duration = animationDuration();
    if (visible) {
        m_timeBar->setHidden(false);
        m_timeBarVisible = true;
    }
    const double target = visible ? m_timeBar->frameHeight() : 0.0;
    auto finish = [this](bool) {
        if (!m_timeBarTarget) {
            m_timeBar->setHidden(true);
            m_timeBarVisible = false;
            tile();
        }
    };
    if (duration > 0) {
        beginAnimation(duration);
        NSViewHVAdditions::postDidBeginAnimation(m_timeBar, OVViewAnimationNameToggleTimeBar);
        m_timeBar->animateToHeight(target, duration, [this, finish](bool finished) {
            --m_animationCount;
            finish(finished);
            NSViewHVAdditions::postDidEndAnimation(m_timeBar, OVViewAnimationNameToggleTimeBar);
        });
    } else {
        const Rect frame = m_timeBar->frame();
        m_timeBar->setFrame({frame.origin, {frame.size.width, target}});
        finish(true);
    }
    tile();
}

void OVPrompterView::setFocusArrowVisible(bool visible)
{
    if (visible == m_focusArrowTarget)
        return;
    m_focusArrowTarget = visible;
    const double duration = animationDuration();
    if (visible) {
        m_focusArrowView->setHidden(false);
        m_focusArrowVisible = true;
    }
    const double target = visible ? OVFocusArrowView::widthForArrowSize(m_focusArrowView->arrowSize()) : 0.0;
    auto finish = [this](bool) {
        if (!m_focusArrowTarget) {
            m_focusArrowView->setHidden(true);
            m_focusArrowVisible = false;
            tile();
        }
    };
    if (duration > 0) {
        beginAnimation(duration);
        NSViewHVAdditions::postDidBeginAnimation(m_focusArrowView, OVViewAnimationNameToggleFocusArrow);
        // The text keeps its line breaks while the arrow slides in or out, here or, for a view whose
        // owner keeps the width of several views at once, through the notifications.
        OVFocusArrowView::WidthTracking tracking;
        if (m_keepsTextContainerWidthDuringArrowAnimation)
            tracking = {[this] { return textContainerWidthTracksTextView(); },
                        [this](bool flag) { setTextContainerWidthTracksTextView(flag); }};
        m_focusArrowView->animateToWidth(target, duration, tracking, [this, finish](bool finished) {
            --m_animationCount;
            finish(finished);
            NSViewHVAdditions::postDidEndAnimation(m_focusArrowView, OVViewAnimationNameToggleFocusArrow);
        });
    } else {
        const Rect frame = m_focusArrowView->frame();
        m_focusArrowView->setFrame({frame.origin, {target, frame.size.height}});
        finish(true);
    }
    tile();
}

bool OVPrompterView::textContainerWidthTracksTextView() const
{
    return m_textView->textContainer().widthTracksTextView();
}

void OVPrompterView::setTextContainerWidthTracksTextView(bool flag)
{
    if (flag == textContainerWidthTracksTextView())
        return;
    if (flag)
        m_textView->layoutManager()->setTextContainerSize(
            {trackedTextContainerWidth(), m_textView->textContainer().size().height});
    m_textView->layoutManager()->setTextContainerWidthTracksTextView(flag);
}

double OVPrompterView::trackedTextContainerWidth() const
{
    return std::max(0.0, m_textView->frame().size.width - 2 * m_textView->textContainerInset().width);
}

bool OVPrompterView::restoreTextContainerWidthTracking()
{
    const TextContainer& container = m_textView->textContainer();
    const double width = trackedTextContainerWidth();
    if (container.widthTracksTextView() && container.size().width == width)
        return false;
    LayoutManager& layout = *m_textView->layoutManager();
    layout.setTextContainerSize({width, container.size().height});
    layout.setTextContainerWidthTracksTextView(true);
    layout.ensureLayoutForTextContainer();
    return true;
}

Rect OVPrompterView::lineRectInDirection(int direction) const
{
    return lineRectInDirection(direction, m_animatingLineDestination);
}

namespace {

// The line fragment next to reference (in container coordinates) in direction among those meeting
// the rect, in the text view's coordinates; byMiddle compares lines by their middles (the focus
// arrow points at a line's middle), else by their tops.
Rect lineNextTo(const TextView& view, bool byMiddle, double reference, int direction, const Rect& among)
{
    const auto lines = view.layoutManager()->lineFragmentsInRect(among);
    const Point origin = view.textContainerOrigin();
    const double epsilon = 0.5;
    const auto top = [byMiddle](const LineFragment& line) {
        return byMiddle ? line.rect.origin.y + line.rect.size.height * 0.5 : line.rect.origin.y;
    };
    if (direction == OVPrompterView::kLineDirectionNext) {
        for (const auto& line : lines) {
            if (top(line) > reference + epsilon)
                return line.rect.offsetBy(origin.x, origin.y);
        }
    } else if (direction == OVPrompterView::kLineDirectionPrevious) {
        for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
            if (top(*it) < reference - epsilon)
                return it->rect.offsetBy(origin.x, origin.y);
        }
    }
    return noLine();
}

} // namespace

Rect OVPrompterView::lineRectInDirection(int direction, double fromY) const
{
    ClipView* clip = m_scrollView->contentView();
    const bool pending = fromY != std::numeric_limits<double>::max() && fromY != kNoLineValue &&
                         Clock::shared().now() < m_lineDestinationResetAt;
    const double y = pending ? fromY : clip->bounds().origin.y;
    const double offset =
        m_focusArrowVisible ? std::abs(m_focusArrowView->arrowCenterFromOrigin()) / m_scaleFactor : 0.0;
    // The line under the reference point (the top of the view, or the arrow's point) is the current
    // one; the neighbouring fragment in the asked direction is the answer.
    const double reference = y + offset - m_textView->textContainerOrigin().y;
    // The neighbour is looked for near the reference first: asking for every line would lay out the
    // whole script while it is still being laid out in the background, and list all its lines.
    const double band = std::max(2 * clip->bounds().size.height, 1000.0);
    const double width = m_textView->textContainer().size().width;
    const Rect near = lineNextTo(*m_textView, m_focusArrowVisible, reference, direction,
                                 {0, reference - band, width, 2 * band});
    if (!isNoLine(near))
        return near;
    return lineNextTo(*m_textView, m_focusArrowVisible, reference, direction, {0, -1e9, width, 2e9});
}

void OVPrompterView::scrollToNextLine()
{
    scrollToLineInDirection(kLineDirectionNext);
}

void OVPrompterView::scrollToPreviousLine()
{
    scrollToLineInDirection(kLineDirectionPrevious);
}

void OVPrompterView::scrollToLineInDirection(int direction)
{
    const Rect line = lineRectInDirection(direction);
    if (isNoLine(line))
        return;
    ClipView* clip = m_scrollView->contentView();
    const double offset =
        m_focusArrowVisible ? std::abs(m_focusArrowView->arrowCenterFromOrigin()) / m_scaleFactor : 0.0;
    const double target =
        (m_focusArrowVisible ? line.origin.y + line.size.height * 0.5 : line.origin.y) - offset;
    Rect bounds = clip->bounds();
    bounds.origin.y = target;
    clip->animateBounds(bounds, kLineScrollDuration);
    if (m_core && m_core->isModePrompt()) {
        m_core->clearReservedModalScrollingTime();
        m_core->addReservedModalScrollingTime(kLineScrollDuration);
    }
    m_animatingLineDestination = target;
    m_lineDestinationResetAt = Clock::shared().now() + kLineScrollDuration;
}

void OVPrompterView::installTextViewFactory()
{
    OVScrollView::setTextViewFactory([](const Rect& frame) { return std::make_unique<OVTextView>(frame); });
}

void OVPrompterView::setReflectPrompterSettingsInEditMode(bool flag)
{
    if (flag == m_reflectPrompterSettingsInEditMode)
        return;
    m_reflectPrompterSettingsInEditMode = flag;
    const bool usedAnimation = m_usesAnimation;
    m_usesAnimation = false;
    m_reflectObservers.clear();
    if (flag) {
        NotificationCenter& center = NotificationCenter::shared();
        m_reflectObservers.emplace_back(center, OVPreviewPrompterViewDidChangeNotification, nullptr,
                                        [this](const Notification&) { reflectPreviewPrompterSettings(); });
        reflectPreviewPrompterSettings();
        m_reflectObservers.emplace_back(center, OVPrompterDidBeginMarginChangeNotification, nullptr,
                                        [this](const Notification&) {
                                            setHasContentBorder(true);
                                            setTextContainerWidthTracksTextView(false);
                                        });
        m_reflectObservers.emplace_back(center, OVPrompterDidEndMarginChangeNotification, nullptr,
                                        [this](const Notification&) {
                                            setHasContentBorder(false);
                                            setTextContainerWidthTracksTextView(true);
                                        });
    } else {
        reflectStandardEditModeSettings();
    }
    m_usesAnimation = usedAnimation;
}

void OVPrompterView::reflectPreviewPrompterSettings()
{
    const UserDefaults& defaults = UserDefaults::shared();
    const qint64 alignment = defaults.integerForKey(QStringLiteral("marginAlignment"));
    reflectShowsFocusArrow(defaults.boolForKey(QStringLiteral("useFocusArrow")),
                           defaults.boolForKey(QStringLiteral("useTimeBar")),
                           defaults.doubleForKey(QStringLiteral("horizontalMarginPercentage")),
                           defaults.doubleForKey(QStringLiteral("verticalMarginPercentage")),
                           alignment >= 0 && alignment <= 8 ? unsigned(alignment) : 4u);
}

void OVPrompterView::reflectStandardEditModeSettings()
{
    reflectShowsFocusArrow(false, false, 0.0, 0.0, m_marginAlignment);
}

void OVPrompterView::reflectShowsFocusArrow(bool showsFocusArrow, bool showsTimeBar, double horizontalMargins,
                                            double verticalMargins, unsigned marginAlignment)
{
    const bool usedAnimation = m_usesAnimation;
    m_usesAnimation = false;
    setFocusArrowVisible(showsFocusArrow);
    setTimeBarVisible(showsTimeBar);
    setHorizontalMarginIndentFactor(horizontalMargins);
    setVerticalMarginIndentFactor(verticalMargins);
    setMarginAlignment(marginAlignment);
    m_usesAnimation = usedAnimation;
}

void OVPrompterView::configureForPreviewOrTalent()
{
    m_textView->configureForEditing(false);
    m_textView->setContinuousSpellCheckingEnabled(false);
    m_textView->setUsesFindBar(false);
    m_scrollView->setHasVerticalScroller(false);
}

void OVPrompterView::setCore(OVCore* core)
{
    m_core = core;
    m_scrollView->setCore(core);
    m_focusArrowView->setCore(core);
    m_timeBar->setCore(core);
}

ScrollView* OVPrompterView::scrollView() const
{
    return m_scrollView;
}

ClipView* OVPrompterView::clipView() const
{
    return m_scrollView->contentView();
}

View* OVPrompterView::textView() const
{
    return m_textView;
}

bool OVPrompterView::isContentEditable() const
{
    return m_textView->isEditable();
}

void OVPrompterView::setupTextViewForMode(bool promptMode, qsizetype visibleCharacterLocation)
{
    m_textView->configureForEditing(!promptMode);
    const qsizetype location =
        std::clamp<qsizetype>(visibleCharacterLocation, 0, m_textView->textStorage().length());
    m_textView->setSelectedRange({promptMode ? 0 : location, 0});
}

bool OVPrompterView::tracksVerticalInset() const
{
    return m_scrollView->tracksVerticalInset();
}

void OVPrompterView::setTracksVerticalInset(bool flag)
{
    m_scrollView->setTracksVerticalInset(flag);
}

double OVPrompterView::verticalInsetAdjustment() const
{
    return m_scrollView->verticalInsetAdjustment();
}

void OVPrompterView::setVerticalInsetAdjustment(double adjustment)
{
    m_scrollView->setVerticalInsetAdjustment(adjustment);
}

void OVPrompterView::setPreventScrolling(bool flag)
{
    m_scrollView->setPreventScrolling(flag);
}

void OVPrompterView::setOverlayScrollerBehavior(unsigned behavior)
{
    m_scrollView->setOverlayScrollerBehavior(behavior);
}

OVPrompterTextOptions OVPrompterView::textOptions() const
{
    OVPrompterTextOptions options;
    options.continuousSpellChecking = m_textView->isContinuousSpellCheckingEnabled();
    options.drawsMarkedText = m_textView->drawsMarkedText();
    options.findBarVisible = m_textView->isFindBarVisible();
    options.rulerVisible = m_textView->isRulerVisible();
    return options;
}

void OVPrompterView::setTextOptions(const OVPrompterTextOptions& options)
{
    m_textView->setContinuousSpellCheckingEnabled(options.continuousSpellChecking);
    m_textView->setDrawsMarkedText(options.drawsMarkedText);
    m_textView->setRulerVisible(options.rulerVisible);
    if (options.findBarVisible != m_textView->isFindBarVisible()) {
        if (FindBar* bar = m_textView->findBar())
            options.findBarVisible ? bar->show() : bar->hide();
    }
    m_textView->setNeedsDisplay(true);
}

OVVisiblePrompterContent OVPrompterView::recordVisibleContent(bool enteringPromptMode) const
{
    OVVisiblePrompterContent content;
    const ClipView* clip = m_scrollView->contentView();
    content.scrollViewSize = m_scrollView->frame().size;
    content.textOffset = m_textView->textContainerInset().height;
    const double travel = m_textView->frame().size.height - clip->bounds().size.height;
    content.scrollRatio = travel > 0 ? clip->bounds().origin.y / travel : 0;
    // Lines only touched at the edges do not count as seen.
    constexpr double kEdgeAllowance = 7.0;
    Rect visible = clip->documentVisibleRect();
    visible.origin.y -= content.textOffset - kEdgeAllowance;
    visible.size.height -= 2 * kEdgeAllowance;
    if (visible.size.height <= 0 || m_textView->textStorage().length() == 0)
        return content;
    const LayoutManager& layout = *m_textView->layoutManager();
    const Range glyphs = layout.glyphRangeForBoundingRect(visible);
    if (glyphs.length <= 0)
        return content;
    content.characterRange = layout.characterRangeForGlyphRange(glyphs);
    if (enteringPromptMode && glyphs.location == 0) {
        const Rect first = layout.boundingRectForGlyphRange({0, 1});
        const double firstQuarter = std::round(first.origin.y) + first.size.height / 4;
        content.atTop = firstQuarter > clip->bounds().origin.y - content.textOffset;
    }
    return content;
}

void OVPrompterView::returnToVisibleContent(const OVVisiblePrompterContent& content, bool force)
{
    ClipView* clip = m_scrollView->contentView();
    const Size size = m_scrollView->frame().size;
    const double offset = m_textView->textContainerInset().height;
    const bool moved = std::abs(size.width - content.scrollViewSize.width) >= 0.01 ||
                       std::abs(size.height - content.scrollViewSize.height) >= 0.01 ||
                       std::abs(offset - content.textOffset) >= 0.01;
    if (!moved && !force)
        return;
    const qsizetype length = m_textView->textStorage().length();
    const qsizetype location = content.characterRange.location;
    // The recorded line is placed where the estimates put it, laying out nothing far above it: layout
    // from the start would stall a long script, and its move, reported once the view stands on the
    // line, would carry the view off the line again. That move is heard of here, before the view is
    // placed, and the frame takes the height as estimated now so the clip view can reach the line.
    std::optional<LineFragment> line;
    if (location >= 0 && location < length) {
        line = m_textView->layoutManager()->lineFragmentWhereEstimated(location, clip->bounds().size.height);
        m_textView->sizeToFit();
    }
    const double top = clip->documentRect().origin.y;
    const double bottom = std::max(top, m_textView->frame().size.height - clip->bounds().size.height + top);
    double y = content.scrollRatio >= 0.5 ? bottom : top;
    if (line) {
        y = std::round(line->rect.minY()) + offset + top + 1;
        // A script shown from its first line starts with that line on the reading line.
        if (content.atTop && isFocusArrowVisible()) {
            const Rect first = m_textView->layoutManager()->boundingRectForGlyphRange({location, 1});
            const double arrowCenter = std::abs(m_focusArrowView->arrowCenterFromOrigin()) / m_scaleFactor;
            y += first.size.height / 2 - arrowCenter - 1;
        }
        y = std::clamp(y, top, bottom);
    }
    clip->scrollToPoint(Point{clip->bounds().origin.x, y});
    m_scrollView->reflectScrolledClipView(clip);
}

bool OVPrompterView::isMouseOverPrompter() const
{
    const QWidget* host = window() ? window()->hostWidget() : nullptr;
    if (!host || !host->isActiveWindow())
        return false;
    const QPointF local = host->mapFromGlobal(QCursor::pos());
    const Rect frame = convertRectToView(bounds(), nullptr);
    return frame.contains(Point{local.x(), window()->frame().size.height - local.y()});
}

qsizetype OVPrompterView::textLength() const
{
    return m_textView->textStorage().length();
}

void OVPrompterView::adjustTextSizeByFactor(double factor)
{
    if (!std::isfinite(factor) || factor <= 0)
        return;
    TextStorage& storage = m_textView->textStorage();
    if (storage.length() == 0)
        return;
    std::vector<std::pair<Range, Font>> fonts;
    storage.enumerateAttribute(kFontAttributeName, {0, storage.length()}, 0,
                               [&](const AttributeValue& value, const Range& range, bool&) {
                                   if (const Font* font = value.font())
                                       fonts.emplace_back(range,
                                                          font->withPointSize(font->pointSize * factor));
                               });
    storage.beginEditing();
    for (const auto& [range, font] : fonts)
        storage.addAttribute(kFontAttributeName, font, range);
    storage.endEditing();
}

void OVPrompterView::invertColors()
{
    // Black, white and the greys swap; coloured words keep their colour, so a red warning in the
    // script stays red on the prompter.
    TextStorage& storage = m_textView->textStorage();
    if (storage.length() > 0) {
        storage.beginEditing();
        NSMutableAttributedStringOVBookmarkAdditions::blackenUncolouredText(storage, {0, storage.length()});
        NSMutableAttributedStringOVBookmarkAdditions::invertColorsIgnoringModifiers(storage);
        storage.endEditing();
    }
    const QColor background = m_textView->backgroundColor();
    if (NSColorHVAdditions::isGrayscale(
            Color::rgb(background.redF(), background.greenF(), background.blueF(), background.alphaF())))
        m_textView->setBackgroundColor(OVViewDrawing::inverseColor(background));
}

bool OVPrompterView::contentNotificationsSuspended() const
{
    return m_textView->disableContentNotifications();
}

void OVPrompterView::setContentNotificationsSuspended(bool flag)
{
    m_textView->setDisableContentNotifications(flag);
}

bool OVPrompterView::backgroundLayoutEnabled() const
{
    return m_textView->layoutManager()->backgroundLayoutEnabled();
}

void OVPrompterView::setBackgroundLayoutEnabled(bool flag)
{
    m_textView->layoutManager()->setBackgroundLayoutEnabled(flag);
}

void OVPrompterView::saveUnadjustedContent()
{
    m_unadjustedContent = std::make_unique<AttributedString>(m_textView->textStorage());
    m_unadjustedBackground = m_textView->backgroundColor();
}

bool OVPrompterView::restoreUnadjustedContent()
{
    std::unique_ptr<AttributedString> content = std::move(m_unadjustedContent);
    TextStorage& storage = m_textView->textStorage();
    // Prompt mode shows the text read-only; a copy of another length belongs to another text.
    if (!content || content->length() != storage.length() || content->string() != storage.string())
        return false;
    storage.beginEditing();
    storage.setAttributedString(*content);
    storage.endEditing();
    m_textView->setBackgroundColor(m_unadjustedBackground);
    return true;
}

const AttributedString* OVPrompterView::unadjustedContent() const
{
    return m_unadjustedContent.get();
}

void OVPrompterView::drawRect(QPainter& painter, const Rect& dirtyRect)
{
    const QColor background = m_textView->backgroundColor();
    if (m_borderAlpha == 0) {
        painter.fillRect(
            QRectF(dirtyRect.origin.x, dirtyRect.origin.y, dirtyRect.size.width, dirtyRect.size.height),
            background);
        return;
    }
    const Rect all = bounds();
    painter.fillRect(QRectF(all.origin.x, all.origin.y, all.size.width, all.size.height), background);
    painter.save();
    painter.setOpacity(m_borderAlpha);
    const QColor color = m_contentBorderColor.value_or(
        QColor::fromRgbF(1.0f - background.redF(), 1.0f - background.greenF(), 1.0f - background.blueF()));
    QPen pen(color);
    pen.setWidthF(2.0);
    painter.setPen(pen);
    const Rect frame = integral(m_contentBorderRect.insetBy(-2, -2));
    painter.drawRect(QRectF(frame.origin.x, frame.origin.y, frame.size.width, frame.size.height));
    painter.restore();
}
