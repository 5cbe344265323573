#include "platform/appkit/WindowFrames.h"

#include <gtest/gtest.h>

namespace {

const Rect kScreen{0, 0, 1440, 900};

} // namespace

TEST(WindowFramesTest, PlacesFramesByRatiosFromTheRectanglesOwnOrigin)
{
    const Rect frame{0, 0, 400, 200};
    // Centred horizontally, three quarters of the free height below it: the upper part (y up).
    EXPECT_EQ(centerFrame(frame, kScreen), Rect(520, 525, 400, 200));
    EXPECT_EQ(absoluteCenterFrame(frame, kScreen), Rect(520, 350, 400, 200));
    EXPECT_EQ(positionFrame(frame, kScreen, 0, 0, 10, 20), Rect(10, 20, 400, 200));
    // The rectangle's origin does not move the result: callers add it for screen coordinates.
    EXPECT_EQ(centerFrame(frame, kScreen.offsetBy(1440, 100)), Rect(520, 525, 400, 200));
    // Fractions end on whole points, covering the frame.
    EXPECT_EQ(absoluteCenterFrame({0, 0, 401, 201}, kScreen), Rect(519, 349, 402, 202));
    // A frame larger than the rectangle overhangs it evenly.
    EXPECT_EQ(absoluteCenterFrame({0, 0, 2000, 900}, kScreen), Rect(-280, 0, 2000, 900));
}

TEST(WindowFramesTest, StandardFrameStaysWithinItsLimits)
{
    EXPECT_EQ(clampStandardFrame({-20000, 0, 20000, 3000}, {}, {}), Rect(-16000, 0, 10000, 3000));
    EXPECT_EQ(clampStandardFrame({20000, -17000, 100, 100}, {}, {}), Rect(16000, -16000, 100, 100));
    EXPECT_EQ(clampStandardFrame({0, 0, 1000, 200}, {400, 300}, {800, 600}), Rect(0, 0, 800, 300));
    // A zero maximum (or minimum) means no limits at all.
    EXPECT_EQ(clampStandardFrame({0, 0, 1000, 200}, {400, 300}, {}), Rect(0, 0, 1000, 200));
    EXPECT_EQ(clampStandardFrame({0, 0, 1000, 200}, {}, {800, 600}), Rect(0, 0, 1000, 200));
    // A minimum above the maximum settles for the maximum instead of an undefined clamp.
    EXPECT_EQ(clampStandardFrame({0, 0, 100, 100}, {900, 700}, {800, 600}), Rect(0, 0, 800, 600));
    EXPECT_EQ(clampStandardFrame({0, 0, 1000, 1000}, {900, 700}, {800, 600}), Rect(0, 0, 800, 600));
}

TEST(WindowFramesTest, MovesAFrameInsideTheVisibleFrame)
{
    // Already inside: unchanged.
    EXPECT_EQ(frameMovedIntoVisibleFrame({100, 100, 800, 600}, kScreen), Rect(100, 100, 800, 600));
    // Overhanging the right edge: pulled left until the right edges meet.
    EXPECT_EQ(frameMovedIntoVisibleFrame({2000, 100, 800, 600}, kScreen), Rect(640, 100, 800, 600));
    // Wider than the visible frame: exactly its width, starting at its left edge, never left of it.
    EXPECT_EQ(frameMovedIntoVisibleFrame({2000, 100, 2000, 600}, kScreen), Rect(0, 100, 1440, 600));
    // Left of and below the visible frame; taller than it.
    EXPECT_EQ(frameMovedIntoVisibleFrame({-300, -50, 400, 1200}, Rect(0, 40, 1440, 860)),
              Rect(0, 40, 400, 860));
    // Above the visible frame's top.
    EXPECT_EQ(frameMovedIntoVisibleFrame({10, 800, 400, 300}, kScreen), Rect(10, 600, 400, 300));
}
