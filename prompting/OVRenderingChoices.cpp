#include "prompting/OVRenderingChoices.h"

OVRenderingChoices::BackingLocations OVRenderingChoices::backingLocations(int option, const Facts& facts)
{
    switch (option) {
    case 0:
        return {0, 0, true, false};
    case 1:
        return {2, 1, false, false};
    case 2:
        return {1, 2, false, false};
    case 3:
        return {1, 1, false, false};
    case -1:
        break;
    default:
        return {0, 0, false, false};
    }
    if (facts.gpusDiffer && facts.numberOfGPUs != 1)
        return {0, 0, true, false};
    if (!facts.talentWindowInUse || facts.eitherScreenMirrored)
        return {1, 2, false, true};
    return {2, 1, false, true};
}

int OVRenderingChoices::layerBacking(int layerOption, int profileBackingOption, bool heuristicAllowed,
                                     const Facts& facts)
{
    int choice = layerOption;
    if (choice == -1 || facts.fnOptionHeld)
        choice = profileBackingOption;
    if (choice != -1)
        return choice;
    const bool wanted = facts.operatorScreenIsRetina || facts.fnOptionHeld ||
                        (heuristicAllowed && facts.talentWindowInUse && facts.usesMaximumFrameRate);
    if (!wanted)
        return 0;
    return !facts.eitherScreenMirrored && !facts.flipped && facts.talentWindowInUse ? 3 : 2;
}
