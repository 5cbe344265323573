#include "platform/appkit/Timer.h"

#include "platform/appkit/AppKitLog.h"
#include "platform/appkit/RunLoop.h"
#include "platform/foundation/Clock.h"

#include <cmath>

Timer::Timer(double interval, bool repeats, Callback callback)
    : m_interval(std::isfinite(interval) && interval > kMinimumInterval ? interval : kMinimumInterval),
      m_repeats(repeats), m_callback(std::make_shared<const Callback>(std::move(callback)))
{
    if (!std::isfinite(interval))
        qCWarning(lcAppKit) << "Timer: refusing interval" << interval << "- using" << m_interval;
}

Timer::~Timer()
{
    invalidate();
}

std::unique_ptr<Timer> Timer::scheduledTimer(double interval, bool repeats, Callback callback)
{
    auto timer = std::make_unique<Timer>(interval, repeats, std::move(callback));
    timer->schedule();
    return timer;
}

void Timer::schedule()
{
    m_fireDate = Clock::shared().now() + m_interval;
    if (!m_scheduled) {
        m_scheduled = true;
        RunLoop::main().addTimer(this);
    } else {
        RunLoop::main().timersChanged();
    }
}

void Timer::invalidate()
{
    if (!m_scheduled)
        return;
    m_scheduled = false;
    RunLoop::main().removeTimer(this);
}

void Timer::fire()
{
    if (!m_repeats)
        invalidate();
    // The callback may destroy this timer; it runs from a copy so its own captures stay alive.
    const std::shared_ptr<const Callback> callback = m_callback;
    if (*callback)
        (*callback)(*this);
}

void Timer::setFireDate(double date)
{
    if (!std::isfinite(date)) {
        qCWarning(lcAppKit) << "Timer: refusing fire date" << date;
        return;
    }
    m_fireDate = date;
    if (m_scheduled)
        RunLoop::main().timersChanged();
}
