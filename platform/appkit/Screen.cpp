#include "platform/appkit/Screen.h"

#include "platform/appkit/Application.h"
#include "platform/appkit/RectFunctions.h"
#include "platform/appkit/ScreenProvider.h"
#include "platform/appkit/Window.h"

#include <QCryptographicHash>

#include <cmath>

namespace {

double sanitisedRefreshRate(double rate)
{
    return std::isfinite(rate) && rate >= 1.0 ? rate : Screen::kFallbackRefreshRate;
}

double sanitisedScale(double scale)
{
    return std::isfinite(scale) && scale > 0 ? scale : 1.0;
}

} // namespace

Screen::Screen(quint32 displayID, QString name, Rect frame, Rect visibleFrame, double backingScaleFactor,
               double refreshRate)
    : m_displayID(displayID), m_name(std::move(name)), m_frame(frame), m_visibleFrame(visibleFrame),
      m_backingScaleFactor(sanitisedScale(backingScaleFactor)),
      m_refreshRate(sanitisedRefreshRate(refreshRate))
{
}

std::vector<Screen> Screen::screens()
{
    return ScreenProvider::shared().screens();
}

std::optional<Screen> Screen::primaryScreen()
{
    const std::vector<Screen> all = screens();
    if (all.empty())
        return std::nullopt;
    return all.front();
}

std::optional<Screen> Screen::mainScreen()
{
    if (Window* key = Application::shared().keyWindow()) {
        if (std::optional<Screen> screen = key->screen())
            return screen;
    }
    return primaryScreen();
}

std::optional<Screen> Screen::screenWithDisplayID(quint32 displayID)
{
    for (const Screen& screen : screens()) {
        if (screen.displayID() == displayID)
            return screen;
    }
    return std::nullopt;
}

std::optional<Screen> Screen::screenForRect(const Rect& globalRect)
{
    std::optional<Screen> best;
    double bestArea = 0;
    for (const Screen& screen : screens()) {
        const double area = rectArea(screen.frame().intersection(globalRect));
        if (area > bestArea) {
            bestArea = area;
            best = screen;
        }
    }
    return best;
}

quint32 Screen::displayIDForName(const QString& name, const QString& serialNumber)
{
    const QByteArray key = (name + QLatin1Char('\n') + serialNumber).toUtf8();
    const QByteArray digest = QCryptographicHash::hash(key, QCryptographicHash::Sha1);
    quint32 id = 0;
    for (int i = 0; i < 4; ++i)
        id = (id << 8) | quint8(digest[i]);
    return id == 0 ? 1 : id;
}
