// The tick of Prompt mode: time keeping, the scroll engine fed and its origin applied, and the tick
// sources.
#include "prompting/OVCore.h"

#include "prompting/OVCorePrivate.h"

#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Screen.h"
#include "platform/appkit/ScrollView.h"
#include "platform/appkit/Timer.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/hvkit/HVTimestamp.h"
#include "prompting/OVCoreController.h"
#include "prompting/OVCoreInputController.h"
#include "prompting/OVCorePrompterView.h"
#include "prompting/OVCoreSettings.h"
#include "prompting/OVCoreTalentOutput.h"
#include "prompting/OVRenderingChoices.h"
#include "prompting/OVTimeInfo.h"

#include <QDebug>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

const QString kPrompterTimerActionSelector = QStringLiteral("_prompterTimerAction:");
const QString kUpdatePrompterSelector = QStringLiteral("_updatePrompterAndInterface");
const QString kSetupPrompterTimerName = QStringLiteral("-[OVCore _setupPrompterTimerOfType:]");

constexpr double kMaximumCustomFrameRate = 1000.0;

std::optional<Screen> operatorScreen()
{
    const std::vector<Screen> screens = Screen::screens();
    if (screens.empty())
        return std::nullopt;
    return screens.front();
}

std::optional<Screen> talentScreen()
{
    const std::vector<Screen> screens = Screen::screens();
    if (screens.size() < 2)
        return std::nullopt;
    return screens[1];
}

bool isUsableRate(double rate)
{
    return std::isfinite(rate) && rate > 0;
}

// Converts without undefined behaviour: a quotient beyond the integer range is clamped into it.
qint64 clampedSeconds(double seconds)
{
    if (std::isnan(seconds))
        return OVCore::kNoEstimate;
    constexpr double kLimit = 9.2e18;
    if (seconds >= kLimit)
        return OVCore::kNoEstimate;
    if (seconds <= -kLimit)
        return std::numeric_limits<qint64>::min();
    return qint64(seconds);
}

// Where the clip view stands over its document, as the scroll engine takes it.
OVScrollEngine::ClipGeometry clipGeometry(const ClipView& clip, const View& document)
{
    return {clip.bounds().origin.y, clip.documentRect().origin.y, document.frame().size.height,
            clip.bounds().size.height};
}

} // namespace

// Time

void OVCore::resetTimer()
{
    d->m_lastMeasuredTime = 1.0;
    d->m_fractionalTime = 0;
    if (d->m_timeInfo)
        d->m_timeInfo->resetElapsedTime();
    NotificationCenter::shared().postNotification(OVCoreWillRequireSynchronizedTimersUpdateNotification,
                                                  this);
}

void OVCore::addScrollingDeltaAnimated(double delta)
{
    d->m_scrollEngine.addScrollingDeltaAnimated(delta, HVTimestamp::seconds());
    wakePrompterTick();
}

void OVCore::addModalScrollingDeltaAnimated(double delta)
{
    d->m_scrollEngine.addModalScrollingDeltaAnimated(delta, HVTimestamp::seconds());
    wakePrompterTick();
}

void OVCore::addReservedModalScrollingTime(double seconds)
{
    d->m_scrollEngine.reserveModalScrollingUntil(HVTimestamp::seconds() + seconds);
    wakePrompterTick();
}

qint64 OVCore::estimatedTimeRemaining() const
{
    return estimatedTimeRemainingForController(d->m_controller);
}

qint64 OVCore::estimatedTimeRemainingForController(OVCoreController* controller) const
{
    if (!controller)
        return kNoEstimate;
    double speed = 0;
    if (controller != d->m_controller)
        speed = _convertSpeedForSpeedScale(controller->speed());
    else
        speed = isModePrompt() && adjustedSpeed() != 0 ? adjustedSpeed() : d->m_speed;
    if (speed == 0 || !std::isfinite(speed))
        return kNoEstimate;

    ClipView* clipView = d->m_contentView;
    View* documentView = d->m_documentView;
    if (controller != d->m_controller) {
        OVCorePrompterView* prompterView = controller->prompterView();
        clipView = prompterView ? prompterView->clipView() : nullptr;
        documentView = clipView ? clipView->documentView() : nullptr;
    }
    if (!clipView || !documentView)
        return kNoEstimate;

    const double clipY = clipView->bounds().origin.y;
    const double documentY = clipView->documentRect().origin.y;
    double distance = 0;
    if (speed < 0)
        distance = clipY - documentY;
    else
        distance = documentView->frame().size.height - clipView->bounds().size.height - clipY + documentY;
    // A script shorter than the view has nothing left to scroll.
    distance = std::max(distance, 0.0);
    return clampedSeconds(std::floor(distance / (speed * d->m_pixelsPerSecond)));
}

// The tick

void OVCore::_prompterTimerAction()
{
    const double now = HVTimestamp::seconds();
    d->m_timePassed = now - d->m_previousPromptIncrementTimeStamp;
    d->m_previousPromptIncrementTimeStamp = now;

    if (std::lround(d->m_lastMeasuredTime) == 1)
        d->m_lastMeasuredTime = now;
    d->m_fractionalTime += now - d->m_lastMeasuredTime;
    // A tick timed for the second itself may sum to a hair below it.
    constexpr double kSecondTolerance = 1e-6;
    if (d->m_fractionalTime >= 1 - kSecondTolerance) {
        // Every whole second counts, so a stalled main thread does not leave the clock behind.
        const double wholeSeconds = std::floor(d->m_fractionalTime + kSecondTolerance);
        if (d->m_status != kStatusPausedHard && d->m_timeInfo)
            d->m_timeInfo->setElapsedSeconds(d->m_timeInfo->elapsedSeconds() + qint64(wholeSeconds));
        d->m_needsTimerUpdates = true;
        d->m_fractionalTime -= wholeSeconds;
    }
    d->m_lastMeasuredTime = now;

    RunLoop& runLoop = RunLoop::main();
    runLoop.cancelPreviousPerformRequests(this, kPrompterTimerActionSelector);
    if (d->m_updateTiming >= 1) {
        _updatePrompterAndInterface();
        return;
    }
    if (!runLoop.hasPendingPerform(this, kUpdatePrompterSelector))
        runLoop.performAfterDelay(0, this, kUpdatePrompterSelector,
                                  [this] { _updatePrompterAndInterface(); });
}

void OVCore::_updatePrompterAndInterface()
{
    _incrementPrompter();
    if (d->m_needsTimerUpdates) {
        _updateTimerControls();
        d->m_needsTimerUpdates = false;
    }
}

void OVCore::_incrementPrompter()
{
    OVScrollEngine::Input input;
    input.now = HVTimestamp::seconds();
    input.timePassed = d->m_timePassed;
    // At rest the clock ticks once a second, and nothing should have moved since: an input that
    // changed without waking the tick moves by one frame's time, not by the second.
    if (std::exchange(d->m_restingClockFiring, false))
        input.timePassed = std::min(input.timePassed, 1.0 / d->m_frameRate);
    input.speed = d->m_speed;
    input.speedScaleTypeTag = d->m_speedScaleTypeTag;
    input.pixelsPerSecond = d->m_pixelsPerSecond;
    input.started = d->m_status == kStatusStarted || d->m_forceStatus == kStatusStarted;
    if (d->m_inputController) {
        const OVCoreInputController& keys = *d->m_inputController;
        input.hasKeys = true;
        input.keys = {keys.scrollDown(), keys.scrollUp(), keys.boostSpeed(), keys.lastScrollDownTime(),
                      keys.lastScrollUpTime()};
    }
    if (d->m_contentView && d->m_documentView) {
        input.hasClipView = true;
        input.clip = clipGeometry(*d->m_contentView, *d->m_documentView);
        input.clip.bottomGrowth = d->m_scriptBottomGrowth;
    }

    const OVScrollEngine::Output output = d->m_scrollEngine.step(input);
    // Paused with nothing held or queued, every tick would only find the same again. Something to
    // move found by the resting clock wakes the tick, so no way in that forgot to wake it leaves a
    // key moving the script once a second.
    if (d->m_scrollEngine.isAtRest())
        _restPrompterTick();
    else
        wakePrompterTick();
    if (!output.advanced)
        return;
    if (output.moved)
        _scrollPrompterToYPosition(output.originY);
    if (output.location == OVScrollEngine::Location::Top)
        _handlePrompterScrollLocation(0, output.moved);
    else if (output.location == OVScrollEngine::Location::Bottom)
        _handlePrompterScrollLocation(1, output.moved);

    if (d->m_needsTimerUpdates) {
        _updateTimerControls();
        d->m_needsTimerUpdates = false;
    }
    _updateSpeedControlIfNeeded();
}

void OVCore::_handlePrompterScrollLocation(int location, bool didIncrementPrompter)
{
    const bool looping = d->m_controller && d->m_controller->looping();
    if (location == 1) {
        if (looping)
            _scrollPrompterToTop();
        if (didIncrementPrompter && d->m_controller)
            d->m_controller->prompterScrolledToScriptEnd();
    } else if (location == 0) {
        if (looping)
            _scrollPrompterToBottom();
        if (didIncrementPrompter && d->m_controller)
            d->m_controller->prompterScrolledToScriptStart();
    }
}

void OVCore::_scrollPrompterToYPosition(double y)
{
    _scrollPrompterToPoint(Point{0, y});
}

void OVCore::_scrollPrompterToPoint(const Point& point)
{
    if (!d->m_contentView)
        return;
    d->m_contentView->scrollToPoint(point);
    if (d->m_scrollView)
        d->m_scrollView->reflectScrolledClipView(d->m_contentView);
}

void OVCore::_scrollPrompterToTop()
{
    if (d->m_contentView)
        _scrollPrompterToYPosition(d->m_contentView->documentRect().origin.y);
}

void OVCore::_scrollPrompterToBottom()
{
    if (!d->m_contentView || !d->m_documentView)
        return;
    OVScrollEngine::ClipGeometry clip = clipGeometry(*d->m_contentView, *d->m_documentView);
    clip.bottomGrowth = d->m_scriptBottomGrowth;
    _scrollPrompterToYPosition(OVScrollEngine::scriptBottom(clip));
}

// Read once as Prompt mode starts: the toolbar and the talent's insets stay as they are until it ends,
// and the toolbar's height is no question for every tick.
double OVCore::_scriptBottomGrowth() const
{
    if (!isTalentWindowInUse() || !d->m_prompterView || !d->m_prompterView->tracksVerticalInset())
        return 0;
    const double toolbar = d->m_controller ? d->m_controller->toolbarHeight() : 0;
    return std::round(toolbar - 2 * d->m_talentWindowController->contentInsetHeight());
}

void OVCore::_updateSpeedControlIfNeeded()
{
    if (d->m_controller && d->m_controller->speedControlNeedsUpdate())
        d->m_controller->updateSpeedControl();
}

std::vector<OVCoreController*> OVCore::_allCoreControllers() const
{
    if (d->m_allControllersProvider)
        return d->m_allControllersProvider();
    if (d->m_controller)
        return {d->m_controller};
    return {};
}

void OVCore::_updateTimerControls()
{
    const auto update = [this](OVCoreController* controller) {
        if (!controller || !controller->timeRemainingNeedsUpdate())
            return;
        if (OVTimeInfo* timeInfo = controller->timeInfo())
            timeInfo->setRemainingSeconds(estimatedTimeRemainingForController(controller));
        controller->setTimeRemainingNeedsUpdate(false);
    };
    if (isModeEdit()) {
        for (OVCoreController* controller : _allCoreControllers())
            update(controller);
    } else {
        update(d->m_controller);
    }
    NotificationCenter::shared().postNotification(OVCoreWillRequireSynchronizedTimersUpdateNotification,
                                                  this);
}

void OVCore::_updateAllCoreControllerTimeEstimates()
{
    for (OVCoreController* controller : _allCoreControllers())
        controller->setTimeRemainingNeedsUpdate(true);
}

// Frame rate and increments

void OVCore::_calculateOptimalFramerate()
{
    const std::optional<Screen> screen = operatorScreen();
    const double refreshRate = screen ? screen->refreshRate() : 0.0;
    const qint64 option = OVCoreSettings::integer(QStringLiteral("frameRateOptionTag"), -1);
    double rate = d->m_frameRate;
    bool custom = false;
    switch (option) {
    case 0:
        rate = 5 * refreshRate;
        break;
    case 1:
        rate = refreshRate;
        break;
    case 2:
        rate = 0.5 * refreshRate;
        break;
    case 1024: {
        // A rate set outside the pane can be anything; keep it to what a timer can honour.
        const double customRate = double(OVCoreSettings::integer(QStringLiteral("customFrameRate"), 50));
        rate = std::clamp(customRate, 1.0, kMaximumCustomFrameRate);
        custom = true;
        break;
    }
    case -1: {
        rate = 0.5 * refreshRate;
        const std::optional<Screen> talent = talentScreen();
        OVRenderingChoices::FrameRateFacts facts;
        facts.separateTalentDisplay = talent && screen && talent->displayID() != screen->displayID() &&
                                      OVCoreSettings::integer(QStringLiteral("screenMode"), 0) == 1;
        if (facts.separateTalentDisplay)
            _forceUpdateGPUInfo();
        _updateGPUInfoIfNecessary();
        if (const HVGPUInfo* gpu = operatorGPUInfo())
            facts.operatorGPU = *gpu;
        if (const HVGPUInfo* gpu = talentGPUInfo())
            facts.talentGPU = *gpu;
        // A laptop's own panel is the one whose connector says so.
        facts.operatorScreenIsBuiltInHighDensity = screen && screen->backingScaleFactor() > 1.0 &&
                                                   (screen->name().startsWith(QLatin1String("eDP")) ||
                                                    screen->name().startsWith(QLatin1String("LVDS")));
        facts.hardwareModel = HVGPUInfo::hardwareModelName();
        if (OVRenderingChoices::automaticFrameRateUsesFullRate(facts))
            rate = refreshRate;
        if (rate == refreshRate)
            rate = 5 * refreshRate;
        break;
    }
    default:
        break;
    }
    if (!isUsableRate(rate))
        rate = kFallbackFrameRate;
    d->m_frameRate = rate;
    d->m_usesMaximumFrameRate = custom || rate == refreshRate || rate == 5 * refreshRate;
}

void OVCore::_calculateMinimumScrollIncrement()
{
    double scale = d->m_controllerWindow ? d->m_controllerWindow->backingScaleFactor() : 1.0;
    if (!isUsableRate(scale))
        scale = 1.0;
    // Steps finer than a point suit both displays only when both have that many pixels to a point:
    // otherwise one of them would show the text standing still and then jumping.
    if (isTalentWindowInUse()) {
        const Window* talent = d->m_talentWindowController->talentWindow();
        const double talentScale = talent ? talent->backingScaleFactor() : 1.0;
        if (talentScale != scale) {
            d->m_scrollEngine.setMinimumScrollIncrement(1.0);
            return;
        }
    }
    d->m_scrollEngine.setMinimumScrollIncrement(1.0 / scale);
}

// Tick sources

void OVCore::_setupTimeTimer()
{
    if (d->m_timeTimer)
        return;
    d->m_timeTimer = Timer::scheduledTimer(1.0, true, [this](Timer&) { _timeTimerAction(); });
}

void OVCore::_tearDownTimeTimer()
{
    if (!d->m_timeTimer) {
        qWarning().noquote() << "OVCore timeTimer is not active!";
        return;
    }
    d->m_timeTimer->invalidate();
    d->m_timeTimer.reset();
}

void OVCore::_timeTimerAction()
{
    _updateTimerControls();
}

void OVCore::_setupPrompterTimer()
{
    _setupPrompterTimerOfType(int(OVCoreSettings::integer(QStringLiteral("updateDriverTypeTag"), -1)));
}

void OVCore::_setupPrompterTimerOfType(int type)
{
    _endRestingClock();
    const auto fallBack = [type, this](const char* message, int fallback) {
        qWarning().noquote()
            << QString::fromLatin1(message).arg(kSetupPrompterTimerName).arg(type).arg(fallback);
        _setupPrompterTimerOfType(fallback);
    };
    if (type >= 1 && type <= 6) {
        const std::optional<Screen> operatorDisplay = operatorScreen();
        const std::optional<Screen> talentDisplay = talentScreen();
        if (!operatorDisplay && !talentDisplay)
            return fallBack("%1 0 displays connected which is invalid for type %2. falling back to type %3",
                            0);
        const bool dual = operatorDisplay && talentDisplay &&
                          operatorDisplay->displayID() != talentDisplay->displayID() &&
                          OVCoreSettings::integer(QStringLiteral("screenMode"), 0) == 1;
        if (!dual && (type == 2 || type == 3))
            return fallBack("%1 missing screen for type %2. falling back to type %3", 1);
        if (!dual && type == 6)
            return fallBack("%1 missing screen for type %2. falling back to type %3", 5);
        if (!operatorDisplay && (type == 1 || type == 4 || type == 5))
            return fallBack("%1 missing screen for type %2. falling back to type %3", 0);

        if (d->m_tickSource.hasDisplayLink())
            return;
        switch (type) {
        case 1:
            return startDisplayLink(type, operatorDisplay->displayID(), nullptr);
        case 2:
            return startDisplayLink(type, talentDisplay->displayID(), nullptr);
        case 3: {
            // One tick for both displays: paced by the faster one, so neither misses a frame.
            const Screen& faster = talentDisplay->refreshRate() > operatorDisplay->refreshRate()
                                       ? *talentDisplay
                                       : *operatorDisplay;
            return startDisplayLink(type, faster.displayID(), nullptr);
        }
        case 4: {
            std::vector<Screen> screens = Screen::screens();
            const auto fastest =
                std::max_element(screens.begin(), screens.end(), [](const Screen& a, const Screen& b) {
                    return a.refreshRate() < b.refreshRate();
                });
            return startDisplayLink(type, fastest->displayID(), nullptr);
        }
        case 5:
            return startDisplayLink(type, operatorDisplay->displayID(), d->m_controllerWindow);
        case 6:
            // The talent window comes with the talent output; until then its display paces the tick.
            return startDisplayLink(type, talentDisplay->displayID(), nullptr);
        }
    }

    if (d->m_tickSource.hasTimer())
        return;
    d->m_tickSource.startTimer(d->m_frameRate);
    const qint64 timing = OVCoreSettings::integer(QStringLiteral("updateTimingTag"), -1);
    d->m_updateTiming = timing >= 0 ? int(std::min<qint64>(timing, 1)) : 0;
    d->m_previousPromptIncrementTimeStamp = HVTimestamp::seconds();
    setupWorkaroundTimer();
}

void OVCore::startDisplayLink(int type, quint32 displayID, Window* window)
{
    // The view-paced sources keep the timing they had, as the platform's view display links do.
    if (type <= 4) {
        const qint64 timing = OVCoreSettings::integer(QStringLiteral("updateTimingTag"), -1);
        d->m_updateTiming = timing >= 0 ? int(std::min<qint64>(timing, 1)) : 1;
    }
    d->m_previousPromptIncrementTimeStamp = HVTimestamp::seconds();
    d->m_tickSource.startDisplayLink(type, displayID, window);
    setupWorkaroundTimer();
}

void OVCore::_teardownPrompterTimer()
{
    const bool wasResting = d->m_tickResting;
    _endRestingClock();
    const bool toreDown = d->m_tickSource.stop() || wasResting;
    RunLoop::main().cancelPreviousPerformRequests(this, kUpdatePrompterSelector);
    if (toreDown && std::lround(d->m_lastMeasuredTime) != 1) {
        d->m_fractionalTime += HVTimestamp::seconds() - d->m_lastMeasuredTime;
        d->m_lastMeasuredTime = 1.0;
    }
    if (d->m_waTimer) {
        d->m_waTimer->invalidate();
        d->m_waTimer.reset();
    }
}

void OVCore::_restPrompterTick()
{
    if (d->m_tickResting || !isModePrompt() || isModeChanging() ||
        (!d->m_tickSource.hasTimer() && !d->m_tickSource.hasDisplayLink()))
        return;
    d->m_tickSource.stop();
    d->m_tickResting = true;
    // The elapsed time shows whole seconds: a tick at each one keeps it as the frame-rate tick did.
    // The repeating timer keeps its dates a second apart, so it stays on them.
    d->m_restingClockTimer = Timer::scheduledTimer(1.0, true, [this](Timer&) {
        // Read by the step this tick makes, now or just after.
        d->m_restingClockFiring = true;
        _prompterTimerAction();
    });
    d->m_restingClockTimer->setFireDate(d->m_lastMeasuredTime + std::max(0.0, 1.0 - d->m_fractionalTime));
}

void OVCore::_endRestingClock()
{
    d->m_tickResting = false;
    if (d->m_restingClockTimer) {
        d->m_restingClockTimer->invalidate();
        d->m_restingClockTimer.reset();
    }
}

void OVCore::wakePrompterTick()
{
    if (!d->m_tickResting)
        return;
    // The first tick after waking counts from now: the seconds at rest moved nothing, and counted
    // again they would throw a held key's first step across the page.
    d->m_previousPromptIncrementTimeStamp = HVTimestamp::seconds();
    _setupPrompterTimer();
}

bool OVCore::isPrompterTickResting() const
{
    return d->m_tickResting;
}

void OVCore::setupWorkaroundTimer()
{
    const qint64 tag = OVCoreSettings::integer(QStringLiteral("waTypeTag"), -1);
    d->m_waType = int(tag);
    if (tag == 0)
        return;
    if (tag >= 5 || tag < 0) {
        const HVVersion system = HVVersion::operatingSystemVersion();
        d->m_waType = system >= d->m_waMinVersion && system < d->m_waMaxVersion ? 1 : 0;
        if (d->m_waType == 0)
            return;
    }
    if (d->m_waTimer)
        return;
    double interval = OVCoreSettings::real(QStringLiteral("waTimerInterval"), 8.0);
    interval = interval < 0.1 || !std::isfinite(interval) ? 8.0 : std::min(interval, 120.0);
    d->m_waTimer = Timer::scheduledTimer(interval, true, [this](Timer&) { _waTimerAction(); });
}

void OVCore::_waTimerAction()
{
    _performWaType(d->m_waType);
}

void OVCore::_performWaType(int type)
{
    // The talent's text view is drawn by the same system as the operator's: it needs the same help
    // while its window is in use.
    std::vector<View*> views;
    if (d->m_textView)
        views.push_back(d->m_textView);
    if (isTalentWindowInUse() && d->m_talentPrompterView) {
        View* talent = d->m_talentPrompterView->textView();
        if (talent && talent != d->m_textView)
            views.push_back(talent);
    }
    switch (type) {
    case 1:
        for (View* view : views)
            view->setNeedsDisplay(true);
        break;
    case 2:
        RunLoop::main().performAfterDelay(0, this, QStringLiteral("_performWaType:"),
                                          [this] { _performWaType(1); });
        break;
    case 3:
        for (View* view : views) {
            const Size size = view->frame().size;
            view->setFrameSize(Size{size.width, size.height + 1});
            view->setFrameSize(size);
        }
        break;
    case 4:
        RunLoop::main().performAfterDelay(0, this, QStringLiteral("_performWaType:"),
                                          [this] { _performWaType(3); });
        break;
    default:
        break;
    }
}
