#pragma once

#include <cmath>

// A width and a height; negative values are kept as given, helpers that need an area treat them as empty.
struct Size {
    double width = 0;
    double height = 0;

    bool isFinite() const { return std::isfinite(width) && std::isfinite(height); }
    bool operator==(const Size& other) const = default;
};
