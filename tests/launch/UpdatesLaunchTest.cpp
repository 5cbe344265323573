// Update checks in the program as launched, against a loopback server of the test's own: a check
// offers the release in a window of ours and opens its page, no request goes out while prompting,
// and prompting takes the announcement away.
#include "app/OVAppDelegate.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVAppServices.h"
#include "platform/hvkit/HVAppUpdateController.h"
#include "platform/hvkit/HVNetworkAccess.h"
#include "platform/hvkit/HVPeriodicURLChecker.h"
#include "platform/updates/UpdateAlert.h"
#include "platform/updates/Updater.h"
#include "prompting/OVApplication.h"
#include "tests/support/LoopbackHttpServer.h"

#include <QDeadlineTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "LaunchedScriptTest.h"

namespace {

bool waitFor(const std::function<bool()>& condition, int milliseconds = 5000)
{
    QDeadlineTimer deadline(milliseconds);
    while (!condition() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return condition();
}

const char* const kFeed = R"(<?xml version="1.0"?>
<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle">
<channel><title>Orvane</title>
<item><title>Orvane 999.0</title><link>https://orvane.example/releases/999.0</link>
<description>Smoother scrolling.</description>
<pubDate>Mon, 07 Dec 2026 10:00:00 +0000</pubDate>
<sparkle:minimumSystemVersion>10.13</sparkle:minimumSystemVersion>
<isPaidUpdate>false</isPaidUpdate>
<enclosure url="https://orvane.example/orvane-999.0.tar.gz" sparkle:version="999999" sparkle:shortVersionString="999.0" length="10" type="application/octet-stream"/>
</item></channel></rss>)";

class LaunchedUpdates : public launchtest::LaunchedScriptTest {
protected:
    void toggleMode()
    {
        QTest::keyClick(controller().window()->hostWidget(), Qt::Key_Return, Qt::ControlModifier);
        QCoreApplication::processEvents();
    }
};

TEST_F(LaunchedUpdates, ACheckAnnouncesTheReleaseButNeverWhilePrompting)
{
    testsupport::LoopbackHttpServer server;
    ASSERT_TRUE(server.isListening());
    server.respond(200, kFeed);
    // A build without an address makes no request.
    EXPECT_EQ(HVAppServices::shared().periodicURLChecker()->performChecks(), 0);
    UserDefaults::shared().setObject(server.url(QStringLiteral("/feed.xml")).toString(),
                                     Updater::kFeedURLKey);
    std::vector<QUrl> opened;
    HVNetworkAccess::setURLOpener([&](const QUrl& url) {
        opened.push_back(url);
        return true;
    });

    toggleMode();
    ASSERT_TRUE(OVApplication::shared().isModePrompt());
    Application::shared().sendAction(QStringLiteral("checkAllUpdates:"), nullptr, QVariant());
    EXPECT_EQ(HVAppServices::shared().periodicURLChecker()->performChecks(), 0);
    EXPECT_FALSE(waitFor([&] { return server.requestCount() > 0; }, 300));
    toggleMode();
    ASSERT_TRUE(OVApplication::shared().isModeEdit());

    Application::shared().sendAction(QStringLiteral("checkAllUpdates:"), nullptr, QVariant());
    ASSERT_TRUE(waitFor([] { return HVAppServices::shared().appUpdateController()->hasUpdate(); }));
    EXPECT_EQ(server.requestCount(), 1);
    UpdateAlert* alert = session->appDelegate().updater()->announcementWindow();
    ASSERT_NE(alert, nullptr);
    ASSERT_TRUE(alert->isVisible());
    EXPECT_TRUE(alert->messageLabel()->text().contains(QStringLiteral("999.0")));
    // Prompting takes the announcement away.
    toggleMode();
    EXPECT_FALSE(alert->isVisible());
    toggleMode();

    Application::shared().sendAction(QStringLiteral("checkAllUpdates:"), nullptr, QVariant());
    ASSERT_TRUE(waitFor([&] { return server.requestCount() == 2 && alert->isVisible(); }));
    QTest::mouseClick(alert->openPageButton(), Qt::LeftButton);
    HVNetworkAccess::setURLOpener({});
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl(QStringLiteral("https://orvane.example/releases/999.0")));
    EXPECT_FALSE(alert->isVisible());
}

} // namespace
