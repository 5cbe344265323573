#include "platform/appkit/Event.h"
#include "platform/appkit/ScrollView.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <vector>

namespace {

// A tall flipped document, like a script laid out top to bottom.
class Document : public View {
public:
    using View::View;
    bool isFlipped() const override { return true; }
    void drawRect(QPainter& painter, const Rect& dirty) override
    {
        painter.fillRect(QRectF(dirty.origin.x, dirty.origin.y, dirty.size.width, dirty.size.height),
                         Qt::white);
        // One black line per 20 points, a point high.
        for (double y = std::floor(dirty.minY() / 20) * 20; y < dirty.maxY(); y += 20)
            painter.fillRect(QRectF(0, y, bounds().size.width, 1), Qt::black);
    }
};

std::unique_ptr<ScrollView> makeScrollView(double documentHeight = 2000)
{
    auto scrollView = std::make_unique<ScrollView>(Rect(0, 0, 300, 200));
    scrollView->setHasVerticalScroller(true);
    scrollView->setDocumentView(std::make_unique<Document>(Rect(0, 0, 300, documentHeight)));
    return scrollView;
}

Event wheel(double deltaY, bool precise)
{
    Event event;
    event.type = Event::Type::ScrollWheel;
    event.scrollingDeltaY = deltaY;
    event.hasPreciseScrollingDeltas = precise;
    return event;
}

} // namespace

TEST(ClipView, BoundsChangesReachObserversInOrderAndSynchronously)
{
    auto scrollView = makeScrollView();
    ClipView* clip = scrollView->contentView();
    std::vector<std::pair<int, double>> heard;
    clip->addBoundsObserver([&](View& v) { heard.push_back({1, v.bounds().origin.y}); });
    const int second = clip->addBoundsObserver([&](View& v) { heard.push_back({2, v.bounds().origin.y}); });
    clip->addBoundsObserver([&](View& v) { heard.push_back({3, v.bounds().origin.y}); });

    clip->setBoundsOrigin({0, 10.25});
    clip->setBoundsOrigin({0, 10.25}); // unchanged: no notification
    clip->removeObserver(second);
    clip->scrollToPoint({0, 40.5});
    const std::vector<std::pair<int, double>> expected = {
        {1, 10.25}, {2, 10.25}, {3, 10.25}, {1, 40.5}, {3, 40.5}};
    EXPECT_EQ(heard, expected);
}

TEST(ClipView, AnObserverMayRemoveItselfWhileNotified)
{
    auto scrollView = makeScrollView();
    ClipView* clip = scrollView->contentView();
    int first = 0;
    int later = 0;
    int token = 0;
    token = clip->addBoundsObserver([&](View& v) {
        ++first;
        v.removeObserver(token);
    });
    clip->addBoundsObserver([&](View&) { ++later; });
    clip->setBoundsOrigin({0, 1});
    clip->setBoundsOrigin({0, 2});
    EXPECT_EQ(first, 1);
    EXPECT_EQ(later, 2);
}

TEST(ClipView, OriginIsFractionalUnconstrainedWhenSetAndConstrainedWhenScrolled)
{
    auto scrollView = makeScrollView();
    ClipView* clip = scrollView->contentView();
    clip->setBoundsOrigin({0, 123.456});
    EXPECT_DOUBLE_EQ(clip->bounds().origin.y, 123.456);
    clip->scrollToPoint({-5, 5000});
    EXPECT_EQ(clip->bounds().origin, Point(0, 1800));
    clip->scrollToPoint({0, -3});
    EXPECT_EQ(clip->bounds().origin, Point(0, 0));
}

TEST(ClipView, DocumentShorterThanTheViewStaysAtItsOrigin)
{
    auto scrollView = makeScrollView(50);
    ClipView* clip = scrollView->contentView();
    clip->scrollToPoint({0, 30});
    EXPECT_EQ(clip->bounds().origin, Point(0, 0));
    EXPECT_DOUBLE_EQ(scrollView->verticalScroller()->doubleValue(), 0.0);
    EXPECT_DOUBLE_EQ(scrollView->verticalScroller()->knobProportion(), 1.0);
}

TEST(ClipView, RefusesOffsetsThatAreNotFinite)
{
    auto scrollView = makeScrollView();
    ClipView* clip = scrollView->contentView();
    clip->setBoundsOrigin({0, 12});
    clip->scrollToPoint({0, NAN});
    clip->setBoundsOrigin({INFINITY, 0});
    EXPECT_EQ(clip->bounds().origin, Point(0, 12));
}

TEST(ClipView, FollowsTheDocumentsFlippedness)
{
    auto scrollView = makeScrollView();
    EXPECT_TRUE(scrollView->contentView()->isFlipped());
    scrollView->setDocumentView(std::make_unique<View>(Rect(0, 0, 300, 1000)));
    EXPECT_FALSE(scrollView->contentView()->isFlipped());
}

TEST(ScrollView, HiddenScrollersStillFollowTheClipView)
{
    auto scrollView = makeScrollView();
    scrollView->setHasVerticalScroller(false);
    EXPECT_TRUE(scrollView->verticalScroller()->isHidden());
    scrollView->contentView()->scrollToPoint({0, 450}); // a quarter of the 1800-point range
    EXPECT_DOUBLE_EQ(scrollView->verticalScroller()->doubleValue(), 0.25);
    scrollView->setHasVerticalScroller(true);
    EXPECT_DOUBLE_EQ(scrollView->verticalScroller()->doubleValue(), 0.25);
    EXPECT_DOUBLE_EQ(scrollView->verticalScroller()->knobProportion(), 0.1);
}

TEST(ScrollView, UnflippedDocumentsCountScrollerValuesFromTheTop)
{
    auto scrollView = std::make_unique<ScrollView>(Rect(0, 0, 300, 200));
    scrollView->setDocumentView(std::make_unique<View>(Rect(0, 0, 300, 2000)));
    ClipView* clip = scrollView->contentView();
    clip->scrollToPoint({0, 1800}); // the top of an unflipped document
    EXPECT_DOUBLE_EQ(scrollView->verticalScroller()->doubleValue(), 0.0);
    clip->scrollToPoint({0, 0});
    EXPECT_DOUBLE_EQ(scrollView->verticalScroller()->doubleValue(), 1.0);
}

TEST(ScrollView, OverlayScrollersFloatAndLegacyScrollersTakeTheirStrip)
{
    auto scrollView = makeScrollView();
    EXPECT_EQ(scrollView->contentSize().width, 300);
    scrollView->setScrollerStyle(Scroller::Style::Legacy);
    EXPECT_EQ(scrollView->contentSize().width, 300 - Scroller::scrollerWidth(Scroller::Style::Legacy));
}

TEST(ScrollView, WheelScrollsByPointsOrLines)
{
    auto scrollView = makeScrollView();
    ClipView* clip = scrollView->contentView();
    clip->scrollToPoint({0, 500});
    Event precise = wheel(-12.5, true); // fingers moving up: later content
    scrollView->scrollWheel(precise);
    EXPECT_DOUBLE_EQ(clip->bounds().origin.y, 512.5);
    Event notch = wheel(1, false);
    scrollView->scrollWheel(notch);
    EXPECT_DOUBLE_EQ(clip->bounds().origin.y, 502.5);
    Event broken = wheel(NAN, true);
    scrollView->scrollWheel(broken);
    EXPECT_DOUBLE_EQ(clip->bounds().origin.y, 502.5);
}

TEST(ScrollView, DraggingTheKnobScrollsAndReportsTheDrag)
{
    auto scrollView = makeScrollView();
    Scroller* scroller = scrollView->verticalScroller();
    int began = 0;
    int finished = 0;
    scroller->setKnobTrackingHandlers([&](Scroller&) { ++began; }, [&](Scroller&) { ++finished; });
    const Rect knob = scroller->knobRect();
    auto at = [&](double y) {
        Event event;
        event.locationInWindow = scroller->convertPointToView({knob.midX(), y}, nullptr);
        return event;
    };
    Event down = at(knob.midY());
    scroller->mouseDown(down);
    Event drag = at(knob.midY() + 40);
    scroller->mouseDragged(drag);
    Event up = at(knob.midY() + 40);
    scroller->mouseUp(up);
    EXPECT_EQ(began, 1);
    EXPECT_EQ(finished, 1);
    EXPECT_GT(scrollView->contentView()->bounds().origin.y, 0);
    EXPECT_NEAR(scroller->doubleValue(), scrollView->contentView()->bounds().origin.y / 1800, 1e-9);
}

TEST(ScrollView, FractionalOffsetsMoveTheDrawingSmoothly)
{
    auto scrollView = makeScrollView();
    scrollView->setHasVerticalScroller(false);
    ClipView* clip = scrollView->contentView();
    auto rowOfFirstLine = [&](double offset) {
        clip->setBoundsOrigin({0, offset});
        const QImage image = scrollView->imageOfRect(Rect(0, 0, 300, 200));
        // Darkness of the first line's pixel rows, weighted by row: its centre of mass.
        double weight = 0;
        double sum = 0;
        for (int y = 0; y < 20; ++y) {
            const double dark = 255 - qGray(image.pixel(150, y));
            weight += dark;
            sum += dark * y;
        }
        return weight > 0 ? sum / weight : -1.0;
    };
    const double atZero = rowOfFirstLine(0.0);
    const double atHalf = rowOfFirstLine(-0.5);
    EXPECT_NEAR(atZero, 0.0, 0.01);
    EXPECT_NEAR(atHalf - atZero, 0.5, 0.2);
}
