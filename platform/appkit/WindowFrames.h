#pragma once

#include "platform/foundation/Rect.h"

// Frame arithmetic for placing windows, in the platform's y-up convention, callable without a window.

// Keeps the frame's size; the origin is xDelta + xRatio * (free width) and yDelta + yRatio * (free
// height), measured from the rectangle's own origin, not in screen coordinates: callers that want a
// screen position add the rectangle's origin. The result lies on whole points.
Rect positionFrame(const Rect& frame, const Rect& withinRect, double xRatio, double yRatio, double xDelta,
                   double yDelta);
// Horizontally centred, in the upper part (three quarters of the free height below it).
Rect centerFrame(const Rect& frame, const Rect& withinRect);
// Centred on both axes.
Rect absoluteCenterFrame(const Rect& frame, const Rect& withinRect);

// The frame zooming goes to, made sane: each axis clamped into [minSize, maxSize] unless either size
// is zero (a minimum above the maximum gives the maximum), the size at most kMaxStandardFrameSize,
// each origin coordinate within +-kMaxStandardFrameOrigin.
inline constexpr double kMaxStandardFrameSize = 10000;
inline constexpr double kMaxStandardFrameOrigin = 16000;
Rect clampStandardFrame(const Rect& frame, const Size& minSize, const Size& maxSize);

// A frame brought inside a visible frame: no larger than it on either axis, moved in from whichever
// edge it overhangs, and never starting left of or below it.
Rect frameMovedIntoVisibleFrame(const Rect& frame, const Rect& visibleFrame);

// Where a window opened for the first time goes: inside the visible frame, and when it would overlap
// the obstacle (a floating panel), beside it on whichever side has room, left first; with no room on
// either side it stays where it was, inside the visible frame. An empty obstacle is ignored.
Rect frameBesideObstacle(const Rect& frame, const Rect& visibleFrame, const Rect& obstacle);
