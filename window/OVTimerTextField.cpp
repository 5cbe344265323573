#include "window/OVTimerTextField.h"

#include "platform/appkit/Timer.h"
#include "platform/foundation/Clock.h"

#include <QEasingCurve>
#include <QGraphicsOpacityEffect>
#include <QMouseEvent>

#include <cmath>

namespace {

// Often enough for a smooth fade, seldom enough to cost nothing.
constexpr double kPulseFrameInterval = 1.0 / 30.0;

} // namespace

OVTimerTextField::OVTimerTextField(QWidget* parent) : QToolButton(parent)
{
    setAutoRaise(true);
}

OVTimerTextField::~OVTimerTextField() = default;

void OVTimerTextField::mouseReleaseEvent(QMouseEvent* event)
{
    const bool inside = rect().contains(event->position().toPoint());
    const bool alternate = event->modifiers() & Qt::AltModifier;
    QToolButton::mouseReleaseEvent(event);
    if (!inside || event->button() != Qt::LeftButton)
        return;
    const std::function<void()>& action = alternate && m_alternateAction ? m_alternateAction : m_action;
    if (action)
        action();
}

void OVTimerTextField::startPulsateAnimation()
{
    if (m_pulseTimer)
        return;
    if (!m_effect) {
        m_effect = new QGraphicsOpacityEffect(this);
        setGraphicsEffect(m_effect);
    }
    m_pulseStart = Clock::shared().now();
    m_pulseTimer = Timer::scheduledTimer(kPulseFrameInterval, true, [this](Timer&) { updatePulse(); });
    updatePulse();
}

void OVTimerTextField::stopPulsateAnimation()
{
    if (!m_pulseTimer)
        return;
    m_pulseTimer.reset();
    m_opacity = 1.0;
    // Without the effect the field draws as every other control does.
    setGraphicsEffect(nullptr);
    m_effect = nullptr;
    update();
}

void OVTimerTextField::updatePulse()
{
    const double elapsed = std::max(0.0, Clock::shared().now() - m_pulseStart);
    // One way takes the duration, the way back as long: a 2 s cycle.
    const double phase = std::fmod(elapsed, 2 * kPulseDuration) / kPulseDuration;
    const double progress = phase <= 1 ? phase : 2 - phase;
    static const QEasingCurve easeIn(QEasingCurve::InQuad);
    m_opacity = 1.0 - (1.0 - kPulseLowestOpacity) * easeIn.valueForProgress(progress);
    if (m_effect)
        m_effect->setOpacity(m_opacity);
}
