#include "TalentTestSupport.h"

#include "output/NSWindowOVAdditions.h"
#include "output/OVPromptModeNoticeView.h"
#include "output/OVPrompterWindow.h"
#include "output/OVTalentWindowController.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/View.h"
#include "platform/foundation/Clock.h"
#include "prompting/OVCore.h"
#include "prompting/OVPromptModeNoticeWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

// The program's mode, as the prompter windows ask it.
class PromptModeScope {
public:
    explicit PromptModeScope(bool prompt) : m_prompt(prompt)
    {
        OVPrompterWindow::setPromptModeQuery([this] { return m_prompt; });
    }
    ~PromptModeScope() { OVPrompterWindow::setPromptModeQuery({}); }
    void set(bool prompt) { m_prompt = prompt; }

private:
    bool m_prompt;
};

class ZoomDelegate final : public Responder, public OVPrompterWindowZoomDelegate {
public:
    Rect windowWillUseStandardFrame(Window&, const Rect& defaultFrame) override
    {
        asked = defaultFrame;
        return answer;
    }
    Rect answer;
    Rect asked;
};

struct PrompterWindowTest : ::testing::Test {
    ScopedScreens screens{{operatorScreen1440()}};
    PromptModeScope mode{true};
    OVPrompterWindow window{Rect{{100, 100}, {600, 400}}};
    int closes = 0;

    PrompterWindowTest()
    {
        window.setCloseHandler([this] { ++closes; });
        window.orderFront();
    }
    ~PrompterWindowTest() override { OVPromptModeNoticeWindow::removeAllOverlays(); }
};

Screen operator1440()
{
    return FakeScreenProvider::makeScreen(0, {{0, 0}, {1440, 900}});
}
Screen talent1440()
{
    return FakeScreenProvider::makeScreen(1, {{1440, 0}, {1440, 900}});
}

// The talent window in use on a second screen as large as the operator's.
struct TalentInUse {
    ScopedScreens screens{{operator1440(), talent1440()}};
    ScopedDefaults defaults;
    bool chosen = (defaults.setInteger(QStringLiteral("screenMode"), 1), true);
    OVCore core;
    OVTalentWindowController talent{core};
    PromptModeScope mode{false};
};

} // namespace

TEST_F(PrompterWindowTest, TitleBarCommandsAreIgnoredInPromptModeAndWorkInEditMode)
{
    window.performClose();
    window.performMiniaturize();
    window.performZoom();
    window.zoom();
    EXPECT_EQ(closes, 0);
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMiniaturized());
    EXPECT_EQ(window.frame(), Rect(100, 100, 600, 400));

    // The window manager acts first: its close is refused, its minimise and maximise put back.
    EXPECT_FALSE(window.hostWidget()->close());
    EXPECT_EQ(closes, 0);
    window.hostWidget()->showMinimized();
    EXPECT_FALSE(window.isMiniaturized());
    window.hostWidget()->showMaximized();
    QCoreApplication::processEvents();
    EXPECT_FALSE(window.hostWidget()->isMaximized());
    EXPECT_EQ(window.frame(), Rect(100, 100, 600, 400));

    mode.set(false);
    window.performZoom();
    EXPECT_EQ(window.frame(), operatorScreen1440().visibleFrame());
    window.zoom();
    EXPECT_EQ(window.frame(), Rect(100, 100, 600, 400));
    window.performMiniaturize();
    EXPECT_TRUE(window.isMiniaturized());
    window.deminiaturize();
    window.performClose();
    EXPECT_EQ(closes, 1);
}

TEST_F(PrompterWindowTest, TheMenusCloseMinimiseAndZoomReachTheWindowFirst)
{
    Responder controller;
    int closes = 0;
    controller.setActionHandler(QStringLiteral("performClose:"), [&closes](const QVariant&) { ++closes; });
    window.setWindowController(&controller);
    Application& application = Application::shared();
    application.setKeyWindow(&window);

    // While prompting the window takes them all and does nothing; the items show disabled.
    for (const char* action : {"performClose:", "performMiniaturize:", "performZoom:"}) {
        EXPECT_TRUE(application.sendAction(QString::fromLatin1(action), nullptr, QVariant()));
        EXPECT_FALSE(application.validateItem({QString::fromLatin1(action), 0, true})) << action;
    }
    EXPECT_EQ(closes, 0);
    EXPECT_EQ(window.frame(), Rect(100, 100, 600, 400));
    EXPECT_FALSE(window.isMiniaturized());

    // In Edit mode closing is the controller's, zooming and minimising the window's own.
    mode.set(false);
    EXPECT_EQ(application.targetForAction(QStringLiteral("performClose:")), &controller);
    application.sendAction(QStringLiteral("performClose:"), nullptr, QVariant());
    EXPECT_EQ(closes, 1);
    application.sendAction(QStringLiteral("performZoom:"), nullptr, QVariant());
    EXPECT_EQ(window.frame(), operatorScreen1440().visibleFrame());
    application.sendAction(QStringLiteral("performMiniaturize:"), nullptr, QVariant());
    EXPECT_TRUE(window.isMiniaturized());
    window.deminiaturize();
    application.setKeyWindow(nullptr);
    window.setWindowController(nullptr);
}

TEST_F(PrompterWindowTest, AWindowUnderANoticeTakesNoKeyStatusWhilePrompting)
{
    Window other(Rect{{700, 100}, {300, 200}});
    other.makeKeyAndOrderFront();
    ASSERT_NE(OVPromptModeNoticeWindow::addOverlayToWindow(&window), nullptr);
    EXPECT_TRUE(window.hasPromptModeNoticeWindow());
    EXPECT_FALSE(window.canBecomeKeyWindow());
    EXPECT_FALSE(window.canBecomeMainWindow());
    window.makeKeyAndOrderFront();
    window.makeMainWindow();
    EXPECT_EQ(Application::shared().keyWindow(), &other);
    EXPECT_NE(Application::shared().mainWindow(), &window);
    // Under the notice it may be minimised after all: a click on the notice does that.
    window.hostWidget()->showMinimized();
    EXPECT_TRUE(window.isMiniaturized());
    window.deminiaturize();

    OVPromptModeNoticeWindow::removeOverlaysFromWindow(&window);
    window.makeKeyAndOrderFront();
    EXPECT_EQ(Application::shared().keyWindow(), &window);
    Application::shared().setKeyWindow(nullptr);
    Application::shared().setMainWindow(nullptr);
}

TEST_F(PrompterWindowTest, ShortcutsDoNothingInAWindowShowingTheNotice)
{
    int prints = 0;
    Responder controller;
    controller.setActionHandler(QStringLiteral("printDocument:"), [&prints](const QVariant&) { ++prints; });
    window.setWindowController(&controller);
    Application::shared().setKeyWindow(&window);
    Menu main;
    MenuItem* file = main.addItemWithTitle(QStringLiteral("File"), {});
    file->setSubmenu(std::make_unique<Menu>());
    file->submenu()->addItemWithTitle(QStringLiteral("Print…"), QStringLiteral("printDocument:"),
                                      QStringLiteral("p"));
    Menu::setMainMenu(&main);
    const int token = Menu::installKeyEquivalentMonitor();
    Event press;
    press.type = Event::Type::KeyDown;
    press.characters = press.charactersIgnoringModifiers = QStringLiteral("p");
    press.modifierFlags = kCommandKeyMask;
    press.window = &window;

    OVPromptModeNoticeWindow::setContentViewMaker(
        [](const QString&) -> std::unique_ptr<View> { return OVPromptModeNoticeView::contentView(); });
    OVPromptModeNoticeWindow::addOverlayToWindow(&window);
    EXPECT_FALSE(Application::shared().runMonitors(press));
    EXPECT_EQ(prints, 0);
    OVPromptModeNoticeWindow::removeOverlaysFromWindow(&window);
    EXPECT_FALSE(Application::shared().runMonitors(press));
    EXPECT_EQ(prints, 1);

    Application::shared().removeMonitor(token);
    Menu::setMainMenu(nullptr);
    Application::shared().setKeyWindow(nullptr);
    window.setWindowController(nullptr);
    OVPromptModeNoticeWindow::setContentViewMaker({});
}

TEST_F(PrompterWindowTest, TheStandardFrameKeepsWithinSaneLimits)
{
    ZoomDelegate delegate;
    window.setDelegate(&delegate);
    delegate.answer = Rect{{-20000, 0}, {20000, 3000}};
    EXPECT_EQ(window.standardFrame(), Rect(-16000, 0, 10000, 3000));
    EXPECT_EQ(delegate.asked, operatorScreen1440().visibleFrame());

    window.setMinSize({400, 300});
    window.setMaxSize({800, 600});
    delegate.answer = Rect{{0, 0}, {1000, 200}};
    EXPECT_EQ(window.standardFrame(), Rect(0, 0, 800, 300));
    window.setDelegate(nullptr);

    // A window controller answers when the delegate does not; without either the screen decides.
    window.setWindowController(&delegate);
    EXPECT_EQ(window.standardFrame(), Rect(0, 0, 800, 300));
    window.setWindowController(nullptr);
    // Back to the limits every window starts with.
    window.setMinSize({});
    window.setMaxSize({1e7, 1e7});
    EXPECT_EQ(window.standardFrame(), operatorScreen1440().visibleFrame());
}

TEST_F(PrompterWindowTest, AnimationsAndTilingAreRecordedOnly)
{
    EXPECT_TRUE(window.enableWindowAnimations());
    EXPECT_EQ(window.windowAnimationInterval(&window), -1.0);
    window.setEnableWindowAnimations(false);
    EXPECT_EQ(window.windowAnimationInterval(&window), 0.0);
    Window other(Rect{{0, 0}, {10, 10}});
    EXPECT_EQ(window.windowAnimationInterval(&other), -1.0);
    EXPECT_EQ(window.collectionBehavior() & OVPrompterWindow::kFullScreenPrimary, 0u);
    EXPECT_TRUE(window.collectionBehavior() & OVPrompterWindow::kFullScreenAuxiliary);
    EXPECT_TRUE(window.collectionBehavior() & OVPrompterWindow::kFullScreenDisallowsTiling);
}

TEST(WindowPlacementTest, WindowsOnTheTalentScreenComeBackToTheOperatorScreen)
{
    TalentInUse output;
    ASSERT_TRUE(OVTalentWindowController::isTalentWindowUtilized());
    using namespace NSWindowOVAdditions;

    Window onOperator(Rect{{100, 100}, {400, 300}});
    EXPECT_EQ(moveWindowToOperatorScreenIfNecessary(onOperator, kNoAnimation), Rect(100, 100, 400, 300));
    EXPECT_EQ(onOperator.frame(), Rect(100, 100, 400, 300));

    Window halfOver(Rect{{2000, 100}, {800, 600}});
    EXPECT_EQ(moveWindowToOperatorScreenIfNecessary(halfOver, kNoAnimation), Rect(640, 100, 800, 600));
    EXPECT_EQ(halfOver.frame(), Rect(640, 100, 800, 600));

    // Wider than the operator screen: exactly its width, wholly on it.
    Window wide(Rect{{2000, 100}, {2000, 600}});
    moveWindowToOperatorScreenIfNecessary(wide, kNoAnimation);
    EXPECT_EQ(wide.frame(), Rect(0, 100, 1440, 600));

    // Only in Prompt mode, when asked so.
    Window talentSide(Rect{{2000, 100}, {400, 300}});
    EXPECT_EQ(moveWindowToOperatorScreenIfNecessary(talentSide, true, kNoAnimation),
              Rect(2000, 100, 400, 300));
    output.mode.set(true);
    EXPECT_EQ(moveWindowToOperatorScreenIfNecessary(talentSide, true, kNoAnimation),
              Rect(1040, 100, 400, 300));
}

TEST(WindowPlacementTest, AnimatedMovesEndAtTheSameFrame)
{
    ManualClock clock;
    Clock::setShared(&clock);
    {
        TalentInUse output;
        using namespace NSWindowOVAdditions;
        for (unsigned animation : {unsigned(kResizeAnimation), unsigned(kAnimatorAnimation)}) {
            Window window(Rect{{2000, 100}, {800, 600}});
            EXPECT_EQ(moveWindowToOperatorScreenIfNecessary(window, animation), Rect(640, 100, 800, 600));
            EXPECT_EQ(window.frame(), Rect(2000, 100, 800, 600));
            RunLoop::main().advanceManualClock(clock, kAnimatorAnimationDuration);
            EXPECT_EQ(window.frame(), Rect(640, 100, 800, 600));
        }
    }
    Clock::setShared(nullptr);
}

TEST(WindowPlacementTest, CentringOnTheOperatorScreen)
{
    TalentInUse output;
    Window window(Rect{{2000, 100}, {400, 200}});
    EXPECT_EQ(NSWindowOVAdditions::centerOnOperatorScreen(window), Rect(520, 525, 400, 200));
    // Already there, it is centred where it is.
    const Rect again = NSWindowOVAdditions::centerOnOperatorScreen(window);
    EXPECT_EQ(again.size, (Size{400, 200}));
    EXPECT_TRUE(operator1440().frame().contains(again));
}
