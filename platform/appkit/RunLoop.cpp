#include "platform/appkit/RunLoop.h"

#include "platform/appkit/AppKitLog.h"
#include "platform/appkit/Timer.h"
#include "platform/foundation/Clock.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <cmath>

RunLoop::RunLoop() : m_wake(std::make_unique<QTimer>())
{
    m_wake->setSingleShot(true);
    m_wake->setTimerType(Qt::PreciseTimer);
    QObject::connect(m_wake.get(), &QTimer::timeout, [this] {
        fireDueTimers();
        armWakeTimer();
    });
}

RunLoop& RunLoop::main()
{
    // Never destroyed: its QTimer must not outlive the application object's thread data at exit.
    static RunLoop* loop = new RunLoop;
    return *loop;
}

void RunLoop::addTimer(Timer* timer)
{
    m_timers.push_back(timer);
    armWakeTimer();
}

void RunLoop::removeTimer(Timer* timer)
{
    std::erase(m_timers, timer);
}

void RunLoop::timersChanged()
{
    armWakeTimer();
}

std::optional<double> RunLoop::nextFireDate() const
{
    std::optional<double> next;
    for (const Timer* timer : m_timers) {
        if (!next || timer->fireDate() < *next)
            next = timer->fireDate();
    }
    for (const Perform& perform : m_performs) {
        if (!next || perform.fireDate < *next)
            next = perform.fireDate;
    }
    return next;
}

void RunLoop::armWakeTimer()
{
    if (!QCoreApplication::instance())
        return;
    const std::optional<double> next = nextFireDate();
    if (!next) {
        m_wake->stop();
        return;
    }
    const double wait = std::max(0.0, *next - Clock::shared().now());
    m_wake->start(int(std::min(std::ceil(wait * 1000.0), 24.0 * 3600 * 1000)));
}

int RunLoop::fireDueTimers()
{
    const double now = Clock::shared().now();
    int fired = 0;
    // One pass fires each timer at most once, earliest date first; a repeating timer that fell behind
    // skips the dates it missed, as the platform's timers do.
    const unsigned pass = ++m_pass;
    const int firstNewRequest = m_nextRequest;
    for (;;) {
        Timer* timer = nullptr;
        for (Timer* candidate : m_timers) {
            if (candidate->fireDate() > now || candidate->m_firedInPass == pass)
                continue;
            if (!timer || candidate->fireDate() < timer->fireDate())
                timer = candidate;
        }
        // Requests made while this pass runs wait for the next pass, so a perform that re-posts itself
        // with no delay cannot spin here.
        auto perform = m_performs.end();
        for (auto it = m_performs.begin(); it != m_performs.end(); ++it) {
            if (it->request < firstNewRequest && it->fireDate <= now &&
                (perform == m_performs.end() || it->fireDate < perform->fireDate))
                perform = it;
        }
        const bool performDue = perform != m_performs.end();
        if (performDue && (!timer || perform->fireDate <= timer->fireDate())) {
            std::function<void()> work = std::move(perform->work);
            m_performs.erase(perform);
            ++fired;
            if (work)
                work();
            continue;
        }
        if (!timer)
            break;
        timer->m_firedInPass = pass;
        if (timer->repeats()) {
            const double interval = timer->interval();
            const double missed = std::floor((now - timer->fireDate()) / interval) + 1;
            timer->m_fireDate += missed * interval;
        }
        ++fired;
        timer->fire();
    }
    armWakeTimer();
    return fired;
}

void RunLoop::advanceManualClock(ManualClock& clock, double seconds)
{
    if (!std::isfinite(seconds) || seconds < 0) {
        qCWarning(lcAppKit) << "RunLoop: refusing to advance the clock by" << seconds;
        return;
    }
    const double target = clock.now() + seconds;
    for (std::optional<double> next = nextFireDate(); next && *next <= target; next = nextFireDate()) {
        clock.set(std::max(clock.now(), *next));
        if (fireDueTimers() == 0)
            break;
    }
    clock.set(target);
    fireDueTimers();
}

int RunLoop::performAfterDelay(double delay, const void* target, const QString& selector,
                               std::function<void()> work)
{
    if (!std::isfinite(delay)) {
        qCWarning(lcAppKit) << "RunLoop: refusing delay" << delay << "for" << selector;
        return 0;
    }
    const int request = m_nextRequest++;
    m_performs.push_back(
        {request, Clock::shared().now() + std::max(0.0, delay), target, selector, std::move(work)});
    armWakeTimer();
    return request;
}

void RunLoop::cancelPreviousPerformRequests(const void* target, const QString& selector)
{
    std::erase_if(m_performs, [&](const Perform& perform) {
        return perform.target == target && (selector.isEmpty() || perform.selector == selector);
    });
    armWakeTimer();
}

void RunLoop::cancelPerformRequest(int request)
{
    std::erase_if(m_performs, [&](const Perform& perform) { return perform.request == request; });
    armWakeTimer();
}

bool RunLoop::hasPendingPerform(const void* target, const QString& selector) const
{
    return std::any_of(m_performs.begin(), m_performs.end(), [&](const Perform& perform) {
        return perform.target == target && (selector.isEmpty() || perform.selector == selector);
    });
}

void RunLoop::postToMainThread(std::function<void()> work)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(app, std::move(work), Qt::QueuedConnection);
}
