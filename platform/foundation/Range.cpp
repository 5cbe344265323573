#include "platform/foundation/Range.h"

#include <algorithm>

qsizetype Range::end() const
{
    qsizetype result = 0;
    if (__builtin_add_overflow(location, length, &result))
        return length > 0 ? std::numeric_limits<qsizetype>::max() : std::numeric_limits<qsizetype>::min();
    return result;
}

bool Range::contains(const Range& other) const
{
    if (other.length < 0 || length < 0)
        return false;
    return other.location >= location && other.end() <= end();
}

Range Range::intersection(const Range& other) const
{
    if (length <= 0 || other.length <= 0)
        return {};
    const qsizetype start = std::max(location, other.location);
    const qsizetype stop = std::min(end(), other.end());
    if (stop <= start)
        return {};
    return {start, stop - start};
}

Range Range::united(const Range& other) const
{
    const qsizetype start = std::min(location, other.location);
    const qsizetype stop = std::max(end(), other.end());
    qsizetype length = 0;
    if (__builtin_sub_overflow(stop, start, &length))
        length = std::numeric_limits<qsizetype>::max();
    return {start, length};
}

bool Range::isWithinLength(qsizetype textLength) const
{
    return location >= 0 && length >= 0 && location <= textLength && length <= textLength - location;
}
