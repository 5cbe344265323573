// The hardware-profile download and crash reports against a server on this machine: what reaches
// the server, what is kept on disk, and what a crash leaves behind.
#include "platform/foundation/Gzip.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVAnalytics.h"
#include "prompting/OVCore.h"
#include "services/OVCrashReportSender.h"
#include "services/OVHardwareProfileDownload.h"
#include "services/OVRequestAddress.h"

#include "../support/LoopbackHttpServer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using testsupport::LoopbackHttpServer;

QByteArray profileList()
{
    ArchiveDictionary condition;
    condition.insert(QStringLiteral("VideoCardName"), QStringLiteral("Radeon"));
    ArchiveDictionary override;
    override.insert(QStringLiteral("VideoMemoryState"), qint64(2));
    ArchiveDictionary profile;
    profile.insert(QStringLiteral("Condition"), condition);
    profile.insert(QStringLiteral("Override"), override);
    ArchiveDictionary root;
    root.insert(QStringLiteral("Version"), qint64(2));
    root.insert(QStringLiteral("Profiles"), ArchiveArray{profile});
    return gzip(KeyedArchiver::archivedData(root));
}

// Runs the event loop until done says so; network answers arrive through it.
template <typename Done> bool spinUntil(Done done)
{
    QDeadlineTimer deadline(10000);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

class ProfileDownloadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        destination = folder.filePath(QStringLiteral("caches/HardwareProfiles"));
        download.setDestinationPath(destination);
        NotificationCenter::shared().addObserver(
            OVHardwareProfileDidUpdateNotification, nullptr, [this](const Notification&) { ++notifications; },
            this);
        UserDefaults::shared().setObject(server.url(QStringLiteral("/profiles.gz")).toString(),
                                         OVHardwareProfileDownload::kAddressKey);
    }
    void TearDown() override
    {
        NotificationCenter::shared().removeObserver(this);
        UserDefaults::shared().removeObjectForKey(OVHardwareProfileDownload::kAddressKey);
    }

    // Starts a download and waits for it to end.
    void fetch()
    {
        ASSERT_TRUE(download.updateHardwareProfiles());
        ASSERT_TRUE(spinUntil([this] { return !download.isUpdatingHardwareProfiles(); }));
    }

    QTemporaryDir folder;
    QString destination;
    LoopbackHttpServer server;
    OVHardwareProfileDownload download;
    int notifications = 0;
};

TEST(RequestAddressTest, OnlyHttpsOrPlainHttpToThisMachineIsAsked)
{
    EXPECT_TRUE(OVIsPermittedRequestAddress(QUrl(QStringLiteral("https://example.org/profiles.gz"))));
    EXPECT_TRUE(OVIsPermittedRequestAddress(QUrl(QStringLiteral("http://127.0.0.1:8080/x"))));
    EXPECT_TRUE(OVIsPermittedRequestAddress(QUrl(QStringLiteral("http://[::1]/x"))));
    EXPECT_TRUE(OVIsPermittedRequestAddress(QUrl(QStringLiteral("http://localhost/x"))));
    EXPECT_FALSE(OVIsPermittedRequestAddress(QUrl(QStringLiteral("http://example.org/x"))));
    EXPECT_FALSE(OVIsPermittedRequestAddress(QUrl(QStringLiteral("ftp://127.0.0.1/x"))));
    EXPECT_FALSE(OVIsPermittedRequestAddress(QUrl(QStringLiteral("file:///etc/passwd"))));
    EXPECT_FALSE(OVIsPermittedRequestAddress(QUrl()));
}

TEST_F(ProfileDownloadTest, TwoFeedLoadsFetchOnceAndTheListIsStoredAndAnnouncedOnce)
{
    const QByteArray list = profileList();
    server.respond(200, list);
    EXPECT_TRUE(download.updateHardwareProfiles());
    EXPECT_TRUE(download.isUpdatingHardwareProfiles());
    // The second feed load finds the first download running.
    EXPECT_FALSE(download.updateHardwareProfiles());
    ASSERT_TRUE(spinUntil([this] { return !download.isUpdatingHardwareProfiles(); }));
    EXPECT_EQ(server.requests().size(), 1);
    EXPECT_EQ(server.requests().value(0).path, "/profiles.gz");
    EXPECT_EQ(contents(destination), list);
    EXPECT_EQ(notifications, 1);
    const auto read = OVHardwareProfiles::readDownloadedProfilesFile(destination, nullptr);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->profiles.size(), 1u);
}

TEST_F(ProfileDownloadTest, AnythingButAProfileListLeavesTheStoredFileByteForByte)
{
    server.respond(200, profileList());
    fetch();
    const QByteArray stored = contents(destination);
    ASSERT_EQ(notifications, 1);

    const QByteArray another = gzip(QByteArray("not an archive"));
    const std::vector<std::function<void()>> answers = {
        [&] { server.respond(404, profileList()); },
        [&] { server.respond(500, QByteArray()); },
        [&] { server.respond(200, QByteArray("<html>Sign in to the hotel network</html>")); },
        [&] { server.respond(200, another); },
        [&] { server.respondTruncated(profileList(), profileList().size() / 2); },
        [&] { server.respond(200, gzip(QByteArray(OVHardwareProfiles::kMaxFileSize + 10, 'x'))); },
        [&] { server.respond(200, QByteArray(OVHardwareProfiles::kMaxFileSize + 10, '\x1f')); },
    };
    for (const auto& answer : answers) {
        answer();
        fetch();
        EXPECT_EQ(contents(destination), stored);
    }
    EXPECT_EQ(notifications, 1);
    EXPECT_EQ(server.requests().size(), qsizetype(answers.size() + 1));
}

TEST_F(ProfileDownloadTest, NoAddressOrAnUnsafeOneSendsNothing)
{
    UserDefaults::shared().removeObjectForKey(OVHardwareProfileDownload::kAddressKey);
    EXPECT_EQ(UserDefaults::shared().stringForKey(OVHardwareProfileDownload::kAddressKey), QString());
    EXPECT_FALSE(download.updateHardwareProfiles());
    UserDefaults::shared().setObject(QStringLiteral("http://example.org/profiles.gz"),
                                     OVHardwareProfileDownload::kAddressKey);
    EXPECT_FALSE(download.updateHardwareProfiles());
    EXPECT_FALSE(download.isUpdatingHardwareProfiles());
    EXPECT_TRUE(server.requests().isEmpty());
    EXPECT_FALSE(QFile::exists(destination));
}

class CrashReportsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        reports = folder.filePath(QStringLiteral("Crash Reports"));
        defaults.registerDefaults({});
    }
    QTemporaryDir folder;
    QString reports;
    UserDefaults defaults{folder.filePath(QStringLiteral("Orvane.plist"))};
    HVAnalytics statistics;
};

TEST_F(CrashReportsTest, ACrashingProcessLeavesAReportAndDiesOfItsSignal)
{
    for (const int signal : {SIGSEGV, SIGABRT, SIGFPE}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            OVCrashReportSender::installHandlers(reports, QStringLiteral("7.2"), QStringLiteral("915"));
            ::raise(signal);
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(WTERMSIG(status), signal);
    }
    const std::vector<OVCrashReportSender::Report> found = OVCrashReportSender::pendingReports(reports);
    ASSERT_EQ(found.size(), 3u);
    EXPECT_TRUE(found[0].text.startsWith(QStringLiteral("Orvane crash report\nVersion: 7.2\nBuild: 915\n")));
    EXPECT_TRUE(found[0].text.contains(QStringLiteral("Signal: 11 (SIGSEGV)")));
    EXPECT_TRUE(found[1].text.contains(QStringLiteral("(SIGABRT)")));
    EXPECT_TRUE(found[2].text.contains(QStringLiteral("Backtrace:\n")));
    EXPECT_TRUE(found[2].text.contains(QStringLiteral(" UTC\n")));
    EXPECT_TRUE(QDir(reports).entryList({QStringLiteral("*.partial")}, QDir::Files).isEmpty());
}

TEST_F(CrashReportsTest, AnUncaughtExceptionLeavesOneReportAndAborts)
{
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        OVCrashReportSender::installHandlers(reports, QStringLiteral("7.2"), QStringLiteral("915"));
        std::terminate();
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGABRT);
    const auto found = OVCrashReportSender::pendingReports(reports);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_TRUE(found[0].text.contains(QStringLiteral("Cause: std::terminate")));
}

TEST_F(CrashReportsTest, EachReportIsCountedOnceAndOfferedUntilSentOrDeclined)
{
    OVCrashReportSender::writeReportForTesting(reports, QStringLiteral("7.2"), QStringLiteral("915"),
                                               SIGSEGV);
    // Files that are not reports are neither counted nor offered nor removed.
    QFile stray(QDir(reports).filePath(QStringLiteral("Orvane-notanumber.crash")));
    ASSERT_TRUE(stray.open(QIODevice::WriteOnly));
    stray.close();
    EXPECT_EQ(OVCrashReportSender::countNewReports(reports, defaults, statistics), 1);
    EXPECT_EQ(OVCrashReportSender::countNewReports(reports, defaults, statistics), 0);
    EXPECT_EQ(statistics.appCrashCount(), 1);
    EXPECT_TRUE(defaults.objectForKey(OVCrashReportSender::kLastCrashDateKey).isDate());

    LoopbackHttpServer server;
    OVCrashReportSender sender(reports);
    int asked = 0;
    const auto no = [&asked](const std::vector<OVCrashReportSender::Report>&) {
        ++asked;
        return false;
    };
    const auto yes = [&asked](const std::vector<OVCrashReportSender::Report>&) {
        ++asked;
        return true;
    };
    // No address: nobody is asked and the report stays.
    EXPECT_FALSE(sender.sendPendingReports(QUrl(), yes));
    EXPECT_EQ(asked, 0);

    // The server fails: the report stays for the next launch.
    server.respond(503, {});
    int sent = -1;
    ASSERT_TRUE(
        sender.sendPendingReports(server.url(QStringLiteral("/reports")), yes, [&sent](int n) { sent = n; }));
    ASSERT_TRUE(spinUntil([&sent] { return sent >= 0; }));
    EXPECT_EQ(sent, 0);
    EXPECT_EQ(OVCrashReportSender::pendingReports(reports).size(), 1u);

    // It takes it: the server has the report's text and the report is gone.
    server.respond(200, "thanks");
    sent = -1;
    ASSERT_TRUE(
        sender.sendPendingReports(server.url(QStringLiteral("/reports")), yes, [&sent](int n) { sent = n; }));
    ASSERT_TRUE(spinUntil([&sent] { return sent >= 0; }));
    EXPECT_EQ(sent, 1);
    ASSERT_EQ(server.requests().size(), 2);
    EXPECT_EQ(server.requests().last().method, "POST");
    EXPECT_TRUE(server.requests().last().body.contains("Signal: 11 (SIGSEGV)"));
    EXPECT_TRUE(OVCrashReportSender::pendingReports(reports).empty());
    EXPECT_FALSE(sender.sendPendingReports(server.url(QStringLiteral("/reports")), yes));
    EXPECT_EQ(asked, 2);

    // A declined one is removed unsent.
    OVCrashReportSender::writeReportForTesting(reports, QStringLiteral("7.2"), QStringLiteral("915"), SIGBUS);
    EXPECT_TRUE(sender.sendPendingReports(server.url(QStringLiteral("/reports")), no));
    EXPECT_TRUE(OVCrashReportSender::pendingReports(reports).empty());
    EXPECT_EQ(server.requests().size(), 2);
    EXPECT_TRUE(stray.exists());
}

} // namespace
