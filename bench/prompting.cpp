// The scroll engine's own cost per tick: time keeping, held keys, deltas and moving a clip view
// that draws nothing, 100,000 ticks at 120 a second.
#include "BenchApplication.h"
#include "BenchCore.h"

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

} // namespace

BENCHMARK(BM_EngineTick)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EngineTickWithHeldKeysBoostAndDeltas)->Unit(benchmark::kMillisecond);
