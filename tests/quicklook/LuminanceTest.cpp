#include "quicklook/NSColorOVExtensionAdditions.h"

#include <gtest/gtest.h>

using namespace NSColorOVExtensionAdditions;

TEST(LuminanceTest, FollowsTheSrgbCurveRoundedToFourDecimals)
{
    EXPECT_DOUBLE_EQ(luminanceValue(Color::rgb(0, 0, 0)), 0.0);
    EXPECT_DOUBLE_EQ(luminanceValue(Color::rgb(1, 1, 1)), 1.0);
    EXPECT_DOUBLE_EQ(luminanceValue(Color::rgb(0.5, 0.5, 0.5)), 0.2140);
    EXPECT_DOUBLE_EQ(luminanceValue(Color::gray(0.8)), 0.6038);
    EXPECT_DOUBLE_EQ(luminanceValue(Color::rgb(1, 0, 0)), 0.2126);
}

TEST(LuminanceTest, SortsIntoDarkMediumAndLight)
{
    EXPECT_EQ(luminanceType(Color::rgb(0, 0, 0)), LuminanceDark);
    EXPECT_EQ(luminanceType(Color::gray(0.5)), LuminanceDark);
    EXPECT_EQ(luminanceType(Color::gray(0.8)), LuminanceMedium);
    EXPECT_EQ(luminanceType(Color::rgb(1, 1, 1)), LuminanceLight);
}
