// What a crash leaves for the next start, and what a start shows after an upgrade, as a user meets
// them: the built program crashes for real, and the next start runs through the same code as
// main() on the same settings and data folders.
#include "app/OVAppDelegate.h"
#include "app/OVDocumentSession.h"
#include "app/OVProgramStart.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/AppKitNotifications.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/MenuItem.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVAnalytics.h"
#include "platform/hvkit/HVAppServices.h"
#include "platform/hvkit/HVNetworkAccess.h"
#include "services/OVCrashReportSender.h"
#include "services/OVUserStats.h"
#include "services/OVWhatsNewWindowController.h"

#include "../support/LoopbackHttpServer.h"

#include <QAction>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QUrlQuery>

#include <gtest/gtest.h>

#include <csignal>

#include "LaunchTestSupport.h"

namespace {

using launchtest::copyFolder;
using launchtest::kSample;

template <typename Done> bool spinUntil(Done done, int milliseconds = 20000)
{
    QDeadlineTimer deadline(milliseconds);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

class CrashReportsAndNotes : public ::testing::Test {
protected:
    void SetUp() override
    {
        Clock::setShared(&clock);
        script = folder.filePath(QStringLiteral("Script.ovdocument"));
        ASSERT_TRUE(copyFolder(kSample, script));
    }
    void TearDown() override
    {
        AlertPresenterScope discard([](Alert&) { return Alert::kSecondButtonReturn; });
        session.reset();
        Clock::setShared(nullptr);
    }

    // The built program on this test's folders, ended by a segmentation fault once it has started.
    void crashBuiltProgram()
    {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(ORVANE_BINARY), {script});
        ASSERT_TRUE(program.waitForStarted());
        // Started once its launch is counted on disk.
        const QString statistics = HVAnalytics::defaultFilePath();
        ASSERT_TRUE(spinUntil([&statistics] { return QFile::exists(statistics); }));
        ::kill(pid_t(program.processId()), SIGSEGV);
        ASSERT_TRUE(program.waitForFinished(20000));
        EXPECT_EQ(program.exitStatus(), QProcess::CrashExit);
        const auto reports = OVCrashReportSender::pendingReports(OVCrashReportSender::defaultFolder());
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_TRUE(reports[0].text.contains(QStringLiteral("Signal: 11 (SIGSEGV)")));
    }

    ManualClock clock;
    QTemporaryDir folder;
    QString script;
    std::unique_ptr<OVDocumentSession> session;
};

TEST_F(CrashReportsAndNotes, WithoutAnAddressTheReportIsCountedKeptAndNeverOffered)
{
    crashBuiltProgram();
    int alerts = 0;
    AlertPresenterScope count([&alerts](Alert&) {
        ++alerts;
        return Alert::kSecondButtonReturn;
    });
    session = OVProgramStart::launch({script});
    for (int pass = 0; pass < 10; ++pass)
        QCoreApplication::processEvents();
    EXPECT_EQ(alerts, 0);
    EXPECT_EQ(HVAppServices::shared().analytics().appCrashCount(), 1);
    EXPECT_EQ(OVCrashReportSender::pendingReports(OVCrashReportSender::defaultFolder()).size(), 1u);
    // Neither the address nor a move offer nor the notes of a first start.
    EXPECT_EQ(UserDefaults::shared().stringForKey(OVCrashReportSender::kAddressKey), QString());
    EXPECT_EQ(session->appDelegate().whatsNewWindowController(), nullptr);
}

TEST_F(CrashReportsAndNotes, WithoutAnAddressOnlyTheLastTenReportsAreKept)
{
    const QString reports = OVCrashReportSender::defaultFolder();
    const QString written = OVCrashReportSender::writeReportForTesting(reports, QStringLiteral("1.0"),
                                                                       QStringLiteral("1"), SIGSEGV);
    ASSERT_FALSE(written.isEmpty());
    // Twelve reports of twelve crashes a second apart, as a program crashing at every start leaves.
    const QString name = QFileInfo(written).fileName();
    // "<name>-<milliseconds>-<process>.crash"
    const QString stamp = name.section(QLatin1Char('-'), -2, -2);
    ASSERT_GT(stamp.toLongLong(), 0) << name.toStdString();
    for (qint64 second = 1; second <= 11; ++second) {
        QString copy = name;
        copy.replace(stamp, QString::number(stamp.toLongLong() - second * 1000));
        ASSERT_TRUE(QFile::copy(written, QDir(reports).filePath(copy)));
    }
    ASSERT_EQ(OVCrashReportSender::pendingReports(reports).size(), 12u);
    session = OVProgramStart::launch({script});
    QCoreApplication::processEvents();
    const auto kept = OVCrashReportSender::pendingReports(reports);
    ASSERT_EQ(kept.size(), 10u);
    // The newest stay.
    EXPECT_EQ(kept.back().path, written);
}

TEST_F(CrashReportsAndNotes, TheHelpMenuOffersTheAddressesTheBuildHasAndASupportMailWithTheStatistics)
{
    std::vector<QUrl> opened;
    HVNetworkAccess::setURLOpener([&opened](const QUrl& url) {
        opened.push_back(url);
        return true;
    });
    const auto shown = [](const char* action) {
        const MenuItem* item = Menu::mainMenu()->itemWithAction(QString::fromLatin1(action));
        return item && !item->isHidden();
    };
    // As built for these tests: no address at all, so no item that could only fail.
    session = OVProgramStart::launch({script});
    QCoreApplication::processEvents();
    for (const char* action :
         {"openAppWebsite:", "visitSupportSite:", "contactSupport:", "openStoreWebsite:"})
        EXPECT_FALSE(shown(action)) << action;
    {
        AlertPresenterScope discard([](Alert&) { return Alert::kSecondButtonReturn; });
        session.reset();
    }

    OVAppDelegate::AddressConfiguration configured;
    configured.support = QStringLiteral("https://support.invalid/orvane");
    configured.website = QStringLiteral("http://plain.invalid/");
    configured.supportEmail = QStringLiteral("help@support.invalid");
    OVAppDelegate::setAddressConfiguration(configured);
    session = OVProgramStart::launch({script});
    QCoreApplication::processEvents();
    EXPECT_TRUE(shown("visitSupportSite:"));
    EXPECT_TRUE(shown("contactSupport:"));
    // Only https pages are offered.
    EXPECT_FALSE(shown("openAppWebsite:"));
    EXPECT_FALSE(shown("openStoreWebsite:"));
    QMenu* help = Menu::mainMenu()->itemWithAction(QStringLiteral("contactSupport:"))->menu()->qMenu();
    for (const QString& title : {QStringLiteral("Visit Support Site"), QStringLiteral("Contact Support…")}) {
        for (QAction* action : help->actions())
            if (action->text() == title)
                action->trigger();
        QCoreApplication::processEvents();
    }
    OVAppDelegate::setAddressConfiguration(std::nullopt);
    HVNetworkAccess::setURLOpener({});
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], QUrl(QStringLiteral("https://support.invalid/orvane")));
    EXPECT_EQ(opened[1].scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(opened[1].path(), QStringLiteral("help@support.invalid"));
    const QString body = QUrlQuery(opened[1]).queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded);
    EXPECT_TRUE(body.contains(QStringLiteral("Operator Screen Resolution: "))) << body.toStdString();
    EXPECT_TRUE(body.contains(QStringLiteral("\nLaunches: "))) << body.toStdString();
    EXPECT_EQ(HVAppServices::shared().analytics().integerForKeyPath(QStringLiteral("help.contactSupport")),
              1);
}

TEST_F(CrashReportsAndNotes, WithAnAddressTheReportIsShownSentAndNotOfferedAgain)
{
    crashBuiltProgram();
    testsupport::LoopbackHttpServer server;
    UserDefaults::shared().setObject(server.url(QStringLiteral("/crash")).toString(),
                                     OVCrashReportSender::kAddressKey);
    QString shown;
    int alerts = 0;
    AlertPresenterScope send([&](Alert& alert) {
        ++alerts;
        if (auto* text = qobject_cast<QPlainTextEdit*>(alert.accessoryView()))
            shown = text->toPlainText();
        return alert.returnCodeForButtonTitle(QStringLiteral("Send"));
    });
    session = OVProgramStart::launch({script});
    ASSERT_TRUE(spinUntil([&server] { return !server.requests().isEmpty(); }));
    EXPECT_EQ(alerts, 1);
    EXPECT_TRUE(shown.contains(QStringLiteral("Signal: 11 (SIGSEGV)")));
    EXPECT_TRUE(server.requests().first().body.contains("Signal: 11 (SIGSEGV)"));
    ASSERT_TRUE(spinUntil(
        [] { return OVCrashReportSender::pendingReports(OVCrashReportSender::defaultFolder()).empty(); }));
    EXPECT_FALSE(session->appDelegate().crashReportSender().sendPendingReports(
        server.url(), [](const auto&) { return true; }));
    EXPECT_EQ(server.requests().size(), 1);
}

TEST_F(CrashReportsAndNotes, AnUpgradeShowsWhatIsNewAndAboutShowsTheStatistics)
{
    // The settings an earlier build left.
    UserDefaults::shared().setInteger(900, QStringLiteral("appBuildNumber"));
    UserDefaults::shared().setInteger(900, QStringLiteral("highestLaunchedAppBuildNumber"));
    int alerts = 0;
    AlertPresenterScope count([&alerts](Alert&) {
        ++alerts;
        return Alert::kSecondButtonReturn;
    });
    session = OVProgramStart::launch({script});
    QCoreApplication::processEvents();
    OVWhatsNewWindowController* notes = session->appDelegate().whatsNewWindowController();
    ASSERT_NE(notes, nullptr);
    EXPECT_TRUE(notes->window()->isVisible());
    EXPECT_TRUE(notes->shownText().string().contains(QStringLiteral("What's new in Orvane")));
    // At the top of the note, laid out and shown.
    QCoreApplication::processEvents();
    EXPECT_EQ(notes->textView()->verticalScrollBar()->value(), 0);
    EXPECT_EQ(notes->textView()->textCursor().position(), 0);
    EXPECT_EQ(alerts, 0);

    // The time the program is in front counts as active time.
    const double activeBefore = HVAppServices::shared().analytics().appActiveTime();
    NotificationCenter::shared().postNotification(kApplicationDidBecomeActiveNotification,
                                                  &Application::shared());
    clock.advance(75);
    NotificationCenter::shared().postNotification(kApplicationDidResignActiveNotification,
                                                  &Application::shared());
    EXPECT_GE(HVAppServices::shared().analytics().appActiveTime() - activeBefore, 75);

    Application::shared().sendAction(QStringLiteral("orderFrontCustomAboutPanel:"), nullptr, {});
    QWidget* about = session->appDelegate().aboutWindow();
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isVisible());
    const QString credits = about->findChild<QTextBrowser*>()->toPlainText();
    EXPECT_TRUE(credits.contains(QStringLiteral("Statistics")));
    EXPECT_TRUE(credits.contains(QStringLiteral("App Launch: 1 since ")));
    // The date in the medium style: the month named, not a row of figures.
    const QString since = OVUserStats::mediumDateString(QDate::currentDate(), QLocale());
    EXPECT_TRUE(credits.contains(QStringLiteral("App Launch: 1 since ") + since)) << credits.toStdString();
    EXPECT_EQ(
        QLocale(QLocale::English, QLocale::UnitedStates).toString(QDate(2026, 1, 5), QStringLiteral("MMM")),
        QStringLiteral("Jan"));
    EXPECT_EQ(
        OVUserStats::mediumDateString(QDate(2026, 1, 5), QLocale(QLocale::English, QLocale::UnitedStates)),
        QStringLiteral("Jan 5, 2026"));
}

} // namespace
