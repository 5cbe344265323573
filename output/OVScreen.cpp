#include "output/OVScreen.h"

#include "output/OVTalentWindowController.h"
#include "platform/foundation/UserDefaults.h"

std::vector<Screen> OVScreen::screens()
{
    return Screen::screens();
}

std::optional<Screen> OVScreen::operatorScreen()
{
    const std::vector<Screen> list = screens();
    if (list.empty())
        return std::nullopt;
    return list.front();
}

std::optional<Screen> OVScreen::talentScreen()
{
    const std::vector<Screen> list = screens();
    if (list.empty())
        return std::nullopt;
    return list.size() == 1 ? list.front() : list[1];
}

unsigned OVScreen::configuration()
{
    const std::optional<Screen> operatorDisplay = operatorScreen();
    if (!operatorDisplay)
        return kNoScreen;
    const std::optional<Screen> talentDisplay = talentScreen();
    if (talentDisplay && talentDisplay->displayID() != operatorDisplay->displayID() &&
        OVTalentWindowController::isTalentWindowUtilized()) {
        const UserDefaults& defaults = UserDefaults::shared();
        const bool flipped = defaults.boolForKey(QStringLiteral("horizontallyFlipped")) ||
                             defaults.boolForKey(QStringLiteral("verticallyFlipped"));
        return flipped ? kDualScreenFlipped : kDualScreen;
    }
    return talentScreenSystemVideoMirrorsOperatorScreen() ? kSystemVideoMirroring : kSingleScreen;
}

bool OVScreen::talentScreenSystemVideoMirrorsOperatorScreen()
{
    const std::optional<Screen> operatorDisplay = operatorScreen();
    const std::optional<Screen> talentDisplay = talentScreen();
    return operatorDisplay && talentDisplay && talentDisplay->displayID() != operatorDisplay->displayID() &&
           talentDisplay->frame() == operatorDisplay->frame();
}

bool OVScreen::isTalentScreenDistinctFromOperatorScreen()
{
    const std::optional<Screen> operatorDisplay = operatorScreen();
    const std::optional<Screen> talentDisplay = talentScreen();
    return operatorDisplay && talentDisplay && operatorDisplay->displayID() != talentDisplay->displayID();
}

std::optional<Screen> OVScreen::_earliestScreenNotMatching(const std::optional<Screen>& screen,
                                                           const std::vector<Screen>& screens)
{
    if (!screen)
        return std::nullopt;
    for (const Screen& candidate : screens) {
        if (candidate.displayID() != screen->displayID())
            return candidate;
    }
    return std::nullopt;
}
