#include "prompter_view/OVBookmarkControllerPrompterHost.h"

#include "platform/textview/TextView.h"
#include "prompter_view/OVPrompterView.h"
#include "prompting/OVCore.h"
#include "text/OVBookmarkController.h"
#include "text/OVLayoutManager.h"
#include "text/OVTextView.h"

namespace {

const OVPrompterView* enclosingPrompterView(const View& view)
{
    for (const View* ancestor = view.superview(); ancestor; ancestor = ancestor->superview()) {
        if (const auto* prompter = dynamic_cast<const OVPrompterView*>(ancestor))
            return prompter;
    }
    return nullptr;
}

} // namespace

void installBookmarkControllerPrompterHost(OVCore& core)
{
    OVBookmarkController::Host host;
    host.isModePrompt = [&core] { return core.isModePrompt(); };
    host.addScrollingDelta = [&core](double delta) {
        // A jump says where the prompter should be: a delta from a jump the tick has not taken yet
        // would otherwise be added on top.
        core.clearScrollingDelta();
        core.addScrollingDelta(delta);
    };
    host.isFocusArrowVisible = [](const TextView& view) {
        const OVPrompterView* prompter = enclosingPrompterView(view);
        return prompter && prompter->isFocusArrowVisible();
    };
    OVBookmarkController::setHost(std::move(host));
    OVLayoutManager::setPrompterScaleFactorProvider([](const OVTextView& view) {
        const OVPrompterView* prompter = enclosingPrompterView(view);
        return prompter ? prompter->scaleFactor() : 1.0;
    });
}
