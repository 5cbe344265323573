// The mode change's own part, with a window and no core: the queue runs its steps in the order each
// way asks, and the window's Edit-mode frame and limits survive a trip through Prompt mode.
#include "prompting/OVModeChange.h"

#include "platform/appkit/Window.h"
#include "tests/platform/appkit/TestSupport.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace {

TEST(OVModeChangeTest, TheQueueRunsBackwardsIntoPromptModeWithFirstAndLastInPlace)
{
    QStringList ran;
    const auto step = [&](const char* name) {
        return OVModeChange::Step{QString::fromLatin1(name),
                                  [&ran, name] { ran << QString::fromLatin1(name); }};
    };
    OVModeChange change;
    change.buildQueue(&change, {step("first"), step("a"), step("b"), step("last")});
    change.runIntoPromptMode();
    EXPECT_EQ(ran, (QStringList{"first", "b", "a", "last"}));
    ran.clear();
    change.runIntoEditMode();
    EXPECT_EQ(ran, (QStringList{"first", "a", "b", "last"}));
    EXPECT_FALSE(change.isExecuting());
}

TEST(OVModeChangeTest, PromptModeFixesTheWindowAndEditModeGivesBackItsFrameAndLimits)
{
    ManualClockScope clock;
    const Rect editFrame{{100, 100}, {400, 300}};
    Window window(editFrame);
    window.setMinSize({200, 150});
    const unsigned style = window.styleMask();

    OVModeChange change;
    OVModeChange::WindowConfiguration configuration;
    configuration.frame = editFrame;
    change.setWindowConfiguration(configuration);
    change.resizeWindowForPrompt(&window, nullptr);
    EXPECT_EQ(window.minSize(), editFrame.size);
    EXPECT_EQ(window.maxSize(), editFrame.size);
    EXPECT_FALSE(window.styleMask() & Window::Resizable);

    window.setFrame(Rect{{0, 0}, {800, 600}}, false);
    change.resizeWindowForEdit(&window, nullptr, false);
    EXPECT_EQ(window.frame(), editFrame);
    EXPECT_EQ(window.minSize(), (Size{200, 150}));
    EXPECT_EQ(window.styleMask(), style);
}

TEST(OVModeChangeTest, AWindowedPrompterOfTheRightSizeStaysWhereTheUserPutIt)
{
    ManualClockScope clock;
    const Rect operatorFrame{{0, 0}, {1440, 900}};
    FakeScreensScope screens({Screen(1, QStringLiteral("operator"), operatorFrame, operatorFrame),
                              Screen(2, QStringLiteral("talent"), {{1440, 0}, {1920, 1080}}, {{1440, 0}, {1920, 1080}})});
    const Rect placed{{100, 100}, {400, 300}};
    OVModeChange::WindowConfiguration configuration;
    configuration.operatorScreenFrame = operatorFrame;
    configuration.frame = {{520, 300}, {400, 300}};
    const auto enter = [&](const Rect& from) {
        Window window(from);
        OVModeChange change;
        change.setWindowConfiguration(configuration);
        change.resizeWindowForPrompt(&window, nullptr);
        return window.frame();
    };
    EXPECT_EQ(enter(placed), placed);
    // Another size, another display, a maximised frame or a prompter that covers the display: moved.
    EXPECT_EQ(enter({{100, 100}, {500, 300}}), configuration.frame);
    EXPECT_EQ(enter({{1600, 100}, {400, 300}}), configuration.frame);
    configuration.isMaximized = true;
    EXPECT_EQ(enter(placed), configuration.frame);
    configuration.isMaximized = false;
    configuration.isWindowed = false;
    EXPECT_EQ(enter(placed), configuration.frame);
}

TEST(OVModeChangeTest, TitleBarButtonsGoForPromptModeAndComeBack)
{
    Window window(Rect{{0, 0}, {400, 300}});
    const unsigned style = window.styleMask();
    OVModeChange change;
    change.setTitleBarButtons(&window, true);
    EXPECT_FALSE(window.styleMask() & (Window::Closable | Window::Miniaturizable));
    change.setTitleBarButtons(&window, false);
    EXPECT_EQ(window.styleMask(), style);
}

} // namespace
