// Reading and writing a 1 MB script as HTML and as plain text, beside RTF of the same script in the
// same run: the foreign formats should stay within a small factor of RTF, and plain text no slower.
#include "ScriptSample.h"

#include "platform/text/RtfReader.h"
#include "platform/text/RtfWriter.h"
#include "platform/text/TextStorage.h"
#include "platform/textformats/HtmlReader.h"
#include "platform/textformats/HtmlWriter.h"
#include "platform/textformats/PlainText.h"

#include <benchmark/benchmark.h>

namespace {

struct Fixture {
    // About 1 MB of RTF, as the RTF benchmarks size their scripts.
    MutableAttributedString script =
        ScriptSample::make(qsizetype(1024.0 * 1024.0 * ScriptSample::kCharactersPerRtfByte));
    QByteArray rtf = RtfWriter::write(script, {});
    QByteArray html = HtmlWriter::write(script, {});
    QByteArray plain = *PlainText::write(script, TextEncoding::UTF8, nullptr);
};

const Fixture& fixture()
{
    static const Fixture instance;
    return instance;
}

void BM_ReadRtf(benchmark::State& state)
{
    const Fixture& f = fixture();
    for (auto _ : state) {
        TextStorage text;
        RtfReader::read(f.rtf, text, nullptr, nullptr);
        benchmark::DoNotOptimize(text.length());
    }
    state.SetBytesProcessed(state.iterations() * f.rtf.size());
    state.counters["file_bytes"] = double(f.rtf.size());
}
BENCHMARK(BM_ReadRtf)->Unit(benchmark::kMillisecond);

void BM_ReadHtml(benchmark::State& state)
{
    const Fixture& f = fixture();
    for (auto _ : state) {
        TextStorage text;
        HtmlReader::read(f.html, text, nullptr, nullptr);
        benchmark::DoNotOptimize(text.length());
    }
    state.SetBytesProcessed(state.iterations() * f.html.size());
    state.counters["file_bytes"] = double(f.html.size());
}
BENCHMARK(BM_ReadHtml)->Unit(benchmark::kMillisecond);

void BM_ReadPlainText(benchmark::State& state)
{
    const Fixture& f = fixture();
    for (auto _ : state) {
        TextStorage text;
        PlainText::read(f.plain, text, nullptr);
        benchmark::DoNotOptimize(text.length());
    }
    state.SetBytesProcessed(state.iterations() * f.plain.size());
    state.counters["file_bytes"] = double(f.plain.size());
}
BENCHMARK(BM_ReadPlainText)->Unit(benchmark::kMillisecond);

void BM_WriteRtf(benchmark::State& state)
{
    const Fixture& f = fixture();
    for (auto _ : state)
        benchmark::DoNotOptimize(RtfWriter::write(f.script, {}).size());
    state.SetBytesProcessed(state.iterations() * f.rtf.size());
}
BENCHMARK(BM_WriteRtf)->Unit(benchmark::kMillisecond);

void BM_WriteHtml(benchmark::State& state)
{
    const Fixture& f = fixture();
    for (auto _ : state)
        benchmark::DoNotOptimize(HtmlWriter::write(f.script, {}).size());
    state.SetBytesProcessed(state.iterations() * f.html.size());
}
BENCHMARK(BM_WriteHtml)->Unit(benchmark::kMillisecond);

void BM_WritePlainText(benchmark::State& state)
{
    const Fixture& f = fixture();
    for (auto _ : state)
        benchmark::DoNotOptimize(PlainText::write(f.script, TextEncoding::UTF8, nullptr)->size());
    state.SetBytesProcessed(state.iterations() * f.plain.size());
}
BENCHMARK(BM_WritePlainText)->Unit(benchmark::kMillisecond);

} // namespace
