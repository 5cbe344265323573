#include "services/OVCrashReportSender.h"

#include "platform/appkit/Alert.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/DataFolder.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVAnalytics.h"
#include "services/OVRequestAddress.h"

#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPlainTextEdit>

#include <algorithm>
#include <exception>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <execinfo.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kHandledSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
constexpr const char* kReportPrefix = "Orvane-";
constexpr const char* kReportSuffix = ".crash";
constexpr qint64 kMaxReportSize = 256 * 1024;
constexpr int kMaxFrames = 64;

// Everything the handlers touch is made before a crash: fixed buffers, no allocation, no locks.
char g_folder[4096];
char g_header[1024];
std::size_t g_headerLength = 0;
volatile sig_atomic_t g_reporting = 0;
// Room to run the handler in when the crash is a stack overflow.
alignas(16) char g_alternateStack[64 * 1024];

// A fixed-size text buffer filled only with signal-safe steps.
struct SafeText {
    char data[4096];
    std::size_t length = 0;

    void append(const char* text)
    {
        while (*text && length + 1 < sizeof data)
            data[length++] = *text++;
        data[length] = '\0';
    }
    void appendNumber(unsigned long long value, int minimumDigits = 1)
    {
        char digits[24];
        int count = 0;
        do {
            digits[count++] = char('0' + value % 10);
            value /= 10;
        } while (value && count < 24);
        while (count < minimumDigits && count < 24)
            digits[count++] = '0';
        while (count && length + 1 < sizeof data)
            data[length++] = digits[--count];
        data[length] = '\0';
    }
};

const char* signalName(int signal)
{
    switch (signal) {
    case SIGSEGV:
        return "SIGSEGV";
    case SIGBUS:
        return "SIGBUS";
    case SIGILL:
        return "SIGILL";
    case SIGFPE:
        return "SIGFPE";
    case SIGABRT:
        return "SIGABRT";
    }
    return "unknown";
}

// Days since 1970-01-01 as a civil date (Howard Hinnant's algorithm): gmtime is not signal-safe.
void appendUtcTime(SafeText& text, long long seconds)
{
    const long long days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
    const long long secondsOfDay = seconds - days * 86400;
    const long long z = days + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long dayOfEra = z - era * 146097;
    const long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long mp = (5 * dayOfYear + 2) / 153;
    const long long day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const long long month = mp < 10 ? mp + 3 : mp - 9;
    const long long year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    text.appendNumber(static_cast<unsigned long long>(year), 4);
    text.append("-");
    text.appendNumber(static_cast<unsigned long long>(month), 2);
    text.append("-");
    text.appendNumber(static_cast<unsigned long long>(day), 2);
    text.append(" ");
    text.appendNumber(static_cast<unsigned long long>(secondsOfDay / 3600), 2);
    text.append(":");
    text.appendNumber(static_cast<unsigned long long>(secondsOfDay / 60 % 60), 2);
    text.append(":");
    text.appendNumber(static_cast<unsigned long long>(secondsOfDay % 60), 2);
    text.append(" UTC");
}

bool writeAll(int fd, const char* data, std::size_t length)
{
    while (length > 0) {
        const ssize_t written = ::write(fd, data, length);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        length -= static_cast<std::size_t>(written);
    }
    return true;
}

// Signal-safe: open, write, rename, close, clock_gettime, getpid, backtrace_symbols_fd and our
// own formatting only. The report is written under a temporary name and renamed when complete,
// so a crash inside the handler never leaves half a report to be offered.
void writeReport(int signal)
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const unsigned long long milliseconds = static_cast<unsigned long long>(now.tv_sec) * 1000ULL +
                                            static_cast<unsigned long long>(now.tv_nsec / 1000000);
    SafeText name;
    name.append(g_folder);
    name.append(kReportPrefix);
    name.appendNumber(milliseconds);
    name.append("-");
    name.appendNumber(static_cast<unsigned long long>(getpid()));
    SafeText finalName = name;
    name.append(".partial");
    finalName.append(kReportSuffix);

    const int fd = ::open(name.data, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    SafeText body;
    if (signal == 0) {
        body.append("Cause: std::terminate (an uncaught exception)\n");
    } else {
        body.append("Signal: ");
        body.appendNumber(static_cast<unsigned long long>(signal));
        body.append(" (");
        body.append(signalName(signal));
        body.append(")\n");
    }
    body.append("Time: ");
    appendUtcTime(body, static_cast<long long>(now.tv_sec));
    body.append("\nProcess: ");
    body.appendNumber(static_cast<unsigned long long>(getpid()));
    body.append("\nBacktrace:\n");
    bool complete = writeAll(fd, g_header, g_headerLength) && writeAll(fd, body.data, body.length);
    if (complete) {
        void* frames[kMaxFrames];
        const int count = backtrace(frames, kMaxFrames);
        backtrace_symbols_fd(frames, count, fd);
    }
    ::close(fd);
    if (complete)
        ::rename(name.data, finalName.data);
    else
        ::unlink(name.data);
}

void handleSignal(int signal)
{
    // A crash inside the report, or the abort that follows std::terminate, writes no second one.
    if (!g_reporting) {
        g_reporting = 1;
        writeReport(signal);
    }
    // The handler was installed to reset itself: the signal now takes its default action, so the
    // exit status and the core dump are what they would have been without a report.
    ::raise(signal);
}

void handleTerminate()
{
    if (!g_reporting) {
        g_reporting = 1;
        writeReport(0);
    }
    std::abort();
}

bool prepare(const QString& folder, const QString& version, const QString& build)
{
    if (folder.isEmpty() || !QDir().mkpath(folder))
        return false;
    const QByteArray path = QFile::encodeName(QDir(folder).absolutePath()) + '/';
    const QByteArray header =
        QStringLiteral("Orvane crash report\nVersion: %1\nBuild: %2\n").arg(version, build).toUtf8();
    if (std::size_t(path.size()) >= sizeof g_folder || std::size_t(header.size()) >= sizeof g_header)
        return false;
    std::memcpy(g_folder, path.constData(), std::size_t(path.size()) + 1);
    std::memcpy(g_header, header.constData(), std::size_t(header.size()) + 1);
    g_headerLength = std::size_t(header.size());
    // The first backtrace loads the unwinder, which allocates: do it now, not in a handler.
    void* frames[2];
    backtrace(frames, 2);
    return true;
}

std::optional<qint64> reportMilliseconds(const QString& fileName)
{
    if (!fileName.startsWith(QLatin1String(kReportPrefix)) ||
        !fileName.endsWith(QLatin1String(kReportSuffix)))
        return std::nullopt;
    const QString stem =
        fileName.mid(int(std::strlen(kReportPrefix)),
                     fileName.size() - int(std::strlen(kReportPrefix)) - int(std::strlen(kReportSuffix)));
    bool ok = false;
    const qint64 milliseconds = stem.section(QLatin1Char('-'), 0, 0).toLongLong(&ok);
    if (!ok || milliseconds <= 0)
        return std::nullopt;
    return milliseconds;
}

} // namespace

QString OVCrashReportSender::defaultFolder()
{
    const QString data = DataFolder::path();
    return data.isEmpty() ? QString() : data + QStringLiteral("/Crash Reports");
}

bool OVCrashReportSender::installHandlers(const QString& folder, const QString& version, const QString& build)
{
    if (!prepare(folder, version, build))
        return false;
    stack_t alternate{};
    alternate.ss_sp = g_alternateStack;
    alternate.ss_size = sizeof g_alternateStack;
    sigaltstack(&alternate, nullptr);
    struct sigaction action {};
    action.sa_handler = handleSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND | SA_NODEFER | SA_ONSTACK;
    for (const int signal : kHandledSignals)
        sigaction(signal, &action, nullptr);
    std::set_terminate(handleTerminate);
    return true;
}

QString OVCrashReportSender::writeReportForTesting(const QString& folder, const QString& version,
                                                   const QString& build, int signal)
{
    if (!prepare(folder, version, build))
        return {};
    const QStringList before = QDir(folder).entryList(QDir::Files);
    writeReport(signal);
    for (const QString& name : QDir(folder).entryList(QDir::Files)) {
        if (!before.contains(name) && reportMilliseconds(name))
            return QDir(folder).filePath(name);
    }
    return {};
}

std::vector<OVCrashReportSender::Report> OVCrashReportSender::pendingReports(const QString& folder)
{
    std::vector<Report> reports;
    if (folder.isEmpty())
        return reports;
    const QDir directory(folder);
    for (const QString& name : directory.entryList(QDir::Files, QDir::Name)) {
        const std::optional<qint64> milliseconds = reportMilliseconds(name);
        if (!milliseconds)
            continue;
        QFile file(directory.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        Report report;
        report.path = file.fileName();
        report.written = QDateTime::fromMSecsSinceEpoch(*milliseconds, Qt::UTC);
        report.text = QString::fromUtf8(file.read(kMaxReportSize));
        reports.push_back(std::move(report));
    }
    std::stable_sort(reports.begin(), reports.end(),
                     [](const Report& a, const Report& b) { return a.written < b.written; });
    return reports;
}

int OVCrashReportSender::removeOldReports(const QString& folder, int kept)
{
    const std::vector<Report> reports = pendingReports(folder);
    int removed = 0;
    // Oldest first: everything before the newest kept goes.
    for (std::size_t index = 0; index + std::size_t(std::max(0, kept)) < reports.size(); ++index)
        removed += QFile::remove(reports[index].path) ? 1 : 0;
    return removed;
}

int OVCrashReportSender::countNewReports(const QString& folder, UserDefaults& defaults,
                                         HVAnalytics& statistics)
{
    const PlistValue stored =
        defaults.hasUserValue(kLastCrashDateKey) ? defaults.objectForKey(kLastCrashDateKey) : PlistValue();
    const std::optional<double> last =
        stored.isDate()
            ? std::optional<double>(stored.date().secondsSinceReferenceDate + kReferenceDateUnixOffset)
            : std::nullopt;
    int count = 0;
    double newest = last.value_or(0);
    for (const Report& report : pendingReports(folder)) {
        const double written = double(report.written.toMSecsSinceEpoch()) / 1000.0;
        if (last && written <= *last)
            continue;
        ++count;
        newest = std::max(newest, written);
    }
    if (count == 0)
        return 0;
    statistics.addAppCrashes(count);
    defaults.setObject(PlistDate{newest - kReferenceDateUnixOffset}, kLastCrashDateKey);
    return count;
}

OVCrashReportSender::OVCrashReportSender(QString folder) : m_folder(std::move(folder)) {}

OVCrashReportSender::~OVCrashReportSender() = default;

bool OVCrashReportSender::sendPendingReports(const QUrl& address, const Asker& ask, Completion completion)
{
    if (!OVIsPermittedRequestAddress(address) || isSending())
        return false;
    const std::vector<Report> reports = pendingReports(m_folder);
    if (reports.empty())
        return false;
    if (!ask(reports)) {
        for (const Report& report : reports)
            QFile::remove(report.path);
        if (completion)
            completion(0);
        return true;
    }
    if (!m_network)
        m_network = std::make_unique<QNetworkAccessManager>();
    m_pending = int(reports.size());
    m_sent = 0;
    for (const Report& report : reports) {
        QNetworkRequest request(address);
        request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("text/plain; charset=utf-8"));
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                             QNetworkRequest::SameOriginRedirectPolicy);
        QNetworkReply* reply = m_network->post(request, report.text.toUtf8());
        QObject::connect(
            reply, &QNetworkReply::finished, reply, [this, reply, path = report.path, completion] {
                reply->deleteLater();
                const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
                if (reply->error() == QNetworkReply::NoError && status >= 200 && status <= 299) {
                    QFile::remove(path);
                    ++m_sent;
                } else {
                    qWarning().noquote()
                        << QStringLiteral("sendCrashReport: could not send %1, kept for the next launch: %2")
                               .arg(path, reply->errorString());
                }
                if (--m_pending == 0 && completion)
                    completion(m_sent);
            });
    }
    return true;
}

bool OVCrashReportSender::askWithAlert(const std::vector<Report>& reports)
{
    Alert alert;
    alert.setMessageText(reports.size() == 1
                             ? QStringLiteral("Orvane quit unexpectedly.")
                             : QStringLiteral("Orvane quit unexpectedly %1 times.").arg(reports.size()));
    alert.setInformativeText(QStringLiteral(
        "Send the crash report to the address in the settings, so the problem can be found? It holds the "
        "program's "
        "version, the signal and where the program stopped, as shown below; nothing of your scripts."));
    QString text;
    for (const Report& report : reports) {
        if (!text.isEmpty())
            text += QStringLiteral("\n----\n\n");
        text += report.text;
    }
    auto view = std::make_unique<QPlainTextEdit>();
    view->setReadOnly(true);
    view->setPlainText(text);
    view->setMinimumSize(520, 220);
    view->setObjectName(QStringLiteral("crashReportText"));
    alert.setAccessoryView(std::move(view));
    alert.addButtonWithTitle(QStringLiteral("Send"));
    alert.addButtonWithTitle(QStringLiteral("Don't Send"));
    return alert.runModal() == Alert::kFirstButtonReturn;
}
