#pragma once

#include <functional>

// Hiding the pointer a moment after it stopped mattering (the prompter started, a click ended): one
// pending request for the whole application, so whoever cancels it cancels everyone's.
class HVCursorAdditions {
public:
    static constexpr double kDefaultHideDelay = 1.0;

    // Replaces a pending request. When the delay has passed on the shared clock and condition (when
    // given) still holds, the pointer is hidden until the mouse next moves.
    static void hideAfterDelay(std::function<bool()> condition = {}, double delay = kDefaultHideDelay);
    static void cancelHideAfterDelay();
    static bool isHideAfterDelayPending();
};
