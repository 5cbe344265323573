#pragma once

#include "platform/foundation/Rect.h"

#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <vector>

class OVCoreController;
class OVCorePromptModeWindows;
class OVEventInterpreter;
class OVSynchronousQueue;
class Window;

// The mode change's own house: the queue of steps it runs one way into Prompt mode and the other
// way out, the controller window's configuration for Prompt mode, and what the windows had in Edit
// mode so the way back can restore it.
class OVModeChange {
public:
    // What the last entry into Prompt mode found and decided: the screens it was set up for (a
    // change of them while prompting sends the program back to Edit mode) and the controller
    // window's frame and blocking windows.
    struct WindowConfiguration {
        bool operatorScreenExists = false;
        bool talentScreenExists = false;
        bool operatorAndTalentScreensDiffer = false;
        bool isTalentWindowUtilized = false;
        Rect operatorScreenFrame;
        Rect talentScreenFrame;
        bool operatorScreenIsMirrored = false;
        bool talentScreenIsMirrored = false;
        Rect frame;
        bool useBlockingWindow = false;
        bool useTitleBarBlockingWindow = false;
        bool isWindowed = true;
        // The windowed prompter fills the screen's visible frame, as the user asked.
        bool isMaximized = false;

        // The twelve keys under their published names; frames as QRectF in global coordinates.
        QVariantMap dictionary() const;
    };

    // A window hidden for Prompt mode, restored on the way back.
    struct HiddenWindow {
        Window* window = nullptr;
        bool isMinimized = false;
        int animationBehavior = 0;
    };

    struct Step {
        QString name;
        std::function<void()> run;
    };

    OVModeChange();
    ~OVModeChange();
    OVModeChange(const OVModeChange&) = delete;
    OVModeChange& operator=(const OVModeChange&) = delete;

    // The first and the last step run first and last whichever way the queue runs; owner names the
    // queue's items for whoever cancels them.
    void buildQueue(const void* owner, const std::vector<Step>& steps);
    bool hasQueue() const { return m_queue != nullptr; }
    void runIntoPromptMode();
    void runIntoEditMode();
    bool isExecuting() const;
    // Leaves a run that a failing step cut short, so the next change starts clean.
    void abandon();

    const WindowConfiguration& windowConfiguration() const { return m_configuration; }
    void setWindowConfiguration(const WindowConfiguration& configuration) { m_configuration = configuration; }

    // The window's Edit-mode frame and limits are kept, and the Prompt-mode frame fixed.
    void resizeWindowForPrompt(Window* window, OVCoreController* controller);
    // Back to the Edit-mode frame, or with Option held after full-screen prompting to the screen's
    // visible frame.
    void resizeWindowForEdit(Window* window, OVCoreController* controller, bool optionHeld);
    void rememberFullScreenEditFrame(Window* window);

    // The blocking window over the operator screen (below the controller window) and the one over
    // the controller window's title bar (above it), as the configuration asks; made on first use by
    // maker and kept for the next time. Events on them go to interpreter when one is given.
    void showBlockingWindows(Window* controllerWindow, OVCorePromptModeWindows* maker,
                             OVEventInterpreter* interpreter);
    void removeBlockingWindows(OVCorePromptModeWindows* maker);
    Window* blockingWindow() const { return m_blockingWindow.get(); }
    Window* titleBarBlockingWindow() const { return m_titleBarBlockingWindow.get(); }

    // Sheets end as cancelled; every other visible window but the controller's and its children is
    // hidden, and every minimised one carries the Prompt-mode notice, until hidden windows are shown
    // again.
    void closeSheets();
    void hideWindowsBesides(Window* controllerWindow);
    void showHiddenWindows(Window* controllerWindow);
    const std::vector<HiddenWindow>& hiddenWindows() const { return m_hiddenWindows; }

    // In Prompt mode the window covers the desktop when asked to; in Edit mode it gets its level
    // back.
    void setShieldingLevel(Window* window, bool prompt, bool cover);
    // No close or minimise buttons while prompting.
    void setTitleBarButtons(Window* window, bool prompt);

private:
    std::unique_ptr<OVSynchronousQueue> m_queue;
    std::unique_ptr<Window> m_blockingWindow;
    std::unique_ptr<Window> m_titleBarBlockingWindow;
    WindowConfiguration m_configuration;
    std::vector<HiddenWindow> m_hiddenWindows;
    Rect m_savedEditModeFrame;
    bool m_hasSavedEditModeFrame = false;
    Rect m_fullScreenEditModeFrame;
    // The controller whose window went back to the full-screen Edit frame, so its next entry keeps
    // the frame it had before.
    OVCoreController* m_controllerManagingSpecialEditSize = nullptr;
    Size m_savedMinSize;
    Size m_savedMaxSize;
    unsigned m_savedResizableBit = 0;
    unsigned m_savedTitleBarButtonBits = 0;
    int m_savedLevel = 0;
    bool m_raisedLevel = false;
};
