// Writes a long script for timing a launch from outside the program:
//   write_launch_script PATH MEGABYTES POSITION [--no-anchor]
// The script is the benchmarks' sample of about MEGABYTES of RTF, saved at the share POSITION (0 to 1)
// with the line at the top beside it, as a save by this program writes it; with --no-anchor, with
// the share alone, as the platform's own program writes it.
#include "bench/ScriptSample.h"
#include "document/OVDocumentPackageWriter.h"

#include <QApplication>
#include <QUrl>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fputs("usage: write_launch_script PATH MEGABYTES POSITION [--no-anchor]\n", stderr);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QString path = QString::fromLocal8Bit(argv[1]);
    const double megabytes = QByteArray(argv[2]).toDouble();
    const double position = QByteArray(argv[3]).toDouble();
    const bool anchored = !(argc > 4 && QByteArray(argv[4]) == "--no-anchor");
    MutableAttributedString text =
        ScriptSample::make(qsizetype(megabytes * (1 << 20) * ScriptSample::kCharactersPerRtfByte));
    OVDocumentPackageWriter::Input input;
    input.text = &text;
    input.scrollbarPosition = position;
    if (anchored) {
        // The paragraph starting at the same share of the characters stands in for the line a save
        // finds at the top (see launch.cpp).
        const QString& characters = text.string();
        const qsizetype from = qsizetype(characters.size() * position);
        const qsizetype end = from > 0 ? characters.indexOf(u'\n', from - 1) : -1;
        input.scrollbarAnchor =
            OVScrollbarAnchor{end >= 0 && end + 1 < characters.size() ? end + 1 : 0, 0, 0};
    }
    Error error;
    if (!OVDocumentPackageWriter::writeToURL(QUrl::fromLocalFile(path), {}, input, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error.localizedDescription()));
        return 1;
    }
    return 0;
}
