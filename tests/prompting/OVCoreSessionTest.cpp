#include "CoreTestSupport.h"

namespace {

// A whole prompting session driven by the run loop's own timer at 8 ticks a second, with ticks
// handled on the next pass of the loop as in the application.
class SessionTest : public CoreTest {
protected:
    void SetUp() override
    {
        CoreTest::SetUp();
        defaults().setInteger(1024, "frameRateOptionTag");
        defaults().setInteger(8, "customFrameRate");
        controller.window->orderFront();
        for (const QString& name : {OVCoreWillChangeModeNotification, OVCoreDidChangeModeNotification,
                                    OVCoreDidChangeControllerNotification})
            observers.emplace_back(
                NotificationCenter::shared(), name, nullptr,
                [this](const Notification& notification) { notifications << notification.name; });
    }

    std::vector<NotificationObserver> observers;
    QStringList notifications;
    QStringList steps;
};

TEST_F(SessionTest, EditToPromptAndBack)
{
    makeCore();
    core->setModeChangeStepObserver([this](const QString& step) { steps << step; });
    controller.setSpeed(2);
    EXPECT_EQ(notifications, QStringList({OVCoreDidChangeControllerNotification}));

    // Start: into Prompt mode through the step queue, inside the status change.
    controller.log.clear();
    core->startPrompter();
    EXPECT_EQ(controller.log, QStringList({"statusWill 3", "modeWill 1", "modeDid 1", "statusDid 3"}));
    EXPECT_EQ(steps.size(), 7);
    EXPECT_EQ(steps.front(), "_startSetup");
    EXPECT_EQ(steps.back(), "_finishSetup");
    EXPECT_EQ(core->frameRate(), 8.0);
    EXPECT_EQ(core->updateTiming(), 0);

    advance(1.0);
    EXPECT_EQ(controller.y(), 140.0);
    // The first tick starts the count, so the first second is complete one tick later.
    EXPECT_EQ(controller.timeInfo()->elapsedSeconds(), 0);
    advance(0.125);
    EXPECT_EQ(controller.timeInfo()->elapsedSeconds(), 1);
    EXPECT_EQ(controller.y(), 157.0);

    // Pause: the view stands still, the clock goes on.
    core->pausePrompter();
    advance(1.0);
    EXPECT_EQ(controller.y(), 157.0);
    EXPECT_EQ(controller.timeInfo()->elapsedSeconds(), 2);

    // A new speed while paused starts the prompter again at that speed.
    controller.setSpeed(4);
    EXPECT_TRUE(core->isStatusStarted());
    advance(0.25);
    EXPECT_EQ(controller.y(), 157.0 + 70.0);

    // A held key adds to the speed; boost goes further.
    input.down = true;
    input.lastDownTime = now();
    advance(0.25);
    EXPECT_GT(core->adjustedSpeed(), 4.0 + 2.5);
    input.down = false;
    input.lastDownTime = now();
    advance(0.25);
    EXPECT_EQ(core->adjustedSpeed(), 4.0);
    input.boost = true;
    advance(0.125);
    EXPECT_DOUBLE_EQ(core->adjustedSpeed(), (20.0 - 4.0) * 0.3 + 4.0);
    input.boost = false;

    // A wheel delta rides on the next tick.
    const double before = controller.y();
    core->addScrollingDelta(10);
    advance(0.125);
    EXPECT_EQ(controller.y(), before + 35.0 + 10.0);

    // Remaining time follows the position once a second.
    controller.remainingNeedsUpdate = true;
    advance(1.0);
    EXPECT_FALSE(controller.remainingNeedsUpdate);
    EXPECT_EQ(controller.timeInfo()->remainingSeconds(), core->estimatedTimeRemaining());

    // The end, first without looping, then with it.
    core->_scrollPrompterToYPosition(2650);
    controller.remainingNeedsUpdate = true;
    advance(1.0);
    EXPECT_EQ(controller.y(), 2700.0);
    EXPECT_EQ(controller.scriptEnds, 1);
    EXPECT_EQ(controller.timeInfo()->remainingSeconds(), 0);
    controller.loops = true;
    advance(0.125);
    EXPECT_EQ(controller.y(), 0.0);
    EXPECT_EQ(controller.scriptEnds, 1);
    advance(0.125);
    EXPECT_EQ(controller.y(), 35.0);

    // Back to Edit mode: paused hard, no more ticks, the one-second timer back.
    const qint64 elapsed = controller.timeInfo()->elapsedSeconds();
    steps.clear();
    controller.log.clear();
    core->enterEditMode();
    EXPECT_EQ(controller.log, QStringList({"modeWill 0", "statusWill 1", "statusDid 1", "statusWill 2",
                                           "statusDid 2", "modeDid 0"}));
    EXPECT_EQ(steps, QStringList({"_startSetup", "_embedWindow", "_windowResize", "_scrollBarAdjust",
                                  "_windowFade", "_modePersistentChanges", "_finishSetup"}));
    EXPECT_TRUE(core->isStatusPausedHard());
    advance(1.0);
    EXPECT_EQ(controller.y(), 35.0);
    EXPECT_EQ(controller.timeInfo()->elapsedSeconds(), elapsed);

    EXPECT_EQ(notifications,
              QStringList({OVCoreDidChangeControllerNotification, OVCoreWillChangeModeNotification,
                           OVCoreDidChangeModeNotification, OVCoreWillChangeModeNotification,
                           OVCoreDidChangeModeNotification}));
}

TEST_F(SessionTest, TheEditModeTimerKeepsEveryDocumentsRemainingTimeCurrent)
{
    makeCore();
    TestController other(1000);
    other.setSpeedQuietly(1);
    other.remainingNeedsUpdate = true;
    controller.setSpeed(2);
    controller.remainingNeedsUpdate = true;
    core->setAllCoreControllersProvider([&] { return std::vector<OVCoreController*>{&controller, &other}; });
    int refreshes = 0;
    NotificationObserver observer(NotificationCenter::shared(),
                                  OVCoreWillRequireSynchronizedTimersUpdateNotification, nullptr,
                                  [&](const Notification&) { ++refreshes; });
    advance(1.0);
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(controller.timeInfo()->remainingSeconds(), 19); // 2700 points at 140 a second
    EXPECT_EQ(other.timeInfo()->remainingSeconds(), 10);
    EXPECT_FALSE(other.remainingNeedsUpdate);
}

} // namespace
