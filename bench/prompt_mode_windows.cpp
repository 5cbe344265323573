// The window work of entering and leaving full-screen Prompt mode: the operator screen's blocking
// window below the document window, five other document windows minimised under the Prompt-mode
// notice, and all of it taken down again. Blocking windows and notices are made on the first entry
// and reused; the counters show how many were made over the whole run.
#include "BenchApplication.h"
#include "BenchCore.h"

#include "output/OVPromptModeWindows.h"
#include "output/OVPrompterWindow.h"
#include "platform/appkit/FakeScreenProvider.h"
#include "platform/appkit/ScreenProvider.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/UserDefaults.h"
#include "prompting/OVCore.h"
#include "prompting/OVPromptModeNoticeWindow.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

constexpr int kOtherDocuments = 5;

// A document window with the prompter's scroll view as its content, as the program shows a script.
struct PrompterWindow {
    PrompterWindow() : window(std::make_unique<OVPrompterWindow>(Rect{{100, 100}, {800, 600}}))
    {
        auto scroll = bench::scrollOverDocument(Rect{{0, 0}, {800, 600}}, 20000);
        prompter = std::make_unique<bench::PrompterView>(scroll.get());
        window->setContentView(std::move(scroll));
    }

    std::unique_ptr<OVPrompterWindow> window;
    std::unique_ptr<bench::PrompterView> prompter;
};

void BM_PromptModeRoundTripWithBlockingWindowsAndNotices(benchmark::State& state)
{
    bench::application();
    ManualClock clock;
    Clock::setShared(&clock);
    FakeScreenProvider screens({FakeScreenProvider::makeScreen(0, Rect{{0, 0}, {1920, 1080}})});
    ScreenProvider::setShared(&screens);
    UserDefaults::shared().setBool(false, QStringLiteral("useWindowedPrompting"));
    {
        PrompterWindow document;
        bench::CoreController controller(document.prompter.get(), document.window.get());
        controller.loops = true;
        document.window->orderFront();
        std::vector<std::unique_ptr<OVPrompterWindow>> others;
        for (int i = 0; i < kOtherDocuments; ++i) {
            others.push_back(std::make_unique<OVPrompterWindow>(Rect{{150.0 + 30 * i, 120}, {700, 500}}));
            others.back()->orderFront();
            others.back()->miniaturize();
        }
        bench::CoreInput input;
        OVCore core;
        core.setInputController(&input);
        OVPromptModeWindows windows;
        windows.install(core);
        OVPrompterWindow::setPromptModeQuery([&core] { return core.isModePrompt(); });
        core.configureCoreForController(&controller);
        const int overlaysBefore = OVPromptModeNoticeWindow::overlayWindowCount();
        for (auto _ : state) {
            core.enterPromptMode();
            core.enterEditMode();
        }
        state.counters["blocking_windows_made"] = windows.blockingWindowsMade();
        state.counters["notices_made"] = OVPromptModeNoticeWindow::overlayWindowCount() - overlaysBefore;
        OVPrompterWindow::setPromptModeQuery({});
    }
    UserDefaults::shared().removeObjectForKey(QStringLiteral("useWindowedPrompting"));
    ScreenProvider::setShared(nullptr);
    Clock::setShared(nullptr);
}

} // namespace

BENCHMARK(BM_PromptModeRoundTripWithBlockingWindowsAndNotices)->Unit(benchmark::kMillisecond);
