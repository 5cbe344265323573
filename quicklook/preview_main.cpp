// orvane-preview FILE shows a native package's preview in a window; orvane-preview --png OUT FILE
// renders the preview's first screen to a PNG instead. Errors go to stderr with exit status 1;
// a usage error exits 2. No partial PNG is ever left behind.

#include "quicklook/OVQuickLookContent.h"
#include "quicklook/PreviewViewController.h"

#include <QApplication>
#include <QFileInfo>
#include <QSaveFile>
#include <QWidget>

#include <cstdio>
#include <cstring>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: orvane-preview FILE\n       orvane-preview --png OUT FILE\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    const bool toPng = argc > 1 && std::strcmp(argv[1], "--png") == 0;
    // Rendering to a file needs no display.
    if (toPng && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    if ((toPng && arguments.size() != 3) || (!toPng && arguments.size() != 1))
        return usage();
    const QString file = arguments.last();

    PreviewViewController controller;
    std::optional<Error> failure;
    controller.preparePreviewOfFileAtURL(QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()),
                                         [&failure](const std::optional<Error>& error) { failure = error; });
    if (failure) {
        std::fprintf(stderr, "orvane-preview: %s: %s\n", qPrintable(file),
                     qPrintable(OVQuickLookContent::message(*failure)));
        return 1;
    }
    QWidget* view = controller.view();
    view->setWindowTitle(QFileInfo(file).completeBaseName());
    if (!toPng) {
        view->show();
        return app.exec();
    }
    view->ensurePolished();
    const QImage screen = view->grab().toImage();
    QSaveFile output(arguments.at(1));
    if (screen.isNull() || !output.open(QIODevice::WriteOnly) || !screen.save(&output, "PNG") ||
        !output.commit()) {
        std::fprintf(stderr, "orvane-preview: cannot write %s\n", qPrintable(arguments.at(1)));
        return 1;
    }
    return 0;
}
