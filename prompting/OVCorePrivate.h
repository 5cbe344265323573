#pragma once

// The state of OVCore beside its parts: only the core's own files include it.
#include "prompting/OVCore.h"
#include "prompting/OVModeChange.h"
#include "prompting/OVScrollEngine.h"
#include "prompting/OVTickSource.h"

#include "platform/hvkit/HVGPUInfo.h"

#include <QPixmap>

#include <cfloat>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class ScreenSaverInhibitor;
class Timer;

struct OVCore::Private {
    explicit Private(OVCore& core);
    ~Private();

    struct PrompterState {
        unsigned status;
        double speed;
    };

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
    double m_pixelsPerSecond = kDefaultPixelsPerSecond;
    int m_speedScaleTypeTag = 1;
    double m_speedWhilePaused = DBL_MAX;
    std::vector<PrompterState> m_prompterStates;
    HVStackBoolean m_syncScrolling{true};
    int m_lastDualScreenStatus = -1;
    OVCoreTalentOutput* m_talentWindowController = nullptr;
    bool m_blanking = false;
    bool m_suppressDisplayConfigurationModeChange = false;
    bool m_forceDualScreenStatusUpdate = false;
    Point m_talentOriginAtModeChangeStart;
    // Set while the talent ignores front-document changes, from entering Prompt mode to leaving it.
    bool m_talentWatchingSuspended = false;
    // Background layout as it was when the mode change began, put back when it ends.
    bool m_operatorBackgroundLayout = false;
    bool m_talentBackgroundLayout = false;
    bool m_savedTalentTracksVerticalInset = false;
    double m_savedTalentVerticalInsetAdjustment = 0;
    // How far past its end the script may go while prompting, fixed as Prompt mode starts.
    double m_scriptBottomGrowth = 0;

    // Position sync. Clip views are watched through direct bounds observers (tokens kept to remove
    // them); the suppression mark names the clip view whose next bounds change is our own echo.
    OVCorePrompterView* m_talentPrompterView = nullptr;
    ScrollView* m_talentScrollView = nullptr;
    ClipView* m_talentContentView = nullptr;
    int m_talentObserver = 0;
    ScrollView* m_previewScrollView = nullptr;
    ClipView* m_previewContentView = nullptr;
    int m_previewObserver = 0;
    ClipView* m_observedOperatorContentView = nullptr;
    int m_operatorObserver = 0;
    ClipView* m_suppressNextNotificationContentView = nullptr;
    // Backing scale per window, so the per-frame sync does not ask the screen list every time.
    std::vector<std::pair<const Window*, double>> m_backingScales;
    std::function<void(double)> m_bookmarkDeltaLocationHandler;

    // Graphics facts and profiles.
    std::optional<HVGPUInfo> m_operatorGPUInfo;
    std::optional<HVGPUInfo> m_talentGPUInfo;
    bool m_gpuInfoStale = true;
    std::optional<OVHardwareProfile> m_hardwareProfile;
    bool m_hardwareProfileStale = true;
    bool m_deferredHardwareProfileUpdate = false;
    QString m_downloadedHardwareProfilesPath;
    bool m_hasDownloadedHardwareProfilesPath = false;
    // The layer backing of the two scroll views in Edit mode, given back on the way out of Prompt mode.
    bool m_editModeOperatorWantsLayer = false;
    bool m_editModeTalentWantsLayer = false;
    bool m_mousePrompting = false;
    bool m_ignoreSpeedChangeChangesStatus = false;
    bool m_ignoreSpeedChangeSetsSpeedWhilePaused = false;
    HVVersion m_waMinVersion{14, 2, 0};
    HVVersion m_waMaxVersion{15, 0, 0};

    OVScrollEngine m_scrollEngine;

    // Time keeping of the tick.
    double m_frameRate = kFallbackFrameRate;
    bool m_usesMaximumFrameRate = false;
    double m_timePassed = 0;
    double m_previousPromptIncrementTimeStamp = 0;
    double m_lastMeasuredTime = 1.0;
    double m_fractionalTime = 0;
    bool m_needsTimerUpdates = false;
    double m_maxSpeedInPromptMode = 0;
    double m_startTime = 0;
    double m_stopTime = 0;
    double m_promptModeStartTime = 0;
    std::unique_ptr<Timer> m_timeTimer;
    OVTickSource m_tickSource;
    // The tick source stopped while nothing moves; the clock timer keeps the elapsed time going at
    // each whole second until an input wakes the tick.
    bool m_tickResting = false;
    bool m_restingClockFiring = false;
    std::unique_ptr<Timer> m_restingClockTimer;
    std::unique_ptr<Timer> m_waTimer;
    int m_updateTiming = -1;
    int m_waType = 0;

    // Mode change.
    OVModeChange m_modeChange;
    bool m_eventsBlocked = false;
    bool m_savedUsesAnimation = false;
    bool m_savedHasVerticalScroller = false;
    bool m_savedTracksVerticalInset = false;
    double m_savedVerticalInsetAdjustment = 0;
    OVPrompterTextOptions m_savedTextOptions;
    // The badged application icon, one picture per size of the default icon it was made from.
    qint64 m_badgedIconSource = 0;
    std::map<std::pair<int, int>, QPixmap> m_badgedIconPixmaps;
    OVVisiblePrompterContent m_visibleContent;
    bool m_savedUsesFocusArrow = false;
    bool m_savedUsesTimeBar = false;
    // The controller window's toolbar as Edit mode showed it, while Prompt mode shows it as set.
    bool m_savedToolbarVisible = false;
    bool m_hasSavedToolbarVisible = false;
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
    OVCorePromptModeWindows* m_promptModeWindows = nullptr;
    std::function<void(const QString&)> m_stepObserver;
};
