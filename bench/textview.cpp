// Typing in the middle of a 1 MB script: each character goes through the text view (undo, storage,
// paragraph relayout) and the visible part is drawn again, as a writer's keystroke costs. Also the
// cost of opening such a script: building the storage and laying it all out.
#include "BenchApplication.h"
#include "platform/textview/TextView.h"
#include "platform/appkit/ClipView.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <memory>

namespace {

constexpr qsizetype kTextSize = 1 << 20;
constexpr int kRuns = 20000;
constexpr int kTypedCharacters = 1000;

using bench::application;

// A script of 1 MB: paragraphs of about 400 characters, with 20,000 runs of alternating fonts and
// colours.
std::shared_ptr<TextStorage> makeScript()
{
    QString text;
    text.reserve(kTextSize);
    const QString words =
        QStringLiteral("Good evening and welcome to the news at nine where tonight we report ");
    int word = 0;
    while (text.size() < kTextSize) {
        text += words;
        if (++word % 6 == 0)
            text += QLatin1Char('\n');
    }
    text.truncate(kTextSize);
    auto storage = std::make_shared<TextStorage>();
    const qsizetype runLength = kTextSize / kRuns;
    const AttributeDictionary plain{
        {kFontAttributeName, Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica"), 36}},
        {kForegroundColorAttributeName, Color::gray(1)}};
    const AttributeDictionary bold{
        {kFontAttributeName, Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica-Bold"), 36, true}},
        {kForegroundColorAttributeName, Color::rgb(1, 1, 0)}};
    storage->beginEditing();
    for (qsizetype start = 0, run = 0; start < kTextSize; start += runLength, ++run) {
        const qsizetype length = std::min(runLength, kTextSize - start);
        storage->append(text.mid(start, length), run % 2 ? bold : plain);
    }
    storage->endEditing();
    return storage;
}

size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

void BM_OpenAndLayOut(benchmark::State& state)
{
    application();
    for (auto _ : state) {
        state.PauseTiming();
        const size_t before = heapInUse();
        state.ResumeTiming();
        auto storage = makeScript();
        LayoutManager layout(storage);
        layout.setTextContainerSize({1200, TextContainer::kUnlimitedHeight});
        benchmark::DoNotOptimize(layout.usedRectForTextContainer());
        state.PauseTiming();
        state.counters["heap_times_text"] = double(heapInUse() - before) / double(kTextSize);
        state.counters["lines"] = double(layout.numberOfLines());
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenAndLayOut)->Unit(benchmark::kMillisecond)->Iterations(3);

// The text model's share of opening: the storage alone.
void BM_BuildScript(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(makeScript());
}
BENCHMARK(BM_BuildScript)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_TypeInTheMiddle(benchmark::State& state)
{
    application();
    for (auto _ : state) {
        state.PauseTiming();
        ClipView clip(Rect(0, 0, 1200, 800));
        auto* view = static_cast<TextView*>(clip.setDocumentView(std::make_unique<TextView>(
            Rect(0, 0, 1200, 800), std::make_shared<LayoutManager>(makeScript()))));
        view->setForcesActive(true);
        view->setSelectedRange({kTextSize / 2, 0});
        view->scrollRangeToVisible({kTextSize / 2, 0});
        QImage image(1200, 800, QImage::Format_ARGB32_Premultiplied);
        state.ResumeTiming();
        for (int i = 0; i < kTypedCharacters; ++i) {
            view->insertText(QString(QChar(u'a' + i % 26)));
            QPainter painter(&image);
            view->displayRectIgnoringOpacity(view->visibleRect(), painter);
        }
    }
    state.counters["time_per_character"] =
        benchmark::Counter(double(kTypedCharacters) * double(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_TypeInTheMiddle)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace
