#pragma once

#include "platform/appkit/Event.h"
#include "platform/foundation/NotificationCenter.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

// What a responder asks of the events it takes, as bits of its options.
enum HVInputResponderOption : unsigned {
    // Not while Command or Control is held that the responder's own flags do not ask for: those
    // combinations are the menus' key equivalents.
    HVInputResponderOptionIgnoresKeyEquivalents = 1u << 1,
    // Key-repeat presses are taken (so they go no further) but not handed to the block.
    HVInputResponderOptionIgnoresRepeats = 1u << 2,
    // The key also matches by the character it types with its modifiers (Option-Space types a
    // no-break space), not only by the key's own character.
    HVInputResponderOptionMatchesTypedCharacter = 1u << 4,
    // Not while Option is held: Option changes what the key means.
    HVInputResponderOptionRefusesOption = 1u << 6,
};

// Something the input monitor hands events to. modifierFlags are the modifiers that must be held
// (0: none needed); which other modifiers may be held is the options' business.
class HVInputResponder {
public:
    virtual ~HVInputResponder() = default;

    unsigned long modifierFlags() const { return m_modifierFlags; }
    unsigned options() const { return m_options; }
    bool hasOption(HVInputResponderOption option) const { return m_options & option; }
    // Whether the event's modifiers let this responder take it.
    bool acceptsModifierFlags(unsigned long flags) const;

protected:
    HVInputResponder(unsigned long modifierFlags, unsigned options)
        : m_modifierFlags(modifierFlags), m_options(options)
    {
    }

private:
    unsigned long m_modifierFlags;
    unsigned m_options;
};

// One key, given as its 16-bit character code; letters match without regard to case. The block hears
// the press (and its repeats) and the release, with whether the key is down. Code 0 matches nothing.
class HVKeyInputResponder : public HVInputResponder {
public:
    using Block = std::function<void(Event& event, bool isKeyDown)>;

    static std::shared_ptr<HVKeyInputResponder> keyInputResponderWithHotKeyValue(unsigned short hotKeyValue,
                                                                                 unsigned long modifierFlags,
                                                                                 unsigned options,
                                                                                 Block block);
    HVKeyInputResponder(unsigned short hotKeyValue, unsigned long modifierFlags, unsigned options,
                        Block block);

    unsigned short hotKeyValue() const { return m_hotKeyValue; }
    const Block& block() const { return m_block; }
    // Whether a key press is this responder's key, its modifiers allowing.
    bool matchesKeyEvent(const Event& event) const;
    // The same character without regard to case.
    static bool sameKey(unsigned short a, unsigned short b);

private:
    unsigned short m_hotKeyValue;
    Block m_block;
};

// Mouse buttons, bit n of the mask for button n (0 left, 1 right, 2 the others). The block hears each
// press and release, with whether the button went down. The event goes on to the window.
class HVMouseDownInputResponder : public HVInputResponder {
public:
    using Block = std::function<void(Event& event, bool isMouseDown)>;

    static std::shared_ptr<HVMouseDownInputResponder>
    mouseDownInputResponderForButtonMask(unsigned buttonMask, unsigned long modifierFlags, unsigned options,
                                         Block block);
    HVMouseDownInputResponder(unsigned buttonMask, unsigned long modifierFlags, unsigned options,
                              Block block);

    unsigned buttonMask() const { return m_buttonMask; }
    const Block& block() const { return m_block; }
    bool matchesMouseEvent(const Event& event) const;

private:
    unsigned m_buttonMask;
    Block m_block;
};

// Every movement of the pointer, dragging included. The event goes on to the window.
class HVMouseMovementInputResponder : public HVInputResponder {
public:
    using Block = std::function<void(Event& event)>;

    static std::shared_ptr<HVMouseMovementInputResponder>
    mouseMovementInputResponderWithModifierFlags(unsigned long modifierFlags, unsigned options, Block block);
    HVMouseMovementInputResponder(unsigned long modifierFlags, unsigned options, Block block);

    const Block& block() const { return m_block; }

private:
    Block m_block;
};

// Sees the application's key, mouse-button, pointer-movement and wheel events before any window
// while started, and hands them to its responders. A key goes to the first responder, in the order
// they were added, that matches it; that responder alone then hears the key's repeats and its
// real release (whatever modifiers changed meanwhile), and the key goes no further. The releases of
// auto-repeat (flagged isARepeat) are swallowed: the key is still down. Where the window system left
// such a release unflagged, its responder heard it, and then hears the repeat press that follows at
// once as a press flagged isARepeat: the key is held again. When the application
// stops being active, every key still down is released to its responder, since the real release
// will go to another application.
class HVInputMonitor {
public:
    static HVInputMonitor& sharedMonitor();

    HVInputMonitor();
    ~HVInputMonitor();
    HVInputMonitor(const HVInputMonitor&) = delete;
    HVInputMonitor& operator=(const HVInputMonitor&) = delete;

    void start();
    void stop();
    bool isStarted() const { return m_started; }

    void addInputResponder(std::shared_ptr<HVInputResponder> responder);
    void removeInputResponder(const HVInputResponder* responder);
    void removeAllInputResponders();
    const std::vector<std::shared_ptr<HVInputResponder>>& inputResponders() const { return m_responders; }

    // The direction of the most recent wheel event seen while started: whether the device inverts
    // it ("natural" scrolling). No system-wide setting exists to ask.
    bool usesNaturalScrollDirection() const { return m_naturalScrolling; }

    // Hands one event to the responders; answers whether it goes on to the application. The
    // application's events arrive here while started.
    bool handleEvent(Event& event);
    // Releases every key still down, as if each had come up.
    void releaseAllKeys();

private:
    struct HeldKey {
        std::shared_ptr<HVKeyInputResponder> responder;
        unsigned short keyCode;
        unsigned short character;
    };

    bool handleKeyDown(Event& event, const std::optional<HeldKey>& justReleased);
    bool handleKeyUp(Event& event);
    void handleMouseButton(Event& event, bool isDown);
    void handleMouseMovement(Event& event);
    static bool isSameKey(const HeldKey& key, const Event& event);
    std::vector<HeldKey>::iterator heldKeyFor(const Event& event);

    std::vector<std::shared_ptr<HVInputResponder>> m_responders;
    std::vector<HeldKey> m_heldKeys;
    // The key whose release was handed out by the event just before, should the next press show it
    // to have been an auto-repeat's.
    std::optional<HeldKey> m_justReleased;
    bool m_started = false;
    bool m_naturalScrolling = false;
    int m_monitorToken = 0;
    NotificationObserver m_resignActiveObserver;
};
