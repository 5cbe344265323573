#include "prompting/OVSynchronousQueueItem.h"

OVSynchronousQueueItem::OVSynchronousQueueItem(const void* object, QString selector, Action action,
                                               QVariant argument, double postDelay)
    : m_object(object), m_selector(std::move(selector)), m_action(std::move(action)),
      m_argument(std::move(argument)), m_postDelay(postDelay)
{
}

std::shared_ptr<OVSynchronousQueueItem>
OVSynchronousQueueItem::itemWithObject(const void* object, const QString& selector, Action action)
{
    return itemWithObject(object, selector, std::move(action), QVariant(), kNoPostDelay);
}

std::shared_ptr<OVSynchronousQueueItem> OVSynchronousQueueItem::itemWithObject(const void* object,
                                                                               const QString& selector,
                                                                               Action action,
                                                                               const QVariant& argument)
{
    return itemWithObject(object, selector, std::move(action), argument, kNoPostDelay);
}

std::shared_ptr<OVSynchronousQueueItem> OVSynchronousQueueItem::itemWithObject(const void* object,
                                                                               const QString& selector,
                                                                               Action action,
                                                                               double postDelay)
{
    return itemWithObject(object, selector, std::move(action), QVariant(), postDelay);
}

std::shared_ptr<OVSynchronousQueueItem>
OVSynchronousQueueItem::itemWithObject(const void* object, const QString& selector, Action action,
                                       const QVariant& argument, double postDelay)
{
    return std::make_shared<OVSynchronousQueueItem>(object, selector, std::move(action), argument, postDelay);
}

void OVSynchronousQueueItem::perform() const
{
    if (m_action)
        m_action(m_argument);
}
