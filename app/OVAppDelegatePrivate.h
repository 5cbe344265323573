#pragma once

// What the application delegate's files share: a settings key, a settings read, the name its log
// lines go under, and where the tutorial item's modifier keys come from.
#include "app/OVAppDelegate.h"

#include "platform/foundation/UserDefaults.h"

#include <QString>

#include <optional>

namespace OVAppDelegatePrivate {

const QString kSuppressConfirmationForUnmarkKey = QStringLiteral("suppressConfirmationForUnmark");

// A read that does not count as a forgotten registration: keys other parts of the program own
// may not be registered yet.
inline std::optional<bool> boolIfKnown(const UserDefaults& defaults, const QString& key)
{
    if (!defaults.hasUserValue(key) && !defaults.registeredDefaults().contains(key))
        return std::nullopt;
    return defaults.boolForKey(key);
}

inline QString logName(const char* operation)
{
    return QStringLiteral("-[OVAppDelegate %1]").arg(QString::fromLatin1(operation));
}

inline OVAppDelegate::ModifierFlagsProvider& modifierFlagsProvider()
{
    static OVAppDelegate::ModifierFlagsProvider provider;
    return provider;
}

} // namespace OVAppDelegatePrivate
