#include "CoreTestSupport.h"

#include "prompting/OVCoreTalentOutput.h"
#include "prompting/OVRenderingChoices.h"

#include <QRectF>

namespace {

Screen operatorScreen(double width = 1920, double height = 1080, double x = 0)
{
    return FakeScreenProvider::makeScreen(0, {{x, 0}, {width, height}});
}

Screen talentScreen(double width = 1920, double height = 1080, double x = 1920)
{
    return FakeScreenProvider::makeScreen(1, {{x, 0}, {width, height}});
}

// A talent output on screen whenever its test says so; its view only counts blanking.
class StatusTalentOutput final : public OVCoreTalentOutput {
public:
    bool isTalentWindowInUse() const override { return inUse; }
    OVCorePrompterView* talentPrompterView() const override { return nullptr; }
    bool inUse = true;
};

class OVCoreScreenStatusTest : public CoreTest {
protected:
    void TearDown() override
    {
        if (core)
            core->setTalentWindowController(nullptr);
        CoreTest::TearDown();
    }

    int postsDuring(const std::function<void()>& change)
    {
        int posted = 0;
        NotificationObserver observer(NotificationCenter::shared(),
                                      OVCoreDidChangeDualScreenConfigurationNotification, nullptr,
                                      [&posted](const Notification&) { ++posted; });
        change();
        return posted;
    }

    StatusTalentOutput talent;
};

TEST_F(OVCoreScreenStatusTest, TheStatusFollowsTheScreensAndEachChangePostsOnce)
{
    makeCore();
    EXPECT_EQ(core->dualScreenStatus(), 1);
    EXPECT_EQ(postsDuring([&] { screens.provider.setScreens({operatorScreen(), talentScreen()}); }), 1);
    EXPECT_EQ(core->dualScreenStatus(), 0);
    EXPECT_EQ(postsDuring([&] {
                  screens.provider.setScreens({operatorScreen(), talentScreen(1920, 1200)});
              }),
              1);
    EXPECT_EQ(core->dualScreenStatus(), 5);
    EXPECT_EQ(postsDuring([&] {
                  screens.provider.setScreens({operatorScreen(1280, 1080), talentScreen()});
              }),
              1);
    EXPECT_EQ(core->dualScreenStatus(), 5);
    // A reconfiguration always tells, even when the status stays; a plain update only on a change.
    EXPECT_EQ(postsDuring([&] {
                  screens.provider.setScreens({operatorScreen(1280, 1080), talentScreen()});
              }),
              1);
    EXPECT_EQ(postsDuring([&] { core->_updateDualScreenStatusIfNecessary(); }), 0);
    EXPECT_EQ(postsDuring([&] { core->_forceUpdateDualScreenStatus(); }), 1);
}

TEST_F(OVCoreScreenStatusTest, LosingTheTalentScreenLeavesPromptModeOnceAndStopsBlanking)
{
    screens.provider.setScreens({operatorScreen(), talentScreen()});
    makeCore();
    core->setTalentWindowController(&talent);
    core->enterPromptMode();
    core->setBlanking(true);
    ASSERT_TRUE(core->isBlanking());

    // Moving a display is no change of the arrangement.
    screens.provider.setScreens({operatorScreen(), talentScreen(1920, 1080, 2000)});
    EXPECT_TRUE(controller.forcedModes.isEmpty());
    EXPECT_TRUE(core->isBlanking());

    talent.inUse = false;
    screens.provider.setScreens({operatorScreen()});
    EXPECT_EQ(controller.forcedModes, QList<unsigned>{OVCore::kModeEdit});
    EXPECT_FALSE(core->isBlanking());
    EXPECT_TRUE(core->suppressDisplayConfigurationModeChange());
    // Until the mode change has run, further notices ask nothing more.
    screens.provider.setScreens({operatorScreen(1280, 800)});
    EXPECT_EQ(controller.forcedModes.size(), 1);
    core->enterEditMode();
    EXPECT_FALSE(core->suppressDisplayConfigurationModeChange());
}

TEST_F(OVCoreScreenStatusTest, ResizingADisplayLeavesPromptMode)
{
    screens.provider.setScreens({operatorScreen(), talentScreen()});
    makeCore();
    core->enterPromptMode();
    screens.provider.setScreens({operatorScreen(), talentScreen(1600, 900)});
    EXPECT_EQ(controller.forcedModes.size(), 1);
}

TEST_F(OVCoreScreenStatusTest, TheConfigurationHoldsItsTwelveKeys)
{
    makeCore();
    core->enterPromptMode();
    const QVariantMap configuration = core->promptModeControllerWindowConfigurationDictionary();
    EXPECT_EQ(configuration.size(), 12);
    EXPECT_TRUE(configuration.value("OVCorePromptModeOperatorScreenExists").toBool());
    EXPECT_FALSE(configuration.value("OVCorePromptModeOperatorAndTalentScreensDiffer").toBool());
    EXPECT_EQ(configuration.value("OVCorePromptModeControllerWindowIsWindowedKey").toInt(), 1);
    EXPECT_EQ(configuration.value("OVCorePromptModeControllerWindowFrameKey").toRectF(),
              QRectF(100, 100, 400, 300));
    EXPECT_EQ(configuration.value("OVCorePromptModeOperatorScreenFrame").toRectF(), QRectF(0, 0, 1280, 800));
}

TEST_F(OVCoreScreenStatusTest, FullScreenPromptingCoversTheOperatorScreenWithBlockingWindows)
{
    defaults().setBool(false, QStringLiteral("useWindowedPrompting"));
    makeCore();
    core->_updatePromptModeControllerWindowConfigurationDictionary();
    const OVCore::PromptModeWindowConfiguration& configuration =
        core->promptModeControllerWindowConfiguration();
    EXPECT_EQ(configuration.frame, (Rect{{0, 0}, {1280, 800}}));
    EXPECT_TRUE(configuration.useBlockingWindow);
    EXPECT_TRUE(configuration.useTitleBarBlockingWindow);
    EXPECT_FALSE(configuration.isWindowed);
}

TEST_F(OVCoreScreenStatusTest, WithTheTalentWindowTheOperatorWindowTakesTheTalentSize)
{
    screens.provider.setScreens({operatorScreen(2560, 1440), talentScreen(1280, 720, 2560)});
    makeCore();
    core->setTalentWindowController(&talent);
    core->_updatePromptModeControllerWindowConfigurationDictionary();
    const OVCore::PromptModeWindowConfiguration& configuration =
        core->promptModeControllerWindowConfiguration();
    EXPECT_EQ(configuration.frame.size, (Size{1280, 720}));
    EXPECT_EQ(configuration.frame.origin, (Point{640, 540}));
    EXPECT_TRUE(configuration.isWindowed);
    EXPECT_TRUE(configuration.isTalentWindowUtilized);

    // Asked to cover the desktop, it sits in the middle of the screen with blocking windows.
    defaults().setBool(true, QStringLiteral("alwaysCoverTheDesktop"));
    core->_updatePromptModeControllerWindowConfigurationDictionary();
    EXPECT_EQ(core->promptModeControllerWindowConfiguration().frame.origin, (Point{640, 360}));
    EXPECT_FALSE(core->promptModeControllerWindowConfiguration().isWindowed);
}

TEST_F(OVCoreScreenStatusTest, ToolbarStateChoosesTheToolbar)
{
    makeCore();
    defaults().setInteger(2, QStringLiteral("promptModeToolbarState"));
    EXPECT_FALSE(core->controllerWindowUsesToolbarInPromptMode());
    defaults().setInteger(1, QStringLiteral("promptModeToolbarState"));
    EXPECT_TRUE(core->controllerWindowUsesToolbarInPromptMode());
    defaults().setInteger(7, QStringLiteral("promptModeToolbarState"));
    LogCapture log;
    EXPECT_TRUE(core->controllerWindowUsesToolbarInPromptMode());
    EXPECT_TRUE(log.contains(QStringLiteral("Unhandled toolbar state")));
}

TEST(OVRenderingChoicesTest, TheTablesChooseBackingAndLayers)
{
    OVRenderingChoices::Facts facts;
    facts.talentWindowInUse = true;
    EXPECT_EQ(OVRenderingChoices::backingLocations(1, facts).embeddedWindow, 2);
    EXPECT_EQ(OVRenderingChoices::backingLocations(2, facts).talentWindow, 2);
    EXPECT_TRUE(OVRenderingChoices::backingLocations(0, facts).layerHeuristicAllowed);
    EXPECT_FALSE(OVRenderingChoices::backingLocations(9, facts).layerHeuristicAllowed);
    // Automatic with one GPU: layers off, the talent window in video memory.
    const auto automatic = OVRenderingChoices::backingLocations(-1, facts);
    EXPECT_TRUE(automatic.forcesLayersOff);
    EXPECT_EQ(automatic.talentWindow, 1);
    facts.numberOfGPUs = 2;
    EXPECT_TRUE(OVRenderingChoices::backingLocations(-1, facts).layerHeuristicAllowed);

    EXPECT_EQ(OVRenderingChoices::layerBacking(1, -1, false, facts), 1);
    EXPECT_EQ(OVRenderingChoices::layerBacking(-1, 2, false, facts), 2);
    EXPECT_EQ(OVRenderingChoices::layerBacking(-1, -1, false, facts), 0);
    facts.usesMaximumFrameRate = true;
    EXPECT_EQ(OVRenderingChoices::layerBacking(-1, -1, true, facts), 3);
    facts.flipped = true;
    EXPECT_EQ(OVRenderingChoices::layerBacking(-1, -1, true, facts), 2);
}

} // namespace

TEST(OVRenderingChoicesTest, TheAutomaticFrameRateTakesTheFullRateOnlyWhereTheGraphicsKeepUp)
{
    using Choices = OVRenderingChoices;
    Choices::FrameRateFacts facts;
    // One display: whatever renders with the GPU, or is not known to render without it.
    EXPECT_TRUE(Choices::automaticFrameRateUsesFullRate(facts));
    facts.operatorGPU.renderer = QStringLiteral("llvmpipe (LLVM 15.0.6, 256 bits)");
    EXPECT_FALSE(Choices::automaticFrameRateUsesFullRate(facts));

    // Two displays on one GPU model: a large video memory, or a high-density built-in panel.
    facts.separateTalentDisplay = true;
    facts.operatorGPU = {QStringLiteral("AMD Radeon RX 6600"), QStringLiteral("AMD"), QStringLiteral("4.6"),
                         8192};
    facts.talentGPU = facts.operatorGPU;
    EXPECT_TRUE(Choices::automaticFrameRateUsesFullRate(facts));
    facts.operatorGPU.videoMemoryMB = facts.talentGPU.videoMemoryMB = 256;
    EXPECT_FALSE(Choices::automaticFrameRateUsesFullRate(facts));
    facts.operatorScreenIsBuiltInHighDensity = true;
    EXPECT_TRUE(Choices::automaticFrameRateUsesFullRate(facts));
    facts.operatorScreenIsBuiltInHighDensity = false;
    // An integrated GPU with enough memory, except on the one model that stutters.
    facts.operatorGPU = {QStringLiteral("Mesa Intel(R) UHD Graphics 620"), QStringLiteral("Intel"),
                         QStringLiteral("4.6"), 400};
    facts.talentGPU = facts.operatorGPU;
    EXPECT_TRUE(Choices::automaticFrameRateUsesFullRate(facts));
    facts.hardwareModel = QStringLiteral("iMac11,3");
    EXPECT_FALSE(Choices::automaticFrameRateUsesFullRate(facts));
    facts.hardwareModel.clear();
    // Two GPU models: the same OpenGL vendor and version, or the half rate.
    facts.talentGPU.renderer = QStringLiteral("Mesa Intel(R) HD Graphics 530");
    EXPECT_TRUE(Choices::automaticFrameRateUsesFullRate(facts));
    facts.talentGPU.openGLVersion = QStringLiteral("3.3");
    EXPECT_FALSE(Choices::automaticFrameRateUsesFullRate(facts));
    // A software renderer on either display.
    facts.talentGPU = facts.operatorGPU;
    facts.talentGPU.renderer = QStringLiteral("softpipe");
    EXPECT_FALSE(Choices::automaticFrameRateUsesFullRate(facts));
}
