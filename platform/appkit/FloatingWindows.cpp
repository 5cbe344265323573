#include "platform/appkit/FloatingWindows.h"

#include "platform/appkit/Application.h"
#include "platform/appkit/Window.h"

#include <QScreen>
#include <QVariant>
#include <QWidget>

#include <algorithm>

namespace FloatingWindows {

Window* visibleFloatingWindow()
{
    for (Window* window : Application::shared().orderedWindows()) {
        // Above the floating level are the prompt-mode windows, which place their own dialogs.
        if (window->level() == Window::kFloatingWindowLevel && window->isVisible() &&
            !window->isMiniaturized())
            return window;
    }
    return nullptr;
}

void openAbove(QWidget& widget)
{
    if (widget.isVisible() || !widget.isWindow())
        return;
    const Window* floating = visibleFloatingWindow();
    QWidget* host = floating ? floating->hostWidget() : nullptr;
    // Set while the window is off screen, as a shown window never changes its flags; a window this
    // raised before and that opens again with nothing floating goes back to the ordinary level.
    static const char* const kRaised = "openedAboveFloatingWindows";
    if (!host) {
        if (widget.property(kRaised).toBool()) {
            widget.setWindowFlag(Qt::WindowStaysOnTopHint, false);
            widget.setProperty(kRaised, false);
        }
        return;
    }
    if (!(widget.windowFlags() & Qt::WindowStaysOnTopHint)) {
        widget.setWindowFlag(Qt::WindowStaysOnTopHint, true);
        widget.setProperty(kRaised, true);
    }
    // One placed by the program is kept inside the screen; one not yet placed Qt centres there.
    const QScreen* screen = host->screen();
    if (!screen || !widget.testAttribute(Qt::WA_Moved))
        return;
    const QRect area = screen->availableGeometry();
    QRect frame = widget.geometry();
    if (area.contains(frame))
        return;
    frame.setSize(frame.size().boundedTo(area.size()));
    frame.moveLeft(std::clamp(frame.left(), area.left(), area.right() + 1 - frame.width()));
    frame.moveTop(std::clamp(frame.top(), area.top(), area.bottom() + 1 - frame.height()));
    widget.setGeometry(frame);
}

} // namespace FloatingWindows
