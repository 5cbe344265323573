// The blanking notice, the clickable text field, the screen-mode transformers, the prompter's
// standby view and notice, and the fixed reflect of hidden scrollers.
#include "PrompterViewTestSupport.h"

#include "platform/appkit/Application.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/textlayout/LayoutConversions.h"
#include "prompter_view/OVBlankingNoticeView.h"
#include "prompter_view/OVClickableTextField.h"
#include "prompter_view/OVPrompterStandbyView.h"
#include "prompter_view/OVPrompterView.h"
#include "prompter_view/OVScreenModeTransformers.h"
#include "prompter_view/OVScrollView.h"
#include "prompting/NSResponderOVReverseScrollingAdditions.h"
#include "prompting/NSScrollViewOVAppleBugWorkaroundsAdditions.h"

#include <QFontDatabase>
#include <QFontMetricsF>

namespace {

class SmallPrompterViewsTest : public PrompterViewTest {};

// Counts the actions it receives.
class ActionTarget : public View {
public:
    ActionTarget()
    {
        setActionHandler(QStringLiteral("timerModeToggled:"), [this](const QVariant&) { ++toggled; });
        setActionHandler(QStringLiteral("resetElapsedTimer:"), [this](const QVariant&) { ++reset; });
    }
    int toggled = 0;
    int reset = 0;
};

// Turns the fixed reflect on for one test and restores the flag after it.
struct FixedReflectOn {
    FixedReflectOn() : was(usesFixedReflectScrolledClipView()) { setUsesFixedReflectScrolledClipView(true); }
    ~FixedReflectOn() { setUsesFixedReflectScrolledClipView(was); }
    bool was;
};

} // namespace

TEST_F(SmallPrompterViewsTest, TheNoticeIsItsLabelPaddedByTenPointsOnEverySide)
{
    OVBlankingNoticeView notice(Rect{0, 0, 64, 64});
    notice.setNotice(QStringLiteral("Blanking is on"));
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(20);
    const QFontMetricsF metrics(font);
    const Size label = notice.label()->frame().size;
    EXPECT_EQ(label.width, std::ceil(metrics.horizontalAdvance(QStringLiteral("Blanking is on"))));
    EXPECT_EQ(notice.frame().size, Size(label.width + 20, label.height + 20));
    EXPECT_EQ(notice.label()->frame().origin, Point(10, 10));
    EXPECT_EQ(notice.backgroundColor(), QColor::fromRgbF(0, 0, 0, 0.75));
    EXPECT_EQ(notice.plainNoticeColor(), QColor(Qt::white));

    // Dark and translucent: what lies below shows through a little.
    const QImage image = notice.imageOfRect(notice.bounds());
    EXPECT_EQ(qAlpha(image.pixel(2, 2)), 191);
    // The whole text is drawn inside the label: its last letter ends just before the label's edge,
    // not cut off by it.
    int rightmostInk = -1;
    for (int x = 0; x < image.width(); ++x)
        for (int y = 0; y < image.height(); ++y)
            if (qGray(image.pixel(x, y)) > 128)
                rightmostInk = std::max(rightmostInk, x);
    EXPECT_GT(rightmostInk, 10 + label.width - 8);
    EXPECT_LT(rightmostInk, 10 + label.width - 1);

    // An attributed notice replaces the plain one and keeps its own colours; a plain one clears it.
    MutableAttributedString attributed(QStringLiteral("On"));
    attributed.addAttribute(kForegroundColorAttributeName, Color::rgb(1, 0, 0), {0, 2});
    notice.setAttributedNotice(attributed);
    EXPECT_TRUE(notice.notice().isEmpty());
    ASSERT_TRUE(notice.attributedNotice());
    const QImage red = notice.imageOfRect(notice.bounds());
    bool sawRed = false;
    for (int x = 0; x < red.width() && !sawRed; ++x)
        for (int y = 0; y < red.height() && !sawRed; ++y)
            sawRed = qRed(red.pixel(x, y)) > 150 && qGreen(red.pixel(x, y)) < 60;
    EXPECT_TRUE(sawRed);
    EXPECT_LT(notice.frame().size.width, label.width + 20);
    notice.setNotice(QStringLiteral("Blanking is on"));
    EXPECT_FALSE(notice.attributedNotice());
}

TEST_F(SmallPrompterViewsTest, ClicksPassThroughTheNoticeToThePrompterBelow)
{
    HostWindow host({600, 400});
    OVPrompterView* prompter = host.add(std::make_unique<OVPrompterView>(Rect{0, 0, 600, 400}));
    prompter->setShowBlankingNotice(true);
    OVBlankingNoticeView* notice = prompter->blankingNoticeView();
    ASSERT_FALSE(notice->isHidden());
    // Top centre, half away from zero.
    const Size size = notice->frame().size;
    EXPECT_EQ(notice->frame().origin, Point(std::round((600 - size.width) / 2), 400 - size.height));
    EXPECT_FALSE(notice->acceptsFirstResponder());
    const Point inside{notice->frame().midX(), notice->frame().midY()};
    View* hit = host.window->contentView()->hitTest(inside);
    EXPECT_NE(hit, notice);
    EXPECT_NE(hit, notice->label());
    EXPECT_TRUE(hit && hit->isDescendantOf(prompter));
    prompter->setShowBlankingNotice(false);
    EXPECT_TRUE(notice->isHidden());
}

TEST_F(SmallPrompterViewsTest, ThePrompterMakesItsStandbyViewAtOnceAndTurnsItWithTheOutput)
{
    OVPrompterView prompter(Rect{0, 0, 300, 200});
    OVPrompterStandbyView* standby = prompter.standbyView();
    ASSERT_TRUE(standby);
    EXPECT_TRUE(standby->isHidden());
    // It lies over everything, the notice included.
    EXPECT_EQ(prompter.subviews().back().get(), standby);
    prompter.setHorizontallyFlipped(true);
    prompter.setVerticallyFlipped(true);
    EXPECT_TRUE(standby->isHorizontallyFlipped());
    EXPECT_TRUE(standby->isVerticallyFlipped());
    EXPECT_EQ(standby->menuWithSelectedDefault(), nullptr);
}

TEST_F(SmallPrompterViewsTest, TheFieldSendsItsActionOnAClickAndTheAlternateOnAnAltClick)
{
    HostWindow host({300, 100});
    ActionTarget* target = host.add(std::make_unique<ActionTarget>());
    OVClickableTextField* field = host.add(std::make_unique<OVClickableTextField>(Rect{0, 0, 100, 30}));
    field->setTarget(target);
    field->setAction(QStringLiteral("timerModeToggled:"));

    host.send(mouseEvent(Event::Type::LeftMouseDown, 10, 10, kOptionKeyMask));
    EXPECT_EQ(target->toggled, 0);
    EXPECT_EQ(target->reset, 0);
    host.send(mouseEvent(Event::Type::LeftMouseDown, 10, 10));
    EXPECT_EQ(target->toggled, 1);
    field->setAlternateAction(QStringLiteral("resetElapsedTimer:"));
    host.send(mouseEvent(Event::Type::LeftMouseDown, 10, 10, kOptionKeyMask));
    EXPECT_EQ(target->toggled, 1);
    EXPECT_EQ(target->reset, 1);
}

TEST_F(SmallPrompterViewsTest, TheTransformersReadTheScreenModeSetting)
{
    struct Row {
        PlistValue mode;
        std::optional<bool> dual;
        std::optional<bool> dualOrMirrored;
    };
    const std::vector<Row> table = {
        {PlistValue(0), false, false},
        {PlistValue(1), true, true},
        {PlistValue(2), false, true},
        {PlistValue(3), false, false},
        {PlistValue(-1), false, false},
        {PlistValue(1.9), true, true},
        {PlistValue(1e300), false, false},
        {PlistValue(std::numeric_limits<double>::quiet_NaN()), false, false},
        {PlistValue(true), true, true},
        {PlistValue(QStringLiteral("2")), false, true},
        {PlistValue(QStringLiteral("99999999999999999999999")), false, false},
        {PlistValue(), std::nullopt, std::nullopt},
        {PlistValue(PlistArray{}), std::nullopt, std::nullopt},
        {PlistValue(QByteArray("1")), std::nullopt, std::nullopt},
    };
    for (const Row& row : table) {
        EXPECT_EQ(OVIsScreenModeDualScreenValueTransformer(row.mode), row.dual);
        EXPECT_EQ(OVIsScreenModeDualScreenOrMirroredValueTransformer(row.mode), row.dualOrMirrored);
    }
}

TEST_F(SmallPrompterViewsTest, AHiddenScrollerTakesTheScrollRatioAfterEveryReflect)
{
    FixedReflectOn fixed;
    HostWindow host({400, 500});
    auto document = std::make_unique<View>(Rect{0, 0, 400, 2500});
    document->setFlipped(true);
    OVScrollView* view = host.add(std::make_unique<OVScrollView>(Rect{0, 0, 400, 500}, std::move(document)));
    view->setHasVerticalScroller(false);
    ASSERT_FALSE(view->hasVerticalScroller());

    // A quarter of the way down the 2000 points it can scroll.
    view->contentView()->scrollToPoint({0, 500});
    EXPECT_DOUBLE_EQ(verticalScrollRatio(*view), 0.25);
    EXPECT_DOUBLE_EQ(view->verticalScroller()->doubleValue(), 0.25);
    // A value set behind the view's back is put right by the next reflect.
    view->verticalScroller()->setDoubleValue(0.9);
    view->reflectScrolledClipView(view->contentView());
    EXPECT_DOUBLE_EQ(view->verticalScroller()->doubleValue(), 0.25);
    // Shown later, it is where the text is.
    view->setHasVerticalScroller(true);
    EXPECT_DOUBLE_EQ(view->verticalScroller()->doubleValue(), 0.25);
}

TEST_F(SmallPrompterViewsTest, TheStartSwitchTogglesTheFixedReflectAndReversalStaysInert)
{
    const bool was = usesFixedReflectScrolledClipView();
    toggleFixedReflectScrolledClipView();
    EXPECT_NE(usesFixedReflectScrolledClipView(), was);
    toggleFixedReflectScrolledClipView();
    EXPECT_EQ(usesFixedReflectScrolledClipView(), was);

    setupReverseScrollWheelEventsForClasses({QStringLiteral("OVClipView"), QStringLiteral("OVTextView")});
    setupReverseScrollWheelEventsForClasses({QStringLiteral("Other")});
    EXPECT_EQ(reverseScrollWheelEventClasses(),
              QStringList({QStringLiteral("OVClipView"), QStringLiteral("OVTextView")}));
    setReverseScrollWheelEvents(true);
    updateReverseScrollWheelEventsFromUserDefaults();
    EXPECT_FALSE(isReversingScrollWheelEvents());

    // A wheel turn scrolls the same way as before the call.
    HostWindow host({400, 500});
    auto document = std::make_unique<View>(Rect{0, 0, 400, 2500});
    document->setFlipped(true);
    OVScrollView* view = host.add(std::make_unique<OVScrollView>(Rect{0, 0, 400, 500}, std::move(document)));
    view->contentView()->scrollToPoint({0, 1000});
    Event event = mouseEvent(Event::Type::ScrollWheel, 100, 100);
    event.scrollingDeltaY = 12;
    event.hasPreciseScrollingDeltas = true;
    host.send(event);
    EXPECT_EQ(view->contentView()->bounds().origin.y, 988);
    // The empty wheel event scrolls by nothing.
    Event empty = emptyScrollWheelEvent();
    EXPECT_EQ(empty.type, Event::Type::ScrollWheel);
    EXPECT_TRUE(empty.hasPreciseScrollingDeltas);
    empty.window = event.window;
    empty.locationInWindow = event.locationInWindow;
    host.send(empty);
    EXPECT_EQ(view->contentView()->bounds().origin.y, 988);
}
