#pragma once

#include "platform/appkit/Screen.h"

#include <optional>
#include <vector>

// The two screen roles: the operator screen (first) where the document window and the preview panel
// live, and the talent screen (second, or the operator screen when there is only one) that shows the
// talent window; and the arrangement they form.
class OVScreen {
public:
    enum Configuration : unsigned {
        kNoScreen = 0,
        kSingleScreen = 1,
        kDualScreen = 2,
        kDualScreenFlipped = 3,
        kSystemVideoMirroring = 4,
    };

    // No virtual-screen service exists here; the platform's screen list is used with the same roles.
    static bool permitsVirtualScreens() { return false; }
    static std::vector<Screen> screens();
    static std::optional<Screen> operatorScreen();
    static std::optional<Screen> talentScreen();
    static unsigned configuration();
    // Linux reports no hardware mirroring; a screen showing exactly the operator screen's area, under
    // another display ID, is taken for a mirror of it.
    static bool talentScreenSystemVideoMirrorsOperatorScreen();
    static bool isTalentScreenDistinctFromOperatorScreen();
    static std::optional<Screen> _earliestScreenNotMatching(const std::optional<Screen>& screen,
                                                            const std::vector<Screen>& screens);
};
