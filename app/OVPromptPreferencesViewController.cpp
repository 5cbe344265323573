#include "app/OVPromptPreferencesViewController.h"

PlistDictionary OVPromptPreferencesViewController::initialDefaultsDictionary()
{
    PlistDictionary defaults;
    defaults.insert(QStringLiteral("useWindowedPrompting"), true);
    defaults.insert(QStringLiteral("maximizeWindowSize"), false);
    defaults.insert(QStringLiteral("talentUsesOperatorPosition"), true);
    defaults.insert(QStringLiteral("showPrompterControlsInEditMode"), true);
    defaults.insert(QStringLiteral("showBookmarksInPromptMode"), false);
    defaults.insert(QStringLiteral("promptModeToolbarState"), PlistValue::unsignedInteger(0));
    defaults.insert(QStringLiteral("showScrollBarInPromptMode"), true);
    defaults.insert(QStringLiteral("resetElapsedTimer"), false);
    defaults.insert(QStringLiteral("alwaysCoverTheDesktop"), false);
    return defaults;
}
