#include "platform/foundation/NotificationCenter.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <vector>

namespace {

const QString kNameA = QStringLiteral("TestDidChangeNotification");
const QString kNameB = QStringLiteral("TestDidEndNotification");

// Runs the main thread's queue until done() holds or a generous bound passes, without sleeping.
template <typename Done> bool processEventsUntil(Done done)
{
    QDeadlineTimer deadline(5000);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    return done();
}

} // namespace

TEST(NotificationCenterTest, FiltersByNameAndObjectAndDeliversInRegistrationOrder)
{
    NotificationCenter center;
    int sender = 0;
    int other = 0;
    std::vector<QString> calls;
    center.addObserver(kNameA, nullptr, [&](const Notification&) { calls.push_back("anyObject"); });
    center.addObserver(kNameA, &sender, [&](const Notification& n) {
        EXPECT_EQ(n.object, &sender);
        EXPECT_EQ(n.userInfo.value("key").toInt(), 7);
        calls.push_back("sender");
    });
    center.addObserver({}, &sender, [&](const Notification& n) { calls.push_back("anyName:" + n.name); });
    center.addObserver(kNameB, nullptr, [&](const Notification&) { calls.push_back("B"); });

    center.postNotification(kNameA, &sender, {{"key", 7}});
    EXPECT_EQ(calls, (std::vector<QString>{"anyObject", "sender", "anyName:" + kNameA}));
    calls.clear();
    center.postNotification(kNameA, &other);
    center.postNotification(kNameB);
    EXPECT_EQ(calls, (std::vector<QString>{"anyObject", "B"}));
}

TEST(NotificationCenterTest, ObserversRemovedDuringDeliveryAreNotCalled)
{
    NotificationCenter center;
    std::vector<int> calls;
    NotificationCenter::ObserverId second = 0;
    NotificationCenter::ObserverId first = center.addObserver(kNameA, nullptr, [&](const Notification&) {
        calls.push_back(1);
        center.removeObserver(first);
        center.removeObserver(second);
        center.addObserver(kNameA, nullptr, [&](const Notification&) { calls.push_back(4); });
    });
    second = center.addObserver(kNameA, nullptr, [&](const Notification&) { calls.push_back(2); });
    center.addObserver(kNameA, nullptr, [&](const Notification&) { calls.push_back(3); });

    center.postNotification(kNameA);
    EXPECT_EQ(calls, (std::vector<int>{1, 3})) << "added during delivery waits for the next post";
    calls.clear();
    center.postNotification(kNameA);
    EXPECT_EQ(calls, (std::vector<int>{3, 4}));
}

TEST(NotificationCenterTest, ReentrantPostsAndOwnerRemoval)
{
    NotificationCenter center;
    int owner = 0;
    std::vector<QString> calls;
    center.addObserver(
        kNameA, nullptr,
        [&](const Notification&) {
            calls.push_back("A");
            center.postNotification(kNameB);
        },
        &owner);
    center.addObserver(
        kNameB, nullptr, [&](const Notification&) { calls.push_back("B"); }, &owner);
    center.addObserver(kNameB, nullptr, [&](const Notification&) { calls.push_back("B2"); });

    center.postNotification(kNameA);
    EXPECT_EQ(calls, (std::vector<QString>{"A", "B", "B2"}));

    center.removeObserver(&owner, kNameB, nullptr);
    EXPECT_EQ(center.observerCount(), 2);
    center.removeObserver(&owner);
    EXPECT_EQ(center.observerCount(), 1);
}

TEST(NotificationCenterTest, ObserverTokenRemovesOnDestructionAndMayOutliveItsCenter)
{
    int calls = 0;
    NotificationObserver survivor;
    {
        NotificationCenter center;
        {
            NotificationObserver token(center, kNameA, nullptr, [&](const Notification&) { ++calls; });
            EXPECT_TRUE(token.isActive());
            center.postNotification(kNameA);
        }
        center.postNotification(kNameA);
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(center.observerCount(), 0);

        // An observer that destroys its own token inside the callback is not harmed.
        auto selfRemoving = std::make_unique<NotificationObserver>();
        *selfRemoving = NotificationObserver(center, kNameA, nullptr, [&](const Notification&) {
            ++calls;
            selfRemoving.reset();
        });
        center.postNotification(kNameA);
        center.postNotification(kNameA);
        EXPECT_EQ(calls, 2);

        survivor = NotificationObserver(center, kNameA, nullptr, [](const Notification&) {});
    }
    EXPECT_FALSE(survivor.isActive());
}

TEST(NotificationCenterTest, PostFromAnotherThreadIsDeliveredOnTheMainThread)
{
    NotificationCenter center;
    QThread* deliveredOn = nullptr;
    QVariantMap received;
    center.addObserver(kNameA, nullptr, [&](const Notification& n) {
        deliveredOn = QThread::currentThread();
        received = n.userInfo;
    });

    std::unique_ptr<QThread> worker(QThread::create([&] {
        center.postNotification(kNameA, nullptr, {{"n", 42}});
    }));
    worker->start();
    ASSERT_TRUE(worker->wait(5000));
    EXPECT_EQ(deliveredOn, nullptr) << "nothing may run on the worker";

    ASSERT_TRUE(processEventsUntil([&] { return deliveredOn != nullptr; }));
    EXPECT_EQ(deliveredOn, QCoreApplication::instance()->thread());
    EXPECT_EQ(received.value("n").toInt(), 42);
}

TEST(NotificationCenterTest, LaterPostsWaitForTheEventLoopAndSkipADestroyedCenter)
{
    int calls = 0;
    {
        NotificationCenter center;
        center.addObserver(kNameA, nullptr, [&](const Notification&) { ++calls; });
        center.postNotificationLater(kNameA);
        EXPECT_EQ(calls, 0);
        ASSERT_TRUE(processEventsUntil([&] { return calls == 1; }));

        center.postNotificationLater(kNameA);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 1);
}

TEST(NotificationCenterTest, AnObserverMayDestroyTheCenterItIsCalledFrom)
{
    auto center = std::make_unique<NotificationCenter>();
    int calls = 0;
    center->addObserver(kNameA, nullptr, [&](const Notification&) {
        ++calls;
        center.reset();
    });
    center->addObserver(kNameA, nullptr, [&](const Notification&) { ++calls; });
    center->postNotification(kNameA);
    EXPECT_EQ(calls, 2) << "observers snapshotted before the centre went away still hear this post";
}

TEST(NotificationCenterTest, SharedCenterIsOneInstance)
{
    EXPECT_EQ(&NotificationCenter::shared(), &NotificationCenter::shared());
}
