#include "platform/appkit/Animation.h"

#include "platform/appkit/Timer.h"
#include "platform/foundation/Clock.h"

#include <algorithm>
#include <cmath>

Animation::Animation(double duration, Apply apply, QEasingCurve curve)
    : m_duration(std::isfinite(duration) && duration > 0 ? duration : 0.0), m_apply(std::move(apply)),
      m_curve(std::move(curve))
{
}

Animation::~Animation()
{
    m_completion = nullptr;
    stop();
}

void Animation::start()
{
    stop();
    m_running = true;
    m_startTime = Clock::shared().now();
    if (m_duration <= 0) {
        if (m_apply)
            m_apply(1.0);
        finish(true);
        return;
    }
    if (m_apply)
        m_apply(0.0);
    if (!m_timer)
        m_timer = std::make_unique<Timer>(1.0 / kFrameRate, true, [this](Timer&) { step(); });
    m_timer->schedule();
}

void Animation::stop()
{
    if (!m_running)
        return;
    finish(false);
}

void Animation::step()
{
    if (!m_running)
        return;
    const double elapsed = Clock::shared().now() - m_startTime;
    const double linear = std::clamp(elapsed / m_duration, 0.0, 1.0);
    if (m_apply)
        m_apply(m_curve.valueForProgress(linear));
    if (linear >= 1.0)
        finish(true);
}

void Animation::finish(bool finished)
{
    m_running = false;
    if (m_timer)
        m_timer->invalidate();
    // The completion may start another animation on this object or destroy it.
    Completion completion = m_completion;
    if (completion)
        completion(finished);
}
