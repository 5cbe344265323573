#include "prompter_view/OVPrompterTileGeometry.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cmath>
#include <limits>

inline void PrintTo(const Rect& rect, std::ostream* out)
{
    *out << "(" << rect.origin.x << ", " << rect.origin.y << ", " << rect.size.width << ", "
         << rect.size.height << ")";
}

namespace {

using Tile = OVPrompterTileGeometry;

Tile::Input plain(double width = 1000, double height = 500)
{
    Tile::Input input;
    input.size = {width, height};
    return input;
}

TEST(PrompterTileGeometryTest, MarginsSitWhereEachOfTheNineAlignmentsPutsThem)
{
    Tile::Input input = plain();
    input.horizontalMarginIndentFactor = 0.2;
    input.verticalMarginIndentFactor = 0.2;
    const double xs[] = {0, 100, 200};
    const double ys[] = {100, 50, 0};
    for (unsigned alignment = 0; alignment < 9; ++alignment) {
        input.marginAlignment = alignment;
        const Tile::Result result = Tile::tile(input);
        EXPECT_EQ(result.content, Rect(xs[alignment % 3], ys[alignment / 3], 800, 400)) << alignment;
        EXPECT_FALSE(result.unhandledAlignment);
    }
    input.marginAlignment = 9;
    const Tile::Result odd = Tile::tile(input);
    EXPECT_TRUE(odd.unhandledAlignment);
    input.marginAlignment = 4;
    EXPECT_EQ(odd.content, Tile::tile(input).content);
}

TEST(PrompterTileGeometryTest, MarginFactorsFromDamagedSettingsAreClamped)
{
    Tile::Input input = plain();
    input.horizontalMarginIndentFactor = -3;
    input.verticalMarginIndentFactor = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(Tile::tile(input).content, Rect(0, 0, 1000, 500));
    input.horizontalMarginIndentFactor = 7;
    input.verticalMarginIndentFactor = std::numeric_limits<double>::infinity();
    const Rect content = Tile::tile(input).content;
    EXPECT_EQ(content.size.width, 10);
    EXPECT_EQ(content.size.height, 5);
}

TEST(PrompterTileGeometryTest, TheBarTakesTheTopOrBottomAndTheArrowASide)
{
    Tile::Input input = plain();
    input.timeBarVisible = true;
    input.timeBarHeight = 100;
    input.timeBarPosition = 1;
    Tile::Result result = Tile::tile(input);
    EXPECT_EQ(result.timeBar, Rect(0, 400, 1000, 100));
    EXPECT_EQ(result.content, Rect(0, 0, 1000, 400));
    input.timeBarPosition = 0;
    result = Tile::tile(input);
    EXPECT_EQ(result.timeBar, Rect(0, 0, 1000, 100));
    EXPECT_EQ(result.content, Rect(0, 100, 1000, 400));
    // A bar without fonts answers -1: it takes no room rather than a negative one.
    input.timeBarHeight = -1;
    EXPECT_EQ(Tile::tile(input).timeBar.size.height, 0);
    EXPECT_EQ(Tile::tile(input).content, Rect(0, 0, 1000, 500));

    input = plain();
    input.focusArrowVisible = true;
    input.focusArrowWidth = 50;
    result = Tile::tile(input);
    EXPECT_EQ(result.focusArrow, Rect(0, 0, 50, 500));
    EXPECT_EQ(result.content, Rect(50, 0, 950, 500));
    input.focusArrowOnRight = true;
    result = Tile::tile(input);
    EXPECT_EQ(result.focusArrow, Rect(950, 0, 50, 500));
    EXPECT_EQ(result.content, Rect(0, 0, 950, 500));
}

// Mirroring the whole block must give back the unflipped frames reflected about its middle.
void expectMirrorImage(Tile::Input input)
{
    input.horizontallyFlipped = false;
    const Tile::Result straight = Tile::tile(input);
    input.horizontallyFlipped = true;
    const Tile::Result mirrored = Tile::tile(input);
    const double blockMin = std::min(straight.content.minX(), straight.focusArrow.minX());
    const double blockMax =
        std::max(straight.content.maxX() + input.reservedScrollerWidth, straight.focusArrow.maxX());
    auto reflect = [&](const Rect& r) {
        return Rect(blockMin + blockMax - r.maxX(), r.origin.y, r.size.width, r.size.height);
    };
    EXPECT_EQ(mirrored.content, reflect(straight.content));
    EXPECT_EQ(mirrored.focusArrow, reflect(straight.focusArrow));
    EXPECT_GE(mirrored.focusArrow.minX(), 0);
}

TEST(PrompterTileGeometryTest, AHorizontalFlipIsTheTrueMirrorImageWithAReservedScroller)
{
    Tile::Input input = plain();
    input.focusArrowVisible = true;
    input.focusArrowWidth = 50;
    input.reservedScrollerWidth = 15;
    input.focusArrowOnRight = true;
    input.horizontallyFlipped = true;
    Tile::Result result = Tile::tile(input);
    EXPECT_EQ(result.focusArrow, Rect(0, 0, 50, 500));
    EXPECT_EQ(result.content, Rect(65, 0, 935, 500));
    expectMirrorImage(input);

    input.focusArrowOnRight = false;
    result = Tile::tile(input);
    EXPECT_EQ(result.focusArrow, Rect(950, 0, 50, 500));
    EXPECT_EQ(result.content, Rect(15, 0, 935, 500));
    expectMirrorImage(input);

    input.reservedScrollerWidth = 0;
    input.horizontalMarginIndentFactor = 0.2;
    for (unsigned alignment : {0u, 1u, 2u}) {
        input.marginAlignment = alignment;
        input.focusArrowOnRight = alignment == 1;
        expectMirrorImage(input);
    }
    // Without the arrow, only the scroller's strip changes sides.
    input = plain();
    input.reservedScrollerWidth = 15;
    input.horizontallyFlipped = true;
    EXPECT_EQ(Tile::tile(input).content, Rect(15, 0, 985, 500));
}

TEST(PrompterTileGeometryTest, AVerticalFlipMirrorsTextBarAndArrowTopToBottom)
{
    Tile::Input input = plain();
    input.verticalMarginIndentFactor = 0.2;
    input.marginAlignment = 1;
    input.timeBarVisible = true;
    input.timeBarHeight = 100;
    input.timeBarPosition = 1;
    input.focusArrowVisible = true;
    input.focusArrowWidth = 50;
    const Tile::Result straight = Tile::tile(input);
    input.verticallyFlipped = true;
    const Tile::Result flipped = Tile::tile(input);
    EXPECT_EQ(straight.timeBar, Rect(0, 400, 1000, 100));
    EXPECT_EQ(straight.content, Rect(50, 100, 950, 300));
    // The margin that was below the text is now above it, and the bar sits at the bottom.
    EXPECT_EQ(flipped.timeBar, Rect(0, 0, 1000, 100));
    EXPECT_EQ(flipped.content, Rect(50, 100, 950, 300));
    EXPECT_EQ(flipped.focusArrow, Rect(0, 100, 50, 300));
}

TEST(PrompterTileGeometryTest, TheScaleFactorMagnifiesThroughTheClipBounds)
{
    Tile::Scale half = Tile::scale({600, 400}, 0.5);
    EXPECT_EQ(half.clipBoundsSize, Size(1200, 800));
    EXPECT_EQ(half.textViewWidth, 1200);
    Tile::Scale twice = Tile::scale({600, 400}, 2);
    EXPECT_EQ(twice.clipBoundsSize, Size(300, 200));
    EXPECT_EQ(twice.textViewWidth, 600);
    for (double bad :
         {0.0, -2.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        EXPECT_FALSE(Tile::isUsableScaleFactor(bad));
        EXPECT_EQ(Tile::scale({600, 400}, bad).clipBoundsSize, Size(600, 400));
    }
}

} // namespace
