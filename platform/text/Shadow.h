#pragma once

#include "platform/text/Color.h"

#include <optional>

// A text shadow: offset (x to the right, y upward), blur radius and colour (none means the default).
struct Shadow {
    double offsetWidth = 0;
    double offsetHeight = 0;
    double blurRadius = 0;
    std::optional<Color> color;

    bool operator==(const Shadow&) const = default;
};
