#include "PrompterViewTestSupport.h"

#include "platform/appkit/ClipView.h"
#include "platform/appkit/NSViewHVAdditions.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/text/AttributeNames.h"
#include "platform/textlayout/LayoutManager.h"
#include "prompter_view/OVPrompterView.h"
#include "prompter_view/OVScrollView.h"
#include "text/OVTextView.h"

#include <QImage>

#include <cmath>

namespace {

Font bigFont(double size)
{
    Font font;
    font.familyName = QStringLiteral("DejaVu Sans");
    font.fontName = QStringLiteral("DejaVuSans");
    font.pointSize = size;
    return font;
}

QString script(int lines)
{
    QStringList paragraphs;
    for (int i = 0; i < lines; ++i)
        paragraphs << QStringLiteral("Line %1 of the script").arg(i + 1);
    return paragraphs.join(QChar('\n'));
}

class OVPrompterViewTest : public PrompterViewTest {
protected:
    void SetUp() override
    {
        PrompterViewTest::SetUp();
        OVPrompterView::setShiftKeyQuery([this] { return shift; });
    }
    void TearDown() override
    {
        view.reset();
        OVPrompterView::setShiftKeyQuery(nullptr);
        PrompterViewTest::TearDown();
    }
    OVPrompterView& make(const Size& size, int lines = 40, double fontSize = 30)
    {
        view = std::make_unique<OVPrompterView>(Rect{{0, 0}, size});
        OVTextView* text = view->prompterTextView();
        text->setString(script(lines));
        text->textStorage().setAttributes({{kFontAttributeName, bigFont(fontSize)}},
                                          {0, text->textStorage().length()});
        view->tile();
        return *view;
    }
    Rect scrollFrame() const { return view->prompterScrollView()->frame(); }

    std::unique_ptr<OVPrompterView> view;
    bool shift = false;
};

TEST_F(OVPrompterViewTest, MarginsFollowTheAlignmentGrid)
{
    make({1000, 500});
    EXPECT_EQ(scrollFrame(), (Rect{0, 0, 1000, 500}));
    view->setHorizontalMarginIndentFactor(0.2);
    view->setVerticalMarginIndentFactor(0.2);
    const struct {
        unsigned alignment;
        double x;
        double y;
    } cases[] = {{0, 0, 100}, {1, 100, 100}, {2, 200, 100}, {4, 100, 50}, {6, 0, 0}, {8, 200, 0}};
    for (const auto& c : cases) {
        view->setMarginAlignment(c.alignment);
        EXPECT_EQ(scrollFrame(), (Rect{c.x, c.y, 800, 400})) << c.alignment;
    }
    LogLines log;
    view->setMarginAlignment(9);
    EXPECT_EQ(scrollFrame(), (Rect{100, 50, 800, 400}));
    EXPECT_EQ(log.count(QStringLiteral("Unhandled margin alignment")), 2);
}

TEST_F(OVPrompterViewTest, StoredMarginsAndScaleFactorsOutOfRangeAreClampedOrRefused)
{
    make({1000, 500});
    view->setHorizontalMarginIndentFactor(std::nan(""));
    EXPECT_EQ(view->horizontalMarginIndentFactor(), 0.0);
    view->setVerticalMarginIndentFactor(7);
    EXPECT_LE(view->verticalMarginIndentFactor(), 0.99);
    EXPECT_GT(scrollFrame().size.height, 0);
    view->setVerticalMarginIndentFactor(-3);
    EXPECT_EQ(view->verticalMarginIndentFactor(), 0.0);

    for (double bad : {0.0, -2.0, std::nan(""), double(INFINITY)}) {
        EXPECT_FALSE(view->setScaleFactor(bad)) << bad;
        EXPECT_EQ(view->scaleFactor(), 1.0);
    }
    const Size clip = view->prompterScrollView()->contentView()->bounds().size;
    EXPECT_TRUE(std::isfinite(clip.width) && std::isfinite(clip.height));
}

TEST_F(OVPrompterViewTest, AnEmptyViewTilesWithoutNonsense)
{
    make({0, 0}, 2);
    view->setTimeBarVisible(true);
    view->setFocusArrowVisible(true);
    view->setHorizontalMarginIndentFactor(0.5);
    view->setScaleFactor(3);
    view->setHorizontallyFlipped(true);
    for (const View* sub : {static_cast<const View*>(view->prompterScrollView()),
                            static_cast<const View*>(view->prompterScrollView()->contentView())}) {
        EXPECT_TRUE(std::isfinite(sub->bounds().size.width) && sub->bounds().size.width >= 0);
        EXPECT_TRUE(std::isfinite(sub->bounds().size.height) && sub->bounds().size.height >= 0);
    }
    view->setFrame({0, 0, 300, 200});
    EXPECT_GT(scrollFrame().size.width, 0);
    EXPECT_EQ(view->lineRectInDirection(7).origin.x, OVPrompterView::kNoLineValue);
}

TEST_F(OVPrompterViewTest, ScaleFactorMagnifiesThroughTheClipView)
{
    make({600, 400});
    ClipView* clip = view->prompterScrollView()->contentView();
    const double clipWidth = clip->frame().size.width;
    ASSERT_TRUE(view->setScaleFactor(0.5));
    EXPECT_DOUBLE_EQ(clip->bounds().size.width, clipWidth * 2);
    EXPECT_DOUBLE_EQ(view->prompterTextView()->frame().size.width, clipWidth * 2);
    ASSERT_TRUE(view->setScaleFactor(2));
    EXPECT_DOUBLE_EQ(clip->bounds().size.width, clipWidth / 2);
    EXPECT_DOUBLE_EQ(view->prompterTextView()->frame().size.width, clipWidth);
}

TEST_F(OVPrompterViewTest, ArrowAndBarTileForEachPositionAndFlip)
{
    make({1000, 500});
    view->setTimeBarVisible(true);
    view->setFocusArrowVisible(true);
    const double barHeight = view->timeBar()->frameHeight();
    const double arrowWidth = view->focusArrowView()->frame().size.width;
    ASSERT_GT(barHeight, 0);
    ASSERT_GT(arrowWidth, 0);

    EXPECT_EQ(view->timeBar()->frame(), (Rect{0, 0, 1000, barHeight}));
    EXPECT_EQ(view->focusArrowView()->frame(), (Rect{0, barHeight, arrowWidth, 500 - barHeight}));
    EXPECT_EQ(scrollFrame(), (Rect{arrowWidth, barHeight, 1000 - arrowWidth, 500 - barHeight}));

    // Moving the bar to the top re-tiles through its notification.
    view->timeBar()->setPosition(OVTimeBar::kPositionTop);
    EXPECT_EQ(view->timeBar()->frame(), (Rect{0, 500 - barHeight, 1000, barHeight}));
    EXPECT_EQ(scrollFrame().origin.y, 0);

    view->setVerticallyFlipped(true);
    EXPECT_EQ(view->timeBar()->frame().origin.y, 0);
    EXPECT_EQ(scrollFrame().origin.y, barHeight);
    EXPECT_TRUE(view->timeBar()->flippedVertically());
    EXPECT_TRUE(view->focusArrowView()->flippedVertically());
    // Upside down the script mirrors about its own centre, so the clip view runs from its end.
    EXPECT_TRUE(view->prompterScrollView()->layerTransform().isIdentity());
    EXPECT_EQ(view->prompterTextView()->layerTransform(), QTransform::fromScale(1, -1));

    view->setHorizontallyFlipped(true);
    EXPECT_GE(view->focusArrowView()->frame().minX(), scrollFrame().maxX());
    EXPECT_EQ(view->prompterScrollView()->layerTransform(), QTransform::fromScale(-1, 1));
    EXPECT_EQ(view->contentBorderRect(), (Rect{0, 0, 1000, 500}));

    view->setTimeBarVisible(false);
    view->setFocusArrowVisible(false);
    EXPECT_EQ(scrollFrame(), (Rect{0, 0, 1000, 500}));
    EXPECT_TRUE(view->timeBar()->isHidden());
}

TEST_F(OVPrompterViewTest, AnimatedArrowRetilesTheTextOnEveryFrame)
{
    make({1000, 500});
    view->setUsesAnimation(true);
    shift = true;
    EXPECT_DOUBLE_EQ(view->animationDuration(), 1.0);
    view->setFocusArrowVisible(true);
    EXPECT_TRUE(view->isAnimating());
    EXPECT_FALSE(view->textContainerWidthTracksTextView());

    RunLoop::main().advanceManualClock(clockScope.clock, 0.5);
    const double midway = view->focusArrowView()->frame().size.width;
    EXPECT_GT(midway, 0);
    EXPECT_DOUBLE_EQ(scrollFrame().origin.x, midway);

    RunLoop::main().advanceManualClock(clockScope.clock, 0.6);
    EXPECT_FALSE(view->isAnimating());
    EXPECT_TRUE(view->textContainerWidthTracksTextView());
    EXPECT_DOUBLE_EQ(scrollFrame().origin.x, view->focusArrowView()->frame().size.width);

    shift = false;
    view->setTimeBarVisible(true);
    view->setTimeBarVisible(false);
    // Hiding keeps the bar counted as visible until its animation ends.
    EXPECT_TRUE(view->isTimeBarVisible());
    RunLoop::main().advanceManualClock(clockScope.clock, 0.3);
    EXPECT_FALSE(view->isTimeBarVisible());
    EXPECT_TRUE(view->timeBar()->isHidden());

    // Shown again halfway through hiding, the bar turns round and stays.
    view->setTimeBarVisible(true);
    RunLoop::main().advanceManualClock(clockScope.clock, 0.3);
    view->setTimeBarVisible(false);
    RunLoop::main().advanceManualClock(clockScope.clock, 0.1);
    view->setTimeBarVisible(true);
    RunLoop::main().advanceManualClock(clockScope.clock, 0.3);
    EXPECT_FALSE(view->isAnimating());
    EXPECT_TRUE(view->isTimeBarVisible());
    EXPECT_FALSE(view->timeBar()->isHidden());
    EXPECT_DOUBLE_EQ(view->timeBar()->frame().size.height, view->timeBar()->frameHeight());
}

TEST_F(OVPrompterViewTest, TwoLineScrollsInQuickSuccessionMoveTwoLines)
{
    make({800, 400}, 60);
    ClipView* clip = view->prompterScrollView()->contentView();
    const Rect first = view->lineRectInDirection(OVPrompterView::kLineDirectionNext);
    ASSERT_NE(first.origin.y, OVPrompterView::kNoLineValue);
    view->scrollToNextLine();
    RunLoop::main().advanceManualClock(clockScope.clock, 0.1);
    view->scrollToNextLine();
    const double second = view->animatingLineDestination();
    EXPECT_NEAR(second - first.origin.y, first.size.height, 0.5);
    RunLoop::main().advanceManualClock(clockScope.clock, 0.5);
    EXPECT_NEAR(clip->bounds().origin.y, second, 0.01);

    // The action through the responder chain, as a key binding sends it from the text view.
    EXPECT_TRUE(view->prompterTextView()->tryToPerform(QStringLiteral("scrollToPreviousLine:"), {}));
    RunLoop::main().advanceManualClock(clockScope.clock, 0.5);
    EXPECT_NEAR(clip->bounds().origin.y, first.origin.y, 0.5);

    // Nothing before the first line.
    clip->scrollToPoint({0, 0});
    RunLoop::main().advanceManualClock(clockScope.clock, 0.5);
    const Rect none = view->lineRectInDirection(OVPrompterView::kLineDirectionPrevious);
    EXPECT_EQ(none.origin.y, OVPrompterView::kNoLineValue);
}

TEST_F(OVPrompterViewTest, LineStepsInALongScriptLayOutOnlyAsFarAsTheNextLine)
{
    make({800, 400}, 20000);
    LayoutManager& layout = *view->prompterTextView()->layoutManager();
    layout.setBackgroundLayoutEnabled(false);
    const qsizetype length = view->prompterTextView()->textStorage().length();
    const Rect next = view->lineRectInDirection(OVPrompterView::kLineDirectionNext);
    ASSERT_NE(next.origin.y, OVPrompterView::kNoLineValue);
    EXPECT_LT(layout.firstUnlaidCharacterIndex(), length / 10);

    // Far down the script (a scroller dragged there), the step still answers the line after the top.
    ClipView* clip = view->prompterScrollView()->contentView();
    clip->scrollToPoint({0, view->prompterTextView()->frame().size.height / 2});
    const Rect far = view->lineRectInDirection(OVPrompterView::kLineDirectionNext);
    ASSERT_NE(far.origin.y, OVPrompterView::kNoLineValue);
    EXPECT_GT(far.origin.y, clip->bounds().origin.y);
    EXPECT_LT(far.origin.y, clip->bounds().origin.y + 100);
    EXPECT_LT(layout.firstUnlaidCharacterIndex(), length * 3 / 4);
}

TEST_F(OVPrompterViewTest, BackgroundReachesArrowBarAndScrollView)
{
    make({800, 400});
    EXPECT_EQ(view->prompterScrollView()->enclosingPrompterView(), view.get());
    EXPECT_EQ(view->prompterScrollView()->textView(), view->prompterTextView());
    view->prompterTextView()->setBackgroundColor(Qt::black);
    EXPECT_EQ(view->focusArrowView()->backgroundColor(), QColor(Qt::black));
    EXPECT_EQ(view->timeBar()->backgroundColor(), QColor(Qt::black));
}

TEST_F(OVPrompterViewTest, TalentAdjustmentsUndoThemselves)
{
    make({800, 400}, 3, 20);
    OVTextView* text = view->prompterTextView();
    view->adjustTextSizeByFactor(2);
    EXPECT_EQ(text->textStorage().attribute(kFontAttributeName, 0).font()->pointSize, 40);
    view->adjustTextSizeByFactor(0.5);
    EXPECT_EQ(text->textStorage().attribute(kFontAttributeName, 0).font()->pointSize, 20);
    view->adjustTextSizeByFactor(0);
    EXPECT_EQ(text->textStorage().attribute(kFontAttributeName, 0).font()->pointSize, 20);

    view->invertColors();
    EXPECT_EQ(text->backgroundColor(), QColor(Qt::black));
    EXPECT_EQ(*text->textStorage().attribute(kForegroundColorAttributeName, 0).color(), Color::rgb(1, 1, 1));
    EXPECT_EQ(view->timeBar()->backgroundColor(), QColor(Qt::black));
    view->invertColors();
    EXPECT_EQ(text->backgroundColor(), QColor(Qt::white));
    EXPECT_EQ(*text->textStorage().attribute(kForegroundColorAttributeName, 0).color(), Color::rgb(0, 0, 0));
}

TEST_F(OVPrompterViewTest, TalentViewsAreOutputOnlyAndResizingCanSkipTheTile)
{
    make({800, 400});
    view->configureForPreviewOrTalent();
    EXPECT_FALSE(view->prompterTextView()->isEditable());
    EXPECT_FALSE(view->prompterTextView()->isSelectable());
    EXPECT_FALSE(view->prompterScrollView()->hasVerticalScroller());

    view->setFrameWithoutTile({0, 0, 1000, 500});
    EXPECT_EQ(scrollFrame().size.width, 800);
    EXPECT_FALSE(view->suspendReTile());
    view->setFrame({0, 0, 900, 500});
    EXPECT_EQ(scrollFrame().size.width, 900);
}

TEST_F(OVPrompterViewTest, PromptModeMakesTheTextDisplayOnly)
{
    make({800, 400});
    view->setupTextViewForMode(true, 10);
    EXPECT_FALSE(view->isContentEditable());
    EXPECT_EQ(view->prompterTextView()->selectedRange(), (Range{0, 0}));
    view->setupTextViewForMode(false, 10);
    EXPECT_TRUE(view->isContentEditable());
    EXPECT_EQ(view->prompterTextView()->selectedRange(), (Range{10, 0}));
}

TEST_F(OVPrompterViewTest, EditModeMirrorsThePreviewSettingsUntilSwitchedOff)
{
    make({1000, 500});
    view->setUsesAnimation(true);
    UserDefaults& defaults = UserDefaults::shared();
    defaults.setBool(true, QStringLiteral("useFocusArrow"));
    defaults.setBool(true, QStringLiteral("useTimeBar"));
    defaults.setDouble(0.2, QStringLiteral("horizontalMarginPercentage"));
    defaults.setDouble(0.1, QStringLiteral("verticalMarginPercentage"));
    defaults.setInteger(2, QStringLiteral("marginAlignment"));

    view->setReflectPrompterSettingsInEditMode(true);
    EXPECT_FALSE(view->isAnimating());
    EXPECT_TRUE(view->isFocusArrowVisible());
    EXPECT_TRUE(view->isTimeBarVisible());
    EXPECT_EQ(view->horizontalMarginIndentFactor(), 0.2);
    EXPECT_EQ(view->marginAlignment(), 2u);
    EXPECT_TRUE(view->usesAnimation());

    defaults.setDouble(0.4, QStringLiteral("horizontalMarginPercentage"));
    NotificationCenter::shared().postNotification(OVPreviewPrompterViewDidChangeNotification);
    EXPECT_EQ(view->horizontalMarginIndentFactor(), 0.4);
    NotificationCenter::shared().postNotification(OVPrompterDidBeginMarginChangeNotification);
    EXPECT_TRUE(view->hasContentBorder());
    EXPECT_EQ(view->borderAlpha(), 0.0);
    RunLoop::main().advanceManualClock(clockScope.clock, 0.1);
    EXPECT_GT(view->borderAlpha(), 0.0);
    EXPECT_LT(view->borderAlpha(), 1.0);
    RunLoop::main().advanceManualClock(clockScope.clock, 0.2);
    EXPECT_EQ(view->borderAlpha(), 1.0);
    EXPECT_FALSE(view->textContainerWidthTracksTextView());
    NotificationCenter::shared().postNotification(OVPrompterDidEndMarginChangeNotification);
    EXPECT_FALSE(view->hasContentBorder());
    EXPECT_TRUE(view->textContainerWidthTracksTextView());

    view->setReflectPrompterSettingsInEditMode(false);
    EXPECT_FALSE(view->isFocusArrowVisible());
    EXPECT_FALSE(view->isTimeBarVisible());
    EXPECT_EQ(view->horizontalMarginIndentFactor(), 0.0);
    EXPECT_EQ(view->marginAlignment(), 2u);
    EXPECT_EQ(scrollFrame(), (Rect{0, 0, 1000, 500}));
}

// The arrow's and the bar's animations are told to whoever listens, each under its name, from the
// view that moves; without animation nothing is told.
TEST_F(OVPrompterViewTest, AnimationsOfTheArrowAndTheBarAreToldByName)
{
    make({1000, 500});
    QStringList heard;
    std::vector<const void*> posters;
    NotificationCenter& center = NotificationCenter::shared();
    NotificationObserver begin(center, kViewDidBeginAnimationNotification, nullptr, [&](const Notification& n) {
        heard << QStringLiteral("begin ") + NSViewHVAdditions::animationName(n);
        posters.push_back(n.object);
        // Told as it starts, the view already counts as animating.
        if (NSViewHVAdditions::animationName(n) != kViewAnimationNameFlipAxis)
            EXPECT_TRUE(view->isAnimating());
    });
    NotificationObserver end(center, kViewDidEndAnimationNotification, nullptr, [&](const Notification& n) {
        heard << QStringLiteral("end ") + NSViewHVAdditions::animationName(n);
        posters.push_back(n.object);
        EXPECT_FALSE(view->isAnimating());
    });

    view->setUsesAnimation(false);
    view->setFocusArrowVisible(true);
    view->setTimeBarVisible(true);
    EXPECT_TRUE(heard.isEmpty());

    view->setUsesAnimation(true);
    view->setFocusArrowVisible(false);
    EXPECT_EQ(heard, QStringList{QStringLiteral("begin OVViewAnimationNameToggleFocusArrow")});
    RunLoop::main().advanceManualClock(clockScope.clock, 0.3);
    view->setTimeBarVisible(false);
    RunLoop::main().advanceManualClock(clockScope.clock, 0.3);
    EXPECT_EQ(heard, (QStringList{QStringLiteral("begin OVViewAnimationNameToggleFocusArrow"),
                                  QStringLiteral("end OVViewAnimationNameToggleFocusArrow"),
                                  QStringLiteral("begin OVViewAnimationNameToggleTimeBar"),
                                  QStringLiteral("end OVViewAnimationNameToggleTimeBar")}));
    EXPECT_EQ(posters, (std::vector<const void*>{view->focusArrowView(), view->focusArrowView(), view->timeBar(),
                                                 view->timeBar()}));

    // A flip is told as one too, at once: the mirror images are drawing transforms.
    heard.clear();
    posters.clear();
    view->setVerticallyFlipped(true);
    ASSERT_EQ(heard.size(), 4);
    EXPECT_EQ(heard[0], QStringLiteral("begin HVViewAnimationNameFlipAxis"));
    EXPECT_EQ(heard[1], QStringLiteral("end HVViewAnimationNameFlipAxis"));
    EXPECT_EQ(posters[0], view->prompterTextView());
    EXPECT_NE(posters[2], view->prompterTextView());
}

// A view whose owner holds its text container's width leaves it tracking through the arrow's
// animation; by default the view holds it itself.
TEST_F(OVPrompterViewTest, AViewLeavesTheWidthToItsOwnerWhenToldTo)
{
    make({1000, 500});
    view->setUsesAnimation(true);
    EXPECT_TRUE(view->keepsTextContainerWidthDuringArrowAnimation());
    view->setKeepsTextContainerWidthDuringArrowAnimation(false);
    view->setFocusArrowVisible(true);
    EXPECT_TRUE(view->isAnimating());
    EXPECT_TRUE(view->textContainerWidthTracksTextView());
    RunLoop::main().advanceManualClock(clockScope.clock, 0.3);
    EXPECT_TRUE(view->textContainerWidthTracksTextView());

    // Restoring after such an animation: nothing to do while the container follows the view.
    EXPECT_FALSE(view->restoreTextContainerWidthTracking());
    view->setTextContainerWidthTracksTextView(false);
    view->setFrameSize({800, 500});
    EXPECT_TRUE(view->restoreTextContainerWidthTracking());
    EXPECT_TRUE(view->textContainerWidthTracksTextView());
    EXPECT_EQ(view->prompterTextView()->textContainer().size().width, view->trackedTextContainerWidth());
}

TEST_F(OVPrompterViewTest, TheWheelOverTheScriptChangesSpeedWhilePrompting)
{
    std::vector<QString> actions;
    OVTextView::PromptState state;
    OVTextView::setActionSender([&](const QString& action, OVTextView&) { actions.push_back(action); });
    OVTextView::setPromptStateProvider([&] { return state; });
    HostWindow host({800, 400});
    OVPrompterView* prompter = host.add(std::make_unique<OVPrompterView>(Rect{0, 0, 800, 400}));
    prompter->prompterTextView()->setString(script(50));

    Event wheel;
    wheel.type = Event::Type::ScrollWheel;
    wheel.locationInWindow = {400, 200};
    wheel.scrollingDeltaY = -1;
    state.prompt = true;
    host.send(wheel);
    wheel.scrollingDeltaY = 3;
    host.send(wheel);
    EXPECT_EQ(actions, (std::vector<QString>{QStringLiteral("increaseSpeedWithMaxCap:"),
                                             QStringLiteral("decreaseSpeedWithMinCap:"),
                                             QStringLiteral("decreaseSpeedWithMinCap:"),
                                             QStringLiteral("decreaseSpeedWithMinCap:")}));
    // Held still, the view takes no speed steps either.
    actions.clear();
    prompter->setPreventScrolling(true);
    host.send(wheel);
    EXPECT_TRUE(actions.empty());
    OVTextView::setActionSender(nullptr);
    OVTextView::setPromptStateProvider(nullptr);
}

// Image rows run top down; the view's rectangles are y-up.
QRect imageRows(const Rect& rect, double height)
{
    return QRect(int(std::floor(rect.origin.x)), int(std::floor(height - rect.maxY())),
                 int(std::ceil(rect.size.width)), int(std::ceil(rect.size.height)));
}

TEST_F(OVPrompterViewTest, AFlippedPrompterDrawsItsFirstLineWhereTheGeometrySays)
{
    make({800, 400}, 30, 40);
    view->setHorizontalMarginIndentFactor(0.1);
    view->setMarginAlignment(4);
    view->setTimeBarVisible(true);
    view->setFocusArrowVisible(true);
    view->setVerticallyFlipped(true);
    view->setHorizontallyFlipped(true);

    OVTextView* text = view->prompterTextView();
    const auto line = text->layoutManager()->lineFragmentForGlyphAtIndex(0);
    ASSERT_TRUE(line.has_value());
    const Point origin = text->textContainerOrigin();
    const Rect inView = text->convertRectToView(line->usedRect.offsetBy(origin.x, origin.y), view.get());
    // The mirror image about the content's centre, as the geometry puts the content.
    const Rect content = view->lastTile().content;
    const Rect mirrored{2 * content.midX() - inView.maxX(), 2 * content.midY() - inView.maxY(),
                        inView.size.width, inView.size.height};

    const QImage image = view->imageOfRect(view->bounds());
    const QRect contentRows = imageRows(content, 400);
    const QRect ink =
        pixelBounds(image.copy(contentRows), [](const QColor& c) { return c.alpha() > 200 && c.red() < 60; });
    ASSERT_FALSE(ink.isEmpty());
    const QRect expected = imageRows(mirrored, 400).translated(-contentRows.topLeft());
    // The first line is the lowest ink of the upside-down text, and it ends at the right: its glyphs
    // sit inside the mirrored line rectangle, short of its edges only by the font's side bearings and
    // the space above the capitals.
    EXPECT_LE(ink.bottom(), expected.bottom());
    EXPECT_GE(ink.bottom(), expected.bottom() - expected.height() / 3);
    EXPECT_LE(ink.right(), expected.right());
    EXPECT_GE(ink.right(), expected.right() - 15);
    EXPECT_GT(expected.top(), contentRows.height() / 2);
}

} // namespace

TEST_F(OVPrompterViewTest, BlankingCoversTheScriptInBlackAndGivesItBack)
{
    OVPrompterView& prompter = make({600, 400});
    prompter.setTimeBarVisible(true);
    prompter.setStandbyViewVisible(true);
    EXPECT_TRUE(prompter.isStandbyViewVisible());
    ASSERT_TRUE(prompter.standbyView());
    EXPECT_FALSE(prompter.standbyView()->isHidden());
    EXPECT_TRUE(prompter.prompterScrollView()->isHidden());
    EXPECT_TRUE(prompter.timeBar()->isHidden());
    const QImage image = prompter.imageOfRect(prompter.bounds());
    EXPECT_EQ(image.pixelColor(300, 200), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(5, 5), QColor(Qt::black));

    prompter.setStandbyViewVisible(false);
    EXPECT_FALSE(prompter.isStandbyViewVisible());
    EXPECT_TRUE(prompter.standbyView()->isHidden());
    EXPECT_FALSE(prompter.prompterScrollView()->isHidden());
    EXPECT_FALSE(prompter.timeBar()->isHidden());
    // The arrow was off before blanking and stays off.
    EXPECT_TRUE(prompter.focusArrowView()->isHidden());
}

TEST_F(OVPrompterViewTest, TheRecordedLineReturnsAfterAResize)
{
    OVPrompterView& prompter = make({600, 400}, 120, 30);
    ClipView* clip = prompter.prompterScrollView()->contentView();
    OVTextView* text = prompter.prompterTextView();
    clip->scrollToPoint({0, 1500});
    const OVVisiblePrompterContent recorded = prompter.recordVisibleContent(false);
    ASSERT_GE(recorded.characterRange.location, 0);
    const LayoutManager& layout = *text->layoutManager();
    const double before = layout
                              .boundingRectForGlyphRange(
                                  layout.glyphRangeForCharacterRange({recorded.characterRange.location, 1}))
                              .origin.y;

    // Unchanged, the view stays where it is.
    clip->scrollToPoint({0, 1520});
    prompter.returnToVisibleContent(recorded, false);
    EXPECT_EQ(clip->bounds().origin.y, 1520);

    // Narrower, the lines rewrap; the first recorded line comes back to the top.
    prompter.setFrame(Rect{{0, 0}, {300, 500}});
    prompter.returnToVisibleContent(recorded, false);
    const double after = layout
                             .boundingRectForGlyphRange(
                                 layout.glyphRangeForCharacterRange({recorded.characterRange.location, 1}))
                             .origin.y;
    EXPECT_NE(after, before);
    const double top = clip->bounds().origin.y;
    EXPECT_NEAR(top, after + text->textContainerInset().height + 1, 1.0);
}

TEST_F(OVPrompterViewTest, UpsideDownARangeIsScrolledToWhereItsMirrorImageShows)
{
    OVPrompterView& prompter = make({600, 400}, 120, 30);
    OVTextView* text = prompter.prompterTextView();
    ClipView* clip = prompter.prompterScrollView()->contentView();
    const double height = text->frame().size.height;
    ASSERT_GT(height, 2000);
    const qsizetype last = text->textStorage().length() - 1;

    // Straight, the script's end is at the bottom of the document.
    text->scrollRangeToVisible({last, 1});
    EXPECT_GT(clip->bounds().origin.y, height / 2);

    // Upside down its mirror image is at the top, and the first line's at the bottom.
    prompter.setVerticallyFlipped(true);
    clip->scrollToPoint({0, height / 2});
    text->scrollRangeToVisible({last, 1});
    EXPECT_LT(clip->bounds().origin.y, height / 2);
    text->scrollRangeToVisible({0, 1});
    EXPECT_GT(clip->bounds().origin.y, height / 2);
}
