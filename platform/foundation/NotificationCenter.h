#pragma once

#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>

// What a poster tells its observers: a name, the object it concerns (compared by address only, never
// dereferenced by the centre) and a dictionary of details.
struct Notification {
    QString name;
    const void* object = nullptr;
    QVariantMap userInfo;
};

// Name-based notifications between objects that do not know each other. Delivery is synchronous on
// the main thread, in the order observers registered; a post from another thread is queued to the
// main thread. Observers may add and remove observers, themselves included, and post again while a
// notification is being delivered.
class NotificationCenter {
public:
    using Callback = std::function<void(const Notification&)>;
    // Identifies one registration; 0 is never handed out.
    using ObserverId = quint64;

    NotificationCenter();
    ~NotificationCenter();
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    // The process-wide centre.
    static NotificationCenter& shared();

    // Calls callback for every notification named name (any name when empty) posted with object
    // (any object when null). owner lets removeObserver(owner) drop all of an object's registrations.
    ObserverId addObserver(const QString& name, const void* object, Callback callback,
                           const void* owner = nullptr);
    void removeObserver(ObserverId id);
    // Drops every registration made with this owner.
    void removeObserver(const void* owner);
    // Drops the owner's registrations for name and object; an empty name or null object matches all.
    void removeObserver(const void* owner, const QString& name, const void* object);

    void postNotification(const Notification& notification);
    void postNotification(const QString& name, const void* object = nullptr,
                          const QVariantMap& userInfo = {});
    // Delivers on a later pass of the main thread's event loop, from whichever thread it is called.
    void postNotificationLater(const Notification& notification);
    void postNotificationLater(const QString& name, const void* object = nullptr,
                               const QVariantMap& userInfo = {});

    qsizetype observerCount() const;

private:
    friend class NotificationObserver;
    struct State;
    std::shared_ptr<State> m_state;
};

// Holds one registration and removes it when destroyed, so an observer that keeps its
// NotificationObserver members stops receiving notifications with its own destruction. Safe to
// outlive its centre.
class NotificationObserver {
public:
    NotificationObserver() = default;
    NotificationObserver(NotificationCenter& center, const QString& name, const void* object,
                         NotificationCenter::Callback callback);
    ~NotificationObserver();
    NotificationObserver(NotificationObserver&& other) noexcept;
    NotificationObserver& operator=(NotificationObserver&& other) noexcept;
    NotificationObserver(const NotificationObserver&) = delete;
    NotificationObserver& operator=(const NotificationObserver&) = delete;

    bool isActive() const;
    void reset();

private:
    std::weak_ptr<NotificationCenter::State> m_state;
    NotificationCenter::ObserverId m_id = 0;
};
