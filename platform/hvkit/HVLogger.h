#pragma once

#include <QString>

#include <functional>

// The process's log: once redirected, every Qt message (qDebug to qFatal) goes through here, is
// stamped with time, process name and id, and is written to standard error and the log file.
class HVLogger {
public:
    // Receives each finished line; tests use it to read what was logged.
    using Sink = std::function<void(const QString& line)>;

    // Installs the logger as Qt's message handler; a second call changes nothing.
    static void redirectLogs();
    // Puts back the handler that was installed before redirectLogs().
    static void restoreLogs();
    static bool isRedirectingLogs();

    // Records the launch: application, version and build, and the system underneath.
    static void logAppLaunchInformation();

    // The file lines are appended to; empty means standard error only. Defaults to
    // "Logs/<application name>.log" in the application's data folder.
    static QString logFilePath();
    static void setLogFilePath(const QString& path);

    // Replaces standard error and the file; an empty sink restores them.
    static void setSink(Sink sink);
};
