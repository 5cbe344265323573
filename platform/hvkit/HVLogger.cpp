#include "platform/hvkit/HVLogger.h"

#include "platform/foundation/DataFolder.h"
#include "platform/hvkit/HVVersion.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include <cstdio>
#include <mutex>

namespace {

// A log that grows without end fills the disk of a machine that prompts every day for years.
constexpr qint64 kMaximumLogFileSize = 4 * 1024 * 1024;

struct LoggerState {
    std::mutex mutex;
    bool redirected = false;
    QtMessageHandler previousHandler = nullptr;
    bool hasCustomPath = false;
    QString customPath;
    HVLogger::Sink sink;
    QFile file;
};

LoggerState& state()
{
    static LoggerState loggerState;
    return loggerState;
}

QString defaultLogFilePath()
{
    const QString folder = DataFolder::path();
    if (folder.isEmpty())
        return {};
    QString name = QCoreApplication::applicationName();
    if (name.isEmpty())
        name = QStringLiteral("Orvane");
    return folder + QStringLiteral("/Logs/") + name + QStringLiteral(".log");
}

QString levelName(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return QStringLiteral("debug");
    case QtInfoMsg:
        return QStringLiteral("info");
    case QtWarningMsg:
        return QStringLiteral("warning");
    case QtCriticalMsg:
        return QStringLiteral("critical");
    case QtFatalMsg:
        return QStringLiteral("fatal");
    }
    return {};
}

QString formatLine(QtMsgType type, const QString& message)
{
    QString name = QCoreApplication::applicationName();
    if (name.isEmpty())
        name = QStringLiteral("Orvane");
    return QStringLiteral("%1 %2[%3] <%4> %5")
        .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")), name,
             QString::number(QCoreApplication::applicationPid()), levelName(type), message);
}

// Called with the state's mutex held.
void openLogFile(LoggerState& s)
{
    const QString path = s.hasCustomPath ? s.customPath : defaultLogFilePath();
    if (path.isEmpty())
        return;
    QFileInfo info(path);
    QDir().mkpath(info.absolutePath());
    if (info.exists() && info.size() > kMaximumLogFileSize) {
        const QString previous = path + QStringLiteral(".1");
        QFile::remove(previous);
        QFile::rename(path, previous);
    }
    s.file.setFileName(path);
    if (!s.file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        std::fprintf(stderr, "could not open the log file %s\n", qPrintable(path));
}

void handleMessage(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    LoggerState& s = state();
    const QString line = formatLine(type, message);
    std::lock_guard lock(s.mutex);
    if (s.sink) {
        s.sink(line);
        return;
    }
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    if (s.file.isOpen()) {
        s.file.write(bytes);
        s.file.flush();
    }
}

} // namespace

void HVLogger::redirectLogs()
{
    LoggerState& s = state();
    QString moved;
    {
        std::lock_guard lock(s.mutex);
        if (s.redirected)
            return;
        s.redirected = true;
        // The log lives in the data folder, so an older version's folder moves before the log opens
        // and the log goes on in the same file.
        if (!s.hasCustomPath)
            moved = DataFolder::moveContentsOfOldFolder();
        openLogFile(s);
    }
    s.previousHandler = qInstallMessageHandler(handleMessage);
    if (!moved.isEmpty())
        qInfo().noquote() << moved;
}

void HVLogger::restoreLogs()
{
    LoggerState& s = state();
    if (!s.redirected)
        return;
    qInstallMessageHandler(s.previousHandler);
    std::lock_guard lock(s.mutex);
    s.redirected = false;
    s.previousHandler = nullptr;
    s.file.close();
}

bool HVLogger::isRedirectingLogs()
{
    return state().redirected;
}

void HVLogger::logAppLaunchInformation()
{
    QString name = QCoreApplication::applicationName();
    if (name.isEmpty())
        name = QStringLiteral("Orvane");
    qInfo().noquote() << QStringLiteral("%1 %2 (%3) launched on %4, kernel %5 %6")
                             .arg(name, HVVersion::appVersion().stringValue(),
                                  HVVersion::appBuildVersion().stringValue(), QSysInfo::prettyProductName(),
                                  QSysInfo::kernelType(), QSysInfo::kernelVersion());
}

QString HVLogger::logFilePath()
{
    LoggerState& s = state();
    std::lock_guard lock(s.mutex);
    return s.hasCustomPath ? s.customPath : defaultLogFilePath();
}

void HVLogger::setLogFilePath(const QString& path)
{
    LoggerState& s = state();
    std::lock_guard lock(s.mutex);
    s.hasCustomPath = true;
    s.customPath = path;
    if (s.file.isOpen())
        s.file.close();
    if (s.redirected)
        openLogFile(s);
}

void HVLogger::setSink(Sink sink)
{
    LoggerState& s = state();
    std::lock_guard lock(s.mutex);
    s.sink = std::move(sink);
}
