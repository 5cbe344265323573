// The document window's toolbar under a stream of speed changes (wheel, hot keys, a dragged slider)
// and the validation of every menu and toolbar item of a window, which runs on each menu opening.
#include "app/OVMainMenu.h"
#include "bench/PromptedScript.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/FakeScreenProvider.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/ScreenProvider.h"
#include "platform/appkit/Toolbar.h"
#include "platform/appkit/Window.h"
#include "prompting/OVCore.h"
#include "window/OVDocumentWindowController.h"
#include "window/OVDocumentWindowToolbar.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

struct DocumentWindow {
    DocumentWindow() : screens({FakeScreenProvider::makeScreen(0, {{0, 0}, {1920, 1080}})})
    {
        ScreenProvider::setShared(&screens);
        controller = std::make_unique<OVDocumentWindowController>(&core);
        controller->window();
        Application::shared().setMainWindow(controller->window());
    }
    ~DocumentWindow()
    {
        Application::shared().setMainWindow(nullptr);
        controller.reset();
        ScreenProvider::setShared(nullptr);
    }

    FakeScreenProvider screens;
    OVCore core;
    std::unique_ptr<OVDocumentWindowController> controller;
};

// Each call changes the speed; the read-out refreshes at most 30 times a second of it.
void BM_SetPrompterSpeed(benchmark::State& state)
{
    PromptedScript::application();
    DocumentWindow window;
    int step = 0;
    for (auto _ : state) {
        window.controller->setPrompterSpeed(((step++ % 200) - 100) / 10.0 + 0.05);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SetPrompterSpeed)->Iterations(100000)->Unit(benchmark::kMicrosecond);

void collectItems(const Menu& menu, std::vector<UserInterfaceItem>& items)
{
    for (int i = 0; i < menu.numberOfItems(); ++i) {
        const MenuItem* item = menu.itemAtIndex(i);
        if (!item->action().isEmpty())
            items.push_back({item->action(), item->tag(), true});
        if (item->submenu())
            collectItems(*item->submenu(), items);
    }
}

// Every menu item finds its target along the chain and asks it; then the toolbar validates.
void BM_ValidateEveryMenuAndToolbarItem(benchmark::State& state)
{
    PromptedScript::application();
    DocumentWindow window;
    const std::unique_ptr<Menu> menu = OVMainMenu::makeMainMenu();
    std::vector<UserInterfaceItem> items;
    collectItems(*menu, items);
    Toolbar& toolbar = window.controller->documentToolbar()->toolbar();
    for (auto _ : state) {
        int enabled = 0;
        for (const UserInterfaceItem& item : items) {
            Responder* target = Application::shared().targetForAction(item.action);
            enabled += target && target->validateMenuItem(item);
        }
        toolbar.validateVisibleItems();
        benchmark::DoNotOptimize(enabled);
    }
    state.counters["menu items"] = double(items.size());
}
BENCHMARK(BM_ValidateEveryMenuAndToolbarItem)->Unit(benchmark::kMicrosecond);

} // namespace
