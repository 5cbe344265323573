#pragma once

#include "platform/appkit/Event.h"

#include <Qt>

#include <optional>

class QKeyEvent;
class QMouseEvent;
class QWheelEvent;

// Qt input events become the platform's events here and nowhere else, so stored hot keys and key
// equivalents compare with what the keyboard sends.

// Qt's Control is the platform's Command (the shortcut key), Meta (the Super key) its Control, Alt its
// Option, the keypad flag its numeric-pad flag.
unsigned long modifierFlagsFromQt(Qt::KeyboardModifiers modifiers);

// The modifier keys held right now, asked of the window system; 0 without a GUI application.
unsigned long currentModifierFlags();

// The character code of a key that types no character (arrows, function keys, navigation keys) or of
// a control key that types one (Return, Escape, Tab, Backspace); empty for every other key.
std::optional<unsigned short> specialKeyCharacter(int qtKey);

// Whether the key is a modifier alone (Shift, Control, Alt, Meta, Caps Lock): it changes flags.
bool isModifierKey(int qtKey);

// A key press or release; a modifier key alone gives a FlagsChanged event. A press counts as a
// repeat (isARepeat) whenever it is not a new press of a key: Qt's auto-repeat flag, a second press
// of a key that was never released, or a press carrying the window system's time of the release just
// before it (the X server's auto-repeat pairs, which Qt does not always flag, and which a key left
// down by a sent event produces forever). Converting the same Qt event again gives the same answer.
Event eventFromKeyEvent(const QKeyEvent& event, double timestamp);
// Forgets which keys are down: a release may never come once the application lost the keyboard.
void forgetHeldKeys();
Event eventFromMouseEvent(const QMouseEvent& event, double timestamp, int clickCount);
Event eventFromWheelEvent(const QWheelEvent& event, double timestamp);
