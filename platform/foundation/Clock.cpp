#include "platform/foundation/Clock.h"

#include <QDateTime>

namespace {
Clock* g_installed = nullptr;
}

Clock& Clock::shared()
{
    static SystemClock systemClock;
    return g_installed ? *g_installed : systemClock;
}

void Clock::setShared(Clock* clock)
{
    g_installed = clock;
}

SystemClock::SystemClock()
    : m_start(double(QDateTime::currentMSecsSinceEpoch()) / 1000.0 - kReferenceDateUnixOffset)
{
    m_elapsed.start();
}

double SystemClock::now() const
{
    return m_start + double(m_elapsed.nsecsElapsed()) / 1e9;
}
