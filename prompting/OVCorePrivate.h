#pragma once

// The state of OVCore beside its parts: only the core's own files include it.
#include "prompting/OVCore.h"
#include "prompting/OVModeChange.h"
#include "prompting/OVScrollEngine.h"
#include "prompting/OVTickSource.h"

#include <cfloat>
#include <functional>
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
    OVVisiblePrompterContent m_visibleContent;
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
