#include "TalentTestSupport.h"

#include "output/OVEnvironment.h"
#include "output/OVScreen.h"
#include "output/OVTalentWindow.h"
#include "output/OVTalentWindowController.h"
#include "platform/appkit/Application.h"
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
