// Opening and saving a long native document: 1 MB of styled text, 500 bookmarks, 50 pictures.
#include "document/OVDocumentPackageReader.h"
#include "document/OVDocumentPackageWriter.h"
#include "platform/foundation/FileWrapper.h"
#include "platform/foundation/StagingItem.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/text/TextAttachment.h"
#include "text/NSAttributedStringOVBookmarkAdditions.h"
#include "text/NSMutableAttributedStringOVBookmarkAdditions.h"
#include "text/OVBookmark.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <map>
#include <memory>

namespace {

constexpr qsizetype kTextBytes = 1 << 20;
constexpr int kBookmarks = 500;
constexpr int kPictures = 50;
constexpr qsizetype kPictureBytes = 40 * 1024;

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

// textBytes of styled text with bookmarks and pictures in proportion: kBookmarks and kPictures per MB.
MutableAttributedString makeDocument(qsizetype textBytes = kTextBytes)
{
    const int bookmarkCount = int(kBookmarks * textBytes / kTextBytes);
    const int pictureCount = int(kPictures * textBytes / kTextBytes);
    Font regular;
    regular.fontName = QStringLiteral("Helvetica");
    regular.familyName = QStringLiteral("Helvetica");
    regular.pointSize = 48;
    Font bold = regular;
    bold.fontName = QStringLiteral("Helvetica-Bold");
    bold.bold = true;
    const AttributeDictionary plain{{kFontAttributeName, AttributeValue(regular)},
                                    {kForegroundColorAttributeName, AttributeValue(Color::rgb(1, 1, 1))}};
    const AttributeDictionary strong{{kFontAttributeName, AttributeValue(bold)},
                                     {kForegroundColorAttributeName, AttributeValue(Color::rgb(1, 0.8, 0))}};
    const QString sentence =
        QStringLiteral("The quick brown fox jumps over the lazy dog and keeps on running. ");
    MutableAttributedString text;
    int paragraph = 0;
    while (text.length() < textBytes) {
        text.append(QStringLiteral("SCENE %1\n").arg(paragraph), strong);
        QString body;
        for (int i = 0; i < 6; ++i)
            body += sentence;
        text.append(body + QLatin1Char('\n'), plain);
        ++paragraph;
    }
    const qsizetype step = text.length() / (bookmarkCount + pictureCount);
    int bookmarks = 0;
    int pictures = 0;
    for (qsizetype at = text.length() - step;
         at > 0 && (bookmarks < bookmarkCount || pictures < pictureCount); at -= step) {
        std::shared_ptr<TextAttachment> attachment;
        if (bookmarks * pictureCount <= pictures * bookmarkCount && bookmarks < bookmarkCount) {
            attachment =
                OVBookmark::bookmarkWithName(QStringLiteral("Mark %1").arg(bookmarks % 50))->textAttachment();
            ++bookmarks;
        } else {
            QByteArray bytes(kPictureBytes, char(pictures));
            auto wrapper = FileWrapper::makeRegularFile(bytes);
            wrapper->setPreferredFilename(QStringLiteral("picture-%1.png").arg(pictures));
            attachment = std::make_shared<TextAttachment>(wrapper);
            ++pictures;
        }
        text.insert(
            AttributedString(QString(QChar(kAttachmentCharacter)),
                             AttributeDictionary{{kAttachmentAttributeName, AttributeValue(attachment)}}),
            at);
    }
    return text;
}

struct Fixture {
    explicit Fixture(qsizetype textBytes = kTextBytes)
    {
        qInstallMessageHandler(quiet);
        document = makeDocument(textBytes);
        path = directory.filePath(QStringLiteral("Bench.ovdocument"));
        MutableAttributedString copy = document;
        OVDocumentPackageWriter::Input input;
        input.text = &copy;
        input.selectedRanges = QStringList{QStringLiteral("{10, 0}")};
        input.speed = 3;
        input.scrollbarPosition = 0.5;
        OVDocumentPackageWriter::writeToURL(QUrl::fromLocalFile(path), QUrl(), input, nullptr);
    }
    QTemporaryDir directory;
    QString path;
    MutableAttributedString document;
};

Fixture& fixture()
{
    static Fixture instance;
    return instance;
}

void readPackage(benchmark::State& state, const Fixture& f)
{
    OVDocumentPackageReader::Options options;
    options.isInAppBundle = [](const QUrl&) { return false; };
    qsizetype bookmarks = 0;
    qsizetype attachments = 0;
    for (auto _ : state) {
        OVLoadedDocumentInfo info;
        Error error;
        if (!OVDocumentPackageReader::readPackage(QUrl::fromLocalFile(f.path), options, &info, &error))
            state.SkipWithError("read failed");
        // What the window does with it before showing it: live cells and context names.
        NSMutableAttributedStringOVBookmarkAdditions::prepareBookmarksForLoading(*info.content);
        benchmark::DoNotOptimize(info.content->length());
        state.PauseTiming();
        const auto ranges = NSAttributedStringOVBookmarkAdditions::bookmarkCharacterRanges(*info.content);
        bookmarks = ranges ? qsizetype(ranges->size()) : 0;
        attachments = info.content->string().count(QChar(kAttachmentCharacter));
        state.ResumeTiming();
    }
    state.SetLabel(QStringLiteral("%1 characters, %2 bookmarks, %3 attachments")
                       .arg(f.document.length())
                       .arg(bookmarks)
                       .arg(attachments)
                       .toStdString());
}

void BM_ReadPackage(benchmark::State& state)
{
    readPackage(state, fixture());
}

// Growth: packages of 1, 5 and 20 MB of text should open at the same bytes per second.
void BM_ReadPackageGrowth(benchmark::State& state)
{
    static std::map<qsizetype, std::unique_ptr<Fixture>> made;
    const qsizetype megabytes = state.range(0);
    std::unique_ptr<Fixture>& f = made[megabytes];
    if (!f)
        f = std::make_unique<Fixture>(megabytes * kTextBytes);
    readPackage(state, *f);
    state.SetBytesProcessed(state.iterations() * megabytes * kTextBytes);
}

// Saves to folder; the disk's cost of making each file durable is part of a real save.
void writePackage(benchmark::State& state, const QString& folder)
{
    Fixture& f = fixture();
    const QString path = QDir(folder).filePath(QStringLiteral("Written.ovdocument"));
    bool typed = false;
    for (auto _ : state) {
        // The writer works on a copy of the document's text; making it is part of a save.
        MutableAttributedString copy = f.document;
        // Each save follows an edit near the start, as a real one does: the text and every bookmark's
        // place after it change, the pictures stay as they were.
        typed = !typed;
        if (typed)
            copy.replaceCharacters(Range{10, 0}, QStringLiteral("X"));
        OVDocumentPackageWriter::Input input;
        input.text = &copy;
        input.selectedRanges = QStringList{QStringLiteral("{10, 0}")};
        input.speed = 3;
        input.scrollbarPosition = 0.5;
        input.windowFrame = QStringLiteral("{{0, 0}, {1280, 800}}");
        Error error;
        if (!OVDocumentPackageWriter::writeToURL(QUrl::fromLocalFile(path), QUrl(), input, &error))
            state.SkipWithError("write failed");
    }
}

void BM_WritePackage(benchmark::State& state)
{
    writePackage(state, fixture().directory.path());
}

// The same save to memory (/dev/shm), where flushing to disk costs nothing: the save's own work.
void BM_WritePackageToMemory(benchmark::State& state)
{
    QTemporaryDir memory(QStringLiteral("/dev/shm/orvane-bench-XXXXXX"));
    if (!memory.isValid()) {
        state.SkipWithError("no /dev/shm");
        return;
    }
    writePackage(state, memory.path());
}

// What every save and open adds: looking for staging folders interrupted saves left beside the
// document, in a folder of documents where there are none.
void BM_CheckForStaleStagingInACleanFolder(benchmark::State& state)
{
    QTemporaryDir folder;
    for (int i = 0; i < state.range(0); ++i) {
        QDir(folder.path()).mkpath(QStringLiteral("Script %1.ovdocument").arg(i));
        QFile file(folder.filePath(QStringLiteral("Notes %1.txt").arg(i)));
        file.open(QIODevice::WriteOnly);
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(
            StagingItem::removeStaleSavingFolders(folder.path(), QStringLiteral("Script 0.ovdocument")));
    state.SetLabel(QStringLiteral("%1 entries in the folder").arg(2 * state.range(0)).toStdString());
}

} // namespace

BENCHMARK(BM_CheckForStaleStagingInACleanFolder)->Unit(benchmark::kMicrosecond)->Arg(10)->Arg(500);
BENCHMARK(BM_ReadPackage)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ReadPackageGrowth)->Arg(1)->Arg(5)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WritePackage)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_WritePackageToMemory)->Unit(benchmark::kMillisecond)->MinTime(2);
