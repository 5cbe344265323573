#include "prompting/OVCoreSettings.h"

#include "platform/foundation/UserDefaults.h"

qint64 OVCoreSettings::integer(const QString& key, qint64 fallback)
{
    UserDefaults& defaults = UserDefaults::shared();
    return defaults.objectForKey(key).isNull() ? fallback : defaults.integerForKey(key);
}

double OVCoreSettings::real(const QString& key, double fallback)
{
    UserDefaults& defaults = UserDefaults::shared();
    return defaults.objectForKey(key).isNull() ? fallback : defaults.doubleForKey(key);
}

bool OVCoreSettings::boolean(const QString& key, bool fallback)
{
    UserDefaults& defaults = UserDefaults::shared();
    return defaults.objectForKey(key).isNull() ? fallback : defaults.boolForKey(key);
}
