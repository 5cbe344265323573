#pragma once

#include "prompting/OVCorePrompterView.h"

#include "platform/appkit/Screen.h"
#include "platform/foundation/Rect.h"
#include "platform/hvkit/HVStackBoolean.h"
#include "platform/hvkit/HVVersion.h"

#include <QString>

#include <cfloat>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

class ClipView;
class DisplayLink;
class HVMouseMovementController;
class OVCoreController;
class OVCoreInputController;
class OVCorePrompterView;
class OVCoreTalentOutput;
class OVSynchronousQueue;
class OVTimeInfo;
class ScreenSaverInhibitor;
class ScrollView;
class Timer;
class View;
class Window;

// Notifications the core posts on the shared centre, always on the main thread.
inline const QString OVCoreWillChangeModeNotification = QStringLiteral("OVCoreWillChangeModeNotification");
inline const QString OVCoreDidChangeModeNotification = QStringLiteral("OVCoreDidChangeModeNotification");
inline const QString OVCoreDidChangeControllerNotification =
    QStringLiteral("OVCoreDidChangeControllerNotification");
inline const QString OVCoreWillRequireSynchronizedTimersUpdateNotification =
    QStringLiteral("OVCoreWillRequireSynchronizedTimersUpdateNotification");
inline const QString OVCoreDidChangeDualScreenConfigurationNotification =
    QStringLiteral("OVCoreDidChangeDualScreenConfigurationNotification");
inline const QString OVCoreBlankingDidChangeNotification =
    QStringLiteral("OVCoreBlankingDidChangeNotification");

// The one prompting engine of the process: Edit or Prompt mode, the prompter started or paused, the
// mode change run as a queue of steps, and in Prompt mode the tick that scrolls the current
// controller's clip view by speed times elapsed time. Main thread only.
class OVCore {
public:
    static constexpr unsigned kModeEdit = 0;
    static constexpr unsigned kModePrompt = 1;
    static constexpr unsigned kStatusPaused = 1;
    static constexpr unsigned kStatusPausedHard = 2;
    static constexpr unsigned kStatusStarted = 3;
    // willBecomeMode and willBecomeStatus while no change runs.
    static constexpr unsigned kNoChange = std::numeric_limits<unsigned>::max();
    // The remaining time when the prompter does not move.
    static constexpr qint64 kNoEstimate = std::numeric_limits<qint64>::max();
    static constexpr double kDefaultPixelsPerSecond = 70.0;
    // Used whenever the computed tick rate is unusable (no screen, a screen reporting 0 Hz).
    static constexpr double kFallbackFrameRate = 60.0;

    // What the last entry into Prompt mode decided for the controller window.
    struct PromptModeWindowConfiguration {
        bool isWindowed = true;
        Rect frame;
        bool useBlockingWindow = false;
        bool useTitleBarBlockingWindow = false;
    };

    // A window hidden for Prompt mode, restored on the way back.
    struct HiddenWindow {
        Window* window = nullptr;
        bool isMinimized = false;
        int animationBehavior = 0;
    };

    // The shared instance, made on first use and never freed.
    static OVCore& sharedCore();

    // The program uses sharedCore(); tests make cores of their own.
    OVCore();
    ~OVCore();
    OVCore(const OVCore&) = delete;
    OVCore& operator=(const OVCore&) = delete;

    // Controller.
    void configureCoreForController(OVCoreController* controller);
    OVCoreController* controller() const { return m_controller; }
    Window* controllerWindow() const { return m_controllerWindow; }
    OVTimeInfo* timeInfo() const { return m_timeInfo; }

    // Modes.
    unsigned mode() const { return m_mode; }
    unsigned willBecomeMode() const { return m_willBecomeMode; }
    bool isModeEdit() const { return m_mode == kModeEdit; }
    bool isModePrompt() const { return m_mode == kModePrompt; }
    bool isModeChanging() const { return m_isModeChanging; }
    void toggleMode();
    void enterEditMode() { _setupForMode(kModeEdit); }
    void enterPromptMode() { _setupForMode(kModePrompt); }
    void _setupForMode(unsigned mode);

    // Statuses.
    unsigned status() const { return m_status; }
    unsigned willBecomeStatus() const { return m_willBecomeStatus; }
    bool isStatusPaused() const { return m_status == kStatusPaused || m_status == kStatusPausedHard; }
    bool isStatusPausedHard() const { return m_status == kStatusPausedHard; }
    bool isStatusStarted() const { return m_status == kStatusStarted; }
    bool isStatusChanging() const { return m_isStatusChanging; }
    bool isContentEditable() const;
    void toggleStatus();
    void startPrompter() { _setupForStatus(kStatusStarted); }
    // A hard pause with the Option key held or when the controller asks for one.
    void pausePrompter();
    void _setupForStatus(unsigned status);
    void savePrompterState();
    void restorePrompterState();

    // Views, taken from the controller's prompter view.
    void setPrompterView(OVCorePrompterView* prompterView);
    OVCorePrompterView* prompterView() const { return m_prompterView; }
    ScrollView* scrollView() const { return m_scrollView; }
    View* textView() const { return m_textView; }
    ClipView* contentView() const { return m_contentView; }
    View* documentView() const { return m_documentView; }

    // Speed.
    double speed() const { return m_speed; }
    double adjustedSpeed() const { return m_adjustedSpeed; }
    double pixelsPerSecond() const { return m_pixelsPerSecond; }
    void setPixelsPerSecond(double pixelsPerSecond) { m_pixelsPerSecond = pixelsPerSecond; }
    int speedScaleTypeTag() const { return m_speedScaleTypeTag; }
    void speedDidUpdate();
    void _updateSpeedScale();
    double _convertSpeedForSpeedScale(double speed) const;
    double _reverseConvertSpeedForSpeedScale(double speed) const;
    static double convertSpeed(double speed, int speedScaleTypeTag);
    static double reverseConvertSpeed(double speed, int speedScaleTypeTag);

    // Elapsed and remaining time.
    void resetTimer();
    qint64 estimatedTimeRemaining() const;
    qint64 estimatedTimeRemainingForController(OVCoreController* controller) const;

    // Scroll deltas from the wheel, the mouse and line movements.
    void addScrollingDelta(double delta) { m_externalScrollDelta += delta; }
    void clearScrollingDelta() { m_externalScrollDelta = 0; }
    void addScrollingDeltaAnimated(double delta);
    void clearScrollingDeltaAnimated() { m_externalScrollDeltaAnimated = 0; }
    void addModalScrollingDeltaAnimated(double delta);
    void clearModalScrollingDeltaAnimated() { m_modalScrollDeltaAnimated = 0; }
    void addReservedModalScrollingTime(double seconds);
    void clearReservedModalScrollingTime() { m_reservedModalScrollingTime = 0; }

    // The tick and its parts.
    void _prompterTimerAction();
    void _updatePrompterAndInterface();
    void _incrementPrompter();
    void _updateTimerControls();
    void _updateSpeedControlIfNeeded();
    void _updateAllCoreControllerTimeEstimates();
    std::vector<OVCoreController*> _allCoreControllers() const;
    void _calculateOptimalFramerate();
    void _calculateMinimumScrollIncrement();
    void _scrollPrompterToYPosition(double y);
    void _synchronizeOperatorLocationToLastRecordedVisiblePrompterContent();
    void _scrollPrompterToPoint(const Point& point);
    void _scrollPrompterToTop();
    void _scrollPrompterToBottom();
    void _handlePrompterScrollLocation(int location, bool didIncrementPrompter);

    // Tick sources and timers.
    void _setupTimeTimer();
    void _tearDownTimeTimer();
    void _setupPrompterTimer();
    void _setupPrompterTimerOfType(int type);
    void _teardownPrompterTimer();
    void _timeTimerAction();
    void _waTimerAction();
    void _performWaType(int type);

    double frameRate() const { return m_frameRate; }
    bool usesMaximumFrameRate() const { return m_usesMaximumFrameRate; }
    double minimumScrollIncrement() const { return m_minimumScrollIncrement; }
    double leftoverDelta() const { return m_leftoverDelta; }
    double timePassed() const { return m_timePassed; }
    double fractionalTime() const { return m_fractionalTime; }
    int updateTiming() const { return m_updateTiming; }
    // The tick source running: -1 none, 0 the timer, 1 to 6 the paced sources.
    int prompterTimerType() const { return m_prompterTimerType; }
    bool hasTimeTimer() const { return m_timeTimer != nullptr; }
    int waType() const { return m_waType; }
    double pointsScrolledInPromptMode() const { return m_pointsScrolledInPromptMode; }
    double maxSpeedInPromptMode() const { return m_maxSpeedInPromptMode; }

    // Mode-change state.
    const std::vector<HiddenWindow>& hiddenWindows() const { return m_hiddenWindows; }
    const PromptModeWindowConfiguration& promptModeControllerWindowConfiguration() const
    {
        return m_promptModeConfiguration;
    }
    void _updatePromptModeControllerWindowConfigurationDictionary();
    bool _isSystemSleepEnabled() const;
    void _setSystemSleepEnabled(bool enabled);
    HVStackBoolean& syncScrolling() { return m_syncScrolling; }
    int dualScreenStatus() const { return m_lastDualScreenStatus; }
    // Dual-screen status values; -1 until the first judgement.
    static constexpr int kDualScreenStatusAvailable = 0;
    static constexpr int kDualScreenStatusNoTalentScreen = 1;
    static constexpr int kDualScreenStatusMirrored = 4;
    static constexpr int kDualScreenStatusFullScreen = 3;
    static constexpr int kDualScreenStatusTalentLarger = 5;
    // Operator screen first; fullScreenFrames are this program's full-screen windows.
    static int dualScreenStatusForScreens(const std::vector<Screen>& screens,
                                          const std::vector<Rect>& fullScreenFrames);
    // Judges the screens again and posts OVCoreDidChangeDualScreenConfigurationNotification on a change.
    void _updateDualScreenStatusIfNecessary();
    // The talent output registers itself; null unregisters.
    void setTalentWindowController(OVCoreTalentOutput* controller);
    OVCoreTalentOutput* talentWindowController() const { return m_talentWindowController; }
    bool isTalentWindowInUse() const;
    bool isBlanking() const { return m_blanking; }
    // Mouse prompting: while on, moving the pointer changes the controller's speed.
    void setMousePrompting(bool flag);
    bool isMousePrompting() const { return m_mousePrompting; }
    HVMouseMovementController* mouseMovementController() const { return m_mouseMovementController.get(); }
    // One movement of delta points down the screen (negative going up).
    void _mousePromptingMoved(double delta);
    const HVVersion& waMinVersion() const { return m_waMinVersion; }
    const HVVersion& waMaxVersion() const { return m_waMaxVersion; }

    // Talent content adjustments applied to the document's text on entering Prompt mode. A save
    // during Prompt mode runs its work through withContentAdjustmentsUndone, so the file gets the
    // text as the user wrote it.
    struct ContentAdjustments {
        double textMagnificationFactor = 1.0;
        bool invertedColors = false;
        bool isEmpty() const { return textMagnificationFactor == 1.0 && !invertedColors; }
    };
    const ContentAdjustments& appliedContentAdjustments() const { return m_appliedContentAdjustments; }
    void withContentAdjustmentsUndone(const std::function<void()>& work);

    // Hooks for the pieces that are not part of the core itself. Each is optional.
    // The keyboard and mouse handler of Prompt mode. Without one set, the core makes its own on the
    // first entry into Prompt mode; one set is not owned by the core.
    void setInputController(OVCoreInputController* inputController) { m_inputController = inputController; }
    OVCoreInputController* inputController() const { return m_inputController; }
    // The window controllers of all open documents; without it, the current controller alone.
    void setAllCoreControllersProvider(std::function<std::vector<OVCoreController*>()> provider)
    {
        m_allControllersProvider = std::move(provider);
    }
    // The modifier keys held now (platform flags); the keyboard's state unless a test sets it.
    void setModifierFlagsProvider(std::function<unsigned long()> provider)
    {
        m_modifierFlagsProvider = std::move(provider);
    }
    unsigned long currentModifierFlags() const;
    // Told false on entering Prompt mode and true on leaving it: documents stop autosaving meanwhile.
    void setAutosavingHandler(std::function<void(bool enabled)> handler)
    {
        m_autosavingHandler = std::move(handler);
    }
    // Heard before each mode-change step runs, with the step's name.
    void setModeChangeStepObserver(std::function<void(const QString& step)> observer)
    {
        m_stepObserver = std::move(observer);
    }
    bool areEventsBlocked() const { return m_eventsBlocked; }

    // Mode-change steps, in the order the queue holds them.
    void _startSetup();
    void _embedWindow();
    void _windowResize();
    void _scrollBarAdjust();
    void _windowFade();
    void _modePersistentChanges();
    void _finishSetup();

private:
    struct PrompterState {
        unsigned status;
        double speed;
    };

    void buildModeChangeQueue();
    void recoverFromFailedModeChange();
    void setControllerSpeed(double speed);
    void blockEvents();
    void unblockEvents();
    void observeScrollerDragging(bool observe);
    void scrollerWillBeginScrollingByMouse();
    void scrollerDidFinishScrollingByMouse();
    void setupTextViewForMode();
    void applyContentAdjustments();
    void undoContentAdjustments();
    double scriptBottom(double top) const;
    void startDisplayLink(int type, quint32 displayID, Window* window);
    void setupWorkaroundTimer();
    void hideCursorAfterDelay();
    void cancelHideCursorAfterDelay();

    OVCoreController* m_controller = nullptr;
    unsigned m_mode = kModeEdit;
    unsigned m_willBecomeMode = kNoChange;
    unsigned m_status = kStatusPausedHard;
    unsigned m_willBecomeStatus = kNoChange;
    unsigned m_forceStatus = 0;
    bool m_isModeChanging = false;
    bool m_isStatusChanging = false;

    OVCorePrompterView* m_prompterView = nullptr;
    ScrollView* m_scrollView = nullptr;
    View* m_textView = nullptr;
    ClipView* m_contentView = nullptr;
    View* m_documentView = nullptr;
    Window* m_controllerWindow = nullptr;
    OVTimeInfo* m_timeInfo = nullptr;

    double m_speed = 0;
    double m_adjustedSpeed = 0;
    double m_pixelsPerSecond = kDefaultPixelsPerSecond;
    int m_speedScaleTypeTag = 1;
    double m_speedWhilePaused = DBL_MAX;
    std::vector<PrompterState> m_prompterStates;
    HVStackBoolean m_syncScrolling{true};
    int m_lastDualScreenStatus = -1;
    OVCoreTalentOutput* m_talentWindowController = nullptr;
    bool m_blanking = false;
    bool m_mousePrompting = false;
    bool m_ignoreSpeedChangeChangesStatus = false;
    bool m_ignoreSpeedChangeSetsSpeedWhilePaused = false;
    HVVersion m_waMinVersion{14, 2, 0};
    HVVersion m_waMaxVersion{15, 0, 0};

    // Scroll engine.
    double m_frameRate = kFallbackFrameRate;
    bool m_usesMaximumFrameRate = false;
    double m_leftoverDelta = 0;
    double m_minimumScrollIncrement = 1.0;
    double m_timePassed = 0;
    double m_previousPromptIncrementTimeStamp = 0;
    double m_lastMeasuredTime = 1.0;
    double m_fractionalTime = 0;
    bool m_needsTimerUpdates = false;
    double m_externalScrollDelta = 0;
    double m_externalScrollDeltaAnimated = 0;
    double m_externalScrollDeltaAnimatedTime = 0;
    double m_modalScrollDeltaAnimated = 0;
    double m_modalScrollDeltaAnimatedTime = 0;
    double m_reservedModalScrollingTime = 0;
    double m_pointsScrolledInPromptMode = 0;
    double m_maxSpeedInPromptMode = 0;
    double m_startTime = 0;
    double m_stopTime = 0;
    double m_promptModeStartTime = 0;
    std::unique_ptr<Timer> m_timeTimer;
    std::unique_ptr<Timer> m_prompterTimer;
    std::unique_ptr<DisplayLink> m_displayLink;
    std::unique_ptr<Timer> m_waTimer;
    int m_updateTiming = -1;
    int m_prompterTimerType = -1;
    int m_waType = 0;

    // Mode change.
    std::unique_ptr<OVSynchronousQueue> m_modeQueue;
    std::vector<HiddenWindow> m_hiddenWindows;
    PromptModeWindowConfiguration m_promptModeConfiguration;
    bool m_eventsBlocked = false;
    bool m_savedUsesAnimation = false;
    bool m_savedHasVerticalScroller = false;
    bool m_savedTracksVerticalInset = false;
    double m_savedVerticalInsetAdjustment = 0;
    OVPrompterTextOptions m_savedTextOptions;
    OVVisiblePrompterContent m_visibleContent;
    Rect m_savedEditModeFrame;
    bool m_hasSavedEditModeFrame = false;
    Rect m_fullScreenEditModeFrame;
    OVCoreController* m_controllerManagingSpecialEditSize = nullptr;
    Size m_savedMinSize;
    Size m_savedMaxSize;
    unsigned m_savedResizableBit = 0;
    unsigned m_savedTitleBarButtonBits = 0;
    int m_savedLevel = 0;
    bool m_raisedLevel = false;
    bool m_savedUsesFocusArrow = false;
    bool m_savedUsesTimeBar = false;
    double m_savedHorizontalMarginIndentFactor = 0;
    double m_savedVerticalMarginIndentFactor = 0;
    ContentAdjustments m_appliedContentAdjustments;
    std::unique_ptr<ScreenSaverInhibitor> m_sleepInhibitor;
    bool m_scrollerDragObserved = false;

    OVCoreInputController* m_inputController = nullptr;
    std::unique_ptr<OVCoreInputController> m_ownedInputController;
    std::unique_ptr<HVMouseMovementController> m_mouseMovementController;
    bool m_mousePromptingReverses = false;
    double m_mousePromptingSpeedIncrement = 0;
    std::function<std::vector<OVCoreController*>()> m_allControllersProvider;
    std::function<unsigned long()> m_modifierFlagsProvider;
    std::function<void(bool)> m_autosavingHandler;
    std::function<void(const QString&)> m_stepObserver;
};
