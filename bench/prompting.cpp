// The scroll engine's own cost per tick: time keeping, held keys, deltas and moving a clip view
// that draws nothing, 100,000 ticks at 120 a second.
#include "platform/appkit/ScrollView.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/UserDefaults.h"
#include "prompting/OVCore.h"
#include "prompting/OVCoreController.h"
#include "prompting/OVCoreInputController.h"
#include "prompting/OVCorePrompterView.h"
#include "prompting/OVTimeInfo.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int kTicks = 100000;
constexpr double kTickInterval = 1.0 / 120;

QApplication& application()
{
    static int argc = 1;
    static char name[] = "prompting";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Settings and statistics of the run stay out of the user's folders.
    static QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
    static QApplication app(argc, argv);
    return app;
}

class BenchPrompterView final : public OVCorePrompterView {
public:
    explicit BenchPrompterView(ScrollView* scrollView) : m_scrollView(scrollView) {}
    ScrollView* scrollView() const override { return m_scrollView; }
    ClipView* clipView() const override { return m_scrollView->contentView(); }
    View* textView() const override { return m_scrollView->documentView(); }

private:
    ScrollView* m_scrollView;
};

class BenchController final : public OVCoreController {
public:
    BenchController() : scroll(Rect{{0, 0}, {1920, 1080}}), prompter(&scroll)
    {
        auto document = std::make_unique<View>(Rect{{0, 0}, {1920, 200000}});
        document->setFlipped(true);
        scroll.setDocumentView(std::move(document));
    }
    Window* controllerWindow() const override { return nullptr; }
    OVCorePrompterView* prompterView() const override { return const_cast<BenchPrompterView*>(&prompter); }
    double speed() const override { return 5; }
    void setSpeed(double) override {}
    double minSpeedUIValue() const override { return -30; }
    double maxSpeedUIValue() const override { return 30; }
    OVTimeInfo* timeInfo() const override { return const_cast<OVTimeInfo*>(&time); }
    bool timeRemainingNeedsUpdate() const override { return true; }
    void setTimeRemainingNeedsUpdate(bool) override {}
    bool speedControlNeedsUpdate() const override { return false; }
    void setSpeedControlNeedsUpdate(bool) override {}
    void updateSpeedControl() override {}
    void forceModeChange(unsigned) override {}
    bool looping() const override { return true; }

    ScrollView scroll;
    BenchPrompterView prompter;
    OVTimeInfo time;
};

class BenchInput final : public OVCoreInputController {
public:
    void start() override {}
    void stop() override {}
    bool scrollDown() const override { return down; }
    bool scrollUp() const override { return false; }
    bool boostSpeed() const override { return boost; }
    double lastScrollDownTime() const override { return 1000; }
    double lastScrollUpTime() const override { return 0; }
    bool down = false;
    bool boost = false;
};

void tickEngine(benchmark::State& state, bool keysAndDeltas)
{
    application();
    ManualClock clock;
    Clock::setShared(&clock);
    UserDefaults::shared().setInteger(1, QStringLiteral("updateTimingTag"));
    {
        BenchController controller;
        BenchInput input;
        input.down = keysAndDeltas;
        input.boost = keysAndDeltas;
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
        benchmark::DoNotOptimize(controller.scroll.contentView()->bounds());
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
