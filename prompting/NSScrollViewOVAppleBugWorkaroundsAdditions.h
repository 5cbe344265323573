#pragma once

// Keeps hidden scrollers at the scroll view's position, so a scroller shown later is already right.

class ClipView;
class ScrollView;

// The fixed reflect of a scroll view: after the usual reflect, every scroller that is not shown takes
// the scroll view's current scroll ratio, so showing it later shows the right position. Off until
// the program's start switches it on.

// Flips the process-wide flag; the program's start calls it once.
void toggleFixedReflectScrolledClipView();
bool usesFixedReflectScrolledClipView();
void setUsesFixedReflectScrolledClipView(bool flag);

// How far down (0 top, 1 bottom) and across the clip view shows the document.
double verticalScrollRatio(const ScrollView& scrollView);
double horizontalScrollRatio(const ScrollView& scrollView);
// Runs after the scroll view's own reflect: gives hidden scrollers the current ratios when the flag
// is on.
void fixedReflectScrolledClipView(ScrollView& scrollView, ClipView* clipView);
