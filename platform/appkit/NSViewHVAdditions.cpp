#include "platform/appkit/NSViewHVAdditions.h"

#include <QPointer>
#include <QPropertyAnimation>
#include <QSequentialAnimationGroup>
#include <QWidget>

namespace {

std::function<void(QWidget*)>& shakeObserver()
{
    static std::function<void(QWidget*)> observer;
    return observer;
}

const char* const kShakeAnimationName = "HVShakeAnimation";
const char* const kShakeOriginProperty = "HVShakeOrigin";

// Four swings of shrinking width, a little under half a second in all.
constexpr int kSwingCount = 4;
constexpr int kSwingMilliseconds = 50;
constexpr int kSwingWidth = 8;

} // namespace

namespace NSViewHVAdditions {

void shake(QWidget* view)
{
    if (!view)
        return;
    if (shakeObserver())
        shakeObserver()(view);
    // A shake that runs already put the view off its place: start again from the place it left.
    QPoint origin = view->pos();
    if (auto* running = view->findChild<QSequentialAnimationGroup*>(QLatin1String(kShakeAnimationName))) {
        origin = running->property(kShakeOriginProperty).toPoint();
        running->stop();
        delete running;
        view->move(origin);
    }
    auto* group = new QSequentialAnimationGroup(view);
    group->setObjectName(QLatin1String(kShakeAnimationName));
    group->setProperty(kShakeOriginProperty, origin);
    QPoint from = origin;
    for (int swing = 0; swing < kSwingCount; ++swing) {
        const int width = kSwingWidth * (kSwingCount - swing) / kSwingCount;
        for (const int side : {1, -1}) {
            auto* step = new QPropertyAnimation(view, "pos", group);
            step->setDuration(kSwingMilliseconds / 2);
            step->setStartValue(from);
            from = origin + QPoint(side * width, 0);
            step->setEndValue(from);
            group->addAnimation(step);
        }
    }
    auto* home = new QPropertyAnimation(view, "pos", group);
    home->setDuration(kSwingMilliseconds / 2);
    home->setStartValue(from);
    home->setEndValue(origin);
    group->addAnimation(home);
    QPointer<QWidget> guarded(view);
    QObject::connect(group, &QAbstractAnimation::finished, group, [guarded, group, origin] {
        if (guarded)
            guarded->move(origin);
        group->deleteLater();
    });
    group->start();
}

void setShakeObserver(std::function<void(QWidget* view)> observer)
{
    shakeObserver() = std::move(observer);
}

} // namespace NSViewHVAdditions
