// orvane-write-sample [PACKAGE]: writes the shipped sample script with our own package writer, by
// default to resources/Sample Script.ovdocument under the working folder (the tree's root).
// orvane-write-sample --demo-documents [FOLDER]: writes the Help menu's demo documents, by default to
// resources/Demo Documents.
// orvane-write-sample --release-notes [RESOURCES]: writes this release's note and the about window's
// credits, by default under resources.
#include "app/sample/DemoDocuments.h"
#include "app/sample/ReleaseNotes.h"
#include "app/sample/SampleScript.h"
#include "platform/foundation/Error.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() >= 2 && arguments[1] == QLatin1String("--demo-documents") && arguments.size() <= 3) {
        const QString folder = arguments.size() == 3 ? arguments[2] : demodocuments::kRelativeFolder;
        Error error;
        if (!demodocuments::writeDemoDocuments(folder, &error)) {
            std::fprintf(stderr, "orvane-write-sample: %s\n", qPrintable(error.localizedDescription()));
            return 1;
        }
        return 0;
    }
    if (arguments.size() >= 2 && arguments[1] == QLatin1String("--release-notes") && arguments.size() <= 3) {
        const QString folder = arguments.size() == 3 ? arguments[2] : releasenotes::kResourcesRelativeFolder;
        Error error;
        if (!releasenotes::writeReleaseNotes(folder, &error)) {
            std::fprintf(stderr, "orvane-write-sample: %s\n", qPrintable(error.localizedDescription()));
            return 1;
        }
        return 0;
    }
    if (arguments.size() > 2 || (arguments.size() == 2 && arguments[1].startsWith(QLatin1Char('-')))) {
        std::fprintf(
            stderr,
            "usage: orvane-write-sample [PACKAGE]\n       orvane-write-sample --demo-documents [FOLDER]\n"
            "       orvane-write-sample --release-notes [RESOURCES]\n");
        return 2;
    }
    const QString path = arguments.size() == 2 ? arguments[1] : samplescript::kSampleRelativePath;
    Error error;
    if (!samplescript::writeSample(path, &error)) {
        std::fprintf(stderr, "orvane-write-sample: %s\n", qPrintable(error.localizedDescription()));
        return 1;
    }
    return 0;
}
