#include "window/NSWindowOVResizeAnimationAdditions.h"

#include "platform/appkit/Window.h"

namespace NSWindowOVResizeAnimationAdditions {

void toggleAnimationResizeOverride()
{
    Window::setAnimationResizeTimeOverridden(!Window::isAnimationResizeTimeOverridden());
}

bool isAnimationResizeTimeOverridden()
{
    return Window::isAnimationResizeTimeOverridden();
}

void setUsesInstantAnimationResizeTime(Window& window, bool instant)
{
    window.setUsesInstantAnimationResizeTime(instant);
}

bool usesInstantAnimationResizeTime(const Window& window)
{
    return window.usesInstantAnimationResizeTime();
}

double customAnimationResizeTime(const Window& window, const Rect& frame)
{
    return window.animationResizeTime(frame);
}

} // namespace NSWindowOVResizeAnimationAdditions
