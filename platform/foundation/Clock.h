#pragma once

#include <QElapsedTimer>

// Monotonic time in seconds counted from the reference date (2001-01-01 UTC). Timers, ticks and
// delayed performs all read the shared clock, so tests replace it with a ManualClock and step it.
class Clock {
public:
    virtual ~Clock() = default;
    virtual double now() const = 0;

    // The process-wide clock; the system clock unless a test installed another.
    static Clock& shared();
    // Installs a clock the caller keeps alive; nullptr restores the system clock.
    static void setShared(Clock* clock);
};

// Wall time at start-up plus monotonic elapsed time, so a changed system clock never makes it jump.
class SystemClock final : public Clock {
public:
    SystemClock();
    double now() const override;

private:
    double m_start = 0;
    QElapsedTimer m_elapsed;
};

// A clock that moves only when told to.
class ManualClock final : public Clock {
public:
    explicit ManualClock(double start = 1000.0) : m_now(start) {}
    double now() const override { return m_now; }
    void advance(double seconds) { m_now += seconds; }
    void set(double now) { m_now = now; }

private:
    double m_now;
};

// Seconds between the Unix epoch and the reference date.
inline constexpr double kReferenceDateUnixOffset = 978307200.0;
