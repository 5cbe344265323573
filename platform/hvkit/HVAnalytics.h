#pragma once

#include "platform/foundation/Error.h"

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>

class UserDefaults;

// The local usage-statistics store: counters and a few values on dotted key paths
// ("promptMode.sessions.singleScreen"), kept in a file in the application's data folder.
// Nothing is ever sent anywhere; the user can switch counting off.
class HVAnalytics {
public:
    // An empty path keeps the store in memory only.
    explicit HVAnalytics(QString filePath = {});

    // "Analytics.plist" in the application's data folder.
    static QString defaultFilePath();
    // The name the store goes by in settings exports and support attachments.
    static QString userDefaultsKey();

    const QString& filePath() const { return m_filePath; }

    // A switched-off store counts nothing and answers no statistics.
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);

    // While off, changes are kept in memory only (prompting must not wait on the disk); switching
    // it back on writes what accumulated.
    bool persistsChanges() const { return m_persistsChanges; }
    void setPersistsChanges(bool persists);

    // Counters. Each answers the new value; a key path that is not valid changes nothing.
    qint64 incrementIntegerForKeyPath(const QString& keyPath, qint64 by = 1);
    // Stores value when it is larger than the stored one (or nothing is stored yet).
    void raiseIntegerForKeyPath(const QString& keyPath, qint64 value);
    void raiseDoubleForKeyPath(const QString& keyPath, double value);
    void setObjectForKeyPath(const QVariant& value, const QString& keyPath);

    QVariant objectForKeyPath(const QString& keyPath) const;
    qint64 integerForKeyPath(const QString& keyPath) const;
    double doubleForKeyPath(const QString& keyPath) const;
    // The sum of the non-negative integers of the dictionary at keyPath, at any depth.
    quint64 unsignedIntegerSumForDictionaryObjectForKeyPath(const QString& keyPath) const;

    // Accumulated durations: the seconds between start and stop are added to the key path.
    void startTimeForKeyPath(const QString& keyPath);
    // Answers the seconds added; 0 when the time was not started.
    double stopTimeForKeyPath(const QString& keyPath);
    bool isTimeRunningForKeyPath(const QString& keyPath) const;

    // What the program counts about itself.
    void recordAppLaunch();
    void incrementDocumentOpenedForFileExtension(const QString& extension);
    qint64 appLaunchCount() const;
    // Crashes the program found reports of at later launches.
    void addAppCrashes(qint64 count);
    qint64 appCrashCount() const;
    // The launches counted before this process recorded its own (all of them when it recorded
    // none), so a program can tell its very first launch once that launch is counted.
    qint64 earlierAppLaunchCount() const;
    // Seconds the application was active, including a running stretch.
    double appActiveTime() const;
    void applicationDidBecomeActive();
    void applicationDidResignActive();
    QString metaUUID() const;
    QDateTime metaInitialDate() const;

    // Takes in statistics an older version kept in the user defaults under key (a dictionary):
    // counts are added to the store's, other values fill in what the store lacks. The key is
    // removed afterwards. Answers whether there was anything to take in.
    bool migrateFromUserDefaultsKey(UserDefaults& defaults, const QString& key);

    // Forgets every statistic and starts a new record.
    void reset();

    // Reads the file; an unreadable or malformed file leaves an empty store and reports why.
    bool load(Error* error = nullptr);
    bool save(Error* error = nullptr);

    const QVariantMap& dictionary() const { return m_root; }

private:
    void changed();
    void ensureMeta();

    QString m_filePath;
    QVariantMap m_root;
    QVariantMap m_runningTimes; // key path -> start time stamp
    std::optional<qint64> m_earlierAppLaunchCount;
    bool m_enabled = true;
    bool m_persistsChanges = true;
    bool m_dirty = false;
};
