#pragma once

#include "platform/appkit/FakeScreenProvider.h"
#include "platform/appkit/ScreenProvider.h"
#include "platform/foundation/Clock.h"

#include <QString>

#include <ostream>

// Readable failure messages for Qt strings and string lists.
inline void PrintTo(const QString& string, std::ostream* out)
{
    *out << '"' << string.toStdString() << '"';
}

// Installs a ManualClock as the shared clock for the life of a test.
class ManualClockScope {
public:
    ManualClockScope() { Clock::setShared(&clock); }
    ~ManualClockScope() { Clock::setShared(nullptr); }
    ManualClock clock;
};

// Installs a fake screen list for the life of a test.
class FakeScreensScope {
public:
    explicit FakeScreensScope(std::vector<Screen> screens) : provider(std::move(screens))
    {
        ScreenProvider::setShared(&provider);
    }
    ~FakeScreensScope() { ScreenProvider::setShared(nullptr); }
    FakeScreenProvider provider;
};
