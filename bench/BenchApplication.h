#pragma once

// The offscreen application every benchmark of views, windows and layout runs in, made on first use
// and destroyed by the benchmarks' main before the program's static objects are.
#include <QApplication>
#include <QTemporaryDir>

#include <memory>

namespace bench {

// Held here rather than in a function-local static: at exit such a static is destroyed after the Qt
// objects first used while the benchmarks ran (font and glyph caches), and its clean-up routines then
// reach into them.
inline std::unique_ptr<QApplication>& applicationSlot()
{
    static std::unique_ptr<QApplication> app;
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

// Made in folders of the run: no benchmark ever reads or resets the user's own settings.
inline QApplication& application()
{
    static int argc = 1;
    static char name[] = "orvane-bench";
    static char* argv[] = {name, nullptr};
    std::unique_ptr<QApplication>& app = applicationSlot();
    if (!app) {
        isolateUserFolders();
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QApplication>(argc, argv);
    }
    return *app;
}

} // namespace bench
