#include "platform/hvkit/HVEventBlocker.h"
#include "platform/foundation/Clock.h"

#include <QCoreApplication>
#include <QEvent>

#include <gtest/gtest.h>

namespace {

// Counts the events that reach it.
class Receiver : public QObject {
public:
    using QObject::QObject;
    bool event(QEvent* event) override
    {
        received << event->type();
        return true;
    }
    QList<QEvent::Type> received;
};

void send(QObject* receiver, QEvent::Type type)
{
    QEvent event(type);
    QCoreApplication::sendEvent(receiver, &event);
}

class HVEventBlockerTest : public ::testing::Test {
protected:
    void SetUp() override { Clock::setShared(&clock); }
    void TearDown() override
    {
        HVEventBlocker::sharedBlocker().unblockApp();
        Clock::setShared(nullptr);
    }
    ManualClock clock{100.0};
};

} // namespace

TEST_F(HVEventBlockerTest, BlockedApplicationGetsNoInputButOtherEvents)
{
    Receiver receiver;
    HVEventBlocker::sharedBlocker().blockAppWithOptions(1);
    send(&receiver, QEvent::KeyPress);
    send(&receiver, QEvent::MouseButtonPress);
    send(&receiver, QEvent::Wheel);
    send(&receiver, QEvent::Timer);
    EXPECT_EQ(receiver.received, QList<QEvent::Type>{QEvent::Timer});
    HVEventBlocker::sharedBlocker().unblockApp();
    send(&receiver, QEvent::KeyPress);
    EXPECT_EQ(receiver.received.last(), QEvent::KeyPress);
}

TEST_F(HVEventBlockerTest, ScopedBlockEndsWhateverHappensInside)
{
    Receiver receiver;
    auto failingStep = [] {
        HVEventBlocker::AppBlock block(1);
        EXPECT_TRUE(HVEventBlocker::sharedBlocker().isAppBlocked());
        return false;
    };
    EXPECT_FALSE(failingStep());
    EXPECT_FALSE(HVEventBlocker::sharedBlocker().isAppBlocked());
    send(&receiver, QEvent::KeyPress);
    EXPECT_EQ(receiver.received.size(), 1);
}

TEST_F(HVEventBlockerTest, BlockedWindowIsFreedWhenItsTimeHasPassed)
{
    Receiver window;
    Receiver inside(&window);
    Receiver elsewhere;
    HVEventBlocker::sharedBlocker().blockWindow(&window, 0, 0.4);
    send(&inside, QEvent::MouseButtonPress);
    send(&elsewhere, QEvent::MouseButtonPress);
    EXPECT_TRUE(inside.received.isEmpty());
    EXPECT_EQ(elsewhere.received.size(), 1);
    EXPECT_TRUE(HVEventBlocker::sharedBlocker().isWindowBlocked(&window));

    clock.advance(0.4);
    EXPECT_FALSE(HVEventBlocker::sharedBlocker().isWindowBlocked(&window));
    send(&inside, QEvent::MouseButtonPress);
    EXPECT_EQ(inside.received.size(), 1);
}

TEST_F(HVEventBlockerTest, DestroyedWindowOrZeroDurationBlocksNothing)
{
    auto window = std::make_unique<Receiver>();
    HVEventBlocker::sharedBlocker().blockWindow(window.get(), 0, 5);
    window.reset();
    HVEventBlocker::sharedBlocker().blockWindow(nullptr, 0, 5);
    Receiver other;
    HVEventBlocker::sharedBlocker().blockWindow(&other, 0, 0);
    send(&other, QEvent::KeyPress);
    EXPECT_EQ(other.received.size(), 1);
}
