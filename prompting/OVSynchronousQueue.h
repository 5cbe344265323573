#pragma once

#include "prompting/OVSynchronousQueueItem.h"

#include <memory>
#include <vector>

// A fixed list of steps run forwards or backwards, with one step always first and one always last
// in both directions, so each step's change can be undone in reverse order by the other run.
// Steps without a post delay run inside the execute call; a post delay hands the next step to the
// main run loop.
class OVSynchronousQueue {
public:
    using Item = std::shared_ptr<OVSynchronousQueueItem>;

    OVSynchronousQueue() = default;
    ~OVSynchronousQueue();
    OVSynchronousQueue(const OVSynchronousQueue&) = delete;
    OVSynchronousQueue& operator=(const OVSynchronousQueue&) = delete;

    static std::unique_ptr<OVSynchronousQueue> synchronousQueue();

    // The mutators do nothing while a run is under way.
    void addItemToQueue(Item item);
    void setAlwaysFirstItem(Item item);
    void setAlwaysLastItem(Item item);
    void setQueue(const std::vector<Item>& items);
    // The middle items, in insertion order.
    std::vector<Item> queue() const { return m_queue; }
    const Item& alwaysFirstItem() const { return m_alwaysFirstItem; }
    const Item& alwaysLastItem() const { return m_alwaysLastItem; }

    void executeQueue() { _executeQueueInReverse(false); }
    void executeQueueInReverse() { _executeQueueInReverse(true); }
    void _executeQueueInReverse(bool reverse);

    double delayMultiplier() const { return m_delayMultiplier; }
    void setDelayMultiplier(double multiplier) { m_delayMultiplier = multiplier; }

    bool isExecuting() const { return m_isExecuting; }
    // Ends a run that a failing step interrupted, so the queue can run again.
    void abandonExecution();

private:
    void _executeItem(std::size_t index);
    void finishRun();

    Item m_alwaysFirstItem;
    Item m_alwaysLastItem;
    std::vector<Item> m_queue;
    // The items of the run under way: the middle items with the end items around them.
    std::vector<Item> m_running;
    double m_delayMultiplier = 1.0;
    std::size_t m_index = 0;
    bool m_executeInReverse = false;
    bool m_isExecuting = false;
};
