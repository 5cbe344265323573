#pragma once

#include <cmath>

// A position in the platform's coordinate space (y grows upward unless a view says otherwise).
struct Point {
    double x = 0;
    double y = 0;

    Point offsetBy(double dx, double dy) const { return {x + dx, y + dy}; }
    bool isFinite() const { return std::isfinite(x) && std::isfinite(y); }
    bool operator==(const Point& other) const = default;
};
