#pragma once

// A window that stays on screen while the mode change hides the others (the talent window).
class OVWindowBehavior {
public:
    virtual ~OVWindowBehavior() = default;
    virtual bool exemptWindowFromFadingDuringModeChange() const = 0;
};
