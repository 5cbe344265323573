#pragma once

#include <QtGlobal>

#include <limits>

// The index a search answers when it finds nothing, as the platform spells it (the largest signed value).
inline constexpr qsizetype kNotFound = std::numeric_limits<qsizetype>::max();

// A stretch of UTF-16 code units: where it starts and how many it covers. Values read from files may
// be negative or huge, so every helper saturates instead of overflowing.
struct Range {
    qsizetype location = 0;
    qsizetype length = 0;

    // One past the last index; saturates at the largest value rather than wrapping.
    qsizetype end() const;
    bool isEmpty() const { return length <= 0; }
    bool contains(qsizetype index) const { return index >= location && index < end(); }
    // True when other lies wholly inside; an empty range counts when its location lies within [location,
    // end].
    bool contains(const Range& other) const;
    bool intersects(const Range& other) const { return !intersection(other).isEmpty(); }
    // The overlap, or the empty range {0, 0} when there is none.
    Range intersection(const Range& other) const;
    // The smallest range covering both.
    Range united(const Range& other) const;
    // True when the range lies within a text of the given length (location >= 0 and end <= length).
    bool isWithinLength(qsizetype textLength) const;

    bool operator==(const Range& other) const = default;
};
