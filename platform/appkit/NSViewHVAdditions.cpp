#include "platform/appkit/NSViewHVAdditions.h"

#include "platform/appkit/RunLoop.h"
#include "platform/appkit/View.h"
#include "platform/foundation/NotificationCenter.h"

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

namespace {

void postAnimation(const QString& notification, const View* view, const QString& name, const QVariantMap& extra = {})
{
    QVariantMap userInfo = extra;
    userInfo.insert(kViewAnimationNameKey, name);
    NotificationCenter::shared().postNotification(notification, view, userInfo);
}

} // namespace

void postDidBeginAnimation(const View* view, const QString& name)
{
    postAnimation(kViewDidBeginAnimationNotification, view, name);
}

void postDidEndAnimation(const View* view, const QString& name)
{
    postAnimation(kViewDidEndAnimationNotification, view, name);
}

QString animationName(const Notification& notification)
{
    if (notification.name != kViewDidBeginAnimationNotification &&
        notification.name != kViewDidEndAnimationNotification)
        return {};
    return notification.userInfo.value(kViewAnimationNameKey).toString();
}

void performFlipAxis(unsigned axis, const std::vector<View*>& views, double duration,
                     const std::function<void()>& flip)
{
    const View* poster = views.empty() ? nullptr : views.front();
    const QVariantMap extra{{kViewFlipAxisKey, axis}};
    if (poster)
        postAnimation(kViewDidBeginAnimationNotification, poster, kViewAnimationNameFlipAxis, extra);
    if (flip)
        flip();
    if (!poster)
        return;
    if (!(duration > 0)) {
        postAnimation(kViewDidEndAnimationNotification, poster, kViewAnimationNameFlipAxis, extra);
        return;
    }
    // The view is named, never touched: the end is told even when the view is gone by then.
    RunLoop::main().performAfterDelay(duration, nullptr, QStringLiteral("performFlipAxis"), [poster, extra] {
        postAnimation(kViewDidEndAnimationNotification, poster, kViewAnimationNameFlipAxis, extra);
    });
}

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
