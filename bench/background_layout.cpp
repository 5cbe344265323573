// After the first frame of a long script, the rest is laid out in the event loop's idle time. Measured
// here: how long events posted meanwhile wait (each one timestamped when posted), how long the rest
// takes, and what typing costs while it runs.
#include "BenchApplication.h"
#include "OpenScript.h"
#include "bench/ScriptSample.h"
#include "platform/appkit/ClipView.h"
#include "platform/text/TextStorage.h"
#include "platform/textview/TextView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

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

using bench::OpenScript;

// Posts one event at a time, each stamped with when it was posted, and notes how long it waited to
// be delivered; the next is posted as each arrives, so the event loop is never without one.
class PostedEventProbe : public QObject {
public:
    struct Stamped : QEvent {
        explicit Stamped(qint64 at) : QEvent(QEvent::User), postedAt(at) {}
        qint64 postedAt;
    };

    PostedEventProbe(const LayoutManager& layout, QEventLoop& loop) : m_layout(layout), m_loop(loop)
    {
        m_clock.start();
    }
    void post() { QCoreApplication::postEvent(this, new Stamped(m_clock.nsecsElapsed())); }
    bool event(QEvent* event) override
    {
        if (event->type() != QEvent::User)
            return QObject::event(event);
        waits.push_back(double(m_clock.nsecsElapsed() - static_cast<Stamped*>(event)->postedAt) / 1e6);
        if (m_layout.isLayoutComplete())
            m_loop.quit();
        else
            post();
        return true;
    }
    std::vector<double> waits; // milliseconds

private:
    const LayoutManager& m_layout;
    QEventLoop& m_loop;
    QElapsedTimer m_clock;
};

void BM_EventLoopWhileTheRestIsLaidOut(benchmark::State& state)
{
    application();
    const MutableAttributedString& text = script(int(state.range(0)));
    std::vector<double> waits;
    double background = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto open = std::make_unique<OpenScript>(text);
        open->drawFrame();
        state.ResumeTiming();
        QElapsedTimer timer;
        timer.start();
        QEventLoop loop;
        PostedEventProbe probe(*open->view->layoutManager(), loop);
        probe.post();
        loop.exec();
        background += timer.nsecsElapsed() / 1e9;
        waits.insert(waits.end(), probe.waits.begin(), probe.waits.end());
        state.PauseTiming();
        open.reset();
        state.ResumeTiming();
    }
    std::sort(waits.begin(), waits.end());
    state.counters["events"] = double(waits.size());
    state.counters["longest_wait_ms"] = waits.empty() ? 0 : waits.back();
    state.counters["p99_wait_ms"] = waits.empty() ? 0 : waits[size_t(double(waits.size() - 1) * 0.99)];
    state.counters["rest_laid_out_s"] = background / double(state.iterations());
}
BENCHMARK(BM_EventLoopWhileTheRestIsLaidOut)->Arg(5)->Arg(20)->Unit(benchmark::kMillisecond)->Iterations(3);

// Typing on the first screen while the event loop runs background slices between the keystrokes, as
// it does between key events. Timed: each character's handling and the frame it draws.
void BM_TypeWhileTheRestIsLaidOut(benchmark::State& state)
{
    application();
    // Few enough that the rest is still being laid out when the last one is typed.
    constexpr int kCharacters = 100;
    const MutableAttributedString& text = script(5);
    double seconds = 0;
    double slowest = 0;
    bool stillLayingOut = true;
    for (auto _ : state) {
        state.PauseTiming();
        auto open = std::make_unique<OpenScript>(text);
        open->drawFrame();
        open->view->setForcesActive(true);
        open->view->setSelectedRange({2000, 0});
        state.ResumeTiming();
        for (int i = 0; i < kCharacters; ++i) {
            state.PauseTiming();
            QCoreApplication::processEvents();
            state.ResumeTiming();
            QElapsedTimer timer;
            timer.start();
            open->view->insertText(QString(QChar(u'a' + i % 26)));
            open->drawFrame();
            const double taken = timer.nsecsElapsed() / 1e9;
            seconds += taken;
            slowest = std::max(slowest, taken);
        }
        stillLayingOut = stillLayingOut && !open->view->layoutManager()->isLayoutComplete();
        state.PauseTiming();
        open.reset();
        state.ResumeTiming();
    }
    state.counters["ms_per_character"] = seconds * 1000 / double(state.iterations()) / kCharacters;
    state.counters["slowest_ms"] = slowest * 1000;
    state.counters["layout_still_running_at_end"] = stillLayingOut ? 1 : 0;
}
BENCHMARK(BM_TypeWhileTheRestIsLaidOut)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
