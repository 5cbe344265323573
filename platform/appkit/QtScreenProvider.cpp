#include "platform/appkit/QtScreenProvider.h"

#include <QGuiApplication>
#include <QScreen>

namespace {

Rect globalFromQt(const QRect& rect, const QRect& primary)
{
    const double primaryBottom = double(primary.y()) + primary.height();
    return {{double(rect.x() - primary.x()), primaryBottom - (double(rect.y()) + rect.height())},
            {double(rect.width()), double(rect.height())}};
}

} // namespace

QtScreenProvider::QtScreenProvider()
{
    connectIfPossible();
}

void QtScreenProvider::connectIfPossible() const
{
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (m_connected || !app)
        return;
    m_connected = true;
    auto* self = const_cast<QtScreenProvider*>(this);
    connect(app, &QGuiApplication::screenAdded, self, [self](QScreen* screen) {
        self->watch(screen);
        self->notifyReconfigured();
    });
    connect(app, &QGuiApplication::screenRemoved, self, [self](QScreen*) { self->notifyReconfigured(); });
    connect(app, &QGuiApplication::primaryScreenChanged, self,
            [self](QScreen*) { self->notifyReconfigured(); });
    for (QScreen* screen : QGuiApplication::screens())
        watch(screen);
}

void QtScreenProvider::watch(QScreen* screen) const
{
    auto* self = const_cast<QtScreenProvider*>(this);
    auto changed = [self] { self->notifyReconfigured(); };
    connect(screen, &QScreen::geometryChanged, self, changed);
    connect(screen, &QScreen::availableGeometryChanged, self, changed);
    connect(screen, &QScreen::refreshRateChanged, self, changed);
    connect(screen, &QScreen::logicalDotsPerInchChanged, self, changed);
}

std::vector<Screen> QtScreenProvider::screens() const
{
    connectIfPossible();
    std::vector<Screen> result;
    QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary)
        return result;
    const QRect primaryGeometry = primary->geometry();
    auto convert = [&](QScreen* screen) {
        return screenFromQtGeometry(screen->name(), screen->serialNumber(), screen->geometry(),
                                    screen->availableGeometry(), primaryGeometry, screen->devicePixelRatio(),
                                    screen->refreshRate());
    };
    result.push_back(convert(primary));
    for (QScreen* screen : QGuiApplication::screens()) {
        if (screen != primary)
            result.push_back(convert(screen));
    }
    return result;
}

QPointF QtScreenProvider::primaryQtTopLeft() const
{
    QScreen* primary = QGuiApplication::primaryScreen();
    return primary ? QPointF(primary->geometry().topLeft()) : QPointF();
}

Screen QtScreenProvider::screenFromQtGeometry(const QString& name, const QString& serialNumber,
                                              const QRect& geometry, const QRect& availableGeometry,
                                              const QRect& primaryGeometry, double devicePixelRatio,
                                              double refreshRate)
{
    return Screen(Screen::displayIDForName(name, serialNumber), name, globalFromQt(geometry, primaryGeometry),
                  globalFromQt(availableGeometry, primaryGeometry), devicePixelRatio, refreshRate);
}
