#include "app/OVDocumentPrompterView.h"

#include "platform/appkit/ClipView.h"
#include "platform/appkit/Window.h"
#include "platform/textlayout/LayoutManager.h"
#include "prompter_view/OVScrollView.h"
#include "text/OVTextView.h"

#include <algorithm>
#include <cmath>

OVDocumentPrompterView::OVDocumentPrompterView(const Rect& frame) : OVPrompterView(frame)
{
    setAutoresizingMask(WidthSizable | HeightSizable);
}

OVDocumentPrompterView::~OVDocumentPrompterView() = default;

TextView* OVDocumentPrompterView::documentTextView() const
{
    return prompterTextView();
}

namespace {

// The distance the text itself can scroll, without the padding Prompt mode adds above and below
// it: a position saved while prompting reads the same in Edit mode.
double textTravel(const TextView& text, const ClipView& clip)
{
    const double padding = 2 * text.textContainerInset().height;
    return text.frame().size.height - padding - clip.bounds().size.height;
}

} // namespace

double OVDocumentPrompterView::positionRatio() const
{
    const ClipView* clip = prompterScrollView()->contentView();
    const double travel = textTravel(*documentTextView(), *clip);
    if (travel <= 0)
        return 0;
    const double offset = clip->bounds().origin.y - documentTextView()->textContainerInset().height;
    return std::clamp(offset / travel, 0.0, 1.0);
}

void OVDocumentPrompterView::setPositionRatio(double ratio)
{
    // A value from a file that is not a number reads as the top.
    if (!std::isfinite(ratio))
        ratio = 0;
    TextView& text = *documentTextView();
    // The share is taken of the height as estimated so far: laying out a long script to its end first
    // would hold its window back for seconds. The lines shown there are laid out where the estimate
    // places them, and stay on screen when layout from the start reaches them and corrects it.
    ClipView* clip = prompterScrollView()->contentView();
    // A text shorter than the view has nowhere to scroll: it stays at the top.
    const double travel = std::max(0.0, textTravel(text, *clip));
    double y = std::clamp(ratio, 0.0, 1.0) * travel + text.textContainerInset().height;
    // Whole device pixels, so the restored text is drawn as sharply as it was saved.
    const double scale = window() ? window()->backingScaleFactor() : 1.0;
    if (scale > 0)
        y = std::round(y * scale) / scale;
    clip->scrollToPoint(Point{0, y});
    prompterScrollView()->reflectScrolledClipView(clip);
}
