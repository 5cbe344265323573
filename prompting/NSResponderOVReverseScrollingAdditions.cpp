#include "prompting/NSResponderOVReverseScrollingAdditions.h"

#include "platform/foundation/Clock.h"

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

Event emptyScrollWheelEvent()
{
    Event event;
    event.type = Event::Type::ScrollWheel;
    event.timestamp = Clock::shared().now();
    event.hasPreciseScrollingDeltas = true;
    event.scrollingDeltaX = 0;
    event.scrollingDeltaY = 0;
    return event;
}
