// The settings window's cost as a user meets it: a font chosen in the font panel for the default
// style, up to the stored style (its RTF written and compared byte for byte) and its notification;
// and opening the settings window on the General pane, from the menu action to its first frame.
#include "app/OVAppDelegate.h"
#include "bench/BenchRegisteredDefaults.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/TextStorage.h"
#include "preferences/OVDefaultStyleTextView.h"
#include "preferences/OVGeneralPreferencesViewController.h"
#include "settings/OVSharedPreferencesAccess.h"

#include <QApplication>
#include <QCoreApplication>
#include <QPixmap>
#include <QWidget>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

// Each iteration makes the window afresh, as the first choice of the menu item in a process does.
void BM_OpenSettingsWindowToFirstFrame(benchmark::State& state)
{
    bench::applicationWithRegisteredDefaults();
    for (auto _ : state) {
        state.PauseTiming();
        auto delegate = std::make_unique<OVAppDelegate>();
        state.ResumeTiming();
        delegate->showSettingsWindow();
        QWidget* window = delegate->settingsWindow();
        const QPixmap frame = window->grab();
        benchmark::DoNotOptimize(frame.cacheKey());
        state.PauseTiming();
        delegate.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
// The first run is the one a user waits for: fonts and styles are not yet loaded in the process.
BENCHMARK(BM_OpenSettingsWindowToFirstFrame)
    ->Name("BM_OpenSettingsWindowFirstInProcess")
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenSettingsWindowToFirstFrame)->Unit(benchmark::kMillisecond);

// Alternates between two sizes so that every choice is a change that is stored and announced.
void BM_FontPanelChoiceToStoredStyle(benchmark::State& state)
{
    bench::applicationWithRegisteredDefaults();
    OVGeneralPreferencesViewController pane;
    OVDefaultStyleTextView& sample = pane.defaultStyleTextView();
    Font font = *sample.textStorage().attribute(kFontAttributeName, 0).font();
    int announced = 0;
    const NotificationCenter::ObserverId observer =
        NotificationCenter::shared().addObserver(OVPreferencesGeneralDidChangeDefaultStyleNotification,
                                                 nullptr, [&announced](const Notification&) { ++announced; });
    bool large = false;
    for (auto _ : state) {
        large = !large;
        font.pointSize = large ? 72 : 64;
        sample.changeFont(font);
        // The deferred report of the sample runs on the event loop's next pass.
        QCoreApplication::processEvents();
    }
    NotificationCenter::shared().removeObserver(observer);
    state.counters["announced"] = double(announced) / double(state.iterations());
}
BENCHMARK(BM_FontPanelChoiceToStoredStyle)->Unit(benchmark::kMillisecond);

} // namespace
