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
    using AlertPresenter = std::function<bool(const Error& error)>;

    // The instance the program runs with, on the shared core; made on first use.
    static OVApplication& shared();

    // Installs itself on the platform application: error presentation and sheet observing. Tests
    // pass their own core.
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

    // Runs a modal window, raised above a full-screen prompter before the run and after it.
    int runModalForWindow(Window* window);
    void _patchWindowIfNeededForPromptModeFullScreen(Window* window);
    bool _isPromptAndFullScreen() const;

    // Presents an error, or in full-screen Prompt mode logs and keeps it for when Edit mode is back.
    bool presentError(const Error& error);
    const std::vector<Error>& suppressedErrors() const { return m_suppressedErrors; }
    // How an error is finally shown; a modal alert unless a test sets another.
    void setAlertPresenter(AlertPresenter presenter) { m_alertPresenter = std::move(presenter); }

private:
    void modeDidChange();
    void presentSuppressedErrors();
    bool showAlert(const Error& error);

    OVCore* m_core;
    double m_overrideWindowFadeTime = -1.0;
    std::vector<Error> m_suppressedErrors;
    AlertPresenter m_alertPresenter;
};
