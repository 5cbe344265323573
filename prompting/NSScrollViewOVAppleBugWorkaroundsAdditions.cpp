#include "prompting/NSScrollViewOVAppleBugWorkaroundsAdditions.h"

#include "platform/appkit/ScrollView.h"

#include <algorithm>

namespace {

bool& fixedReflect()
{
    static bool flag = false;
    return flag;
}

double ratio(double position, double visibleExtent, double documentExtent)
{
    const double range = documentExtent - visibleExtent;
    return range > 0 ? std::clamp(position / range, 0.0, 1.0) : 0.0;
}

} // namespace

void toggleFixedReflectScrolledClipView()
{
    setUsesFixedReflectScrolledClipView(!usesFixedReflectScrolledClipView());
}

bool usesFixedReflectScrolledClipView()
{
    return fixedReflect();
}

void setUsesFixedReflectScrolledClipView(bool flag)
{
    fixedReflect() = flag;
}

double verticalScrollRatio(const ScrollView& scrollView)
{
    const ClipView* clip = scrollView.contentView();
    const Rect document = clip->documentRect();
    const Rect visible = clip->bounds();
    const double fromTop =
        clip->isFlipped() ? visible.origin.y - document.origin.y : document.maxY() - visible.maxY();
    return ratio(fromTop, visible.size.height, document.size.height);
}

double horizontalScrollRatio(const ScrollView& scrollView)
{
    const ClipView* clip = scrollView.contentView();
    const Rect document = clip->documentRect();
    const Rect visible = clip->bounds();
    return ratio(visible.origin.x - document.origin.x, visible.size.width, document.size.width);
}

void fixedReflectScrolledClipView(ScrollView& scrollView, ClipView* clipView)
{
    if (!usesFixedReflectScrolledClipView() || clipView != scrollView.contentView())
        return;
    Scroller* vertical = scrollView.verticalScroller();
    Scroller* horizontal = scrollView.horizontalScroller();
    if (vertical && !scrollView.hasVerticalScroller())
        vertical->setDoubleValue(verticalScrollRatio(scrollView));
    if (horizontal && !scrollView.hasHorizontalScroller())
        horizontal->setDoubleValue(horizontalScrollRatio(scrollView));
}
