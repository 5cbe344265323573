#include "CoreTestSupport.h"

#include "platform/appkit/ApplicationIcon.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/NamedImages.h"
#include "platform/hvkit/HVEventBlocker.h"
#include "prompting/OVCoreTalentOutput.h"
#include "prompting/OVCoreWindowOptimizer.h"
#include "prompting/OVWindowBehavior.h"

#include <QIcon>
#include <QPixmap>

namespace {

class ExemptWindow final : public Window, public OVWindowBehavior {
public:
    using Window::Window;
    bool exemptWindowFromFadingDuringModeChange() const override { return true; }
};

class RecordingOptimizer final : public Responder, public OVCoreWindowOptimizer {
public:
    void enableActivity(bool enable, Window*) override { calls << enable; }
    QList<bool> calls;
};

class ModeChangeTest : public CoreTest {
protected:
    void SetUp() override
    {
        CoreTest::SetUp();
        controller.window->orderFront();
    }
    void recordSteps()
    {
        core->setModeChangeStepObserver([this](const QString& step) {
            steps << step;
            blockedDuring << core->areEventsBlocked();
        });
    }
    static std::unique_ptr<Window> shownWindow(const Rect& frame)
    {
        auto window = std::make_unique<Window>(frame);
        window->orderFront();
        return window;
    }

    QStringList steps;
    QList<bool> blockedDuring;
};

TEST_F(ModeChangeTest, StepsRunInReverseIntoPromptModeAndForwardsOutOfIt)
{
    makeCore();
    recordSteps();
    core->enterPromptMode();
    EXPECT_EQ(steps, QStringList({"_startSetup", "_modePersistentChanges", "_windowFade", "_scrollBarAdjust",
                                  "_windowResize", "_embedWindow", "_finishSetup"}));
    steps.clear();
    core->enterEditMode();
    EXPECT_EQ(steps, QStringList({"_startSetup", "_embedWindow", "_windowResize", "_scrollBarAdjust",
                                  "_windowFade", "_modePersistentChanges", "_finishSetup"}));
}

TEST_F(ModeChangeTest, EventsAreBlockedBetweenTheFirstAndTheLastStep)
{
    makeCore();
    recordSteps();
    core->enterPromptMode();
    EXPECT_EQ(blockedDuring, QList<bool>({false, true, true, true, true, true, true}));
    EXPECT_FALSE(HVEventBlocker::sharedBlocker().isAppBlocked());
    EXPECT_FALSE(core->areEventsBlocked());
}

TEST_F(ModeChangeTest, AFailingStepStillUnblocksEventsAndEndsTheModeChange)
{
    makeCore();
    controller.prompter->throwOnSetupTextView = true;
    LogCapture capture;
    core->enterPromptMode();
    EXPECT_FALSE(core->areEventsBlocked());
    EXPECT_FALSE(HVEventBlocker::sharedBlocker().isAppBlocked());
    EXPECT_FALSE(core->isModeChanging());
    EXPECT_EQ(core->willBecomeMode(), OVCore::kNoChange);
    EXPECT_TRUE(capture.contains("text view refused"));

    controller.prompter->throwOnSetupTextView = false;
    core->enterEditMode();
    EXPECT_TRUE(core->isModeEdit());
    EXPECT_FALSE(core->areEventsBlocked());
}

TEST_F(ModeChangeTest, OtherWindowsAreHiddenForPromptModeAndComeBackAfterwards)
{
    auto other = shownWindow(Rect{{500, 100}, {300, 200}});
    auto exempt = std::make_unique<ExemptWindow>(Rect{{600, 100}, {300, 200}});
    exempt->orderFront();
    auto minimized = shownWindow(Rect{{700, 100}, {300, 200}});
    minimized->miniaturize();
    auto closedLater = shownWindow(Rect{{800, 100}, {300, 200}});
    RecordingOptimizer optimizer;
    other->setWindowController(&optimizer);
    auto child = std::make_unique<Window>(Rect{{120, 120}, {50, 50}});
    controller.window->addChildWindow(child.get());
    child->orderFront();

    makeCore();
    core->enterPromptMode();
    EXPECT_FALSE(other->isVisible());
    EXPECT_TRUE(exempt->isVisible());
    EXPECT_TRUE(minimized->isMiniaturized());
    EXPECT_TRUE(child->isVisible());
    EXPECT_TRUE(controller.window->isVisible());
    EXPECT_EQ(core->hiddenWindows().size(), 3u);
    EXPECT_EQ(optimizer.calls, QList<bool>({false}));

    closedLater.reset();
    core->enterEditMode();
    EXPECT_TRUE(other->isVisible());
    EXPECT_TRUE(minimized->isMiniaturized());
    EXPECT_EQ(optimizer.calls, QList<bool>({false, true}));
    EXPECT_TRUE(core->hiddenWindows().empty());
    other->setWindowController(nullptr);
    controller.window->removeChildWindow(child.get());
}

TEST_F(ModeChangeTest, SheetsOfOtherWindowsAreEndedAsACancel)
{
    auto other = shownWindow(Rect{{500, 100}, {300, 200}});
    auto sheet = std::make_unique<Window>(Rect{{0, 0}, {200, 100}});
    QList<int> answers;
    other->beginSheet(sheet.get(), [&](int code) { answers << code; });
    makeCore();
    core->enterPromptMode();
    EXPECT_EQ(answers, QList<int>({0}));
    EXPECT_EQ(other->attachedSheet(), nullptr);
}

TEST_F(ModeChangeTest, LeavingPromptModeAlwaysLeavesThePrompterPausedHard)
{
    makeCore();
    core->startPrompter();
    core->enterEditMode();
    EXPECT_TRUE(core->isStatusPausedHard());
    core->startPrompter();
    core->pausePrompter();
    ASSERT_EQ(core->status(), OVCore::kStatusPaused);
    core->enterEditMode();
    EXPECT_TRUE(core->isStatusPausedHard());
}

TEST_F(ModeChangeTest, TheDefaultSpeedOnLeavingDoesNotStartThePrompter)
{
    defaults().setBool(true, "setDefaultSpeedExitingPromptMode");
    makeCore();
    controller.setSpeed(7);
    core->startPrompter();
    core->enterEditMode();
    EXPECT_EQ(controller.speed(), 3.0);
    EXPECT_TRUE(core->isStatusPausedHard());
    EXPECT_EQ(toggleStatusActions, 0);
}

TEST_F(ModeChangeTest, TimersInputAndEditingSwapWithTheMode)
{
    makeCore();
    QList<bool> autosaving;
    core->setAutosavingHandler([&](bool enabled) { autosaving << enabled; });
    core->enterPromptMode();
    EXPECT_FALSE(core->hasTimeTimer());
    EXPECT_EQ(core->prompterTimerType(), 0);
    EXPECT_TRUE(input.running);
    EXPECT_FALSE(core->isContentEditable());
    EXPECT_TRUE(controller.prompter->animation);
    // Scrollers keep flashing, the text is padded and scrolls, and nothing but the text is drawn.
    EXPECT_EQ(controller.prompter->overlayBehavior, 2u);
    EXPECT_TRUE(controller.prompter->padding);
    EXPECT_FALSE(controller.prompter->preventsScrolling);
    EXPECT_FALSE(controller.prompter->options.continuousSpellChecking);
    EXPECT_FALSE(controller.prompter->options.drawsMarkedText);
    EXPECT_FALSE(controller.prompter->options.findBarVisible);
    EXPECT_EQ(controller.window->collectionBehavior(), 0x1150u);
    EXPECT_FALSE(controller.window->styleMask() & Window::Resizable);
    EXPECT_FALSE(controller.window->styleMask() & Window::Closable);

    core->enterEditMode();
    EXPECT_TRUE(core->hasTimeTimer());
    EXPECT_EQ(core->prompterTimerType(), -1);
    EXPECT_FALSE(input.running);
    EXPECT_TRUE(core->isContentEditable());
    EXPECT_EQ(controller.prompter->overlayBehavior, 0u);
    EXPECT_FALSE(controller.prompter->padding);
    EXPECT_TRUE(controller.prompter->options.continuousSpellChecking);
    EXPECT_TRUE(controller.prompter->options.drawsMarkedText);
    EXPECT_TRUE(controller.prompter->options.findBarVisible);
    EXPECT_EQ(controller.window->collectionBehavior(), 0u);
    EXPECT_EQ(controller.window->styleMask(), Window::kStandardStyle);
    EXPECT_EQ(autosaving, QList<bool>({false, true}));
}

TEST_F(ModeChangeTest, PromptModeAppearanceComesFromTheSettingsAndIsRestored)
{
    defaults().setBool(true, "useFocusArrow");
    defaults().setBool(true, "useTimeBar");
    makeCore();
    core->enterPromptMode();
    EXPECT_TRUE(controller.prompter->focusArrow);
    EXPECT_TRUE(controller.prompter->timeBar);
    core->enterEditMode();
    EXPECT_FALSE(controller.prompter->focusArrow);
    EXPECT_FALSE(controller.prompter->timeBar);
}

TEST_F(ModeChangeTest, FullScreenPromptingCoversTheOperatorScreenAndGivesTheWindowBack)
{
    defaults().setBool(false, "useWindowedPrompting");
    makeCore();
    const Rect editFrame = controller.window->frame();
    core->enterPromptMode();
    EXPECT_EQ(controller.window->frame(), Rect({0, 0}, {1280, 800}));
    EXPECT_GT(controller.window->level(), Window::kNormalWindowLevel);
    EXPECT_FALSE(controller.window->isMovable());
    core->enterEditMode();
    EXPECT_EQ(controller.window->frame(), editFrame);
    EXPECT_EQ(controller.window->level(), Window::kNormalWindowLevel);
    EXPECT_TRUE(controller.window->isMovable());
}

TEST_F(ModeChangeTest, LeavingFullScreenPromptingWithOptionTakesTheWholeScreen)
{
    defaults().setBool(false, "useWindowedPrompting");
    makeCore();
    core->enterPromptMode();
    modifierFlags = kOptionKeyMask;
    core->enterEditMode();
    EXPECT_EQ(controller.window->frame(), Rect({0, 0}, {1280, 800}));
}

TEST_F(ModeChangeTest, TheUpdatersWindowsCloseForPromptMode)
{
    int closes = 0;
    delegate.setActionHandler("closeAndCancelSparkleWindows", [&](const QVariant&) { ++closes; });
    makeCore();
    core->enterPromptMode();
    EXPECT_EQ(closes, 1);
    core->enterEditMode();
    EXPECT_EQ(closes, 1);
}

TEST_F(ModeChangeTest, ARoundTripIsCounted)
{
    makeCore();
    core->enterPromptMode();
    core->enterEditMode();
    HVAnalytics& analytics = HVAppServices::shared().analytics();
    EXPECT_EQ(analytics.integerForKeyPath("promptMode.largestPromptedDocumentCharacterCount"), 1234);
    EXPECT_EQ(analytics.integerForKeyPath("modeChanges"), 2);
    EXPECT_EQ(analytics.integerForKeyPath("promptMode.sessions.singleScreen"), 1);
    EXPECT_TRUE(analytics.persistsChanges());
}

TEST_F(ModeChangeTest, ASecondDisplayWithoutTheTalentOutputCountsAsOneScreen)
{
    screens.provider.setScreens({FakeScreenProvider::makeScreen(0, Rect{{0, 0}, {1280, 800}}),
                                 FakeScreenProvider::makeScreen(1, Rect{{1280, 0}, {1920, 1080}})});
    makeCore();
    core->enterPromptMode();
    core->enterEditMode();
    HVAnalytics& analytics = HVAppServices::shared().analytics();
    EXPECT_EQ(analytics.integerForKeyPath("promptMode.sessions.singleScreen"), 1);
    EXPECT_EQ(analytics.integerForKeyPath("promptMode.sessions.dualScreen"), 0);
}

TEST_F(ModeChangeTest, TheTalentIgnoresFrontDocumentChangesWhilePrompting)
{
    class Talent final : public OVCoreTalentOutput {
    public:
        bool isTalentWindowInUse() const override { return false; }
        OVCorePrompterView* talentPrompterView() const override { return nullptr; }
        void beginDocumentWatching() override { ++watching; }
        void endDocumentWatching() override { --watching; }
        int watching = 0;
    } talent;
    makeCore();
    core->setTalentWindowController(&talent);
    core->enterPromptMode();
    EXPECT_EQ(talent.watching, -1);
    core->enterEditMode();
    EXPECT_EQ(talent.watching, 0);
    // Let go of while prompting, it watches again.
    core->enterPromptMode();
    core->setTalentWindowController(nullptr);
    EXPECT_EQ(talent.watching, 0);
    core->enterEditMode();
    EXPECT_EQ(talent.watching, 0);
}

// Prompt mode shows the application's icon with the recording light in its lower right corner,
// 0.29 of the icon wide and high and a little see-through, at each size the icon has; Edit mode the
// plain icon. Each size is badged once.
TEST_F(ModeChangeTest, PromptModeShowsTheRecordingLightOnTheApplicationIcon)
{
    QIcon plain;
    for (const int size : {128, 48}) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::blue);
        plain.addPixmap(QPixmap::fromImage(image));
    }
    ApplicationIcon::setDefaultIcon(plain);
    QImage light(64, 64, QImage::Format_ARGB32_Premultiplied);
    light.fill(Qt::red);
    NamedImages::registerImage(OVCore::kApplicationIconBadgeImageName, light);
    makeCore();
    EXPECT_TRUE(ApplicationIcon::showsDefault());

    core->enterPromptMode();
    EXPECT_FALSE(ApplicationIcon::showsDefault());
    const QPixmap badged = ApplicationIcon::icon().pixmap(QSize(128, 128), 1.0);
    for (const auto& [size, side] : {std::pair{128, 37}, std::pair{48, 14}}) {
        const QImage shown = ApplicationIcon::icon().pixmap(QSize(size, size), 1.0).toImage();
        ASSERT_EQ(shown.size(), QSize(size, size));
        const QColor corner = shown.pixelColor(size - 1, size - 1);
        EXPECT_NEAR(corner.red(), 230, 2) << size;
        EXPECT_NEAR(corner.blue(), 25, 2) << size;
        EXPECT_EQ(shown.pixelColor(size - side, size - side), corner) << size;
        EXPECT_EQ(shown.pixelColor(size - side - 1, size - side - 1), QColor(Qt::blue)) << size;
        EXPECT_EQ(shown.pixelColor(size - 1, size - side - 1), QColor(Qt::blue)) << size;
    }

    core->enterEditMode();
    EXPECT_TRUE(ApplicationIcon::showsDefault());
    EXPECT_EQ(ApplicationIcon::icon().pixmap(QSize(128, 128), 1.0).toImage().pixelColor(127, 127), QColor(Qt::blue));
    core->enterPromptMode();
    EXPECT_EQ(ApplicationIcon::icon().pixmap(QSize(128, 128), 1.0).cacheKey(), badged.cacheKey());
    core->enterEditMode();

    NamedImages::registerImage(OVCore::kApplicationIconBadgeImageName, {});
    ApplicationIcon::setDefaultIcon({});
}

class ContentAdjustmentTest : public ModeChangeTest {
protected:
    void SetUp() override
    {
        ModeChangeTest::SetUp();
        defaults().setBool(true, "enableTalentContentAdjustments");
        defaults().setDouble(1.5, "contentTextMagnificationFactor");
        defaults().setBool(true, "contentInvertTextAndBackgroundColor");
        makeCore();
    }
};

TEST_F(ContentAdjustmentTest, LeavingUndoesExactlyWhatEnteringAppliedWhateverTheSettingsSayByThen)
{
    core->enterPromptMode();
    EXPECT_DOUBLE_EQ(controller.prompter->textScale, 1.5);
    EXPECT_TRUE(controller.prompter->inverted);
    defaults().setDouble(2.0, "contentTextMagnificationFactor");
    defaults().setBool(false, "contentInvertTextAndBackgroundColor");
    core->enterEditMode();
    EXPECT_DOUBLE_EQ(controller.prompter->textScale, 1.0);
    EXPECT_FALSE(controller.prompter->inverted);

    defaults().setBool(false, "enableTalentContentAdjustments");
    defaults().setBool(true, "contentInvertTextAndBackgroundColor");
    core->enterPromptMode();
    EXPECT_TRUE(core->appliedContentAdjustments().isEmpty());
    defaults().setBool(true, "enableTalentContentAdjustments");
    core->enterEditMode();
    EXPECT_DOUBLE_EQ(controller.prompter->textScale, 1.0);
    EXPECT_FALSE(controller.prompter->inverted);
}

TEST_F(ContentAdjustmentTest, ASaveDuringPromptModeSeesTheTextAsWritten)
{
    core->enterPromptMode();
    double savedScale = 0;
    bool savedInverted = true;
    core->withContentAdjustmentsUndone([&] {
        savedScale = controller.prompter->textScale;
        savedInverted = controller.prompter->inverted;
    });
    EXPECT_DOUBLE_EQ(savedScale, 1.0);
    EXPECT_FALSE(savedInverted);
    EXPECT_DOUBLE_EQ(controller.prompter->textScale, 1.5);
    EXPECT_TRUE(controller.prompter->inverted);
    core->enterEditMode();
    EXPECT_DOUBLE_EQ(controller.prompter->textScale, 1.0);
}

TEST_F(ContentAdjustmentTest, AFactorCloseToOneIsLeftAlone)
{
    defaults().setDouble(1.005, "contentTextMagnificationFactor");
    core->enterPromptMode();
    EXPECT_DOUBLE_EQ(controller.prompter->textScale, 1.0);
    core->enterEditMode();
    EXPECT_DOUBLE_EQ(controller.prompter->textScale, 1.0);
}

} // namespace
