#pragma once

#include "platform/foundation/Error.h"

#include <functional>
#include <vector>

class Application;
class OVCore;
class Window;

// The program's side of the application object: answers the prompting state for everyone, keeps
// sheets and modal windows usable over a full-screen prompter, and holds back error alerts that
// would open behind it until the prompter is gone.
class OVApplication {
public:
    // The instance the program runs with, on the shared core; made on first use.
    static OVApplication& shared();

    // Installs itself on the platform application: the error filter, the modal-session hook and
    // sheet observing. Tests pass their own core.
    explicit OVApplication(OVCore* core = nullptr);
    ~OVApplication();
    OVApplication(const OVApplication&) = delete;
    OVApplication& operator=(const OVApplication&) = delete;

    Application& application() const;
    OVCore& core() const;

    // The window animation time answered to windows; -1 for the platform's own.
    double overrideWindowFadeTime() const { return m_overrideWindowFadeTime; }
    void setOverrideWindowFadeTime(double seconds) { m_overrideWindowFadeTime = seconds; }
    double windowAnimationInterval(Window* window, bool shouldUseSlowMotion) const;

    // The core's state.
    bool isModeChanging() const;
    bool isModeEdit() const;
    bool isModePrompt() const;
    bool isStatusChanging() const;
    bool isStatusPaused() const;
    bool isStatusStarted() const;
    bool isContentEditable() const;
    int dualScreenStatus() const;

    // In Edit mode a window that begins a sheet is brought onto the operator screen first.
    void windowWillBeginSheetNotification(Window* window);

    // Modal windows, raised above a full-screen prompter before the run and after it.
    int runModalForWindow(Window* window);
    void beginModalSessionForWindow(Window* window);
    void _patchWindowIfNeededForPromptModeFullScreen(Window* window);
    bool _isPromptAndFullScreen() const;

    // The error the platform shows instead: in full-screen Prompt mode the error is logged and
    // kept for when Edit mode is back, and the user-cancelled error, which shows nothing, is
    // answered.
    Error willPresentError(const Error& error);
    const std::vector<Error>& suppressedErrors() const { return m_suppressedErrors; }

private:
    void modeDidChange();
    void presentSuppressedErrors();

    OVCore* m_core;
    double m_overrideWindowFadeTime = -1.0;
    std::vector<Error> m_suppressedErrors;
};
