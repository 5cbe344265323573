#include "platform/appkit/Animation.h"
#include "platform/appkit/DisplayLink.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Timer.h"
#include "platform/appkit/View.h"

#include "TestSupport.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <vector>

namespace {

Rect screenFrame(int index)
{
    return Rect(index * 1920.0, 0, 1920, 1080);
}

} // namespace

TEST(Timer, RepeatingTimerFiresOncePerIntervalAtItsOwnTime)
{
    ManualClockScope time;
    std::vector<double> fired;
    auto timer = Timer::scheduledTimer(0.25, true, [&](Timer&) { fired.push_back(Clock::shared().now()); });
    RunLoop::main().advanceManualClock(time.clock, 1.0);
    EXPECT_EQ(fired, (std::vector<double>{1000.25, 1000.5, 1000.75, 1001.0}));
}

TEST(Timer, OneShotFiresOnceAndInvalidatesItself)
{
    ManualClockScope time;
    int fired = 0;
    auto timer = Timer::scheduledTimer(0.1, false, [&](Timer&) { ++fired; });
    RunLoop::main().advanceManualClock(time.clock, 0.05);
    EXPECT_EQ(fired, 0);
    RunLoop::main().advanceManualClock(time.clock, 1.0);
    EXPECT_EQ(fired, 1);
    EXPECT_FALSE(timer->isValid());
}

TEST(Timer, ALateLoopSkipsMissedFiringsInsteadOfBursting)
{
    ManualClockScope time;
    int fired = 0;
    auto timer = Timer::scheduledTimer(0.1, true, [&](Timer&) { ++fired; });
    time.clock.advance(2.55);
    RunLoop::main().fireDueTimers();
    EXPECT_EQ(fired, 1);
    EXPECT_NEAR(timer->fireDate(), 1002.6, 1e-9);
}

TEST(Timer, MayDestroyOrInvalidateItselfWhileFiring)
{
    ManualClockScope time;
    std::unique_ptr<Timer> timer;
    int fired = 0;
    timer = Timer::scheduledTimer(0.1, true, [&](Timer&) {
        ++fired;
        timer.reset();
    });
    RunLoop::main().advanceManualClock(time.clock, 1.0);
    EXPECT_EQ(fired, 1);
}

TEST(Timer, ZeroAndBrokenIntervalsAreRaisedToTheMinimum)
{
    ManualClockScope time;
    Timer zero(0.0, true, {});
    Timer broken(NAN, true, {});
    EXPECT_DOUBLE_EQ(zero.interval(), Timer::kMinimumInterval);
    EXPECT_DOUBLE_EQ(broken.interval(), Timer::kMinimumInterval);
    broken.schedule();
    broken.setFireDate(INFINITY);
    EXPECT_TRUE(std::isfinite(broken.fireDate()));
}

TEST(DelayedPerform, RunsAfterItsDelayUnlessCancelled)
{
    ManualClockScope time;
    int target = 0;
    QStringList ran;
    RunLoop& loop = RunLoop::main();
    loop.performAfterDelay(0.5, &target, "hide", [&] { ran << "hide"; });
    loop.performAfterDelay(0.2, &target, "flash", [&] { ran << "flash"; });
    loop.performAfterDelay(0.3, &target, "flash", [&] { ran << "flash again"; });
    loop.cancelPreviousPerformRequests(&target, "flash");
    EXPECT_TRUE(loop.hasPendingPerform(&target, "hide"));
    loop.advanceManualClock(time.clock, 1.0);
    EXPECT_EQ(ran, QStringList({"hide"}));
    EXPECT_FALSE(loop.hasPendingPerform(&target));
}

TEST(DelayedPerform, AZeroDelayRepostWaitsForTheNextPass)
{
    ManualClockScope time;
    int target = 0;
    int runs = 0;
    std::function<void()> again = [&] {
        ++runs;
        RunLoop::main().performAfterDelay(0, &target, "again", again);
    };
    RunLoop::main().performAfterDelay(0, &target, "again", again);
    RunLoop::main().fireDueTimers();
    EXPECT_EQ(runs, 1);
    RunLoop::main().fireDueTimers();
    EXPECT_EQ(runs, 2);
    RunLoop::main().cancelPreviousPerformRequests(&target);
}

TEST(DisplayLink, TicksAtTheScreensRateOnTheTestClock)
{
    ManualClockScope time;
    FakeScreensScope screens({FakeScreenProvider::makeScreen(0, screenFrame(0), 60),
                              FakeScreenProvider::makeScreen(1, screenFrame(1), 120)});
    std::vector<double> ticks;
    DisplayLink link([&](double now) { ticks.push_back(now); });
    link.setDisplayID(screens.provider.screens()[1].displayID());
    EXPECT_DOUBLE_EQ(link.refreshRate(), 120);
    link.start();
    RunLoop::main().advanceManualClock(time.clock, 0.1);
    ASSERT_EQ(ticks.size(), 12u);
    EXPECT_NEAR(ticks[1] - ticks[0], 1.0 / 120, 1e-9);
    link.stop();
    RunLoop::main().advanceManualClock(time.clock, 0.1);
    EXPECT_EQ(ticks.size(), 12u);
}

TEST(DisplayLink, AScreenReportingNoRateTicksAtSixtyHertz)
{
    ManualClockScope time;
    FakeScreensScope screens({FakeScreenProvider::makeScreen(0, screenFrame(0), 0)});
    EXPECT_DOUBLE_EQ(screens.provider.screens()[0].refreshRate(), 60);
    int ticks = 0;
    DisplayLink link([&](double) { ++ticks; });
    link.start();
    RunLoop::main().advanceManualClock(time.clock, 1.0);
    EXPECT_EQ(ticks, 60);
}

TEST(DisplayLink, FallsBackToThePrimaryScreenWhenItsScreenGoesAway)
{
    ManualClockScope time;
    const Screen primary = FakeScreenProvider::makeScreen(0, screenFrame(0), 50);
    const Screen talent = FakeScreenProvider::makeScreen(1, screenFrame(1), 100);
    FakeScreensScope screens({primary, talent});
    int ticks = 0;
    DisplayLink link([&](double) { ++ticks; });
    link.setDisplayID(talent.displayID());
    link.start();
    screens.provider.setScreens({primary});
    EXPECT_DOUBLE_EQ(link.refreshRate(), 50);
    RunLoop::main().advanceManualClock(time.clock, 1.0);
    EXPECT_EQ(ticks, 50);
    screens.provider.setScreens({});
    EXPECT_DOUBLE_EQ(link.refreshRate(), 60);
}

TEST(Animation, ViewAnimationsStepWithTheClock)
{
    ManualClockScope time;
    View view(Rect(0, 0, 100, 100));
    bool finished = false;
    view.animateAlphaValue(0.0, 0.2, [&](bool done) { finished = done; });
    EXPECT_TRUE(view.isAnimating());
    RunLoop::main().advanceManualClock(time.clock, 0.1);
    EXPECT_GT(view.alphaValue(), 0.0);
    EXPECT_LT(view.alphaValue(), 1.0);
    RunLoop::main().advanceManualClock(time.clock, 0.2);
    EXPECT_DOUBLE_EQ(view.alphaValue(), 0.0);
    EXPECT_TRUE(finished);
    EXPECT_FALSE(view.isAnimating());
}

TEST(Animation, SettingThePropertyCancelsItsAnimation)
{
    ManualClockScope time;
    View view(Rect(0, 0, 100, 100));
    std::optional<bool> result;
    view.animateFrame(Rect(0, 0, 100, 300), 1.0, [&](bool done) { result = done; });
    RunLoop::main().advanceManualClock(time.clock, 0.5);
    view.setFrame(Rect(0, 0, 50, 50));
    ASSERT_TRUE(result.has_value());
    EXPECT_FALSE(*result);
    RunLoop::main().advanceManualClock(time.clock, 1.0);
    EXPECT_EQ(view.frame(), Rect(0, 0, 50, 50));
}

TEST(Animation, ZeroDurationAppliesAtOnce)
{
    ManualClockScope time;
    View view(Rect(0, 0, 100, 100));
    view.animateBounds(Rect(0, 40, 100, 100), 0.0);
    EXPECT_EQ(view.bounds(), Rect(0, 40, 100, 100));
    view.animateFrame(Rect(NAN, 0, 1, 1), 1.0);
    EXPECT_FALSE(view.isAnimating());
}
