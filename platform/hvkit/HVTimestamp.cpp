#include "platform/hvkit/HVTimestamp.h"

#include "platform/foundation/Clock.h"

double HVTimestamp::seconds()
{
    return Clock::shared().now();
}
