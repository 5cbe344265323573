#pragma once

#include "platform/foundation/Range.h"
#include "platform/foundation/Rect.h"

// One line fragment as laid out, in container coordinates.
struct LineFragment {
    Range characterRange;
    // The whole fragment: container width, line height (spacing included).
    Rect rect;
    // Where glyphs actually are.
    Rect usedRect;
    // Baseline, from the container's top.
    double baseline = 0;
};
