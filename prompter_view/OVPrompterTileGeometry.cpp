#include "prompter_view/OVPrompterTileGeometry.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kLargestMarginFactor = 0.99;

void flipVertically(Rect& rect, double height)
{
    rect.origin.y = height - (rect.origin.y + rect.size.height);
}
} // namespace

double OVPrompterTileGeometry::clampedMarginFactor(double factor)
{
    if (!std::isfinite(factor))
        return factor > 0 ? kLargestMarginFactor : 0.0;
    return std::clamp(factor, 0.0, kLargestMarginFactor);
}

bool OVPrompterTileGeometry::isUsableScaleFactor(double factor)
{
    return std::isfinite(factor) && factor > 0;
}

OVPrompterTileGeometry::Result OVPrompterTileGeometry::tile(const Input& input)
{
    Result result;
    const double width = input.size.width;
    const double height = input.size.height;
    const double mh = std::floor(clampedMarginFactor(input.horizontalMarginIndentFactor) * width);
    const double mv = std::floor(clampedMarginFactor(input.verticalMarginIndentFactor) * height);

    double hA = 0.5;
    double vA = 0.5;
    if (input.marginAlignment <= 8) {
        const unsigned column = input.marginAlignment % 3;
        const unsigned row = input.marginAlignment / 3;
        hA = column * 0.5;
        vA = 1.0 - row * 0.5;
    } else {
        result.unhandledAlignment = true;
    }

    Rect content{std::floor(hA * mh), std::floor(vA * mv), width - mh, height - mv};

    if (input.timeBarVisible) {
        const double barHeight = std::max(0.0, input.timeBarHeight);
        result.timeBar = {content.origin.x, content.origin.y, content.size.width, barHeight};
        content.size.height -= barHeight;
        if (input.timeBarPosition == 1)
            result.timeBar.origin.y = content.origin.y + content.size.height;
        else
            content.origin.y += barHeight;
    }

    const double arrowWidth = input.focusArrowVisible ? std::max(0.0, input.focusArrowWidth) : 0.0;
    if (input.focusArrowVisible) {
        result.focusArrow = {content.origin.x, content.origin.y, arrowWidth, content.size.height};
        content.size.width -= arrowWidth;
        if (input.focusArrowOnRight)
            result.focusArrow.origin.x = content.origin.x + content.size.width;
        else
            content.origin.x += arrowWidth;
    }

    const double scroller = std::max(0.0, input.reservedScrollerWidth);
    content.size.width -= scroller;

    if (input.horizontallyFlipped) {
        // The mirror image of the block: [text | scroller | arrow] becomes [arrow | scroller | text],
        // and [arrow | text | scroller] becomes [scroller | text | arrow].
        if (input.focusArrowOnRight) {
            content.origin.x = content.origin.x + scroller + arrowWidth;
            result.focusArrow.origin.x = content.origin.x - scroller - arrowWidth;
        } else {
            content.origin.x = content.origin.x + scroller - arrowWidth;
            result.focusArrow.origin.x = content.origin.x + content.size.width;
        }
    }

    if (input.verticallyFlipped) {
        flipVertically(content, height);
        flipVertically(result.timeBar, height);
        flipVertically(result.focusArrow, height);
    }
    content.size.width = std::max(0.0, content.size.width);
    content.size.height = std::max(0.0, content.size.height);
    result.content = content;
    return result;
}

OVPrompterTileGeometry::Scale OVPrompterTileGeometry::scale(const Size& clipSize, double scaleFactor)
{
    const double factor = isUsableScaleFactor(scaleFactor) ? scaleFactor : 1.0;
    Scale result;
    result.textViewWidth = std::max(clipSize.width, clipSize.width / factor);
    result.clipBoundsSize = {clipSize.width / factor, clipSize.height / factor};
    return result;
}
