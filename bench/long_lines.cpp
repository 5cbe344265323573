// Laying out one paragraph of 1 MB that offers no place to break a line (a run of one letter, or of
// the replacement character a damaged file decodes to) beside 1 MB of ordinary script, in paragraphs
// and as one paragraph: each line of such a run is broken at the container's width, so all of them
// cost about the same per megabyte. Then a frame of the long run is drawn and the caret moved through it.
#include "BenchApplication.h"
#include "OpenScript.h"
#include "ProcessMemory.h"
#include "platform/text/TextStorage.h"
#include "platform/textlayout/LayoutManager.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr qsizetype kTextSize = 1 << 20;

enum class Kind { Script, OneParagraph, Letters, Replacement };

QString textOf(Kind kind)
{
    if (kind == Kind::Letters)
        return QString(kTextSize, u'a');
    if (kind == Kind::Replacement)
        return QString(kTextSize, QChar(0xFFFD));
    QString text;
    text.reserve(kTextSize);
    const QString words =
        QStringLiteral("Good evening and welcome to the news at nine where tonight we report ");
    for (int word = 1; text.size() < kTextSize; ++word) {
        text += words;
        if (kind == Kind::Script && word % 6 == 0)
            text += u'\n';
    }
    text.truncate(kTextSize);
    return text;
}

std::shared_ptr<TextStorage> storageOf(Kind kind)
{
    auto storage = std::make_shared<TextStorage>();
    storage->append(textOf(kind), {{kFontAttributeName,
                                    Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica"), 36}}});
    return storage;
}

void BM_LayOutOneMegabyte(benchmark::State& state)
{
    bench::application();
    const Kind kind = Kind(state.range(0));
    double grown = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto storage = storageOf(kind);
        const double before = bench::residentBytes();
        state.ResumeTiming();
        LayoutManager layout(storage);
        layout.setTextContainerSize({1200, TextContainer::kUnlimitedHeight});
        layout.ensureLayoutForTextContainer();
        benchmark::DoNotOptimize(layout.usedRectForTextContainer());
        state.PauseTiming();
        grown = std::max(grown, bench::residentBytes() - before);
        state.counters["lines"] = double(layout.numberOfLines());
        state.ResumeTiming();
    }
    state.counters["resident_growth_MB"] = grown / double(1 << 20);
    state.SetBytesProcessed(int64_t(state.iterations()) * kTextSize * 2);
}
BENCHMARK(BM_LayOutOneMegabyte)
    ->ArgName("kind")
    ->Arg(int(Kind::Script))
    ->Arg(int(Kind::OneParagraph))
    ->Arg(int(Kind::Letters))
    ->Arg(int(Kind::Replacement))
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// The operator's view of the run: its first frame, a frame in the middle and the caret moved a
// hundred lines down through it.
void BM_ShowAndMoveThroughTheRun(benchmark::State& state)
{
    bench::application();
    MutableAttributedString text;
    text.append(textOf(Kind(state.range(0))),
                {{kFontAttributeName, Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica"), 36}}});
    for (auto _ : state) {
        bench::OpenScript open(text);
        open.drawFrame();
        open.view->setSelectedRange({kTextSize / 2, 0});
        open.view->scrollRangeToVisible({kTextSize / 2, 0});
        open.drawFrame();
        for (int i = 0; i < 100; ++i)
            open.view->doCommandBySelector("moveDown:");
        benchmark::DoNotOptimize(open.view->selectedRange());
    }
}
BENCHMARK(BM_ShowAndMoveThroughTheRun)
    ->ArgName("kind")
    ->Arg(int(Kind::OneParagraph))
    ->Arg(int(Kind::Letters))
    ->Arg(int(Kind::Replacement))
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// A character typed in the middle of the paragraph, with the frame it draws: lines inside a run end
// where no word does, so the paragraph is broken again whole on each keystroke.
void BM_TypeInTheMiddle(benchmark::State& state)
{
    bench::application();
    MutableAttributedString text;
    text.append(textOf(Kind(state.range(0))),
                {{kFontAttributeName, Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica"), 36}}});
    bench::OpenScript open(text);
    open.view->setSelectedRange({kTextSize / 2, 0});
    open.view->scrollRangeToVisible({kTextSize / 2, 0});
    open.drawFrame();
    for (auto _ : state) {
        open.view->insertText(QStringLiteral("x"));
        open.drawFrame();
    }
}
BENCHMARK(BM_TypeInTheMiddle)
    ->ArgName("kind")
    ->Arg(int(Kind::OneParagraph))
    ->Arg(int(Kind::Replacement))
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

} // namespace
