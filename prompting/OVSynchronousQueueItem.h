#pragma once

#include <QString>
#include <QVariant>

#include <functional>
#include <memory>

// One step of an OVSynchronousQueue: an operation on an object, named by its selector, with an
// optional argument and the delay to wait after it before the next step (negative: none, the
// next step runs in the same call).
class OVSynchronousQueueItem {
public:
    using Action = std::function<void(const QVariant& argument)>;

    static constexpr double kNoPostDelay = -1.0;

    OVSynchronousQueueItem(const void* object, QString selector, Action action, QVariant argument,
                           double postDelay);

    static std::shared_ptr<OVSynchronousQueueItem> itemWithObject(const void* object, const QString& selector,
                                                                  Action action);
    static std::shared_ptr<OVSynchronousQueueItem> itemWithObject(const void* object, const QString& selector,
                                                                  Action action, const QVariant& argument);
    static std::shared_ptr<OVSynchronousQueueItem> itemWithObject(const void* object, const QString& selector,
                                                                  Action action, double postDelay);
    static std::shared_ptr<OVSynchronousQueueItem> itemWithObject(const void* object, const QString& selector,
                                                                  Action action, const QVariant& argument,
                                                                  double postDelay);

    const void* object() const { return m_object; }
    const QString& selector() const { return m_selector; }
    const QVariant& argument() const { return m_argument; }
    double postDelay() const { return m_postDelay; }

    // Sends the selector to the object, with the argument when there is one.
    void perform() const;

private:
    const void* m_object;
    QString m_selector;
    Action m_action;
    QVariant m_argument;
    double m_postDelay;
};
