#include "TalentTestSupport.h"

#include "output/OVEnvironment.h"
#include "output/OVScreen.h"
#include "output/OVTalentWindow.h"
#include "output/OVTalentWindowController.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/NSViewHVAdditions.h"
#include "platform/appkit/RunLoop.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/textlayout/LayoutManager.h"
#include "prompter_view/OVPrompterView.h"
#include "platform/appkit/Window.h"
#include "prompting/OVCore.h"
#include "text/OVTextView.h"

#include <gtest/gtest.h>

namespace {

Screen equalOperator() { return FakeScreenProvider::makeScreen(0, {{0, 0}, {1920, 1080}}); }
Screen equalTalent() { return FakeScreenProvider::makeScreen(1, {{1920, 0}, {1920, 1080}}); }

// The talent output on these screens with the second display chosen.
struct SecondDisplayChosen {
    explicit SecondDisplayChosen(std::vector<Screen> list) : screens(std::move(list)) {}
    ScopedScreens screens;
    ScopedDefaults defaults;
    // Chosen before the controller below reads it.
    bool chosen = (defaults.setInteger(QStringLiteral("screenMode"), 1), true);
    OVCore core;
    OVTalentWindowController talent{core};
};

} // namespace

TEST(OVTalentWindowTest, CoversTheTalentScreenWhenTheSecondDisplayIsChosen)
{
    SecondDisplayChosen output({equalOperator(), equalTalent()});
    ScopedScreens& screens = output.screens;
    ScopedDefaults& defaults = output.defaults;
    OVCore& core = output.core;
    OVTalentWindowController& talent = output.talent;
    EXPECT_EQ(core.dualScreenStatus(), 0);
    EXPECT_TRUE(core.isTalentWindowInUse());
    OVTalentWindow* window = talent.window();
    ASSERT_TRUE(window->isVisible());
    EXPECT_EQ(window->frame(), equalTalent().frame());
    EXPECT_FALSE(window->canBecomeKeyWindow());
    EXPECT_FALSE(window->canBecomeMainWindow());
    EXPECT_TRUE(window->isExcludedFromWindowsMenu());
    EXPECT_EQ(window->level(), OVTalentWindow::kTalentWindowLevel);
    EXPECT_EQ(OVScreen::configuration(), OVScreen::kDualScreen);
    defaults.setBool(QStringLiteral("horizontallyFlipped"), true);
    EXPECT_EQ(OVScreen::configuration(), OVScreen::kDualScreenFlipped);

    // The talent display moves: the window follows, and says so once.
    int posted = 0;
    NotificationObserver observer(NotificationCenter::shared(), OVTalentWindowControllerDidChangeScreenOrInsetNotification,
                                  &talent, [&posted](const Notification&) { ++posted; });
    const Screen moved = FakeScreenProvider::makeScreen(1, {{1920, 100}, {1920, 1080}});
    screens.provider().setScreens({equalOperator(), moved});
    EXPECT_EQ(window->frame(), moved.frame());
    EXPECT_EQ(posted, 1);
    screens.provider().setScreens({equalOperator(), moved});
    EXPECT_EQ(posted, 1);

    // The display goes: the window is ordered out.
    screens.provider().setScreens({equalOperator()});
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(core.isTalentWindowInUse());
}

TEST(OVTalentWindowTest, StaysHiddenWhenTheTalentScreenIsLargerOrNotChosen)
{
    SecondDisplayChosen output({operatorScreen1440(), talentScreen1920()});
    OVCore& core = output.core;
    OVTalentWindowController& talent = output.talent;
    EXPECT_EQ(core.dualScreenStatus(), 5);
    EXPECT_FALSE(talent.window()->isVisible());
    talent.showTalentWindow(true);
    EXPECT_FALSE(talent.window()->isVisible());
    // Hidden, its frame still keeps to the talent screen.
    EXPECT_EQ(talent.window()->frame(), talentScreen1920().frame());
}

TEST(OVTalentWindowTest, ContentInsetNeedsAStrictlySmallerOperatorScreen)
{
    EXPECT_DOUBLE_EQ(OVTalentWindowController::contentInsetForScreenHeights(900, 1080, 53), 27);
    EXPECT_DOUBLE_EQ(OVTalentWindowController::contentInsetForScreenHeights(1134, 1080, 53), 0);
    EXPECT_DOUBLE_EQ(OVTalentWindowController::contentInsetForScreenHeights(1080, 1080, 0), 0);
}

TEST(OVTalentWindowTest, FlipsOnlyTheTalentViewAndMovesOtherWindowsOff)
{
    SecondDisplayChosen output({equalOperator(), equalTalent()});
    OVTalentWindowController& talent = output.talent;
    OVPrompterView preview(Rect{{0, 0}, {320, 180}});
    talent.setPreviewPrompterView(&preview);
    talent.updateHorizontallyFlipped(true);
    EXPECT_TRUE(talent.prompterView()->isHorizontallyFlipped());
    EXPECT_FALSE(preview.isHorizontallyFlipped());
    EXPECT_EQ(preview.prompterTextView()->layoutManager()->textStorage().get(), &talent.talentTextStorage());

    Window stray(Rect{{2000, 100}, {800, 600}});
    stray.orderFront();
    Window child(Rect{{2100, 100}, {200, 100}});
    stray.addChildWindow(&child);
    child.orderFront();
    talent._moveAllWindowsAwayFromTalentScreen();
    EXPECT_TRUE(equalOperator().visibleFrame().contains(stray.frame()));
    EXPECT_EQ(talent.window()->frame(), equalTalent().frame());
    stray.removeChildWindow(&child);
    talent.setPreviewPrompterView(nullptr);
}

TEST(OVTalentWindowTest, CoversASmallerTalentScreen)
{
    const Screen operatorScreen = FakeScreenProvider::makeScreen(0, {{0, 0}, {1920, 1080}});
    const Screen smaller = FakeScreenProvider::makeScreen(1, {{1920, 0}, {1280, 800}});
    SecondDisplayChosen output({operatorScreen, smaller});
    OVCore& core = output.core;
    OVTalentWindowController& talent = output.talent;
    EXPECT_EQ(core.dualScreenStatus(), 0);
    ASSERT_TRUE(talent.window()->isVisible());
    EXPECT_EQ(talent.window()->frame(), smaller.frame());
    EXPECT_EQ(OVEnvironment::prompterOutputSize(), smaller.frame().size);
}

namespace {

// The first and last rows of the image holding a pixel unlike the top-left one.
std::pair<int, int> inkedRows(const QImage& image)
{
    const QRgb background = image.pixel(0, 0);
    int first = -1;
    int last = -1;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (row[x] != background) {
                first = first < 0 ? y : first;
                last = y;
                break;
            }
        }
    }
    return {first, last};
}

// The share of pixels that differ clearly between two images of one size.
double differingShare(const QImage& a, const QImage& b)
{
    if (a.size() != b.size() || a.isNull())
        return 1.0;
    qsizetype differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QColor p = a.pixelColor(x, y);
            const QColor q = b.pixelColor(x, y);
            if (std::abs(p.red() - q.red()) + std::abs(p.green() - q.green()) + std::abs(p.blue() - q.blue()) > 96)
                ++differing;
        }
    }
    return double(differing) / (double(a.width()) * a.height());
}

} // namespace

TEST(OVTalentWindowTest, VerticalFlipMirrorsTheDrawnTextTopToBottom)
{
    SecondDisplayChosen output({equalOperator(), equalTalent()});
    OVTalentWindowController& talent = output.talent;
    OVTextView document(Rect{{0, 0}, {600, 400}});
    document.textStorage().setAttributedString(AttributedString(
        QStringLiteral("Good evening."),
        {{kFontAttributeName, Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica"), 48}},
         {kForegroundColorAttributeName, Color::gray(1)}}));
    document.setBackgroundColor(Qt::black);
    talent.beginDocumentWatching();
    talent.beginDocumentWatching();
    talent._setDocumentTextView(&document);
    OVPrompterView* view = talent.prompterView();
    const QImage unflipped = view->imageOfRect(view->bounds());
    const auto [top, bottom] = inkedRows(unflipped);
    ASSERT_GE(top, 0);

    talent.updateVerticallyFlipped(true);
    EXPECT_TRUE(view->isVerticallyFlipped());
    EXPECT_FALSE(view->isHorizontallyFlipped());
    const QImage flipped = view->imageOfRect(view->bounds());
    const auto [flippedTop, flippedBottom] = inkedRows(flipped);
    ASSERT_EQ(flippedBottom - flippedTop, bottom - top);
    // Where the line lands depends on the scroll position; what is drawn must be the line upside down.
    const QImage line = unflipped.copy(0, top, unflipped.width(), bottom - top + 1);
    const QImage drawn = flipped.copy(0, flippedTop, flipped.width(), flippedBottom - flippedTop + 1);
    EXPECT_LT(differingShare(drawn, line.mirrored(false, true)), 0.01);
    EXPECT_GT(differingShare(drawn, line), 0.01);
    talent._setDocumentTextView(nullptr);
}

namespace {

double containerWidth(const OVPrompterView& view)
{
    return view.prompterTextView()->textContainer().size().width;
}

bool tracks(const OVPrompterView& view)
{
    return view.prompterTextView()->textContainer().widthTracksTextView();
}

} // namespace

// The talent's arrow and time bar slide in and out with the preview's: meanwhile both outputs keep
// their text's line breaks, and once the last animation is over each follows its view's width again.
TEST(OVTalentWindowTest, TheOutputsKeepTheirLineBreaksWhileTheArrowSlidesAndFollowTheirWidthsAfter)
{
    ManualClock clock;
    Clock::setShared(&clock);
    {
        SecondDisplayChosen output({equalOperator(), equalTalent()});
        OVTalentWindowController& talent = output.talent;
        OVPrompterView preview(Rect{{0, 0}, {640, 360}});
        talent.setPreviewPrompterView(&preview);
        OVPrompterView* view = talent.prompterView();
        // The controller holds both widths: neither view holds its own.
        EXPECT_FALSE(view->keepsTextContainerWidthDuringArrowAnimation());
        EXPECT_FALSE(preview.keepsTextContainerWidthDuringArrowAnimation());
        view->setUsesAnimation(true);
        preview.setUsesAnimation(true);
        QStringList heard;
        NotificationCenter& center = NotificationCenter::shared();
        NotificationObserver begin(center, kViewDidBeginAnimationNotification, nullptr, [&](const Notification& n) {
            heard << QStringLiteral("begin ") + NSViewHVAdditions::animationName(n);
        });
        NotificationObserver end(center, kViewDidEndAnimationNotification, nullptr, [&](const Notification& n) {
            heard << QStringLiteral("end ") + NSViewHVAdditions::animationName(n);
        });
        const double talentWidth = containerWidth(*view);
        const double previewWidth = containerWidth(preview);
        ASSERT_GT(talentWidth, 0);
        ASSERT_GT(previewWidth, 0);
        EXPECT_EQ(talentWidth, view->trackedTextContainerWidth());

        talent.updateFocusArrowVisible(true);
        EXPECT_TRUE(view->isAnimating());
        EXPECT_FALSE(tracks(*view));
        EXPECT_FALSE(tracks(preview));
        RunLoop::main().advanceManualClock(clock, OVPrompterView::kDefaultAnimationDuration / 2);
        // Half-way the text views are narrower already; their text is not re-wrapped.
        EXPECT_LT(view->trackedTextContainerWidth(), talentWidth);
        EXPECT_EQ(containerWidth(*view), talentWidth);
        EXPECT_EQ(containerWidth(preview), previewWidth);
        RunLoop::main().advanceManualClock(clock, OVPrompterView::kDefaultAnimationDuration);
        EXPECT_FALSE(view->isAnimating());
        EXPECT_FALSE(preview.isAnimating());
        EXPECT_TRUE(tracks(*view));
        EXPECT_TRUE(tracks(preview));
        EXPECT_EQ(containerWidth(*view), view->trackedTextContainerWidth());
        EXPECT_LT(containerWidth(*view), talentWidth);
        EXPECT_EQ(containerWidth(preview), preview.trackedTextContainerWidth());
        EXPECT_LT(containerWidth(preview), previewWidth);
        EXPECT_EQ(heard.join(u',').toStdString(), (QStringList{QStringLiteral("begin OVViewAnimationNameToggleFocusArrow"),
                                      QStringLiteral("begin OVViewAnimationNameToggleFocusArrow"),
                                      QStringLiteral("end OVViewAnimationNameToggleFocusArrow"),
                                      QStringLiteral("end OVViewAnimationNameToggleFocusArrow")}.join(u',').toStdString()));

        // The time bar's animation holds the widths alike (the bar stands at its height already, so
        // only hiding it moves it).
        talent.updateTimeBarVisible(true);
        RunLoop::main().advanceManualClock(clock, OVPrompterView::kDefaultAnimationDuration * 1.5);
        heard.clear();
        talent.updateTimeBarVisible(false);
        EXPECT_FALSE(tracks(*view));
        EXPECT_FALSE(tracks(preview));
        RunLoop::main().advanceManualClock(clock, OVPrompterView::kDefaultAnimationDuration * 1.5);
        EXPECT_TRUE(tracks(*view));
        EXPECT_TRUE(tracks(preview));
        EXPECT_EQ(heard.join(u',').toStdString(), (QStringList{QStringLiteral("begin OVViewAnimationNameToggleTimeBar"),
                                      QStringLiteral("begin OVViewAnimationNameToggleTimeBar"),
                                      QStringLiteral("end OVViewAnimationNameToggleTimeBar"),
                                      QStringLiteral("end OVViewAnimationNameToggleTimeBar")}.join(u',').toStdString()));

        // Another view's animation ending while the outputs' still run leaves them held.
        talent.updateFocusArrowVisible(false);
        NSViewHVAdditions::postDidEndAnimation(nullptr, QStringLiteral("elsewhere"));
        EXPECT_FALSE(tracks(*view));
        RunLoop::main().advanceManualClock(clock, OVPrompterView::kDefaultAnimationDuration * 1.5);
        EXPECT_TRUE(tracks(*view));
        EXPECT_EQ(containerWidth(*view), talentWidth);

        // A flip posts its animation too; an output left not following its width by it follows it again.
        heard.clear();
        view->prompterTextView()->layoutManager()->setTextContainerWidthTracksTextView(false);
        talent.updateHorizontallyFlipped(true);
        EXPECT_TRUE(heard.contains(QStringLiteral("begin HVViewAnimationNameFlipAxis")));
        EXPECT_TRUE(heard.contains(QStringLiteral("end HVViewAnimationNameFlipAxis")));
        EXPECT_TRUE(tracks(*view));

        // Handed back, the preview holds its own width again.
        talent.setPreviewPrompterView(nullptr);
        EXPECT_TRUE(preview.keepsTextContainerWidthDuringArrowAnimation());
        RunLoop::main().advanceManualClock(clock, 1);
    }
    Clock::setShared(nullptr);
}
