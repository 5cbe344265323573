#include "output/OVEnvironment.h"

#include "output/OVScreen.h"
#include "output/OVPrompterWindow.h"
#include "output/OVTalentWindowController.h"
#include "platform/appkit/Scroller.h"
#include "platform/appkit/ScrollView.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/UserDefaults.h"
#include "prompter_view/OVPrompterView.h"
#include "prompting/OVCore.h"
#include "prompting/OVCoreController.h"
#include "text/NSMutableAttributedStringOVBookmarkAdditions.h"
#include "text/OVTextView.h"

#include <algorithm>
#include <cmath>

namespace {

bool boolDefault(const QString& key)
{
    return UserDefaults::shared().boolForKey(key);
}

Size frameSize(const std::optional<Screen>& screen)
{
    return screen ? screen->frame().size : Size{};
}

// The front prompter window: the one the core prompts with.
OVCoreController* frontMostController()
{
    return OVCore::sharedCore().controller();
}

} // namespace

unsigned OVEnvironment::prompterOutputTarget()
{
    if (OVTalentWindowController::isTalentWindowUtilized())
        return kTalentWindow;
    return boolDefault(QStringLiteral("useWindowedPrompting")) ? kWindowed : kOperatorFullScreen;
}

Size OVEnvironment::prompterOutputSize()
{
    const unsigned target = prompterOutputTarget();
    if (target == kTalentWindow) {
        // The talent's page is the screen less the strips that line it up with the operator's
        // toolbar: the preview lays its lines out on a page of that height, so they break and fall
        // where the talent's do.
        Size size = frameSize(OVScreen::talentScreen());
        size.height = std::max(
            0.0,
            size.height - 2 * OVTalentWindowController::sharedTalentWindowController().contentInset().height);
        return size;
    }
    OVCoreController* controller = frontMostController();
    Window* window = controller ? controller->controllerWindow() : nullptr;
    Size size;
    if (target == kWindowed) {
        if (boolDefault(QStringLiteral("maximizeWindowSize"))) {
            const std::optional<Screen> operatorDisplay = OVScreen::operatorScreen();
            if (!operatorDisplay || !window)
                return {};
            size = operatorDisplay->visibleFrame().size;
        } else {
            if (!window)
                return {};
            // A window's frame is its content area here; decorations belong to the window manager.
            size = window->frame().size;
        }
    } else {
        size = frameSize(OVScreen::operatorScreen());
    }
    if (!window)
        return size;
    // While prompting the menu bar gives its strip back to the prompter, and the toolbar shows as
    // set for Prompt mode, whatever the window shows now.
    if (OVCore::sharedCore().controllerWindowUsesToolbarInPromptMode())
        size.height = std::max(0.0, size.height - controller->toolbarHeight());
    ScrollView* scrollView = controller->prompterView() ? controller->prompterView()->scrollView() : nullptr;
    Scroller* scroller = scrollView ? scrollView->verticalScroller() : nullptr;
    if (scroller && boolDefault(QStringLiteral("showScrollBarInPromptMode")) &&
        scroller->style() == Scroller::Style::Legacy)
        size.width -= Scroller::scrollerWidth(Scroller::Style::Legacy);
    return size;
}

void OVEnvironment::createTemporaryPromptModeEnvironmentWithPrompterContent(
    OVPrompterView* prompterView, const Size& contentSize,
    const std::function<void(Window& window, OVPrompterView& prompterView)>& block)
{
    if (!prompterView || !block)
        return;
    Size size = contentSize;
    unsigned styleMask = Window::Borderless;
    if (size.width == 0 && size.height == 0) {
        if (OVTalentWindowController::isTalentWindowUtilized()) {
            size = frameSize(OVScreen::talentScreen());
        } else if (!boolDefault(QStringLiteral("useWindowedPrompting"))) {
            size = frameSize(OVScreen::operatorScreen());
        } else {
            styleMask = kWindowedStyleMask;
            if (boolDefault(QStringLiteral("maximizeWindowSize"))) {
                const std::optional<Screen> operatorDisplay = OVScreen::operatorScreen();
                size = operatorDisplay ? operatorDisplay->visibleFrame().size : Size{};
            } else if (const Window* window = prompterView->window()) {
                size = window->frame().size;
            }
        }
    }
    if (size.width == 0 && size.height == 0)
        size = {kFallbackWidth, kFallbackHeight};

    OVPrompterWindow window(Rect{{0, 0}, size}, styleMask);
    window.setAlphaValue(0);
    window.setAnimationBehavior(0);
    window.setEnableWindowAnimations(false);
    auto ownedView = std::make_unique<OVPrompterView>(Rect{{0, 0}, size});
    OVPrompterView& temporary = *ownedView;
    temporary.setUsesAnimation(false);
    temporary.setReflectPrompterSettingsInEditMode(true);
    window.setContentView(std::move(ownedView));

    OVTextView* source = prompterView->prompterTextView();
    OVTextView* target = temporary.prompterTextView();
    target->setContinuousSpellCheckingEnabled(false);
    target->setEditable(false);
    target->setSelectedRange({0, 0});
    target->setSelectable(false);
    TextStorage& storage = target->textStorage();
    storage.setAttributedString(source->textStorage());
    NSMutableAttributedStringOVBookmarkAdditions::recreateBookmarkAttachments(storage);
    NSMutableAttributedStringOVBookmarkAdditions::hideBookmarkCells(storage);
    NSMutableAttributedStringOVBookmarkAdditions::updateBookmarkTransientNames(storage);
    target->setBackgroundColor(source->backgroundColor());
    if (boolDefault(QStringLiteral("enableTalentContentAdjustments"))) {
        target->setDisableContentNotifications(true);
        target->setAllowsUndo(false);
        const double factor = UserDefaults::shared().doubleForKey(QStringLiteral("contentTextMagnificationFactor"));
        if (std::isfinite(factor) && factor > 0 && std::abs(factor - 1.0) >= kMagnificationThreshold)
            temporary.adjustTextSizeByFactor(factor);
        if (boolDefault(QStringLiteral("contentInvertTextAndBackgroundColor")))
            temporary.invertColors();
    }
    target->layoutManager()->removeTemporaryAttribute(kTemporaryBackgroundColorAttributeName, {0, storage.length()});
    block(window, temporary);
    window.orderOut();
}
