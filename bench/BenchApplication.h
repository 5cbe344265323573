#pragma once

// The offscreen application every benchmark of views, windows and layout runs in, made on first use.
#include <QApplication>

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

} // namespace bench
