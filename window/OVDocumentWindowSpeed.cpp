// The document's prompter speed: the limiter and the speed slider's range, steps, the hot keys' speed
// numbers and looping.
#include "window/OVDocumentWindowController.h"

#include "platform/appkit/Application.h"
#include "platform/appkit/Event.h"
#include "platform/foundation/UserDefaults.h"
#include "prompting/OVCore.h"
#include "settings/OVConstants.h"
#include "window/OVDocumentWindowToolbar.h"

#include <algorithm>
#include <cmath>

namespace {

// Speeds this close to zero are zero: a slider dragged back to the middle stops the prompter.
constexpr double kZeroSpeedThreshold = 0.00001;

bool boolDefault(const QString& key)
{
    return UserDefaults::shared().boolForKey(key);
}

} // namespace

void OVDocumentWindowController::updateSpeedControl()
{
    ++m_speedControlUpdates;
    if (m_toolbar)
        m_toolbar->updateSpeedControl();
    else
        m_speedControlNeedsUpdate = false;
}

void OVDocumentWindowController::setPrompterSpeed(double speed)
{
    if (!std::isfinite(speed))
        return;
    if (m_hasSpeedSliderRange && boolDefault(QStringLiteral("speedLimiterRestrictsToSpeedSlider")))
        speed = std::clamp(speed, std::min(m_speedSliderMin, m_speedSliderMax),
                           std::max(m_speedSliderMin, m_speedSliderMax));
    if (speed == m_prompterSpeed)
        return;
    m_prompterSpeed = std::abs(speed) <= kZeroSpeedThreshold ? 0 : speed;
    m_timeRemainingNeedsUpdate = true;
    if (m_core->controller() == this)
        m_core->speedDidUpdate(m_prompterSpeed);
    updateSpeedControl();
}

void OVDocumentWindowController::setSpeedSliderRange(double minimum, double maximum)
{
    m_speedSliderMin = minimum;
    m_speedSliderMax = maximum;
    m_hasSpeedSliderRange = true;
    if (m_toolbar)
        m_toolbar->setSpeedSliderRange(minimum, maximum);
    // The current speed goes through the limiter again, so the new range takes effect.
    setPrompterSpeed(m_prompterSpeed);
}

void OVDocumentWindowController::_updateSpeedSliderMinAndMaxValues()
{
    setSpeedSliderRange(boolDefault(QStringLiteral("speedSliderOnlyUsesPositiveValues")) ? 0 : -10, 10);
}

void OVDocumentWindowController::stepSpeed(double delta, bool capped)
{
    double speed = m_prompterSpeed + delta;
    if (capped)
        speed = delta > 0 ? std::min(speed, m_speedSliderMax) : std::max(speed, m_speedSliderMin);
    setPrompterSpeed(speed);
}

void OVDocumentWindowController::setSpeedFromHotKeyValueNumber(const QVariant& number)
{
    if (!number.isValid())
        return;
    const QMetaType type = number.metaType();
    const bool isNumber = type == QMetaType::fromType<int>() || type == QMetaType::fromType<uint>() ||
                          type == QMetaType::fromType<qlonglong>() ||
                          type == QMetaType::fromType<qulonglong>() ||
                          type == QMetaType::fromType<ushort>() || type == QMetaType::fromType<short>();
    if (!isNumber)
        return;
    const qlonglong code = number.toLongLong();
    const QList<quint16>& characters = OVConstants::numberCharactersArray();
    const qsizetype index = characters.indexOf(quint16(code));
    if (code < 0 || code > 0xFFFF || index < 0)
        return;
    if (index == characters.size() - 1) {
        setPrompterSpeed(0);
        return;
    }
    // The keys that sent the number, not the keyboard as it is now: the keypad is a property of the
    // key pressed, and Option may be let go before the action arrives.
    const Event* event = Application::shared().currentEvent();
    const unsigned long flags =
        event && event->isKeyEvent() ? event->modifierFlags : currentModifierFlags();
    double value = 0;
    if (code == u'0')
        value = (flags & kNumericPadKeyMask) ? 0 : 10;
    else
        value = double(code - u'0');
    if (flags & kOptionKeyMask)
        value = -value;
    setPrompterSpeed(value);
}

void OVDocumentWindowController::setLooping(bool looping)
{
    m_looping = looping;
}
