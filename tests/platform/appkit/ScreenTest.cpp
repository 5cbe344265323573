#include "platform/appkit/Window.h"

#include "TestSupport.h"

#include <QWidget>

#include <gtest/gtest.h>

TEST(Screen, FakeProviderSuppliesScreensPrimaryFirst)
{
    const Screen primary = FakeScreenProvider::makeScreen(0, Rect(0, 0, 1280, 800));
    const Screen above = FakeScreenProvider::makeScreen(1, Rect(0, 800, 1920, 1080), 144, 2.0);
    FakeScreensScope screens({primary, above});
    EXPECT_EQ(Screen::screens().size(), 2u);
    EXPECT_EQ(Screen::primaryScreen(), primary);
    EXPECT_EQ(Screen::mainScreen(), primary);
    EXPECT_EQ(Screen::screenWithDisplayID(above.displayID()), above);
    EXPECT_DOUBLE_EQ(above.backingScaleFactor(), 2.0);
    EXPECT_EQ(Screen::screenForRect(Rect(100, 1500, 200, 200)), above);
    EXPECT_EQ(Screen::screenForRect(Rect(-500, -500, 10, 10)), std::nullopt);
}

TEST(Screen, BrokenRatesAndScalesFallBackToSaneValues)
{
    const Screen screen(7, "Odd", Rect(0, 0, 10, 10), Rect(0, 0, 10, 10), NAN, -3);
    EXPECT_DOUBLE_EQ(screen.refreshRate(), Screen::kFallbackRefreshRate);
    EXPECT_DOUBLE_EQ(screen.backingScaleFactor(), 1.0);
    EXPECT_DOUBLE_EQ(Screen(7, "Slow", {}, {}, 1.0, 0.0).refreshRate(), 60.0);
    EXPECT_DOUBLE_EQ(Screen(7, "Fast", {}, {}, 1.0, INFINITY).refreshRate(), 60.0);
}

TEST(Screen, DisplayIdentifiersAreStableAndNeverZero)
{
    EXPECT_EQ(Screen::displayIDForName("HDMI-1", "123"), Screen::displayIDForName("HDMI-1", "123"));
    EXPECT_NE(Screen::displayIDForName("HDMI-1", "123"), Screen::displayIDForName("HDMI-2", "123"));
    EXPECT_NE(Screen::displayIDForName({}), 0u);
}

TEST(Screen, ReconfigurationObserversHearEveryChange)
{
    FakeScreensScope screens({FakeScreenProvider::makeScreen(0, Rect(0, 0, 1280, 800))});
    int heard = 0;
    const int token = screens.provider.addReconfigurationObserver([&] { ++heard; });
    screens.provider.setScreens({});
    screens.provider.setScreens({FakeScreenProvider::makeScreen(0, Rect(0, 0, 1920, 1080))});
    screens.provider.removeReconfigurationObserver(token);
    screens.provider.setScreens({});
    EXPECT_EQ(heard, 2);
}

TEST(Screen, AWindowWhoseScreenIsRemovedHasNoScreenButKeepsWorking)
{
    const Screen primary = FakeScreenProvider::makeScreen(0, Rect(0, 0, 1280, 800));
    const Screen talent = FakeScreenProvider::makeScreen(1, Rect(1280, 0, 1920, 1080));
    FakeScreensScope screens({primary, talent});
    Window window(Rect(1400, 100, 800, 600), Window::Borderless);
    EXPECT_EQ(window.screen(), talent);
    screens.provider.setScreens({primary});
    EXPECT_EQ(window.screen(), std::nullopt);
    window.center();
    EXPECT_EQ(window.screen(), primary);
    screens.provider.setScreens({});
    window.center();
    window.setFrame(Rect(0, 0, 10, 10));
    EXPECT_EQ(window.frame(), Rect(0, 0, 10, 10));
    EXPECT_DOUBLE_EQ(window.backingScaleFactor(), window.backingScaleFactor());
}

namespace {

struct Layout {
    const char* name;
    Rect secondScreen;
    Rect windowFrame;
    QRect expectedQtGeometry;
};

} // namespace

TEST(Screen, WindowsOnASecondScreenLeftRightOrAboveMapToQtAndBack)
{
    const Screen primary = FakeScreenProvider::makeScreen(0, Rect(0, 0, 1280, 800));
    const Layout layouts[] = {
        {"right", Rect(1280, -280, 1920, 1080), Rect(1400, 0, 640, 360), QRect(1400, 440, 640, 360)},
        {"left", Rect(-1920, -280, 1920, 1080), Rect(-1800, 100, 640, 360), QRect(-1800, 340, 640, 360)},
        {"above", Rect(0, 800, 1920, 1080), Rect(100, 1000, 640, 360), QRect(100, -560, 640, 360)},
    };
    for (const Layout& layout : layouts) {
        const Screen second = FakeScreenProvider::makeScreen(1, layout.secondScreen);
        FakeScreensScope screens({primary, second});
        Window window(layout.windowFrame, Window::Borderless);
        EXPECT_EQ(window.screen(), second) << layout.name;
        EXPECT_EQ(window.hostWidget()->geometry(), layout.expectedQtGeometry) << layout.name;
        const Point global = window.convertPointToScreen({20, 30});
        EXPECT_EQ(global, Point(layout.windowFrame.origin.x + 20, layout.windowFrame.origin.y + 30))
            << layout.name;
    }
}
