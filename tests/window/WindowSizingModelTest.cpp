// The arithmetic behind quick zoom and the document window's frames: the scale a script is zoomed
// to, the frames the size presets give, and the frame Zoom gives against the talent output.
#include "platform/text/AttributeNames.h"
#include "platform/text/Font.h"
#include "platform/text/MutableAttributedString.h"
#include "settings/OVConstants.h"
#include "window/OVDocumentWindowFrames.h"
#include "window/OVQuickZoom.h"
#include "window/OVScreenGeometryProvider.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

AttributeDictionary sized(double points)
{
    AttributeDictionary attributes;
    attributes.insert(kFontAttributeName,
                      Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica"), points});
    return attributes;
}

double automatic(double pointSize, long long delta = 0)
{
    return OVQuickZoom::automaticScale(pointSize, 15, delta, OVConstants::quickZoomScaleValues());
}

// Screen facts set by the test.
class FixedScreens final : public OVScreenGeometryProvider {
public:
    std::optional<Rect> visible;
    std::optional<Size> talent;
    std::optional<Rect> operatorVisibleFrame() const override { return visible; }
    std::optional<Size> talentContentSize() const override { return talent; }
};

// A window whose menu bar and tool bar take 60 points above the content.
Rect frameForContent(const Rect& content)
{
    return Rect{content.origin, {content.size.width, content.size.height + 60}};
}

TEST(QuickZoomScaleTest, StoredScalesNearTheEndsSnapAndOthersAskForTheAutomaticScale)
{
    EXPECT_EQ(OVQuickZoom::fixedScale(0.9505), 0.95);
    EXPECT_EQ(OVQuickZoom::fixedScale(0.0495), 0.05);
    EXPECT_EQ(OVQuickZoom::fixedScale(0.5), 0.5);
    EXPECT_EQ(OVQuickZoom::fixedScale(0.0), std::nullopt);
    EXPECT_EQ(OVQuickZoom::fixedScale(1.0), std::nullopt);
    EXPECT_EQ(OVQuickZoom::fixedScale(0.96), std::nullopt);
    EXPECT_EQ(OVQuickZoom::fixedScale(std::numeric_limits<double>::quiet_NaN()), std::nullopt);
    EXPECT_EQ(OVQuickZoom::fixedScale(std::numeric_limits<double>::infinity()), std::nullopt);
}

TEST(QuickZoomScaleTest, AutomaticScaleSnapsToTheTableAndMovesByTheDeltaWithinIt)
{
    EXPECT_DOUBLE_EQ(automatic(60), 0.25);
    EXPECT_DOUBLE_EQ(automatic(60, 1), 1.0 / 3.0);
    EXPECT_DOUBLE_EQ(automatic(60, 20), 0.75);
    EXPECT_DOUBLE_EQ(automatic(60, -20), 0.1);
    EXPECT_DOUBLE_EQ(automatic(30), 0.5);
    // A delta no index can hold is still only the table's end.
    EXPECT_DOUBLE_EQ(automatic(60, std::numeric_limits<long long>::max()), 0.75);
    EXPECT_DOUBLE_EQ(automatic(60, std::numeric_limits<long long>::min()), 0.1);
    // Nothing to go by: no zoom.
    EXPECT_DOUBLE_EQ(automatic(0), 1.0);
    EXPECT_DOUBLE_EQ(automatic(std::numeric_limits<double>::quiet_NaN()), 1.0);
    EXPECT_DOUBLE_EQ(OVQuickZoom::automaticScale(60, 15, 0, {}), 1.0);
    // Small type asks to be enlarged; the largest entry is as close as the table gets.
    EXPECT_DOUBLE_EQ(automatic(8), 0.75);
}

TEST(QuickZoomScaleTest, MostUsedSizeCountsCharactersAndBreaksTiesToTheSmallerSize)
{
    MutableAttributedString text;
    text.append(QString(40, u'a'), sized(60));
    text.append(QString(10, u'b'), sized(12));
    text.append(QString(25, u'c'), sized(60));
    EXPECT_DOUBLE_EQ(OVQuickZoom::mostUsedPointSize(text), 60);

    MutableAttributedString tie;
    tie.append(QString(30, u'a'), sized(48));
    tie.append(QString(30, u'b'), sized(24));
    EXPECT_DOUBLE_EQ(OVQuickZoom::mostUsedPointSize(tie), 24);

    EXPECT_DOUBLE_EQ(OVQuickZoom::mostUsedPointSize(MutableAttributedString()), 0);
    EXPECT_DOUBLE_EQ(OVQuickZoom::mostUsedPointSize(AttributedString(QStringLiteral("no font at all"))), 0);
}

TEST(WindowFramesTest, PresetFramesGiveTheExactContentSizeAndKeepTheTopEdge)
{
    const Rect frame{{100, 200}, {800, 660}};
    const Rect larger = OVDocumentWindowFrames::presetFrame(frame, {800, 600}, {1280, 720}, frameForContent);
    EXPECT_EQ(larger, (Rect{{100, 80}, {1280, 780}}));
    EXPECT_EQ(larger.maxY(), frame.maxY());

    const Rect smaller = OVDocumentWindowFrames::presetFrame(frame, {800, 600}, {640, 480}, frameForContent);
    EXPECT_EQ(smaller, (Rect{{100, 320}, {640, 540}}));
    EXPECT_EQ(smaller.maxY(), frame.maxY());
}

TEST(WindowFramesTest, CentringPutsTheFrameInTheUpperPartOnWholePoints)
{
    EXPECT_EQ(OVDocumentWindowFrames::centerFrameWithinRect({{0, 0}, {400, 200}}, {{0, 0}, {1440, 900}}),
              (Rect{{520, 525}, {400, 200}}));
    // Measured from 0: the rectangle's own origin is the caller's to add.
    EXPECT_EQ(OVDocumentWindowFrames::centerFrameWithinRect({{0, 0}, {401, 200}}, {{300, 50}, {1440, 901}}),
              (Rect{{519, 525}, {401, 200}}));
}

TEST(WindowFramesTest, ZoomWithoutATalentWindowGivesTheDefaultFrame)
{
    FixedScreens screens;
    screens.visible = Rect{{0, 0}, {1280, 775}};
    const Rect standard{{0, 0}, {1280, 775}};
    EXPECT_EQ(OVDocumentWindowFrames::zoomFrame(standard, screens, frameForContent), standard);
    screens.talent = Size{0, 0};
    EXPECT_EQ(OVDocumentWindowFrames::zoomFrame(standard, screens, frameForContent), standard);
}

TEST(WindowFramesTest, ZoomGivesTheTalentContentSizeAsFarAsTheOperatorScreenAllows)
{
    FixedScreens screens;
    screens.talent = Size{1920, 1080};
    screens.visible = Rect{{0, 0}, {1280, 775}};
    const Rect standard{{0, 0}, {1280, 775}};
    EXPECT_EQ(OVDocumentWindowFrames::zoomFrame(standard, screens, frameForContent),
              (Rect{{0, 0}, {1280, 775}}));

    // A smaller talent output fits: its content size exactly, centred, in the upper part.
    screens.talent = Size{800, 450};
    EXPECT_EQ(OVDocumentWindowFrames::zoomFrame(standard, screens, frameForContent),
              (Rect{{240, 198}, {800, 510}}));
}

TEST(WindowFramesTest, ZoomFrameStartsWhereTheVisibleFrameStarts)
{
    // A panel on the left, and an operator screen right of and above the primary one.
    FixedScreens screens;
    screens.talent = Size{800, 450};
    screens.visible = Rect{{120, 0}, {1160, 775}};
    const Rect panel = OVDocumentWindowFrames::zoomFrame({}, screens, frameForContent);
    EXPECT_EQ(panel, (Rect{{300, 198}, {800, 510}}));
    EXPECT_GE(panel.minX(), 120);

    screens.visible = Rect{{1920, 280.5}, {1280, 775}};
    EXPECT_EQ(OVDocumentWindowFrames::zoomFrame({}, screens, frameForContent),
              (Rect{{2160, 479}, {800, 510}}));

    screens.talent = Size{1920, 1080};
    screens.visible = Rect{{120, 0}, {1160, 775}};
    EXPECT_EQ(OVDocumentWindowFrames::zoomFrame({}, screens, frameForContent), (Rect{{120, 0}, {1160, 775}}));
}

} // namespace
