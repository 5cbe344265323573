#pragma once

#include "platform/foundation/Error.h"
#include "platform/foundation/PlistValue.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class QObject;

// The application's settings: values stored for the user, over defaults the program registers at
// start-up and never writes. Stored values live in an XML property list that is rewritten
// atomically, shortly after a change (on the next pass of the event loop) or on synchronize().
class UserDefaults {
public:
    using ObserverToken = quint64;
    using Observer = std::function<void(const QString& key)>;

    // The largest settings file read; anything larger is taken for damaged.
    static constexpr qint64 kMaximumFileBytes = qint64(16) << 20;

    // Reads the stored values from filePath. Only a regular file within kMaximumFileBytes is read
    // (a pipe or device there never blocks or floods the start); anything else, and a file that
    // cannot be parsed, is renamed aside (to "<name>.damaged", numbered if that exists) and logged,
    // and the instance starts empty.
    explicit UserDefaults(const QString& filePath);
    // Writes pending changes.
    ~UserDefaults();
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    // The application's instance, on defaultFilePath(); made on first use.
    static UserDefaults& shared();
    // "$XDG_CONFIG_HOME/Orvane/Orvane.plist".
    static QString defaultFilePath();
    const QString& filePath() const { return m_filePath; }
    // Forgets the stored values and a pending write and reads filePath, as a new start would; the
    // registrations, which the program's code makes once per process, stay. For a process that
    // starts the program more than once, such as a test's.
    void reopen(const QString& filePath);

    // Where the damaged file of this run was set aside; empty when the file was read or absent.
    const QString& setAsideFilePath() const { return m_setAsideFilePath; }

    // Adds to the registration domain, replacing earlier registrations of the same keys.
    void registerDefaults(const PlistDictionary& defaults);
    // The values a number under key may take; a stored number outside reads as the registered one.
    void registerRange(const QString& key, double minimum, double maximum);
    const PlistDictionary& registeredDefaults() const { return m_registered; }
    // Forgets every registration and range, as a new process starts without them. For a process
    // that starts the program more than once and must not inherit what an earlier start registered.
    void resetRegistrations();
    // Whether a value stored under key would be read as it stands: a finite number, of the
    // registered value's type (numbers and booleans count as one, but a registered boolean takes
    // only 0 or 1) and within the key's range; why not, when asked.
    bool isUsableValue(const QString& key, const PlistValue& value, QString* why = nullptr) const;

    // The stored value, else the registered one, else a null value. A stored value the program
    // cannot use reads as the registered one (logged once per key) and stays in the file as it is
    // until the setting is changed: one of another type than the registered value (numbers and
    // booleans count as one type), a number that is not finite, or one outside the key's range.
    PlistValue objectForKey(const QString& key) const;
    // Conversions as the platform makes them: a number reads as its decimal text, a string such
    // as "YES", "true" or "1" reads as true and "12.7" as the integer 12, a real read as an
    // integer is truncated; a value of any other type reads as empty, zero or false.
    QString stringForKey(const QString& key) const;
    PlistArray arrayForKey(const QString& key) const;
    PlistDictionary dictionaryForKey(const QString& key) const;
    QByteArray dataForKey(const QString& key) const;
    qint64 integerForKey(const QString& key) const;
    double doubleForKey(const QString& key) const;
    bool boolForKey(const QString& key) const;

    // Storing a null value removes the key.
    void setObject(const PlistValue& value, const QString& key);
    void setBool(bool value, const QString& key);
    void setInteger(qint64 value, const QString& key);
    void setDouble(double value, const QString& key);
    void removeObjectForKey(const QString& key);

    // True when key has a stored value, whatever is registered for it: migrations ask this.
    bool hasUserValue(const QString& key) const;

    // Reads of keys with neither a stored nor a registered value: each is a key whose owner forgot
    // to register it, so its reader silently gets zero, false or nothing. Debug builds log each
    // such key once.
    quint64 unregisteredReadCount() const { return m_unregisteredReadCount; }
    QStringList unregisteredKeysRead() const;
    void resetUnregisteredReads();
    // Registered values overridden by the stored ones that can be used.
    PlistDictionary dictionaryRepresentation() const;
    // The stored values alone, and their wholesale replacement (restoring or importing settings).
    const PlistDictionary& persistentDomain() const { return m_user; }
    void setPersistentDomain(const PlistDictionary& values);
    // Removes every stored value but those of keysToKeep.
    void resetUserValues(const QStringList& keysToKeep = {});

    // Writes pending changes now. Fails, keeping them pending, when the file cannot be written or
    // a value cannot be written as XML; the file on disk is then left as it was.
    bool synchronize(Error* error = nullptr);

    // Calls observer on the calling (main) thread after the effective value of key changed, by
    // any route: set, remove, registration, reset or replacement. An observer may remove itself
    // or others from within the call.
    ObserverToken addObserver(const QString& key, Observer observer);
    void removeObserver(ObserverToken token);

private:
    struct Registration {
        ObserverToken token;
        QString key;
        Observer observer;
    };

    void load();
    // The effective value, without counting the read as a reader's.
    PlistValue effectiveValue(const QString& key) const;
    // The stored value when it can stand for key's registered one; null otherwise.
    const PlistValue* usableStoredValue(const QString& key) const;
    void setAsidePersistentFile(const QString& reason);
    // Runs change, then tells observers of every key among keys whose effective value changed.
    void changeValues(const QStringList& keys, const std::function<void()>& change);
    void notify(const QString& key);
    void scheduleWrite();

    QString m_filePath;
    PlistDictionary m_registered;
    QHash<QString, std::pair<double, double>> m_ranges;
    QString m_setAsideFilePath;
    PlistDictionary m_user;
    std::vector<Registration> m_observers;
    ObserverToken m_nextToken = 1;
    bool m_dirty = false;
    bool m_writeScheduled = false;
    // Counted from const readers, so kept apart from the values.
    mutable quint64 m_unregisteredReadCount = 0;
    mutable QSet<QString> m_unregisteredKeysRead;
    mutable QSet<QString> m_unusableKeysLogged;
    // Set when the file exists but could not be read or set aside: writing would destroy it.
    bool m_writeBlocked = false;
    // Receives the deferred write; deleting it with the instance cancels a write still queued.
    std::unique_ptr<QObject> m_writeContext;
};
