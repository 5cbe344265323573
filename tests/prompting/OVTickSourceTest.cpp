// The tick source on a hand-driven clock: it ticks at the rate it was given, says what runs, and
// stays quiet once stopped.
#include "prompting/OVTickSource.h"

#include "platform/appkit/RunLoop.h"
#include "tests/platform/appkit/TestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(OVTickSourceTest, ATimerTicksAtItsFrameRateUntilStopped)
{
    ManualClockScope clock;
    int ticks = 0;
    OVTickSource source([&] { ++ticks; });
    EXPECT_EQ(source.type(), OVTickSource::kNone);

    source.startTimer(10);
    EXPECT_TRUE(source.hasTimer());
    EXPECT_FALSE(source.hasDisplayLink());
    EXPECT_EQ(source.type(), OVTickSource::kTimer);
    RunLoop::main().advanceManualClock(clock.clock, 0.35);
    EXPECT_EQ(ticks, 3);

    EXPECT_TRUE(source.stop());
    EXPECT_EQ(source.type(), OVTickSource::kNone);
    RunLoop::main().advanceManualClock(clock.clock, 1);
    EXPECT_EQ(ticks, 3);
    EXPECT_FALSE(source.stop());
}

TEST(OVTickSourceTest, ADisplayLinkReportsItsPacedType)
{
    ManualClockScope clock;
    OVTickSource source([] {});
    source.startDisplayLink(4, 0, nullptr);
    EXPECT_TRUE(source.hasDisplayLink());
    EXPECT_EQ(source.type(), 4);
    EXPECT_TRUE(source.stop());
    EXPECT_FALSE(source.hasDisplayLink());
}

} // namespace
