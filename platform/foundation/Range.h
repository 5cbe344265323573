#pragma once

#include <QtGlobal>

#include <limits>

// A run of indexes into a sequence (characters in UTF-16 units, array elements): where it starts
// and how many it spans.
struct Range {
    qsizetype location = 0;
    qsizetype length = 0;

    qsizetype end() const { return location + length; }
    bool contains(qsizetype index) const { return index >= location && index < location + length; }
    bool operator==(const Range&) const = default;
};

// The location of a range that names nothing (no edit pending, nothing found).
inline constexpr qsizetype kNotFound = std::numeric_limits<qsizetype>::max();
