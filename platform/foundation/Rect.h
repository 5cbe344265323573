#pragma once

#include "platform/foundation/Point.h"
#include "platform/foundation/Size.h"

// A rectangle as an origin and a size, so formulas written against frames read as they stand
// (frame.origin.x, frame.size.width). Width or height that is not positive makes the rectangle empty.
struct Rect {
    Point origin;
    Size size;

    constexpr Rect() = default;
    constexpr Rect(Point origin, Size size) : origin(origin), size(size) {}
    constexpr Rect(double x, double y, double width, double height) : origin{x, y}, size{width, height} {}

    double minX() const { return origin.x; }
    double midX() const { return origin.x + size.width / 2; }
    double maxX() const { return origin.x + size.width; }
    double minY() const { return origin.y; }
    double midY() const { return origin.y + size.height / 2; }
    double maxY() const { return origin.y + size.height; }
    double width() const { return size.width; }
    double height() const { return size.height; }

    // Also true for NaN extents, so a damaged frame never counts as a place to draw.
    bool isEmpty() const { return !(size.width > 0 && size.height > 0); }
    bool isFinite() const { return origin.isFinite() && size.isFinite(); }

    // Half-open on the far edges, as the platform tests a point against a rectangle.
    bool contains(const Point& point) const;
    bool contains(const Rect& other) const;
    bool intersects(const Rect& other) const { return !intersection(other).isEmpty(); }
    // The overlap, or the zero rectangle when the two do not overlap.
    Rect intersection(const Rect& other) const;
    // The smallest rectangle covering both; an empty rectangle adds nothing.
    Rect united(const Rect& other) const;
    // Moves every edge inward by dx and dy (outward when negative); the result may become empty.
    Rect insetBy(double dx, double dy) const;
    Rect offsetBy(double dx, double dy) const;
    // The smallest rectangle on whole numbers that covers this one; the zero rectangle when empty.
    Rect integral() const;

    bool nearlyEquals(const Rect& other, double tolerance) const;
    bool operator==(const Rect& other) const = default;
};
