#include "platform/hvkit/HVSettingsController.h"

#include "platform/foundation/DataFolder.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "platform/foundation/ReadRegularFile.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVInitialDefaultsProvider.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace {

// Settings files are small; a larger one is not a settings file.
constexpr qint64 kMaximumSettingsFileSize = 16 * 1024 * 1024;

std::optional<PlistDictionary> readDictionary(const QString& filePath, Error* error)
{
    const QUrl url = QUrl::fromLocalFile(filePath);
    const std::optional<QByteArray> data = readRegularFile(url, kMaximumSettingsFileSize, error);
    if (!data)
        return std::nullopt;
    Error readError;
    std::optional<PlistValue> plist =
        PropertyListSerialization::propertyListWithData(*data, nullptr, &readError);
    if (!plist || !plist->isDictionary()) {
        setError(error, Error::cocoa(kFileReadCorruptFileError, url,
                                     plist ? QStringLiteral("The file holds no settings.")
                                           : readError.localizedFailureReason()));
        return std::nullopt;
    }
    return std::move(plist->dictionary());
}

// Stricter than reading: a number setting takes no boolean, and a switch only a boolean or an
// integer (property lists written elsewhere may hold switches as 0 and 1).
bool hasRegisteredKind(const UserDefaults& defaults, const QString& key, const PlistValue& value,
                       QString* why)
{
    const PlistValue* registered = defaults.registeredDefaults().find(key);
    if (!registered)
        return true;
    const bool fits = registered->isBoolean()  ? value.isBoolean() || value.isInteger()
                      : registered->isNumber() ? value.isNumber()
                                               : true;
    if (!fits && why)
        *why = QStringLiteral("is not of the registered value's type");
    return fits;
}

} // namespace

HVSettingsController::HVSettingsController(UserDefaults& defaults, QString snapshotPath)
    : m_defaults(defaults), m_snapshotPath(std::move(snapshotPath))
{
}

HVSettingsController& HVSettingsController::shared()
{
    static HVSettingsController controller(UserDefaults::shared(),
                                           DataFolder::path() + QStringLiteral("/SettingsBeforeReset.plist"));
    return controller;
}

void HVSettingsController::registerDefaultsProviderForResetAll(HVInitialDefaultsProvider* provider)
{
    if (provider && std::find(m_providers.begin(), m_providers.end(), provider) == m_providers.end())
        m_providers.push_back(provider);
}

void HVSettingsController::unregisterDefaultsProviderForResetAll(HVInitialDefaultsProvider* provider)
{
    std::erase(m_providers, provider);
}

QStringList HVSettingsController::preservedKeys(const QStringList& keys) const
{
    QStringList all = m_alwaysPreservedKeys;
    for (const QString& key : keys) {
        if (!all.contains(key))
            all << key;
    }
    return all;
}

bool HVSettingsController::writeSnapshot(Error* error)
{
    const QUrl url = QUrl::fromLocalFile(m_snapshotPath);
    const std::optional<QByteArray> bytes = PropertyListSerialization::dataWithPropertyList(
        m_defaults.persistentDomain(), PropertyListSerialization::Format::Binary, error);
    if (!bytes)
        return false;
    QDir().mkpath(QFileInfo(m_snapshotPath).absolutePath());
    QSaveFile file(m_snapshotPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(*bytes) != bytes->size() || !file.commit()) {
        setError(error, Error::cocoa(kFileWriteUnknownError, url, file.errorString()));
        return false;
    }
    return true;
}

void HVSettingsController::replaceUserValues(const std::function<void()>& replace)
{
    // A provider may unregister from within its call; work on a copy.
    const std::vector<HVInitialDefaultsProvider*> providers = m_providers;
    for (HVInitialDefaultsProvider* provider : providers)
        provider->defaultsWillReset();
    replace();
    for (HVInitialDefaultsProvider* provider : providers) {
        if (std::find(m_providers.begin(), m_providers.end(), provider) != m_providers.end())
            provider->defaultsDidReset();
    }
    NotificationCenter::shared().postNotification(HVSettingsControllerDidResetAllDefaultsNotification, this);
}

bool HVSettingsController::resetAllSettingsPreservingKeys(const QStringList& keys, Error* error)
{
    // Without a snapshot the reset could not be undone: refuse rather than lose the settings.
    if (!writeSnapshot(error))
        return false;
    const QStringList kept = preservedKeys(keys);
    replaceUserValues([&] { m_defaults.resetUserValues(kept); });
    m_defaults.synchronize();
    return true;
}

bool HVSettingsController::importSettingsFromURL(const QString& filePath,
                                                 const QStringList& preservedKeysToKeep, Error* error,
                                                 QStringList* leftOut)
{
    std::optional<PlistDictionary> imported = readDictionary(filePath, error);
    if (!imported)
        return false;
    // The file may come from anywhere: a key the program does not register (it may be read as a
    // command, a path or an address) and a value the program would not read as it stands (another
    // type than the registered one, not a finite number, out of range) are left out and the current
    // value kept, and a file with nothing usable in it is refused before anything changes.
    const QStringList kept = preservedKeys(preservedKeysToKeep);
    PlistDictionary values;
    QStringList skipped;
    int usable = 0;
    for (const auto& [key, value] : *imported) {
        if (kept.contains(key))
            continue;
        QString why = QStringLiteral("is not a setting of this program");
        if (!m_defaults.registeredDefaults().contains(key) || !m_defaults.isUsableValue(key, value, &why) ||
            !hasRegisteredKind(m_defaults, key, value, &why)) {
            qWarning("Import of settings: %s %s; it is skipped.", qPrintable(key), qPrintable(why));
            skipped << key;
            if (const PlistValue* current = m_defaults.persistentDomain().find(key))
                values.insert(key, *current);
            continue;
        }
        values.insert(key, value);
        ++usable;
    }
    if (usable == 0) {
        setError(error,
                 Error::cocoa(kFileReadCorruptFileError, QUrl::fromLocalFile(filePath),
                              skipped.isEmpty()
                                  ? QStringLiteral("The file holds no settings.")
                                  : QStringLiteral("The file holds no settings this program can use.")));
        return false;
    }
    for (const QString& key : kept) {
        if (const PlistValue* current = m_defaults.persistentDomain().find(key))
            values.insert(key, *current);
    }
    if (!writeSnapshot(error))
        return false;
    replaceUserValues([&] { m_defaults.setPersistentDomain(values); });
    m_defaults.synchronize();
    if (leftOut)
        *leftOut = std::move(skipped);
    return true;
}

bool HVSettingsController::canRestoreSettings() const
{
    return QFileInfo(m_snapshotPath).isFile();
}

bool HVSettingsController::restoreSettingsToOriginalValues(Error* error)
{
    std::optional<PlistDictionary> snapshot = readDictionary(m_snapshotPath, error);
    if (!snapshot)
        return false;
    PlistDictionary values = std::move(*snapshot);
    for (const QString& key : m_alwaysPreservedKeys) {
        values.remove(key);
        if (const PlistValue* current = m_defaults.persistentDomain().find(key))
            values.insert(key, *current);
    }
    replaceUserValues([&] { m_defaults.setPersistentDomain(values); });
    m_defaults.synchronize();
    QFile::remove(m_snapshotPath);
    return true;
}
