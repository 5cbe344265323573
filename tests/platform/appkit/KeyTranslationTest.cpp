#include "platform/appkit/Application.h"
#include "platform/appkit/EventTranslation.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QWindow>
#include <gtest/gtest.h>

namespace {

Event press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {},
            bool repeat = false)
{
    QKeyEvent event(QEvent::KeyPress, key, modifiers, text, repeat);
    return eventFromKeyEvent(event, 5.0);
}

struct KeyCase {
    int qtKey;
    unsigned short code;
};

} // namespace

TEST(KeyTranslation, SpecialKeysGiveThePlatformCharacterCodes)
{
    const KeyCase cases[] = {
        {Qt::Key_Up, 0xF700},      {Qt::Key_Down, 0xF701},   {Qt::Key_Left, 0xF702},
        {Qt::Key_Right, 0xF703},   {Qt::Key_F1, 0xF704},     {Qt::Key_F2, 0xF705},
        {Qt::Key_F12, 0xF70F},     {Qt::Key_F35, 0xF726},    {Qt::Key_Home, 0xF729},
        {Qt::Key_End, 0xF72B},     {Qt::Key_PageUp, 0xF72C}, {Qt::Key_PageDown, 0xF72D},
        {Qt::Key_Space, 0x20},     {Qt::Key_Return, 0x0D},   {Qt::Key_Escape, 0x1B},
        {Qt::Key_Backspace, 0x7F}, {Qt::Key_Delete, 0xF728}, {Qt::Key_Tab, 0x09},
        {Qt::Key_Enter, 0x03},     {Qt::Key_Insert, 0xF727},
    };
    for (const KeyCase& c : cases) {
        const Event event = press(c.qtKey);
        EXPECT_EQ(event.type, Event::Type::KeyDown) << c.qtKey;
        EXPECT_EQ(event.characterCode(), c.code) << std::hex << c.qtKey;
        EXPECT_EQ(event.characterCodeIgnoringModifiers(), c.code) << std::hex << c.qtKey;
    }
}

TEST(KeyTranslation, FunctionKeysCarryTheFunctionFlagAndArrowsTheNumericPadFlag)
{
    EXPECT_TRUE(press(Qt::Key_PageDown).modifierFlags & kFunctionKeyMask);
    EXPECT_FALSE(press(Qt::Key_PageDown).modifierFlags & kNumericPadKeyMask);
    EXPECT_TRUE(press(Qt::Key_Up).modifierFlags & kFunctionKeyMask);
    EXPECT_TRUE(press(Qt::Key_Up).modifierFlags & kNumericPadKeyMask);
    EXPECT_FALSE(press(Qt::Key_Space).modifierFlags & kFunctionKeyMask);
}

TEST(KeyTranslation, LettersComeAsTypedWithTheUnmodifiedCharacterAvailable)
{
    EXPECT_EQ(press(Qt::Key_S, Qt::NoModifier, "s").characters, "s");
    const Event shifted = press(Qt::Key_S, Qt::ShiftModifier, "S");
    EXPECT_EQ(shifted.characters, "S");
    EXPECT_EQ(shifted.characterCode(), 83);
    EXPECT_TRUE(shifted.modifierFlags & kShiftKeyMask);

    // Qt turns Control combinations into control characters; the key must still read as the letter.
    const Event command = press(Qt::Key_S, Qt::ControlModifier, QString(QChar(0x13)));
    EXPECT_EQ(command.charactersIgnoringModifiers, "s");
    EXPECT_EQ(command.characters, "s");
    EXPECT_TRUE(command.modifierFlags & kCommandKeyMask);

    const Event bracket = press(Qt::Key_BracketLeft, Qt::NoModifier, "[");
    EXPECT_EQ(bracket.characterCode(), 91);
}

TEST(KeyTranslation, OptionSpaceTypesANoBreakSpace)
{
    const Event event = press(Qt::Key_Space, Qt::AltModifier, " ");
    EXPECT_EQ(event.characterCode(), kNoBreakSpaceCharacter);
    EXPECT_EQ(event.characterCodeIgnoringModifiers(), kSpaceCharacter);
    EXPECT_TRUE(event.modifierFlags & kOptionKeyMask);
}

// One press is one press, whichever way the window system delivered it.
TEST(KeyTranslation, OnlyANewPressOfAKeyIsNotARepeat)
{
    forgetHeldKeys();
    auto keyEvent = [](QEvent::Type type, quint64 time, bool autoRepeat = false) {
        QKeyEvent event(type, Qt::Key_Return, Qt::ControlModifier, QStringLiteral("\r"), autoRepeat);
        event.setTimestamp(time);
        return eventFromKeyEvent(event, 1.0);
    };
    EXPECT_FALSE(keyEvent(QEvent::KeyPress, 100).isARepeat);
    // A key never released (a sent press, a lost release) presses again only as a repeat.
    EXPECT_TRUE(keyEvent(QEvent::KeyPress, 700).isARepeat);
    EXPECT_TRUE(keyEvent(QEvent::KeyPress, 740).isARepeat);
    // The server's auto-repeat comes as a release and a press of one time; Qt does not always say so.
    keyEvent(QEvent::KeyRelease, 780);
    EXPECT_TRUE(keyEvent(QEvent::KeyPress, 780).isARepeat);
    keyEvent(QEvent::KeyRelease, 900);
    EXPECT_FALSE(keyEvent(QEvent::KeyPress, 1500).isARepeat);
    keyEvent(QEvent::KeyRelease, 1600);
    // Keys let go of while another application had the keyboard are forgotten.
    keyEvent(QEvent::KeyPress, 2000);
    forgetHeldKeys();
    EXPECT_FALSE(keyEvent(QEvent::KeyPress, 3000).isARepeat);

    // The same Qt event seen twice (by the monitors, then by the window) is judged once.
    forgetHeldKeys();
    QKeyEvent event(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    event.setTimestamp(5000);
    EXPECT_FALSE(eventFromKeyEvent(event, 1.0).isARepeat);
    EXPECT_FALSE(eventFromKeyEvent(event, 1.0).isARepeat);
    // Hand-made events without a time (tests, input methods) still type double letters.
    forgetHeldKeys();
    for (int i = 0; i < 2; ++i) {
        QKeyEvent down(QEvent::KeyPress, Qt::Key_L, Qt::NoModifier, QStringLiteral("l"));
        EXPECT_FALSE(eventFromKeyEvent(down, 1.0).isARepeat);
        QKeyEvent up(QEvent::KeyRelease, Qt::Key_L, Qt::NoModifier, QStringLiteral("l"));
        eventFromKeyEvent(up, 1.0);
    }
}

TEST(KeyTranslation, ModifiersMapToThePlatformFlags)
{
    EXPECT_EQ(modifierFlagsFromQt(Qt::ShiftModifier), kShiftKeyMask);
    EXPECT_EQ(modifierFlagsFromQt(Qt::ControlModifier), kCommandKeyMask);
    EXPECT_EQ(modifierFlagsFromQt(Qt::MetaModifier), kControlKeyMask);
    EXPECT_EQ(modifierFlagsFromQt(Qt::AltModifier), kOptionKeyMask);
    EXPECT_EQ(modifierFlagsFromQt(Qt::KeypadModifier), kNumericPadKeyMask);
    EXPECT_EQ(modifierFlagsFromQt(Qt::NoModifier), 0u);
}

TEST(KeyTranslation, RepeatReleaseAndModifierKeys)
{
    forgetHeldKeys();
    EXPECT_TRUE(press(Qt::Key_Down, Qt::NoModifier, {}, true).isARepeat);
    forgetHeldKeys();
    EXPECT_FALSE(press(Qt::Key_Down).isARepeat);

    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier);
    const Event up = eventFromKeyEvent(release, 1.0);
    EXPECT_EQ(up.type, Event::Type::KeyUp);
    EXPECT_EQ(up.characterCode(), kDownArrowFunctionKey);

    // Qt reports a modifier key's own press with the state from before it; its modifiers() answer the
    // state after, which is what the platform's flags-changed event carries.
    const Event option = press(Qt::Key_Alt, Qt::NoModifier);
    EXPECT_EQ(option.type, Event::Type::FlagsChanged);
    EXPECT_TRUE(option.modifierFlags & kOptionKeyMask);
    EXPECT_TRUE(option.characters.isEmpty());
}

TEST(KeyTranslation, UnknownKeysTypeNothingButDoNotFail)
{
    const Event event = press(Qt::Key_unknown);
    EXPECT_EQ(event.type, Event::Type::KeyDown);
    EXPECT_EQ(event.characterCode(), 0);
}

// Return that closes a dialog is let go of after the dialog went: its release reaches no window of
// ours, and the next Return (Ctrl+Return, the mode switch) must still be a press of its own.
TEST(KeyTranslation, AKeyHeldWhenTheKeyboardMovesToAnotherWindowIsForgotten)
{
    Application::shared();
    QWindow dialog;
    QWindow main;
    dialog.show();
    main.show();
    dialog.requestActivate();
    QCoreApplication::processEvents();
    forgetHeldKeys();
    QKeyEvent accept(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    accept.setTimestamp(100);
    EXPECT_FALSE(eventFromKeyEvent(accept, 1.0).isARepeat);
    dialog.hide();
    main.requestActivate();
    QCoreApplication::processEvents();
    ASSERT_EQ(QGuiApplication::focusWindow(), &main);
    QKeyEvent toggle(QEvent::KeyPress, Qt::Key_Return, Qt::ControlModifier, QStringLiteral("\r"));
    toggle.setTimestamp(900);
    EXPECT_FALSE(eventFromKeyEvent(toggle, 1.0).isARepeat);
}
