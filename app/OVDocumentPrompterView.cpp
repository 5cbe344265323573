#include "app/OVDocumentPrompterView.h"

#include "platform/appkit/ClipView.h"
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
    if (!std::isfinite(ratio))
        return;
    ClipView* clip = prompterScrollView()->contentView();
    const double travel = std::max(0.0, textTravel(*documentTextView(), *clip));
    const double y = std::clamp(ratio, 0.0, 1.0) * travel + documentTextView()->textContainerInset().height;
    clip->scrollToPoint(Point{clip->bounds().origin.x, y});
    prompterScrollView()->reflectScrolledClipView(clip);
}
