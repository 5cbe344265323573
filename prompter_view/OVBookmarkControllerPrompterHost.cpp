#include "prompter_view/OVBookmarkControllerPrompterHost.h"

#include "platform/appkit/AppKitNotifications.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/textview/TextView.h"
#include "prompter_view/OVPrompterView.h"
#include "prompting/OVCore.h"
#include "text/OVBookmarkController.h"
#include "text/OVLayoutManager.h"
#include "text/OVTextView.h"

#include <vector>

namespace {

const OVPrompterView* enclosingPrompterView(const View& view)
{
    for (const View* ancestor = view.superview(); ancestor; ancestor = ancestor->superview()) {
        if (const auto* prompter = dynamic_cast<const OVPrompterView*>(ancestor))
            return prompter;
    }
    return nullptr;
}

// The script a window prompts: its content view is a prompter view.
OVTextView* prompterTextViewOf(const Window& window)
{
    const auto* prompter = dynamic_cast<const OVPrompterView*>(window.contentView());
    return prompter ? prompter->prompterTextView() : nullptr;
}

// The bookmark controller works on the script of the main window, and lets go of it as soon as that
// window stops being main or closes.
void followMainWindow()
{
    static std::vector<NotificationObserver> observers;
    if (!observers.empty())
        return;
    NotificationCenter& center = NotificationCenter::shared();
    observers.emplace_back(center, kWindowDidBecomeMainNotification, nullptr,
                           [](const Notification& notification) {
                               const auto* window = static_cast<const Window*>(notification.object);
                               if (OVTextView* text = window ? prompterTextViewOf(*window) : nullptr)
                                   OVBookmarkController::sharedBookmarkController().setTextView(text);
                           });
    const auto release = [](const Notification& notification) {
        const auto* window = static_cast<const Window*>(notification.object);
        OVBookmarkController& controller = OVBookmarkController::sharedBookmarkController();
        if (window && controller.textView() && controller.textView() == prompterTextViewOf(*window))
            controller.setTextView(nullptr);
    };
    observers.emplace_back(center, kWindowDidResignMainNotification, nullptr, release);
    observers.emplace_back(center, kWindowWillCloseNotification, nullptr, release);
}

} // namespace

void installBookmarkControllerPrompterHost(OVCore& core)
{
    OVBookmarkController::Host host;
    host.isModePrompt = [&core] { return core.isModePrompt(); };
    host.addScrollingDelta = [&core](double delta) {
        // A paused prompter takes no deltas until it starts: the jump must show at once.
        if (!core.isStatusStarted())
            return false;
        // A jump says where the prompter should be: a delta from a jump the tick has not taken yet
        // would otherwise be added on top.
        core.clearScrollingDelta();
        core.addScrollingDelta(delta);
        return true;
    };
    host.isFocusArrowVisible = [](const TextView& view) {
        const OVPrompterView* prompter = enclosingPrompterView(view);
        return prompter && prompter->isFocusArrowVisible();
    };
    OVBookmarkController::setHost(std::move(host));
    // Jumps land a bookmark at the reading line, which the core measures for the view that leads.
    core.setBookmarkDeltaLocationHandler(
        [](double delta) { OVBookmarkController::sharedBookmarkController().setDeltaLocation(delta); });
    OVLayoutManager::setPrompterScaleFactorProvider([](const OVTextView& view) {
        const OVPrompterView* prompter = enclosingPrompterView(view);
        return prompter ? prompter->scaleFactor() : 1.0;
    });
    followMainWindow();
}
