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

double OVDocumentPrompterView::positionRatio() const
{
    const ClipView* clip = prompterScrollView()->contentView();
    const double travel = documentTextView()->frame().size.height - clip->bounds().size.height;
    if (travel <= 0)
        return 0;
    return std::clamp(clip->bounds().origin.y / travel, 0.0, 1.0);
}

void OVDocumentPrompterView::setPositionRatio(double ratio)
{
    if (!std::isfinite(ratio))
        return;
    ClipView* clip = prompterScrollView()->contentView();
    const double travel = std::max(0.0, documentTextView()->frame().size.height - clip->bounds().size.height);
    clip->scrollToPoint(Point{clip->bounds().origin.x, std::clamp(ratio, 0.0, 1.0) * travel});
    prompterScrollView()->reflectScrolledClipView(clip);
}
