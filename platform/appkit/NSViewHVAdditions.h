#pragma once

#include <functional>

class QWidget;

// Additions to views that the settings panes share.
namespace NSViewHVAdditions {

// Shakes the view from side to side for a moment, the way a refused entry is shown; the view ends
// where it started. A shake while one runs restarts it from the first place.
void shake(QWidget* view);

// Hears every shake instead of nothing; tests count them. Empty to stop.
void setShakeObserver(std::function<void(QWidget* view)> observer);

} // namespace NSViewHVAdditions
