#include "app/OVAdvancedPreferencesViewController.h"

namespace {

// -1 in a key ending in "Tag" selects the registered choice.
constexpr int kAutomaticTag = -1;

} // namespace

PlistDictionary OVAdvancedPreferencesViewController::initialDefaultsDictionary()
{
    PlistDictionary defaults;
    defaults.insert(QStringLiteral("documentSpeedTypeTag"), 0);
    defaults.insert(QStringLiteral("speedScaleTypeTag"), 1);
    defaults.insert(QStringLiteral("updateDriverTypeTag"), kAutomaticTag);
    defaults.insert(QStringLiteral("updateTimingTag"), kAutomaticTag);
    defaults.insert(QStringLiteral("frameRateOptionTag"), kAutomaticTag);
    defaults.insert(QStringLiteral("customFrameRate"), 50);
    defaults.insert(QStringLiteral("overdrawOptionTag"), kAutomaticTag);
    defaults.insert(QStringLiteral("customOverdrawMemoryLimitMB"), 128);
    defaults.insert(QStringLiteral("customOverdrawFixedHeightPoints"), 8192);
    defaults.insert(QStringLiteral("waTypeTag"), kAutomaticTag);
    defaults.insert(QStringLiteral("waTimerInterval"), 8.0);
    defaults.insert(QStringLiteral("coreAnimationOptionTag"), kAutomaticTag);
    defaults.insert(QStringLiteral("quartzGLOptionTag"), kAutomaticTag);
    defaults.insert(QStringLiteral("renderingOptionTag"), kAutomaticTag);
    // The program behaves as on the newest system, where full-screen prompting captures the displays.
    defaults.insert(QStringLiteral("captureDisplays"), true);
    defaults.insert(QStringLiteral("useConcurrentViewDrawing"), false);
    defaults.insert(QStringLiteral("alwaysUseAutomaticWhitespacePadding"), false);
    defaults.insert(QStringLiteral("bookmarkPreviousNextNavigationWrapsAround"), false);
    defaults.insert(QStringLiteral("useWindowTranslucencyEffects"), true);
    defaults.insert(QStringLiteral("enableTalentContentAdjustments"), false);
    defaults.insert(QStringLiteral("enableAnalytics"), true);
    defaults.insert(QStringLiteral("enableHardwareProfiles"), true);
    defaults.insert(QStringLiteral("logTrackedIssues"), false);
    defaults.insert(QStringLiteral("NSConstraintBasedLayoutVisualizeMutuallyExclusiveConstraints"), false);
    defaults.insert(QStringLiteral("useOpportunisticHardwareAcceleration"), true);
    defaults.insert(QStringLiteral("ignoreOpportunisticHardwareAccelerationRequirements"), false);
    defaults.insert(QStringLiteral("hideEditModeToolbarItemsInPromptMode"), true);
    defaults.insert(QStringLiteral("mouseReverseMovementAdjustsSpeed"), false);
    defaults.insert(QStringLiteral("snowLeopardUseNaturalScrollDirectionAffectsAllModes"), false);
    defaults.insert(QStringLiteral("useBlockingWindowEvents"), false);
    defaults.insert(QStringLiteral("enableEmbedWindow"), false);
    defaults.insert(QStringLiteral("useFixedPrompterSize"), false);
    defaults.insert(QStringLiteral("fixedPrompterWidth"), PlistValue::unsignedInteger(800));
    defaults.insert(QStringLiteral("fixedPrompterHeight"), PlistValue::unsignedInteger(600));
    defaults.insert(QStringLiteral("HVEnableTextViewArtifactsWorkaround"), true);
    defaults.insert(QStringLiteral("enableExperimentalTimer"), false);
    return defaults;
}
