#include "ScriptSample.h"

#include "platform/foundation/FileWrapper.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/text/RtfReader.h"
#include "platform/text/RtfWriter.h"
#include "platform/text/TextAttachment.h"
#include "platform/text/TextStorage.h"

#include <benchmark/benchmark.h>

#include <map>

namespace {

constexpr qsizetype kScriptSize = 5 * 1024 * 1024;
constexpr int kFormatChanges = 1000;
constexpr int kAttachments = 200;

// A script of about 5 MB of RTF text: 1,000 changes of font and colour, 200 pictures, paragraphs
// of a few lines with some accented and typographic characters.
MutableAttributedString makeScript()
{
    const QString paragraph = QStringLiteral(
        u"Good evening, and welcome to the news. Tonight\u2019s top story: the caf\u00E9 on the "
        u"corner reopened after a long winter \u2014 \u201Cwe never gave up\u201D, said the owner.\n");
    const QStringList fonts = {QStringLiteral("Helvetica"), QStringLiteral("Times-Roman"),
                               QStringLiteral("Courier"), QStringLiteral("Menlo-Regular"),
                               QStringLiteral("Georgia-Bold")};
    MutableAttributedString script;
    qsizetype runLength = kScriptSize / kFormatChanges;
    int attachmentEvery = kFormatChanges / kAttachments;
    for (int change = 0; change < kFormatChanges; ++change) {
        Font font;
        font.fontName = fonts[change % fonts.size()];
        font.familyName = font.fontName.section(u'-', 0, 0);
        font.pointSize = 12 + change % 7;
        font.bold = change % 3 == 0;
        ParagraphStyle style;
        style.alignment = change % 10 == 0 ? TextAlignment::Center : TextAlignment::Natural;
        AttributeDictionary attributes{
            {kFontAttributeName, font},
            {kForegroundColorAttributeName, Color::fromRgb8(change % 256, 80, 160)},
            {kParagraphStyleAttributeName, style}};
        QString text;
        while (text.size() < runLength)
            text += paragraph;
        script.append(AttributedString(text, attributes));
        if (change % attachmentEvery == 0) {
            auto wrapper = FileWrapper::makeRegularFile(QByteArray(2048, char(change)));
            wrapper->setPreferredFilename(QStringLiteral("picture.png"));
            auto attachment = std::make_shared<TextAttachment>(wrapper);
            attachment->setBounds(QRectF(0, 0, 64, 48));
            AttributeDictionary withAttachment = attributes;
            withAttachment.insert(kAttachmentAttributeName, attachment);
            script.append(AttributedString(QString(QChar(kAttachmentCharacter)), withAttachment));
        }
    }
    return script;
}

struct Fixture {
    MutableAttributedString script = makeScript();
    std::shared_ptr<FileWrapper> directory = FileWrapper::makeDirectory();
    QByteArray rtf = RtfWriter::write(script, {}, *directory);
};

const Fixture& fixture()
{
    static const Fixture instance;
    return instance;
}

void BM_ReadRtfd(benchmark::State& state)
{
    const Fixture& f = fixture();
    for (auto _ : state) {
        MutableAttributedString text;
        RtfReader::read(f.rtf, text, nullptr, nullptr, f.directory.get());
        benchmark::DoNotOptimize(text.length());
    }
    state.SetBytesProcessed(state.iterations() * f.rtf.size());
    state.counters["rtf_bytes"] = double(f.rtf.size());
}
BENCHMARK(BM_ReadRtfd)->Unit(benchmark::kMillisecond);

// The parse alone, without building the attributed string.
void BM_ParseRtfd(benchmark::State& state)
{
    const Fixture& f = fixture();
    for (auto _ : state) {
        const auto result = RtfReader::parse(f.rtf, f.directory.get(), nullptr);
        benchmark::DoNotOptimize(result->text.size());
    }
    state.SetBytesProcessed(state.iterations() * f.rtf.size());
}
BENCHMARK(BM_ParseRtfd)->Unit(benchmark::kMillisecond);

void BM_WriteRtfd(benchmark::State& state)
{
    const Fixture& f = fixture();
    for (auto _ : state) {
        auto directory = FileWrapper::makeDirectory();
        const QByteArray rtf = RtfWriter::write(f.script, {}, *directory);
        benchmark::DoNotOptimize(rtf.size());
    }
    state.SetBytesProcessed(state.iterations() * f.rtf.size());
}
BENCHMARK(BM_WriteRtfd)->Unit(benchmark::kMillisecond);

// The RTF of a sample script of about megabytes MB, made once per size.
const QByteArray& scriptRtf(int megabytes)
{
    static std::map<int, QByteArray> made;
    QByteArray& rtf = made[megabytes];
    if (rtf.isEmpty()) {
        const auto characters = qsizetype(megabytes * 1024.0 * 1024.0 * ScriptSample::kCharactersPerRtfByte);
        rtf = RtfWriter::write(ScriptSample::make(characters), {});
    }
    return rtf;
}

// Growth: reading 1, 5 and 20 MB scripts into a text storage should run at the same bytes per second.
void BM_ReadScriptGrowth(benchmark::State& state)
{
    const QByteArray& rtf = scriptRtf(int(state.range(0)));
    qsizetype runs = 0;
    for (auto _ : state) {
        TextStorage text;
        RtfReader::read(rtf, text, nullptr, nullptr);
        runs = text.runCount();
        benchmark::DoNotOptimize(text.length());
    }
    state.SetBytesProcessed(state.iterations() * rtf.size());
    state.counters["runs"] = double(runs);
}
BENCHMARK(BM_ReadScriptGrowth)->Arg(1)->Arg(5)->Arg(20)->Unit(benchmark::kMillisecond);

// Scripts as the platform's own editor writes them: escapes, font and colour changes and paragraph
// openings at the density real files have, which the sample above does not.
const QByteArray& platformStyleRtf()
{
    static const QByteArray rtf = ScriptSample::platformStyleRtf(5 << 20);
    return rtf;
}

void BM_ReadPlatformStyleScript(benchmark::State& state)
{
    const QByteArray& rtf = platformStyleRtf();
    qsizetype runs = 0;
    for (auto _ : state) {
        TextStorage text;
        RtfReader::read(rtf, text, nullptr, nullptr);
        runs = text.runCount();
        benchmark::DoNotOptimize(text.length());
    }
    state.SetBytesProcessed(state.iterations() * rtf.size());
    state.counters["runs"] = double(runs);
}
BENCHMARK(BM_ReadPlatformStyleScript)->Unit(benchmark::kMillisecond);

// The same script's parse alone, to tell the parser's share from the text storage's.
void BM_ParsePlatformStyleScript(benchmark::State& state)
{
    const QByteArray& rtf = platformStyleRtf();
    for (auto _ : state) {
        const auto result = RtfReader::parse(rtf, nullptr, nullptr);
        benchmark::DoNotOptimize(result->text.size());
    }
    state.SetBytesProcessed(state.iterations() * rtf.size());
}
BENCHMARK(BM_ParsePlatformStyleScript)->Unit(benchmark::kMillisecond);

} // namespace
