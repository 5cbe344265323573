// Reading and writing a 1 MB script as HTML, plain text, Word, OpenDocument and web archive, beside
// RTF of the same script in the same run: the foreign formats should stay within a small factor of
// RTF, and plain text no slower. Reading reports the growth of resident memory it caused.
#include "ScriptSample.h"

#include "ProcessMemory.h"
#include "platform/text/RtfReader.h"
#include "platform/text/RtfWriter.h"
#include "platform/text/TextStorage.h"
#include "platform/textformats/Docx.h"
#include "platform/textformats/HtmlReader.h"
#include "platform/textformats/HtmlWriter.h"
#include "platform/textformats/Odt.h"
#include "platform/textformats/PlainText.h"
#include "platform/textformats/WebArchive.h"

#include <benchmark/benchmark.h>

namespace {

struct Fixture {
    // About 1 MB of RTF, as the RTF benchmarks size their scripts.
    MutableAttributedString script =
        ScriptSample::make(qsizetype(1024.0 * 1024.0 * ScriptSample::kCharactersPerRtfByte));
    QByteArray rtf = RtfWriter::write(script, {});
    QByteArray html = HtmlWriter::write(script, {});
    QByteArray plain = *PlainText::write(script, TextEncoding::UTF8, nullptr);
    QByteArray docx = *Docx::write(script, {}, nullptr);
    QByteArray odt = *Odt::write(script, {}, nullptr);
    QByteArray webarchive = *WebArchive::write(script, {}, nullptr);
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

template <class Format> void readFormat(benchmark::State& state, const QByteArray& data)
{
    double peak = 0;
    for (auto _ : state) {
        const double before = bench::residentBytes();
        TextStorage text;
        Format::read(data, text, nullptr, nullptr);
        benchmark::DoNotOptimize(text.length());
        peak = std::max(peak, bench::residentBytes() - before);
    }
    state.SetBytesProcessed(state.iterations() * data.size());
    state.counters["file_bytes"] = double(data.size());
    state.counters["resident_growth_MB"] = peak / (1024.0 * 1024.0);
}

void BM_ReadDocx(benchmark::State& state)
{
    readFormat<Docx>(state, fixture().docx);
}
BENCHMARK(BM_ReadDocx)->Unit(benchmark::kMillisecond);

void BM_ReadOdt(benchmark::State& state)
{
    readFormat<Odt>(state, fixture().odt);
}
BENCHMARK(BM_ReadOdt)->Unit(benchmark::kMillisecond);

void BM_ReadWebArchive(benchmark::State& state)
{
    readFormat<WebArchive>(state, fixture().webarchive);
}
BENCHMARK(BM_ReadWebArchive)->Unit(benchmark::kMillisecond);

void BM_WriteDocx(benchmark::State& state)
{
    const Fixture& f = fixture();
    for (auto _ : state)
        benchmark::DoNotOptimize(Docx::write(f.script, {}, nullptr)->size());
    state.SetBytesProcessed(state.iterations() * f.docx.size());
}
BENCHMARK(BM_WriteDocx)->Unit(benchmark::kMillisecond);

void BM_WriteOdt(benchmark::State& state)
{
    const Fixture& f = fixture();
    for (auto _ : state)
        benchmark::DoNotOptimize(Odt::write(f.script, {}, nullptr)->size());
    state.SetBytesProcessed(state.iterations() * f.odt.size());
}
BENCHMARK(BM_WriteOdt)->Unit(benchmark::kMillisecond);

void BM_WriteWebArchive(benchmark::State& state)
{
    const Fixture& f = fixture();
    for (auto _ : state)
        benchmark::DoNotOptimize(WebArchive::write(f.script, {}, nullptr)->size());
    state.SetBytesProcessed(state.iterations() * f.webarchive.size());
}
BENCHMARK(BM_WriteWebArchive)->Unit(benchmark::kMillisecond);

} // namespace
