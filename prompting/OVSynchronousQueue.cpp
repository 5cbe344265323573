#include "prompting/OVSynchronousQueue.h"

#include "platform/appkit/RunLoop.h"

namespace {

const QString kExecuteItemSelector = QStringLiteral("_executeItem:");

} // namespace

OVSynchronousQueue::~OVSynchronousQueue()
{
    RunLoop::main().cancelPreviousPerformRequests(this);
}

std::unique_ptr<OVSynchronousQueue> OVSynchronousQueue::synchronousQueue()
{
    return std::make_unique<OVSynchronousQueue>();
}

void OVSynchronousQueue::addItemToQueue(Item item)
{
    if (m_isExecuting || !item)
        return;
    m_queue.push_back(std::move(item));
}

void OVSynchronousQueue::setAlwaysFirstItem(Item item)
{
    if (!m_isExecuting)
        m_alwaysFirstItem = std::move(item);
}

void OVSynchronousQueue::setAlwaysLastItem(Item item)
{
    if (!m_isExecuting)
        m_alwaysLastItem = std::move(item);
}

void OVSynchronousQueue::setQueue(const std::vector<Item>& items)
{
    if (!m_isExecuting)
        m_queue = items;
}

void OVSynchronousQueue::_executeQueueInReverse(bool reverse)
{
    if (m_isExecuting)
        return;
    // An empty middle always runs forwards, so the first item still comes first.
    m_executeInReverse = reverse && !m_queue.empty();
    const Item& front = m_executeInReverse ? m_alwaysLastItem : m_alwaysFirstItem;
    const Item& back = m_executeInReverse ? m_alwaysFirstItem : m_alwaysLastItem;
    m_running.clear();
    if (front)
        m_running.push_back(front);
    m_running.insert(m_running.end(), m_queue.begin(), m_queue.end());
    if (back)
        m_running.push_back(back);
    if (m_running.empty())
        return;
    m_isExecuting = true;
    _executeItem(m_executeInReverse ? m_running.size() - 1 : 0);
}

void OVSynchronousQueue::_executeItem(std::size_t index)
{
    // A loop rather than recursion, so a long queue without delays runs in constant stack.
    for (;;) {
        m_index = index;
        const Item item = m_running[index];
        item->perform();
        if (!m_isExecuting)
            return;
        const bool pastEnd = m_executeInReverse ? index == 0 : index + 1 >= m_running.size();
        if (pastEnd) {
            finishRun();
            return;
        }
        index = m_executeInReverse ? index - 1 : index + 1;
        if (item->postDelay() >= 0) {
            RunLoop::main().performAfterDelay(item->postDelay() * m_delayMultiplier, this,
                                              kExecuteItemSelector, [this, index] { _executeItem(index); });
            return;
        }
    }
}

void OVSynchronousQueue::finishRun()
{
    m_running.clear();
    m_isExecuting = false;
}

void OVSynchronousQueue::abandonExecution()
{
    RunLoop::main().cancelPreviousPerformRequests(this, kExecuteItemSelector);
    finishRun();
}
