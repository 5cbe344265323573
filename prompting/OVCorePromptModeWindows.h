#pragma once

#include "platform/foundation/Rect.h"

#include <memory>

class OVEventInterpreter;
class Window;

// What the mode change asks of the output layer above the core: the blocking windows that keep the
// desktop out of the way in Prompt mode, and bringing a window back from the talent screen.
class OVCorePromptModeWindows {
public:
    virtual ~OVCorePromptModeWindows() = default;
    // A new blocking window: black, borderless, above the desktop, never key or main.
    virtual std::unique_ptr<Window> makeBlockingWindow() = 0;
    // Events the blocking window receives go to interpreter first (null stops that).
    virtual void setEventInterpreter(Window& blockingWindow, OVEventInterpreter* interpreter) = 0;
    // Pulls a window that sits on the talent screen back onto the operator screen; answers its frame.
    virtual Rect moveWindowToOperatorScreenIfNecessary(Window& window, bool requiringIsPromptMode,
                                                       unsigned animationMode) = 0;
};
