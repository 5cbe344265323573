#include "prompting/OVCore.h"

#include "prompting/OVCorePrivate.h"

#include "platform/appkit/EventTranslation.h"

#include "platform/appkit/AppKitNotifications.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/ClipView.h"
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

OVCore::Private::Private(OVCore& core) : m_tickSource([&core] { core._prompterTimerAction(); }) {}

OVCore::Private::~Private() = default;

OVCore& OVCore::sharedCore()
{
    // Never freed: timers and observers of the core may still fire while the process ends.
    static OVCore* core = new OVCore;
    return *core;
}

OVCore::OVCore() : d(std::make_unique<Private>(*this))
{
    if (!Application::shared().delegate())
        qWarning().noquote() << QStringLiteral("%1 OVCore instance created before appDelegate. Fix this.")
                                    .arg(QStringLiteral("-[OVCore init]"));
    _setupTimeTimer();
    _updateSpeedScale();
    d->m_prompterStates.reserve(2);
    resetTimer();
    d->m_pixelsPerSecond = kDefaultPixelsPerSecond;
    NotificationCenter::shared().addObserver(
        kSpeedScaleTypeDidChangeNotification, nullptr,
        [this](const Notification&) {
            _updateSpeedScale();
            _updateAllCoreControllerTimeEstimates();
        },
        this);
    NotificationCenter& center = NotificationCenter::shared();
    // The screen provider posts this for every reconfiguration Qt reports (a display added, removed,
    // moved or resized), which is what the display reconfiguration callback hears; the status update
    // of the same notice comes with it.
    center.addObserver(
        kApplicationDidChangeScreenParametersNotification, nullptr,
        [this](const Notification&) { _displayReconfigurationCallback(); }, this);
    for (const QString& name : {kWindowDidEnterFullScreenNotification, kWindowDidExitFullScreenNotification})
        center.addObserver(
            name, nullptr, [this](const Notification&) { _updateDualScreenStatusIfNecessary(); }, this);
    center.addObserver(
        kWindowDidChangeScreenNotification, nullptr,
        [this](const Notification&) { d->m_backingScales.clear(); }, this);
    center.addObserver(
        OVHardwareProfileDidUpdateNotification, nullptr,
        [this](const Notification&) { _updateHardwareProfile(); }, this);
    center.addObserver(
        OVBlankingAutoBlankToHideEditsDidChangeNotification, nullptr,
        [this](const Notification&) { autoBlankToHideEditsIfNecessary(); }, this);
    center.addObserver(
        OVPreviewScreenModeDidChangeNotification, nullptr,
        [this](const Notification& notification) {
            if (notification.userInfo.value(QStringLiteral("ScreenMode")).toLongLong() != 1 && isBlanking())
                setBlanking(false);
        },
        this);
    // The reading line moves for the bookmark controller when the arrow, the controller window or the
    // operator's padding changes. The arrow and the scroll view post under names their folder owns.
    center.addObserver(
        QStringLiteral("OVFocusArrowDidChangePropertiesNotification"), nullptr,
        [this](const Notification&) { _updateBookmarkControllerDeltaLocation(); }, this);
    center.addObserver(
        kWindowDidResizeNotification, nullptr,
        [this](const Notification& notification) {
            if (d->m_controllerWindow && notification.object == d->m_controllerWindow)
                _updateBookmarkControllerDeltaLocation();
        },
        this);
    center.addObserver(
        QStringLiteral("OVScrollViewTracksVerticalInsetDidChangeNotification"), nullptr,
        [this](const Notification& notification) {
            if (d->m_scrollView && notification.object == d->m_scrollView)
                _updateBookmarkControllerDeltaLocation();
        },
        this);
    _updateDualScreenStatusIfNecessary();
    _adjustDiscreteGPU();
}

OVCore::~OVCore()
{
    forgetSyncedViews();
    NotificationCenter::shared().removeObserver(this);
    RunLoop::main().cancelPreviousPerformRequests(this);
    // A pending cursor hide asks this core whether it still prompts.
    cancelHideCursorAfterDelay();
    unblockEvents();
}

// Controller

void OVCore::configureCoreForController(OVCoreController* controller)
{
    d->m_backingScales.clear();
    if (controller) {
        d->m_controller = controller;
        setPrompterView(controller->prompterView());
        d->m_timeInfo = controller->timeInfo();
        d->m_controllerWindow = controller->controllerWindow();
        speedDidUpdate();
        d->m_fractionalTime = 0;
        // A jump lands a bookmark on this window's arrow, which sits elsewhere in a window of
        // another height.
        _updateBookmarkControllerDeltaLocation();
    } else {
        d->m_controller = nullptr;
        setPrompterView(nullptr);
        d->m_timeInfo = nullptr;
        d->m_controllerWindow = nullptr;
    }
    NotificationCenter::shared().postNotification(OVCoreDidChangeControllerNotification, controller);
}

void OVCore::setPrompterView(OVCorePrompterView* prompterView)
{
    const bool observed = d->m_operatorObserver != 0;
    observeOperatorClipView(false);
    d->m_prompterView = prompterView;
    d->m_scrollView = prompterView ? prompterView->scrollView() : nullptr;
    d->m_textView = prompterView ? prompterView->textView() : nullptr;
    d->m_contentView = prompterView ? prompterView->clipView() : nullptr;
    d->m_documentView = d->m_contentView ? d->m_contentView->documentView() : nullptr;
    if (observed)
        observeOperatorClipView(true);
}

bool OVCore::isContentEditable() const
{
    return d->m_prompterView && d->m_prompterView->isContentEditable();
}

unsigned long OVCore::currentModifierFlags() const
{
    return d->m_modifierFlagsProvider ? d->m_modifierFlagsProvider() : ::currentModifierFlags();
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
    if (d->m_isModeChanging)
        return;
    if (mode == d->m_mode) {
        qWarning().noquote()
            << QStringLiteral("OVCore: attempted to set mode we are already in: %1").arg(mode);
        qWarning().noquote() << QStringLiteral("stack trace: %1").arg(callStack());
        return;
    }
    if (!d->m_modeChange.hasQueue())
        buildModeChangeQueue();
    try {
        if (mode == kModeEdit)
            d->m_modeChange.runIntoEditMode();
        else
            d->m_modeChange.runIntoPromptMode();
    } catch (const std::exception& exception) {
        qWarning().noquote() << "OVCore: a mode-change step failed:" << exception.what();
    } catch (...) {
        qWarning().noquote() << "OVCore: a mode-change step failed";
    }
    // Every step runs inside this call, so anything still under way here was cut short.
    if (d->m_isModeChanging || d->m_modeChange.isExecuting() || areEventsBlocked())
        recoverFromFailedModeChange();
}

void OVCore::recoverFromFailedModeChange()
{
    d->m_modeChange.abandon();
    unblockEvents();
    d->m_suppressDisplayConfigurationModeChange = false;
    d->m_isModeChanging = false;
    d->m_willBecomeMode = kNoChange;
}

void OVCore::buildModeChangeQueue()
{
    const auto step = [this](const QString& name, void (OVCore::*run)()) {
        const auto observed = [this, name, run] {
            if (d->m_stepObserver)
                d->m_stepObserver(name);
            (this->*run)();
        };
        return OVModeChange::Step{name, observed};
    };
    d->m_modeChange.buildQueue(this, {
                                      step(QStringLiteral("_startSetup"), &OVCore::_startSetup),
                                      step(QStringLiteral("_embedWindow"), &OVCore::_embedWindow),
                                      step(QStringLiteral("_windowResize"), &OVCore::_windowResize),
                                      step(QStringLiteral("_scrollBarAdjust"), &OVCore::_scrollBarAdjust),
                                      step(QStringLiteral("_windowFade"), &OVCore::_windowFade),
                                      step(QStringLiteral("_modePersistentChanges"),
                                           &OVCore::_modePersistentChanges),
                                      step(QStringLiteral("_finishSetup"), &OVCore::_finishSetup),
                                  });
}

void OVCore::blockEvents()
{
    if (d->m_eventsBlocked)
        return;
    HVEventBlocker::sharedBlocker().blockAppWithOptions(1);
    d->m_eventsBlocked = true;
}

void OVCore::unblockEvents()
{
    if (!d->m_eventsBlocked)
        return;
    HVEventBlocker::sharedBlocker().unblockApp();
    d->m_eventsBlocked = false;
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
                      (d->m_controller && d->m_controller->shouldHardPausePrompter());
    _setupForStatus(hard ? kStatusPausedHard : kStatusPaused);
}

void OVCore::_setupForStatus(unsigned requested)
{
    if (d->m_isStatusChanging)
        return;
    const unsigned status = d->m_forceStatus ? d->m_forceStatus : requested;
    if (status == d->m_status) {
        qWarning().noquote()
            << QStringLiteral("OVCore: attempted to set status we are already in: %1").arg(status);
        qWarning().noquote() << QStringLiteral("stack trace: %1").arg(callStack());
        return;
    }
    d->m_isStatusChanging = true;
    d->m_willBecomeStatus = status;
    if (d->m_controller)
        d->m_controller->coreStatusWillChange(status);
    d->m_status = status;
    if (status == kStatusStarted && !isModePrompt())
        enterPromptMode();

    const double now = HVTimestamp::seconds();
    d->m_previousPromptIncrementTimeStamp = now;
    HVAnalytics& analytics = HVAppServices::shared().analytics();
    analytics.incrementIntegerForKeyPath(QStringLiteral("promptMode.statusChanges"));
    if (status == kStatusPausedHard && !(d->m_controller && d->m_controller->shouldHardPausePrompter()))
        analytics.incrementIntegerForKeyPath(QStringLiteral("promptMode.hardStops"));

    const bool cursorMovementAdjustsSpeed =
        OVCoreSettings::boolean(QStringLiteral("cursorMovementAdjustsSpeed"), false);
    const bool setPauseSpeedOnPause = OVCoreSettings::boolean(QStringLiteral("setPauseSpeedOnPause"), false);
    const double pauseSpeed = OVCoreSettings::real(QStringLiteral("pauseSpeed"), 0.0);
    const bool setPreviousSpeedOnStart =
        OVCoreSettings::boolean(QStringLiteral("setPreviousSpeedOnStart"), false);
    const bool speedMayChange = !d->m_ignoreSpeedChangeSetsSpeedWhilePaused && !d->m_isModeChanging && d->m_controller;

    if (status == kStatusStarted) {
        d->m_scrollEngine.clearLeftoverAndScrollingDelta();
        d->m_startTime = now;
        d->m_stopTime = 0;
        if (cursorMovementAdjustsSpeed)
            setMousePrompting(true);
        if (speedMayChange && setPreviousSpeedOnStart && d->m_speedWhilePaused != DBL_MAX) {
            setControllerSpeed(d->m_speedWhilePaused);
            d->m_speedWhilePaused = DBL_MAX;
        }
    } else {
        d->m_startTime = 0;
        d->m_stopTime = now;
        setMousePrompting(false);
        if (speedMayChange) {
            d->m_speedWhilePaused = d->m_controller->speed();
            if (setPauseSpeedOnPause)
                setControllerSpeed(pauseSpeed);
        }
    }

    wakePrompterTick();
    d->m_isStatusChanging = false;
    d->m_willBecomeStatus = kNoChange;
    if (d->m_controller)
        d->m_controller->coreStatusDidChange(status);
}

void OVCore::setControllerSpeed(double speed)
{
    if (!d->m_controller)
        return;
    const bool wasIgnoring = d->m_ignoreSpeedChangeChangesStatus;
    d->m_ignoreSpeedChangeChangesStatus = true;
    d->m_controller->setSpeed(speed);
    d->m_ignoreSpeedChangeChangesStatus = wasIgnoring;
}

void OVCore::savePrompterState()
{
    d->m_prompterStates.insert(d->m_prompterStates.begin(), Private::PrompterState{d->m_status, d->m_speed});
}

void OVCore::restorePrompterState()
{
    if (d->m_prompterStates.empty()) {
        qWarning().noquote() << "error: no restore state exists";
        return;
    }
    const Private::PrompterState state = d->m_prompterStates.front();
    d->m_prompterStates.erase(d->m_prompterStates.begin());
    if (state.speed != d->m_speed)
        d->m_speed = state.speed;
    if (state.status == d->m_status)
        return;
    if (state.status == kStatusStarted) {
        startPrompter();
    } else {
        d->m_forceStatus = state.status;
        pausePrompter();
        d->m_forceStatus = 0;
    }
}

void OVCore::observeScrollerDragging(bool observe)
{
    NotificationCenter& center = NotificationCenter::shared();
    if (d->m_scrollerDragObserved) {
        center.removeObserver(this, kScrollerWillBeginScrollingByMouseNotification, nullptr);
        center.removeObserver(this, kScrollerDidFinishScrollingByMouseNotification, nullptr);
        d->m_scrollerDragObserved = false;
    }
    Scroller* scroller = d->m_scrollView ? d->m_scrollView->verticalScroller() : nullptr;
    if (!observe || !scroller)
        return;
    center.addObserver(
        kScrollerWillBeginScrollingByMouseNotification, scroller,
        [this](const Notification&) { scrollerWillBeginScrollingByMouse(); }, this);
    center.addObserver(
        kScrollerDidFinishScrollingByMouseNotification, scroller,
        [this](const Notification&) { scrollerDidFinishScrollingByMouse(); }, this);
    d->m_scrollerDragObserved = true;
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
    if (d->m_controller)
        speedDidUpdate(d->m_controller->speed());
}

void OVCore::speedDidUpdate(double controllerSpeed)
{
    if (!d->m_controller)
        return;
    d->m_speed = _convertSpeedForSpeedScale(controllerSpeed);
    wakePrompterTick();
    if (isModePrompt()) {
        d->m_maxSpeedInPromptMode = std::max(d->m_maxSpeedInPromptMode, std::abs(controllerSpeed));
        if (OVCoreSettings::boolean(QStringLiteral("changingSpeedStartsPrompter"), true) &&
            !d->m_ignoreSpeedChangeChangesStatus && !d->m_isModeChanging && isStatusPaused()) {
            // The status change this starts keeps the speed the user just chose.
            const bool wasIgnoring = d->m_ignoreSpeedChangeSetsSpeedWhilePaused;
            d->m_ignoreSpeedChangeSetsSpeedWhilePaused = true;
            Application::shared().sendAction(QStringLiteral("toggleStatus:"), nullptr,
                                             QVariant::fromValue(static_cast<void*>(this)));
            d->m_ignoreSpeedChangeSetsSpeedWhilePaused = wasIgnoring;
        }
    }
    if (!d->m_isStatusChanging)
        d->m_speedWhilePaused = DBL_MAX;
}

void OVCore::_updateSpeedScale()
{
    d->m_speedScaleTypeTag = int(OVCoreSettings::integer(QStringLiteral("speedScaleTypeTag"), 1));
    speedDidUpdate();
}

double OVCore::_convertSpeedForSpeedScale(double speed) const
{
    return convertSpeed(speed, d->m_speedScaleTypeTag);
}

double OVCore::_reverseConvertSpeedForSpeedScale(double speed) const
{
    return reverseConvertSpeed(speed, d->m_speedScaleTypeTag);
}

double OVCore::convertSpeed(double speed, int speedScaleTypeTag)
{
    return OVScrollEngine::convertSpeed(speed, speedScaleTypeTag);
}

double OVCore::reverseConvertSpeed(double speed, int speedScaleTypeTag)
{
    return OVScrollEngine::reverseConvertSpeed(speed, speedScaleTypeTag);
}

void OVCore::setMousePrompting(bool flag)
{
    if (flag == d->m_mousePrompting)
        return;
    d->m_mousePrompting = flag;
    if (!flag) {
        if (d->m_mouseMovementController) {
            d->m_mouseMovementController->stop();
            d->m_mouseMovementController->setReferenceView(nullptr);
        }
        return;
    }
    if (!d->m_mouseMovementController)
        d->m_mouseMovementController =
            std::make_unique<HVMouseMovementController>([this](double delta) { _mousePromptingMoved(delta); });
    d->m_mouseMovementController->setReferenceView(d->m_contentView);
    const qint64 location = OVCoreSettings::integer(QStringLiteral("mousePromptingCursorLocation"), 0);
    d->m_mouseMovementController->setCursorLocation(location > 0 ? unsigned(std::min<qint64>(location, 0xFFFF)) : 0);
    d->m_mousePromptingReverses = HVInputMonitor::sharedMonitor().usesNaturalScrollDirection() ||
                               OVCoreSettings::boolean(QStringLiteral("mouseReverseMovementAdjustsSpeed"), false);
    d->m_mousePromptingSpeedIncrement = OVCoreSettings::real(QStringLiteral("speedIncrement"), 0.2);
    d->m_mouseMovementController->start();
}

void OVCore::_mousePromptingMoved(double delta)
{
    if (!d->m_controller)
        return;
    if (d->m_mousePromptingReverses)
        delta = -delta;
    const double low = std::min(d->m_controller->minSpeedUIValue(), d->m_controller->maxSpeedUIValue());
    const double high = std::max(d->m_controller->minSpeedUIValue(), d->m_controller->maxSpeedUIValue());
    const double speed = d->m_controller->speed() + d->m_mousePromptingSpeedIncrement * delta * 0.01;
    // A speed increment that is not a number must not reach the speed control.
    if (!std::isfinite(speed))
        return;
    d->m_controller->setSpeed(std::clamp(speed, low, high));
}

// What the contract answers, kept in the parts and the private state.

OVCoreController* OVCore::controller() const
{
    return d->m_controller;
}

Window* OVCore::controllerWindow() const
{
    return d->m_controllerWindow;
}

OVTimeInfo* OVCore::timeInfo() const
{
    return d->m_timeInfo;
}

unsigned OVCore::mode() const
{
    return d->m_mode;
}

unsigned OVCore::willBecomeMode() const
{
    return d->m_willBecomeMode;
}

bool OVCore::isModeEdit() const
{
    return d->m_mode == kModeEdit;
}

bool OVCore::isModePrompt() const
{
    return d->m_mode == kModePrompt;
}

bool OVCore::isModeChanging() const
{
    return d->m_isModeChanging;
}

unsigned OVCore::status() const
{
    return d->m_status;
}

unsigned OVCore::willBecomeStatus() const
{
    return d->m_willBecomeStatus;
}

bool OVCore::isStatusPaused() const
{
    return d->m_status == kStatusPaused || d->m_status == kStatusPausedHard;
}

bool OVCore::isStatusPausedHard() const
{
    return d->m_status == kStatusPausedHard;
}

bool OVCore::isStatusStarted() const
{
    return d->m_status == kStatusStarted;
}

bool OVCore::isStatusChanging() const
{
    return d->m_isStatusChanging;
}

OVCorePrompterView* OVCore::prompterView() const
{
    return d->m_prompterView;
}

ScrollView* OVCore::scrollView() const
{
    return d->m_scrollView;
}

View* OVCore::textView() const
{
    return d->m_textView;
}

ClipView* OVCore::contentView() const
{
    return d->m_contentView;
}

View* OVCore::documentView() const
{
    return d->m_documentView;
}

double OVCore::speed() const
{
    return d->m_speed;
}

double OVCore::adjustedSpeed() const
{
    return d->m_scrollEngine.adjustedSpeed();
}

double OVCore::pixelsPerSecond() const
{
    return d->m_pixelsPerSecond;
}

void OVCore::setPixelsPerSecond(double pixelsPerSecond)
{
    d->m_pixelsPerSecond = pixelsPerSecond;
}

int OVCore::speedScaleTypeTag() const
{
    return d->m_speedScaleTypeTag;
}

void OVCore::addScrollingDelta(double delta)
{
    d->m_scrollEngine.addScrollingDelta(delta);
    wakePrompterTick();
}

void OVCore::clearScrollingDelta()
{
    d->m_scrollEngine.clearScrollingDelta();
}

void OVCore::clearScrollingDeltaAnimated()
{
    d->m_scrollEngine.clearScrollingDeltaAnimated();
}

void OVCore::clearModalScrollingDeltaAnimated()
{
    d->m_scrollEngine.clearModalScrollingDeltaAnimated();
}

void OVCore::clearReservedModalScrollingTime()
{
    d->m_scrollEngine.clearReservedModalScrollingTime();
}

double OVCore::frameRate() const
{
    return d->m_frameRate;
}

bool OVCore::usesMaximumFrameRate() const
{
    return d->m_usesMaximumFrameRate;
}

double OVCore::minimumScrollIncrement() const
{
    return d->m_scrollEngine.minimumScrollIncrement();
}

double OVCore::leftoverDelta() const
{
    return d->m_scrollEngine.leftoverDelta();
}

double OVCore::timePassed() const
{
    return d->m_timePassed;
}

double OVCore::fractionalTime() const
{
    return d->m_fractionalTime;
}

int OVCore::updateTiming() const
{
    return d->m_updateTiming;
}

int OVCore::prompterTimerType() const
{
    return d->m_tickSource.type();
}

bool OVCore::hasTimeTimer() const
{
    return d->m_timeTimer != nullptr;
}

int OVCore::waType() const
{
    return d->m_waType;
}

double OVCore::pointsScrolledInPromptMode() const
{
    return d->m_scrollEngine.pointsScrolled();
}

double OVCore::maxSpeedInPromptMode() const
{
    return d->m_maxSpeedInPromptMode;
}

const std::vector<OVCore::HiddenWindow>& OVCore::hiddenWindows() const
{
    return d->m_modeChange.hiddenWindows();
}

const OVCore::PromptModeWindowConfiguration& OVCore::promptModeControllerWindowConfiguration() const
{
    return d->m_modeChange.windowConfiguration();
}

HVStackBoolean& OVCore::syncScrolling()
{
    return d->m_syncScrolling;
}

int OVCore::dualScreenStatus() const
{
    return d->m_lastDualScreenStatus;
}

bool OVCore::isMousePrompting() const
{
    return d->m_mousePrompting;
}

HVMouseMovementController* OVCore::mouseMovementController() const
{
    return d->m_mouseMovementController.get();
}

const HVVersion& OVCore::waMinVersion() const
{
    return d->m_waMinVersion;
}

const HVVersion& OVCore::waMaxVersion() const
{
    return d->m_waMaxVersion;
}

const OVCore::ContentAdjustments& OVCore::appliedContentAdjustments() const
{
    return d->m_appliedContentAdjustments;
}

void OVCore::setInputController(OVCoreInputController* inputController)
{
    d->m_inputController = inputController;
}

OVCoreInputController* OVCore::inputController() const
{
    return d->m_inputController;
}

void OVCore::setAllCoreControllersProvider(std::function<std::vector<OVCoreController*>()> provider)
{
    d->m_allControllersProvider = std::move(provider);
}

void OVCore::setModifierFlagsProvider(std::function<unsigned long()> provider)
{
    d->m_modifierFlagsProvider = std::move(provider);
}

void OVCore::setPromptModeWindows(OVCorePromptModeWindows* windows)
{
    d->m_promptModeWindows = windows;
}

OVCorePromptModeWindows* OVCore::promptModeWindows() const
{
    return d->m_promptModeWindows;
}

Window* OVCore::blockingWindow() const
{
    return d->m_modeChange.blockingWindow();
}

Window* OVCore::titleBarBlockingWindow() const
{
    return d->m_modeChange.titleBarBlockingWindow();
}

void OVCore::setAutosavingHandler(std::function<void(bool enabled)> handler)
{
    d->m_autosavingHandler = std::move(handler);
}

void OVCore::setModeChangeStepObserver(std::function<void(const QString& step)> observer)
{
    d->m_stepObserver = std::move(observer);
}

bool OVCore::areEventsBlocked() const
{
    return d->m_eventsBlocked;
}
