#include "app/OVControlPreferencesViewController.h"

#include "prompting/OVInputController.h"
#include "settings/OVSharedPreferencesAccess.h"

PlistDictionary OVControlPreferencesViewController::initialDefaultsDictionary()
{
    // The input controller keeps the hot-key table, so its codes are written down once.
    PlistDictionary defaults = OVInputController::hotKeyDefaults();
    defaults.insert(QStringLiteral("cursorMovementAdjustsSpeed"), false);
    defaults.insert(QStringLiteral("mousePromptingCursorLocation"), PlistValue::unsignedInteger(0));
    defaults.insert(QStringLiteral("snowLeopardUseNaturalScrollDirection"), false);
    defaults.insert(QStringLiteral("leftClickBehaviorTag"), 0);
    defaults.insert(QStringLiteral("rightClickBehaviorTag"), 0);
    // The wheel feeds the scroll engine while prompting.
    defaults.insert(QStringLiteral("scrollWheelBehaviorTag"), 1);
    defaults.insert(kSpeedIncrementKey, 0.2);
    defaults.insert(QStringLiteral("defaultSpeed"), 3.0);
    defaults.insert(QStringLiteral("setDefaultSpeedExitingPromptMode"), false);
    defaults.insert(QStringLiteral("setPauseSpeedOnPause"), false);
    defaults.insert(QStringLiteral("pauseSpeed"), 3.0);
    defaults.insert(QStringLiteral("setPreviousSpeedOnStart"), false);
    defaults.insert(QStringLiteral("changingSpeedStartsPrompter"), true);
    defaults.insert(QStringLiteral("speedSliderOnlyUsesPositiveValues"), false);
    defaults.insert(QStringLiteral("speedLimiterRestrictsToSpeedSlider"), false);
    return defaults;
}
