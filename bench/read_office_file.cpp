// Reads one Word, OpenDocument, web-archive, HTML or RTF file into a text storage, as opening a script
// does, so that the whole process can be measured from outside and set beside LibreOffice's own
// conversion of the same file (`/usr/bin/time -v read_office_file script.docx`). With --make it writes
// the sample script of about the given size in megabytes of RTF, in the format the name's extension
// says.
#include "ScriptSample.h"

#include "platform/text/RtfReader.h"
#include "platform/text/RtfWriter.h"
#include "platform/text/TextStorage.h"
#include "platform/textformats/Docx.h"
#include "platform/textformats/HtmlReader.h"
#include "platform/textformats/HtmlWriter.h"
#include "platform/textformats/Odt.h"
#include "platform/textformats/WebArchive.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace {

int make(double megabytes, const QString& path)
{
    const auto characters = qsizetype(megabytes * 1024 * 1024 * ScriptSample::kCharactersPerRtfByte);
    const MutableAttributedString script = ScriptSample::make(characters);
    const QString extension = QFileInfo(path).suffix();
    std::optional<QByteArray> bytes;
    if (extension == u"docx")
        bytes = Docx::write(script, {}, nullptr);
    else if (extension == u"odt")
        bytes = Odt::write(script, {}, nullptr);
    else if (extension == u"webarchive")
        bytes = WebArchive::write(script, {}, nullptr);
    else if (extension == u"html")
        bytes = HtmlWriter::write(script, {});
    else
        bytes = RtfWriter::write(script, {});
    QFile file(path);
    if (!bytes || !file.open(QIODevice::WriteOnly) || file.write(*bytes) != bytes->size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    return 0;
}

int read(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(path));
        return 1;
    }
    const QByteArray data = file.readAll();
    const QString extension = QFileInfo(path).suffix();
    TextStorage text;
    Error error;
    bool read = false;
    if (extension == u"docx")
        read = Docx::read(data, text, nullptr, &error);
    else if (extension == u"odt")
        read = Odt::read(data, text, nullptr, &error);
    else if (extension == u"webarchive")
        read = WebArchive::read(data, text, nullptr, &error);
    else if (extension == u"html")
        read = HtmlReader::read(data, text, nullptr, &error);
    else
        read = RtfReader::read(data, text, nullptr, &error);
    if (!read) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return 1;
    }
    std::printf("%lld characters\n", static_cast<long long>(text.length()));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && QByteArray(argv[1]) == "--make")
        return make(std::atof(argv[2]), QString::fromLocal8Bit(argv[3]));
    if (argc == 2)
        return read(QString::fromLocal8Bit(argv[1]));
    std::fprintf(stderr, "usage: read_office_file FILE | read_office_file --make MEGABYTES FILE\n");
    return 2;
}
