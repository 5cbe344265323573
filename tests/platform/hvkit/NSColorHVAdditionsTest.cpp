// The colour arithmetic the restyling commands share: inverses and equality within a tolerance.
#include "platform/hvkit/NSColorHVAdditions.h"

#include <gtest/gtest.h>

namespace {

TEST(NSColorHVAdditions, TheInverseTurnsEachChannelAndKeepsAlphaAndSpace)
{
    EXPECT_EQ(NSColorHVAdditions::inverseColor(Color::rgb(1, 0, 0.25, 0.5)), Color::rgb(0, 1, 0.75, 0.5));
    EXPECT_EQ(NSColorHVAdditions::inverseColor(Color::gray(0.25)), Color::gray(0.75));
    // Channels outside 0...1 (extended colours) are cut first, so the inverse stays a colour.
    EXPECT_EQ(NSColorHVAdditions::inverseColor(Color::rgb(1.5, -0.5, 0)), Color::rgb(0, 1, 1));
    const Color gray = Color::fromRgb8(0x80, 0x80, 0x80);
    EXPECT_EQ(NSColorHVAdditions::inverseColor(NSColorHVAdditions::inverseColor(gray)), gray);
}

TEST(NSColorHVAdditions, EqualityWithinAToleranceIgnoresTheSpace)
{
    EXPECT_TRUE(NSColorHVAdditions::isEqualToColor(Color::gray(1), Color::rgb(1, 1, 1), 0));
    EXPECT_FALSE(NSColorHVAdditions::isEqualToColor(Color::gray(1), Color::rgb(1, 1, 1, 0.5), 0));
    EXPECT_FALSE(NSColorHVAdditions::isEqualToColor(Color::rgb(0.5, 0, 0), Color::rgb(0.51, 0, 0), 0));
    EXPECT_TRUE(NSColorHVAdditions::isEqualToColor(Color::rgb(0.5, 0, 0), Color::rgb(0.51, 0, 0), 0.02));
    EXPECT_FALSE(NSColorHVAdditions::isEqualToColor(Color::rgb(0.5, 0, 0), Color::rgb(0.51, 0, 0), -1));
}

} // namespace
