#pragma once

// The program's answers for the text system's default tab stops: how many there are, and how far
// apart compared with the usual interval (twice as far where lengths are measured in metric units).

namespace NSTextTabOVAdditions {

int numberOfTextTabs();
// 2.0 when the current locale measures in the metric system, else 1.0 (the British imperial system
// included). Asked anew each time, so a change of locale is followed at once.
double tabStopIntervalFactor();

} // namespace NSTextTabOVAdditions
