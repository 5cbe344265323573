// orvane-thumbnail -s SIZE INPUT OUTPUT: the freedesktop thumbnailer of native packages. Writes a PNG
// of at most SIZE x SIZE, or nothing: exit 4 without an input, 1 when the package cannot be drawn,
// 2 for a malformed command line.

#include "quicklook/OVQuickLookContent.h"
#include "quicklook/ThumbnailProvider.h"

#include <QGuiApplication>
#include <QSaveFile>
#include <QUrl>

#include <cstdio>
#include <cstdlib>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: orvane-thumbnail -s SIZE INPUT OUTPUT\n");
    return 2;
}

// File managers pass either a path or a file URI, as their entry asks.
QString localPath(const QString& argument)
{
    if (argument.startsWith(QLatin1String("file:")))
        return QUrl(argument).toLocalFile();
    return argument;
}

} // namespace

int main(int argc, char** argv)
{
    // Started once per file by a file manager, often without a display of its own.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    int size = 0;
    if (arguments.size() >= 2 && arguments.first() == QLatin1String("-s")) {
        bool ok = false;
        size = arguments.at(1).toInt(&ok);
        if (!ok)
            return usage();
        arguments = arguments.mid(2);
    } else {
        return usage();
    }
    if (arguments.isEmpty() || arguments.first().isEmpty()) {
        std::fprintf(stderr, "orvane-thumbnail: no input file\n");
        return int(ThumbnailProvider::kNoFileErrorCode);
    }
    if (arguments.size() != 2)
        return usage();
    if (size < 1) {
        std::fprintf(stderr, "orvane-thumbnail: the size must be at least 1\n");
        return 2;
    }
    const QString input = localPath(arguments.at(0));
    Error error;
    const QImage thumbnail = ThumbnailProvider::provideThumbnailForFile(input, QSize(size, size), &error);
    if (thumbnail.isNull()) {
        std::fprintf(stderr, "orvane-thumbnail: %s: %s\n", qPrintable(input),
                     qPrintable(OVQuickLookContent::message(error)));
        return 1;
    }
    // Written aside and moved in, so a failure leaves no partial thumbnail behind.
    QSaveFile output(arguments.at(1));
    if (!output.open(QIODevice::WriteOnly) || !thumbnail.save(&output, "PNG") || !output.commit()) {
        std::fprintf(stderr, "orvane-thumbnail: cannot write %s\n", qPrintable(arguments.at(1)));
        return 1;
    }
    return 0;
}
