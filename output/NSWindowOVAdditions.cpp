#include "output/NSWindowOVAdditions.h"

#include "output/OVPrompterWindow.h"
#include "output/OVScreen.h"
#include "output/OVTalentWindowController.h"
#include "platform/appkit/Window.h"

namespace NSWindowOVAdditions {

Rect centerOnOperatorScreen(Window& window)
{
    const std::optional<Screen> operatorDisplay = OVScreen::operatorScreen();
    const std::optional<Screen> current = window.screen();
    if (operatorDisplay && current && operatorDisplay->displayID() != current->displayID()) {
        const Rect within = operatorDisplay->frame();
        // The operator screen is the primary one, at the origin; its origin is added all the same.
        const Rect centered = centerFrame(window.frame(), within).offsetBy(within.origin.x, within.origin.y);
        window.setFrame(centered, false);
        return window.frame();
    }
    window.center();
    return window.frame();
}

Rect moveWindowToOperatorScreenIfNecessary(Window& window, unsigned animationMode)
{
    return moveWindowToOperatorScreenIfNecessary(window, false, animationMode);
}

Rect moveWindowToOperatorScreenIfNecessary(Window& window, bool requiringIsPromptMode, unsigned animationMode)
{
    if (!OVTalentWindowController::isTalentWindowUtilized())
        return window.frame();
    if (requiringIsPromptMode && !OVPrompterWindow::isPromptMode())
        return window.frame();
    const std::optional<Screen> current = window.screen();
    const std::optional<Screen> talent = OVScreen::talentScreen();
    if (!current || !talent || current->displayID() != talent->displayID())
        return window.frame();
    const std::optional<Screen> operatorDisplay = OVScreen::operatorScreen();
    const Rect visible = operatorDisplay ? operatorDisplay->visibleFrame() : Rect();
    const Rect target = frameMovedIntoVisibleFrame(window.frame(), visible);
    switch (animationMode) {
    case kAnimatorAnimation:
        window.animateFrame(target, kAnimatorAnimationDuration);
        break;
    case kResizeAnimation:
        window.animateFrame(target, kResizeAnimationDuration);
        break;
    default:
        window.setFrame(target, true);
        break;
    }
    return target;
}

} // namespace NSWindowOVAdditions
