#pragma once

#include <QEasingCurve>

#include <functional>
#include <memory>

class Timer;

// A layer-style animation: for its duration it hands a progress from 0 to 1, eased, to apply(), reading
// the shared clock on the run loop's animation ticks, so tests step it with a ManualClock.
class Animation {
public:
    using Apply = std::function<void(double progress)>;
    using Completion = std::function<void(bool finished)>;

    // Ticks per second while any animation runs.
    static constexpr double kFrameRate = 60.0;

    Animation(double duration, Apply apply, QEasingCurve curve = QEasingCurve::InOutQuad);
    Animation(const Animation&) = delete;
    Animation& operator=(const Animation&) = delete;
    // Stops without completing.
    ~Animation();

    void setCompletion(Completion completion) { m_completion = std::move(completion); }

    // Applies progress 0 at once; a duration of 0 (or one not finite) applies 1 at once and completes.
    void start();
    // Stops where it is; the completion hears finished = false.
    void stop();
    bool isAnimating() const { return m_running; }
    double duration() const { return m_duration; }

    // Applies the progress for the shared clock's time; completes at the end.
    void step();

private:
    void finish(bool finished);

    double m_duration;
    Apply m_apply;
    QEasingCurve m_curve;
    Completion m_completion;
    double m_startTime = 0;
    bool m_running = false;
    std::unique_ptr<Timer> m_timer;
};
