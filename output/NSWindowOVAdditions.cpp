#include "output/NSWindowOVAdditions.h"

#include "output/OVPreviewWindowController.h"
#include "output/OVPrompterWindow.h"
#include "output/OVScreen.h"
#include "output/OVTalentWindowController.h"
#include "platform/appkit/Window.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

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

Rect frameForNewWindow(const Rect& frame)
{
    const std::optional<Screen> operatorDisplay = OVScreen::operatorScreen();
    if (!operatorDisplay)
        return frame;
    Rect panel;
    if (const OVPreviewWindowController* preview = OVPreviewWindowController::openPreviewWindowController()) {
        if (const Window* shown = preview->window(); shown && shown->isVisible())
            panel = shown->frame();
    }
    return frameBesideObstacle(frame, operatorDisplay->visibleFrame(), panel);
}

void placeNewWindow(QWidget& window)
{
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary)
        return;
    // Screens and windows measure y upwards from the primary screen's bottom edge; Qt downwards from
    // its top.
    const QRect origin = primary->geometry();
    const double bottom = double(origin.y()) + origin.height();
    // Before its first showing the window manager's title bar is not part of what Qt knows of it.
    constexpr int kDecorationAllowance = 40;
    const QRect qtFrame(window.pos(), window.size() + QSize(0, kDecorationAllowance));
    Rect frame{double(qtFrame.x() - origin.x()), bottom - (double(qtFrame.y()) + qtFrame.height()),
               double(qtFrame.width()), double(qtFrame.height())};
    // A widget never shown has no place of its own yet: it starts centred on the operator screen.
    if (const std::optional<Screen> operatorDisplay = OVScreen::operatorScreen();
        operatorDisplay && !window.isVisible()) {
        const Rect visible = operatorDisplay->visibleFrame();
        frame = absoluteCenterFrame(frame, visible).offsetBy(visible.origin.x, visible.origin.y);
    }
    const Rect placed = frameForNewWindow(frame);
    const QSize size(int(placed.width()), int(placed.height()) - kDecorationAllowance);
    if (size != window.size())
        window.resize(size.expandedTo(QSize(1, 1)));
    window.move(int(placed.minX()) + origin.x(), int(bottom - placed.maxY()));
}

} // namespace NSWindowOVAdditions
