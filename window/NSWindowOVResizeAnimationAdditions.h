#pragma once

#include "platform/foundation/Rect.h"

class Window;

// Lets single windows resize without animation: the program turns the mechanism on at start and
// the prompting core marks a window for instant resizing while it changes mode.
namespace NSWindowOVResizeAnimationAdditions {

// Turns the mechanism on, or off again.
void toggleAnimationResizeOverride();
bool isAnimationResizeTimeOverridden();
void setUsesInstantAnimationResizeTime(Window& window, bool instant);
bool usesInstantAnimationResizeTime(const Window& window);
// 0 for a marked window while the mechanism is on, otherwise the usual resize time.
double customAnimationResizeTime(const Window& window, const Rect& frame);

} // namespace NSWindowOVResizeAnimationAdditions
