#include "platform/hvkit/HVInputMonitor.h"
#include "platform/appkit/AppKitNotifications.h"
#include "platform/appkit/RunLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/hvkit/HVCursorAdditions.h"
#include "platform/hvkit/HVMouseMovementController.h"
#include "tests/platform/appkit/TestSupport.h"

#include <QGuiApplication>
#include <QStringList>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

Event keyEvent(Event::Type type, unsigned short ignoringModifiers, unsigned long flags = 0,
               unsigned short typed = 0, unsigned short keyCode = 0)
{
    Event event;
    event.type = type;
    event.charactersIgnoringModifiers = QString(QChar(char16_t(ignoringModifiers)));
    event.characters = QString(QChar(char16_t(typed ? typed : ignoringModifiers)));
    event.modifierFlags = flags;
    event.keyCode = keyCode;
    return event;
}

Event press(unsigned short key, unsigned long flags = 0, unsigned short typed = 0, unsigned short keyCode = 0)
{
    return keyEvent(Event::Type::KeyDown, key, flags, typed, keyCode);
}

Event release(unsigned short key, unsigned long flags = 0, unsigned short keyCode = 0)
{
    return keyEvent(Event::Type::KeyUp, key, flags, 0, keyCode);
}

class InputMonitorTest : public ::testing::Test {
protected:
    // A key responder that logs "<name> down|up|repeat".
    std::shared_ptr<HVKeyInputResponder> logging(const QString& name, unsigned short key,
                                                 unsigned options = 0)
    {
        return HVKeyInputResponder::keyInputResponderWithHotKeyValue(
            key, 0, options, [this, name](Event& event, bool down) {
                log << name + (down ? (event.isARepeat ? " repeat" : " down") : " up");
            });
    }

    HVInputMonitor monitor;
    QStringList log;
};

TEST_F(InputMonitorTest, LettersMatchWithoutRegardToCaseAndOnlyTheFirstResponderTakesAKey)
{
    monitor.addInputResponder(logging("boost", 'S'));
    monitor.addInputResponder(logging("other", 's'));
    Event lower = press('s');
    EXPECT_FALSE(monitor.handleEvent(lower));
    Event upper = release('S', kShiftKeyMask);
    EXPECT_FALSE(monitor.handleEvent(upper));
    EXPECT_EQ(log, QStringList({"boost down", "boost up"}));

    // A key nobody takes goes on to the application.
    Event free = press('x');
    EXPECT_TRUE(monitor.handleEvent(free));
    Event freeUp = release('x');
    EXPECT_TRUE(monitor.handleEvent(freeUp));
}

TEST_F(InputMonitorTest, TheReleaseReachesThePressingResponderWhateverTheModifiersDid)
{
    monitor.addInputResponder(logging("down", 0xF701));
    monitor.addInputResponder(logging("digit", '1', HVInputResponderOptionRefusesOption));
    Event down = press(0xF701);
    monitor.handleEvent(down);
    Event downWithOption = release(0xF701, kOptionKeyMask);
    monitor.handleEvent(downWithOption);
    // The hardware key ties press and release when the character changed under Shift.
    Event one = press('1', 0, 0, 18);
    monitor.handleEvent(one);
    Event bang = release('!', kShiftKeyMask, 18);
    EXPECT_FALSE(monitor.handleEvent(bang));
    EXPECT_EQ(log, QStringList({"down down", "down up", "digit down", "digit up"}));
}

TEST_F(InputMonitorTest, OptionsDecideModifiersRepeatsAndTypedCharacters)
{
    monitor.addInputResponder(logging(
        "boost", 'S', HVInputResponderOptionIgnoresKeyEquivalents | HVInputResponderOptionIgnoresRepeats));
    monitor.addInputResponder(logging("alt", 0xA0, HVInputResponderOptionMatchesTypedCharacter));
    monitor.addInputResponder(logging("plain", 0xA0));

    Event save = press('s', kCommandKeyMask);
    EXPECT_TRUE(monitor.handleEvent(save)) << "Command-S belongs to the menus";
    Event control = press('s', kControlKeyMask);
    EXPECT_TRUE(monitor.handleEvent(control));

    Event boost = press('s');
    monitor.handleEvent(boost);
    Event repeat = press('s');
    repeat.isARepeat = true;
    EXPECT_FALSE(monitor.handleEvent(repeat)) << "a repeat is taken even when not handed on";
    Event boostUp = release('s');
    monitor.handleEvent(boostUp);

    Event optionSpace = press(' ', kOptionKeyMask, 0xA0);
    monitor.handleEvent(optionSpace);
    EXPECT_EQ(log, QStringList({"boost down", "boost up", "alt down"}));
}

TEST_F(InputMonitorTest, RequiredModifiersAndKeyZero)
{
    monitor.addInputResponder(HVKeyInputResponder::keyInputResponderWithHotKeyValue(
        'k', kCommandKeyMask, 0, [this](Event&, bool) { log << "command-k"; }));
    monitor.addInputResponder(logging("none", 0));
    Event plain = press('k');
    EXPECT_TRUE(monitor.handleEvent(plain));
    Event command = press('k', kCommandKeyMask);
    EXPECT_FALSE(monitor.handleEvent(command));
    Event nul = press(0);
    EXPECT_TRUE(monitor.handleEvent(nul));
    EXPECT_EQ(log, QStringList({"command-k"}));
}

TEST_F(InputMonitorTest, KeysStillDownAreReleasedWhenTheApplicationResignsActive)
{
    monitor.addInputResponder(logging("down", 0xF701));
    monitor.start();
    Event down = press(0xF701);
    monitor.handleEvent(down);
    NotificationCenter::shared().postNotification(kApplicationDidResignActiveNotification);
    EXPECT_EQ(log, QStringList({"down down", "down up"}));
    // The real release that comes later finds nothing to release.
    Event late = release(0xF701);
    EXPECT_TRUE(monitor.handleEvent(late));
    monitor.stop();
    NotificationCenter::shared().postNotification(kApplicationDidResignActiveNotification);
    EXPECT_EQ(log.size(), 2);
}

TEST_F(InputMonitorTest, ABlockMayStopTheMonitorAndDropEveryResponder)
{
    monitor.start();
    monitor.addInputResponder(
        HVKeyInputResponder::keyInputResponderWithHotKeyValue(27, 0, 0, [this](Event&, bool) {
            monitor.stop();
            monitor.removeAllInputResponders();
            log << "stopped";
        }));
    Event escape = press(27);
    EXPECT_FALSE(monitor.handleEvent(escape));
    EXPECT_FALSE(monitor.isStarted());
    EXPECT_TRUE(monitor.inputResponders().empty());
    Event escapeUp = release(27);
    EXPECT_TRUE(monitor.handleEvent(escapeUp));
    EXPECT_EQ(log, QStringList({"stopped"}));
}

TEST_F(InputMonitorTest, MouseButtonsMovementAndWheelDirection)
{
    QStringList seen;
    monitor.addInputResponder(HVMouseDownInputResponder::mouseDownInputResponderForButtonMask(
        0b011, 0, 0, [&seen](Event& event, bool down) {
            seen << QStringLiteral("%1 %2").arg(event.buttonNumber).arg(down ? "down" : "up");
        }));
    monitor.addInputResponder(HVMouseMovementInputResponder::mouseMovementInputResponderWithModifierFlags(
        0, 0, [&seen](Event&) { seen << "moved"; }));
    for (auto [type, button] : {std::pair{Event::Type::LeftMouseDown, 0},
                                {Event::Type::LeftMouseUp, 0},
                                {Event::Type::RightMouseDown, 1},
                                {Event::Type::OtherMouseDown, 2},
                                {Event::Type::MouseMoved, 0},
                                {Event::Type::LeftMouseDragged, 0}}) {
        Event event;
        event.type = type;
        event.buttonNumber = button;
        EXPECT_TRUE(monitor.handleEvent(event)) << "mouse events go on to the window";
    }
    EXPECT_EQ(seen, QStringList({"0 down", "0 up", "1 down", "moved", "moved"}));

    EXPECT_FALSE(monitor.usesNaturalScrollDirection());
    Event wheel;
    wheel.type = Event::Type::ScrollWheel;
    wheel.isDirectionInvertedFromDevice = true;
    monitor.handleEvent(wheel);
    EXPECT_TRUE(monitor.usesNaturalScrollDirection());
}

TEST(HVMouseMovementController, DeltasArePointsDownTheScreenSinceTheLastMovement)
{
    QList<double> deltas;
    HVMouseMovementController controller([&deltas](double delta) { deltas << delta; });
    Event move;
    move.type = Event::Type::MouseMoved;
    for (double y : {500.0, 450.0, 470.0, 470.0}) {
        move.locationInWindow = {10, y};
        controller.mouseMoved(move);
    }
    move.locationInWindow = {10, std::numeric_limits<double>::quiet_NaN()};
    controller.mouseMoved(move);
    EXPECT_EQ(deltas, QList<double>({50.0, -20.0}));

    controller.start();
    EXPECT_TRUE(controller.isStarted());
    controller.stop();
    EXPECT_FALSE(controller.isStarted());
}

TEST(HVCursorAdditions, OneHideRequestForEveryone)
{
    ManualClockScope clock;
    bool allowed = true;
    HVCursorAdditions::hideAfterDelay([&allowed] { return allowed; }, 1.0);
    EXPECT_TRUE(HVCursorAdditions::isHideAfterDelayPending());
    HVCursorAdditions::hideAfterDelay([&allowed] { return allowed; }, 1.0);
    HVCursorAdditions::cancelHideAfterDelay();
    EXPECT_FALSE(HVCursorAdditions::isHideAfterDelayPending());

    allowed = false;
    HVCursorAdditions::hideAfterDelay([&allowed] { return allowed; }, 1.0);
    RunLoop::main().advanceManualClock(clock.clock, 1.5);
    EXPECT_FALSE(HVCursorAdditions::isHideAfterDelayPending());
}

} // namespace

TEST_F(InputMonitorTest, KeysPressedWhileADialogIsModalAreTheDialogs)
{
    monitor.addInputResponder(logging("edit", 0x1B));
    monitor.addInputResponder(logging("scroll", 0xF701));
    Event held = press(0xF701);
    monitor.handleEvent(held);
    {
        QWidget dialog;
        dialog.setWindowModality(Qt::ApplicationModal);
        dialog.show();
        ASSERT_NE(QGuiApplication::modalWindow(), nullptr);
        Event escape = press(0x1B);
        EXPECT_TRUE(monitor.handleEvent(escape));
        // A key held from before is still released where it was pressed.
        Event heldUp = release(0xF701);
        EXPECT_FALSE(monitor.handleEvent(heldUp));
    }
    Event escape = press(0x1B);
    EXPECT_FALSE(monitor.handleEvent(escape));
    EXPECT_EQ(log, QStringList({"scroll down", "scroll up", "edit down"}));
}
