#include "window/OVDocumentWindowFrames.h"

#include "window/OVScreenGeometryProvider.h"

#include <algorithm>
#include <cmath>
#include <optional>

Rect OVDocumentWindowFrames::presetFrame(const Rect& frame, const Size& contentSize, const Size& resolution,
                                         const FrameForContent& frameForContent)
{
    const double heightChange = contentSize.height - resolution.height;
    const Rect sized = frameForContent(Rect{{0, 0}, resolution});
    return Rect{{frame.origin.x, frame.origin.y + heightChange}, sized.size};
}

Rect OVDocumentWindowFrames::centerFrameWithinRect(const Rect& frame, const Rect& rect)
{
    // On whole points by the origin alone: widening the frame to whole edges, as an integral rect
    // would, makes the content a point larger than asked for.
    return Rect{{std::floor(0.5 * (rect.size.width - frame.size.width)),
                 std::floor(0.75 * (rect.size.height - frame.size.height))},
                {std::ceil(frame.size.width), std::ceil(frame.size.height)}};
}

Rect OVDocumentWindowFrames::zoomFrame(const Rect& defaultFrame, const OVScreenGeometryProvider& screens,
                                       const FrameForContent& frameForContent)
{
    const std::optional<Size> talent = screens.talentContentSize();
    if (!talent || !(talent->width > 0) || !(talent->height > 0))
        return defaultFrame;
    Rect frame = frameForContent(Rect{{0, 0}, *talent});
    const std::optional<Rect> visible = screens.operatorVisibleFrame();
    if (!visible || visible->isEmpty())
        return Rect{defaultFrame.origin, frame.size};
    // A talent display larger than the operator's would put the window's edges out of reach.
    frame.size.width = std::min(frame.size.width, visible->size.width);
    frame.size.height = std::min(frame.size.height, visible->size.height);
    frame = centerFrameWithinRect(frame, *visible);
    // Placed within the free area measured from 0: both of its origin's coordinates are added back,
    // so a panel on the left or an operator screen that is not leftmost does not misplace the window.
    frame.origin.x += std::round(visible->origin.x);
    frame.origin.y += std::round(visible->origin.y);
    return frame;
}
