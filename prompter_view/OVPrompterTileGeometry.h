#pragma once

#include "platform/foundation/Rect.h"

// Where a prompter view puts its text, focus arrow and time bar, in the view's y-up coordinates: the
// margins with their 3 x 3 alignment, the bar above or below, the arrow beside the text, a scroller's
// width kept free, and both flips. Pure geometry, so the prompter view can run it on every resize and
// animation frame and tests can check it against numbers.
class OVPrompterTileGeometry {
public:
    struct Input {
        Size size;
        double horizontalMarginIndentFactor = 0;
        double verticalMarginIndentFactor = 0;
        unsigned marginAlignment = 4;
        bool timeBarVisible = false;
        // The bar's current height; a negative one (a bar without fonts) counts as 0.
        double timeBarHeight = 0;
        // 1 top, 0 bottom.
        long long timeBarPosition = 0;
        bool focusArrowVisible = false;
        double focusArrowWidth = 0;
        bool focusArrowOnRight = false;
        // Kept free at the text's edge (the scroller width when the tile options ask for it).
        double reservedScrollerWidth = 0;
        bool horizontallyFlipped = false;
        bool verticallyFlipped = false;
    };

    struct Result {
        Rect content;
        Rect timeBar;
        Rect focusArrow;
        // Set when the alignment was outside 0-8 and the centre was used instead.
        bool unhandledAlignment = false;
    };

    // How the scale factor magnifies the text through the clip view.
    struct Scale {
        double textViewWidth = 0;
        Size clipBoundsSize;
    };

    static Result tile(const Input& input);
    static Scale scale(const Size& clipSize, double scaleFactor);

    // Margin factors as stored values may hold them: clamped to 0-0.99, NaN as 0.
    static double clampedMarginFactor(double factor);
    // Only finite factors above 0 magnify; anything else would divide by zero or worse.
    static bool isUsableScaleFactor(double factor);
};
