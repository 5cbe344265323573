// The window work of entering and leaving full-screen Prompt mode: the operator screen's blocking
// window below the document window, five other document windows minimised under the Prompt-mode
// notice, and all of it taken down again. Blocking windows and notices are made on the first entry
// and reused; the counters show how many were made over the whole run.
#include "BenchApplication.h"

#include "output/OVPromptModeWindows.h"
#include "output/OVPrompterWindow.h"
#include "platform/appkit/FakeScreenProvider.h"
#include "platform/appkit/ScreenProvider.h"
#include "platform/appkit/ScrollView.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/UserDefaults.h"
#include "prompting/OVCore.h"
#include "prompting/OVCoreController.h"
#include "prompting/OVCoreInputController.h"
#include "prompting/OVCorePrompterView.h"
#include "prompting/OVPromptModeNoticeWindow.h"
#include "prompting/OVTimeInfo.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

constexpr int kOtherDocuments = 5;

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
    BenchController() : window(std::make_unique<OVPrompterWindow>(Rect{{100, 100}, {800, 600}}))
    {
        auto scroll = std::make_unique<ScrollView>(Rect{{0, 0}, {800, 600}});
        auto document = std::make_unique<View>(Rect{{0, 0}, {800, 20000}});
        document->setFlipped(true);
        scroll->setDocumentView(std::move(document));
        prompter = std::make_unique<BenchPrompterView>(scroll.get());
        window->setContentView(std::move(scroll));
    }
    Window* controllerWindow() const override { return window.get(); }
    OVCorePrompterView* prompterView() const override { return prompter.get(); }
    double speed() const override { return 5; }
    void setSpeed(double) override {}
    double minSpeedUIValue() const override { return -30; }
    double maxSpeedUIValue() const override { return 30; }
    OVTimeInfo* timeInfo() const override { return const_cast<OVTimeInfo*>(&time); }
    bool timeRemainingNeedsUpdate() const override { return false; }
    void setTimeRemainingNeedsUpdate(bool) override {}
    bool speedControlNeedsUpdate() const override { return false; }
    void setSpeedControlNeedsUpdate(bool) override {}
    void updateSpeedControl() override {}
    void forceModeChange(unsigned) override {}
    bool looping() const override { return true; }

    std::unique_ptr<OVPrompterWindow> window;
    std::unique_ptr<BenchPrompterView> prompter;
    OVTimeInfo time;
};

class BenchInput final : public OVCoreInputController {
public:
    void start() override {}
    void stop() override {}
    bool scrollDown() const override { return false; }
    bool scrollUp() const override { return false; }
    bool boostSpeed() const override { return false; }
    double lastScrollDownTime() const override { return 0; }
    double lastScrollUpTime() const override { return 0; }
};

void BM_PromptModeRoundTripWithBlockingWindowsAndNotices(benchmark::State& state)
{
    bench::application();
    static QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
    ManualClock clock;
    Clock::setShared(&clock);
    FakeScreenProvider screens({FakeScreenProvider::makeScreen(0, Rect{{0, 0}, {1920, 1080}})});
    ScreenProvider::setShared(&screens);
    UserDefaults::shared().setBool(false, QStringLiteral("useWindowedPrompting"));
    {
        BenchController controller;
        controller.window->orderFront();
        std::vector<std::unique_ptr<OVPrompterWindow>> others;
        for (int i = 0; i < kOtherDocuments; ++i) {
            others.push_back(std::make_unique<OVPrompterWindow>(Rect{{150.0 + 30 * i, 120}, {700, 500}}));
            others.back()->orderFront();
            others.back()->miniaturize();
        }
        BenchInput input;
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
