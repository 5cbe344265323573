#pragma once

#include <QDateTime>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <vector>

class HVAnalytics;
class QNetworkAccessManager;
class UserDefaults;

// Crash reports: a fatal signal or an uncaught exception leaves a text report in the data folder,
// and the next launch counts it and, when the user has named an address to send reports to, offers
// to send it. Nothing is sent without that address and the user's yes.
class OVCrashReportSender {
public:
    // When the newest counted report was written; kept through every reset of all settings.
    static inline const QString kLastCrashDateKey = QStringLiteral("CrashReportSender.lastCrashDate");
    // Where reports are posted; registered empty, and empty means reports stay on this machine.
    static inline const QString kAddressKey = QStringLiteral("crashReportsURL");

    // One report waiting in the folder.
    struct Report {
        QString path;
        QDateTime written;
        QString text;
    };

    // "Crash Reports" in the data folder.
    static QString defaultFolder();

    // Writes a report into folder, then lets the signal end the process as it would have (exit
    // status and core dump unchanged), for SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT and
    // std::terminate. Everything the handlers need is prepared here: they call only functions that
    // are safe inside a signal handler. Answers false when the folder cannot be made.
    static bool installHandlers(const QString& folder, const QString& version, const QString& build);
    // Writes the report the handlers write for signal (0: std::terminate) into folder, from normal
    // code; for measuring and testing what a crash leaves. Answers the report's path.
    static QString writeReportForTesting(const QString& folder, const QString& version, const QString& build,
                                         int signal);

    // Every report in the folder, oldest first; files that are not reports are left alone.
    static std::vector<Report> pendingReports(const QString& folder);
    // Reports wait for an address to send them to; without one only the newest few are kept, so a
    // program that keeps crashing never fills the disk. Answers how many were removed.
    static constexpr int kKeptReportsWithoutAddress = 10;
    static int removeOldReports(const QString& folder, int kept = kKeptReportsWithoutAddress);
    // Adds the reports written after the last counted one to the statistics' crash count and moves
    // the last-crash date on; answers how many were new.
    static int countNewReports(const QString& folder, UserDefaults& defaults, HVAnalytics& statistics);

    // What the user answers when offered reports: true sends them.
    using Asker = std::function<bool(const std::vector<Report>& reports)>;
    // Called once every send has ended, with the number that reached the server.
    using Completion = std::function<void(int sent)>;

    explicit OVCrashReportSender(QString folder = defaultFolder());
    ~OVCrashReportSender();

    // Offers the pending reports when an address is set. Declined reports are removed; sent ones
    // are removed once the server took them (a 2xx answer); one that could not be sent stays for
    // the next launch. Answers whether the user was asked.
    bool sendPendingReports(const QUrl& address, const Asker& ask, Completion completion = {});
    bool isSending() const { return m_pending > 0; }

    // The alert of the end of launching: the report's text, Send and Don't Send.
    static bool askWithAlert(const std::vector<Report>& reports);

private:
    QString m_folder;
    std::unique_ptr<QNetworkAccessManager> m_network;
    int m_pending = 0;
    int m_sent = 0;
};
