#include "../prompting/CoreTestSupport.h"
#include "TalentTestSupport.h"

#include "output/OVPreviewWindowController.h"
#include "output/OVTalentWindowController.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/AppKitNotifications.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/RunLoop.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/hvkit/HVEventBlocker.h"
#include "platform/hvkit/HVHelp.h"
#include "prompter_view/OVFocusArrowView.h"
#include "prompter_view/OVPrompterView.h"
#include "prompter_view/OVTimeBar.h"
#include "prompter_view/OVTimeBarText.h"
#include "prompting/OVCore.h"

#include <QAction>
#include <QApplication>
#include <QColorDialog>
#include <QFontDialog>
#include <QLabel>
#include <QMenu>
#include <QSlider>
#include <QToolButton>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace {

struct ScopedManualClock {
    ScopedManualClock() { Clock::setShared(&clock); }
    ~ScopedManualClock()
    {
        RunLoop::main().advanceManualClock(clock, 5);
        Clock::setShared(nullptr);
    }
    ManualClock clock;
};

// A panel on two equal displays, with the settings it writes forgotten afterwards.
class PanelControlsTest : public ::testing::Test {
protected:
    PanelControlsTest()
    {
        UserDefaults::shared().registerDefaults(OVPreviewWindowController::initialDefaultsDictionary());
        defaults.setBool(QStringLiteral("enableTalentContentAdjustments"), true);
        for (const char* key :
             {"contentTextMagnificationFactor", "horizontalMarginPercentage", "verticalMarginPercentage",
              "useTimeBar", "useFocusArrow", "horizontallyFlipped", "contentInvertTextAndBackgroundColor",
              "previewWindowTopFrameCoordinate", "openPreviewWindowOnStartup", "screenMode",
              "useWindowedPrompting"})
            written << QString::fromLatin1(key);
    }
    ~PanelControlsTest() override
    {
        for (const QString& key : written)
            UserDefaults::shared().removeObjectForKey(key);
    }

    static void wheel(QWidget* widget, int angle)
    {
        const QPointF at(widget->width() / 2.0, widget->height() / 2.0);
        QWheelEvent event(at, widget->mapToGlobal(at), QPoint(), QPoint(0, angle), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(widget, &event);
    }

    QStringList written;
    ScopedManualClock time;
    ScopedScreens screens{{FakeScreenProvider::makeScreen(0, {{0, 0}, {1920, 1080}}),
                           FakeScreenProvider::makeScreen(1, {{1920, 0}, {1920, 1080}})}};
    ScopedDefaults defaults;
    OVCore core;
    OVTalentWindowController talent{core};
};

Event rightMouseDown()
{
    Event event;
    event.type = Event::Type::RightMouseDown;
    return event;
}

QAction* actionWithText(QMenu& menu, const QString& text)
{
    for (QAction* action : menu.actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

} // namespace

TEST_F(PanelControlsTest, TimeBarFontAndColourGoToTheBarOnlyWhileItsActionIsPending)
{
    OVPreviewWindowController preview(core, talent);
    preview.showWindow();
    OVTimeBar* bar = preview.prompterView()->timeBar();

    // The panel is the one that styles time bars: their menus offer it.
    std::unique_ptr<QMenu> menu = bar->menuForEvent(rightMouseDown());
    ASSERT_TRUE(menu);
    QAction* setTimeFont = actionWithText(*menu, QStringLiteral("Set Time Font and Color"));
    ASSERT_NE(setTimeFont, nullptr);
    setTimeFont->trigger();
    EXPECT_EQ(preview.lastTimeBarAction(), OVTimeBar::kTimeAttributesAction);
    EXPECT_EQ(OVTimeBar::actionableTimeBar(), bar);
    ASSERT_NE(preview.fontDialog(), nullptr);
    EXPECT_TRUE(preview.fontDialog()->isVisible());
    EXPECT_TRUE(preview.colorDialog()->isVisible());
    // The dialogs open on the bar's own font, in points, and opening them changes nothing.
    const std::optional<Font> before = OVTimeBarText::fontOf(bar->timeAttributes());
    ASSERT_TRUE(before);
    EXPECT_DOUBLE_EQ(preview.fontDialog()->currentFont().pointSizeF(), before->pointSize);
    EXPECT_EQ(OVTimeBarText::fontOf(bar->timeAttributes()), before);

    QFont chosen(QStringLiteral("DejaVu Sans"));
    chosen.setPointSizeF(30);
    EXPECT_TRUE(preview.changeFont(chosen));
    EXPECT_DOUBLE_EQ(OVTimeBarText::fontOf(bar->timeAttributes())->pointSize, 30);
    EXPECT_EQ(OVTimeBarText::fontOf(bar->timeAttributes())->familyName, chosen.family());
    preview.colorDialog()->setCurrentColor(QColor(200, 10, 20));
    EXPECT_EQ(OVTimeBarText::colorOf(bar->timeAttributes())->rgb(), QColor(200, 10, 20).rgb());
    // The titles were not asked for.
    EXPECT_NE(OVTimeBarText::fontOf(bar->titleAttributes())->pointSize, 30);

    // The panel stops being key: the dialogs close and further choices go nowhere.
    NotificationCenter::shared().postNotification(kWindowDidResignKeyNotification, preview.window());
    EXPECT_EQ(preview.lastTimeBarAction(), 0);
    EXPECT_EQ(OVTimeBar::actionableTimeBar(), nullptr);
    EXPECT_FALSE(preview.fontDialog()->isVisible());
    EXPECT_FALSE(preview.changeFont(QFont(QStringLiteral("DejaVu Serif"))));
    EXPECT_DOUBLE_EQ(OVTimeBarText::fontOf(bar->timeAttributes())->pointSize, 30);
}

TEST_F(PanelControlsTest, APanelFadingOrHiddenStylesNoTimeBar)
{
    OVPreviewWindowController preview(core, talent);
    preview.showWindow();
    preview.window()->setAlphaValue(0.5);
    preview.prepareForTimebar(preview.prompterView()->timeBar(), OVTimeBar::kTimeAttributesAction,
                              preview.prompterView()->timeBar()->timeAttributes());
    EXPECT_EQ(preview.lastTimeBarAction(), 0);
    EXPECT_EQ(preview.fontDialog(), nullptr);
}

TEST_F(PanelControlsTest, TheWheelStepsMagnificationByATenthAndMarginsByAHundredthOnceTheWheelRests)
{
    OVPreviewWindowController preview(core, talent);
    const auto field = [&preview](const char* name) {
        const auto* label = preview.window()->hostWidget()->findChild<QLabel*>(QString::fromLatin1(name));
        return label ? label->text() : QStringLiteral("(none)");
    };
    EXPECT_EQ(field("magnificationField"), QStringLiteral("1.0\u00D7"));
    wheel(preview.magnificationSlider(), 120);
    EXPECT_DOUBLE_EQ(preview.contentTextMagnificationFactor(), 1.1);
    EXPECT_EQ(field("magnificationField"), QStringLiteral("1.1\u00D7"));
    wheel(preview.magnificationSlider(), -240);
    EXPECT_DOUBLE_EQ(preview.contentTextMagnificationFactor(), 1.0);

    wheel(preview.horizontalMarginSlider(), 120);
    wheel(preview.horizontalMarginSlider(), 120);
    // The slider and the content border show the change at once; the margin waits for the wheel.
    EXPECT_EQ(preview.horizontalMarginSlider()->value(), 20);
    EXPECT_DOUBLE_EQ(preview.horizontalMarginFactor(), 0.0);
    EXPECT_TRUE(talent.prompterView()->hasContentBorder());
    RunLoop::main().advanceManualClock(time.clock, 0.1);
    wheel(preview.horizontalMarginSlider(), 120);
    RunLoop::main().advanceManualClock(time.clock, 0.15);
    EXPECT_DOUBLE_EQ(preview.horizontalMarginFactor(), 0.0);
    RunLoop::main().advanceManualClock(time.clock, 0.1);
    EXPECT_NEAR(preview.horizontalMarginFactor(), 0.03, 1e-12);
    EXPECT_EQ(field("horizontalMarginField"), QStringLiteral("3 %"));
    EXPECT_EQ(field("verticalMarginField"), QStringLiteral("0 %"));
    EXPECT_FALSE(talent.prompterView()->hasContentBorder());
    EXPECT_NEAR(UserDefaults::shared().doubleForKey(QStringLiteral("horizontalMarginPercentage")), 0.03,
                1e-12);

    // Below zero the margin stops at zero.
    for (int i = 0; i < 10; ++i)
        wheel(preview.horizontalMarginSlider(), -120);
    RunLoop::main().advanceManualClock(time.clock, 0.3);
    EXPECT_DOUBLE_EQ(preview.horizontalMarginFactor(), 0.0);
}

TEST_F(PanelControlsTest, AnUnknownSliderGetsTheMagnificationStepAndIsLogged)
{
    OVPreviewWindowController preview(core, talent);
    QSlider stranger;
    stranger.setObjectName(QStringLiteral("stranger"));
    LogCapture log;
    EXPECT_DOUBLE_EQ(preview.sliderScrollDeltaMultiplier(&stranger), 0.1);
    ASSERT_EQ(log.lines.size(), 1);
    EXPECT_TRUE(log.lines.front().endsWith(QStringLiteral("Unaccounted slider stranger")));
    EXPECT_DOUBLE_EQ(preview.sliderScrollDeltaMultiplier(preview.verticalMarginSlider()), 0.01);
}

TEST_F(PanelControlsTest, ActionButtonsShowWithTheirFeatureAndOfferTheTalentOutputsMenus)
{
    OVPreviewWindowController preview(core, talent);
    preview.setUseTimeBar(false);
    EXPECT_FALSE(preview.focusArrowActionButton()->isHidden());
    EXPECT_TRUE(preview.timeBarActionButton()->isHidden());
    preview.setUseTimeBar(true);
    EXPECT_FALSE(preview.timeBarActionButton()->isHidden());

    QStringList expected;
    const std::unique_ptr<QMenu> arrowMenu =
        talent.prompterView()->focusArrowView()->menuForEvent(rightMouseDown());
    for (QAction* action : arrowMenu->actions())
        expected << action->text();
    preview.updateActionButtonMenu(preview.focusArrowActionButton());
    QStringList shown;
    for (QAction* action : preview.focusArrowActionButton()->menu()->actions())
        shown << action->text();
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_EQ(shown, expected);
    // Opening it again replaces the items rather than adding to them.
    preview.updateActionButtonMenu(preview.focusArrowActionButton());
    EXPECT_EQ(preview.focusArrowActionButton()->menu()->actions().size(), shown.size());

    preview.updateActionButtonMenu(preview.timeBarActionButton());
    EXPECT_NE(actionWithText(*preview.timeBarActionButton()->menu(), QStringLiteral("Position on Top")),
              nullptr);
}

TEST_F(PanelControlsTest, HelpOpensAtThePanelsAnchor)
{
    OVPreviewWindowController preview(core, talent);
    QString opened;
    HVHelp::setOpener([&opened](const QString& anchor) { opened = anchor; });
    preview.controlsWidget()->findChild<QToolButton*>(QStringLiteral("helpButton"))->click();
    HVHelp::setOpener({});
    EXPECT_EQ(opened, QStringLiteral("PreviewAnchor"));

    // Without help pages beside the program the user is told so, not left wondering.
    QString title;
    AlertPresenterScope presenter([&title](Alert& alert) {
        title = alert.messageText();
        return Alert::kFirstButtonReturn;
    });
    preview.helpButtonPressed();
    EXPECT_EQ(title, QStringLiteral("Help could not be opened."));
}

TEST_F(PanelControlsTest, FlippingHoldsThePanelsInputBackForAMoment)
{
    OVPreviewWindowController preview(core, talent);
    QWidget* host = preview.window()->hostWidget();
    preview.setHorizontallyFlipped(true);
    EXPECT_TRUE(HVEventBlocker::sharedBlocker().isWindowBlocked(host));
    RunLoop::main().advanceManualClock(time.clock, OVPreviewWindowController::kFlipEventBlockPadding + 0.01);
    EXPECT_FALSE(HVEventBlocker::sharedBlocker().isWindowBlocked(host));
}

TEST_F(PanelControlsTest, ANewStatusPageSwapsInOverAFifthOfASecondKeepingTheTopEdge)
{
    OVPreviewWindowController preview(core, talent);
    ASSERT_EQ(preview.displayOptionsPage(), OVPreviewWindowController::kAllOptionsPage);
    const Rect before = preview.window()->frame();
    // A talent display larger than the operator's: the page with a control, taller.
    screens.provider().setScreens({operatorScreen1440(), talentScreen1920()});
    ASSERT_EQ(preview.displayOptionsPage(), OVPreviewWindowController::kResolutionMismatchPage);
    EXPECT_DOUBLE_EQ(preview.window()->frame().size.height, before.size.height);
    RunLoop::main().advanceManualClock(time.clock, 0.1);
    const Rect midway = preview.window()->frame();
    RunLoop::main().advanceManualClock(time.clock, 0.15);
    const Rect after = preview.window()->frame();
    EXPECT_NE(after.size.height, before.size.height);
    EXPECT_GT(std::abs(midway.size.height - before.size.height), 0);
    EXPECT_LT(std::abs(midway.size.height - before.size.height),
              std::abs(after.size.height - before.size.height));
    EXPECT_DOUBLE_EQ(midway.maxY(), before.maxY());
    EXPECT_DOUBLE_EQ(after.maxY(), before.maxY());
    // The preview stays at the top of the panel.
    EXPECT_DOUBLE_EQ(preview.centeringPrompterBox()->frame().maxY() + 10,
                     preview.window()->contentRectForFrameRect(after).size.height);
}

TEST_F(PanelControlsTest, WithoutASavedPositionTheFirstLaunchPutsThePanelAtTheTopOfTheOperatorScreen)
{
    OVPreviewWindowController preview(core, talent);
    const Rect area = FakeScreenProvider::makeScreen(0, {{0, 0}, {1920, 1080}}).visibleFrame();
    EXPECT_DOUBLE_EQ(preview.window()->frame().maxY(), area.maxY());
    EXPECT_DOUBLE_EQ(preview.window()->frame().maxX(),
                     area.maxX() - OVPreviewWindowController::kDefaultRightInset);
}

TEST_F(PanelControlsTest, SwitchingContentAdjustmentsOffHidesTheSectionWithoutForgettingTheSettings)
{
    OVPreviewWindowController preview(core, talent);
    preview.setContentTextMagnificationFactor(2.0);
    const double tall = preview.window()->frame().size.height;
    defaults.setBool(QStringLiteral("enableTalentContentAdjustments"), false);
    EXPECT_TRUE(preview.contentSection()->isHidden());
    EXPECT_DOUBLE_EQ(preview.contentTextMagnificationFactor(), 1.0);
    EXPECT_DOUBLE_EQ(talent.contentTextMagnificationFactor(), 1.0);
    RunLoop::main().advanceManualClock(time.clock, 0.3);
    EXPECT_LT(preview.window()->frame().size.height, tall);
    // The user's factor is kept for when the adjustments are back.
    EXPECT_DOUBLE_EQ(UserDefaults::shared().doubleForKey(QStringLiteral("contentTextMagnificationFactor")),
                     2.0);
    defaults.setBool(QStringLiteral("enableTalentContentAdjustments"), true);
    EXPECT_FALSE(preview.contentSection()->isHidden());
    EXPECT_DOUBLE_EQ(preview.contentTextMagnificationFactor(), 2.0);
}

TEST_F(PanelControlsTest, TheEndOfResizingThePromptedWindowResizesThePreview)
{
    // The output's size is the shared core's front window's: the panel works for that core here.
    defaults.setBool(QStringLiteral("useWindowedPrompting"), true);
    OVCore& shared = OVCore::sharedCore();
    OVTalentWindowController sharedTalent(shared);
    TestController controller(3000, Rect{{100, 100}, {800, 600}});
    controller.window->orderFront();
    shared.configureCoreForController(&controller);
    {
        OVPreviewWindowController preview(shared, sharedTalent);
        const Size before = preview.prompterView()->bounds().size;
        controller.window->hostWidget()->resize(640, 480);
        QApplication::processEvents();
        EXPECT_EQ(preview.prompterView()->bounds().size, before);
        RunLoop::main().advanceManualClock(time.clock, Window::kLiveResizeEndDelay + 0.01);
        EXPECT_NE(preview.prompterView()->bounds().size, before);
        EXPECT_DOUBLE_EQ(preview.prompterView()->bounds().size.width, 640);
    }
    shared.configureCoreForController(nullptr);
}
