#pragma once

#include <functional>
#include <memory>

// A one-shot or repeating timer on the main run loop, timed by the shared clock. Tolerance is not
// modelled: timers fire as close to their date as the loop allows.
class Timer {
public:
    using Callback = std::function<void(Timer& timer)>;

    // Intervals below this (including 0 and negative ones) are raised to it, as the platform does.
    static constexpr double kMinimumInterval = 0.0001;

    Timer(double interval, bool repeats, Callback callback);
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;
    ~Timer();

    // A timer already scheduled to fire first after one interval.
    static std::unique_ptr<Timer> scheduledTimer(double interval, bool repeats, Callback callback);

    // Adds the timer to the main run loop, first firing at now + interval.
    void schedule();
    // Removes it from the run loop; it never fires again until scheduled anew.
    void invalidate();
    bool isValid() const { return m_scheduled; }

    // Runs the callback now; a one-shot timer is invalidated first, a repeating one keeps its date.
    void fire();

    double fireDate() const { return m_fireDate; }
    // Moves the next firing; a date that is not finite is refused and logged.
    void setFireDate(double date);
    double interval() const { return m_interval; }
    bool repeats() const { return m_repeats; }

private:
    friend class RunLoop;

    double m_interval;
    bool m_repeats;
    std::shared_ptr<const Callback> m_callback;
    double m_fireDate = 0;
    // The run-loop pass that last fired this timer, so a pass fires it once at most.
    unsigned m_firedInPass = 0;
    bool m_scheduled = false;
};
