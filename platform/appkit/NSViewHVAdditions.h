#pragma once

#include <QString>

#include <functional>
#include <vector>

class QWidget;
class View;
struct Notification;

// Posted on the shared NotificationCenter by a view around an animation of its own: begin as it
// starts, end once it is over (also when another animation of the view took its place). Object:
// the view; user info: the animation's name under kViewAnimationNameKey.
inline const QString kViewDidBeginAnimationNotification = QStringLiteral("HVViewDidBeginAnimationNotification");
inline const QString kViewDidEndAnimationNotification = QStringLiteral("HVViewDidEndAnimationNotification");
inline const QString kViewAnimationNameKey = QStringLiteral("HVViewAnimationNameKey");
// The name a flip (performFlipAxis) posts its animation under.
inline const QString kViewAnimationNameFlipAxis = QStringLiteral("HVViewAnimationNameFlipAxis");

// Additions to views: the animation notifications and flips of the prompter's views, and the shake
// that the settings panes share.
namespace NSViewHVAdditions {

void postDidBeginAnimation(const View* view, const QString& name);
void postDidEndAnimation(const View* view, const QString& name);
// The animation's name a begin or end notification carries; empty for any other notification.
QString animationName(const Notification& notification);

// Axes of a flip, one horizontal and one vertical value or-ed at most.
enum FlipAxis : unsigned {
    kFlipAxisHorizontalOff = 1,
    kFlipAxisHorizontalOn = 2,
    kFlipAxisVerticalOff = 4,
    kFlipAxisVerticalOn = 8,
};
// Turns views to the axis: flip turns them (each draws its mirror image its own way, over duration
// or at once). The first view posts the begin of the animation kViewAnimationNameFlipAxis before
// flip runs and its end after duration, at once when duration is 0 or less. The user info also
// holds the axis under kViewFlipAxisKey.
inline const QString kViewFlipAxisKey = QStringLiteral("HVViewFlipAxisKey");
void performFlipAxis(unsigned axis, const std::vector<View*>& views, double duration,
                     const std::function<void()>& flip);

// Shakes the view from side to side for a moment, the way a refused entry is shown; the view ends
// where it started. A shake while one runs restarts it from the first place.
void shake(QWidget* view);

// Hears every shake instead of nothing; tests count them. Empty to stop.
void setShakeObserver(std::function<void(QWidget* view)> observer);

} // namespace NSViewHVAdditions
