// The Updates pane and the window-size presets as a user meets them: the pane brought up to date
// from the update services, the pane shown to its first frame, a preset added in the editor with
// ten script windows open and the preset menus rebuilt, and a long stored preset list read and
// sorted.
#include "app/OVAppDelegate.h"
#include "bench/BenchRegisteredDefaults.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVAppServices.h"
#include "platform/hvkit/HVAppUpdateController.h"
#include "platform/updates/Appcast.h"
#include "platform/updates/UpdateChoice.h"
#include "preferences/OVUpdatesPreferencesViewController.h"
#include "preferences/OVWindowSizePresetEditor.h"
#include "prompting/OVCore.h"
#include "window/OVDocumentWindowController.h"
#include "window/OVResolutionString.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPixmap>
#include <benchmark/benchmark.h>

#include <memory>
#include <random>

namespace {

// With an update on offer, so the summary and the button have something to show.
void BM_UpdatesPaneUpdateInterface(benchmark::State& state)
{
    bench::applicationWithRegisteredDefaults();
    OVAppDelegate delegate;
    delegate.setUpUpdates();
    HVAppServices::shared().appUpdateController()->setLatestAppUpdates(
        {HVAppUpdate{HVAppUpdate::Type::Free,
                     QStringLiteral("999999"),
                     QStringLiteral("999.0"),
                     {},
                     QUrl(QStringLiteral("https://orvane.example/releases/999.0")),
                     {},
                     false}});
    OVUpdatesPreferencesViewController pane;
    pane.show();
    for (auto _ : state)
        pane.updateInterface();
}
BENCHMARK(BM_UpdatesPaneUpdateInterface)->Unit(benchmark::kMicrosecond);

// Made, shown and drawn, as the window does on the first choice of the pane.
void BM_ShowUpdatesPaneToFirstFrame(benchmark::State& state)
{
    bench::applicationWithRegisteredDefaults();
    OVAppDelegate delegate;
    delegate.setUpUpdates();
    for (auto _ : state) {
        auto pane = std::make_unique<OVUpdatesPreferencesViewController>();
        pane->resize(720, 560);
        pane->show();
        pane->settingsDidShow();
        const QPixmap frame = pane->grab();
        benchmark::DoNotOptimize(frame.cacheKey());
        state.PauseTiming();
        pane.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ShowUpdatesPaneToFirstFrame)
    ->Name("BM_ShowUpdatesPaneFirstInProcess")
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShowUpdatesPaneToFirstFrame)->Unit(benchmark::kMillisecond);

// Each iteration adds one preset through the editor (stored, menus rebuilt, table reloaded); the
// preset is taken out again untimed.
void BM_AddPresetWithTenWindowsOpen(benchmark::State& state)
{
    bench::applicationWithRegisteredDefaults();
    OVAppDelegate delegate;
    delegate.rebuildWindowPresetSizesMenu();
    OVCore core;
    std::vector<std::unique_ptr<OVDocumentWindowController>> windows;
    for (int i = 0; i < 10; ++i) {
        windows.push_back(std::make_unique<OVDocumentWindowController>(&core));
        windows.back()->window()->setFrame({{double(20 * i), double(20 * i)}, {900, 700}});
        windows.back()->window()->orderFront();
    }
    QCoreApplication::processEvents();
    OVWindowSizePresetEditor editor([&delegate] { delegate.rebuildWindowPresetSizesMenu(); });
    editor.setBeeper([] {});
    editor.widthField()->setText(QStringLiteral("1111"));
    editor.heightField()->setText(QStringLiteral("777"));
    const OVResolutionString preset = *OVResolutionString::resolutionWithWidth(1111, 777);
    for (auto _ : state) {
        if (!editor.addPreset())
            state.SkipWithError("the preset was not added");
        state.PauseTiming();
        OVResolutionString::removeResolutionStringFromDefaults(preset);
        editor.changePresetMaintainance();
        state.ResumeTiming();
    }
    state.counters["windows"] = double(windows.size());
}
BENCHMARK(BM_AddPresetWithTenWindowsOpen)->Unit(benchmark::kMillisecond);

// 10,000 stored presets in random order, read from the settings and sorted by width.
void BM_ParseAndSortTenThousandStoredPresets(benchmark::State& state)
{
    bench::applicationWithRegisteredDefaults();
    std::mt19937 random(7);
    std::uniform_int_distribution<int> side(320, 9999);
    PlistArray stored;
    for (int i = 0; i < 10000; ++i)
        stored.push_back(QStringLiteral("%1 × %2").arg(side(random)).arg(side(random)));
    UserDefaults::shared().setObject(stored, OVResolutionString::kWindowPresetResolutionsKey);
    for (auto _ : state) {
        const std::vector<OVResolutionString> sorted =
            OVResolutionString::sortedResolutionStrings(OVResolutionString::defaultResolutionStrings());
        benchmark::DoNotOptimize(sorted.data());
    }
    UserDefaults::shared().removeObjectForKey(OVResolutionString::kWindowPresetResolutionsKey);
    state.counters["presets"] = 10000;
}
BENCHMARK(BM_ParseAndSortTenThousandStoredPresets)->Unit(benchmark::kMillisecond);

// A feed of 200 releases read and the best one chosen, as after each check.
void BM_ReadAndChooseFromTwoHundredItemFeed(benchmark::State& state)
{
    QByteArray feed = R"(<?xml version="1.0"?>
<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle"><channel><title>Orvane</title>)";
    for (int item = 0; item < 200; ++item) {
        feed += QStringLiteral(R"(<item><title>Orvane %1.0</title><link>https://orvane.example/releases/%1.0</link>
<description>&lt;p&gt;Release %1.&lt;/p&gt;</description><pubDate>Mon, 07 Dec 2026 10:00:00 +0000</pubDate>
<sparkle:minimumSystemVersion>10.13</sparkle:minimumSystemVersion><isPaidUpdate>%2</isPaidUpdate>
<enclosure url="https://orvane.example/orvane-%1.0.tar.gz" sparkle:version="%3" sparkle:shortVersionString="%1.0" length="10" type="application/octet-stream"/></item>)")
                    .arg(item + 1)
                    .arg(item % 7 == 0 ? QStringLiteral("true") : QStringLiteral("false"))
                    .arg(2000 + item)
                    .toUtf8();
    }
    feed += "</channel></rss>";
    if (const std::optional<Appcast> appcast = Appcast::appcastWithData(feed);
        !appcast || !UpdateChoice::chooseFromAppcast(*appcast).bestFreeItem()) {
        state.SkipWithError("the feed offers no update");
        return;
    }
    for (auto _ : state) {
        const std::optional<Appcast> appcast = Appcast::appcastWithData(feed);
        const UpdateChoice choice = UpdateChoice::chooseFromAppcast(*appcast);
        benchmark::DoNotOptimize(choice.bestFreeItem());
    }
}
BENCHMARK(BM_ReadAndChooseFromTwoHundredItemFeed)->Unit(benchmark::kMillisecond);

} // namespace
