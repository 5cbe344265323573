// Whole-process times of the companions on a package with 1 MB of text, 100 bookmarks and a
// picture, as a file manager or an indexer would start them: orvane-thumbnail -s 256,
// orvane-mdimport and orvane-preview --png. The programs are those installed under
// $ORVANE_COMPANIONS_BIN (for example a staging prefix's bin), else the build tree's.
#include "document/OVDocumentPackageWriter.h"
#include "platform/foundation/FileWrapper.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/text/TextAttachment.h"
#include "text/OVBookmark.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

namespace {

constexpr qsizetype kTextBytes = 1 << 20;
constexpr int kBookmarks = 100;

QString program(const QString& name, const char* buildPath)
{
    const QByteArray bin = qgetenv("ORVANE_COMPANIONS_BIN");
    return bin.isEmpty() ? QString::fromUtf8(buildPath) : QDir(QString::fromLocal8Bit(bin)).filePath(name);
}

const QString& package()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString target = dir.filePath(QStringLiteral("Long.ovdocument"));
        const AttributeDictionary attributes{
            {kFontAttributeName, Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica"), 48}},
            {kForegroundColorAttributeName, Color::rgb(1, 1, 1)}};
        const QString paragraph =
            QStringLiteral("The quick brown fox jumps over the lazy dog and keeps on running.\n");
        MutableAttributedString text(paragraph.repeated(int(kTextBytes / paragraph.size())), attributes);
        for (int i = kBookmarks - 1; i >= 0; --i) {
            auto bookmark = std::make_shared<OVBookmark>(QStringLiteral("Mark %1").arg(i));
            AttributeDictionary marked = attributes;
            marked.insert(kAttachmentAttributeName, AttributeValue(bookmark->textAttachment()));
            text.insert(AttributedString(QString(QChar(0xFFFC)), marked),
                        qsizetype(i) * text.length() / kBookmarks);
        }
        auto picture = FileWrapper::makeRegularFile(QByteArray(40 * 1024, 'p'));
        picture->setPreferredFilename(QStringLiteral("picture.png"));
        AttributeDictionary pictured = attributes;
        pictured.insert(kAttachmentAttributeName, AttributeValue(std::make_shared<TextAttachment>(picture)));
        text.append(AttributedString(QString(QChar(0xFFFC)), pictured));
        OVDocumentPackageWriter::Input input;
        input.text = &text;
        input.backgroundColor = Color::rgb(0, 0, 0);
        OVDocumentPackageWriter::writeToURL(QUrl::fromLocalFile(target), QUrl(), input, nullptr);
        return target;
    }();
    return path;
}

void runProcess(benchmark::State& state, const QString& path, const QStringList& arguments)
{
    for (auto _ : state) {
        QProcess process;
        process.start(path, arguments);
        if (!process.waitForFinished(60000) || process.exitCode() != 0) {
            state.SkipWithError("the program failed");
            return;
        }
    }
}

void BM_ThumbnailProcess(benchmark::State& state)
{
    static QTemporaryDir out;
    runProcess(
        state, program(QStringLiteral("orvane-thumbnail"), ORVANE_THUMBNAIL),
        {QStringLiteral("-s"), QStringLiteral("256"), package(), out.filePath(QStringLiteral("t.png"))});
}
BENCHMARK(BM_ThumbnailProcess)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_MdimportProcess(benchmark::State& state)
{
    runProcess(state, program(QStringLiteral("orvane-mdimport"), ORVANE_MDIMPORT), {package()});
}
BENCHMARK(BM_MdimportProcess)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_PreviewPngProcess(benchmark::State& state)
{
    static QTemporaryDir out;
    runProcess(state, program(QStringLiteral("orvane-preview"), ORVANE_PREVIEW),
               {QStringLiteral("--png"), out.filePath(QStringLiteral("p.png")), package()});
}
BENCHMARK(BM_PreviewPngProcess)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
