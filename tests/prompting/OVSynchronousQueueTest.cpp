#include "prompting/OVSynchronousQueue.h"
#include "platform/appkit/RunLoop.h"
#include "tests/platform/appkit/TestSupport.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace {

class SynchronousQueueTest : public ::testing::Test {
protected:
    OVSynchronousQueue::Item item(const QString& name,
                                  double postDelay = OVSynchronousQueueItem::kNoPostDelay)
    {
        return OVSynchronousQueueItem::itemWithObject(
            this, name, [this, name](const QVariant& argument) { ran << name + argument.toString(); },
            QVariant(), postDelay);
    }

    void fill(OVSynchronousQueue& queue)
    {
        queue.setAlwaysFirstItem(item("first"));
        queue.setAlwaysLastItem(item("last"));
        queue.addItemToQueue(item("a"));
        queue.addItemToQueue(item("b"));
        queue.addItemToQueue(item("c"));
    }

    ManualClockScope clockScope;
    QStringList ran;
};

TEST_F(SynchronousQueueTest, RunsForwardsAndBackwardsWithTheEndItemsOutside)
{
    auto queue = OVSynchronousQueue::synchronousQueue();
    fill(*queue);
    queue->executeQueue();
    EXPECT_EQ(ran, QStringList({"first", "a", "b", "c", "last"}));
    ran.clear();
    queue->executeQueueInReverse();
    EXPECT_EQ(ran, QStringList({"first", "c", "b", "a", "last"}));
    EXPECT_FALSE(queue->isExecuting());
    EXPECT_EQ(queue->queue().size(), 3u);
}

TEST_F(SynchronousQueueTest, AQueueWithoutMiddleItemsRunsFirstThenLastInBothDirections)
{
    OVSynchronousQueue queue;
    queue.setAlwaysFirstItem(item("A"));
    queue.setAlwaysLastItem(item("B"));
    queue.executeQueueInReverse();
    queue.executeQueue();
    EXPECT_EQ(ran, QStringList({"A", "B", "A", "B"}));
}

TEST_F(SynchronousQueueTest, ItemsPassTheirArgument)
{
    OVSynchronousQueue queue;
    queue.addItemToQueue(OVSynchronousQueueItem::itemWithObject(
        this, "x", [this](const QVariant& argument) { ran << argument.toString(); },
        QVariant(QStringLiteral("arg"))));
    queue.executeQueue();
    EXPECT_EQ(ran, QStringList({"arg"}));
}

TEST_F(SynchronousQueueTest, APostDelayHandsTheNextItemToTheRunLoopScaledByTheMultiplier)
{
    OVSynchronousQueue queue;
    queue.addItemToQueue(item("a", 0.5));
    queue.addItemToQueue(item("b"));
    queue.setDelayMultiplier(2.0);
    queue.executeQueue();
    EXPECT_EQ(ran, QStringList({"a"}));
    EXPECT_TRUE(queue.isExecuting());
    RunLoop::main().advanceManualClock(clockScope.clock, 0.99);
    EXPECT_EQ(ran, QStringList({"a"}));
    RunLoop::main().advanceManualClock(clockScope.clock, 0.01);
    EXPECT_EQ(ran, QStringList({"a", "b"}));
    EXPECT_FALSE(queue.isExecuting());
}

TEST_F(SynchronousQueueTest, RefusesChangesAndSecondRunsWhileRunning)
{
    OVSynchronousQueue queue;
    queue.addItemToQueue(OVSynchronousQueueItem::itemWithObject(this, "a", [&](const QVariant&) {
        ran << "a";
        queue.addItemToQueue(item("added"));
        queue.setQueue({});
        queue.executeQueue();
    }));
    queue.executeQueue();
    EXPECT_EQ(ran, QStringList({"a"}));
    EXPECT_EQ(queue.queue().size(), 1u);
}

TEST_F(SynchronousQueueTest, AnAbandonedRunCanBeFollowedByANewOne)
{
    OVSynchronousQueue queue;
    bool fail = true;
    queue.addItemToQueue(OVSynchronousQueueItem::itemWithObject(this, "a", [&](const QVariant&) {
        if (fail)
            throw std::runtime_error("step failed");
        ran << "a";
    }));
    EXPECT_THROW(queue.executeQueue(), std::runtime_error);
    EXPECT_TRUE(queue.isExecuting());
    queue.abandonExecution();
    fail = false;
    queue.executeQueue();
    EXPECT_EQ(ran, QStringList({"a"}));
}

} // namespace
