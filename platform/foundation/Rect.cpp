#include "platform/foundation/Rect.h"

#include <algorithm>

bool Rect::contains(const Point& point) const
{
    return !isEmpty() && point.x >= minX() && point.x < maxX() && point.y >= minY() && point.y < maxY();
}

bool Rect::contains(const Rect& other) const
{
    return !isEmpty() && !other.isEmpty() && other.minX() >= minX() && other.maxX() <= maxX() &&
           other.minY() >= minY() && other.maxY() <= maxY();
}

Rect Rect::intersection(const Rect& other) const
{
    if (isEmpty() || other.isEmpty())
        return {};
    const double left = std::max(minX(), other.minX());
    const double right = std::min(maxX(), other.maxX());
    const double bottom = std::max(minY(), other.minY());
    const double top = std::min(maxY(), other.maxY());
    if (!(right > left && top > bottom))
        return {};
    return {left, bottom, right - left, top - bottom};
}

Rect Rect::united(const Rect& other) const
{
    if (isEmpty())
        return other.isEmpty() ? Rect{} : other;
    if (other.isEmpty())
        return *this;
    const double left = std::min(minX(), other.minX());
    const double bottom = std::min(minY(), other.minY());
    return {left, bottom, std::max(maxX(), other.maxX()) - left, std::max(maxY(), other.maxY()) - bottom};
}

Rect Rect::insetBy(double dx, double dy) const
{
    return {origin.x + dx, origin.y + dy, size.width - 2 * dx, size.height - 2 * dy};
}

Rect Rect::offsetBy(double dx, double dy) const
{
    return {origin.offsetBy(dx, dy), size};
}

Rect Rect::integral() const
{
    if (isEmpty())
        return {};
    const double left = std::floor(minX());
    const double bottom = std::floor(minY());
    return {left, bottom, std::ceil(maxX()) - left, std::ceil(maxY()) - bottom};
}

bool Rect::nearlyEquals(const Rect& other, double tolerance) const
{
    const auto near = [tolerance](double a, double b) { return std::fabs(a - b) <= tolerance; };
    return near(origin.x, other.origin.x) && near(origin.y, other.origin.y) &&
           near(size.width, other.size.width) && near(size.height, other.size.height);
}
