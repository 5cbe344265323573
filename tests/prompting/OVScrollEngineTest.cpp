// The scroll engine on its own: every test hands it a speed, a time and a clip view's geometry and
// reads the origin it answers, with no window, view or core around it.
#include "prompting/OVScrollEngine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using Input = OVScrollEngine::Input;
using Location = OVScrollEngine::Location;

// A 1000-point script in a 100-point clip view, its origin at y.
Input tick(double speed, double timePassed, double y = 0, double now = 100)
{
    Input input;
    input.now = now;
    input.timePassed = timePassed;
    input.speed = speed;
    input.speedScaleTypeTag = 0;
    input.pixelsPerSecond = 70;
    input.started = true;
    input.hasClipView = true;
    input.clip = {y, 0, 1000, 100};
    return input;
}

TEST(OVScrollEngineTest, SpeedTimesTimeTimesPixelsPerSecondIsTheNewOrigin)
{
    OVScrollEngine engine;
    const auto output = engine.step(tick(0.2, 0.5, 10));
    EXPECT_TRUE(output.advanced);
    EXPECT_TRUE(output.moved);
    EXPECT_EQ(output.originY, 17.0);
    EXPECT_EQ(output.location, Location::Inside);
    EXPECT_EQ(engine.adjustedSpeed(), 0.2);
    EXPECT_EQ(engine.pointsScrolled(), 7.0);
}

TEST(OVScrollEngineTest, APausedPrompterDoesNotMove)
{
    OVScrollEngine engine;
    Input input = tick(5, 0.5);
    input.started = false;
    const auto output = engine.step(input);
    EXPECT_FALSE(output.advanced);
    EXPECT_FALSE(output.moved);
    EXPECT_EQ(engine.adjustedSpeed(), 0.0);
}

TEST(OVScrollEngineTest, SubIncrementRemaindersCarryToTheNextStep)
{
    OVScrollEngine engine;
    auto output = engine.step(tick(1, 0.13)); // 9.1 points
    EXPECT_EQ(output.originY, 9.0);
    EXPECT_NEAR(engine.leftoverDelta(), 0.1, 1e-9);
    output = engine.step(tick(1, 0.13, output.originY));
    EXPECT_EQ(output.originY, 18.0);
    EXPECT_NEAR(engine.leftoverDelta(), 0.2, 1e-9);
}

TEST(OVScrollEngineTest, LessThanOneIncrementWaitsWithoutAdvancing)
{
    OVScrollEngine engine;
    const auto output = engine.step(tick(1, 0.01)); // 0.7 points
    EXPECT_FALSE(output.advanced);
    EXPECT_NEAR(engine.leftoverDelta(), 0.7, 1e-12);
}

TEST(OVScrollEngineTest, HalfPointIncrementsOnADoubleDensityScreen)
{
    OVScrollEngine engine;
    engine.setMinimumScrollIncrement(0.5);
    const auto output = engine.step(tick(1, 0.013)); // 0.91 points
    EXPECT_EQ(output.originY, 0.5);
    EXPECT_NEAR(engine.leftoverDelta(), 0.41, 1e-9);
}

TEST(OVScrollEngineTest, StopsAtTheScriptEndAndSaysSo)
{
    OVScrollEngine engine;
    const auto output = engine.step(tick(10, 10, 850));
    EXPECT_EQ(output.originY, 900.0);
    EXPECT_TRUE(output.moved);
    EXPECT_EQ(output.location, Location::Bottom);
    EXPECT_EQ(engine.pointsScrolled(), 50.0);

    const auto again = engine.step(tick(10, 10, 900));
    EXPECT_TRUE(again.advanced);
    EXPECT_FALSE(again.moved);
    EXPECT_EQ(again.location, Location::Bottom);
}

TEST(OVScrollEngineTest, StopsAtTheScriptStartGoingBackwards)
{
    OVScrollEngine engine;
    const auto output = engine.step(tick(-10, 10, 30));
    EXPECT_EQ(output.originY, 0.0);
    EXPECT_EQ(output.location, Location::Top);
}

TEST(OVScrollEngineTest, AScriptShorterThanTheViewEndsAtItsStart)
{
    EXPECT_EQ(OVScrollEngine::scriptBottom({0, 20, 50, 100}), 20.0);
    EXPECT_EQ(OVScrollEngine::scriptBottom({0, 20, 500, 100}), 420.0);
    // The operator's toolbar over the talent's insets lets it go that much further.
    EXPECT_EQ(OVScrollEngine::scriptBottom({0, 20, 500, 100, 52}), 472.0);
}

TEST(OVScrollEngineTest, WheelDeltasAddToOneStepAndAreThenSpent)
{
    OVScrollEngine engine;
    engine.addScrollingDelta(12);
    auto output = engine.step(tick(0, 0.1, 100));
    EXPECT_EQ(output.originY, 112.0);
    output = engine.step(tick(0, 0.1, 112));
    EXPECT_FALSE(output.advanced);
}

TEST(OVScrollEngineTest, AnimatedDeltasSpreadOverTheFollowingTicksAndExpire)
{
    OVScrollEngine engine;
    engine.addScrollingDeltaAnimated(80, 100);
    // An eighth of a second later 12.5 points fall due: 12 move, half a point waits.
    auto output = engine.step(tick(0, 0.125, 0, 100.125));
    EXPECT_NEAR(output.originY, 12.0, 1e-9);
    // Past the window the rest of the delta is dropped and only the half point remains.
    output = engine.step(tick(0, 0.25, output.originY, 100.375));
    EXPECT_FALSE(output.advanced);
    EXPECT_NEAR(engine.leftoverDelta(), 0.5, 1e-9);
}

TEST(OVScrollEngineTest, AModalDeltaReplacesTheSpeedWhileItRuns)
{
    OVScrollEngine engine;
    engine.addModalScrollingDeltaAnimated(80, 100);
    const auto output = engine.step(tick(10, 0.125, 0, 100.125));
    EXPECT_NEAR(output.originY, 12.0, 1e-9);
}

TEST(OVScrollEngineTest, AReservedModalTimeHoldsTheOriginUntilItPasses)
{
    OVScrollEngine engine;
    engine.reserveModalScrollingUntil(101);
    EXPECT_FALSE(engine.step(tick(1, 0.5, 0, 100.5)).advanced);
    EXPECT_TRUE(engine.step(tick(1, 0.5, 0, 101.5)).advanced);
}

TEST(OVScrollEngineTest, AHeldDownKeyEasesInOnTopOfTheSpeed)
{
    OVScrollEngine engine;
    Input input = tick(0, 0.1, 0, 100.325);
    input.started = false;
    input.hasKeys = true;
    input.keys.down = true;
    input.keys.lastDownTime = 100;
    engine.step(input);
    // Half the ease-in elapsed: 6.5 * 0.5 plus the base 2.5.
    EXPECT_NEAR(engine.adjustedSpeed(), 5.75, 1e-9);
}

TEST(OVScrollEngineTest, AReleasedUpKeyEasesOut)
{
    OVScrollEngine engine;
    Input input = tick(1, 0.1, 0, 100.0875);
    input.hasKeys = true;
    input.keys.lastUpTime = 100;
    engine.step(input);
    EXPECT_NEAR(engine.adjustedSpeed(), 1 - 6.5 * 0.5, 1e-9);
}

TEST(OVScrollEngineTest, BoostTakesTheSpeedPartOfTheWayToTwentyOnTheSquareScale)
{
    OVScrollEngine engine;
    Input input = tick(OVScrollEngine::convertSpeed(10, 1), 0.1);
    input.speedScaleTypeTag = 1;
    input.hasKeys = true;
    input.keys.boost = true;
    engine.step(input);
    EXPECT_NEAR(engine.adjustedSpeed(), OVScrollEngine::convertSpeed(13, 1), 1e-9);
}

TEST(OVScrollEngineTest, ANotANumberDeltaNeverReachesTheOrigin)
{
    OVScrollEngine engine;
    const auto output = engine.step(tick(std::numeric_limits<double>::quiet_NaN(), 0.1));
    EXPECT_FALSE(output.advanced);
    EXPECT_EQ(engine.leftoverDelta(), 0.0);
}

TEST(OVScrollEngineTest, WithoutAClipViewItAdvancesButMovesNothing)
{
    OVScrollEngine engine;
    Input input = tick(1, 1);
    input.hasClipView = false;
    const auto output = engine.step(input);
    EXPECT_TRUE(output.advanced);
    EXPECT_FALSE(output.moved);
    EXPECT_EQ(engine.pointsScrolled(), 0.0);
}

TEST(OVScrollEngineTest, SpeedScalesConvertBothWays)
{
    for (int tag : {0, 1, 9, 10}) {
        for (double speed : {-12.5, 0.0, 3.0, 120.0})
            EXPECT_NEAR(OVScrollEngine::reverseConvertSpeed(OVScrollEngine::convertSpeed(speed, tag), tag),
                        speed, 1e-9)
                << tag << " " << speed;
    }
    EXPECT_NEAR(OVScrollEngine::convertSpeed(10, 1), 10.0, 1e-12);
    EXPECT_NEAR(OVScrollEngine::convertSpeed(120, 9), 20.0, 1e-9);
    EXPECT_EQ(OVScrollEngine::convertSpeed(-16, 10), -4.0);
}

} // namespace
