#include "TestSupport.h"

#include "platform/appkit/AppKitNotifications.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/NotificationCenter.h"

#include <QApplication>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

struct WindowLiveResize : ::testing::Test {
    WindowLiveResize()
    {
        window.orderFront();
        QApplication::processEvents();
    }

    // As the window manager does it: the host widget gets a new size.
    void dragTo(int width, int height)
    {
        window.hostWidget()->resize(width, height);
        QApplication::processEvents();
    }

    FakeScreensScope screens{{FakeScreenProvider::makeScreen(1, Rect(0, 0, 1280, 800))}};
    ManualClockScope clockScope;
    Window window{Rect(100, 100, 400, 300)};
    QStringList heard;
    NotificationObserver starts{NotificationCenter::shared(), kWindowWillStartLiveResizeNotification, &window,
                                [this](const Notification&) { heard << "start"; }};
    NotificationObserver ends{NotificationCenter::shared(), kWindowDidEndLiveResizeNotification, &window,
                              [this](const Notification&) { heard << "end"; }};
};

} // namespace

TEST_F(WindowLiveResize, ADragOfManySizesIsOneLiveResizeThatEndsAfterATenthOfASecondOfQuiet)
{
    dragTo(420, 300);
    EXPECT_TRUE(window.inLiveResize());
    RunLoop::main().advanceManualClock(clockScope.clock, 0.05);
    dragTo(440, 310);
    RunLoop::main().advanceManualClock(clockScope.clock, 0.09);
    dragTo(460, 320);
    EXPECT_EQ(heard, QStringList{"start"});
    RunLoop::main().advanceManualClock(clockScope.clock, 0.09);
    EXPECT_TRUE(window.inLiveResize());
    RunLoop::main().advanceManualClock(clockScope.clock, 0.02);
    EXPECT_EQ(heard, (QStringList{"start", "end"}));
    EXPECT_FALSE(window.inLiveResize());
    EXPECT_EQ(window.frame().size, Size(460, 320));

    // A later drag is a live resize of its own.
    dragTo(500, 320);
    RunLoop::main().advanceManualClock(clockScope.clock, 0.2);
    EXPECT_EQ(heard, (QStringList{"start", "end", "start", "end"}));
}

TEST_F(WindowLiveResize, MovingAndTheProgramsOwnFrameChangesAreNoLiveResize)
{
    window.hostWidget()->move(150, 150);
    window.setFrame(Rect(0, 0, 600, 500));
    QApplication::processEvents();
    RunLoop::main().advanceManualClock(clockScope.clock, 0.5);
    EXPECT_TRUE(heard.isEmpty());
}

TEST(WindowKeyOnlyIfNeeded, ShowingOrActivatingLeavesTheKeyWindowButAskingMakesItKey)
{
    FakeScreensScope screens{{FakeScreenProvider::makeScreen(1, Rect(0, 0, 1280, 800))}};
    Window document(Rect(0, 0, 400, 300));
    document.orderFront();
    document.makeKeyWindow();
    Window panel(Rect(500, 0, 200, 300), Window::Titled | Window::UtilityWindow);
    panel.setBecomesKeyOnlyIfNeeded(true);
    panel.orderFront();
    EXPECT_TRUE(panel.hostWidget()->testAttribute(Qt::WA_ShowWithoutActivating));
    panel.hostWidget()->activateWindow();
    QApplication::processEvents();
    EXPECT_EQ(Application::shared().keyWindow(), &document);
    EXPECT_TRUE(panel.canBecomeKeyWindow());
    panel.makeKeyWindow();
    EXPECT_EQ(Application::shared().keyWindow(), &panel);
}
