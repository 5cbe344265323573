// Reads one RTF file into a text storage, as opening a script does, so that the whole process can be
// measured from outside (`/usr/bin/time -v read_rtf_file script.rtf`). With --make it writes a
// sample script of about the given size in megabytes of RTF instead, with --make-platform one in
// the platform's own RTF style.
#include "ScriptSample.h"

#include "platform/text/RtfReader.h"
#include "platform/text/RtfWriter.h"
#include "platform/text/TextStorage.h"

#include <QElapsedTimer>
#include <QFile>

#include <cstdio>

namespace {

int make(double megabytes, bool platformStyle, const char* path)
{
    const auto characters = qsizetype(megabytes * 1024 * 1024 * ScriptSample::kCharactersPerRtfByte);
    const QByteArray rtf = platformStyle ? ScriptSample::platformStyleRtf(qsizetype(megabytes * 1024 * 1024))
                                         : RtfWriter::write(ScriptSample::make(characters), {});
    QFile file(QString::fromLocal8Bit(path));
    if (!file.open(QIODevice::WriteOnly) || file.write(rtf) != rtf.size()) {
        std::fprintf(stderr, "cannot write %s\n", path);
        return 1;
    }
    return 0;
}

int read(const char* path)
{
    QElapsedTimer timer;
    timer.start();
    QFile file(QString::fromLocal8Bit(path));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot open %s\n", path);
        return 1;
    }
    const QByteArray rtf = file.readAll();
    file.close();
    TextStorage text;
    Error error;
    if (!RtfReader::read(rtf, text, nullptr, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error.localizedDescription()));
        return 1;
    }
    std::printf("%lld bytes, %lld characters, %lld runs, %.1f ms\n", qlonglong(rtf.size()),
                qlonglong(text.length()), qlonglong(text.runCount()), double(timer.nsecsElapsed()) / 1e6);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && QByteArrayView(argv[1]) == "--make")
        return make(std::atof(argv[2]), false, argv[3]);
    if (argc == 4 && QByteArrayView(argv[1]) == "--make-platform")
        return make(std::atof(argv[2]), true, argv[3]);
    if (argc == 2)
        return read(argv[1]);
    std::fprintf(stderr, "usage: read_rtf_file FILE | read_rtf_file --make[-platform] MEGABYTES FILE\n");
    return 2;
}
