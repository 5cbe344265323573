// The scroll engine's own cost per tick: time keeping, held keys, deltas and moving a clip view
// that draws nothing, 100,000 ticks at 120 a second. And a minute paused in Prompt mode, the tick
// source and its timers run by the run loop as the program runs them.
#include "BenchApplication.h"
#include "BenchCore.h"

#include "platform/appkit/RunLoop.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/UserDefaults.h"
#include "prompting/OVCore.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int kTicks = 100000;
constexpr double kTickInterval = 1.0 / 120;

void tickEngine(benchmark::State& state, bool keysAndDeltas)
{
    bench::application();
    ManualClock clock;
    Clock::setShared(&clock);
    UserDefaults::shared().setInteger(1, QStringLiteral("updateTimingTag"));
    {
        const std::unique_ptr<ScrollView> scroll =
            bench::scrollOverDocument(Rect{{0, 0}, {1920, 1080}}, 200000);
        bench::PrompterView prompter(scroll.get());
        bench::CoreController controller(&prompter);
        controller.fixedSpeed = 5;
        controller.remainingNeedsUpdate = true;
        controller.loops = true;
        bench::CoreInput input;
        input.down = keysAndDeltas;
        input.boost = keysAndDeltas;
        input.lastDown = 1000;
        OVCore core;
        core.setInputController(&input);
        core.configureCoreForController(&controller);
        core.startPrompter();
        for (auto _ : state) {
            for (int i = 0; i < kTicks; ++i) {
                clock.advance(kTickInterval);
                if (keysAndDeltas && i % 16 == 0)
                    core.addScrollingDeltaAnimated(40);
                core._prompterTimerAction();
            }
        }
        state.counters["ns_per_tick"] = benchmark::Counter(
            double(state.iterations()) * kTicks, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
        benchmark::DoNotOptimize(scroll->contentView()->bounds());
        core.enterEditMode();
    }
    Clock::setShared(nullptr);
}

void BM_EngineTick(benchmark::State& state)
{
    tickEngine(state, false);
}

void BM_EngineTickWithHeldKeysBoostAndDeltas(benchmark::State& state)
{
    tickEngine(state, true);
}

// Paused with nothing held: what a minute costs once the first tick found nothing to move. The tick
// runs at the frame rate chosen (a timer at 120 a second here) unless it rests; resting, the clock
// timer fires once a second for the elapsed time.
void BM_PausedMinute(benchmark::State& state)
{
    bench::application();
    ManualClock clock;
    Clock::setShared(&clock);
    UserDefaults::shared().setInteger(1024, QStringLiteral("frameRateOptionTag"));
    UserDefaults::shared().setInteger(120, QStringLiteral("customFrameRate"));
    {
        const std::unique_ptr<ScrollView> scroll =
            bench::scrollOverDocument(Rect{{0, 0}, {1920, 1080}}, 200000);
        bench::PrompterView prompter(scroll.get());
        bench::CoreController controller(&prompter);
        controller.fixedSpeed = 5;
        bench::CoreInput input;
        OVCore core;
        core.setInputController(&input);
        core.configureCoreForController(&controller);
        core.startPrompter();
        RunLoop::main().advanceManualClock(clock, 1.0);
        core.pausePrompter();
        RunLoop::main().advanceManualClock(clock, 1.0);
        for (auto _ : state)
            RunLoop::main().advanceManualClock(clock, 60.0);
        state.counters["frame_rate"] = core.frameRate();
        state.counters["tick_resting"] = core.isPrompterTickResting() ? 1 : 0;
        benchmark::DoNotOptimize(scroll->contentView()->bounds());
        core.enterEditMode();
    }
    UserDefaults::shared().removeObjectForKey(QStringLiteral("frameRateOptionTag"));
    UserDefaults::shared().removeObjectForKey(QStringLiteral("customFrameRate"));
    Clock::setShared(nullptr);
}

} // namespace

BENCHMARK(BM_PausedMinute)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EngineTick)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EngineTickWithHeldKeysBoostAndDeltas)->Unit(benchmark::kMillisecond);
