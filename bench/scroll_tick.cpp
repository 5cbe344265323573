// One prompting tick as a shown window takes it: the clip view moves by a whole pixel and the window
// paints what that asks for, by copying what is drawn and drawing the lines that come into view, or,
// for comparison, by drawing the whole view again; mirrored and not. Then the motion itself: the
// scroll engine under ticks that come unevenly, with the offsets of every tick recorded and the
// spread of its steps and speed reported. And the tick on two screens: the operator's window and the
// talent's mirrored one together.
#include "BenchCore.h"
#include "PromptedScript.h"

#include "platform/appkit/ClipView.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/UserDefaults.h"
#include "prompter_view/OVPrompterView.h"
#include "prompter_view/OVScrollView.h"
#include "prompting/OVCore.h"
#include "text/OVTextView.h"

#include <QApplication>
#include <QWidget>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr Size kOutput{1920, 1080};

// args: copies on scroll (0 or 1), mirrored horizontally (0 or 1).
void BM_PromptingTick(benchmark::State& state)
{
    PromptedScript::application();
    Window window(Rect{{0, 0}, kOutput});
    window.setContentView(std::make_unique<View>(Rect{{0, 0}, kOutput}));
    window.setBackgroundColor(Qt::black);
    auto* prompter =
        window.contentView()->addSubview(std::make_unique<OVPrompterView>(Rect{{0, 0}, kOutput}));
    OVTextView* text = prompter->prompterTextView();
    text->textStorage().setAttributedString(PromptedScript::make());
    text->setBackgroundColor(Qt::black);
    prompter->setHorizontallyFlipped(state.range(1) != 0);
    prompter->tile();
    text->layoutManager()->ensureLayoutForTextContainer();
    ClipView* clip = prompter->prompterScrollView()->contentView();
    clip->setCopiesOnScroll(state.range(0) != 0);
    window.orderFront();
    QApplication::processEvents();
    double y = text->frame().size.height / 3;
    clip->scrollToPoint({0, y});
    QApplication::processEvents();
    for (auto _ : state) {
        y += 1;
        clip->scrollToPoint({0, y});
        // Paints what the move asked for, as the event loop does before the next tick.
        QApplication::processEvents();
    }
    benchmark::DoNotOptimize(clip->bounds());
}
BENCHMARK(BM_PromptingTick)
    ->ArgNames({"copies", "mirrored"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

// A window showing the script in a prompter view as large as it, laid out and ordered front.
struct ShownPrompter {
    ShownPrompter(const Rect& frame, bool mirrored) : window(frame)
    {
        window.setContentView(std::make_unique<View>(Rect{{0, 0}, frame.size}));
        window.setBackgroundColor(Qt::black);
        prompter =
            window.contentView()->addSubview(std::make_unique<OVPrompterView>(Rect{{0, 0}, frame.size}));
        OVTextView* text = prompter->prompterTextView();
        text->textStorage().setAttributedString(PromptedScript::make());
        text->setBackgroundColor(Qt::black);
        prompter->setHorizontallyFlipped(mirrored);
        prompter->tile();
        text->layoutManager()->ensureLayoutForTextContainer();
        clip = prompter->prompterScrollView()->contentView();
        window.orderFront();
    }
    Window window;
    OVPrompterView* prompter = nullptr;
    ClipView* clip = nullptr;
};

// One tick of Prompt mode on two equal 1080p monitors as the windows take it: the operator's view
// and the talent's mirrored one move by one pixel, copy what they show and draw what comes into view,
// each under its overlay scroller. (The preview panel is ordered out while prompting.)
void BM_PromptingTickOnTwoScreens(benchmark::State& state)
{
    PromptedScript::application();
    ShownPrompter operatorView(Rect{{0, 0}, kOutput}, false);
    ShownPrompter talent(Rect{{1920, 0}, kOutput}, true);
    double y = operatorView.prompter->prompterTextView()->frame().size.height / 3;
    const auto moveTo = [&](double to) {
        operatorView.clip->scrollToPoint({0, to});
        talent.clip->scrollToPoint({0, to});
    };
    moveTo(y);
    QApplication::processEvents();
    for (auto _ : state) {
        y += 1;
        moveTo(y);
        QApplication::processEvents();
    }
    benchmark::DoNotOptimize(talent.clip->bounds());
}
BENCHMARK(BM_PromptingTickOnTwoScreens)->Unit(benchmark::kMicrosecond);

// Ten minutes of ticks at about 60 a second, each up to 40% early or late, at a speed of 150 points a
// second: every second's distance must be within 5% of the speed, and no step may go backwards.
void BM_TickMotion(benchmark::State& state)
{
    bench::application();
    ManualClock clock;
    Clock::setShared(&clock);
    UserDefaults::shared().setInteger(1, QStringLiteral("updateTimingTag"));
    UserDefaults::shared().setInteger(0, QStringLiteral("speedScaleTypeTag"));
    double worstSpeedError = 0;
    double smallestStep = 1e9;
    double largestStep = 0;
    int backwards = 0;
    {
        const std::unique_ptr<ScrollView> scroll = bench::scrollOverDocument(Rect{{0, 0}, kOutput}, 4e6);
        bench::PrompterView prompter(scroll.get());
        bench::CoreController controller(&prompter);
        bench::CoreInput input;
        OVCore core;
        core.setInputController(&input);
        core.configureCoreForController(&controller);
        // 150 points a second with the linear scale.
        controller.fixedSpeed = 150.0 / core.pixelsPerSecond();
        core.speedDidUpdate();
        core.startPrompter();
        std::mt19937 random(42);
        std::uniform_real_distribution<double> jitter(0.6, 1.4);
        for (auto _ : state) {
            std::vector<double> offsets;
            std::vector<double> times;
            double now = 0;
            for (int tick = 0; tick < 60 * 600; ++tick) {
                const double interval = jitter(random) / 60;
                clock.advance(interval);
                now += interval;
                core._prompterTimerAction();
                offsets.push_back(scroll->contentView()->bounds().origin.y);
                times.push_back(now);
            }
            for (std::size_t i = 1; i < offsets.size(); ++i) {
                const double step = offsets[i] - offsets[i - 1];
                backwards += step < 0 ? 1 : 0;
                smallestStep = std::min(smallestStep, step);
                largestStep = std::max(largestStep, step);
            }
            // Distance over each whole second against the speed.
            std::size_t from = 0;
            for (std::size_t i = 1; i < offsets.size(); ++i) {
                if (times[i] - times[from] < 1.0)
                    continue;
                const double speed = (offsets[i] - offsets[from]) / (times[i] - times[from]);
                worstSpeedError = std::max(worstSpeedError, std::abs(speed - 150) / 150);
                from = i;
            }
        }
        core.enterEditMode();
    }
    Clock::setShared(nullptr);
    state.counters["worst_speed_error_pct"] = worstSpeedError * 100;
    state.counters["smallest_step"] = smallestStep;
    state.counters["largest_step"] = largestStep;
    state.counters["backward_steps"] = backwards;
    if (worstSpeedError > 0.05 || backwards > 0)
        state.SkipWithError("the motion is not time-correct");
}
BENCHMARK(BM_TickMotion)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
