#include "document/NSCursorOVAdditions.h"

namespace NSCursorOVAdditions {

void toggleBetterIBeamCursor() {}

std::optional<Cursor> betterIBeamCursor()
{
    return std::nullopt;
}

std::optional<Cursor> whiteIBeamCursor()
{
    return std::nullopt;
}

bool _performedSwizzle(bool flag, bool setPerformedSwizzle)
{
    static bool performed = false;
    if (setPerformedSwizzle)
        performed = flag;
    return performed;
}

} // namespace NSCursorOVAdditions
