#include "CoreTestSupport.h"

#include "platform/appkit/Event.h"
#include "prompting/NSApplicationOVAdditions.h"
#include "prompting/OVCorePromptModeWindows.h"
#include "prompting/OVEmbeddableWindow.h"
#include "prompting/OVEventInterpreter.h"
#include "prompting/OVPromptModeNoticeWindow.h"
#include "prompting/OVUnconstrainedWindow.h"

#include <QTest>
#include <QWidget>

namespace {

// Stands in for the output layer: plain borderless windows, and a record of what was asked.
class FakePromptModeWindows final : public OVCorePromptModeWindows {
public:
    std::unique_ptr<Window> makeBlockingWindow() override
    {
        ++made;
        return std::make_unique<Window>(Rect{{0, 0}, {1, 1}}, Window::Borderless);
    }
    void setEventInterpreter(Window&, OVEventInterpreter* interpreter) override
    {
        interpreters << interpreter;
    }
    Rect moveWindowToOperatorScreenIfNecessary(Window& window, bool requiringIsPromptMode,
                                               unsigned mode) override
    {
        moves << QStringLiteral("%1 %2").arg(requiringIsPromptMode).arg(mode);
        return window.frame();
    }
    int made = 0;
    QList<OVEventInterpreter*> interpreters;
    QStringList moves;
};

class InterpretingController final : public OVEventInterpreter {
public:
    bool interpretEvent(Event&, Window*) override { return true; }
};

class PromptModeWindowsTest : public CoreTest {
protected:
    void SetUp() override
    {
        CoreTest::SetUp();
        controller.window->orderFront();
    }
    void TearDown() override
    {
        OVPromptModeNoticeWindow::removeAllOverlays();
        CoreTest::TearDown();
    }
    void makeCoreWithWindows()
    {
        makeCore();
        core->setPromptModeWindows(&windows);
    }
    FakePromptModeWindows windows;
};

std::unique_ptr<Window> minimizedWindow(const Rect& frame)
{
    auto window = std::make_unique<Window>(frame);
    window->orderFront();
    window->miniaturize();
    return window;
}

} // namespace

TEST_F(PromptModeWindowsTest, TheForceFrameWinsOverEveryFrameSet)
{
    OVUnconstrainedWindow window(Rect{{0, 0}, {400, 300}});
    window.setForceFrame(Rect{{100, 100}, {800, 600}});
    EXPECT_EQ(window.frame(), Rect(100, 100, 800, 600));
    window.setFrame(Rect{{0, 0}, {400, 300}});
    window.setFrameOrigin({5, 5});
    EXPECT_EQ(window.frame(), Rect(100, 100, 800, 600));
    EXPECT_EQ(window.constrainFrameRect(Rect{{0, 0}, {10, 10}}, Screen::mainScreen()),
              Rect(100, 100, 800, 600));
    // Unset, frames apply again.
    window.setForceFrame(Rect());
    window.setFrame(Rect{{0, 0}, {400, 300}});
    EXPECT_EQ(window.frame(), Rect(0, 0, 400, 300));
}

TEST_F(PromptModeWindowsTest, AnAlwaysUnconstrainedWindowIsPlacedWhereAsked)
{
    OVUnconstrainedWindow window(Rect{{100, 100}, {400, 300}});
    const Rect overTheTop{{0, 100}, {1280, 800}};
    // A titled window reaching the top of the screen is one the window manager would move down.
    EXPECT_NE(window.constrainFrameRect(overTheTop, Screen::mainScreen()), overTheTop);
    window.setAlwaysUnconstrained(true);
    EXPECT_EQ(window.constrainFrameRect(overTheTop, Screen::mainScreen()), overTheTop);
    window.setFrame(overTheTop);
    EXPECT_EQ(window.frame(), overTheTop);
    EXPECT_TRUE(window.hostWidget()->windowFlags() & Qt::FramelessWindowHint);
    // Back where its title bar fits, or constrained again, it is decorated again.
    window.setFrame(Rect{{100, 100}, {400, 300}});
    EXPECT_FALSE(window.hostWidget()->windowFlags() & Qt::FramelessWindowHint);
    window.setFrame(overTheTop);
    window.setAlwaysUnconstrained(false);
    EXPECT_FALSE(window.hostWidget()->windowFlags() & Qt::FramelessWindowHint);
}

TEST_F(PromptModeWindowsTest, AnEmbeddableWindowNeverBecomesKeyOrMain)
{
    Application::shared().setKeyWindow(controller.window.get());
    OVEmbeddableWindow embedded(Rect{{100, 100}, {200, 100}});
    embedded.makeKeyAndOrderFront();
    embedded.makeMainWindow();
    EXPECT_TRUE(embedded.isVisible());
    EXPECT_EQ(Application::shared().keyWindow(), controller.window.get());
    EXPECT_NE(Application::shared().mainWindow(), &embedded);
    EXPECT_TRUE(embedded.hostWidget()->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_FALSE(embedded.isKeyWindow());
    OVEmbeddableWindow::toggleIsKeyWindowImplementation();
    EXPECT_TRUE(embedded.isKeyWindow());
    OVEmbeddableWindow::toggleIsKeyWindowImplementation();
    EXPECT_FALSE(embedded.isKeyWindow());

    EXPECT_EQ(embedded.windowAnimationInterval(&embedded), -1.0);
    embedded.setEnableWindowAnimations(false);
    EXPECT_EQ(embedded.windowAnimationInterval(&embedded), 0.0);
    EXPECT_EQ(embedded.windowAnimationInterval(controller.window.get()), -1.0);
}

TEST_F(PromptModeWindowsTest, WindowsNeverShownComeFirstThenTheVisibleOnesFromBackToFront)
{
    Window back(Rect{{0, 0}, {100, 100}});
    back.orderFront();
    Window neverShown(Rect{{0, 0}, {100, 100}});
    Window front(Rect{{0, 0}, {100, 100}});
    front.orderFront();
    Window orderedOut(Rect{{0, 0}, {100, 100}});
    orderedOut.orderFront();
    orderedOut.orderOut();

    std::vector<Window*> order = betterOrderedWindows();
    auto position = [&order](const Window* window) {
        return std::find(order.begin(), order.end(), window) - order.begin();
    };
    EXPECT_LT(position(&neverShown), position(&back));
    EXPECT_LT(position(&orderedOut), position(&back));
    EXPECT_LT(position(&neverShown), position(&orderedOut));
    EXPECT_LT(position(&back), position(&front));
    EXPECT_EQ(order.back(), &front);
    EXPECT_EQ(order.size(), Application::shared().windows().size());
    // Raising a window moves it to the end.
    back.orderFront();
    order = betterOrderedWindows();
    EXPECT_EQ(order.back(), &back);
}

TEST_F(PromptModeWindowsTest, AWindowGetsOneOverlayAndTheSecondRequestIsLogged)
{
    Window window(Rect{{100, 100}, {500, 400}});
    window.orderFront();
    window.setAnimationBehavior(5);
    OVPromptModeNoticeWindow* overlay = OVPromptModeNoticeWindow::addOverlayToWindow(&window);
    ASSERT_NE(overlay, nullptr);
    EXPECT_EQ(overlay->frame(), window.frame());
    EXPECT_TRUE(overlay->isVisible());
    EXPECT_EQ(overlay->parentWindow(), &window);
    EXPECT_EQ(overlay->parentWindowAnimationBehavior(), 5);
    EXPECT_EQ(window.animationBehavior(), 2);
    EXPECT_FALSE(overlay->canBecomeKeyWindow());
    EXPECT_FALSE(overlay->isOpaque());

    LogCapture log;
    EXPECT_EQ(OVPromptModeNoticeWindow::addOverlayToWindow(&window), nullptr);
    EXPECT_EQ(log.lines, QStringList({"Overlay already exists in window.  Doing nothing.  Fix this."}));
    EXPECT_EQ(window.childWindows().size(), 1u);

    // It follows the window's size and place.
    window.setFrame(Rect{{150, 120}, {600, 300}});
    EXPECT_EQ(overlay->frame(), window.frame());

    OVPromptModeNoticeWindow::removeOverlaysFromWindow(&window);
    EXPECT_TRUE(window.childWindows().empty());
    EXPECT_FALSE(overlay->isVisible());
    EXPECT_EQ(window.animationBehavior(), 5);
    EXPECT_EQ(OVPromptModeNoticeWindow::overlayOfWindow(&window), nullptr);
}

TEST_F(PromptModeWindowsTest, OverlaysAreMadeOnceAndReused)
{
    Window first(Rect{{100, 100}, {300, 200}});
    Window second(Rect{{500, 100}, {300, 200}});
    first.orderFront();
    second.orderFront();
    OVPromptModeNoticeWindow::addOverlayToWindow(&first);
    OVPromptModeNoticeWindow::addOverlayToWindow(&second);
    const int made = OVPromptModeNoticeWindow::overlayWindowCount();
    OVPromptModeNoticeWindow::removeAllOverlays();
    EXPECT_TRUE(first.childWindows().empty());
    EXPECT_TRUE(second.childWindows().empty());
    OVPromptModeNoticeWindow::addOverlayToWindow(&second);
    OVPromptModeNoticeWindow::addOverlayToWindow(&first);
    EXPECT_EQ(OVPromptModeNoticeWindow::overlayWindowCount(), made);
    EXPECT_EQ(OVPromptModeNoticeWindow::overlayOfWindow(&first)->frame(), first.frame());
}

TEST_F(PromptModeWindowsTest, AClickOnAnOverlayMinimisesItsWindowWhichShowsTheOverlayOnceRestored)
{
    Window window(Rect{{100, 100}, {500, 400}});
    window.orderFront();
    OVPromptModeNoticeWindow* overlay = OVPromptModeNoticeWindow::addOverlayToWindow(&window);
    QTest::mouseClick(overlay->hostWidget(), Qt::LeftButton, {}, QPoint(50, 50));
    EXPECT_TRUE(window.isMiniaturized());
    EXPECT_FALSE(overlay->isVisible());
    window.deminiaturize();
    EXPECT_FALSE(window.isMiniaturized());
    EXPECT_TRUE(overlay->isVisible());
    EXPECT_EQ(overlay->frame(), window.frame());

    // With a target and actions, the click performs the action instead.
    Responder target;
    int performed = 0;
    target.setActionHandler(QStringLiteral("showHelp:"), [&performed](const QVariant&) { ++performed; });
    overlay->setTarget(&target);
    overlay->setSingleClickAction(QStringLiteral("showHelp:"));
    overlay->setDoubleClickAction(QStringLiteral("unknown:"));
    // Later than a double click's interval after the first click.
    clockScope.clock.advance(5);
    QTest::mouseClick(overlay->hostWidget(), Qt::LeftButton, {}, QPoint(50, 50));
    EXPECT_EQ(performed, 1);
    EXPECT_FALSE(window.isMiniaturized());
    Event doubleClick;
    doubleClick.type = Event::Type::LeftMouseUp;
    doubleClick.clickCount = 2;
    LogCapture log;
    overlay->mouseUp(doubleClick);
    EXPECT_TRUE(log.contains("does not accept selector unknown:.  Fix this."));
}

TEST_F(PromptModeWindowsTest, AMinimisedWindowGetsItsOverlayHidden)
{
    auto window = minimizedWindow(Rect{{100, 100}, {500, 400}});
    OVPromptModeNoticeWindow* overlay = OVPromptModeNoticeWindow::addOverlayToWindow(window.get());
    ASSERT_NE(overlay, nullptr);
    EXPECT_FALSE(overlay->isVisible());
    window->deminiaturize();
    EXPECT_TRUE(overlay->isVisible());
}

TEST_F(PromptModeWindowsTest, FullScreenPromptingCoversTheOperatorScreenUntilEditMode)
{
    defaults().setBool(false, "useWindowedPrompting");
    makeCoreWithWindows();
    core->enterPromptMode();
    Window* blocking = core->blockingWindow();
    ASSERT_NE(blocking, nullptr);
    EXPECT_TRUE(blocking->isVisible());
    EXPECT_EQ(blocking->frame(), Rect(0, 0, 1280, 800));
    EXPECT_EQ(blocking->parentWindow(), controller.window.get());
    EXPECT_EQ(blocking->level(), controller.window->level());
    // Below the controller window in the application's order.
    const std::vector<Window*> order = Application::shared().orderedWindows();
    EXPECT_LT(std::find(order.begin(), order.end(), controller.window.get()),
              std::find(order.begin(), order.end(), blocking));
    // No window manager draws a title bar here, so there is none to cover.
    EXPECT_EQ(core->titleBarBlockingWindow(), nullptr);
    EXPECT_EQ(windows.moves, QStringList({"1 0"}));
    EXPECT_EQ(windows.interpreters, QList<OVEventInterpreter*>({nullptr}));

    core->enterEditMode();
    EXPECT_FALSE(blocking->isVisible());
    EXPECT_EQ(blocking->parentWindow(), nullptr);
    EXPECT_TRUE(controller.window->childWindows().empty());

    // The next time the same window is used.
    core->enterPromptMode();
    EXPECT_EQ(core->blockingWindow(), blocking);
    EXPECT_TRUE(blocking->isVisible());
    core->enterEditMode();
    EXPECT_EQ(windows.made, 1);
}

TEST_F(PromptModeWindowsTest, WindowedPromptingCoversNothing)
{
    makeCoreWithWindows();
    core->enterPromptMode();
    EXPECT_EQ(core->blockingWindow(), nullptr);
    EXPECT_EQ(windows.made, 0);
    core->enterEditMode();
}

TEST_F(PromptModeWindowsTest, BlockingWindowEventsGoToAControllerThatInterpretsThem)
{
    defaults().setBool(false, "useWindowedPrompting");
    defaults().setBool(true, "useBlockingWindowEvents");
    makeCoreWithWindows();
    core->enterPromptMode();
    // The stand-in controller interprets nothing.
    EXPECT_EQ(windows.interpreters, QList<OVEventInterpreter*>({nullptr}));
    core->enterEditMode();
}

TEST_F(PromptModeWindowsTest, FullScreenPromptingPlacesTheWindowUndecorated)
{
    auto window = std::make_unique<OVUnconstrainedWindow>(controller.window->frame());
    window->setContentView(controller.window->takeContentView());
    controller.window = std::move(window);
    controller.window->orderFront();
    defaults().setBool(false, "useWindowedPrompting");
    makeCoreWithWindows();
    auto* unconstrained = static_cast<OVUnconstrainedWindow*>(controller.window.get());
    core->enterPromptMode();
    EXPECT_TRUE(unconstrained->isAlwaysUnconstrained());
    EXPECT_EQ(unconstrained->frame(), Rect(0, 0, 1280, 800));
    core->enterEditMode();
    EXPECT_FALSE(unconstrained->isAlwaysUnconstrained());
    EXPECT_FALSE(unconstrained->hostWidget()->windowFlags() & Qt::FramelessWindowHint);
}

TEST_F(PromptModeWindowsTest, MinimisedDocumentsCarryTheNoticeWhilePrompting)
{
    std::vector<std::unique_ptr<Window>> others;
    for (int i = 0; i < 3; ++i)
        others.push_back(minimizedWindow(Rect{{100.0 + 50 * i, 100}, {300, 200}}));
    makeCoreWithWindows();
    core->enterPromptMode();
    for (const auto& other : others) {
        OVPromptModeNoticeWindow* overlay = OVPromptModeNoticeWindow::overlayOfWindow(other.get());
        ASSERT_NE(overlay, nullptr);
        EXPECT_FALSE(overlay->isVisible());
        EXPECT_TRUE(other->isMiniaturized());
    }
    // A notice is never hidden as a window of its own, nor given one.
    EXPECT_EQ(core->hiddenWindows().size(), 3u);
    core->enterEditMode();
    for (const auto& other : others) {
        EXPECT_EQ(OVPromptModeNoticeWindow::overlayOfWindow(other.get()), nullptr);
        EXPECT_TRUE(other->isMiniaturized());
    }
}
