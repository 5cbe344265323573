#pragma once

// The Prompt-mode keyboard and mouse handler as the core sees it: started and stopped by the mode
// change, and read by every tick for the keys held down. Time stamps are HVTimestamp seconds.
class OVCoreInputController {
public:
    virtual ~OVCoreInputController() = default;

    virtual void start() = 0;
    virtual void stop() = 0;

    virtual bool scrollDown() const = 0;
    virtual bool scrollUp() const = 0;
    virtual bool boostSpeed() const = 0;
    // When the key was last pressed or released; 0 when never.
    virtual double lastScrollDownTime() const = 0;
    virtual double lastScrollUpTime() const = 0;
};
