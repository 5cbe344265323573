#include "platform/appkit/EventTranslation.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

// Tells new key presses from repeated ones across every path a key event takes.
class KeyRepeatJudge {
public:
    bool isRepeat(const QKeyEvent& event)
    {
        const Identity identity{&event,      event.type(),           event.timestamp(),
                                event.key(), event.nativeScanCode(), event.isAutoRepeat()};
        if (identity == m_last)
            return m_lastAnswer;
        m_last = identity;
        m_lastAnswer = judge(event);
        return m_lastAnswer;
    }

    void forget()
    {
        m_down.clear();
        m_released.clear();
        m_last = {};
    }

private:
    struct Identity {
        const QKeyEvent* event = nullptr;
        QEvent::Type type = QEvent::None;
        quint64 time = 0;
        int key = 0;
        quint32 scanCode = 0;
        bool autoRepeat = false;
        bool operator==(const Identity&) const = default;
    };

    // The hardware key where there is one: the character may change with the modifiers.
    static qint64 keyOf(const QKeyEvent& event)
    {
        return event.nativeScanCode() ? qint64(event.nativeScanCode()) << 32 : qint64(event.key());
    }

    bool judge(const QKeyEvent& event)
    {
        const qint64 key = keyOf(event);
        if (event.type() == QEvent::KeyRelease) {
            if (!event.isAutoRepeat()) {
                std::erase(m_down, key);
                m_released.push_back({key, event.timestamp()});
                if (m_released.size() > kRememberedReleases)
                    m_released.erase(m_released.begin());
            }
            return event.isAutoRepeat();
        }
        const bool held = std::find(m_down.begin(), m_down.end(), key) != m_down.end();
        // Events made by hand (tests, some input methods) carry no time; only real ones pair up.
        const bool pairedWithRelease =
            event.timestamp() != 0 && std::find(m_released.begin(), m_released.end(),
                                                std::pair{key, event.timestamp()}) != m_released.end();
        if (!held)
            m_down.push_back(key);
        return event.isAutoRepeat() || held || pairedWithRelease;
    }

    static constexpr size_t kRememberedReleases = 16;
    std::vector<qint64> m_down;
    std::vector<std::pair<qint64, quint64>> m_released;
    Identity m_last;
    bool m_lastAnswer = false;
};

KeyRepeatJudge& keyRepeatJudge()
{
    static KeyRepeatJudge judge;
    return judge;
}

// Wheel notches come in eighths of a degree, 15 degrees per notch; one notch is one line.
constexpr double kAngleUnitsPerLine = 120.0;

unsigned pressedButtonsFromQt(Qt::MouseButtons buttons)
{
    unsigned result = 0;
    if (buttons & Qt::LeftButton)
        result |= 1u << 0;
    if (buttons & Qt::RightButton)
        result |= 1u << 1;
    if (buttons & Qt::MiddleButton)
        result |= 1u << 2;
    if (buttons & Qt::BackButton)
        result |= 1u << 3;
    if (buttons & Qt::ForwardButton)
        result |= 1u << 4;
    return result;
}

int buttonNumberFromQt(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton:
        return 0;
    case Qt::RightButton:
        return 1;
    case Qt::MiddleButton:
        return 2;
    case Qt::BackButton:
        return 3;
    case Qt::ForwardButton:
        return 4;
    default:
        return 0;
    }
}

unsigned phaseFromQt(Qt::ScrollPhase phase)
{
    switch (phase) {
    case Qt::ScrollBegin:
        return Event::PhaseBegan;
    case Qt::ScrollUpdate:
        return Event::PhaseChanged;
    case Qt::ScrollEnd:
        return Event::PhaseEnded;
    default:
        return Event::PhaseNone;
    }
}

bool isArrowKey(int qtKey)
{
    return qtKey == Qt::Key_Up || qtKey == Qt::Key_Down || qtKey == Qt::Key_Left || qtKey == Qt::Key_Right;
}

// The character a letter or digit key gives without Control, Alt or Meta: Qt's text() turns Control
// combinations into control characters, which would hide the key from hot-key matching.
std::optional<QChar> plainCharacter(int qtKey, bool shift)
{
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) {
        const char16_t base = char16_t(shift ? u'A' : u'a') + char16_t(qtKey - Qt::Key_A);
        return QChar(base);
    }
    if (qtKey >= 0x20 && qtKey < 0x7F)
        return QChar(char16_t(qtKey));
    return std::nullopt;
}

} // namespace

unsigned long modifierFlagsFromQt(Qt::KeyboardModifiers modifiers)
{
    unsigned long flags = 0;
    if (modifiers & Qt::ShiftModifier)
        flags |= kShiftKeyMask;
    if (modifiers & Qt::ControlModifier)
        flags |= kCommandKeyMask;
    if (modifiers & Qt::MetaModifier)
        flags |= kControlKeyMask;
    if (modifiers & Qt::AltModifier)
        flags |= kOptionKeyMask;
    if (modifiers & Qt::KeypadModifier)
        flags |= kNumericPadKeyMask;
    return flags;
}

unsigned long currentModifierFlags()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return 0;
    return modifierFlagsFromQt(QGuiApplication::queryKeyboardModifiers());
}

std::optional<unsigned short> specialKeyCharacter(int qtKey)
{
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F35)
        return static_cast<unsigned short>(kF1FunctionKey + (qtKey - Qt::Key_F1));
    switch (qtKey) {
    case Qt::Key_Up:
        return kUpArrowFunctionKey;
    case Qt::Key_Down:
        return kDownArrowFunctionKey;
    case Qt::Key_Left:
        return kLeftArrowFunctionKey;
    case Qt::Key_Right:
        return kRightArrowFunctionKey;
    case Qt::Key_Insert:
        return kInsertFunctionKey;
    case Qt::Key_Delete:
        return kDeleteFunctionKey;
    case Qt::Key_Home:
        return kHomeFunctionKey;
    case Qt::Key_End:
        return kEndFunctionKey;
    case Qt::Key_PageUp:
        return kPageUpFunctionKey;
    case Qt::Key_PageDown:
        return kPageDownFunctionKey;
    case Qt::Key_Print:
        return kPrintScreenFunctionKey;
    case Qt::Key_ScrollLock:
        return kScrollLockFunctionKey;
    case Qt::Key_Pause:
        return kPauseFunctionKey;
    case Qt::Key_SysReq:
        return kSysReqFunctionKey;
    case Qt::Key_Stop:
        return kStopFunctionKey;
    case Qt::Key_Menu:
        return kMenuFunctionKey;
    case Qt::Key_Clear:
        return kClearLineFunctionKey;
    case Qt::Key_Help:
        return kHelpFunctionKey;
    case Qt::Key_Return:
        return kCarriageReturnCharacter;
    case Qt::Key_Enter:
        return kEnterCharacter;
    case Qt::Key_Escape:
        return kEscapeCharacter;
    case Qt::Key_Tab:
        return kTabCharacter;
    case Qt::Key_Backtab:
        return kBackTabCharacter;
    // The key labelled Backspace is the platform's Delete.
    case Qt::Key_Backspace:
        return kDeleteCharacter;
    case Qt::Key_Space:
        return kSpaceCharacter;
    default:
        return std::nullopt;
    }
}

bool isModifierKey(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_CapsLock:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
        return true;
    default:
        return false;
    }
}

void forgetHeldKeys()
{
    keyRepeatJudge().forget();
}

Event eventFromKeyEvent(const QKeyEvent& qtEvent, double timestamp)
{
    Event event;
    event.timestamp = timestamp;
    event.keyCode = static_cast<unsigned short>(qtEvent.nativeScanCode());
    event.modifierFlags = modifierFlagsFromQt(qtEvent.modifiers());
    const int key = qtEvent.key();
    if (isModifierKey(key)) {
        event.type = Event::Type::FlagsChanged;
        return event;
    }
    event.type = qtEvent.type() == QEvent::KeyRelease ? Event::Type::KeyUp : Event::Type::KeyDown;
    event.isARepeat = keyRepeatJudge().isRepeat(qtEvent);

    const bool shift = qtEvent.modifiers() & Qt::ShiftModifier;
    const bool option = qtEvent.modifiers() & Qt::AltModifier;
    if (std::optional<unsigned short> special = specialKeyCharacter(key)) {
        event.charactersIgnoringModifiers = QString(QChar(*special));
        // Option-Space types a no-break space on the platform; stored hot keys rely on it.
        const bool noBreakSpace = key == Qt::Key_Space && option;
        event.characters =
            noBreakSpace ? QString(QChar(kNoBreakSpaceCharacter)) : event.charactersIgnoringModifiers;
        if (*special >= kUpArrowFunctionKey)
            event.modifierFlags |= kFunctionKeyMask;
        if (isArrowKey(key))
            event.modifierFlags |= kNumericPadKeyMask;
        return event;
    }

    const QString text = qtEvent.text();
    const std::optional<QChar> plain = plainCharacter(key, shift);
    const bool textIsControl = !text.isEmpty() && text.at(0).unicode() < 0x20;
    event.characters = (text.isEmpty() || textIsControl) && plain ? QString(*plain) : text;
    event.charactersIgnoringModifiers = plain ? QString(*plain) : text;
    return event;
}

Event eventFromMouseEvent(const QMouseEvent& qtEvent, double timestamp, int clickCount)
{
    Event event;
    event.timestamp = timestamp;
    event.modifierFlags = modifierFlagsFromQt(qtEvent.modifiers());
    event.clickCount = clickCount;
    event.pressedMouseButtons = pressedButtonsFromQt(qtEvent.buttons());
    event.buttonNumber = buttonNumberFromQt(qtEvent.button());

    const bool pressed =
        qtEvent.type() == QEvent::MouseButtonPress || qtEvent.type() == QEvent::MouseButtonDblClick;
    const bool released = qtEvent.type() == QEvent::MouseButtonRelease;
    if (pressed || released) {
        switch (event.buttonNumber) {
        case 0:
            event.type = pressed ? Event::Type::LeftMouseDown : Event::Type::LeftMouseUp;
            break;
        case 1:
            event.type = pressed ? Event::Type::RightMouseDown : Event::Type::RightMouseUp;
            break;
        default:
            event.type = pressed ? Event::Type::OtherMouseDown : Event::Type::OtherMouseUp;
            break;
        }
        return event;
    }

    // A move with a button held is a drag of the lowest held button, as the platform reports it.
    const Qt::MouseButtons held = qtEvent.buttons();
    if (held & Qt::LeftButton) {
        event.type = Event::Type::LeftMouseDragged;
        event.buttonNumber = 0;
    } else if (held & Qt::RightButton) {
        event.type = Event::Type::RightMouseDragged;
        event.buttonNumber = 1;
    } else if (held != Qt::NoButton) {
        event.type = Event::Type::OtherMouseDragged;
        event.buttonNumber = 2;
    } else {
        event.type = Event::Type::MouseMoved;
    }
    return event;
}

Event eventFromWheelEvent(const QWheelEvent& qtEvent, double timestamp)
{
    Event event;
    event.type = Event::Type::ScrollWheel;
    event.timestamp = timestamp;
    event.modifierFlags = modifierFlagsFromQt(qtEvent.modifiers());
    event.pressedMouseButtons = pressedButtonsFromQt(qtEvent.buttons());
    event.isDirectionInvertedFromDevice = qtEvent.inverted();
    const QPoint pixels = qtEvent.pixelDelta();
    event.hasPreciseScrollingDeltas = !pixels.isNull();
    if (event.hasPreciseScrollingDeltas) {
        event.scrollingDeltaX = pixels.x();
        event.scrollingDeltaY = pixels.y();
    } else {
        event.scrollingDeltaX = qtEvent.angleDelta().x() / kAngleUnitsPerLine;
        event.scrollingDeltaY = qtEvent.angleDelta().y() / kAngleUnitsPerLine;
    }
    if (qtEvent.phase() == Qt::ScrollMomentum)
        event.momentumPhase = Event::PhaseChanged;
    else
        event.phase = phaseFromQt(qtEvent.phase());
    return event;
}
