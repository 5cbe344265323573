// Opening a long script into the operator's text view: from the text model to the first drawn frame,
// at 1, 5 and 20 MB of script (sizes in bytes of the platform's RTF, as the files on disk have them),
// and what the event loop and the writer feel while the rest is laid out behind the first frame.
#include "BenchApplication.h"
#include "OpenScript.h"
#include "ProcessMemory.h"
#include "bench/ScriptSample.h"
#include "platform/appkit/ClipView.h"
#include "platform/text/TextStorage.h"
#include "platform/textview/TextView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

namespace {

constexpr double kMegabyte = 1 << 20;
using bench::kViewFrame;

using bench::application;

const MutableAttributedString& script(int megabytes)
{
    return ScriptSample::ofMegabytes(megabytes);
}

size_t heapInUse()
{
    malloc_trim(0);
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

using bench::residentBytes;

using bench::OpenScript;

// What a running program has already done once before any script opens (the font database read,
// the first font engines made) is done here too, so that the sizes compare only what grows.
void warmUp()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    OpenScript sample(ScriptSample::make(20000));
    sample.drawFrame();
}

// The text model is given; timed is everything from handing it to the view to the first frame.
void BM_OpenToFirstFrame(benchmark::State& state)
{
    application();
    warmUp();
    const int megabytes = int(state.range(0));
    const MutableAttributedString& text = script(megabytes);
    double heapPerMegabyte = 0;
    double residentPerMegabyte = 0;
    double seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const size_t before = heapInUse();
        const double residentBefore = residentBytes();
        QElapsedTimer timer;
        timer.start();
        state.ResumeTiming();
        auto open = std::make_unique<OpenScript>(text);
        open->drawFrame();
        state.PauseTiming();
        seconds += timer.nsecsElapsed() / 1e9;
        // Resident growth counts what the allocator keeps besides what is in use; the first open of
        // the process shows it best, later ones reuse what it kept.
        if (residentPerMegabyte == 0)
            residentPerMegabyte = (residentBytes() - residentBefore) / kMegabyte / megabytes;
        // The storage's own copy of the text counts: it is what the open costs in memory.
        heapPerMegabyte = double(heapInUse() - before) / kMegabyte / megabytes;
        open.reset();
        state.ResumeTiming();
    }
    state.counters["ms_per_MB"] = seconds * 1000 / double(state.iterations()) / megabytes;
    state.counters["heap_MB_per_MB"] = heapPerMegabyte;
    state.counters["resident_MB_per_MB"] = residentPerMegabyte;
}
BENCHMARK(BM_OpenToFirstFrame)->Arg(1)->Arg(5)->Arg(20)->Unit(benchmark::kMillisecond)->Iterations(3);

// Typing on the first screen of a 5 MB script just opened, each character drawn: what the writer
// feels while the rest of the script is still to be laid out.
void BM_TypeRightAfterOpening(benchmark::State& state)
{
    application();
    constexpr int kCharacters = 200;
    const MutableAttributedString& text = script(5);
    double seconds = 0;
    double slowest = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto open = std::make_unique<OpenScript>(text);
        open->drawFrame();
        open->view->setForcesActive(true);
        open->view->setSelectedRange({2000, 0});
        state.ResumeTiming();
        for (int i = 0; i < kCharacters; ++i) {
            QElapsedTimer timer;
            timer.start();
            open->view->insertText(QString(QChar(u'a' + i % 26)));
            open->drawFrame();
            const double taken = timer.nsecsElapsed() / 1e9;
            seconds += taken;
            slowest = std::max(slowest, taken);
        }
        state.PauseTiming();
        open.reset();
        state.ResumeTiming();
    }
    state.counters["ms_per_character"] = seconds * 1000 / double(state.iterations()) / kCharacters;
    state.counters["slowest_ms"] = slowest * 1000;
}
BENCHMARK(BM_TypeRightAfterOpening)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
