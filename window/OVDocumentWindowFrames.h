#pragma once

#include "platform/foundation/Rect.h"

#include <functional>

class OVScreenGeometryProvider;

// The frames the document window is given by its size presets and its Zoom command, worked out
// from plain geometry so they can be checked for any screen arrangement. Frames are global, y-up.
class OVDocumentWindowFrames {
public:
    // A window frame for a content rectangle: the window's own conversion (its menu bar and tool
    // bar sit above the content).
    using FrameForContent = std::function<Rect(const Rect& content)>;

    // The frame that gives the content exactly resolution, with the window's top edge where it is.
    static Rect presetFrame(const Rect& frame, const Size& contentSize, const Size& resolution,
                            const FrameForContent& frameForContent);

    // The frame Zoom gives the operator window: without a talent window in use, defaultFrame;
    // otherwise a frame whose content has the talent output's size, as far as the operator screen's
    // visible frame allows, centred across it and in its upper part.
    static Rect zoomFrame(const Rect& defaultFrame, const OVScreenGeometryProvider& screens,
                          const FrameForContent& frameForContent);

    // A frame of the given size placed within rect: half the free width from its left edge, three
    // quarters of the free height from its bottom edge, on whole points, in rect's own coordinates
    // (measured from 0, not from rect's origin).
    static Rect centerFrameWithinRect(const Rect& frame, const Rect& rect);
};
