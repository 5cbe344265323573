#include "CoreTestSupport.h"

#include "prompting/OVCoreTalentOutput.h"

#include <cmath>

namespace {

// Ticks are run by hand (immediate timing) so each one sees exactly the time the test gives it.
class ScrollEngineTest : public CoreTest {
protected:
    void SetUp() override
    {
        CoreTest::SetUp();
        defaults().setInteger(1, "updateTimingTag");
    }
    void startAt(double speed)
    {
        makeCore();
        controller.setSpeed(speed);
        core->startPrompter();
    }
};

TEST_F(ScrollEngineTest, SpeedTwoForHalfASecondScrollsSeventyPoints)
{
    startAt(2);
    EXPECT_EQ(core->minimumScrollIncrement(), 1.0);
    tickAfter(0.5);
    EXPECT_EQ(controller.y(), 70.0);
    EXPECT_EQ(core->leftoverDelta(), 0.0);
    EXPECT_EQ(core->pointsScrolledInPromptMode(), 70.0);
}

TEST_F(ScrollEngineTest, SubPixelRemaindersWaitForTheNextTick)
{
    startAt(1);
    tickAfter(0.13); // 9.1 points
    EXPECT_EQ(controller.y(), 9.0);
    EXPECT_NEAR(core->leftoverDelta(), 0.1, 1e-9);
    tickAfter(0.13);
    EXPECT_EQ(controller.y(), 18.0);
    EXPECT_NEAR(core->leftoverDelta(), 0.2, 1e-9);
}

TEST_F(ScrollEngineTest, ADoubleDensityScreenScrollsByHalfPoints)
{
    screens.provider.setScreens({FakeScreenProvider::makeScreen(0, Rect{{0, 0}, {1280, 800}}, 60.0, 2.0)});
    controller.window->setFrame(Rect{{100, 100}, {400, 300}});
    startAt(1);
    EXPECT_EQ(core->minimumScrollIncrement(), 0.5);
    for (int i = 0; i < 5; ++i) {
        tickAfter(0.013);
        EXPECT_EQ(std::fmod(controller.y(), 0.5), 0.0) << controller.y();
    }
    EXPECT_NEAR(controller.y() + core->leftoverDelta(), 70 * 0.065, 1e-9);
}

// A talent on a display of another density: whole points, which both displays show as steps.
TEST_F(ScrollEngineTest, ATalentDisplayOfAnotherDensityScrollsByWholePoints)
{
    screens.provider.setScreens({FakeScreenProvider::makeScreen(0, Rect{{0, 0}, {1280, 800}}, 60.0, 2.0),
                                 FakeScreenProvider::makeScreen(1, Rect{{1280, 0}, {1280, 800}}, 60.0, 1.0)});
    controller.window->setFrame(Rect{{100, 100}, {400, 300}});
    class Talent final : public OVCoreTalentOutput {
    public:
        bool isTalentWindowInUse() const override { return true; }
        OVCorePrompterView* talentPrompterView() const override { return nullptr; }
        Window* talentWindow() const override { return window.get(); }
        std::unique_ptr<Window> window = std::make_unique<Window>(Rect{{1300, 100}, {400, 300}});
    } talent;
    makeCore();
    core->setTalentWindowController(&talent);
    controller.setSpeed(1);
    core->startPrompter();
    EXPECT_EQ(core->minimumScrollIncrement(), 1.0);
    core->enterEditMode();
    core->setTalentWindowController(nullptr);
}

TEST_F(ScrollEngineTest, BoostOnTheSquareScale)
{
    defaults().setInteger(1, "speedScaleTypeTag");
    startAt(10);
    EXPECT_DOUBLE_EQ(core->speed(), 10.0);
    input.boost = true;
    tickAfter(0.1);
    EXPECT_NEAR(core->adjustedSpeed(), 16.9, 1e-9);
    input.boost = false;
    tickAfter(0.1);
    EXPECT_DOUBLE_EQ(core->adjustedSpeed(), 10.0);
}

TEST_F(ScrollEngineTest, BoostFromStandstillTakesTheSignOfTheSpeed)
{
    startAt(-3);
    core->pausePrompter();
    input.boost = true;
    tickAfter(0.1);
    EXPECT_DOUBLE_EQ(core->adjustedSpeed(), -6.0);
}

TEST_F(ScrollEngineTest, HeldScrollKeysEaseInAndOutWhilePausedHard)
{
    makeCore();
    core->enterPromptMode();
    ASSERT_TRUE(core->isStatusPausedHard());
    input.down = true;
    input.lastDownTime = now();
    tickAfter(0.5);
    EXPECT_DOUBLE_EQ(core->adjustedSpeed(), 6.5 * 0.65 + 2.5);
    input.down = false;
    input.lastDownTime = now();
    tickAfter(0.1);
    EXPECT_NEAR(core->adjustedSpeed(), 6.5 * (0.075 / 0.175), 1e-9);
    tickAfter(0.075);
    EXPECT_NEAR(core->adjustedSpeed(), 0.0, 1e-9);
    tickAfter(10);
    EXPECT_EQ(core->adjustedSpeed(), 0.0);

    const double y = controller.y();
    input.up = true;
    input.lastUpTime = now();
    tickAfter(0.13);
    EXPECT_NEAR(core->adjustedSpeed(), -(6.5 * 0.2 + 2.5), 1e-9);
    EXPECT_LT(controller.y(), y);
}

TEST_F(ScrollEngineTest, AnAnimatedDeltaIsSpreadOverTwoTenthsOfASecondAndTheRestDropped)
{
    makeCore();
    core->enterPromptMode();
    tickAfter(0.0625);
    core->addScrollingDeltaAnimated(100);
    tickAfter(0.125); // 0.125 / 0.8 of 100: 15.625
    EXPECT_EQ(controller.y(), 15.0);
    tickAfter(0.0625); // 0.1875 / 0.8 of the 84.375 left, plus the 0.625 held back
    EXPECT_EQ(controller.y(), 35.0);
    tickAfter(0.0625);
    EXPECT_EQ(controller.y(), 35.0);
    tickAfter(0.0625);
    EXPECT_EQ(controller.y(), 35.0);
}

TEST_F(ScrollEngineTest, AModalDeltaReplacesTheSpeedWhileItRuns)
{
    startAt(2);
    core->addModalScrollingDeltaAnimated(80);
    tickAfter(0.125);
    EXPECT_EQ(controller.y(), 12.0);
    tickAfter(0.25); // the modal delta is over: speed again, with the half point held back
    EXPECT_EQ(controller.y(), 12.0 + 35.0);
}

TEST_F(ScrollEngineTest, ReservedTimeHoldsTheEngineStillUntilItPasses)
{
    startAt(2);
    core->addReservedModalScrollingTime(0.3);
    tickAfter(0.2);
    EXPECT_EQ(controller.y(), 0.0);
    tickAfter(0.2);
    EXPECT_EQ(controller.y(), 28.0);
}

TEST_F(ScrollEngineTest, WheelDeltasScrollWhilePausedAndAreUsedOnce)
{
    makeCore();
    core->enterPromptMode();
    core->addScrollingDelta(5.5);
    tickAfter(0.1);
    EXPECT_EQ(controller.y(), 5.0);
    tickAfter(0.1);
    EXPECT_EQ(controller.y(), 5.0);
    core->addScrollingDelta(3);
    core->clearScrollingDelta();
    tickAfter(0.1);
    EXPECT_EQ(controller.y(), 5.0);
}

TEST_F(ScrollEngineTest, TheEndIsReportedOnceWhenNotLooping)
{
    startAt(2);
    core->_scrollPrompterToYPosition(2690);
    tickAfter(0.5);
    EXPECT_EQ(controller.y(), 2700.0);
    EXPECT_EQ(controller.scriptEnds, 1);
    tickAfter(0.5);
    EXPECT_EQ(controller.y(), 2700.0);
    EXPECT_EQ(controller.scriptEnds, 1);
    EXPECT_TRUE(core->isStatusStarted());
}

TEST_F(ScrollEngineTest, LoopingJumpsToTheOtherEndAndStillReportsIt)
{
    controller.loops = true;
    startAt(2);
    core->_scrollPrompterToYPosition(2690);
    tickAfter(0.5);
    EXPECT_EQ(controller.y(), 0.0);
    EXPECT_EQ(controller.scriptEnds, 1);

    controller.setSpeed(-2);
    core->_scrollPrompterToYPosition(10);
    tickAfter(0.5);
    EXPECT_EQ(controller.y(), 2700.0);
    EXPECT_EQ(controller.scriptStarts, 1);
}

TEST_F(ScrollEngineTest, AScriptShorterThanTheViewStaysPutAndHasNoTimeLeft)
{
    controller.textView->setFrameSize(Size{400, 100});
    startAt(2);
    controller.remainingNeedsUpdate = true;
    tickAfter(0.5);
    tickAfter(0.6);
    EXPECT_EQ(controller.y(), 0.0);
    EXPECT_EQ(core->estimatedTimeRemaining(), 0);
    EXPECT_EQ(controller.timeInfo()->remainingSeconds(), 0);
    controller.setSpeed(-2);
    tickAfter(0.5);
    EXPECT_EQ(controller.y(), 0.0);
}

TEST_F(ScrollEngineTest, RemainingTimeFollowsSpeedAndDirectionWithoutOverflow)
{
    makeCore();
    controller.textView->setFrameSize(Size{400, 1000}); // 700 points below the view
    controller.setSpeed(1);
    EXPECT_EQ(core->estimatedTimeRemaining(), 10);
    controller.setSpeed(0);
    EXPECT_EQ(core->estimatedTimeRemaining(), OVCore::kNoEstimate);
    controller.setSpeed(1e-300);
    EXPECT_EQ(core->estimatedTimeRemaining(), OVCore::kNoEstimate);
    core->_scrollPrompterToYPosition(700);
    controller.setSpeed(-1);
    EXPECT_EQ(core->estimatedTimeRemaining(), -10);
    controller.setSpeed(-1e-300);
    EXPECT_EQ(core->estimatedTimeRemaining(), std::numeric_limits<qint64>::min());
    EXPECT_EQ(core->estimatedTimeRemainingForController(nullptr), OVCore::kNoEstimate);

    TestController other(1000);
    other.setSpeedQuietly(2);
    EXPECT_EQ(core->estimatedTimeRemainingForController(&other), 5);
}

TEST_F(ScrollEngineTest, ElapsedSecondsCountWhileStartedOrSoftPausedButNotPausedHard)
{
    startAt(0);
    // The first tick of Prompt mode starts the count.
    for (int i = 0; i < 13; ++i)
        tickAfter(0.25);
    EXPECT_EQ(controller.timeInfo()->elapsedSeconds(), 3);

    core->pausePrompter();
    for (int i = 0; i < 12; ++i)
        tickAfter(0.25);
    EXPECT_EQ(controller.timeInfo()->elapsedSeconds(), 6);

    modifierFlags = kOptionKeyMask;
    core->startPrompter();
    core->pausePrompter();
    for (int i = 0; i < 12; ++i)
        tickAfter(0.25);
    EXPECT_EQ(controller.timeInfo()->elapsedSeconds(), 6);
}

TEST_F(ScrollEngineTest, AStallCountsEveryWholeSecondAndKeepsTheRest)
{
    startAt(0);
    tickAfter(0.25);
    tickAfter(2.5);
    EXPECT_EQ(controller.timeInfo()->elapsedSeconds(), 2);
    EXPECT_DOUBLE_EQ(core->fractionalTime(), 0.5);
    tickAfter(0.5);
    EXPECT_EQ(controller.timeInfo()->elapsedSeconds(), 3);
}

TEST_F(ScrollEngineTest, EachCountedSecondRefreshesTheRemainingTimeAndTheTimeDisplays)
{
    startAt(1);
    controller.textView->setFrameSize(Size{400, 1000});
    int refreshes = 0;
    NotificationObserver observer(NotificationCenter::shared(),
                                  OVCoreWillRequireSynchronizedTimersUpdateNotification, nullptr,
                                  [&](const Notification&) { ++refreshes; });
    controller.remainingNeedsUpdate = true;
    controller.speedControlDirty = true;
    tickAfter(0);
    tickAfter(0.5);
    EXPECT_EQ(refreshes, 0);
    EXPECT_EQ(controller.speedControlUpdates, 1);
    tickAfter(0.5);
    EXPECT_EQ(refreshes, 1);
    EXPECT_FALSE(controller.remainingNeedsUpdate);
    EXPECT_EQ(controller.timeInfo()->remainingSeconds(), 9); // 630 points left at 70 a second

    core->resetTimer();
    EXPECT_EQ(controller.timeInfo()->elapsedSeconds(), 0);
    EXPECT_EQ(refreshes, 2);
}

TEST_F(ScrollEngineTest, FrameRatesFollowTheSettingAndNeverGoAstray)
{
    makeCore();
    const auto rateFor = [&](qint64 option, qint64 custom = 50) {
        defaults().setInteger(option, "frameRateOptionTag");
        defaults().setInteger(custom, "customFrameRate");
        core->_calculateOptimalFramerate();
        return core->frameRate();
    };
    EXPECT_EQ(rateFor(-1), 300.0);
    EXPECT_TRUE(core->usesMaximumFrameRate());
    EXPECT_EQ(rateFor(0), 300.0);
    EXPECT_EQ(rateFor(1), 60.0);
    EXPECT_EQ(rateFor(2), 30.0);
    EXPECT_FALSE(core->usesMaximumFrameRate());
    EXPECT_EQ(rateFor(1024, 50), 50.0);
    EXPECT_TRUE(core->usesMaximumFrameRate());
    EXPECT_EQ(rateFor(1024, 0), 1.0);
    EXPECT_EQ(rateFor(1024, -20), 1.0);
    EXPECT_EQ(rateFor(1024, 100000), 1000.0);

    screens.provider.setScreens({});
    EXPECT_EQ(rateFor(1), 60.0);
    EXPECT_EQ(rateFor(-1), 60.0);
}

TEST_F(ScrollEngineTest, TwoDisplaysForTheTalentRunAtHalfTheRefreshRateAutomatically)
{
    screens.provider.setScreens({FakeScreenProvider::makeScreen(0, Rect{{0, 0}, {1280, 800}}, 60.0),
                                 FakeScreenProvider::makeScreen(1, Rect{{1280, 0}, {1920, 1080}}, 60.0)});
    defaults().setInteger(1, "screenMode");
    makeCore();
    core->_calculateOptimalFramerate();
    EXPECT_EQ(core->frameRate(), 30.0);
}

TEST_F(ScrollEngineTest, TickSourcesFallBackToWhatTheScreensAllow)
{
    makeCore();
    LogCapture capture;
    core->_setupPrompterTimerOfType(3);
    EXPECT_TRUE(capture.contains(
        "-[OVCore _setupPrompterTimerOfType:] missing screen for type 3. falling back to type 1"));
    EXPECT_EQ(core->prompterTimerType(), 1);
    EXPECT_EQ(core->updateTiming(), 1);
    core->_teardownPrompterTimer();
    EXPECT_EQ(core->prompterTimerType(), -1);

    core->_setupPrompterTimerOfType(6);
    EXPECT_EQ(core->prompterTimerType(), 5);
    core->_teardownPrompterTimer();

    defaults().setInteger(0, "updateTimingTag");
    core->_setupPrompterTimerOfType(4);
    EXPECT_EQ(core->prompterTimerType(), 4);
    EXPECT_EQ(core->updateTiming(), 0);
    core->_teardownPrompterTimer();

    screens.provider.setScreens({});
    core->_setupPrompterTimerOfType(1);
    EXPECT_TRUE(capture.contains(
        "-[OVCore _setupPrompterTimerOfType:] 0 displays connected which is invalid for type 1. "
        "falling back to type 0"));
    EXPECT_EQ(core->prompterTimerType(), 0);
    core->_teardownPrompterTimer();
}

TEST_F(ScrollEngineTest, TheTalentDisplaysLinkNeedsASeparateTalentDisplay)
{
    screens.provider.setScreens({FakeScreenProvider::makeScreen(0, Rect{{0, 0}, {1280, 800}}, 60.0),
                                 FakeScreenProvider::makeScreen(1, Rect{{1280, 0}, {1920, 1080}}, 75.0)});
    makeCore();
    core->_setupPrompterTimerOfType(2);
    EXPECT_EQ(core->prompterTimerType(), 1);
    core->_teardownPrompterTimer();
    defaults().setInteger(1, "screenMode");
    core->_setupPrompterTimerOfType(2);
    EXPECT_EQ(core->prompterTimerType(), 2);
    core->_teardownPrompterTimer();
}

TEST_F(ScrollEngineTest, ADisplayLinkDrivesTheEngineFromTheRunLoop)
{
    defaults().setInteger(1, "updateDriverTypeTag");
    startAt(2);
    EXPECT_EQ(core->prompterTimerType(), 1);
    advance(0.5);
    EXPECT_NEAR(controller.y(), 70.0, 1.0);
}

TEST_F(ScrollEngineTest, TheDisplayWorkaroundIsOffOnCurrentSystemsUnlessChosen)
{
    makeCore();
    core->_setupPrompterTimerOfType(0);
    EXPECT_EQ(core->waType(), 0);
    core->_teardownPrompterTimer();

    defaults().setInteger(3, "waTypeTag");
    defaults().setDouble(0.5, "waTimerInterval");
    core->_setupPrompterTimerOfType(0);
    EXPECT_EQ(core->waType(), 3);
    const Size size = controller.textView->frame().size;
    int resizes = 0;
    const int token = controller.textView->addFrameObserver([&](View&) { ++resizes; });
    advance(0.5);
    controller.textView->removeObserver(token);
    EXPECT_EQ(resizes, 2);
    EXPECT_EQ(controller.textView->frame().size, size);
    core->_teardownPrompterTimer();
}

// The talent's text view is drawn like the operator's, so the workaround reaches it as well, but
// only while its window is in use.
TEST_F(ScrollEngineTest, TheDisplayWorkaroundReachesTheTalentTextViewWhileItsWindowIsInUse)
{
    class Talent final : public OVCoreTalentOutput {
    public:
        bool isTalentWindowInUse() const override { return inUse; }
        OVCorePrompterView* talentPrompterView() const override { return controller.prompter.get(); }
        TestController controller{3000, Rect{{1300, 100}, {400, 300}}};
        bool inUse = true;
    } talent;
    makeCore();
    core->setTalentWindowController(&talent);
    View* operatorView = controller.textView;
    View* talentView = talent.controller.textView;
    int operatorResizes = 0;
    int talentResizes = 0;
    const int operatorToken = operatorView->addFrameObserver([&](View&) { ++operatorResizes; });
    const int talentToken = talentView->addFrameObserver([&](View&) { ++talentResizes; });
    const Size talentSize = talentView->frame().size;

    core->_performWaType(3);
    EXPECT_EQ(operatorResizes, 2);
    EXPECT_EQ(talentResizes, 2);
    EXPECT_EQ(talentView->frame().size, talentSize);

    operatorView->setNeedsDisplay(false);
    talentView->setNeedsDisplay(false);
    core->_performWaType(1);
    EXPECT_TRUE(operatorView->needsDisplay());
    EXPECT_TRUE(talentView->needsDisplay());

    // Kinds 2 and 4 do the same a pass of the run loop later.
    talentView->setNeedsDisplay(false);
    core->_performWaType(2);
    EXPECT_FALSE(talentView->needsDisplay());
    advance(0);
    EXPECT_TRUE(talentView->needsDisplay());
    core->_performWaType(4);
    EXPECT_EQ(talentResizes, 2);
    advance(0);
    EXPECT_EQ(talentResizes, 4);

    // Hidden, the talent is left alone.
    talent.inUse = false;
    talentView->setNeedsDisplay(false);
    core->_performWaType(1);
    core->_performWaType(3);
    EXPECT_FALSE(talentView->needsDisplay());
    EXPECT_EQ(talentResizes, 4);
    EXPECT_EQ(operatorResizes, 6);

    operatorView->removeObserver(operatorToken);
    talentView->removeObserver(talentToken);
    core->setTalentWindowController(nullptr);
}

} // namespace

// Paused with nothing held or queued, the tick stops; the elapsed time still counts by the second,
// and each thing that can move the script starts the tick again, without a jump for the time spent
// at rest.
TEST_F(ScrollEngineTest, APausedPrompterRestsItsTickUntilSomethingCanMoveTheScript)
{
    startAt(2);
    EXPECT_EQ(core->prompterTimerType(), 0);
    advance(0.5);
    core->pausePrompter();
    advance(0.1);
    EXPECT_TRUE(core->isPrompterTickResting());
    EXPECT_EQ(core->prompterTimerType(), -1);
    const double y = controller.y();
    const qint64 elapsed = controller.timeInfo()->elapsedSeconds();
    advance(3.0);
    EXPECT_EQ(controller.timeInfo()->elapsedSeconds(), elapsed + 3);
    EXPECT_EQ(controller.y(), y);

    // A wheel turn.
    core->addScrollingDelta(30);
    EXPECT_FALSE(core->isPrompterTickResting());
    advance(0.1);
    EXPECT_EQ(controller.y(), y + 30);
    EXPECT_TRUE(core->isPrompterTickResting());

    // A held key, which the input controller reports as it goes down: eased in from its press.
    input.down = true;
    input.lastDownTime = now();
    core->wakePrompterTick();
    advance(0.05);
    EXPECT_GT(controller.y(), y + 30);
    EXPECT_LT(controller.y(), y + 30 + 15);
    input.down = false;
    input.lastDownTime = now();
    advance(0.5);
    EXPECT_TRUE(core->isPrompterTickResting());

    // A key that changed without waking the tick: the resting clock finds it within the second and
    // wakes the tick, after a step of no more than one frame's time.
    const double unwoken = controller.y();
    input.down = true;
    input.lastDownTime = now();
    for (int i = 0; i < 1100 && core->isPrompterTickResting(); ++i)
        advance(0.001);
    EXPECT_FALSE(core->isPrompterTickResting());
    EXPECT_GT(controller.y(), unwoken);
    EXPECT_LE(controller.y() - unwoken, (2.5 + 6.5 * 0.65) * 70 / core->frameRate() + 1);
    input.down = false;
    input.lastDownTime = now();
    advance(0.5);
    EXPECT_TRUE(core->isPrompterTickResting());

    // A line movement's animated delta, then the speed control (which starts the prompter).
    const double before = controller.y();
    core->addScrollingDeltaAnimated(40);
    advance(0.3);
    EXPECT_GT(controller.y(), before);
    EXPECT_TRUE(core->isPrompterTickResting());
    const double stopped = controller.y();
    controller.setSpeed(3);
    EXPECT_TRUE(core->isStatusStarted());
    advance(0.5);
    EXPECT_NEAR(controller.y(), stopped + 0.5 * 3 * 70, 2.0);
    EXPECT_FALSE(core->isPrompterTickResting());

    core->enterEditMode();
    EXPECT_FALSE(core->isPrompterTickResting());
    EXPECT_EQ(core->prompterTimerType(), -1);
}
