#pragma once

#include "platform/foundation/Error.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class HVInitialDefaultsProvider;
class UserDefaults;

// Posted after every wholesale replacement of the settings (reset, import, restore); object: the
// controller.
inline const QString HVSettingsControllerDidResetAllDefaultsNotification =
    QStringLiteral("HVSettingsControllerDidResetAllDefaultsNotification");

// Reset, import and restore of all settings. Before settings are replaced wholesale, the user's
// values are kept in a snapshot file, so the last reset or import can be undone; providers that
// joined hear defaultsWillReset before and defaultsDidReset after every replacement.
class HVSettingsController {
public:
    // Works on defaults, keeping its snapshot at snapshotPath.
    HVSettingsController(UserDefaults& defaults, QString snapshotPath);

    // The application's controller, on the shared user defaults.
    static HVSettingsController& shared();

    // Keys that keep their value through every reset, import and restore.
    void setAlwaysPreservedKeys(const QStringList& keys) { m_alwaysPreservedKeys = keys; }
    const QStringList& alwaysPreservedKeys() const { return m_alwaysPreservedKeys; }

    // A provider stays registered until it unregisters; its destructor must do so.
    void registerDefaultsProviderForResetAll(HVInitialDefaultsProvider* provider);
    void unregisterDefaultsProviderForResetAll(HVInitialDefaultsProvider* provider);

    // Removes every stored value but the preserved ones, so registered defaults apply again.
    bool resetAllSettingsPreservingKeys(const QStringList& keys, Error* error = nullptr);
    // Replaces the stored values by those of a property-list file holding a dictionary. Only
    // registered keys with values the program reads as they stand are taken; leftOut gets the rest.
    bool importSettingsFromURL(const QString& filePath, const QStringList& preservedKeys,
                               Error* error = nullptr, QStringList* leftOut = nullptr);
    // Whether a reset or import can be undone.
    bool canRestoreSettings() const;
    // Puts back the values from before the last reset or import; once only.
    bool restoreSettingsToOriginalValues(Error* error = nullptr);

    const QString& snapshotPath() const { return m_snapshotPath; }

private:
    QStringList preservedKeys(const QStringList& keys) const;
    bool writeSnapshot(Error* error);
    void replaceUserValues(const std::function<void()>& replace);

    UserDefaults& m_defaults;
    QString m_snapshotPath;
    QStringList m_alwaysPreservedKeys;
    std::vector<HVInitialDefaultsProvider*> m_providers;
};
