#include "TalentTestSupport.h"

#include "output/OVEnvironment.h"
#include "output/OVScreen.h"
#include "prompter_view/OVPrompterView.h"
#include "platform/appkit/Window.h"
#include "prompting/OVCore.h"
#include "text/OVTextView.h"
#include "text/OVTextView.h"

#include <gtest/gtest.h>

TEST(OVScreenTest, RolesAndConfigurationFollowTheScreenList)
{
    {
        ScopedScreens screens({});
        EXPECT_FALSE(OVScreen::operatorScreen());
        EXPECT_FALSE(OVScreen::talentScreen());
        EXPECT_EQ(OVScreen::configuration(), OVScreen::kNoScreen);
        EXPECT_FALSE(OVScreen::isTalentScreenDistinctFromOperatorScreen());
    }
    {
        ScopedScreens screens({operatorScreen1440()});
        ASSERT_TRUE(OVScreen::talentScreen());
        EXPECT_EQ(OVScreen::talentScreen()->displayID(), OVScreen::operatorScreen()->displayID());
        EXPECT_EQ(OVScreen::configuration(), OVScreen::kSingleScreen);
    }
    {
        // Two displays count as one configuration until the talent window shows.
        ScopedScreens screens({operatorScreen1440(), talentScreen1920()});
        EXPECT_EQ(OVScreen::talentScreen()->frame(), talentScreen1920().frame());
        EXPECT_TRUE(OVScreen::isTalentScreenDistinctFromOperatorScreen());
        EXPECT_EQ(OVScreen::configuration(), OVScreen::kSingleScreen);
        EXPECT_FALSE(OVScreen::permitsVirtualScreens());
    }
    {
        ScopedScreens screens({operatorScreen1440(), FakeScreenProvider::makeScreen(1, {{0, 0}, {1440, 900}})});
        EXPECT_TRUE(OVScreen::talentScreenSystemVideoMirrorsOperatorScreen());
        EXPECT_EQ(OVScreen::configuration(), OVScreen::kSystemVideoMirroring);
    }
}

TEST(OVScreenTest, EarliestScreenNotMatchingSkipsTheGivenDisplay)
{
    const std::vector<Screen> list{operatorScreen1440(), talentScreen1920()};
    EXPECT_EQ(OVScreen::_earliestScreenNotMatching(operatorScreen1440(), list)->displayID(),
              talentScreen1920().displayID());
    EXPECT_FALSE(OVScreen::_earliestScreenNotMatching(std::nullopt, list));
    EXPECT_FALSE(OVScreen::_earliestScreenNotMatching(operatorScreen1440(), {}));
    EXPECT_FALSE(OVScreen::_earliestScreenNotMatching(operatorScreen1440(), {operatorScreen1440()}));
}

TEST(DualScreenStatusTest, FollowsTheStatusTableInOrder)
{
    const Screen op = operatorScreen1440();
    EXPECT_EQ(OVCore::dualScreenStatusForScreens({}, {}), 1);
    EXPECT_EQ(OVCore::dualScreenStatusForScreens({op}, {}), 1);
    EXPECT_EQ(OVCore::dualScreenStatusForScreens({op, FakeScreenProvider::makeScreen(1, op.frame())}, {}), 4);
    EXPECT_EQ(OVCore::dualScreenStatusForScreens({op, talentScreen1920()}, {op.frame()}), 3);
    EXPECT_EQ(OVCore::dualScreenStatusForScreens({op, talentScreen1920()}, {}), 5);
    EXPECT_EQ(OVCore::dualScreenStatusForScreens(
                  {FakeScreenProvider::makeScreen(0, {{0, 0}, {1920, 1080}}), talentScreen1920()}, {}),
              0);
    EXPECT_EQ(OVCore::dualScreenStatusForScreens(
                  {FakeScreenProvider::makeScreen(0, {{0, 0}, {1920, 1080}}),
                   FakeScreenProvider::makeScreen(1, {{1920, 0}, {1280, 800}})},
                  {}),
              0);
}

TEST(OVEnvironmentTest, OutputTargetAndSizeWithoutTheTalentWindow)
{
    ScopedScreens screens({FakeScreenProvider::makeScreen(0, {{0, 0}, {2560, 1440}}), talentScreen1920()});
    ScopedDefaults defaults;
    EXPECT_EQ(OVEnvironment::prompterOutputTarget(), OVEnvironment::kOperatorFullScreen);
    EXPECT_EQ(OVEnvironment::prompterOutputSize(), (Size{2560, 1440}));
    defaults.setBool(QStringLiteral("useWindowedPrompting"), true);
    EXPECT_EQ(OVEnvironment::prompterOutputTarget(), OVEnvironment::kWindowed);
    // No front prompter window.
    EXPECT_EQ(OVEnvironment::prompterOutputSize(), (Size{0, 0}));
}

TEST(OVEnvironmentTest, TemporaryEnvironmentWithoutScreensLaysOutAt1920x1080AndStaysHidden)
{
    ScopedScreens screens({});
    ScopedDefaults defaults;
    defaults.setBool(QStringLiteral("enableTalentContentAdjustments"), true);
    defaults.setDouble(QStringLiteral("contentTextMagnificationFactor"), 2.0);
    OVPrompterView source(Rect{{0, 0}, {400, 300}});
    source.prompterTextView()->textStorage().setAttributedString(
        AttributedString(QStringLiteral("Hello"), {{kFontAttributeName, Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica"), 12}}}));
    bool ran = false;
    OVEnvironment::createTemporaryPromptModeEnvironmentWithPrompterContent(
        &source, {}, [&](Window& window, OVPrompterView& view) {
            ran = true;
            EXPECT_EQ(window.frame().size, (Size{1920, 1080}));
            EXPECT_FALSE(window.isVisible());
            EXPECT_EQ(window.alphaValue(), 0.0);
            EXPECT_FALSE(view.prompterTextView()->isEditable());
            EXPECT_FALSE(view.prompterTextView()->isSelectable());
            const AttributeValue font = view.prompterTextView()->textStorage().attribute(kFontAttributeName, 0);
            ASSERT_TRUE(font.font());
            EXPECT_DOUBLE_EQ(font.font()->pointSize, 24.0);
        });
    EXPECT_TRUE(ran);
    // The source keeps its own text as it was.
    EXPECT_DOUBLE_EQ(source.prompterTextView()->textStorage().attribute(kFontAttributeName, 0).font()->pointSize, 12.0);
}
