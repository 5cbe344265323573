#pragma once

// Placing windows for the operator: the frame arithmetic of platform/appkit/WindowFrames.h
// (positionFrame, centerFrame, absoluteCenterFrame, clampStandardFrame), and moves onto the operator
// screen.
#include "platform/appkit/WindowFrames.h"

class QWidget;
class Window;

namespace NSWindowOVAdditions {

// How a move shows: 0 at once, 1 as a quick resize animation, 2 as a longer animation of the frame.
enum AnimationMode : unsigned { kNoAnimation = 0, kResizeAnimation = 1, kAnimatorAnimation = 2 };
// The lengths of the two animations, in seconds.
inline constexpr double kResizeAnimationDuration = 0.2;
inline constexpr double kAnimatorAnimationDuration = 0.25;

// Centres the window (horizontally, in the upper part) on the operator screen when it is on another
// screen, else on its own; answers the new frame.
Rect centerOnOperatorScreen(Window& window);

// While the talent window is in use, a window on the talent screen comes back inside the operator
// screen's visible frame, made smaller where it does not fit; answers the window's frame.
Rect moveWindowToOperatorScreenIfNecessary(Window& window, unsigned animationMode);
// The same, acting only in Prompt mode when requiringIsPromptMode is set.
Rect moveWindowToOperatorScreenIfNecessary(Window& window, bool requiringIsPromptMode,
                                           unsigned animationMode);

// Where a window opened for the first time goes so the operator can use all of it: inside the
// operator screen's visible frame, beside the floating preview panel rather than under it.
Rect frameForNewWindow(const Rect& frame);
// The same for a top-level widget that is not a Window (the settings window), in Qt's coordinates;
// one never shown starts centred on the operator screen. Windows take the rule when first shown.
void placeNewWindow(QWidget& window);

} // namespace NSWindowOVAdditions
