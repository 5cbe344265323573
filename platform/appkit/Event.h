#pragma once

#include "platform/foundation/Rect.h"

#include <QString>

class Window;

// An input event in the platform's terms: type numbers, modifier flags and 16-bit character codes as
// the platform has them, locations in the window's y-up coordinates.
class Event {
public:
    enum class Type {
        LeftMouseDown = 1,
        LeftMouseUp = 2,
        RightMouseDown = 3,
        RightMouseUp = 4,
        MouseMoved = 5,
        LeftMouseDragged = 6,
        RightMouseDragged = 7,
        MouseEntered = 8,
        MouseExited = 9,
        KeyDown = 10,
        KeyUp = 11,
        FlagsChanged = 12,
        ScrollWheel = 22,
        OtherMouseDown = 25,
        OtherMouseUp = 26,
        OtherMouseDragged = 27,
    };

    // Gesture phases of scroll-wheel events, as bit values.
    enum Phase : unsigned {
        PhaseNone = 0,
        PhaseBegan = 1,
        PhaseStationary = 2,
        PhaseChanged = 4,
        PhaseEnded = 8,
        PhaseCancelled = 16,
        PhaseMayBegin = 32,
    };

    Type type = Type::MouseMoved;
    // Seconds on the shared clock.
    double timestamp = 0;
    Window* window = nullptr;
    Point locationInWindow;
    unsigned long modifierFlags = 0;

    // Key events.
    QString characters;
    QString charactersIgnoringModifiers;
    // The hardware key as the windowing system numbers it; not portable between machines.
    unsigned short keyCode = 0;
    bool isARepeat = false;

    // Mouse events.
    int clickCount = 0;
    // 0 left, 1 right, 2 middle, 3.. others.
    int buttonNumber = 0;
    // Buttons held down, bit n for button n.
    unsigned pressedMouseButtons = 0;

    // Scroll-wheel events: points when the device gives precise deltas, else lines.
    double scrollingDeltaX = 0;
    double scrollingDeltaY = 0;
    bool hasPreciseScrollingDeltas = false;
    unsigned phase = PhaseNone;
    unsigned momentumPhase = PhaseNone;
    bool isDirectionInvertedFromDevice = false;

    // Tracking-area events: the user info of the area entered or left.
    QString trackingUserInfo;

    bool isMouseEvent() const;
    bool isKeyEvent() const { return type == Type::KeyDown || type == Type::KeyUp; }
    // The first character code of characters(), 0 when there is none.
    unsigned short characterCode() const;
    unsigned short characterCodeIgnoringModifiers() const;
};

// Modifier flags, the platform's bit values.
inline constexpr unsigned long kCapsLockKeyMask = 1UL << 16;
inline constexpr unsigned long kShiftKeyMask = 1UL << 17;
inline constexpr unsigned long kControlKeyMask = 1UL << 18;
inline constexpr unsigned long kOptionKeyMask = 1UL << 19;
inline constexpr unsigned long kCommandKeyMask = 1UL << 20;
inline constexpr unsigned long kNumericPadKeyMask = 1UL << 21;
inline constexpr unsigned long kHelpKeyMask = 1UL << 22;
inline constexpr unsigned long kFunctionKeyMask = 1UL << 23;
inline constexpr unsigned long kDeviceIndependentModifierFlagsMask = 0xffff0000UL;

// Character codes of the keys that type no character.
inline constexpr unsigned short kUpArrowFunctionKey = 0xF700;
inline constexpr unsigned short kDownArrowFunctionKey = 0xF701;
inline constexpr unsigned short kLeftArrowFunctionKey = 0xF702;
inline constexpr unsigned short kRightArrowFunctionKey = 0xF703;
inline constexpr unsigned short kF1FunctionKey = 0xF704; // F2.. follow in order up to F35 (0xF726)
inline constexpr unsigned short kInsertFunctionKey = 0xF727;
inline constexpr unsigned short kDeleteFunctionKey = 0xF728;
inline constexpr unsigned short kHomeFunctionKey = 0xF729;
inline constexpr unsigned short kBeginFunctionKey = 0xF72A;
inline constexpr unsigned short kEndFunctionKey = 0xF72B;
inline constexpr unsigned short kPageUpFunctionKey = 0xF72C;
inline constexpr unsigned short kPageDownFunctionKey = 0xF72D;
inline constexpr unsigned short kPrintScreenFunctionKey = 0xF72E;
inline constexpr unsigned short kScrollLockFunctionKey = 0xF72F;
inline constexpr unsigned short kPauseFunctionKey = 0xF730;
inline constexpr unsigned short kSysReqFunctionKey = 0xF731;
inline constexpr unsigned short kBreakFunctionKey = 0xF732;
inline constexpr unsigned short kStopFunctionKey = 0xF734;
inline constexpr unsigned short kMenuFunctionKey = 0xF735;
inline constexpr unsigned short kClearLineFunctionKey = 0xF739;
inline constexpr unsigned short kHelpFunctionKey = 0xF746;

inline constexpr unsigned short kEnterCharacter = 0x03;
inline constexpr unsigned short kBackspaceCharacter = 0x08;
inline constexpr unsigned short kTabCharacter = 0x09;
inline constexpr unsigned short kCarriageReturnCharacter = 0x0D;
inline constexpr unsigned short kBackTabCharacter = 0x19;
inline constexpr unsigned short kEscapeCharacter = 0x1B;
inline constexpr unsigned short kSpaceCharacter = 0x20;
inline constexpr unsigned short kDeleteCharacter = 0x7F;
inline constexpr unsigned short kNoBreakSpaceCharacter = 0xA0;
