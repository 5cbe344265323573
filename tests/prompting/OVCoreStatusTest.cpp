#include "CoreTestSupport.h"

#include "platform/appkit/Event.h"

#include <QRegularExpression>

namespace {

class CoreStatusTest : public CoreTest {
protected:
    void recordModeNotifications()
    {
        for (const QString& name : {OVCoreWillChangeModeNotification, OVCoreDidChangeModeNotification})
            observers.emplace_back(
                NotificationCenter::shared(), name, nullptr,
                [this](const Notification& notification) { controller.log << notification.name; });
    }
    qint64 statistic(const QString& keyPath) const
    {
        return HVAppServices::shared().analytics().integerForKeyPath(keyPath);
    }

    std::vector<NotificationObserver> observers;
};

TEST_F(CoreStatusTest, ANewCoreIsInEditModePausedHard)
{
    makeCore();
    EXPECT_TRUE(core->isModeEdit());
    EXPECT_TRUE(core->isStatusPausedHard());
    EXPECT_TRUE(core->isStatusPaused());
    EXPECT_EQ(core->willBecomeMode(), OVCore::kNoChange);
    EXPECT_EQ(core->willBecomeStatus(), OVCore::kNoChange);
    EXPECT_EQ(core->pixelsPerSecond(), 70.0);
    // Judged at once: the one fake screen leaves no talent display.
    EXPECT_EQ(core->dualScreenStatus(), 1);
    EXPECT_TRUE(core->hasTimeTimer());
    EXPECT_TRUE(core->syncScrolling().isEnabled());
    EXPECT_EQ(core->waMinVersion(), HVVersion(14, 2, 0));
}

TEST_F(CoreStatusTest, StartingInEditModeRunsTheWholeModeChangeInsideTheStatusChange)
{
    makeCore();
    recordModeNotifications();
    controller.log.clear();
    core->startPrompter();
    EXPECT_EQ(controller.log, QStringList({"statusWill 3", "modeWill 1", OVCoreWillChangeModeNotification,
                                           "modeDid 1", OVCoreDidChangeModeNotification, "statusDid 3"}));
    EXPECT_TRUE(core->isModePrompt());
    EXPECT_TRUE(core->isStatusStarted());
    EXPECT_FALSE(core->isModeChanging());
    EXPECT_FALSE(core->isStatusChanging());
    EXPECT_EQ(statistic("promptMode.statusChanges"), 1);
}

TEST_F(CoreStatusTest, RequestsForTheCurrentModeOrStatusAreLoggedAndChangeNothing)
{
    makeCore();
    core->enterPromptMode();
    recordModeNotifications();
    controller.log.clear();
    LogCapture capture;
    core->enterPromptMode();
    modifierFlags = kOptionKeyMask;
    core->pausePrompter();
    EXPECT_TRUE(capture.contains("OVCore: attempted to set mode we are already in: 1"));
    EXPECT_TRUE(capture.contains("OVCore: attempted to set status we are already in: 2"));
    EXPECT_TRUE(capture.lines.filter(QRegularExpression("^stack trace: ")).size() >= 2);
    EXPECT_TRUE(controller.log.isEmpty());
    EXPECT_TRUE(core->isModePrompt());
    EXPECT_TRUE(core->isStatusPausedHard());
}

TEST_F(CoreStatusTest, PausingIsHardWithTheOptionKeyOrWhenTheControllerAsks)
{
    makeCore();
    core->startPrompter();
    core->pausePrompter();
    EXPECT_EQ(core->status(), OVCore::kStatusPaused);
    EXPECT_EQ(statistic("promptMode.hardStops"), 0);

    core->startPrompter();
    modifierFlags = kOptionKeyMask;
    core->pausePrompter();
    EXPECT_EQ(core->status(), OVCore::kStatusPausedHard);
    EXPECT_EQ(statistic("promptMode.hardStops"), 1);

    modifierFlags = 0;
    controller.hardPauses = true;
    core->startPrompter();
    core->pausePrompter();
    EXPECT_EQ(core->status(), OVCore::kStatusPausedHard);
    // Asked for by the controller, so not the operator's hard stop.
    EXPECT_EQ(statistic("promptMode.hardStops"), 1);
}

TEST_F(CoreStatusTest, ToggleStatusStartsAndPauses)
{
    makeCore();
    core->toggleStatus();
    EXPECT_TRUE(core->isStatusStarted());
    core->toggleStatus();
    EXPECT_EQ(core->status(), OVCore::kStatusPaused);
    core->toggleMode();
    EXPECT_TRUE(core->isModeEdit());
    core->toggleMode();
    EXPECT_TRUE(core->isModePrompt());
}

TEST_F(CoreStatusTest, RestoringWithoutASavedStateIsLoggedAndChangesNothing)
{
    makeCore();
    LogCapture capture;
    core->restorePrompterState();
    EXPECT_TRUE(capture.contains("error: no restore state exists"));
    EXPECT_TRUE(core->isStatusPausedHard());
    EXPECT_TRUE(core->isModeEdit());
}

TEST_F(CoreStatusTest, RestoringASoftPauseKeepsItSoftEvenWithTheOptionKeyHeld)
{
    makeCore();
    core->startPrompter();
    core->pausePrompter();
    core->savePrompterState();
    core->startPrompter();
    modifierFlags = kOptionKeyMask;
    core->restorePrompterState();
    EXPECT_EQ(core->status(), OVCore::kStatusPaused);
}

TEST_F(CoreStatusTest, DraggingTheOperatorScrollerPausesAStartedPrompterUntilReleased)
{
    makeCore();
    Scroller* scroller = controller.scrollView->verticalScroller();
    const QString willBegin = QStringLiteral("OVScrollerWillBeginScrollingByMouseNotification");
    const QString didFinish = QStringLiteral("OVScrollerDidFinishScrollingByMouseNotification");

    // In Edit mode the drag is the user's business.
    NotificationCenter::shared().postNotification(willBegin, scroller);
    NotificationCenter::shared().postNotification(didFinish, scroller);
    EXPECT_TRUE(core->isStatusPausedHard());

    core->startPrompter();
    NotificationCenter::shared().postNotification(willBegin, scroller);
    EXPECT_EQ(core->status(), OVCore::kStatusPaused);
    NotificationCenter::shared().postNotification(didFinish, scroller);
    EXPECT_TRUE(core->isStatusStarted());

    modifierFlags = kOptionKeyMask;
    core->pausePrompter();
    modifierFlags = 0;
    NotificationCenter::shared().postNotification(willBegin, scroller);
    EXPECT_TRUE(core->isStatusPausedHard());
    NotificationCenter::shared().postNotification(didFinish, scroller);
    EXPECT_TRUE(core->isStatusPausedHard());

    // Another scroller's drag is not the operator's.
    core->startPrompter();
    Scroller other(Scroller::Orientation::Vertical);
    NotificationCenter::shared().postNotification(willBegin, &other);
    EXPECT_TRUE(core->isStatusStarted());
}

TEST_F(CoreStatusTest, PauseSpeedAndThePreviousSpeedOnStart)
{
    defaults().setBool(true, "setPauseSpeedOnPause");
    defaults().setDouble(0.0, "pauseSpeed");
    defaults().setBool(true, "setPreviousSpeedOnStart");
    defaults().setBool(false, "changingSpeedStartsPrompter");
    makeCore();
    controller.setSpeed(4.0);
    core->startPrompter();
    core->pausePrompter();
    EXPECT_EQ(controller.speed(), 0.0);
    core->startPrompter();
    EXPECT_EQ(controller.speed(), 4.0);

    // A speed the user sets while paused is the one the prompter starts with.
    core->pausePrompter();
    controller.setSpeed(2.5);
    core->startPrompter();
    EXPECT_EQ(controller.speed(), 2.5);
}

TEST_F(CoreStatusTest, ChangingTheSpeedWhilePausedInPromptModeStartsThePrompterWithThatSpeed)
{
    defaults().setBool(true, "setPreviousSpeedOnStart");
    makeCore();
    controller.setSpeed(4.0);
    core->startPrompter();
    core->pausePrompter();
    controller.setSpeed(6.0);
    EXPECT_EQ(toggleStatusActions, 1);
    EXPECT_TRUE(core->isStatusStarted());
    EXPECT_EQ(controller.speed(), 6.0);
    EXPECT_EQ(core->speed(), 6.0);
    EXPECT_EQ(core->maxSpeedInPromptMode(), 6.0);

    // Not in Edit mode, and not when the setting is off.
    core->enterEditMode();
    controller.setSpeed(5.0);
    EXPECT_EQ(toggleStatusActions, 1);
    core->enterPromptMode();
    defaults().setBool(false, "changingSpeedStartsPrompter");
    controller.setSpeed(3.0);
    EXPECT_EQ(toggleStatusActions, 1);
    EXPECT_TRUE(core->isStatusPausedHard());
}

TEST_F(CoreStatusTest, ConfiguringWithoutAControllerClearsItsViewsAndSaysSo)
{
    makeCore();
    EXPECT_EQ(core->contentView(), controller.clipView());
    EXPECT_EQ(core->documentView(), controller.textView);
    EXPECT_EQ(core->timeInfo(), controller.timeInfo());
    const void* object = &controller;
    int posts = 0;
    NotificationObserver observer(NotificationCenter::shared(), OVCoreDidChangeControllerNotification,
                                  nullptr, [&](const Notification& notification) {
                                      object = notification.object;
                                      ++posts;
                                  });
    core->configureCoreForController(nullptr);
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(core->prompterView(), nullptr);
    EXPECT_EQ(core->contentView(), nullptr);
    EXPECT_EQ(core->controllerWindow(), nullptr);
    EXPECT_FALSE(core->isContentEditable());
}

TEST_F(CoreStatusTest, SpeedScalesConvertAndReverseExactly)
{
    EXPECT_DOUBLE_EQ(OVCore::convertSpeed(-10, 1), -10.0);
    EXPECT_NEAR(OVCore::convertSpeed(120, 9), 20.0, 1e-9);
    EXPECT_DOUBLE_EQ(OVCore::convertSpeed(16, 10), 4.0);
    EXPECT_DOUBLE_EQ(OVCore::convertSpeed(-16, 10), -4.0);
    EXPECT_DOUBLE_EQ(OVCore::convertSpeed(3.5, 0), 3.5);
    EXPECT_DOUBLE_EQ(OVCore::convertSpeed(-3.5, 7), -3.5);
    for (int scale : {0, 1, 9, 10, 7})
        for (double x : {-30.0, -0.5, 0.0, 0.5, 3.0, 120.0})
            EXPECT_NEAR(OVCore::reverseConvertSpeed(OVCore::convertSpeed(x, scale), scale), x, 1e-9)
                << "scale " << scale << " speed " << x;
}

TEST_F(CoreStatusTest, ASpeedScaleChangeRereadsTheScaleAndMarksEveryRemainingTime)
{
    makeCore();
    controller.setSpeed(10);
    EXPECT_EQ(core->speed(), 10);
    defaults().setInteger(1, "speedScaleTypeTag");
    NotificationCenter::shared().postNotification("OVPreferencesAdvancedDidChangeSpeedScaleTypeNotification");
    EXPECT_EQ(core->speedScaleTypeTag(), 1);
    EXPECT_DOUBLE_EQ(core->speed(), 10.0);
    controller.setSpeed(20);
    EXPECT_DOUBLE_EQ(core->speed(), 40.0);
    EXPECT_TRUE(controller.timeRemainingNeedsUpdate());
}

} // namespace
