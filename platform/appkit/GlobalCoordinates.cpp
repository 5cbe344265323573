#include "platform/appkit/GlobalCoordinates.h"

#include "platform/appkit/ScreenProvider.h"

namespace {

double sharedPrimaryHeight()
{
    const std::vector<Screen> screens = ScreenProvider::shared().screens();
    return screens.empty() ? 0.0 : screens.front().frame().size.height;
}

} // namespace

QRectF qtRectFromGlobal(const Rect& rect, const QPointF& primaryTopLeft, double primaryHeight)
{
    return {rect.origin.x + primaryTopLeft.x(),
            primaryTopLeft.y() + primaryHeight - (rect.origin.y + rect.size.height), rect.size.width,
            rect.size.height};
}

Rect globalRectFromQt(const QRectF& rect, const QPointF& primaryTopLeft, double primaryHeight)
{
    return {{rect.x() - primaryTopLeft.x(), primaryTopLeft.y() + primaryHeight - (rect.y() + rect.height())},
            {rect.width(), rect.height()}};
}

QPointF qtPointFromGlobal(const Point& point, const QPointF& primaryTopLeft, double primaryHeight)
{
    return {point.x + primaryTopLeft.x(), primaryTopLeft.y() + primaryHeight - point.y};
}

Point globalPointFromQt(const QPointF& point, const QPointF& primaryTopLeft, double primaryHeight)
{
    return {point.x() - primaryTopLeft.x(), primaryTopLeft.y() + primaryHeight - point.y()};
}

QRectF qtRectFromGlobal(const Rect& rect)
{
    return qtRectFromGlobal(rect, ScreenProvider::shared().primaryQtTopLeft(), sharedPrimaryHeight());
}

Rect globalRectFromQt(const QRectF& rect)
{
    return globalRectFromQt(rect, ScreenProvider::shared().primaryQtTopLeft(), sharedPrimaryHeight());
}

QPointF qtPointFromGlobal(const Point& point)
{
    return qtPointFromGlobal(point, ScreenProvider::shared().primaryQtTopLeft(), sharedPrimaryHeight());
}

Point globalPointFromQt(const QPointF& point)
{
    return globalPointFromQt(point, ScreenProvider::shared().primaryQtTopLeft(), sharedPrimaryHeight());
}
