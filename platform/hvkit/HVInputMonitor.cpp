#include "platform/hvkit/HVInputMonitor.h"

#include "platform/appkit/AppKitNotifications.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/Clock.h"

#include <QChar>
#include <QGuiApplication>
#include <QWindow>

#include <algorithm>

namespace {

constexpr unsigned long kModifierKeysMask =
    kShiftKeyMask | kControlKeyMask | kOptionKeyMask | kCommandKeyMask;

unsigned long long eventMask()
{
    unsigned long long mask = 0;
    for (Event::Type type :
         {Event::Type::KeyDown, Event::Type::KeyUp, Event::Type::LeftMouseDown, Event::Type::LeftMouseUp,
          Event::Type::RightMouseDown, Event::Type::RightMouseUp, Event::Type::OtherMouseDown,
          Event::Type::OtherMouseUp, Event::Type::MouseMoved, Event::Type::LeftMouseDragged,
          Event::Type::RightMouseDragged, Event::Type::OtherMouseDragged, Event::Type::ScrollWheel})
        mask |= Application::maskForType(type);
    return mask;
}

unsigned short foldedCase(unsigned short code)
{
    return QChar(char16_t(code)).toCaseFolded().unicode();
}

} // namespace

bool HVInputResponder::acceptsModifierFlags(unsigned long flags) const
{
    const unsigned long held = flags & kModifierKeysMask;
    if ((held & m_modifierFlags) != (m_modifierFlags & kModifierKeysMask))
        return false;
    const unsigned long extra = held & ~m_modifierFlags;
    if ((m_options & HVInputResponderOptionIgnoresKeyEquivalents) &&
        (extra & (kCommandKeyMask | kControlKeyMask)))
        return false;
    if ((m_options & HVInputResponderOptionRefusesOption) && (extra & kOptionKeyMask))
        return false;
    return true;
}

std::shared_ptr<HVKeyInputResponder>
HVKeyInputResponder::keyInputResponderWithHotKeyValue(unsigned short hotKeyValue, unsigned long modifierFlags,
                                                      unsigned options, Block block)
{
    return std::make_shared<HVKeyInputResponder>(hotKeyValue, modifierFlags, options, std::move(block));
}

HVKeyInputResponder::HVKeyInputResponder(unsigned short hotKeyValue, unsigned long modifierFlags,
                                         unsigned options, Block block)
    : HVInputResponder(modifierFlags, options), m_hotKeyValue(hotKeyValue), m_block(std::move(block))
{
}

bool HVKeyInputResponder::sameKey(unsigned short a, unsigned short b)
{
    return a == b || foldedCase(a) == foldedCase(b);
}

bool HVKeyInputResponder::matchesKeyEvent(const Event& event) const
{
    if (m_hotKeyValue == 0 || !event.isKeyEvent() || !acceptsModifierFlags(event.modifierFlags))
        return false;
    if (sameKey(m_hotKeyValue, event.characterCodeIgnoringModifiers()))
        return true;
    return hasOption(HVInputResponderOptionMatchesTypedCharacter) && event.characterCode() != 0 &&
           sameKey(m_hotKeyValue, event.characterCode());
}

std::shared_ptr<HVMouseDownInputResponder> HVMouseDownInputResponder::mouseDownInputResponderForButtonMask(
    unsigned buttonMask, unsigned long modifierFlags, unsigned options, Block block)
{
    return std::make_shared<HVMouseDownInputResponder>(buttonMask, modifierFlags, options, std::move(block));
}

HVMouseDownInputResponder::HVMouseDownInputResponder(unsigned buttonMask, unsigned long modifierFlags,
                                                     unsigned options, Block block)
    : HVInputResponder(modifierFlags, options), m_buttonMask(buttonMask), m_block(std::move(block))
{
}

bool HVMouseDownInputResponder::matchesMouseEvent(const Event& event) const
{
    const int button = std::clamp(event.buttonNumber, 0, 2);
    return (m_buttonMask & (1u << button)) && acceptsModifierFlags(event.modifierFlags);
}

std::shared_ptr<HVMouseMovementInputResponder>
HVMouseMovementInputResponder::mouseMovementInputResponderWithModifierFlags(unsigned long modifierFlags,
                                                                            unsigned options, Block block)
{
    return std::make_shared<HVMouseMovementInputResponder>(modifierFlags, options, std::move(block));
}

HVMouseMovementInputResponder::HVMouseMovementInputResponder(unsigned long modifierFlags, unsigned options,
                                                             Block block)
    : HVInputResponder(modifierFlags, options), m_block(std::move(block))
{
}

HVInputMonitor& HVInputMonitor::sharedMonitor()
{
    static HVInputMonitor monitor;
    return monitor;
}

HVInputMonitor::HVInputMonitor()
{
    // Made first, the application object is destroyed after the shared monitor, which still
    // removes its event monitor from it at exit.
    Application::shared();
}

HVInputMonitor::~HVInputMonitor()
{
    stop();
}

void HVInputMonitor::start()
{
    if (m_started)
        return;
    m_started = true;
    m_monitorToken = Application::shared().addLocalMonitorForEvents(
        eventMask(), [this](Event& event) { return handleEvent(event); });
    m_resignActiveObserver =
        NotificationObserver(NotificationCenter::shared(), kApplicationDidResignActiveNotification, nullptr,
                             [this](const Notification&) { releaseAllKeys(); });
}

void HVInputMonitor::stop()
{
    if (!m_started)
        return;
    m_started = false;
    Application::shared().removeMonitor(m_monitorToken);
    m_monitorToken = 0;
    m_resignActiveObserver.reset();
    m_heldKeys.clear();
    m_justReleased.reset();
}

void HVInputMonitor::addInputResponder(std::shared_ptr<HVInputResponder> responder)
{
    if (responder)
        m_responders.push_back(std::move(responder));
}

void HVInputMonitor::removeInputResponder(const HVInputResponder* responder)
{
    std::erase_if(m_responders, [responder](const auto& item) { return item.get() == responder; });
    std::erase_if(m_heldKeys, [responder](const HeldKey& key) { return key.responder.get() == responder; });
    if (m_justReleased && m_justReleased->responder.get() == responder)
        m_justReleased.reset();
}

void HVInputMonitor::removeAllInputResponders()
{
    m_responders.clear();
    m_heldKeys.clear();
    m_justReleased.reset();
}

bool HVInputMonitor::handleEvent(Event& event)
{
    // A release can be taken back only by the press that comes straight after it.
    std::optional<HeldKey> justReleased;
    justReleased.swap(m_justReleased);
    switch (event.type) {
    case Event::Type::KeyDown:
        return handleKeyDown(event, justReleased);
    case Event::Type::KeyUp:
        return handleKeyUp(event);
    case Event::Type::LeftMouseDown:
    case Event::Type::RightMouseDown:
    case Event::Type::OtherMouseDown:
        handleMouseButton(event, true);
        return true;
    case Event::Type::LeftMouseUp:
    case Event::Type::RightMouseUp:
    case Event::Type::OtherMouseUp:
        handleMouseButton(event, false);
        return true;
    case Event::Type::MouseMoved:
    case Event::Type::LeftMouseDragged:
    case Event::Type::RightMouseDragged:
    case Event::Type::OtherMouseDragged:
        handleMouseMovement(event);
        return true;
    case Event::Type::ScrollWheel:
        m_naturalScrolling = event.isDirectionInvertedFromDevice;
        return true;
    default:
        return true;
    }
}

bool HVInputMonitor::isSameKey(const HeldKey& key, const Event& event)
{
    // The hardware key is the surest match, since modifiers may have changed the character since the
    // press; synthetic events carry none.
    if (key.keyCode != 0 && event.keyCode != 0)
        return key.keyCode == event.keyCode;
    return HVKeyInputResponder::sameKey(key.character, event.characterCodeIgnoringModifiers());
}

std::vector<HVInputMonitor::HeldKey>::iterator HVInputMonitor::heldKeyFor(const Event& event)
{
    return std::find_if(m_heldKeys.begin(), m_heldKeys.end(),
                        [&event](const HeldKey& key) { return isSameKey(key, event); });
}

namespace {

// A key typed into a dialog, sheet, alert or panel is that window's: Esc cancels an alert above the
// prompter rather than leaving Prompt mode. A dialog that is not on screen (its window hid with
// Prompt mode) takes none: the window system hands it no keys, and neither does the monitor.
bool isKeyForAnotherWindow(const Event& event)
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return false;
    const QWindow* modal = QGuiApplication::modalWindow();
    if (modal && modal->isVisible() && modal->modality() == Qt::ApplicationModal)
        return true;
    if (Menu::isKeyForADialog(event))
        return true;
    return event.window && event.window == Application::shared().modalWindow();
}

} // namespace

bool HVInputMonitor::handleKeyDown(Event& event, const std::optional<HeldKey>& justReleased)
{
    std::shared_ptr<HVKeyInputResponder> responder;
    auto held = heldKeyFor(event);
    // The window system does not always flag the release of an auto-repeat pair; its press, made at
    // the same time, is known as a repeat. The key never came up: its responder hears the press again,
    // as a repeat, and the key is held as before.
    if (held == m_heldKeys.end() && event.isARepeat && justReleased && isSameKey(*justReleased, event)) {
        m_heldKeys.push_back(*justReleased);
        const HVKeyInputResponder::Block block = justReleased->responder->block();
        if (block)
            block(event, true);
        return false;
    }
    // Keys held from before still repeat and release.
    if (held == m_heldKeys.end() && isKeyForAnotherWindow(event))
        return true;
    if (held != m_heldKeys.end()) {
        // A press of a key that is still down is a repeat, flagged or not: one press, one action.
        event.isARepeat = true;
        responder = held->responder;
    } else {
        for (const auto& candidate : m_responders) {
            auto* key = dynamic_cast<HVKeyInputResponder*>(candidate.get());
            if (key && key->matchesKeyEvent(event)) {
                responder = std::static_pointer_cast<HVKeyInputResponder>(candidate);
                break;
            }
        }
        if (!responder)
            return true;
        m_heldKeys.push_back({responder, event.keyCode, event.characterCodeIgnoringModifiers()});
    }
    // Held keys already hold their state and mapped keys act once per press, so no responder hears
    // repeats; they are still swallowed, so a held hot key never types into the script.
    if (event.isARepeat)
        return false;
    // A copy: the block may stop the monitor and drop every responder.
    const HVKeyInputResponder::Block block = responder->block();
    if (block)
        block(event, true);
    return false;
}

bool HVInputMonitor::handleKeyUp(Event& event)
{
    auto held = heldKeyFor(event);
    if (held == m_heldKeys.end())
        return true;
    // The window system's auto-repeat sends a release before each repeated press while the key is
    // still down: the key is held until its real release.
    if (event.isARepeat)
        return false;
    std::shared_ptr<HVKeyInputResponder> responder = held->responder;
    m_justReleased = *held;
    m_heldKeys.erase(held);
    const HVKeyInputResponder::Block block = responder->block();
    if (block)
        block(event, false);
    return false;
}

void HVInputMonitor::handleMouseButton(Event& event, bool isDown)
{
    const std::vector<std::shared_ptr<HVInputResponder>> responders = m_responders;
    for (const auto& candidate : responders) {
        auto* mouse = dynamic_cast<HVMouseDownInputResponder*>(candidate.get());
        if (mouse && mouse->matchesMouseEvent(event) && mouse->block())
            mouse->block()(event, isDown);
    }
}

void HVInputMonitor::handleMouseMovement(Event& event)
{
    const std::vector<std::shared_ptr<HVInputResponder>> responders = m_responders;
    for (const auto& candidate : responders) {
        auto* movement = dynamic_cast<HVMouseMovementInputResponder*>(candidate.get());
        if (movement && movement->acceptsModifierFlags(event.modifierFlags) && movement->block())
            movement->block()(event);
    }
}

void HVInputMonitor::releaseAllKeys()
{
    std::vector<HeldKey> keys;
    keys.swap(m_heldKeys);
    for (const HeldKey& key : keys) {
        Event release;
        release.type = Event::Type::KeyUp;
        release.timestamp = Clock::shared().now();
        release.keyCode = key.keyCode;
        release.characters = release.charactersIgnoringModifiers = QString(QChar(char16_t(key.character)));
        const HVKeyInputResponder::Block block = key.responder->block();
        if (block)
            block(release, false);
    }
}
