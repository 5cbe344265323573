// Update checks as the Updates pane drives them: the pane on stand-ins of the updater, the checker
// and the update controller, then the real ones against a loopback server of the test's own.
#include "app/OVAppDelegate.h"
#include "app/OVDefaultsProviderClasses.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/RunLoop.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVAnnouncementController.h"
#include "platform/hvkit/HVAppServices.h"
#include "platform/hvkit/HVAppUpdateController.h"
#include "platform/hvkit/HVInitialDefaultsProvider.h"
#include "platform/hvkit/HVNetworkAccess.h"
#include "platform/hvkit/HVPeriodicURLChecker.h"
#include "platform/hvkit/HVSparkleProxy.h"
#include "platform/updates/SUConstants.h"
#include "platform/updates/UpdateAlert.h"
#include "platform/updates/Updater.h"
#include "preferences/OVBackwardsCompatibleMiniLabel.h"
#include "preferences/OVUpdatesPreferencesViewController.h"
#include "tests/support/LoopbackHttpServer.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSysInfo>
#include <QTest>

#include <gtest/gtest.h>

namespace {

UserDefaults& defaults()
{
    return UserDefaults::shared();
}

void registerAllDefaults()
{
    OVDefaultsProviderClasses::registerAll();
    defaults().resetUserValues();
    defaults().registerDefaults(HVInitialDefaultsRegistry::initialDefaults());
}

class FakeProxy : public HVSparkleProxy {
public:
    bool automaticallyChecksForUpdates() const override { return automatic; }
    void setAutomaticallyChecksForUpdates(bool on) override { automatic = on; }
    QUrl feedURL() const override { return QUrl(defaults().stringForKey(Updater::kFeedURLKey)); }
    void checkForUpdates() override { ++checks; }
    bool automatic = true;
    int checks = 0;
};

class FakeChecker : public HVPeriodicURLChecker {
public:
    int performChecks() override { return ++performed; }
    void cancelRunningChecks() override { ++cancelled; }
    int performed = 0;
    int cancelled = 0;
};

class CountingAnnouncements : public HVAnnouncementController {
public:
    void reset() override { ++resets; }
    int resets = 0;
};

HVAppUpdate sampleUpdate()
{
    return HVAppUpdate{HVAppUpdate::Type::Free,
                       QStringLiteral("999999"),
                       QStringLiteral("999.0"),
                       {},
                       QUrl(QStringLiteral("https://orvane.example/releases/999.0")),
                       {},
                       false};
}

class UpdatesPane : public ::testing::Test {
protected:
    void SetUp() override
    {
        registerAllDefaults();
        PlistDictionary feed;
        feed.insert(Updater::kFeedURLKey, QStringLiteral("https://orvane.example/updates/feed.xml"));
        defaults().registerDefaults(feed);
        checker.addCheck({Updater::kFeedCheckIdentifier, QNetworkRequest(proxy.feedURL()), {}});
        checker.addCheck(
            {QStringLiteral("announcements"),
             QNetworkRequest(QUrl(QStringLiteral("https://orvane.example/news/notes-debug.xml"))),
             {}});
        HVAppServices::shared().setUpdateServices(&proxy, &controller, &checker, &announcements);
        checker.setEnabled(true);
    }
    void TearDown() override
    {
        HVAppServices::shared().setUpdateServices(nullptr, nullptr, nullptr, nullptr);
        defaults().resetUserValues();
    }

    FakeProxy proxy;
    FakeChecker checker;
    HVAppUpdateController controller;
    CountingAnnouncements announcements;
};

TEST_F(UpdatesPane, UntickingTurnsOffAutomaticChecksAndTheCheckerAtOnce)
{
    OVUpdatesPreferencesViewController pane;
    pane.show();
    ASSERT_TRUE(pane.checkForUpdatesCheckbox()->isChecked());
    QTest::mouseClick(pane.checkForUpdatesCheckbox(), Qt::LeftButton);
    EXPECT_FALSE(defaults().boolForKey(QStringLiteral("checkForUpdatesProxy")));
    EXPECT_FALSE(proxy.automatic);
    EXPECT_FALSE(checker.isEnabled());
    QTest::mouseClick(pane.checkForUpdatesCheckbox(), Qt::LeftButton);
    EXPECT_TRUE(proxy.automatic);
    EXPECT_TRUE(checker.isEnabled());
}

TEST_F(UpdatesPane, TheInstallButtonShowsOnlyWithAnUpdateAndOpensItsPage)
{
    OVUpdatesPreferencesViewController pane;
    pane.show();
    EXPECT_FALSE(pane.updateActionButton()->isVisible());
    // The pane has no advanced controls, so no empty frame for them either.
    EXPECT_FALSE(pane.advancedView()->isVisible());
    controller.setLatestAppUpdates({sampleUpdate()});
    EXPECT_TRUE(pane.updateActionButton()->isVisible());
    EXPECT_TRUE(pane.updateSummaryLabel()->text().contains(QStringLiteral("999.0")));

    std::vector<QUrl> opened;
    HVNetworkAccess::setURLOpener([&](const QUrl& url) {
        opened.push_back(url);
        return true;
    });
    QTest::mouseClick(pane.updateActionButton(), Qt::LeftButton);
    HVNetworkAccess::setURLOpener({});
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], sampleUpdate().webpageURL);

    // Alt-click (the platform's Option) forgets what was found without checking.
    QTest::mouseClick(pane.checkNowButton(), Qt::LeftButton, Qt::AltModifier);
    EXPECT_FALSE(pane.updateActionButton()->isVisible());
    EXPECT_FALSE(controller.hasUpdate());
    EXPECT_EQ(checker.cancelled, 1);
    EXPECT_EQ(announcements.resets, 1);
    EXPECT_EQ(proxy.checks, 0);
    // A plain click checks.
    QTest::mouseClick(pane.checkNowButton(), Qt::LeftButton);
    EXPECT_EQ(proxy.checks, 1);
}

TEST_F(UpdatesPane, TheDebugSwitchTwiceRestoresEveryAddressAndLeavesTheUsersOwnFeed)
{
    OVUpdatesPreferencesViewController pane;
    pane.show();
    // Super, Alt and Ctrl are the platform's Control, Option and Command.
    QTest::mouseClick(pane.checkNowButton(), Qt::LeftButton,
                      Qt::MetaModifier | Qt::AltModifier | Qt::ControlModifier);
    const unsigned long debug = kControlKeyMask | kOptionKeyMask | kCommandKeyMask;
    EXPECT_TRUE(pane.useDebugURLs());
    EXPECT_EQ(defaults().stringForKey(Updater::kFeedURLKey),
              QStringLiteral("https://orvane.example/updates/feed-debug.xml"));
    EXPECT_EQ(checker.checks()[0].request.url().path(), QStringLiteral("/updates/feed-debug.xml"));
    // Already a debug name: kept.
    EXPECT_EQ(checker.checks()[1].request.url().path(), QStringLiteral("/news/notes-debug.xml"));
    EXPECT_FALSE(defaults().hasUserValue(Updater::kFeedURLKey));
    EXPECT_EQ(proxy.checks, 0);

    pane.checkNowButtonPressed(debug);
    EXPECT_FALSE(pane.useDebugURLs());
    EXPECT_EQ(defaults().stringForKey(Updater::kFeedURLKey),
              QStringLiteral("https://orvane.example/updates/feed.xml"));
    EXPECT_EQ(checker.checks()[0].request.url().path(), QStringLiteral("/updates/feed.xml"));
    EXPECT_EQ(checker.checks()[1].request.url().path(), QStringLiteral("/news/notes.xml"));

    // The user's own feed stays as stored; only the registered one follows.
    defaults().setObject(QStringLiteral("https://mirror.example/feed.xml"), Updater::kFeedURLKey);
    pane.checkNowButtonPressed(debug);
    EXPECT_EQ(defaults().persistentDomain().value(Updater::kFeedURLKey).string(),
              QStringLiteral("https://mirror.example/feed.xml"));
    EXPECT_EQ(defaults().registeredDefaults().value(Updater::kFeedURLKey).string(),
              QStringLiteral("https://mirror.example/feed-debug.xml"));

    EXPECT_EQ(OVUpdatesPreferencesViewController::urlBySwitchingDebugSuffix(
                  QUrl(QStringLiteral("https://a.example/")), true),
              QUrl(QStringLiteral("https://a.example/")));
    EXPECT_EQ(OVUpdatesPreferencesViewController::urlBySwitchingDebugSuffix(
                  QUrl(QStringLiteral("https://a.example/feed")), true),
              QUrl(QStringLiteral("https://a.example/feed-debug")));
}

TEST(UpdateRequestParameters, NineDescriptionsInOrderNamingTheRealSystem)
{
    const PlistArray parameters = OVAppDelegate::updateCheckParameters();
    const QStringList keys = {"app",
                              "appVersion",
                              "appBuildVersion",
                              "appOrigin",
                              "operatingSystem",
                              "operatingSystemVersion",
                              "userLanguageCode",
                              "userCountryCode",
                              "appearance"};
    ASSERT_EQ(parameters.size(), size_t(keys.size()));
    for (size_t i = 0; i < parameters.size(); ++i) {
        const PlistDictionary entry = parameters[i].dictionary();
        EXPECT_EQ(entry.size(), 4) << i;
        EXPECT_EQ(entry.value(QStringLiteral("key")).string(), keys[qsizetype(i)]);
        EXPECT_FALSE(entry.value(QStringLiteral("displayKey")).string().isEmpty());
        EXPECT_EQ(entry.value(QStringLiteral("value")), entry.value(QStringLiteral("displayValue")));
    }
    EXPECT_EQ(parameters[4].dictionary().value(QStringLiteral("value")).string(), QSysInfo::productType());
    EXPECT_NE(parameters[4].dictionary().value(QStringLiteral("value")).string(), QStringLiteral("macOS"));
    EXPECT_EQ(OVAppDelegate::standardRequestParameters().size(), 6u);
}

// The real updater, checker and controller of the program, on a loopback server.
class UpdateChecks : public ::testing::Test {
protected:
    void SetUp() override
    {
        registerAllDefaults();
        ASSERT_TRUE(server.isListening());
        HVNetworkAccess::setURLOpener([this](const QUrl& url) {
            opened.push_back(url);
            return true;
        });
    }
    void TearDown() override
    {
        HVNetworkAccess::setURLOpener({});
        defaults().resetUserValues();
    }
    void useFeed(const QUrl& url)
    {
        PlistDictionary feed;
        feed.insert(Updater::kFeedURLKey, url.toString());
        defaults().registerDefaults(feed);
    }
    static QByteArray feedNaming(const QString& page)
    {
        return QStringLiteral(R"(<?xml version="1.0"?>
<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle">
<channel><title>Orvane</title>
<item><title>Orvane 999.0</title><link>%1</link>
<description>&lt;p&gt;Faster scrolling.&lt;/p&gt;</description>
<pubDate>Mon, 07 Dec 2026 10:00:00 +0000</pubDate>
<sparkle:minimumSystemVersion>10.13</sparkle:minimumSystemVersion>
<isPaidUpdate>false</isPaidUpdate>
<enclosure url="https://orvane.example/orvane-999.0.tar.gz" sparkle:version="999999" sparkle:shortVersionString="999.0" length="10" type="application/octet-stream"/>
</item></channel></rss>)")
            .arg(page)
            .toUtf8();
    }
    // Runs the event loop until the condition holds, for at most a few seconds of network.
    static bool waitFor(const std::function<bool()>& condition, int milliseconds = 5000)
    {
        QDeadlineTimer deadline(milliseconds);
        while (!condition() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return condition();
    }

    testsupport::LoopbackHttpServer server;
    std::vector<QUrl> opened;
};

TEST_F(UpdateChecks, CheckNowFetchesTheFeedOnceAndOffersThePage)
{
    server.respond(200, feedNaming(QStringLiteral("https://orvane.example/releases/999.0")));
    useFeed(server.url(QStringLiteral("/feed.xml")));
    OVAppDelegate delegate;
    delegate.setUpUpdates();
    OVUpdatesPreferencesViewController pane;
    pane.show();
    EXPECT_FALSE(pane.updateActionButton()->isVisible());
    // The pane has no advanced controls, so no empty frame for them either.
    EXPECT_FALSE(pane.advancedView()->isVisible());

    QTest::mouseClick(pane.checkNowButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return pane.updateActionButton()->isVisible(); }));
    EXPECT_EQ(server.requestCount(), 1);
    EXPECT_EQ(server.paths(), QStringList{QStringLiteral("/feed.xml")});
    EXPECT_TRUE(pane.updateSummaryLabel()->text().contains(QStringLiteral("999.0")));
    // The update is announced in a window of its own, with its notes as text.
    UpdateAlert* alert = delegate.updater()->announcementWindow();
    ASSERT_NE(alert, nullptr);
    EXPECT_TRUE(alert->isVisible());
    EXPECT_EQ(alert->notesView()->toPlainText(), QStringLiteral("Faster scrolling."));

    QTest::mouseClick(pane.updateActionButton(), Qt::LeftButton);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl(QStringLiteral("https://orvane.example/releases/999.0")));
    // Prompting takes the updater's window away.
    delegate.closeAndCancelSparkleWindows();
    EXPECT_FALSE(alert->isVisible());
}

TEST_F(UpdateChecks, AnUpdateFoundWhileAnAlertIsUpIsAnnouncedAfterIt)
{
    server.respond(200, feedNaming(QStringLiteral("https://orvane.example/releases/999.0")));
    useFeed(server.url(QStringLiteral("/feed.xml")));
    OVAppDelegate delegate;
    delegate.setUpUpdates();
    // The crash report's question, still unanswered.
    QMessageBox question(QMessageBox::Warning, QStringLiteral("Orvane quit unexpectedly."), QString());
    question.setWindowModality(Qt::ApplicationModal);
    question.show();
    HVAppServices::shared().checkAllUpdates();
    ASSERT_TRUE(waitFor([&] { return delegate.updater()->announcementWindow() != nullptr; }));
    QCoreApplication::processEvents();
    EXPECT_FALSE(delegate.updater()->announcementWindow()->isVisible()) << "nothing shows over the question";

    question.hide();
    ASSERT_TRUE(waitFor([&] { return delegate.updater()->announcementWindow()->isVisible(); }))
        << "the announcement follows once the question is answered";
    delegate.closeAndCancelSparkleWindows();
}

TEST_F(UpdateChecks, AFeedNamingALocalPageOffersNothingAndABadFeedKeepsWhatWasFound)
{
    server.respond(200, feedNaming(QStringLiteral("file:///etc/passwd")));
    useFeed(server.url(QStringLiteral("/feed.xml")));
    OVAppDelegate delegate;
    delegate.setUpUpdates();
    HVAppUpdateController& controller = *HVAppServices::shared().appUpdateController();
    HVAppServices::shared().checkAllUpdates();
    ASSERT_TRUE(waitFor([&] { return controller.hasChecked(); }));
    EXPECT_FALSE(controller.hasUpdate());
    EXPECT_EQ(delegate.updater()->announcementWindow(), nullptr);

    server.respond(200, feedNaming(QStringLiteral("https://orvane.example/releases/999.0")));
    HVAppServices::shared().checkAllUpdates();
    ASSERT_TRUE(waitFor([&] { return controller.hasUpdate(); }));
    // Truncated, then an error page: what was found stays.
    server.respond(200, feedNaming(QStringLiteral("https://orvane.example/releases/999.0")).left(200));
    HVAppServices::shared().checkAllUpdates();
    ASSERT_TRUE(waitFor([&] {
        return server.requestCount() == 3 && !HVAppServices::shared().periodicURLChecker()->isChecking();
    }));
    server.respond(500, "<html>down</html>");
    HVAppServices::shared().checkAllUpdates();
    ASSERT_TRUE(waitFor([&] {
        return server.requestCount() == 4 && !HVAppServices::shared().periodicURLChecker()->isChecking();
    }));
    // Larger than any feed: refused before it is read.
    server.respond(200, QByteArray(HVPeriodicURLChecker::kMaximumResponseSize + 1024, ' '));
    HVAppServices::shared().checkAllUpdates();
    ASSERT_TRUE(waitFor([&] {
        return server.requestCount() == 5 && !HVAppServices::shared().periodicURLChecker()->isChecking();
    }));
    EXPECT_TRUE(controller.hasUpdate());
}

TEST_F(UpdateChecks, NoFeedAddressOrAutomaticChecksOffMeansNoRequest)
{
    server.respond(200, feedNaming(QStringLiteral("https://orvane.example/releases/999.0")));
    {
        OVAppDelegate delegate;
        delegate.setUpUpdates();
        OVUpdatesPreferencesViewController pane;
        EXPECT_EQ(pane.updateSummaryLabel()->text(),
                  QStringLiteral("Update checks are not set up in this build."));
        QTest::mouseClick(pane.checkNowButton(), Qt::LeftButton);
        EXPECT_EQ(HVAppServices::shared().periodicURLChecker()->performChecks(), 0);
    }
    // Plain http elsewhere than this machine is never fetched either.
    EXPECT_FALSE(
        HVNetworkAccess::isPermittedFetchAddress(QUrl(QStringLiteral("http://orvane.example/feed.xml"))));
    EXPECT_TRUE(HVNetworkAccess::isPermittedFetchAddress(QUrl(QStringLiteral("http://[::1]:8080/feed.xml"))));

    useFeed(server.url(QStringLiteral("/feed.xml")));
    defaults().setBool(false, QStringLiteral("checkForUpdatesProxy"));
    ManualClock clock;
    Clock::setShared(&clock);
    {
        OVAppDelegate delegate;
        delegate.setUpUpdates();
        EXPECT_FALSE(HVAppServices::shared().periodicURLChecker()->isEnabled());
        RunLoop::main().advanceManualClock(clock, 2 * 86400);
        EXPECT_FALSE(waitFor([&] { return server.requestCount() > 0; }, 300));
    }
    EXPECT_EQ(server.requestCount(), 0);
    // Switched on, the first automatic check comes on its own.
    defaults().setBool(true, QStringLiteral("checkForUpdatesProxy"));
    {
        OVAppDelegate delegate;
        delegate.setUpUpdates();
        RunLoop::main().advanceManualClock(clock, HVPeriodicURLChecker::kFirstCheckDelay + 1);
        EXPECT_TRUE(waitFor([&] { return server.requestCount() == 1; }));
    }
    Clock::setShared(nullptr);
}

} // namespace
