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

// A key press or release; a modifier key alone gives a FlagsChanged event.
Event eventFromKeyEvent(const QKeyEvent& event, double timestamp);
Event eventFromMouseEvent(const QMouseEvent& event, double timestamp, int clickCount);
Event eventFromWheelEvent(const QWheelEvent& event, double timestamp);
