#pragma once

#include "platform/foundation/PlistValue.h"
#include "platform/hvkit/HVHotKeyMapping.h"
#include "prompting/OVCoreInputController.h"

#include <QMetaType>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class Event;
class HVInputMonitor;
class OVCore;
class Timer;
class View;

// Names of the prompting hot-key settings. Each holds one 16-bit character code without modifiers,
// 0 for none.
inline const QString kHotkeyToggleStartKey = QStringLiteral("hotkeyToggleStart");
inline const QString kHotkeyAlternativeToggleStartKey = QStringLiteral("hotkeyAlternativeToggleStart");
inline const QString kHotkeyEditModeKey = QStringLiteral("hotkeyEditMode");
inline const QString kHotkeyDecreaseSpeedKey = QStringLiteral("hotkeyDecreaseSpeed");
inline const QString kHotkeyIncreaseSpeedKey = QStringLiteral("hotkeyIncreaseSpeed");
inline const QString kHotkeyScrollUpKey = QStringLiteral("hotkeyScrollUp");
inline const QString kHotkeyScrollDownKey = QStringLiteral("hotkeyScrollDown");
inline const QString kHotkeySpeedBoostKey = QStringLiteral("hotkeySpeedBoost");
inline const QString kHotkeySwitchDirectionKey = QStringLiteral("hotkeySwitchDirection");
inline const QString kHotkeyMarkTextKey = QStringLiteral("hotkeyMarkText");
inline const QString kHotkeyToggleBlankingKey = QStringLiteral("hotkeyToggleBlanking");
inline const QString kHotkeyResetTimerKey = QStringLiteral("hotkeyResetTimer");
inline const QString kHotkeyPreviousBookmarkKey = QStringLiteral("hotkeyPreviousBookmark");
inline const QString kHotkeyNextBookmarkKey = QStringLiteral("hotkeyNextBookmark");
inline const QString kHotkeyScriptStartKey = QStringLiteral("hotkeyScriptStart");
inline const QString kHotkeyScriptEndKey = QStringLiteral("hotkeyScriptEnd");
// A boolean: the number keys and the backquote set the speed when no hot key uses one of them.
inline const QString kHotkeyUseNumberKeysToSetSpeedKey = QStringLiteral("hotkeyUseNumberKeysToSetSpeed");

// The keyboard and mouse in Prompt mode. Between start and stop it has responders on the input
// monitor: the scroll keys and the boost key only set the state the core's next tick reads, the
// faster and slower keys repeat their speed action on a timer while held, every other hot key sends
// its action along the responder chain to the front document's window controller, and clicks over
// the prompter start, pause and reverse it. Hot-key settings are read at start, so a change takes
// effect at the next entry into Prompt mode. Main thread only.
class OVInputController final : public OVCoreInputController {
public:
    // One row of the hot-key table, in the table's order: which setting holds the key, its default,
    // whether it is held (state or repeat) or mapped to one action, and what its uses count under.
    struct HotKey {
        QString defaultsKey;
        unsigned short defaultValue;
        bool held;
        QString action;
        QString analyticsKey;
    };
    static const std::vector<HotKey>& hotKeyTable();
    // The hot-key settings with their defaults, for the settings pane that owns them to register.
    static PlistDictionary hotKeyDefaults();
    // The value a hot-key setting has now: the stored code, 0 when what is stored is no character
    // code, the table's default while nothing is stored or registered.
    static unsigned short hotKeyValue(const QString& defaultsKey);

    // The fixed keys that are mapped when they are free.
    static constexpr unsigned short kPageUpKey = 0xF72C;
    static constexpr unsigned short kPageDownKey = 0xF72D;
    static constexpr unsigned short kEscapeKey = 27;

    // Responder options and the button mask, as the input monitor reads them.
    static constexpr unsigned kHeldKeyOptions = 0;
    static constexpr unsigned kMappedKeyOptions = 18;
    static constexpr unsigned kBoostKeyOptions = 22;
    // Option with a number key reverses the speed it sets, so number keys take Option too.
    static constexpr unsigned kNumberKeyOptions = kMappedKeyOptions;
    static constexpr unsigned kMouseButtonMask = 7;
    // The longest wait between two repeats of a held speed key, in seconds.
    static constexpr double kMaximumAutoRepeatInterval = 0.25;

    // The core answers the mode; the monitor is the shared one unless a test gives its own.
    explicit OVInputController(OVCore& core, HVInputMonitor* monitor = nullptr);
    ~OVInputController() override;
    OVInputController(const OVInputController&) = delete;
    OVInputController& operator=(const OVInputController&) = delete;

    // Actions sent while the faster or slower key is held, and for Option with the scroll keys.
    const QString& increaseSpeedAction() const { return m_increaseSpeedAction; }
    void setIncreaseSpeedAction(const QString& action) { m_increaseSpeedAction = action; }
    const QString& decreaseSpeedAction() const { return m_decreaseSpeedAction; }
    void setDecreaseSpeedAction(const QString& action) { m_decreaseSpeedAction = action; }
    const QString& scrollLineDownAction() const { return m_scrollLineDownAction; }
    void setScrollLineDownAction(const QString& action) { m_scrollLineDownAction = action; }
    const QString& scrollLineUpAction() const { return m_scrollLineUpAction; }
    void setScrollLineUpAction(const QString& action) { m_scrollLineUpAction = action; }

    void start() override;
    void stop() override;
    bool isStarted() const;
    void clearVariables();
    void updateResponders();
    // The hot keys the last updateResponders mapped, in the order they were made.
    const std::vector<HVHotKeyMapping>& mappings() const { return m_mappings; }

    // Held state.
    bool scrollDown() const override { return m_scrollDown; }
    bool scrollUp() const override { return m_scrollUp; }
    bool boostSpeed() const override { return m_boostSpeed; }
    bool increaseSpeed() const { return m_increaseSpeed; }
    bool decreaseSpeed() const { return m_decreaseSpeed; }
    double lastScrollDownTime() const override { return m_lastScrollDownTime; }
    double lastScrollUpTime() const override { return m_lastScrollUpTime; }

    // The repeat of the held speed keys.
    void installAutoRepeatTimerIfNeeded();
    void uninstallAutoRepeatTimerIfNeeded();
    void uninstallAutoRepeatTimer();
    void autoRepeatTimerFired();
    bool hasAutoRepeatTimer() const { return m_autoSpeedTimer != nullptr; }
    // min(the keyboard's repeat interval, kMaximumAutoRepeatInterval).
    static double autoRepeatInterval();

    // Whether clicks on this view drive the prompter: by default the prompter's scroll view, its
    // clip view and the text inside it. The window controller may give a stricter test.
    void setPrompterViewFilter(std::function<bool(const View* view)> filter)
    {
        m_prompterViewFilter = std::move(filter);
    }
    // Whether the application is active; the platform's answer unless a test sets it.
    void setApplicationActiveProvider(std::function<bool()> provider)
    {
        m_activeProvider = std::move(provider);
    }

private:
    void addKeyResponders();
    void heldScrollKey(const Event& event, bool isKeyDown, bool down);
    void heldSpeedKey(const Event& event, bool isKeyDown, bool faster);
    void mappedKey(const HVHotKeyMapping& mapping, const Event& event, bool isKeyDown);
    void mouseButton(Event& event, bool isMouseDown);
    void mouseMoved();
    bool isPrompterViewUnderEvent(const Event& event) const;
    bool isApplicationActive() const;
    bool sendAction(const QString& action);

    OVCore& m_core;
    HVInputMonitor& m_monitor;

    bool m_scrollDown = false;
    bool m_scrollUp = false;
    bool m_increaseSpeed = false;
    bool m_decreaseSpeed = false;
    bool m_boostSpeed = false;
    double m_lastScrollDownTime = 0;
    double m_lastScrollUpTime = 0;
    // When the scroll keys went down: a release that turns out to be an auto-repeat's is taken back
    // without starting the easing again.
    double m_scrollDownPressTime = 0;
    double m_scrollUpPressTime = 0;
    QString m_increaseSpeedAction;
    QString m_decreaseSpeedAction;
    QString m_scrollLineDownAction;
    QString m_scrollLineUpAction;
    std::unique_ptr<Timer> m_autoSpeedTimer;

    std::vector<HVHotKeyMapping> m_mappings;
    std::function<bool(const View*)> m_prompterViewFilter;
    std::function<bool()> m_activeProvider;
};

Q_DECLARE_METATYPE(OVInputController*)
