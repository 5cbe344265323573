// The Controls and Advanced panes' cost as a user meets it: one key pressed in a hot-key field, up to
// its code stored and its name shown; and a reset of all settings with the whole settings window
// loaded and three document windows following every notification and cache refresh.
#include "app/OVAppDelegate.h"
#include "bench/BenchRegisteredDefaults.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/FakeScreenProvider.h"
#include "platform/appkit/ScreenProvider.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/UserDefaults.h"
#include "preferences/OVAdvancedPreferencesViewController.h"
#include "preferences/OVControlPreferencesViewController.h"
#include "preferences/OVKeyField.h"
#include "prompting/OVCore.h"
#include "window/OVDocumentWindowController.h"

#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

// Alternates two letters, so that every press is a new key stored and shown.
void BM_KeyPressInFieldToStoredCode(benchmark::State& state)
{
    bench::applicationWithRegisteredDefaults();
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* pane = new OVControlPreferencesViewController(&window);
    layout->addWidget(pane);
    window.show();
    QApplication::setActiveWindow(&window);
    OVKeyField* start = pane->keyFieldForDefaultsKey(QStringLiteral("hotkeyToggleStart"));
    bool other = false;
    qint64 wrong = 0;
    for (auto _ : state) {
        state.PauseTiming();
        start->setFocus(Qt::MouseFocusReason);
        other = !other;
        const int key = other ? Qt::Key_Q : Qt::Key_W;
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier,
                        other ? QStringLiteral("q") : QStringLiteral("w"));
        state.ResumeTiming();
        QApplication::sendEvent(start, &press);
        const qint64 stored = UserDefaults::shared().integerForKey(QStringLiteral("hotkeyToggleStart"));
        const QString shown = start->text();
        benchmark::DoNotOptimize(shown.size());
        state.PauseTiming();
        if (stored != (other ? 81 : 87))
            ++wrong;
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
        QApplication::sendEvent(start, &release);
        state.ResumeTiming();
    }
    state.counters["wrong"] = double(wrong);
    UserDefaults::shared().resetUserValues();
}
BENCHMARK(BM_KeyPressInFieldToStoredCode)->Unit(benchmark::kMicrosecond);

// Reset of all settings confirmed in the Advanced pane: every pane, provider and cache hears of it,
// the preview panel comes forward and three document windows follow the speed notifications.
void BM_ResetAllSettingsWithPanesAndThreeDocuments(benchmark::State& state)
{
    bench::applicationWithRegisteredDefaults();
    ManualClock clock;
    FakeScreenProvider screens({FakeScreenProvider::makeScreen(0, Rect{{0, 0}, {1280, 800}}, 60.0)});
    Clock::setShared(&clock);
    ScreenProvider::setShared(&screens);
    auto core = std::make_unique<OVCore>();
    std::vector<std::unique_ptr<OVDocumentWindowController>> documents;
    for (int i = 0; i < 3; ++i) {
        documents.push_back(std::make_unique<OVDocumentWindowController>(core.get()));
        documents.back()->window()->orderFront();
    }
    auto delegate = std::make_unique<OVAppDelegate>();
    delegate->showSettingsWindow();
    auto* panes = delegate->settingsWindow()->findChild<QStackedWidget*>();
    OVAdvancedPreferencesViewController* advanced = nullptr;
    for (int index = 0; panes && index < panes->count(); ++index) {
        if (auto* pane = dynamic_cast<OVAdvancedPreferencesViewController*>(panes->widget(index)))
            advanced = pane;
    }
    if (!advanced) {
        state.SkipWithError("no Advanced pane");
        return;
    }
    AlertPresenterScope confirm([](Alert&) { return Alert::kFirstButtonReturn; });
    UserDefaults& defaults = UserDefaults::shared();
    for (auto _ : state) {
        state.PauseTiming();
        // Something to reset each time: a hot key, the speeds and an Advanced choice.
        defaults.setInteger(75, QStringLiteral("hotkeyToggleStart"));
        defaults.setDouble(0.5, QStringLiteral("speedIncrement"));
        defaults.setDouble(5.0, QStringLiteral("defaultSpeed"));
        defaults.setInteger(2, QStringLiteral("overdrawOptionTag"));
        state.ResumeTiming();
        advanced->performSettingsAction(OVAdvancedPreferencesViewController::kResetSettingsTag);
        state.PauseTiming();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    delegate.reset();
    documents.clear();
    core.reset();
    QCoreApplication::processEvents();
    ScreenProvider::setShared(nullptr);
    Clock::setShared(nullptr);
    defaults.resetUserValues();
}
BENCHMARK(BM_ResetAllSettingsWithPanesAndThreeDocuments)->Unit(benchmark::kMillisecond);

} // namespace
