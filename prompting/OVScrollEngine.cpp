#include "prompting/OVScrollEngine.h"

#include <algorithm>
#include <cmath>

namespace {

// Held scroll keys ease in over 0.65 s and out over 0.175 s.
constexpr double kHeldKeyEaseIn = 0.65;
constexpr double kHeldKeyEaseOut = 0.175;
constexpr double kHeldKeyEasedSpeed = 6.5;
constexpr double kHeldKeyBaseSpeed = 2.5;
// Boost takes the speed 30 % of the way to 20 on the control's scale.
constexpr double kBoostTarget = 20.0;
constexpr double kBoostShare = 0.3;
// Animated deltas are spread over this long after they were added; what is left is dropped.
constexpr double kAnimatedDeltaWindow = 0.2;
constexpr double kAnimatedDeltaDivisor = 0.8;
// Maps 120 on the speed control to 20 on the logarithmic scale.
constexpr double kLogarithmicScaleFactor = 9.602525677891274;

// The share of an animated delta that falls to a tick age seconds after it was added; the rest
// waits, and a delta older than the window is dropped.
double takeAnimatedStep(double& pending, double addedAt, double now)
{
    const double age = now - addedAt;
    if (age > 0 && age <= kAnimatedDeltaWindow) {
        const double step = age / kAnimatedDeltaDivisor * pending;
        pending -= step;
        return step;
    }
    pending = 0;
    return 0;
}

// The speed of this tick: the prompter's own when started, eased by held keys and boosted.
double adjustedSpeedFor(const OVScrollEngine::Input& input)
{
    double adjusted = input.started ? input.speed : 0;
    if (!input.hasKeys)
        return adjusted;
    const OVScrollEngine::HeldKeys& keys = input.keys;
    const double now = input.now;
    const auto keyTerm = [now](bool held, double lastTime) {
        const double dt = now - lastTime;
        return held ? std::min(dt / kHeldKeyEaseIn, kHeldKeyEaseIn)
                    : std::max(0.0, (kHeldKeyEaseOut - dt) / kHeldKeyEaseOut);
    };
    adjusted +=
        kHeldKeyEasedSpeed * keyTerm(keys.down, keys.lastDownTime) + (keys.down ? kHeldKeyBaseSpeed : 0);
    adjusted -= kHeldKeyEasedSpeed * keyTerm(keys.up, keys.lastUpTime) + (keys.up ? kHeldKeyBaseSpeed : 0);
    if (keys.boost) {
        const double reversed =
            std::abs(OVScrollEngine::reverseConvertSpeed(adjusted, input.speedScaleTypeTag));
        const double magnitude = std::abs(OVScrollEngine::convertSpeed(
            (kBoostTarget - reversed) * kBoostShare + reversed, input.speedScaleTypeTag));
        const double sign = adjusted != 0 ? adjusted : input.speed;
        adjusted = std::copysign(magnitude, sign);
    }
    return adjusted;
}

} // namespace

void OVScrollEngine::addScrollingDeltaAnimated(double delta, double now)
{
    m_externalScrollDeltaAnimated += delta;
    m_externalScrollDeltaAnimatedTime = now;
}

void OVScrollEngine::addModalScrollingDeltaAnimated(double delta, double now)
{
    m_modalScrollDeltaAnimated += delta;
    m_modalScrollDeltaAnimatedTime = now;
}

OVScrollEngine::Output OVScrollEngine::step(const Input& input)
{
    const double now = input.now;
    m_adjustedSpeed = adjustedSpeedFor(input);

    const double step =
        takeAnimatedStep(m_externalScrollDeltaAnimated, m_externalScrollDeltaAnimatedTime, now);
    const double modalStep =
        takeAnimatedStep(m_modalScrollDeltaAnimated, m_modalScrollDeltaAnimatedTime, now);

    double delta = step + input.pixelsPerSecond * m_adjustedSpeed * input.timePassed + m_leftoverDelta +
                   m_externalScrollDelta;
    if (modalStep != 0)
        delta = m_leftoverDelta + modalStep;
    if (m_reservedModalScrollingTime != 0) {
        if (m_reservedModalScrollingTime > now)
            delta = 0;
        else
            m_reservedModalScrollingTime = 0;
    }

    Output output;
    if (!(std::abs(delta) >= m_minimumScrollIncrement)) {
        // Not finite values end here too, so they never reach the view.
        m_leftoverDelta = std::isfinite(delta) ? delta : 0;
        return output;
    }
    output.advanced = true;
    m_leftoverDelta = std::fmod(delta, m_minimumScrollIncrement);
    m_externalScrollDelta = 0;
    if (!input.hasClipView)
        return output;

    const double y = input.clip.originY;
    const double top = input.clip.documentTop;
    const double bottom = scriptBottom(input.clip);
    const double target = std::clamp(y + (delta - m_leftoverDelta), top, bottom);
    output.originY = target;
    output.moved = target != y;
    if (output.moved)
        m_pointsScrolled += std::abs(y - target);
    if (target == top)
        output.location = Location::Top;
    else if (target == bottom)
        output.location = Location::Bottom;
    return output;
}

double OVScrollEngine::convertSpeed(double speed, int speedScaleTypeTag)
{
    const double magnitude = std::abs(speed);
    double converted = magnitude;
    switch (speedScaleTypeTag) {
    case 1:
        converted = magnitude * magnitude * 0.1;
        break;
    case 9:
        converted = kLogarithmicScaleFactor * std::log10(magnitude + 1);
        break;
    case 10:
        converted = std::sqrt(magnitude);
        break;
    default:
        break;
    }
    return std::copysign(converted, speed);
}

double OVScrollEngine::reverseConvertSpeed(double speed, int speedScaleTypeTag)
{
    const double magnitude = std::abs(speed);
    double converted = magnitude;
    switch (speedScaleTypeTag) {
    case 1:
        converted = std::sqrt(10 * magnitude);
        break;
    case 9:
        converted = std::pow(10.0, magnitude / kLogarithmicScaleFactor) - 1;
        break;
    case 10:
        converted = magnitude * magnitude;
        break;
    default:
        break;
    }
    return std::copysign(converted, speed);
}
