#include "prompting/NSResponderOVReverseScrollingAdditions.h"

namespace {

QStringList& storedClasses()
{
    static QStringList classes;
    return classes;
}

bool& didSetUp()
{
    static bool done = false;
    return done;
}

} // namespace

void setupReverseScrollWheelEventsForClasses(const QStringList& classNames)
{
    if (didSetUp())
        return;
    didSetUp() = true;
    storedClasses() = classNames;
}

QStringList reverseScrollWheelEventClasses()
{
    return storedClasses();
}

bool isReversingScrollWheelEvents()
{
    return false;
}

void setReverseScrollWheelEvents(bool flag)
{
    Q_UNUSED(flag);
}

void updateReverseScrollWheelEventsFromUserDefaults() {}
