#include "output/OVRandRDisplayModeService.h"

#include "platform/appkit/Screen.h"

#include <QProcess>

#include <gtest/gtest.h>

// Runs against a real X server only (QT_QPA_PLATFORM=xcb, such as the two-monitor one of the
// launch scripts); elsewhere there is no RandR to ask and the test is skipped.
TEST(RandRDisplayModeServiceTest, ListsTheOperatorModesAndChangesOneThatXrandrSees)
{
    const std::unique_ptr<OVRandRDisplayModeService> service = OVRandRDisplayModeService::create();
    if (!service)
        GTEST_SKIP() << "no RandR 1.5 X server";
    const std::vector<Screen> screens = Screen::screens();
    ASSERT_FALSE(screens.empty());
    const Screen& operatorScreen = screens.front();
    const std::vector<OVDisplayMode> modes = service->availableDisplayModes(operatorScreen);
    ASSERT_FALSE(modes.empty());
    // Asked again, the server is not: the answer is kept until the screens change.
    const int queries = service->serverQueries();
    EXPECT_EQ(service->availableDisplayModes(operatorScreen), modes);
    EXPECT_EQ(service->serverQueries(), queries);
    EXPECT_FALSE(service->isMirrored(operatorScreen));
    const std::optional<OVDisplayMode> current = service->displayMode(operatorScreen);
    ASSERT_TRUE(current);
    EXPECT_EQ(current->width, int(operatorScreen.frame().size.width));
    for (const Screen& screen : screens) {
        if (service->availableDisplayModes(screen).empty()) {
            EXPECT_FALSE(service->setDisplayMode(screen, *current)) << "a monitor without an output changed";
        }
    }

    // Another mode that fits the screen as it is; the change is seen by xrandr and then undone.
    std::optional<OVDisplayMode> other;
    for (const OVDisplayMode& mode : modes)
        if (mode.width < current->width && mode.height < current->height)
            other = mode;
    if (!other)
        GTEST_SKIP() << "no smaller mode to try";
    ASSERT_TRUE(service->setDisplayMode(operatorScreen, *other));
    QProcess xrandr;
    xrandr.start(QStringLiteral("xrandr"), {QStringLiteral("--current")});
    ASSERT_TRUE(xrandr.waitForFinished(10000));
    const QString listed = QString::fromLocal8Bit(xrandr.readAllStandardOutput());
    EXPECT_TRUE(listed.contains(QStringLiteral("%1x%2+").arg(other->width).arg(other->height)))
        << listed.toStdString();
    EXPECT_TRUE(service->setDisplayMode(operatorScreen, *current));
}
