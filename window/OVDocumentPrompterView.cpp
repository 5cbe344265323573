#include "window/OVDocumentPrompterView.h"

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
// it: a position saved while prompting reads the same in Edit mode. It is measured on the laid-out
// lines, never on the view's frame: the frame follows layout only once the layout's observers have
// heard of it, and a script just opened still has the estimated height there, so a share of it
// would name another line than the one saved.
double textTravel(const TextView& text, const ClipView& clip)
{
    text.layoutManager()->ensureLayoutForTextContainer();
    return text.layoutManager()->usedRectForTextContainer().height() - clip.bounds().size.height;
}

} // namespace

double OVDocumentPrompterView::positionRatio() const
{
    const ClipView* clip = prompterScrollView()->contentView();
    const double travel = textTravel(*documentTextView(), *clip);
    // Lines shown where the estimates placed them move to their real place with that layout, and the
    // view with them, before its offset is measured on the laid-out height.
    documentTextView()->layoutManager()->reportPendingLayout();
    if (travel <= 0)
        return 0;
    const double offset = clip->bounds().origin.y - documentTextView()->textContainerInset().height;
    return std::clamp(offset / travel, 0.0, 1.0);
}

std::optional<std::pair<qsizetype, double>> OVDocumentPrompterView::lineAtTop() const
{
    const TextView& text = *documentTextView();
    const ClipView* clip = prompterScrollView()->contentView();
    // Prompt mode's padding above the text reads as the text's top, as it does for the share.
    const double y = std::max(0.0, clip->bounds().origin.y - text.textContainerInset().height);
    const LayoutManager& layout = *text.layoutManager();
    std::optional<std::pair<qsizetype, double>> found;
    for (const LineFragment& line : layout.lineFragmentsInRect(Rect(0, y, clip->bounds().size.width, 0))) {
        if (line.rect.minY() > y)
            break;
        found = std::pair{line.characterRange.location, y - line.rect.minY()};
    }
    return found;
}

bool OVDocumentPrompterView::setLineAtTop(qsizetype index, double offset)
{
    TextView& text = *documentTextView();
    ClipView* clip = prompterScrollView()->contentView();
    if (index < 0 || index >= text.textStorage().length() || !std::isfinite(offset))
        return false;
    const auto line = text.layoutManager()->lineFragmentWhereEstimated(index, clip->bounds().size.height);
    if (!line)
        return false;
    // The frame takes the height as estimated now, so the clip view can reach the line.
    text.sizeToFit();
    double y =
        line->rect.minY() + std::clamp(offset, 0.0, line->rect.height()) + text.textContainerInset().height;
    const double scale = window() ? window()->backingScaleFactor() : 1.0;
    if (scale > 0)
        y = std::round(y * scale) / scale;
    clip->scrollToPoint(Point{0, y});
    prompterScrollView()->reflectScrolledClipView(clip);
    return true;
}

void OVDocumentPrompterView::setPositionRatio(double ratio)
{
    // A value from a file that is not a number reads as the top.
    if (!std::isfinite(ratio))
        ratio = 0;
    TextView& text = *documentTextView();
    ClipView* clip = prompterScrollView()->contentView();
    // A text shorter than the view has nowhere to scroll: it stays at the top.
    const double travel = std::max(0.0, textTravel(text, *clip));
    // The view hears of that layout before it scrolls, so the layout's move is not applied again to
    // the place measured on it; the frame then has the laid-out height and the clip view can reach it.
    text.layoutManager()->reportPendingLayout();
    text.sizeToFit();
    double y = std::clamp(ratio, 0.0, 1.0) * travel + text.textContainerInset().height;
    // Whole device pixels, so the restored text is drawn as sharply as it was saved.
    const double scale = window() ? window()->backingScaleFactor() : 1.0;
    if (scale > 0)
        y = std::round(y * scale) / scale;
    clip->scrollToPoint(Point{0, y});
    prompterScrollView()->reflectScrolledClipView(clip);
}

void OVDocumentPrompterView::restorePositionRatio(double ratio)
{
    if (!std::isfinite(ratio))
        ratio = 0;
    TextView& text = *documentTextView();
    if (text.layoutManager()->isLayoutComplete() ||
        text.textStorage().length() <= kLongestTextLaidOutToPlace) {
        setPositionRatio(ratio);
        return;
    }
    placeWhereEstimated(std::clamp(ratio, 0.0, 1.0));
}

void OVDocumentPrompterView::placeWhereEstimated(double ratio)
{
    TextView& text = *documentTextView();
    ClipView* clip = prompterScrollView()->contentView();
    LayoutManager& layout = *text.layoutManager();
    const Rect bounds = clip->bounds();
    // The first screen is laid out first, as for a script opened at the top: the estimates then
    // learn this script's lines instead of guessing them from its first font.
    layout.lineFragmentsInRect(Rect(0, 0, bounds.size.width, bounds.size.height));
    // The share of the travel on the height as estimated now: the text above stays unlaid, and the
    // lines at that place are laid out where the estimates put them, as the lines a view shows there
    // would be. Layout from the start later corrects the heights above, and the view keeps the line
    // still as it does (see LayoutManager::reportedMoveAt).
    const double travel = std::max(0.0, layout.usedRectForTextContainer().height() - bounds.size.height);
    double y = ratio * travel;
    layout.lineFragmentsInRect(Rect(0, y, bounds.size.width, bounds.size.height));
    // The view hears of that layout before it scrolls, so it does not take the layout's move again.
    layout.reportPendingLayout();
    text.sizeToFit();
    y += text.textContainerInset().height;
    const double scale = window() ? window()->backingScaleFactor() : 1.0;
    if (scale > 0)
        y = std::round(y * scale) / scale;
    clip->scrollToPoint(Point{0, y});
    prompterScrollView()->reflectScrolledClipView(clip);
}
