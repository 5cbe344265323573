// The document window's toolbar: its items and their order, labels that follow the core, the
// throttled speed read-out, the editor's items taken away while prompting, and validation.
#include "app/OVMainMenu.h"
#include "app/sample/SampleScript.h"
#include "platform/appkit/AppKitNotifications.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/ClipView.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/ScrollView.h"
#include "platform/appkit/Toolbar.h"
#include "platform/appkit/ToolbarCustomization.h"
#include "platform/appkit/ToolbarItem.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVCursorAdditions.h"
#include "platform/textview/TextView.h"
#include "prompting/OVCore.h"
#include "tests/support/AppTestSupport.h"
#include "window/OVDocumentPrompterView.h"
#include "window/OVDocumentWindowController.h"
#include "window/OVDocumentWindowToolbar.h"
#include "window/OVSlider.h"
#include "window/OVTimerTextField.h"

#include <QApplication>
#include <QMenuBar>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

std::string joined(const QStringList& list)
{
    return list.join(QStringLiteral(", ")).toStdString();
}

class ToolbarTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        UserDefaults::shared().resetUserValues();
        UserDefaults::shared().setPersistentDomain({});
        defaults().setInteger(0, QStringLiteral("speedScaleTypeTag"));
        defaults().setInteger(1, QStringLiteral("updateTimingTag"));
        core = std::make_unique<OVCore>();
    }
    void TearDown() override
    {
        Application::shared().setMainWindow(nullptr);
        controllers.clear();
        core.reset();
        UserDefaults::shared().resetUserValues();
        UserDefaults::shared().setPersistentDomain({});
    }
    static UserDefaults& defaults() { return UserDefaults::shared(); }

    OVDocumentWindowController& makeController()
    {
        controllers.push_back(std::make_unique<OVDocumentWindowController>(core.get()));
        controllers.back()->window();
        return *controllers.back();
    }
    static OVDocumentWindowToolbar& bar(OVDocumentWindowController& controller)
    {
        return *controller.documentToolbar();
    }
    static ToolbarItem* itemOf(OVDocumentWindowController& controller, const QString& identifier)
    {
        return bar(controller).toolbar().itemWithIdentifier(identifier);
    }
    void advance(double seconds) { RunLoop::main().advanceManualClock(scopes.clock, seconds); }

    apptest::ClockAndScreen scopes;
    std::unique_ptr<OVCore> core;
    std::vector<std::unique_ptr<OVDocumentWindowController>> controllers;
};

const QStringList kDefaultWithoutZoom{
    OVToolbarItemStartPauseIdentifier, OVToolbarItemSpeedIdentifier,
    OVToolbarItemTimerIdentifier,      OVToolbarItemBookmarkActionsIdentifier,
    OVToolbarItemBlankingIdentifier,   kToolbarFlexibleSpaceItemIdentifier,
    kToolbarShowColorsItemIdentifier,  kToolbarShowFontsItemIdentifier,
    OVToolbarItemPreviewIdentifier,    kToolbarSpaceItemIdentifier,
    OVToolbarItemModesIdentifier};

TEST_F(ToolbarTest, DefaultOrderWithAndWithoutQuickZoomAndASavedZoomItemIsDropped)
{
    auto& plain = makeController();
    EXPECT_EQ(joined(bar(plain).toolbar().itemIdentifiers()), joined(kDefaultWithoutZoom));
    EXPECT_FALSE(bar(plain).toolbar().allowedItemIdentifiers().contains(OVToolbarItemTempIdentifier));
    EXPECT_TRUE(plain.isToolbarVisible());
    EXPECT_GT(plain.toolbarHeight(), 20);
    // The content view gives the toolbar its strip.
    EXPECT_LE(plain.window()->contentView()->frame().size.height,
              plain.window()->frame().size.height - plain.toolbarHeight());

    defaults().setBool(true, QStringLiteral("enableQuickZoom"));
    QStringList withZoom = kDefaultWithoutZoom;
    withZoom.insert(6, OVToolbarItemContentZoomIdentifier);
    controllers.clear();
    defaults().removeObjectForKey(QStringLiteral("NSToolbar Configuration ") +
                                  OVDocumentWindowToolbarIdentifier);
    auto& zooming = makeController();
    EXPECT_EQ(joined(bar(zooming).toolbar().itemIdentifiers()), joined(withZoom));
    EXPECT_EQ(itemOf(zooming, OVToolbarItemContentZoomIdentifier)->label(), QStringLiteral("Quick Zoom"));

    // The saved configuration names the zoom item; with quick zoom off it is neither allowed nor made.
    defaults().setBool(false, QStringLiteral("enableQuickZoom"));
    controllers.clear();
    auto& reopened = makeController();
    EXPECT_EQ(joined(bar(reopened).toolbar().itemIdentifiers()), joined(kDefaultWithoutZoom));
}

TEST_F(ToolbarTest, LabelsFollowStatusModeAndBlanking)
{
    auto& controller = makeController();
    Application::shared().setMainWindow(controller.window());
    ToolbarItem* startPause = itemOf(controller, OVToolbarItemStartPauseIdentifier);
    ToolbarItem* modes = itemOf(controller, OVToolbarItemModesIdentifier);
    ToolbarItem* blanking = itemOf(controller, OVToolbarItemBlankingIdentifier);
    EXPECT_EQ(startPause->label(), QStringLiteral("Start"));
    EXPECT_EQ(modes->label(), QStringLiteral("Prompt Mode"));
    EXPECT_EQ(blanking->label(), QStringLiteral("Blank"));
    EXPECT_EQ(startPause->tag(), 900);
    EXPECT_EQ(modes->tag(), 900);

    auto& other = makeController();
    EXPECT_TRUE(modes->performAction());
    ASSERT_TRUE(core->isModePrompt());
    EXPECT_EQ(modes->label(), QStringLiteral("Edit Mode"));
    // A window the core does not work for shows the mode too.
    EXPECT_EQ(itemOf(other, OVToolbarItemModesIdentifier)->label(), QStringLiteral("Edit Mode"));
    EXPECT_TRUE(startPause->performAction());
    ASSERT_TRUE(core->isStatusStarted());
    EXPECT_EQ(startPause->label(), QStringLiteral("Pause"));
    EXPECT_TRUE(startPause->performAction());
    EXPECT_EQ(startPause->label(), QStringLiteral("Start"));
    core->enterEditMode();
    EXPECT_EQ(modes->label(), QStringLiteral("Prompt Mode"));

    // One screen: nothing to blank. The action is not in the chain and the item is disabled.
    ASSERT_FALSE(core->canBlankScreen());
    EXPECT_FALSE(controller.respondsToAction(QStringLiteral("toggleBlanking:")));
    blanking->validate();
    EXPECT_FALSE(blanking->isEnabled());
}

TEST_F(ToolbarTest, TwentyQuickSpeedChangesRefreshTheReadoutTwiceEndingWithTheLastValue)
{
    auto& controller = makeController();
    OVDocumentWindowToolbar& toolbar = bar(controller);
    advance(1.0);
    const int before = toolbar.speedReadoutUpdates();
    for (int i = 1; i <= 20; ++i) {
        controller.setPrompterSpeed(i * 0.3);
        scopes.clock.advance(0.0005);
    }
    EXPECT_EQ(toolbar.speedReadoutUpdates(), before + 1);
    EXPECT_EQ(toolbar.speedTextField()->text(), QStringLiteral("0.3"));
    advance(0.1);
    EXPECT_EQ(toolbar.speedReadoutUpdates(), before + 2);
    EXPECT_EQ(toolbar.speedTextField()->text(), QStringLiteral("6.0"));
    EXPECT_EQ(toolbar.speedSlider()->value(), 60);
}

TEST_F(ToolbarTest, TheReadoutShowsNoNegativeZeroTurnsRedAndIgnoresSpeedsThatAreNotNumbers)
{
    auto& controller = makeController();
    OVDocumentWindowToolbar& toolbar = bar(controller);
    QLabel& readout = *toolbar.speedTextField();
    const QPalette::ColorRole drawn = readout.foregroundRole();
    const QColor normal = QApplication::palette(&readout).color(drawn);
    auto show = [&](double speed) {
        advance(1.0);
        controller.setPrompterSpeed(speed);
    };
    show(3);
    EXPECT_EQ(readout.text(), QStringLiteral("3.0"));
    show(-0.04);
    EXPECT_EQ(readout.text(), QStringLiteral("0.0"));
    EXPECT_EQ(readout.palette().color(drawn), normal);
    show(-0.05);
    EXPECT_NE(readout.palette().color(drawn), normal);
    show(-2);
    EXPECT_EQ(readout.text(), QStringLiteral("-2.0"));
    show(std::numeric_limits<double>::quiet_NaN());
    show(std::numeric_limits<double>::infinity());
    EXPECT_EQ(readout.text(), QStringLiteral("-2.0"));
    EXPECT_EQ(toolbar.speedSlider()->value(), -20);
    EXPECT_EQ(controller.prompterSpeed(), -2);
}

TEST_F(ToolbarTest, SliderRangeFollowsTheSettingAndTheLimiterClampsAtOnce)
{
    auto& controller = makeController();
    QSlider& slider = *bar(controller).speedSlider();
    EXPECT_EQ(slider.minimum(), -100);
    EXPECT_EQ(slider.maximum(), 100);
    controller.setPrompterSpeed(-3);

    defaults().setBool(true, QStringLiteral("speedSliderOnlyUsesPositiveValues"));
    defaults().setBool(true, QStringLiteral("speedLimiterRestrictsToSpeedSlider"));
    NotificationCenter::shared().postNotification(
        OVPreferencesControlsSpeedSliderValuesDidChangeNotification);
    EXPECT_EQ(slider.minimum(), 0);
    EXPECT_EQ(controller.prompterSpeed(), 0);

    // Dragging the slider is a speed change like any other.
    slider.setValue(45);
    EXPECT_DOUBLE_EQ(controller.prompterSpeed(), 4.5);
}

TEST_F(ToolbarTest, PromptModeTakesTheEditorsItemsAwayAndBringsThemBackInOrder)
{
    defaults().setBool(true, QStringLiteral("hideEditModeToolbarItemsInPromptMode"));
    auto& controller = makeController();
    Application::shared().setMainWindow(controller.window());
    Toolbar& toolbar = bar(controller).toolbar();
    // A customised order the restore must keep.
    toolbar.removeItemAtIndex(int(toolbar.itemIdentifiers().indexOf(kToolbarShowFontsItemIdentifier)));
    toolbar.insertItemWithItemIdentifier(kToolbarShowFontsItemIdentifier, 0);
    toolbar.insertItemWithItemIdentifier(kToolbarPrintItemIdentifier, 3);
    const QStringList arranged = toolbar.itemIdentifiers();
    const PlistValue saved = defaults().objectForKey(toolbar.configurationKey());

    core->enterPromptMode();
    ASSERT_TRUE(core->isModePrompt());
    QStringList expected = arranged;
    for (const QString& identifier : OVDocumentWindowToolbar::editModeIdentifiers())
        expected.removeAll(identifier);
    EXPECT_EQ(joined(toolbar.itemIdentifiers()), joined(expected));
    // A second notice of the same change saves nothing twice.
    bar(controller).modeWillChange(OVCore::kModePrompt);
    EXPECT_EQ(defaults().objectForKey(toolbar.configurationKey()), saved);

    core->enterEditMode();
    EXPECT_EQ(joined(toolbar.itemIdentifiers()), joined(arranged));
    EXPECT_EQ(defaults().objectForKey(toolbar.configurationKey()), saved);
}

TEST_F(ToolbarTest, WithNothingHiddenReturningToEditModeLosesNothing)
{
    auto& controller = makeController();
    Application::shared().setMainWindow(controller.window());
    Toolbar& toolbar = bar(controller).toolbar();
    const QStringList arranged = toolbar.itemIdentifiers();
    core->enterPromptMode();
    // Kept but disabled while prompting.
    EXPECT_EQ(joined(toolbar.itemIdentifiers()), joined(arranged));
    EXPECT_FALSE(toolbar.itemWithIdentifier(kToolbarShowFontsItemIdentifier)->isEnabled());
    // Switched on while prompting: nothing was saved to restore.
    defaults().setBool(true, QStringLiteral("hideEditModeToolbarItemsInPromptMode"));
    core->enterEditMode();
    EXPECT_EQ(joined(toolbar.itemIdentifiers()), joined(arranged));
    EXPECT_EQ(toolbar.itemWithIdentifier(kToolbarShowFontsItemIdentifier)->action(),
              QStringLiteral("orderFrontFontPanel:"));

    // The arrangement outlives the window.
    toolbar.removeItemAtIndex(1);
    const QStringList customised = toolbar.itemIdentifiers();
    controllers.clear();
    auto& reopened = makeController();
    EXPECT_EQ(joined(bar(reopened).toolbar().itemIdentifiers()), joined(customised));
}

TEST_F(ToolbarTest, ModeChangingItemsAreDisabledWhileTheProgramIsInactive)
{
    auto& first = makeController();
    auto& second = makeController();
    Application::shared().setMainWindow(first.window());
    NotificationCenter::shared().postNotification(kApplicationDidResignActiveNotification);
    for (auto* controller : {&first, &second}) {
        EXPECT_FALSE(itemOf(*controller, OVToolbarItemStartPauseIdentifier)->isEnabled());
        EXPECT_FALSE(itemOf(*controller, OVToolbarItemModesIdentifier)->isEnabled());
        EXPECT_FALSE(controller->validateUserInterfaceItem({QStringLiteral("toggleMode:"), 0, true}));
    }
    NotificationCenter::shared().postNotification(kApplicationDidBecomeActiveNotification);
    for (auto* controller : {&first, &second})
        EXPECT_TRUE(itemOf(*controller, OVToolbarItemStartPauseIdentifier)->isEnabled());

    // Editing actions follow the editor: not while prompting.
    EXPECT_TRUE(first.validateUserInterfaceItem({QStringLiteral("applyDefaultStyle:"), 0, true}));
    core->enterPromptMode();
    EXPECT_FALSE(first.validateUserInterfaceItem({QStringLiteral("applyDefaultStyle:"), 0, true}));
    EXPECT_TRUE(first.validateUserInterfaceItem({QStringLiteral("markText:"), 0, true}));
}

TEST_F(ToolbarTest, TheTimerItemTogglesBetweenElapsedAndRemaining)
{
    auto& controller = makeController();
    OVDocumentWindowToolbar& toolbar = bar(controller);
    ToolbarItem* timer = itemOf(controller, OVToolbarItemTimerIdentifier);
    EXPECT_EQ(timer->label(), QStringLiteral("Elapsed"));
    EXPECT_EQ(toolbar.timerField()->width(), 72);
    QTest::mouseClick(toolbar.timerField(), Qt::LeftButton);
    EXPECT_EQ(timer->label(), QStringLiteral("Remaining"));
    EXPECT_TRUE(toolbar.timerResetButton()->isHidden());
    EXPECT_GT(toolbar.timerField()->width(), 72);
    QTest::mouseClick(toolbar.timerField(), Qt::LeftButton);
    EXPECT_EQ(timer->label(), QStringLiteral("Elapsed"));
    EXPECT_FALSE(toolbar.timerResetButton()->isHidden());
}

TEST_F(ToolbarTest, OpeningAMenuChecksLoopingAndTheArrowLockAndBlankingIsNotOffered)
{
    auto& controller = makeController();
    Application::shared().setMainWindow(controller.window());
    const std::unique_ptr<Menu> menu = OVMainMenu::makeMainMenu();
    Menu::setMainMenu(menu.get());
    MenuItem* looping = menu->itemWithAction(QStringLiteral("toggleLooping:"));
    MenuItem* lock = menu->itemWithAction(QStringLiteral("togglePositionLock:"));
    Menu* prompt = looping->menu();
    ASSERT_NE(prompt, nullptr);
    Application::shared().sendAction(QStringLiteral("toggleLooping:"), nullptr, {});
    Application::shared().sendAction(QStringLiteral("togglePositionLock:"), nullptr, {});
    prompt->update();
    EXPECT_EQ(looping->state(), MenuItem::On);
    EXPECT_EQ(lock->state(), MenuItem::On);
    Application::shared().sendAction(QStringLiteral("toggleLooping:"), nullptr, {});
    prompt->update();
    EXPECT_EQ(looping->state(), MenuItem::Off);
    // Nothing to blank on one screen: the controller does not take the action.
    EXPECT_NE(Application::shared().targetForAction(QStringLiteral("toggleBlanking:")), &controller);
    Menu::setMainMenu(nullptr);
}

TEST_F(ToolbarTest, CustomisingKeepsTheOrderAddsAfterItAndHidingWritesTheHeight)
{
    auto& controller = makeController();
    Toolbar& toolbar = bar(controller).toolbar();
    const QStringList current{OVToolbarItemModesIdentifier, OVToolbarItemStartPauseIdentifier,
                              OVToolbarItemSpeedIdentifier};
    const QStringList arranged = ToolbarCustomization::arrangedIdentifiers(
        current, toolbar.allowedItemIdentifiers(),
        {OVToolbarItemModesIdentifier, OVToolbarItemSpeedIdentifier, kToolbarPrintItemIdentifier,
         OVToolbarItemTimerIdentifier});
    EXPECT_EQ(joined(arranged), joined({OVToolbarItemModesIdentifier, OVToolbarItemSpeedIdentifier,
                                        OVToolbarItemTimerIdentifier, kToolbarPrintItemIdentifier}));
    ToolbarCustomization::apply(toolbar, arranged);
    EXPECT_EQ(joined(toolbar.itemIdentifiers()), joined(arranged));
    // The speed control on the toolbar is still the one the window refreshes.
    advance(1.0);
    controller.setPrompterSpeed(7);
    EXPECT_EQ(bar(controller).speedTextField()->text(), QStringLiteral("7.0"));

    defaults().setDouble(0, QStringLiteral("documentToolbarLastHeight"));
    toolbar.setDisplayMode(Toolbar::DisplayMode::LabelOnly);
    EXPECT_NEAR(defaults().doubleForKey(QStringLiteral("documentToolbarLastHeight")),
                controller.toolbarHeight(), 0.5);
    EXPECT_GT(defaults().doubleForKey(QStringLiteral("documentToolbarLastHeight")), 0);
    toolbar.setVisible(false);
    EXPECT_FALSE(controller.isToolbarVisible());
    EXPECT_EQ(controller.window()->contentView()->frame().size.height,
              controller.window()->frame().size.height -
                  (controller.window()->menuBar() ? controller.window()->menuBar()->height() : 0));
}

TEST_F(ToolbarTest, TheWheelOverTheSliderStepsBySpeedIncrementsAndZoomedContentIsTitled)
{
    defaults().setDouble(0.5, QStringLiteral("speedIncrement"));
    auto& controller = makeController();
    controller.setPrompterSpeed(2);
    QSlider& slider = *bar(controller).speedSlider();
    QWheelEvent up(QPointF(5, 5), slider.mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 240), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&slider, &up);
    EXPECT_DOUBLE_EQ(controller.prompterSpeed(), 3);

    EXPECT_EQ(controller.windowTitleForDocumentDisplayName(QStringLiteral("Script")), QStringLiteral("Script"));
    ASSERT_TRUE(controller.documentPrompterView()->setScaleFactor(0.5));
    EXPECT_EQ(controller.windowTitleForDocumentDisplayName(QStringLiteral("Script")),
              QStringLiteral("Script (Zoomed Out)"));
    defaults().setBool(true, QStringLiteral("enableQuickZoom"));
    bar(controller).toolbar().insertItemWithItemIdentifier(OVToolbarItemContentZoomIdentifier, -1);
    EXPECT_EQ(itemOf(controller, OVToolbarItemContentZoomIdentifier)->label(), QStringLiteral("Default Zoom"));
}

// The sample prompted from the toolbar alone: Prompt Mode and Start clicked, the slider dragged.
TEST_F(ToolbarTest, TheSampleIsPromptedThroughTheToolbar)
{
    QTemporaryDir folder;
    apptest::ScriptDocuments scripts(*core, folder);
    const QString sample = QStringLiteral(ORVANE_SOURCE_DIR "/") + samplescript::kSampleRelativePath;
    Error error;
    Document* document =
        scripts.documents.openDocumentWithContentsOfURL(QUrl::fromLocalFile(sample), true, &error);
    ASSERT_NE(document, nullptr);
    auto& controller = apptest::ScriptDocuments::controllerOf(document);
    Application::shared().setMainWindow(controller.window());
    Toolbar& toolbar = controller.documentToolbar()->toolbar();
    const QStringList order = toolbar.itemIdentifiers();
    controller.setPrompterSpeed(2);

    auto click = [&](const QString& identifier) {
        QWidget* button = toolbar.widgetForItem(toolbar.itemWithIdentifier(identifier));
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
    };
    click(OVToolbarItemModesIdentifier);
    ASSERT_TRUE(core->isModePrompt());
    click(OVToolbarItemStartPauseIdentifier);
    ASSERT_TRUE(core->isStatusStarted());
    ClipView* clip = controller.documentPrompterView()->scrollView()->contentView();
    double start = clip->bounds().origin.y;
    scopes.clock.advance(0.5);
    core->_prompterTimerAction();
    // Speed 2 on the linear scale is 140 points a second.
    EXPECT_NEAR(clip->bounds().origin.y - start, 70.0, 1.0);

    QSlider& slider = *controller.documentToolbar()->speedSlider();
    QStyleOptionSlider option;
    option.initFrom(&slider);
    option.orientation = slider.orientation();
    option.minimum = slider.minimum();
    option.maximum = slider.maximum();
    option.sliderPosition = slider.sliderPosition();
    option.sliderValue = slider.value();
    const QPoint handle =
        slider.style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, &slider).center();
    const QPoint end(slider.width() - 1, handle.y());
    QTest::mousePress(&slider, Qt::LeftButton, {}, handle);
    QMouseEvent move(QEvent::MouseMove, QPointF(end), slider.mapToGlobal(QPointF(end)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&slider, &move);
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, end);
    EXPECT_GT(controller.prompterSpeed(), 5);
    const double speed = controller.prompterSpeed();
    start = clip->bounds().origin.y;
    scopes.clock.advance(0.5);
    core->_prompterTimerAction();
    EXPECT_GT(clip->bounds().origin.y - start, 70.0 * speed / 2 * 0.8);

    click(OVToolbarItemModesIdentifier);
    ASSERT_TRUE(core->isModeEdit());
    EXPECT_EQ(joined(toolbar.itemIdentifiers()), joined(order));
}

} // namespace
