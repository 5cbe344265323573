#include "prompting/OVCore.h"

#include "platform/appkit/EventTranslation.h"

#include "platform/appkit/AppKitNotifications.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/ClipView.h"
#include "platform/appkit/DisplayLink.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/ScreenSaverInhibitor.h"
#include "platform/appkit/ScrollView.h"
#include "platform/appkit/Timer.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/hvkit/HVAppServices.h"
#include "platform/hvkit/HVEventBlocker.h"
#include "platform/hvkit/HVInputMonitor.h"
#include "platform/hvkit/HVMouseMovementController.h"
#include "platform/hvkit/HVTimestamp.h"
#include "prompting/OVCoreController.h"
#include "prompting/OVCoreInputController.h"
#include "prompting/OVCorePrompterView.h"
#include "prompting/OVCoreSettings.h"
#include "prompting/OVSynchronousQueue.h"
#include "prompting/OVTimeInfo.h"

#include <QDebug>
#include <QGuiApplication>

#include <execinfo.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// Posted by the settings pane and the operator's scroller; the core only listens.
const QString kSpeedScaleTypeDidChangeNotification =
    QStringLiteral("OVPreferencesAdvancedDidChangeSpeedScaleTypeNotification");
const QString kScrollerWillBeginScrollingByMouseNotification =
    QStringLiteral("OVScrollerWillBeginScrollingByMouseNotification");
const QString kScrollerDidFinishScrollingByMouseNotification =
    QStringLiteral("OVScrollerDidFinishScrollingByMouseNotification");

QString callStack()
{
    void* frames[64];
    const int count = backtrace(frames, 64);
    char** symbols = backtrace_symbols(frames, count);
    QStringList lines;
    for (int i = 0; symbols && i < count; ++i)
        lines << QString::fromLocal8Bit(symbols[i]);
    std::free(symbols);
    return lines.join(QLatin1Char('\n'));
}

} // namespace

OVCore& OVCore::sharedCore()
{
    // Never freed: timers and observers of the core may still fire while the process ends.
    static OVCore* core = new OVCore;
    return *core;
}

OVCore::OVCore()
{
    if (!Application::shared().delegate())
        qWarning().noquote() << QStringLiteral("%1 OVCore instance created before appDelegate. Fix this.")
                                    .arg(QStringLiteral("-[OVCore init]"));
    _setupTimeTimer();
    _updateSpeedScale();
    m_prompterStates.reserve(2);
    resetTimer();
    m_pixelsPerSecond = kDefaultPixelsPerSecond;
    NotificationCenter::shared().addObserver(
        kSpeedScaleTypeDidChangeNotification, nullptr,
        [this](const Notification&) {
            _updateSpeedScale();
            _updateAllCoreControllerTimeEstimates();
        },
        this);
    for (const QString& name : {kApplicationDidChangeScreenParametersNotification,
                                kWindowDidEnterFullScreenNotification, kWindowDidExitFullScreenNotification})
        NotificationCenter::shared().addObserver(
            name, nullptr, [this](const Notification&) { _updateDualScreenStatusIfNecessary(); }, this);
}

OVCore::~OVCore()
{
    NotificationCenter::shared().removeObserver(this);
    RunLoop::main().cancelPreviousPerformRequests(this);
    unblockEvents();
}

// Controller

void OVCore::configureCoreForController(OVCoreController* controller)
{
    if (controller) {
        m_controller = controller;
        setPrompterView(controller->prompterView());
        m_timeInfo = controller->timeInfo();
        m_controllerWindow = controller->controllerWindow();
        speedDidUpdate();
        m_fractionalTime = 0;
    } else {
        m_controller = nullptr;
        setPrompterView(nullptr);
        m_timeInfo = nullptr;
        m_controllerWindow = nullptr;
    }
    NotificationCenter::shared().postNotification(OVCoreDidChangeControllerNotification, controller);
}

void OVCore::setPrompterView(OVCorePrompterView* prompterView)
{
    m_prompterView = prompterView;
    m_scrollView = prompterView ? prompterView->scrollView() : nullptr;
    m_textView = prompterView ? prompterView->textView() : nullptr;
    m_contentView = m_scrollView ? m_scrollView->contentView() : nullptr;
    m_documentView = m_contentView ? m_contentView->documentView() : nullptr;
}

bool OVCore::isContentEditable() const
{
    return m_prompterView && m_prompterView->isContentEditable();
}

unsigned long OVCore::currentModifierFlags() const
{
    return m_modifierFlagsProvider ? m_modifierFlagsProvider() : ::currentModifierFlags();
}

// Modes

void OVCore::toggleMode()
{
    if (isModeEdit())
        enterPromptMode();
    else if (isModePrompt())
        enterEditMode();
}

void OVCore::_setupForMode(unsigned mode)
{
    if (m_isModeChanging)
        return;
    if (mode == m_mode) {
        qWarning().noquote()
            << QStringLiteral("OVCore: attempted to set mode we are already in: %1").arg(mode);
        qWarning().noquote() << QStringLiteral("stack trace: %1").arg(callStack());
        return;
    }
    if (!m_modeQueue)
        buildModeChangeQueue();
    try {
        if (mode == kModeEdit)
            m_modeQueue->executeQueue();
        else
            m_modeQueue->executeQueueInReverse();
    } catch (const std::exception& exception) {
        qWarning().noquote() << "OVCore: a mode-change step failed:" << exception.what();
    } catch (...) {
        qWarning().noquote() << "OVCore: a mode-change step failed";
    }
    // Every step runs inside this call, so anything still under way here was cut short.
    if (m_isModeChanging || m_modeQueue->isExecuting() || areEventsBlocked())
        recoverFromFailedModeChange();
}

void OVCore::recoverFromFailedModeChange()
{
    m_modeQueue->abandonExecution();
    unblockEvents();
    m_isModeChanging = false;
    m_willBecomeMode = kNoChange;
}

void OVCore::buildModeChangeQueue()
{
    m_modeQueue = OVSynchronousQueue::synchronousQueue();
    auto item = [this](const QString& name, void (OVCore::*step)()) {
        return OVSynchronousQueueItem::itemWithObject(this, name, [this, name, step](const QVariant&) {
            if (m_stepObserver)
                m_stepObserver(name);
            (this->*step)();
        });
    };
    m_modeQueue->setAlwaysFirstItem(item(QStringLiteral("_startSetup"), &OVCore::_startSetup));
    m_modeQueue->addItemToQueue(item(QStringLiteral("_embedWindow"), &OVCore::_embedWindow));
    m_modeQueue->addItemToQueue(item(QStringLiteral("_windowResize"), &OVCore::_windowResize));
    m_modeQueue->addItemToQueue(item(QStringLiteral("_scrollBarAdjust"), &OVCore::_scrollBarAdjust));
    m_modeQueue->addItemToQueue(item(QStringLiteral("_windowFade"), &OVCore::_windowFade));
    m_modeQueue->addItemToQueue(
        item(QStringLiteral("_modePersistentChanges"), &OVCore::_modePersistentChanges));
    m_modeQueue->setAlwaysLastItem(item(QStringLiteral("_finishSetup"), &OVCore::_finishSetup));
}

void OVCore::blockEvents()
{
    if (m_eventsBlocked)
        return;
    HVEventBlocker::sharedBlocker().blockAppWithOptions(1);
    m_eventsBlocked = true;
}

void OVCore::unblockEvents()
{
    if (!m_eventsBlocked)
        return;
    HVEventBlocker::sharedBlocker().unblockApp();
    m_eventsBlocked = false;
}

// Statuses

void OVCore::toggleStatus()
{
    if (isStatusPaused())
        startPrompter();
    else if (isStatusStarted())
        pausePrompter();
}

void OVCore::pausePrompter()
{
    const bool hard = (currentModifierFlags() & kOptionKeyMask) ||
                      (m_controller && m_controller->shouldHardPausePrompter());
    _setupForStatus(hard ? kStatusPausedHard : kStatusPaused);
}

void OVCore::_setupForStatus(unsigned requested)
{
    if (m_isStatusChanging)
        return;
    const unsigned status = m_forceStatus ? m_forceStatus : requested;
    if (status == m_status) {
        qWarning().noquote()
            << QStringLiteral("OVCore: attempted to set status we are already in: %1").arg(status);
        qWarning().noquote() << QStringLiteral("stack trace: %1").arg(callStack());
        return;
    }
    m_isStatusChanging = true;
    m_willBecomeStatus = status;
    if (m_controller)
        m_controller->coreStatusWillChange(status);
    m_status = status;
    if (status == kStatusStarted && !isModePrompt())
        enterPromptMode();

    const double now = HVTimestamp::seconds();
    m_previousPromptIncrementTimeStamp = now;
    HVAnalytics& analytics = HVAppServices::shared().analytics();
    analytics.incrementIntegerForKeyPath(QStringLiteral("promptMode.statusChanges"));
    if (status == kStatusPausedHard && !(m_controller && m_controller->shouldHardPausePrompter()))
        analytics.incrementIntegerForKeyPath(QStringLiteral("promptMode.hardStops"));

    const bool cursorMovementAdjustsSpeed =
        OVCoreSettings::boolean(QStringLiteral("cursorMovementAdjustsSpeed"), false);
    const bool setPauseSpeedOnPause = OVCoreSettings::boolean(QStringLiteral("setPauseSpeedOnPause"), false);
    const double pauseSpeed = OVCoreSettings::real(QStringLiteral("pauseSpeed"), 0.0);
    const bool setPreviousSpeedOnStart =
        OVCoreSettings::boolean(QStringLiteral("setPreviousSpeedOnStart"), false);
    const bool speedMayChange = !m_ignoreSpeedChangeSetsSpeedWhilePaused && !m_isModeChanging && m_controller;

    if (status == kStatusStarted) {
        m_leftoverDelta = 0;
        m_externalScrollDelta = 0;
        m_startTime = now;
        m_stopTime = 0;
        if (cursorMovementAdjustsSpeed)
            setMousePrompting(true);
        if (speedMayChange && setPreviousSpeedOnStart && m_speedWhilePaused != DBL_MAX) {
            setControllerSpeed(m_speedWhilePaused);
            m_speedWhilePaused = DBL_MAX;
        }
    } else {
        m_startTime = 0;
        m_stopTime = now;
        setMousePrompting(false);
        if (speedMayChange) {
            m_speedWhilePaused = m_controller->speed();
            if (setPauseSpeedOnPause)
                setControllerSpeed(pauseSpeed);
        }
    }

    m_isStatusChanging = false;
    m_willBecomeStatus = kNoChange;
    if (m_controller)
        m_controller->coreStatusDidChange(status);
}

void OVCore::setControllerSpeed(double speed)
{
    if (!m_controller)
        return;
    const bool wasIgnoring = m_ignoreSpeedChangeChangesStatus;
    m_ignoreSpeedChangeChangesStatus = true;
    m_controller->setSpeed(speed);
    m_ignoreSpeedChangeChangesStatus = wasIgnoring;
}

void OVCore::savePrompterState()
{
    m_prompterStates.insert(m_prompterStates.begin(), PrompterState{m_status, m_speed});
}

void OVCore::restorePrompterState()
{
    if (m_prompterStates.empty()) {
        qWarning().noquote() << "error: no restore state exists";
        return;
    }
    const PrompterState state = m_prompterStates.front();
    m_prompterStates.erase(m_prompterStates.begin());
    if (state.speed != m_speed)
        m_speed = state.speed;
    if (state.status == m_status)
        return;
    if (state.status == kStatusStarted) {
        startPrompter();
    } else {
        m_forceStatus = state.status;
        pausePrompter();
        m_forceStatus = 0;
    }
}

void OVCore::observeScrollerDragging(bool observe)
{
    NotificationCenter& center = NotificationCenter::shared();
    if (m_scrollerDragObserved) {
        center.removeObserver(this, kScrollerWillBeginScrollingByMouseNotification, nullptr);
        center.removeObserver(this, kScrollerDidFinishScrollingByMouseNotification, nullptr);
        m_scrollerDragObserved = false;
    }
    Scroller* scroller = m_scrollView ? m_scrollView->verticalScroller() : nullptr;
    if (!observe || !scroller)
        return;
    center.addObserver(
        kScrollerWillBeginScrollingByMouseNotification, scroller,
        [this](const Notification&) { scrollerWillBeginScrollingByMouse(); }, this);
    center.addObserver(
        kScrollerDidFinishScrollingByMouseNotification, scroller,
        [this](const Notification&) { scrollerDidFinishScrollingByMouse(); }, this);
    m_scrollerDragObserved = true;
}

void OVCore::scrollerWillBeginScrollingByMouse()
{
    savePrompterState();
    if (!isStatusPaused())
        pausePrompter();
}

void OVCore::scrollerDidFinishScrollingByMouse()
{
    restorePrompterState();
}

// Speed

void OVCore::speedDidUpdate()
{
    if (!m_controller)
        return;
    const double controllerSpeed = m_controller->speed();
    m_speed = _convertSpeedForSpeedScale(controllerSpeed);
    if (isModePrompt()) {
        m_maxSpeedInPromptMode = std::max(m_maxSpeedInPromptMode, std::abs(controllerSpeed));
        if (OVCoreSettings::boolean(QStringLiteral("changingSpeedStartsPrompter"), true) &&
            !m_ignoreSpeedChangeChangesStatus && !m_isModeChanging && isStatusPaused()) {
            // The status change this starts keeps the speed the user just chose.
            const bool wasIgnoring = m_ignoreSpeedChangeSetsSpeedWhilePaused;
            m_ignoreSpeedChangeSetsSpeedWhilePaused = true;
            Application::shared().sendAction(QStringLiteral("toggleStatus:"), nullptr,
                                             QVariant::fromValue(static_cast<void*>(this)));
            m_ignoreSpeedChangeSetsSpeedWhilePaused = wasIgnoring;
        }
    }
    if (!m_isStatusChanging)
        m_speedWhilePaused = DBL_MAX;
}

void OVCore::_updateSpeedScale()
{
    m_speedScaleTypeTag = int(OVCoreSettings::integer(QStringLiteral("speedScaleTypeTag"), 1));
    speedDidUpdate();
}

double OVCore::_convertSpeedForSpeedScale(double speed) const
{
    return convertSpeed(speed, m_speedScaleTypeTag);
}

double OVCore::_reverseConvertSpeedForSpeedScale(double speed) const
{
    return reverseConvertSpeed(speed, m_speedScaleTypeTag);
}

namespace {

// Maps 120 on the speed control to 20 on the logarithmic scale.
constexpr double kLogarithmicScaleFactor = 9.602525677891274;

} // namespace

double OVCore::convertSpeed(double speed, int speedScaleTypeTag)
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

double OVCore::reverseConvertSpeed(double speed, int speedScaleTypeTag)
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

void OVCore::setMousePrompting(bool flag)
{
    if (flag == m_mousePrompting)
        return;
    m_mousePrompting = flag;
    if (!flag) {
        if (m_mouseMovementController) {
            m_mouseMovementController->stop();
            m_mouseMovementController->setReferenceView(nullptr);
        }
        return;
    }
    if (!m_mouseMovementController)
        m_mouseMovementController =
            std::make_unique<HVMouseMovementController>([this](double delta) { _mousePromptingMoved(delta); });
    m_mouseMovementController->setReferenceView(m_contentView);
    const qint64 location = OVCoreSettings::integer(QStringLiteral("mousePromptingCursorLocation"), 0);
    m_mouseMovementController->setCursorLocation(location > 0 ? unsigned(std::min<qint64>(location, 0xFFFF)) : 0);
    m_mousePromptingReverses = HVInputMonitor::sharedMonitor().usesNaturalScrollDirection() ||
                               OVCoreSettings::boolean(QStringLiteral("mouseReverseMovementAdjustsSpeed"), false);
    m_mousePromptingSpeedIncrement = OVCoreSettings::real(QStringLiteral("speedIncrement"), 0.2);
    m_mouseMovementController->start();
}

void OVCore::_mousePromptingMoved(double delta)
{
    if (!m_controller)
        return;
    if (m_mousePromptingReverses)
        delta = -delta;
    const double low = std::min(m_controller->minSpeedUIValue(), m_controller->maxSpeedUIValue());
    const double high = std::max(m_controller->minSpeedUIValue(), m_controller->maxSpeedUIValue());
    const double speed = m_controller->speed() + m_mousePromptingSpeedIncrement * delta * 0.01;
    // A speed increment that is not a number must not reach the speed control.
    if (!std::isfinite(speed))
        return;
    m_controller->setSpeed(std::clamp(speed, low, high));
}
