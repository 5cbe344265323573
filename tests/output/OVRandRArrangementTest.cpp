#include "output/OVRandRDisplayModeService.h"

#include <gtest/gtest.h>

using Area = OVRandRDisplayModeService::CrtcArea;

TEST(RandRArrangementTest, OverlappingAnotherActiveCrtcIsMirroringAndTouchingIsNot)
{
    const Area operatorArea{1, 0, 0, 1920, 1080};
    EXPECT_TRUE(OVRandRDisplayModeService::overlapsAnother({2, 0, 0, 1280, 720}, {operatorArea}));
    EXPECT_TRUE(OVRandRDisplayModeService::overlapsAnother({2, 1900, 1000, 1920, 1080}, {operatorArea}));
    // Side by side, the edges only touching.
    EXPECT_FALSE(OVRandRDisplayModeService::overlapsAnother({2, 1920, 0, 1920, 1080}, {operatorArea}));
    // Itself, and CRTCs without a size, do not count.
    EXPECT_FALSE(OVRandRDisplayModeService::overlapsAnother(operatorArea, {operatorArea}));
    EXPECT_FALSE(OVRandRDisplayModeService::overlapsAnother({2, 0, 0, 1280, 720}, {{3, 0, 0, 0, 0}}));
}

TEST(RandRArrangementTest, AnUnmirroredOutputGoesRightOfEveryOtherAndTheScreenGrows)
{
    const std::vector<Area> others{{1, 0, 0, 1280, 800}, {3, 1280, 100, 1024, 768}};
    const auto placement =
        OVRandRDisplayModeService::placementBeside({1920, 1080}, 2, others, {2304, 868}, {8192, 8192});
    ASSERT_TRUE(placement);
    EXPECT_EQ(placement->x, 2304);
    // Level with the top of the leftmost output.
    EXPECT_EQ(placement->y, 0);
    EXPECT_EQ(placement->screenSize, QSize(4224, 1080));
    // The output's own old place does not count as another's.
    const auto alone = OVRandRDisplayModeService::placementBeside({1280, 800}, 1, {{1, 0, 0, 1280, 800}},
                                                                  {1280, 800}, {8192, 8192});
    ASSERT_TRUE(alone);
    EXPECT_EQ(alone->x, 0);
    EXPECT_EQ(alone->screenSize, QSize(1280, 800));
}

TEST(RandRArrangementTest, NothingIsPlacedBeyondTheLargestScreenTheServerAllows)
{
    EXPECT_FALSE(OVRandRDisplayModeService::placementBeside({1920, 1080}, 2, {{1, 0, 0, 3840, 2160}},
                                                            {3840, 2160}, {4096, 4096}));
    EXPECT_FALSE(OVRandRDisplayModeService::screenSizeHolding(0, 0, {5000, 100}, {1280, 800}, {4096, 4096}));
    EXPECT_FALSE(OVRandRDisplayModeService::screenSizeHolding(-1, 0, {100, 100}, {1280, 800}, {4096, 4096}));
    EXPECT_FALSE(OVRandRDisplayModeService::screenSizeHolding(0, 0, {0, 100}, {1280, 800}, {4096, 4096}));
}

TEST(RandRArrangementTest, AModeChangeGrowsTheScreenOnlyWhenTheModeDoesNotFit)
{
    // A smaller mode needs nothing new; the screen is never shrunk by it.
    EXPECT_EQ(OVRandRDisplayModeService::screenSizeHolding(0, 0, {1024, 768}, {3200, 1080}, {8192, 8192}),
              QSize(3200, 1080));
    // A larger one at the right of the screen widens and heightens it.
    EXPECT_EQ(OVRandRDisplayModeService::screenSizeHolding(1280, 0, {2560, 1440}, {3200, 1080}, {8192, 8192}),
              QSize(3840, 1440));
}
