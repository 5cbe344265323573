#include "platform/appkit/ScreenSaverInhibitor.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <gtest/gtest.h>

TEST(ScreenSaverInhibitor, WithoutTheServiceItIsALoggedNoOp)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected() && bus.interface() &&
        bus.interface()->isServiceRegistered("org.freedesktop.ScreenSaver").value())
        GTEST_SKIP() << "a screensaver service is running here";
    ScreenSaverInhibitor inhibitor("Orvane");
    EXPECT_FALSE(inhibitor.inhibit("Orvane is in Prompt mode."));
    EXPECT_FALSE(inhibitor.isInhibiting());
    inhibitor.uninhibit();
    EXPECT_FALSE(inhibitor.isInhibiting());
}
