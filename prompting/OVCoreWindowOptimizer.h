#pragma once

class Window;

// A window, its delegate or its window controller that can stop its own work while the mode
// change hides the window, and start it again when the window comes back.
class OVCoreWindowOptimizer {
public:
    virtual ~OVCoreWindowOptimizer() = default;
    virtual void enableActivity(bool enable, Window* window) = 0;
};
