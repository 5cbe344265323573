#include "app/OVUpdatesPreferencesViewController.h"

#include "platform/updates/SUConstants.h"

namespace {

constexpr qint64 kOneDayInSeconds = 86400;

} // namespace

PlistDictionary OVUpdatesPreferencesViewController::initialDefaultsDictionary()
{
    PlistDictionary defaults;
    defaults.insert(QStringLiteral("checkForUpdatesProxy"), true);
    defaults.insert(QStringLiteral("submitBugReports"), true);
    defaults.insert(QStringLiteral("submitAnalytics"), true);
    defaults.insert(SUEnableAutomaticChecksKey, true);
    defaults.insert(SUScheduledCheckIntervalKey, kOneDayInSeconds);
    defaults.insert(SUSendProfileInfoKey, false);
    return defaults;
}
