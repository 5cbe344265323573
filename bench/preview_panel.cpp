// Opening the preview panel with all its controls (the operator waits for it at start and on the
// Preview button), and listing display modes through RandR, which the panel does each time its
// display status or resolution menu is looked at. The RandR benchmarks need an X server with RandR
// 1.5 (QT_QPA_PLATFORM=xcb, such as the two-monitor server of the launch tests) and are skipped
// elsewhere.
#include "bench/BenchApplication.h"
#include "output/OVPreviewWindowController.h"
#include "output/OVRandRDisplayModeService.h"
#include "output/OVTalentWindowController.h"
#include "platform/appkit/Screen.h"
#include "platform/foundation/UserDefaults.h"
#include "prompting/OVCore.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

void BM_OpenPreviewPanel(benchmark::State& state)
{
    bench::application();
    UserDefaults::shared().registerDefaults(OVPreviewWindowController::initialDefaultsDictionary());
    OVCore core;
    OVTalentWindowController talent(core);
    for (auto _ : state) {
        OVPreviewWindowController preview(core, talent);
        preview.showWindow();
        QApplication::processEvents();
        benchmark::DoNotOptimize(preview.window()->frame());
    }
}
BENCHMARK(BM_OpenPreviewPanel)->Unit(benchmark::kMillisecond);

// Asking the server afresh each time (the first question after the screens changed), and asking
// again with the answer kept.
void listModes(benchmark::State& state, bool cold)
{
    bench::application();
    const std::unique_ptr<OVRandRDisplayModeService> service = OVRandRDisplayModeService::create();
    const std::vector<Screen> screens = Screen::screens();
    if (!service || screens.empty()) {
        state.SkipWithError("no RandR 1.5 X server");
        return;
    }
    size_t listed = 0;
    for (auto _ : state) {
        if (cold)
            service->invalidateCache();
        for (const Screen& screen : screens) {
            listed += service->availableDisplayModes(screen).size();
            benchmark::DoNotOptimize(service->displayMode(screen));
            benchmark::DoNotOptimize(service->isMirrored(screen));
        }
    }
    state.counters["modes"] = double(listed) / double(std::max<int64_t>(1, state.iterations()));
}

void BM_ListRandRModesAfterAScreenChange(benchmark::State& state)
{
    listModes(state, true);
}
BENCHMARK(BM_ListRandRModesAfterAScreenChange)->Unit(benchmark::kMillisecond);

void BM_ListRandRModesKept(benchmark::State& state)
{
    listModes(state, false);
}
BENCHMARK(BM_ListRandRModesKept)->Unit(benchmark::kMicrosecond);

} // namespace
