#pragma once

#include "prompting/OVCorePromptModeWindows.h"

class OVCore;

// The output layer's side of the mode change: blocking windows for the core, the notice view for the
// Prompt-mode overlays, and alerts above everything while prompting. install puts all of them in
// place on a core; whoever installs it takes it off the core (setPromptModeWindows(nullptr)) before
// it goes.
class OVPromptModeWindows final : public OVCorePromptModeWindows {
public:
    OVPromptModeWindows() = default;
    ~OVPromptModeWindows() override = default;
    OVPromptModeWindows(const OVPromptModeWindows&) = delete;
    OVPromptModeWindows& operator=(const OVPromptModeWindows&) = delete;

    void install(OVCore& core);

    std::unique_ptr<Window> makeBlockingWindow() override;
    void setEventInterpreter(Window& blockingWindow, OVEventInterpreter* interpreter) override;
    Rect moveWindowToOperatorScreenIfNecessary(Window& window, bool requiringIsPromptMode,
                                               unsigned animationMode) override;
    // How many blocking windows were made; each is made once and reused.
    int blockingWindowsMade() const { return m_blockingWindowsMade; }

private:
    int m_blockingWindowsMade = 0;
};
