#include "platform/appkit/WindowFrames.h"

#include <algorithm>

namespace {

// A minimum above the maximum is settled for the maximum; std::clamp would be undefined there.
double clampAxis(double value, double minimum, double maximum)
{
    return std::min(std::max(value, minimum), maximum);
}

// The edge an axis of the frame starts at once its extent fits the visible span.
double originWithin(double origin, double extent, double visibleOrigin, double visibleExtent)
{
    const double visibleEnd = visibleOrigin + visibleExtent;
    if (origin < visibleOrigin)
        return visibleOrigin;
    if (origin + extent > visibleEnd)
        return std::max(visibleOrigin, visibleEnd - extent);
    return origin;
}

} // namespace

Rect positionFrame(const Rect& frame, const Rect& withinRect, double xRatio, double yRatio, double xDelta,
                   double yDelta)
{
    const Rect placed{{xDelta + xRatio * (withinRect.size.width - frame.size.width),
                       yDelta + yRatio * (withinRect.size.height - frame.size.height)},
                      frame.size};
    return placed.integral();
}

Rect centerFrame(const Rect& frame, const Rect& withinRect)
{
    return positionFrame(frame, withinRect, 0.5, 0.75, 0, 0);
}

Rect absoluteCenterFrame(const Rect& frame, const Rect& withinRect)
{
    return positionFrame(frame, withinRect, 0.5, 0.5, 0, 0);
}

Rect clampStandardFrame(const Rect& frame, const Size& minSize, const Size& maxSize)
{
    Rect result = frame;
    const bool zeroMin = minSize.width == 0 && minSize.height == 0;
    const bool zeroMax = maxSize.width == 0 && maxSize.height == 0;
    if (!zeroMin && !zeroMax) {
        result.size.width = clampAxis(result.size.width, minSize.width, maxSize.width);
        result.size.height = clampAxis(result.size.height, minSize.height, maxSize.height);
    }
    result.size.width = std::min(result.size.width, kMaxStandardFrameSize);
    result.size.height = std::min(result.size.height, kMaxStandardFrameSize);
    result.origin.x = clampAxis(result.origin.x, -kMaxStandardFrameOrigin, kMaxStandardFrameOrigin);
    result.origin.y = clampAxis(result.origin.y, -kMaxStandardFrameOrigin, kMaxStandardFrameOrigin);
    return result;
}

Rect frameMovedIntoVisibleFrame(const Rect& frame, const Rect& visibleFrame)
{
    // The overhang is measured with the size the frame ends up with, so a frame wider than the
    // visible frame lands exactly on it rather than partly off its left edge.
    Rect result = frame;
    result.size.width = std::min(frame.size.width, visibleFrame.size.width);
    result.size.height = std::min(frame.size.height, visibleFrame.size.height);
    result.origin.x =
        originWithin(frame.origin.x, result.size.width, visibleFrame.origin.x, visibleFrame.size.width);
    result.origin.y =
        originWithin(frame.origin.y, result.size.height, visibleFrame.origin.y, visibleFrame.size.height);
    return result;
}

Rect frameBesideObstacle(const Rect& frame, const Rect& visibleFrame, const Rect& obstacle)
{
    Rect result = frameMovedIntoVisibleFrame(frame, visibleFrame);
    if (obstacle.isEmpty() || !result.intersects(obstacle))
        return result;
    const double width = result.size.width;
    if (obstacle.minX() - visibleFrame.minX() >= width)
        result.origin.x = obstacle.minX() - width;
    else if (visibleFrame.maxX() - obstacle.maxX() >= width)
        result.origin.x = obstacle.maxX();
    return result;
}
