#pragma once

// The offscreen application every benchmark of views, windows and layout runs in, made on first use.
#include <QApplication>
#include <QTemporaryDir>

namespace bench {

inline QApplication& application()
{
    static int argc = 1;
    static char name[] = "orvane-bench";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
    return app;
}

// Points the settings, data and cache folders at a folder of this run, so that the settings and
// statistics a benchmark writes stay out of the user's own. The folder lasts as long as the process.
inline void isolateUserFolders()
{
    static QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
    qputenv("XDG_CACHE_HOME", home.filePath(QStringLiteral("cache")).toUtf8());
}

} // namespace bench
