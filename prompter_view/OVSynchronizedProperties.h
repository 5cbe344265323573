#pragma once

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/PlistValue.h"

#include <QString>
#include <QVariantMap>

#include <functional>
#include <optional>

// Keeps every instance of a view class in step with the others: a change made in one is posted
// with the instance's properties, every other instance loads them without posting again (so nothing
// echoes), and the properties are written once to the user defaults after the current event, however
// many changes the event made. Off until the class-wide switch of its scheme is turned on.
class OVSynchronizedProperties {
public:
    // One per class: its notifications, its user-defaults key and its switch.
    struct Scheme {
        QString internalNotification;
        QString publicNotification;
        QString defaultsKey;
        bool enabled = false;
    };
    using PropertiesFunction = std::function<PlistDictionary()>;
    using LoadFunction = std::function<void(const PlistDictionary& properties)>;

    // properties answers the owner's current properties; load applies another instance's.
    OVSynchronizedProperties(Scheme& scheme, const void* owner, PropertiesFunction properties,
                             LoadFunction load);
    OVSynchronizedProperties(const OVSynchronizedProperties&) = delete;
    OVSynchronizedProperties& operator=(const OVSynchronizedProperties&) = delete;

    // While suspended (nestable), changes are not posted: set-up and loading use it.
    void suspendPosting() { ++m_suspended; }
    void resumePosting() { --m_suspended; }
    bool isPostingSuspended() const { return m_suspended > 0; }

    // Called after each change of a synchronised property.
    void postChange();

    // The stored dictionary under the scheme's key (the registered one when the user has none).
    static PlistDictionary storedProperties(const Scheme& scheme);
    // What a class registers: its initial properties under the scheme's key.
    static PlistDictionary initialDefaultsDictionary(const Scheme& scheme, const PlistDictionary& initial);
    // The stored properties when there is a dictionary under the key, else the initial ones.
    static PlistDictionary defaultProperties(const Scheme& scheme, const PlistDictionary& initial);
    // Stores the dictionary; an empty optional removes the key.
    static void setStoredProperties(const Scheme& scheme, const std::optional<PlistDictionary>& properties);

    // Notifications carry the properties as plain values, so any observer reads them.
    static QVariantMap userInfoFromProperties(const PlistDictionary& properties);
    static PlistDictionary propertiesFromUserInfo(const QVariantMap& userInfo);

private:
    Scheme& m_scheme;
    const void* m_owner;
    PropertiesFunction m_properties;
    LoadFunction m_load;
    int m_suspended = 0;
    NotificationObserver m_observer;
};

// The class-wide settings every synchronised view class answers by name: its registered defaults,
// the stored defaults, and the switch. Owner supplies synchronizationScheme() and
// initialDefaultProperties().
template <typename Owner>
class OVSynchronizedSettings {
public:
    static PlistDictionary initialDefaultsDictionary()
    {
        return OVSynchronizedProperties::initialDefaultsDictionary(Owner::synchronizationScheme(),
                                                                   Owner::initialDefaultProperties());
    }
    static PlistDictionary defaultProperties()
    {
        return OVSynchronizedProperties::defaultProperties(Owner::synchronizationScheme(),
                                                           Owner::initialDefaultProperties());
    }
    static void setPropertiesAsDefaults(const std::optional<PlistDictionary>& properties)
    {
        OVSynchronizedProperties::setStoredProperties(Owner::synchronizationScheme(), properties);
    }
    static void enableGlobalSynchronizedPropertyChanges() { Owner::synchronizationScheme().enabled = true; }
    static void disableGlobalSynchronizedPropertyChanges() { Owner::synchronizationScheme().enabled = false; }
    static bool globalSynchronizedPropertyChangesEnabled() { return Owner::synchronizationScheme().enabled; }
};
