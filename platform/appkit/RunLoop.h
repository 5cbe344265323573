#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class ManualClock;
class QTimer;
class Timer;

// The main thread's timer queue. Everything is timed by the shared clock: in the application a precise
// QTimer wakes the loop at the next date; under a ManualClock a test moves time with advanceManualClock
// (or fireDueTimers) and due timers fire at once, in date order, without waiting.
class RunLoop {
public:
    static RunLoop& main();

    // Fires every timer and delayed perform whose date has come; answers how many fired.
    int fireDueTimers();
    // Moves the clock forward in steps, stopping at each due date so every firing sees its own time.
    void advanceManualClock(ManualClock& clock, double seconds);
    std::optional<double> nextFireDate() const;

    // Runs work once after delay seconds unless cancelled first; answers a request number.
    int performAfterDelay(double delay, const void* target, const QString& selector,
                          std::function<void()> work);
    // Cancels the target's pending requests; with a selector, only those made with it.
    void cancelPreviousPerformRequests(const void* target, const QString& selector = {});
    void cancelPerformRequest(int request);
    bool hasPendingPerform(const void* target, const QString& selector = {}) const;

    // Runs work on the main thread's next event-loop pass; safe from any thread.
    static void postToMainThread(std::function<void()> work);

private:
    friend class Timer;
    struct Perform {
        int request;
        double fireDate;
        const void* target;
        QString selector;
        std::function<void()> work;
    };

    RunLoop();
    void addTimer(Timer* timer);
    void removeTimer(Timer* timer);
    void timersChanged();
    void armWakeTimer();

    std::vector<Timer*> m_timers;
    std::vector<Perform> m_performs;
    std::unique_ptr<QTimer> m_wake;
    int m_nextRequest = 1;
    unsigned m_pass = 0;
};
