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

bool OVRenderingChoices::isHardwareRenderer(const HVGPUInfo& gpu)
{
    const QString renderer = gpu.renderer.toLower();
    if (renderer.isEmpty())
        return true;
    for (const char* software : {"llvmpipe", "softpipe", "swrast", "software"}) {
        if (renderer.contains(QLatin1String(software)))
            return false;
    }
    return true;
}

bool OVRenderingChoices::automaticFrameRateUsesFullRate(const FrameRateFacts& facts)
{
    const HVGPUInfo& gpu = facts.operatorGPU;
    if (!facts.separateTalentDisplay)
        return isHardwareRenderer(gpu);
    if (!isHardwareRenderer(gpu) || !isHardwareRenderer(facts.talentGPU))
        return false;
    const QString renderer = gpu.renderer.toUpper();
    const bool sameModel = gpu.renderer == facts.talentGPU.renderer;
    if (sameModel) {
        if (facts.operatorScreenIsBuiltInHighDensity || gpu.videoMemoryMB > 512)
            return true;
        if (facts.hardwareModel.startsWith(QLatin1String("MacPro")) && gpu.videoMemoryMB == 512 &&
            !(renderer.contains(QLatin1String("NVIDIA")) && renderer.contains(QLatin1String(" 120"))))
            return true;
        const bool knownVendor = renderer.contains(QLatin1String("NVIDIA")) ||
                                 renderer.contains(QLatin1String("AMD")) ||
                                 renderer.contains(QLatin1String("ATI"));
        return facts.hardwareModel != QLatin1String("iMac11,3") && gpu.videoMemoryMB > 383 &&
               (renderer.contains(QLatin1String("INTEL")) || !knownVendor);
    }
    return !gpu.openGLVendor.isEmpty() && gpu.openGLVendor == facts.talentGPU.openGLVendor &&
           gpu.openGLVersion == facts.talentGPU.openGLVersion;
}
