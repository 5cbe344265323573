#include "CoreTestSupport.h"

#include "platform/appkit/Alert.h"
#include "platform/appkit/SavePanel.h"
#include "prompting/OVApplication.h"

namespace {

class ApplicationTest : public CoreTest {
protected:
    void SetUp() override
    {
        CoreTest::SetUp();
        makeCore();
        application = std::make_unique<OVApplication>(core.get());
        Application::shared().setErrorPresenter([this](const Error& error) {
            alerts.push_back(error);
            return false;
        });
    }
    void TearDown() override
    {
        Application::shared().setErrorPresenter({});
        application.reset();
        CoreTest::TearDown();
    }

    std::unique_ptr<OVApplication> application;
    std::vector<Error> alerts;
};

TEST_F(ApplicationTest, AnswersThePromptingStateOfTheCore)
{
    EXPECT_TRUE(application->isModeEdit());
    EXPECT_FALSE(application->isModePrompt());
    EXPECT_TRUE(application->isStatusPaused());
    EXPECT_TRUE(application->isContentEditable());
    core->startPrompter();
    EXPECT_TRUE(application->isModePrompt());
    EXPECT_TRUE(application->isStatusStarted());
    EXPECT_FALSE(application->isModeChanging());
    EXPECT_FALSE(application->isStatusChanging());
    EXPECT_FALSE(application->isContentEditable());
    EXPECT_EQ(application->dualScreenStatus(), core->dualScreenStatus());
    EXPECT_EQ(application->overrideWindowFadeTime(), -1.0);
    application->setOverrideWindowFadeTime(0.25);
    EXPECT_EQ(application->windowAnimationInterval(nullptr, false), 0.25);
}

TEST_F(ApplicationTest, ErrorsDuringFullScreenPromptingWaitForEditMode)
{
    defaults().setBool(false, "useWindowedPrompting");
    core->enterPromptMode();
    LogCapture capture;
    const Error error = Error::cocoa(512);
    EXPECT_FALSE(Application::shared().presentError(error));
    EXPECT_FALSE(Application::shared().presentError(Error::userCancelled()));
    EXPECT_TRUE(capture.contains("Error occurred in Prompt mode full screen: "));
    EXPECT_TRUE(alerts.empty());
    EXPECT_EQ(application->suppressedErrors().size(), 1u);

    core->enterEditMode();
    // Shown once the mode change is over, not inside it.
    EXPECT_TRUE(alerts.empty());
    RunLoop::main().fireDueTimers();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts.front(), error);
    EXPECT_TRUE(application->suppressedErrors().empty());
    RunLoop::main().fireDueTimers();
    EXPECT_EQ(alerts.size(), 1u);
}

TEST_F(ApplicationTest, ErrorsInWindowedPromptModeAreShownAtOnce)
{
    core->enterPromptMode();
    Application::shared().presentError(Error::cocoa(256));
    EXPECT_EQ(alerts.size(), 1u);
}

TEST_F(ApplicationTest, ModalWindowsRiseAboveAFullScreenPrompter)
{
    Window panel(Rect{{100, 100}, {200, 100}});
    application->_patchWindowIfNeededForPromptModeFullScreen(&panel);
    EXPECT_EQ(panel.level(), Window::kNormalWindowLevel);

    defaults().setBool(false, "useWindowedPrompting");
    core->enterPromptMode();
    EXPECT_TRUE(application->_isPromptAndFullScreen());
    application->_patchWindowIfNeededForPromptModeFullScreen(&panel);
    EXPECT_GT(panel.level(), controller.window->level());
}

TEST_F(ApplicationTest, AModalSessionOverAFullScreenPrompterStartsOnTop)
{
    defaults().setBool(false, "useWindowedPrompting");
    core->enterPromptMode();
    Window panel(Rect{{100, 100}, {200, 100}});
    application->beginModalSessionForWindow(&panel);
    EXPECT_GT(panel.level(), controller.window->level());
    Application::shared().endModalSession(&panel);
}

class SheetPlacementTest : public ApplicationTest {
protected:
    SheetPlacementTest()
    {
        screens.provider.setScreens({FakeScreenProvider::makeScreen(0, Rect{{0, 0}, {1280, 800}}),
                                     FakeScreenProvider::makeScreen(1, Rect{{1280, 0}, {1920, 1080}})});
    }
};

TEST_F(SheetPlacementTest, AWindowOnTheTalentScreenComesToTheOperatorScreenForItsSheet)
{
    Window document(Rect{{1500, 200}, {400, 300}});
    document.orderFront();
    Window sheet(Rect{{0, 0}, {200, 100}});
    document.beginSheet(&sheet);
    ASSERT_TRUE(document.screen());
    EXPECT_EQ(document.screen()->displayID(), Screen::screens().front().displayID());
    document.endSheet(&sheet);

    // In Prompt mode the window stays where it is.
    core->enterPromptMode();
    document.setFrameOrigin(Point{1500, 200});
    document.beginSheet(&sheet);
    EXPECT_EQ(document.frame().origin, Point(1500, 200));
    document.endSheet(&sheet);
}

TEST_F(SheetPlacementTest, AnAlertOrSavePanelAsASheetBringsItsWindowToTheOperatorScreenToo)
{
    Window document(Rect{{1500, 200}, {400, 300}});
    document.orderFront();
    {
        AlertPresenterScope answer([](Alert&) { return Alert::kFirstButtonReturn; });
        Alert alert;
        alert.beginSheetModalForWindow(&document, {});
    }
    ASSERT_TRUE(document.screen());
    EXPECT_EQ(document.screen()->displayID(), Screen::screens().front().displayID());

    document.setFrameOrigin(Point{1500, 200});
    SavePanelAnswererScope answer([](SavePanel&) { return SavePanel::kModalResponseCancel; });
    SavePanel panel;
    panel.beginSheetModalForWindow(&document, {});
    EXPECT_EQ(document.screen()->displayID(), Screen::screens().front().displayID());
}

} // namespace
