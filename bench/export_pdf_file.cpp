// Opens a script package and exports it as PDF, as Export as PDF does, so that the whole process can be
// measured from outside (`/usr/bin/time -v export_pdf_file Script.ovdocument Script.pdf`). With --make
// it writes the export benchmark's script instead: a megabyte of text with 50 named bookmarks, as a
// package and, beside it, as the package's own RTF for other programs to convert.
#include "PromptedScript.h"

#include "document/OVDocumentExportPDFAccessoryViewController.h"
#include "document/OVDocumentPackageReader.h"
#include "document/OVDocumentPackageWriter.h"
#include "output/OVEnvironment.h"
#include "platform/appkit/FakeScreenProvider.h"
#include "platform/appkit/ScreenProvider.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/text/RtfWriter.h"
#include "prompting/OVCore.h"
#include "text/NSMutableAttributedStringOVBookmarkAdditions.h"
#include "window/OVDocumentPDFExport.h"
#include "window/OVDocumentPrompterView.h"
#include "window/OVDocumentWindowController.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>

#include <cstdio>
#include <memory>

namespace {

void quiet(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type >= QtCriticalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

int make(const char* packagePath, const char* rtfPath)
{
    PromptedScript::application();
    MutableAttributedString script = PromptedScript::makeNamed(50);
    MutableAttributedString copy = script;
    OVDocumentPackageWriter::Input input;
    input.text = &copy;
    Error error;
    if (!OVDocumentPackageWriter::writeToURL(QUrl::fromLocalFile(QString::fromLocal8Bit(packagePath)), QUrl(),
                                             input, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error.localizedDescription()));
        return 1;
    }
    // The same text for a word processor: the package's RTF, without the bookmarks it keeps apart.
    NSMutableAttributedStringOVBookmarkAdditions::removeAllBookmarks(script);
    const QByteArray rtf = RtfWriter::write(script, {});
    QFile file(QString::fromLocal8Bit(rtfPath));
    if (!file.open(QIODevice::WriteOnly) || file.write(rtf) != rtf.size()) {
        std::fprintf(stderr, "cannot write %s\n", rtfPath);
        return 1;
    }
    return 0;
}

int exportPDF(const char* packagePath, const char* pdfPath)
{
    QElapsedTimer timer;
    timer.start();
    PromptedScript::application();
    OVDocumentPackageReader::Options options;
    options.isInAppBundle = [](const QUrl&) { return false; };
    OVLoadedDocumentInfo info;
    Error error;
    if (!OVDocumentPackageReader::readPackage(QUrl::fromLocalFile(QString::fromLocal8Bit(packagePath)),
                                              options, &info, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error.localizedDescription()));
        return 1;
    }
    NSMutableAttributedStringOVBookmarkAdditions::prepareBookmarksForLoading(*info.content);

    FakeScreenProvider screens({FakeScreenProvider::makeScreen(0, {{0, 0}, {1920, 1080}})});
    ScreenProvider::setShared(&screens);
    UserDefaults::shared().setBool(true, OVExportPDFUsingPaginationKey);
    std::optional<QByteArray> data;
    {
        OVCore core;
        auto controller = std::make_unique<OVDocumentWindowController>(&core);
        controller->window();
        controller->setAttributedString(*info.content);
        OVEnvironment::createTemporaryPromptModeEnvironmentWithPrompterContent(
            controller->documentPrompterView(), Size{}, [&data](Window&, OVPrompterView& view) {
                data = OVDocumentPDFExport::exportablePDFDataFromPrompterView({}, view);
            });
    }
    ScreenProvider::setShared(nullptr);
    QSaveFile file(QString::fromLocal8Bit(pdfPath));
    if (!data || !file.open(QIODevice::WriteOnly) || file.write(*data) != data->size() || !file.commit()) {
        std::fprintf(stderr, "cannot export %s\n", pdfPath);
        return 1;
    }
    std::printf("%lld characters, %lld bytes of PDF, %.1f ms\n", qlonglong(info.content->length()),
                qlonglong(data->size()), double(timer.nsecsElapsed()) / 1e6);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    qInstallMessageHandler(quiet);
    int status = 2;
    if (argc == 4 && QByteArrayView(argv[1]) == "--make")
        status = make(argv[2], argv[3]);
    else if (argc == 3)
        status = exportPDF(argv[1], argv[2]);
    else
        std::fprintf(stderr, "usage: export_pdf_file PACKAGE PDF | export_pdf_file --make PACKAGE RTF\n");
    bench::applicationSlot().reset();
    return status;
}
