#include "platform/foundation/NotificationCenter.h"

#include <QCoreApplication>
#include <QThread>
#include <QVarLengthArray>

#include <algorithm>
#include <vector>

namespace {

struct Registration {
    NotificationCenter::ObserverId id = 0;
    QString name;
    const void* object = nullptr;
    const void* owner = nullptr;
    NotificationCenter::Callback callback;
    // Set on removal so a delivery already under way skips an observer removed before its turn.
    bool removed = false;

    bool matches(const Notification& notification) const
    {
        return (name.isEmpty() || name == notification.name) && (!object || object == notification.object);
    }
};

bool isMainThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

} // namespace

struct NotificationCenter::State {
    std::vector<std::shared_ptr<Registration>> registrations;
    ObserverId nextId = 1;

    template <typename Predicate> void removeIf(Predicate predicate)
    {
        std::erase_if(registrations, [&](const std::shared_ptr<Registration>& registration) {
            if (!predicate(*registration))
                return false;
            registration->removed = true;
            return true;
        });
    }

    // Takes the matching observers first, so observers added during delivery wait for the next post;
    // each one is kept alive by the snapshot even if it removes itself inside its own callback. The
    // state is held by value, so an observer may even destroy the centre while it is being called.
    static void deliver(std::shared_ptr<State> state, const Notification& notification)
    {
        QVarLengthArray<std::shared_ptr<Registration>, 16> targets;
        for (const auto& registration : state->registrations) {
            if (registration->matches(notification))
                targets.append(registration);
        }
        for (const auto& registration : targets) {
            if (!registration->removed)
                registration->callback(notification);
        }
    }

    static void queue(const std::shared_ptr<State>& state, const Notification& notification)
    {
        QCoreApplication* app = QCoreApplication::instance();
        if (!app) {
            deliver(state, notification);
            return;
        }
        // The centre may be gone by the time the main thread gets to it; then nobody is listening.
        QMetaObject::invokeMethod(
            app,
            [weak = std::weak_ptr<State>(state), notification] {
                if (const auto alive = weak.lock())
                    deliver(alive, notification);
            },
            Qt::QueuedConnection);
    }
};

NotificationCenter::NotificationCenter() : m_state(std::make_shared<State>()) {}

NotificationCenter::~NotificationCenter() = default;

NotificationCenter& NotificationCenter::shared()
{
    static NotificationCenter center;
    return center;
}

NotificationCenter::ObserverId NotificationCenter::addObserver(const QString& name, const void* object,
                                                               Callback callback, const void* owner)
{
    Q_ASSERT(isMainThread());
    if (!callback)
        return 0;
    auto registration = std::make_shared<Registration>();
    registration->id = m_state->nextId++;
    registration->name = name;
    registration->object = object;
    registration->owner = owner;
    registration->callback = std::move(callback);
    m_state->registrations.push_back(registration);
    return registration->id;
}

void NotificationCenter::removeObserver(ObserverId id)
{
    Q_ASSERT(isMainThread());
    if (id == 0)
        return;
    m_state->removeIf([id](const Registration& registration) { return registration.id == id; });
}

void NotificationCenter::removeObserver(const void* owner)
{
    Q_ASSERT(isMainThread());
    if (!owner)
        return;
    m_state->removeIf([owner](const Registration& registration) { return registration.owner == owner; });
}

void NotificationCenter::removeObserver(const void* owner, const QString& name, const void* object)
{
    Q_ASSERT(isMainThread());
    if (!owner)
        return;
    m_state->removeIf([&](const Registration& registration) {
        return registration.owner == owner && (name.isEmpty() || registration.name == name) &&
               (!object || registration.object == object);
    });
}

void NotificationCenter::postNotification(const Notification& notification)
{
    if (isMainThread())
        State::deliver(m_state, notification);
    else
        State::queue(m_state, notification);
}

void NotificationCenter::postNotification(const QString& name, const void* object,
                                          const QVariantMap& userInfo)
{
    postNotification(Notification{name, object, userInfo});
}

void NotificationCenter::postNotificationLater(const Notification& notification)
{
    State::queue(m_state, notification);
}

void NotificationCenter::postNotificationLater(const QString& name, const void* object,
                                               const QVariantMap& userInfo)
{
    postNotificationLater(Notification{name, object, userInfo});
}

qsizetype NotificationCenter::observerCount() const
{
    return qsizetype(m_state->registrations.size());
}

NotificationObserver::NotificationObserver(NotificationCenter& center, const QString& name,
                                           const void* object, NotificationCenter::Callback callback)
    : m_state(center.m_state), m_id(center.addObserver(name, object, std::move(callback)))
{
}

NotificationObserver::~NotificationObserver()
{
    reset();
}

NotificationObserver::NotificationObserver(NotificationObserver&& other) noexcept
    : m_state(std::move(other.m_state)), m_id(std::exchange(other.m_id, 0))
{
}

NotificationObserver& NotificationObserver::operator=(NotificationObserver&& other) noexcept
{
    if (this != &other) {
        reset();
        m_state = std::move(other.m_state);
        m_id = std::exchange(other.m_id, 0);
    }
    return *this;
}

bool NotificationObserver::isActive() const
{
    const auto state = m_state.lock();
    if (!state || m_id == 0)
        return false;
    return std::any_of(state->registrations.begin(), state->registrations.end(),
                       [this](const auto& registration) { return registration->id == m_id; });
}

void NotificationObserver::reset()
{
    if (const auto state = m_state.lock(); state && m_id != 0)
        state->removeIf([id = m_id](const Registration& registration) { return registration.id == id; });
    m_state.reset();
    m_id = 0;
}
