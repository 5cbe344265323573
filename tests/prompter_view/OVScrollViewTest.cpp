#include "PrompterViewTestSupport.h"

#include "prompter_view/OVClipView.h"
#include "prompter_view/OVEnclosingPrompterView.h"
#include "text/OVInsetEventProtocol.h"
#include "prompter_view/OVScrollView.h"
#include "text/OVScrollViewTextView.h"
#include "prompter_view/OVScroller.h"
#include "tests/prompting/CoreTestSupport.h"

#include <QApplication>

#include <vector>

namespace {

// A text view stand-in: text of a fixed height, padded by the container inset above and below.
class PaddedText : public View, public OVScrollViewTextView, public OVInsetEventProtocol {
public:
    PaddedText(double width, double textHeight) : View(Rect{0, 0, width, textHeight}), textHeight(textHeight)
    {
        setFlipped(true);
    }
    Size textContainerInset() const override { return inset; }
    void setTextContainerInset(const Size& value) override
    {
        inset = value;
        setFrameSize({frame().size.width, textHeight + 2 * inset.height});
    }
    bool handledEventSelector(const QString& selector, Event& event, int region, ClipView* from) override
    {
        offered.push_back(region);
        EXPECT_EQ(selector, "scrollWheel:");
        if (reenter)
            from->scrollWheel(event);
        return handles;
    }

    double textHeight;
    Size inset;
    std::vector<int> offered;
    bool handles = true;
    bool reenter = false;
};

// A container that says whether it shows its content upside down.
class FlippingContainer : public View, public OVEnclosingPrompterView {
public:
    explicit FlippingContainer(const Rect& frame) : View(frame) {}
    bool isVerticallyFlipped() const override { return flipped; }
    bool flipped = true;
};

Event wheel(double x, double y, double deltaY, bool precise = false)
{
    Event event = mouseEvent(Event::Type::ScrollWheel, x, y);
    event.scrollingDeltaY = deltaY;
    event.hasPreciseScrollingDeltas = precise;
    return event;
}

class ScrollViewTest : public PrompterViewTest {
protected:
    // A 400 x 500 scroll view filling a window, over text of textHeight.
    OVScrollView* makeScrollView(double textHeight = 3000)
    {
        auto text = std::make_unique<PaddedText>(400, textHeight);
        this->text = text.get();
        return host.add(std::make_unique<OVScrollView>(Rect{0, 0, 400, 500}, std::move(text)));
    }
    double y(OVScrollView* view) const { return view->contentView()->bounds().origin.y; }

    HostWindow host{{400, 500}};
    PaddedText* text = nullptr;
};

TEST_F(ScrollViewTest, PaddingIsOneVisibleHeightPlusTheAdjustmentAndTheTextStaysPut)
{
    OVScrollView* view = makeScrollView();
    view->contentView()->scrollToPoint({0, 100});
    view->setVerticalInsetAdjustment(20);
    NotificationCounter padded(OVScrollViewTracksVerticalInsetDidChangeNotification);
    view->setTracksVerticalInset(true);
    EXPECT_EQ(text->inset.height, 520);
    EXPECT_EQ(text->frame().size.height, 3000 + 2 * 520);
    EXPECT_EQ(y(view), 620);
    EXPECT_EQ(padded.count, 1);
    view->setTracksVerticalInset(true);
    EXPECT_EQ(padded.count, 1);

    text->inset.width = 7;
    view->setTracksVerticalInset(false);
    EXPECT_EQ(text->inset, Size(0, 0));
    EXPECT_EQ(y(view), 100);
    EXPECT_EQ(padded.count, 2);
}

TEST_F(ScrollViewTest, PaddingFollowsTheHeightAndThePreference)
{
    OVScrollView* view = makeScrollView();
    view->setTracksVerticalInset(true);
    view->setFrameSize({400, 300});
    EXPECT_EQ(text->inset.height, 300);

    UserDefaults::shared().setBool(false, "alwaysUseAutomaticWhitespacePadding");
    NotificationCenter::shared().postNotification(
        OVPreferencesAdvancedDidChangeAlwaysUseAutomaticWhitespacePaddingNotification);
    EXPECT_FALSE(view->tracksVerticalInset());
    EXPECT_EQ(text->inset.height, 0);
    UserDefaults::shared().setBool(true, "alwaysUseAutomaticWhitespacePadding");
    OVScrollView second(Rect{0, 0, 100, 100}, std::make_unique<PaddedText>(100, 50));
    EXPECT_TRUE(second.tracksVerticalInset());
}

TEST_F(ScrollViewTest, HidingTheScrollerOfAShortDocumentLengthensItFirst)
{
    OVScrollView* view = makeScrollView(200);
    std::vector<double> heights;
    text->addFrameObserver([&](View& v) { heights.push_back(v.frame().size.height); });
    view->setHasVerticalScroller(false);
    EXPECT_EQ(heights, std::vector<double>({532, 500}));
    EXPECT_FALSE(view->hasVerticalScroller());

    OVScrollView* tall = makeScrollView(3000);
    heights.clear();
    text->addFrameObserver([&](View& v) { heights.push_back(v.frame().size.height); });
    tall->setHasVerticalScroller(false);
    EXPECT_TRUE(heights.empty());
    EXPECT_FALSE(tall->hasVerticalScroller());

    tall->setIgnoreSetHasScrollerCalls(true);
    tall->setHasVerticalScroller(true);
    EXPECT_FALSE(tall->hasVerticalScroller());
}

TEST_F(ScrollViewTest, OverlayScrollersKeepTheClipViewAtFullWidth)
{
    OVScrollView* view = makeScrollView();
    view->setScrollerStyle(Scroller::Style::Legacy);
    EXPECT_TRUE(view->usesOverlayScrollers());
    EXPECT_TRUE(view->hasVerticalScroller());
    EXPECT_EQ(view->contentView()->frame().size.width, 400);
    EXPECT_TRUE(dynamic_cast<OVClipView*>(view->contentView()));
    EXPECT_TRUE(dynamic_cast<OVScroller*>(view->verticalScroller()));
    EXPECT_EQ(view->textView(), text);
    EXPECT_TRUE(view->debugScrollStack().startsWith("OVScrollView <0x"));
}

TEST_F(ScrollViewTest, FlippedPrompterWheelMovesTheOtherWayWithinTheDocument)
{
    auto* container = host.add(std::make_unique<FlippingContainer>(Rect{0, 0, 400, 500}));
    auto* view = container->addSubview(
        std::make_unique<OVScrollView>(Rect{0, 0, 400, 500}, std::make_unique<PaddedText>(400, 3000)));
    EXPECT_EQ(view->enclosingPrompterView(), container);
    view->contentView()->scrollToPoint({0, 100});
    Event notch = wheel(200, 250, 1.25);
    view->scrollWheel(notch);
    EXPECT_EQ(y(view), 100 + std::round(1.25 * view->verticalLineScroll()));
    Event precise = wheel(200, 250, -7.5, true);
    view->scrollWheel(precise);
    EXPECT_EQ(y(view), 100 + std::round(1.25 * view->verticalLineScroll()) - 7.5);
    Event far = wheel(200, 250, -1000, true);
    view->scrollWheel(far);
    EXPECT_EQ(y(view), 0);

    container->flipped = false;
    Event plain = wheel(200, 250, -2);
    view->scrollWheel(plain);
    EXPECT_EQ(y(view), 2 * view->verticalLineScroll());
}

TEST_F(ScrollViewTest, AKnobDragIsAnnouncedOnceBeforeAndOnceAfter)
{
    OVScrollView* view = makeScrollView();
    Scroller* scroller = view->verticalScroller();
    QStringList order;
    NotificationObserver begin(NotificationCenter::shared(), OVScrollerWillBeginScrollingByMouseNotification,
                               scroller, [&](const Notification&) { order << "begin"; });
    NotificationObserver end(NotificationCenter::shared(), OVScrollerDidFinishScrollingByMouseNotification,
                             scroller, [&](const Notification&) { order << "end"; });
    view->contentView()->addBoundsObserver([&](View&) {
        if (order.isEmpty() || order.last() != "moved")
            order << "moved";
    });
    // A click in the track below the knob moves the text at once, and then drags.
    const Point track = scroller->convertPointToView({5, scroller->bounds().size.height - 20}, nullptr);
    host.send(mouseEvent(Event::Type::LeftMouseDown, track.x, track.y));
    host.send(mouseEvent(Event::Type::LeftMouseDragged, track.x, track.y + 30));
    host.send(mouseEvent(Event::Type::LeftMouseUp, track.x, track.y + 30));
    EXPECT_EQ(order, QStringList({"begin", "moved", "end"}));
}

TEST_F(ScrollViewTest, ShowOnHoverRevealsTheScrollerInTheRightEdgeStrip)
{
    OVScrollView* view = makeScrollView();
    view->setOverlayScrollerBehavior(OVScrollView::kOverlayShowOnHover);
    EXPECT_FALSE(view->hasVerticalScroller());
    const Rect strip = view->overlayTrackingRect();
    EXPECT_EQ(strip.size.width, Scroller::scrollerWidth(Scroller::Style::Overlay) + 4);
    EXPECT_EQ(strip.maxX(), 400);
    host.send(mouseEvent(Event::Type::MouseMoved, 395, 250));
    EXPECT_TRUE(view->hasVerticalScroller());
    host.send(mouseEvent(Event::Type::MouseMoved, 200, 250));
    EXPECT_FALSE(view->hasVerticalScroller());
    EXPECT_FALSE(view->hasFlashTimer());

    view->setOverlayScrollerBehavior(OVScrollView::kOverlaySystem);
    EXPECT_TRUE(view->hasVerticalScroller());
    EXPECT_TRUE(view->overlayTrackingRect().isEmpty());
}

TEST_F(ScrollViewTest, KeepFlashingShowsTheScrollerAgainAtOnceAndOnEveryFlash)
{
    OVScrollView* view = makeScrollView();
    view->setOverlayScrollerBehavior(OVScrollView::kOverlayKeepFlashing);
    EXPECT_TRUE(view->hasFlashTimer());
    EXPECT_TRUE(view->hasVerticalScroller());
    host.send(mouseEvent(Event::Type::MouseMoved, 395, 250));
    host.send(mouseEvent(Event::Type::MouseMoved, 200, 250));
    EXPECT_TRUE(view->hasVerticalScroller());
    view->ScrollView::setHasVerticalScroller(false);
    RunLoop::main().advanceManualClock(clockScope.clock, 0.34);
    EXPECT_TRUE(view->hasVerticalScroller());
}

TEST_F(ScrollViewTest, WheelEventsInThePaddingGoToTheTextViewFirst)
{
    OVScrollView* view = makeScrollView(1000);
    view->setTracksVerticalInset(true);
    ClipView* clip = view->contentView();
    clip->scrollToPoint({0, 0});
    // The top padding fills the view at the start.
    Event top = wheel(200, 250, -1);
    clip->scrollWheel(top);
    EXPECT_EQ(text->offered, std::vector<int>({1}));
    EXPECT_EQ(y(view), 0);

    clip->scrollToPoint({0, 2000 - 500});
    Event bottom = wheel(200, 250, -1);
    clip->scrollWheel(bottom);
    EXPECT_EQ(text->offered, std::vector<int>({1, 2}));

    clip->scrollToPoint({0, 700});
    Event middle = wheel(200, 250, -1);
    clip->scrollWheel(middle);
    EXPECT_EQ(text->offered.size(), 2u);
    EXPECT_EQ(y(view), 700 + view->verticalLineScroll());
}

TEST_F(ScrollViewTest, AReenteringEventIsDroppedAndLoggedOnce)
{
    OVScrollView* view = makeScrollView(1000);
    view->setTracksVerticalInset(true);
    view->contentView()->scrollToPoint({0, 0});
    text->reenter = true;
    text->handles = false;
    LogLines log;
    for (int i = 0; i < 2; ++i) {
        Event top = wheel(200, 250, -1);
        view->contentView()->scrollWheel(top);
    }
    EXPECT_EQ(text->offered.size(), 2u);
    EXPECT_EQ(
        log.count("-[OVClipView _processOverriddenEvent:eventSelector:] prevented an infinite loop from "
                  "occurring in scrollWheel:. report this."),
        1);
}

class ScrollViewPromptingTest : public CoreTest {
protected:
    // One tick of the engine, with the update it schedules.
    void tick()
    {
        tickAfter(0.1);
        RunLoop::main().fireDueTimers();
    }
};

TEST_F(ScrollViewPromptingTest, WhilePromptingTheWheelFeedsTheEngineInsteadOfScrolling)
{
    makeCore();
    controller.setSpeed(0);
    core->startPrompter();
    tick();
    ASSERT_TRUE(core->isStatusStarted());
    const double start = controller.y();

    OVScrollView view(Rect{0, 0, 400, 500}, std::make_unique<PaddedText>(400, 3000));
    view.setCore(core.get());
    view.contentView()->scrollToPoint({0, 300});
    // Three notches toward the user: the script moves on by what three notches scroll elsewhere,
    // the desktop's wheel lines of a line each (the line scroll here, without laid-out text).
    const double notch = view.wheelNotchDistance();
    EXPECT_EQ(notch, QApplication::wheelScrollLines() * view.verticalLineScroll());
    Event down = wheel(10, 10, -3);
    view.scrollWheel(down);
    EXPECT_EQ(view.contentView()->bounds().origin.y, 300);
    tick();
    EXPECT_EQ(controller.y(), start + 3 * notch);
    Event up = wheel(10, 10, 2);
    view.scrollWheel(up);
    tick();
    EXPECT_EQ(controller.y(), start + notch);
    Event none = wheel(10, 10, 0);
    view.scrollWheel(none);
    tick();
    EXPECT_EQ(controller.y(), start + notch);

    core->toggleStatus();
    ASSERT_FALSE(core->isStatusStarted());
    Event paused = wheel(10, 10, -1);
    view.scrollWheel(paused);
    EXPECT_EQ(view.contentView()->bounds().origin.y, 300 + view.verticalLineScroll());
}

} // namespace
