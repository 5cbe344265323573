#include "platform/hvkit/HVConstants.h"

#include "platform/hvkit/HVVersion.h"

namespace {

bool isAtLeast(int major, int minor)
{
    return HVVersion::operatingSystemVersion().isNewerThanOrEqualTo(HVVersion(major, minor));
}

} // namespace

bool HVConstants::isLionOrNewer()
{
    return isAtLeast(10, 7);
}
bool HVConstants::isMountainLionOrNewer()
{
    return isAtLeast(10, 8);
}
bool HVConstants::isMavericksOrNewer()
{
    return isAtLeast(10, 9);
}
bool HVConstants::isYosemiteOrNewer()
{
    return isAtLeast(10, 10);
}
bool HVConstants::isElCapitanOrNewer()
{
    return isAtLeast(10, 11);
}
bool HVConstants::isSierraOrNewer()
{
    return isAtLeast(10, 12);
}
bool HVConstants::isHighSierraOrNewer()
{
    return isAtLeast(10, 13);
}
bool HVConstants::isMojaveOrNewer()
{
    return isAtLeast(10, 14);
}
bool HVConstants::isCatalinaOrNewer()
{
    return isAtLeast(10, 15);
}
bool HVConstants::isBigSurOrNewer()
{
    return isAtLeast(11, 0);
}
bool HVConstants::isMontereyOrNewer()
{
    return isAtLeast(12, 0);
}
bool HVConstants::isVenturaOrNewer()
{
    return isAtLeast(13, 0);
}
bool HVConstants::isSonomaOrNewer()
{
    return isAtLeast(14, 0);
}
