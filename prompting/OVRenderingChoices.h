#pragma once

#include "platform/hvkit/HVGPUInfo.h"

#include <QString>

// The decision tables of the rendering choices: where the prompter windows' backing stores should
// live and which scroll views want layers, from the settings, the hardware profile and the
// machine. Pure, so every row can be checked; the core records what they answer on its windows
// and views.
class OVRenderingChoices {
public:
    struct Facts {
        // The operator and talent screens are driven by different GPUs.
        bool gpusDiffer = true;
        int numberOfGPUs = 1;
        bool talentWindowInUse = false;
        bool eitherScreenMirrored = false;
        bool operatorScreenIsRetina = false;
        // Fn with Option asks for the strongest choice; Linux never sees Fn.
        bool fnOptionHeld = false;
        bool usesMaximumFrameRate = false;
        bool flipped = false;
    };

    struct BackingLocations {
        int embeddedWindow = 0;
        int talentWindow = 0;
        bool layerHeuristicAllowed = false;
        // The automatic choice for one GPU switches layers off whatever the setting says.
        bool forcesLayersOff = false;
    };

    // windowLocationOption: the setting, or when that is -1 the profile's option (-1 automatic).
    static BackingLocations backingLocations(int windowLocationOption, const Facts& facts);
    // layerOption: the setting, or 0 when layers were forced off. 0 none, 1 talent, 2 operator, 3 both.
    static int layerBacking(int layerOption, int profileBackingOption, bool layerHeuristicAllowed,
                            const Facts& facts);
    static bool operatorWantsLayer(int layerBacking) { return layerBacking == 2 || layerBacking == 3; }

    // What the automatic frame rate is decided from.
    struct FrameRateFacts {
        // The talent output has a display of its own.
        bool separateTalentDisplay = false;
        HVGPUInfo operatorGPU;
        HVGPUInfo talentGPU;
        // A built-in panel of more than one pixel to a point.
        bool operatorScreenIsBuiltInHighDensity = false;
        QString hardwareModel;
    };
    // A renderer that draws with the GPU. An unknown one (no context could be made) counts as one:
    // the desktop composites whatever the program learns of it.
    static bool isHardwareRenderer(const HVGPUInfo& gpu);
    // Whether the automatic frame rate takes the full refresh rate (else half of it).
    static bool automaticFrameRateUsesFullRate(const FrameRateFacts& facts);
    static bool talentWantsLayer(int layerBacking) { return layerBacking == 1 || layerBacking == 3; }
};
