#pragma once

#include <QtGlobal>

class OVCorePrompterView;
class OVTimeInfo;
class Window;

// What the prompting core asks of the window controller it works for: the front document window
// controller in the program, a stand-in in tests. Operations with a body are optional; their
// bodies give the answer a controller that does not implement them gives.
class OVCoreController {
public:
    virtual ~OVCoreController() = default;

    // The window the mode change resizes, levels and decorates.
    virtual Window* controllerWindow() const = 0;
    // Its scroll view is the one the tick scrolls.
    virtual OVCorePrompterView* prompterView() const = 0;

    // In the units of the speed control; after setSpeed the controller hands the new speed to the
    // core's speedDidUpdate.
    virtual double speed() const = 0;
    virtual void setSpeed(double speed) = 0;
    virtual double minSpeedUIValue() const = 0;
    virtual double maxSpeedUIValue() const = 0;

    virtual OVTimeInfo* timeInfo() const = 0;

    virtual bool timeRemainingNeedsUpdate() const = 0;
    virtual void setTimeRemainingNeedsUpdate(bool flag) = 0;
    virtual bool speedControlNeedsUpdate() const = 0;
    virtual void setSpeedControlNeedsUpdate(bool flag) = 0;
    virtual void updateSpeedControl() = 0;

    // The screen arrangement changed under Prompt mode: bring the application into mode.
    virtual void forceModeChange(unsigned mode) = 0;
    // At the script's start or end the prompter jumps to the other end.
    virtual bool looping() const = 0;

    virtual void coreModeWillChange(unsigned mode) { Q_UNUSED(mode); }
    virtual void coreModeDidChange(unsigned mode) { Q_UNUSED(mode); }
    virtual void coreStatusWillChange(unsigned status) { Q_UNUSED(status); }
    virtual void coreStatusDidChange(unsigned status) { Q_UNUSED(status); }
    virtual void prompterScrolledToScriptStart() {}
    virtual void prompterScrolledToScriptEnd() {}
    // Every pause becomes a hard pause while this answers true.
    virtual bool shouldHardPausePrompter() const { return false; }
    // Whether the controller window shows its toolbar now, and the height it takes when shown.
    virtual bool isToolbarVisible() const { return false; }
    virtual double toolbarHeight() const { return 0; }
    virtual void setToolbarVisible(bool visible) { Q_UNUSED(visible); }
    // The mode change shows the script's bookmark flags in Edit mode and hides them while prompting.
    virtual void setBookmarksVisible(bool visible) { Q_UNUSED(visible); }
};
