#pragma once

#include "prompting/OVCorePrompterView.h"
#include "prompting/OVHardwareProfiles.h"
#include "prompting/OVModeChange.h"

#include "platform/appkit/Screen.h"
#include "platform/foundation/Rect.h"
#include "platform/hvkit/HVStackBoolean.h"
#include "platform/hvkit/HVVersion.h"

#include <QString>
#include <QVariantMap>

#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

class ClipView;
class HVGPUInfo;
class HVMouseMovementController;
class OVCoreController;
class OVCoreInputController;
class OVCorePromptModeWindows;
class OVCorePrompterView;
class OVCoreTalentOutput;
class OVTimeInfo;
class ScrollView;
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
// Heard by the core: a new hardware-profile file, the auto-blanking setting, the preview's screen mode.
inline const QString OVHardwareProfileDidUpdateNotification =
    QStringLiteral("OVHardwareProfileDidUpdateNotification");
inline const QString OVBlankingAutoBlankToHideEditsDidChangeNotification =
    QStringLiteral("OVBlankingAutoBlankToHideEditsDidChangeNotification");
inline const QString OVPreviewScreenModeDidChangeNotification =
    QStringLiteral("OVPreviewScreenModeDidChangeNotification");

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

    using PromptModeWindowConfiguration = OVModeChange::WindowConfiguration;
    using HiddenWindow = OVModeChange::HiddenWindow;

    // The shared instance, made on first use and never freed.
    static OVCore& sharedCore();

    // The program uses sharedCore(); tests make cores of their own.
    OVCore();
    ~OVCore();
    OVCore(const OVCore&) = delete;
    OVCore& operator=(const OVCore&) = delete;

    // Controller.
    void configureCoreForController(OVCoreController* controller);
    OVCoreController* controller() const;
    Window* controllerWindow() const;
    OVTimeInfo* timeInfo() const;

    // Modes.
    unsigned mode() const;
    unsigned willBecomeMode() const;
    bool isModeEdit() const;
    bool isModePrompt() const;
    bool isModeChanging() const;
    void toggleMode();
    void enterEditMode() { _setupForMode(kModeEdit); }
    void enterPromptMode() { _setupForMode(kModePrompt); }
    void _setupForMode(unsigned mode);

    // Statuses.
    unsigned status() const;
    unsigned willBecomeStatus() const;
    bool isStatusPaused() const;
    bool isStatusPausedHard() const;
    bool isStatusStarted() const;
    bool isStatusChanging() const;
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
    OVCorePrompterView* prompterView() const;
    ScrollView* scrollView() const;
    View* textView() const;
    ClipView* contentView() const;
    View* documentView() const;

    // Speed.
    double speed() const;
    double adjustedSpeed() const;
    double pixelsPerSecond() const;
    void setPixelsPerSecond(double pixelsPerSecond);
    int speedScaleTypeTag() const;
    // The controller's speed changed: the core takes the one given, or asks the controller for it.
    void speedDidUpdate(double controllerSpeed);
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
    void addScrollingDelta(double delta);
    void clearScrollingDelta();
    void addScrollingDeltaAnimated(double delta);
    void clearScrollingDeltaAnimated();
    void addModalScrollingDeltaAnimated(double delta);
    void clearModalScrollingDeltaAnimated();
    void addReservedModalScrollingTime(double seconds);
    void clearReservedModalScrollingTime();

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
    double _scriptBottomGrowth() const;
    void _handlePrompterScrollLocation(int location, bool didIncrementPrompter);

    // Tick sources and timers.
    void _setupTimeTimer();
    void _tearDownTimeTimer();
    void _setupPrompterTimer();
    void _setupPrompterTimerOfType(int type);
    void _teardownPrompterTimer();
    // While nothing moves the tick stops and a timer keeps the elapsed time by the second; anything
    // that can set the script moving (a speed, a status, a delta, a key) wakes it again.
    void wakePrompterTick();
    bool isPrompterTickResting() const;
    void _restPrompterTick();
    void _endRestingClock();
    void _timeTimerAction();
    void _waTimerAction();
    void _performWaType(int type);

    double frameRate() const;
    bool usesMaximumFrameRate() const;
    double minimumScrollIncrement() const;
    double leftoverDelta() const;
    double timePassed() const;
    double fractionalTime() const;
    int updateTiming() const;
    // The tick source running: -1 none, 0 the timer, 1 to 6 the paced sources.
    int prompterTimerType() const;
    bool hasTimeTimer() const;
    int waType() const;
    double pointsScrolledInPromptMode() const;
    double maxSpeedInPromptMode() const;

    // Mode-change state.
    const std::vector<HiddenWindow>& hiddenWindows() const;
    const PromptModeWindowConfiguration& promptModeControllerWindowConfiguration() const;
    void _updatePromptModeControllerWindowConfigurationDictionary();
    bool _isSystemSleepEnabled() const;
    void _setSystemSleepEnabled(bool enabled);
    // Prompt mode shows the application's icon with the "RecordingLight" image over its lower right
    // corner; Edit mode shows the default icon.
    void _updateApplicationIcon();
    static constexpr double kApplicationIconBadgeFraction = 0.29;
    static constexpr double kApplicationIconBadgeOpacity = 0.9;
    static inline const QString kApplicationIconBadgeImageName = QStringLiteral("RecordingLight");
    HVStackBoolean& syncScrolling();

    // Screen status. Values; -1 until the first judgement.
    int dualScreenStatus() const;
    static constexpr int kDualScreenStatusAvailable = 0;
    static constexpr int kDualScreenStatusNoTalentScreen = 1;
    static constexpr int kDualScreenStatusMirrored = 4;
    static constexpr int kDualScreenStatusFullScreen = 3;
    static constexpr int kDualScreenStatusTalentLarger = 5;
    // Operator screen first; fullScreenFrames are this program's full-screen windows.
    static int dualScreenStatusForScreens(const std::vector<Screen>& screens,
                                          const std::vector<Rect>& fullScreenFrames);
    // No display can be captured on Linux, so neither screen is ever captured by this process.
    bool isOperatorScreenSelfCaptured() const { return false; }
    bool isTalentScreenSelfCaptured() const { return false; }
    // Judges the screens again and posts OVCoreDidChangeDualScreenConfigurationNotification on a change.
    void _updateDualScreenStatusIfNecessary();
    // The same, posting whether or not the status changed.
    void _forceUpdateDualScreenStatus();
    // Every reconfiguration of the displays: status and GPU facts renewed, and a Prompt mode whose
    // screens changed left once.
    void _displayReconfigurationCallback();
    bool suppressDisplayConfigurationModeChange() const;

    // The talent output registers itself; null unregisters. The core follows its clip view.
    void setTalentWindowController(OVCoreTalentOutput* controller);
    OVCoreTalentOutput* talentWindowController() const;
    OVCorePrompterView* talentPrompterView() const;
    bool isTalentWindowInUse() const;
    // In use now, or, while changing into Edit mode, in use when Prompt mode began.
    bool isOrWasTalentWindowUtilized() const;
    // The preview panel's scroll view, followed like the talent's; the panel hands in null before
    // its scroll view goes, since the core watches the clip view directly.
    void setPreviewScrollView(ScrollView* scrollView);
    ScrollView* previewScrollView() const;

    // Position sync: the operator leads the talent in Prompt mode, talent and preview lead each
    // other in Edit mode, each move copied once without echo.
    void contentViewScrolledNotification(ClipView* contentView);
    void synchronizeTalentLocationToPreviewLocation();
    void synchronizePreviewLocationToTalentLocation();
    void noTrackFixSynchronizeTalentLocationToPreviewLocationAndForceSync(bool forceSync);
    void _synchronizeTalentLocationToOperatorLocation(bool forceSync = false);
    void _synchronizeOperatorLocationToTalentLocation(bool forceSync = false);
    void _synchronizeTalentLocationToPreviewLocation(bool forceSync = false);
    void _synchronizePreviewLocationToTalentLocation(bool forceSync = false);
    void _synchronizeOperatorAndTalentLocationFromLastScrolledContentView(ClipView* source,
                                                                          bool forceSync = false);
    void _recordOperatorVisiblePrompterContent();
    // Where the reading line lies below the top of the prompter, for the bookmark controller.
    void _updateBookmarkControllerDeltaLocation();
    void setBookmarkDeltaLocationHandler(std::function<void(double deltaLocation)> handler);

    // Blanking the talent screen.
    bool canBlankScreen() const;
    bool isBlanking() const;
    void setBlanking(bool flag);
    void toggleBlanking();
    void autoBlankToHideEditsIfNecessary();

    // The prompt-mode configuration and the window frame it chooses.
    QVariantMap promptModeControllerWindowConfigurationDictionary() const;
    bool controllerWindowUsesToolbarInPromptMode() const;

    // Graphics facts and hardware profiles.
    const HVGPUInfo* operatorGPUInfo() const;
    const HVGPUInfo* talentGPUInfo() const;
    void _updateGPUInfoIfNecessary();
    void _forceUpdateGPUInfo();
    void _adjustDiscreteGPU();
    // Empty while profiles are switched off; else the first matching profile, or one without overrides.
    std::optional<OVHardwareProfile> _hardwareProfile();
    int _profileWindowLocationOption();
    int _profileBackingOption();
    int _profileCaptureDisplayState();
    void _updateHardwareProfile();
    static std::vector<OVHardwareProfile> _hardCodedHardwareProfiles();
    // Where the downloaded profiles are read from; the caches folder's file unless a test sets one.
    void setDownloadedHardwareProfilesPath(const QString& path);
    // The rendering choices: recorded on the windows and scroll views, which draw the same either way.
    void _optimizeContent();
    void _toggleOpportunisticHardwareAccelerationIfNecessary() {}

    // Mouse prompting: while on, moving the pointer changes the controller's speed.
    void setMousePrompting(bool flag);
    bool isMousePrompting() const;
    HVMouseMovementController* mouseMovementController() const;
    // One movement of delta points down the screen (negative going up).
    void _mousePromptingMoved(double delta);
    const HVVersion& waMinVersion() const;
    const HVVersion& waMaxVersion() const;

    // Talent content adjustments applied to the document's text on entering Prompt mode. A save
    // during Prompt mode runs its work through withContentAdjustmentsUndone, so the file gets the
    // text as the user wrote it.
    struct ContentAdjustments {
        double textMagnificationFactor = 1.0;
        bool invertedColors = false;
        bool isEmpty() const { return textMagnificationFactor == 1.0 && !invertedColors; }
    };
    const ContentAdjustments& appliedContentAdjustments() const;
    void withContentAdjustmentsUndone(const std::function<void()>& work);

    // Hooks for the pieces that are not part of the core itself. Each is optional.
    // The keyboard and mouse handler of Prompt mode. Without one set, the core makes its own on the
    // first entry into Prompt mode; one set is not owned by the core.
    void setInputController(OVCoreInputController* inputController);
    OVCoreInputController* inputController() const;
    // The window controllers of all open documents; without it, the current controller alone.
    void setAllCoreControllersProvider(std::function<std::vector<OVCoreController*>()> provider);
    // The modifier keys held now (platform flags); the keyboard's state unless a test sets it.
    void setModifierFlagsProvider(std::function<unsigned long()> provider);
    unsigned long currentModifierFlags() const;
    // Told false on entering Prompt mode and true on leaving it: documents stop autosaving meanwhile.
    void setAutosavingHandler(std::function<void(bool enabled)> handler);
    // The blocking windows of Prompt mode and the move back from the talent screen; without them the
    // mode change covers nothing and moves nothing. Not owned.
    void setPromptModeWindows(OVCorePromptModeWindows* windows);
    OVCorePromptModeWindows* promptModeWindows() const;
    Window* blockingWindow() const;
    Window* titleBarBlockingWindow() const;
    // Heard before each mode-change step runs, with the step's name.
    void setModeChangeStepObserver(std::function<void(const QString& step)> observer);
    bool areEventsBlocked() const;

    // Mode-change steps, in the order the queue holds them.
    void _startSetup();
    void _embedWindow();
    void _windowResize();
    void _setToolbarVisibleForMode();
    void _scrollBarAdjust();
    void _windowFade();
    void _modePersistentChanges();
    void _finishSetup();

private:
    struct Private;

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
    void startDisplayLink(int type, quint32 displayID, Window* window);
    void setupWorkaroundTimer();
    void hideCursorAfterDelay();
    void cancelHideCursorAfterDelay();
    void observeOperatorClipView(bool observe);
    void observePreviewClipView(bool observe);
    void forgetSyncedViews();
    bool promptModeScreensChanged() const;
    double backingScaleFor(const View* view);

    std::unique_ptr<Private> d;
};
