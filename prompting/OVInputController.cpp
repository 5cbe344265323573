#include "prompting/OVInputController.h"

#include "platform/appkit/Application.h"
#include "platform/appkit/ClipView.h"
#include "platform/appkit/Cursor.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/ScrollView.h"
#include "platform/appkit/Timer.h"
#include "platform/appkit/View.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVAppServices.h"
#include "platform/hvkit/HVCursorAdditions.h"
#include "platform/hvkit/HVInputMonitor.h"
#include "platform/hvkit/HVTimestamp.h"
#include "prompting/OVCore.h"
#include "prompting/OVCoreSettings.h"
#include "settings/OVConstants.h"

#include <QGuiApplication>
#include <QStyleHints>

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>

namespace {

const QString kToggleStatusAction = QStringLiteral("toggleStatus:");
const QString kEnterEditModeAction = QStringLiteral("enterEditMode:");
const QString kSwitchDirectionAction = QStringLiteral("switchDirection:");
const QString kSetSpeedFromNumberAction = QStringLiteral("setSpeedFromHotKeyValueNumber:");

// What the option values ask of the input monitor.
static_assert(OVInputController::kMappedKeyOptions ==
              (HVInputResponderOptionIgnoresKeyEquivalents | HVInputResponderOptionMatchesTypedCharacter));
static_assert(OVInputController::kBoostKeyOptions ==
              (OVInputController::kMappedKeyOptions | HVInputResponderOptionIgnoresRepeats));

// Ranks of the keys that are not rows of the table, after all of them.
constexpr int kPageKeysRank = 100;
constexpr int kEscapeFallbackRank = 101;
constexpr int kNumberKeysRank = 102;

void countUse(const QString& key)
{
    HVAppServices::shared().analytics().incrementIntegerForKeyPath(key);
}

// Only for the table's own keys.
const OVInputController::HotKey& row(const QString& defaultsKey)
{
    const auto& table = OVInputController::hotKeyTable();
    return *std::find_if(table.begin(), table.end(),
                         [&defaultsKey](const auto& hotKey) { return hotKey.defaultsKey == defaultsKey; });
}

int rank(const QString& defaultsKey)
{
    const auto& table = OVInputController::hotKeyTable();
    return int(
        std::find_if(table.begin(), table.end(),
                     [&defaultsKey](const auto& hotKey) { return hotKey.defaultsKey == defaultsKey; }) -
        table.begin());
}

} // namespace

const std::vector<OVInputController::HotKey>& OVInputController::hotKeyTable()
{
    static const std::vector<HotKey> table = {
        {kHotkeyToggleStartKey, 32, false, kToggleStatusAction, QStringLiteral("hotkeys.toggleStartUses")},
        {kHotkeyAlternativeToggleStartKey, 160, false, kToggleStatusAction,
         QStringLiteral("hotkeys.toggleStartUses")},
        {kHotkeyEditModeKey, 27, false, kEnterEditModeAction, QStringLiteral("hotkeys.editModeUses")},
        {kHotkeyDecreaseSpeedKey, 0xF702, true, QStringLiteral("decreaseSpeed:"),
         QStringLiteral("hotkeys.decreaseSpeedUses")},
        {kHotkeyIncreaseSpeedKey, 0xF703, true, QStringLiteral("increaseSpeed:"),
         QStringLiteral("hotkeys.increaseSpeedUses")},
        {kHotkeyScrollUpKey, 0xF700, true, QString(), QStringLiteral("hotkeys.scrollUpUses")},
        {kHotkeyScrollDownKey, 0xF701, true, QString(), QStringLiteral("hotkeys.scrollDownUses")},
        {kHotkeySpeedBoostKey, 83, true, QString(), QStringLiteral("hotkeys.speedBoost")},
        {kHotkeySwitchDirectionKey, 73, false, kSwitchDirectionAction,
         QStringLiteral("hotkeys.switchDirectionUses")},
        {kHotkeyMarkTextKey, 77, false, QStringLiteral("markText:"), QStringLiteral("hotkeys.markTextUses")},
        {kHotkeyToggleBlankingKey, 66, false, QStringLiteral("toggleBlanking:"),
         QStringLiteral("hotkeys.toggleBlankingUses")},
        {kHotkeyResetTimerKey, 82, false, QStringLiteral("resetElapsedTimer:"),
         QStringLiteral("hotkeys.resetTimerUses")},
        {kHotkeyPreviousBookmarkKey, 91, false, QStringLiteral("previousBookmark:"),
         QStringLiteral("hotkeys.previousBookmarkUses")},
        {kHotkeyNextBookmarkKey, 93, false, QStringLiteral("nextBookmark:"),
         QStringLiteral("hotkeys.nextBookmarkUses")},
        {kHotkeyScriptStartKey, 0xF729, false, QStringLiteral("scriptStart:"),
         QStringLiteral("hotkeys.scriptStartUses")},
        {kHotkeyScriptEndKey, 0xF72B, false, QStringLiteral("scriptEnd:"),
         QStringLiteral("hotkeys.scriptEndUses")},
    };
    return table;
}

PlistDictionary OVInputController::hotKeyDefaults()
{
    PlistDictionary defaults;
    for (const HotKey& hotKey : hotKeyTable())
        defaults.insert(hotKey.defaultsKey, PlistValue(qint64(hotKey.defaultValue)));
    defaults.insert(kHotkeyUseNumberKeysToSetSpeedKey, PlistValue(true));
    return defaults;
}

unsigned short OVInputController::hotKeyValue(const QString& defaultsKey)
{
    const PlistValue stored = UserDefaults::shared().objectForKey(defaultsKey);
    if (stored.isNull()) {
        const auto& table = hotKeyTable();
        const auto found = std::find_if(table.begin(), table.end(), [&defaultsKey](const HotKey& hotKey) {
            return hotKey.defaultsKey == defaultsKey;
        });
        return found != table.end() ? found->defaultValue : 0;
    }
    if (!stored.isNumber() || stored.isUnsignedInteger())
        return 0;
    // A code outside 16 bits, or a fraction, names no key; truncating it would name a different one.
    const double value = stored.toDouble();
    const bool isCode =
        value > 0 && value <= std::numeric_limits<unsigned short>::max() && std::floor(value) == value;
    return isCode ? static_cast<unsigned short>(value) : 0;
}

OVInputController::OVInputController(OVCore& core, HVInputMonitor* monitor)
    : m_core(core), m_monitor(monitor ? *monitor : HVInputMonitor::sharedMonitor())
{
}

OVInputController::~OVInputController()
{
    stop();
    uninstallAutoRepeatTimer();
}

bool OVInputController::isStarted() const
{
    return m_monitor.isStarted();
}

void OVInputController::start()
{
    if (m_monitor.isStarted())
        return;
    clearVariables();
    updateResponders();
    m_monitor.start();
}

void OVInputController::stop()
{
    if (!m_monitor.isStarted())
        return;
    m_monitor.stop();
    m_monitor.removeAllInputResponders();
    clearVariables();
    // Left running, the repeat would outlive the keys it repeats into the next Prompt mode.
    uninstallAutoRepeatTimer();
}

void OVInputController::clearVariables()
{
    m_lastScrollDownTime = 0;
    m_lastScrollUpTime = 0;
    m_scrollDown = false;
    m_scrollUp = false;
    m_increaseSpeed = false;
    m_decreaseSpeed = false;
    m_boostSpeed = false;
}

void OVInputController::updateResponders()
{
    addKeyResponders();

    m_monitor.addInputResponder(HVMouseDownInputResponder::mouseDownInputResponderForButtonMask(
        kMouseButtonMask, 0, 0, [this](Event& event, bool isMouseDown) { mouseButton(event, isMouseDown); }));

    if (!OVCoreSettings::boolean(QStringLiteral("cursorMovementAdjustsSpeed"), false))
        m_monitor.addInputResponder(
            HVMouseMovementInputResponder::mouseMovementInputResponderWithModifierFlags(
                0, 0, [this](Event&) { mouseMoved(); }));
}

void OVInputController::addKeyResponders()
{
    struct Ranked {
        int rank;
        std::shared_ptr<HVKeyInputResponder> responder;
    };
    std::vector<Ranked> responders;
    // Every key wakes the tick after it acted: a held scroll or boost key moves the script only
    // through the ticks that follow, and a resting tick would leave it standing.
    const auto add = [this, &responders](int rank, unsigned short key, unsigned options,
                                         HVKeyInputResponder::Block block) {
        if (key == 0)
            return;
        HVKeyInputResponder::Block waking = [this, block = std::move(block)](Event& event, bool isKeyDown) {
            block(event, isKeyDown);
            m_core.wakePrompterTick();
        };
        responders.push_back({rank, HVKeyInputResponder::keyInputResponderWithHotKeyValue(
                                        key, 0, options, std::move(waking))});
    };

    add(rank(kHotkeyScrollDownKey), hotKeyValue(kHotkeyScrollDownKey), kHeldKeyOptions,
        [this](Event& event, bool isKeyDown) { heldScrollKey(event, isKeyDown, true); });
    add(rank(kHotkeyScrollUpKey), hotKeyValue(kHotkeyScrollUpKey), kHeldKeyOptions,
        [this](Event& event, bool isKeyDown) { heldScrollKey(event, isKeyDown, false); });
    add(rank(kHotkeyIncreaseSpeedKey), hotKeyValue(kHotkeyIncreaseSpeedKey), kHeldKeyOptions,
        [this](Event& event, bool isKeyDown) { heldSpeedKey(event, isKeyDown, true); });
    add(rank(kHotkeyDecreaseSpeedKey), hotKeyValue(kHotkeyDecreaseSpeedKey), kHeldKeyOptions,
        [this](Event& event, bool isKeyDown) { heldSpeedKey(event, isKeyDown, false); });

    // Keys some setting holds; the fixed keys and the number keys only take what is free.
    std::set<unsigned short> usedKeys;
    for (const QString& key :
         {kHotkeyScrollDownKey, kHotkeyScrollUpKey, kHotkeyDecreaseSpeedKey, kHotkeyIncreaseSpeedKey,
          kHotkeyEditModeKey, kHotkeyToggleStartKey, kHotkeyAlternativeToggleStartKey,
          kHotkeySwitchDirectionKey, kHotkeyMarkTextKey, kHotkeyToggleBlankingKey, kHotkeyResetTimerKey,
          kHotkeyPreviousBookmarkKey, kHotkeyNextBookmarkKey, kHotkeyScriptStartKey, kHotkeyScriptEndKey}) {
        const PlistValue stored = UserDefaults::shared().objectForKey(key);
        if (stored.isNull() || stored.isNumber())
            usedKeys.insert(hotKeyValue(key));
    }
    const auto isUsed = [&usedKeys](unsigned short key) {
        return std::any_of(usedKeys.begin(), usedKeys.end(), [key](unsigned short used) {
            return used != 0 && HVKeyInputResponder::sameKey(used, key);
        });
    };

    struct RankedMapping {
        int rank;
        HVHotKeyMapping mapping;
    };
    std::vector<RankedMapping> mappings;
    for (const QString& key :
         {kHotkeyEditModeKey, kHotkeyToggleStartKey, kHotkeyAlternativeToggleStartKey,
          kHotkeySwitchDirectionKey, kHotkeyMarkTextKey, kHotkeyToggleBlankingKey, kHotkeyResetTimerKey,
          kHotkeyPreviousBookmarkKey, kHotkeyNextBookmarkKey, kHotkeyScriptStartKey, kHotkeyScriptEndKey}) {
        const HotKey& hotKey = row(key);
        mappings.push_back({rank(key), HVHotKeyMapping::mappingWithHotKeyValue(
                                           hotKeyValue(key), hotKey.action, QVariant(), hotKey.analyticsKey,
                                           HVHotKeyMapping::kOptionsNone)});
    }
    if (!isUsed(kPageUpKey) && !isUsed(kPageDownKey)) {
        mappings.push_back({kPageKeysRank, HVHotKeyMapping::mappingWithHotKeyValue(
                                               kPageUpKey, QStringLiteral("prompterScrollPageUp:"),
                                               QVariant(), QString(), HVHotKeyMapping::kOptionsNone)});
        mappings.push_back({kPageKeysRank, HVHotKeyMapping::mappingWithHotKeyValue(
                                               kPageDownKey, QStringLiteral("prompterScrollPageDown:"),
                                               QVariant(), QString(), HVHotKeyMapping::kOptionsNone)});
        usedKeys.insert(kPageUpKey);
        usedKeys.insert(kPageDownKey);
    }
    if (!isUsed(kEscapeKey) && hotKeyValue(kHotkeyEditModeKey) == 0)
        mappings.push_back(
            {kEscapeFallbackRank, HVHotKeyMapping::mappingWithHotKeyValue(
                                      kEscapeKey, kEnterEditModeAction, QVariant(),
                                      row(kHotkeyEditModeKey).analyticsKey, HVHotKeyMapping::kOptionsNone)});
    const QList<quint16>& numberKeys = OVConstants::numberCharactersArray();
    if (OVCoreSettings::boolean(kHotkeyUseNumberKeysToSetSpeedKey, true) &&
        std::none_of(numberKeys.begin(), numberKeys.end(), isUsed)) {
        for (quint16 number : numberKeys)
            mappings.push_back(
                {kNumberKeysRank, HVHotKeyMapping::mappingWithHotKeyValue(
                                      number, kSetSpeedFromNumberAction, QVariant(uint(number)),
                                      QStringLiteral("hotkeys.numberKeySpeedAdjustments"),
                                      HVHotKeyMapping::kOptionsNumberKey)});
    }

    m_mappings.clear();
    for (const RankedMapping& ranked : mappings) {
        m_mappings.push_back(ranked.mapping);
        const HVHotKeyMapping mapping = ranked.mapping;
        const unsigned options =
            mapping.options() == HVHotKeyMapping::kOptionsNumberKey ? kNumberKeyOptions : kMappedKeyOptions;
        add(ranked.rank, static_cast<unsigned short>(mapping.hotKeyValue()), options,
            [this, mapping](Event& event, bool isKeyDown) { mappedKey(mapping, event, isKeyDown); });
    }

    add(rank(kHotkeySpeedBoostKey), hotKeyValue(kHotkeySpeedBoostKey), kBoostKeyOptions,
        [this](Event&, bool isKeyDown) {
            m_boostSpeed = isKeyDown;
            if (!isKeyDown)
                countUse(row(kHotkeySpeedBoostKey).analyticsKey);
        });

    // When two settings hold one key, the first row of the table takes it: the monitor gives a key
    // to the first responder that matches.
    std::stable_sort(responders.begin(), responders.end(),
                     [](const Ranked& a, const Ranked& b) { return a.rank < b.rank; });
    for (Ranked& ranked : responders)
        m_monitor.addInputResponder(std::move(ranked.responder));
}

void OVInputController::heldScrollKey(const Event& event, bool isKeyDown, bool down)
{
    bool& held = down ? m_scrollDown : m_scrollUp;
    double& lastTime = down ? m_lastScrollDownTime : m_lastScrollUpTime;
    const QString& lineAction = down ? m_scrollLineDownAction : m_scrollLineUpAction;
    if (event.modifierFlags & kOptionKeyMask) {
        // Option pressed while the key was held ends the held state here, so the easing starts now.
        if (held)
            lastTime = HVTimestamp::seconds();
        held = false;
        if (!lineAction.isEmpty()) {
            if (isKeyDown)
                sendAction(lineAction);
            else
                countUse(down ? QStringLiteral("hotkeys.scrollLineDownUses")
                              : QStringLiteral("hotkeys.scrollLineUpUses"));
        }
        return;
    }
    double& pressTime = down ? m_scrollDownPressTime : m_scrollUpPressTime;
    // A press flagged as a repeat follows a release that was the window system's auto-repeat: the
    // key has been down since its first press.
    if (isKeyDown && event.isARepeat) {
        if (!held)
            lastTime = pressTime;
        held = true;
        return;
    }
    if (isKeyDown != held)
        lastTime = HVTimestamp::seconds();
    if (isKeyDown)
        pressTime = lastTime;
    held = isKeyDown;
    if (!isKeyDown)
        countUse(row(down ? kHotkeyScrollDownKey : kHotkeyScrollUpKey).analyticsKey);
}

void OVInputController::heldSpeedKey(const Event& event, bool isKeyDown, bool faster)
{
    (faster ? m_increaseSpeed : m_decreaseSpeed) = isKeyDown;
    if (isKeyDown && event.isARepeat) {
        // Held since its first press: the repeat goes on at its pace, with no step of its own now.
        if (!m_autoSpeedTimer)
            m_autoSpeedTimer =
                Timer::scheduledTimer(autoRepeatInterval(), true, [this](Timer&) { autoRepeatTimerFired(); });
        return;
    }
    if (isKeyDown) {
        installAutoRepeatTimerIfNeeded();
    } else {
        uninstallAutoRepeatTimerIfNeeded();
        countUse(row(faster ? kHotkeyIncreaseSpeedKey : kHotkeyDecreaseSpeedKey).analyticsKey);
    }
}

void OVInputController::mappedKey(const HVHotKeyMapping& mapping, const Event& event, bool isKeyDown)
{
    // One action per press: a repeat is a key still held.
    if (!isKeyDown || event.isARepeat)
        return;
    const bool handled = Application::shared().sendAction(mapping.action(), nullptr, mapping.object());
    if (handled && !mapping.analyticsKey().isEmpty() && !event.isARepeat)
        countUse(mapping.analyticsKey());
}

double OVInputController::autoRepeatInterval()
{
    double interval = kMaximumAutoRepeatInterval;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        const int rate = QGuiApplication::styleHints()->keyboardAutoRepeatRate();
        // A rate of 0 means no repeat information, not an endless one.
        if (rate > 0)
            interval = std::min(interval, 1.0 / rate);
    }
    return interval;
}

void OVInputController::installAutoRepeatTimerIfNeeded()
{
    if (m_autoSpeedTimer)
        return;
    m_autoSpeedTimer =
        Timer::scheduledTimer(autoRepeatInterval(), true, [this](Timer&) { autoRepeatTimerFired(); });
    m_autoSpeedTimer->fire();
}

void OVInputController::uninstallAutoRepeatTimerIfNeeded()
{
    if (!m_increaseSpeed && !m_decreaseSpeed)
        uninstallAutoRepeatTimer();
}

void OVInputController::uninstallAutoRepeatTimer()
{
    if (!m_autoSpeedTimer)
        return;
    m_autoSpeedTimer->invalidate();
    m_autoSpeedTimer.reset();
}

void OVInputController::autoRepeatTimerFired()
{
    if (!m_core.isModePrompt() || !isApplicationActive())
        return;
    if (m_increaseSpeed && m_decreaseSpeed)
        return;
    if (m_increaseSpeed)
        sendAction(m_increaseSpeedAction);
    else if (m_decreaseSpeed)
        sendAction(m_decreaseSpeedAction);
}

void OVInputController::mouseButton(Event& event, bool isMouseDown)
{
    if (!isPrompterViewUnderEvent(event))
        return;
    if (isMouseDown) {
        if (event.buttonNumber == 0 &&
            OVCoreSettings::integer(QStringLiteral("leftClickBehaviorTag"), 0) == 0)
            sendAction(kToggleStatusAction);
        else if (event.buttonNumber == 1 &&
                 OVCoreSettings::integer(QStringLiteral("rightClickBehaviorTag"), 0) == 0)
            sendAction(kSwitchDirectionAction);
        HVCursorAdditions::cancelHideAfterDelay();
        // A click shows a pointer hidden until the mouse moves, as the system does by itself.
        Cursor::setHiddenUntilMouseMoves(false);
    } else {
        HVCursorAdditions::hideAfterDelay([this] { return m_core.isModePrompt(); });
    }
}

void OVInputController::mouseMoved()
{
    if (m_core.isModePrompt())
        HVCursorAdditions::hideAfterDelay([this] { return m_core.isModePrompt(); });
}

bool OVInputController::isPrompterViewUnderEvent(const Event& event) const
{
    if (!event.window || !event.window->contentView())
        return false;
    const View* view = event.window->contentView()->hitTest(event.locationInWindow);
    if (!view)
        return false;
    if (m_prompterViewFilter)
        return m_prompterViewFilter(view);
    return dynamic_cast<const ScrollView*>(view) || dynamic_cast<const ClipView*>(view) ||
           dynamic_cast<const ClipView*>(view->superview());
}

bool OVInputController::isApplicationActive() const
{
    return m_activeProvider ? m_activeProvider() : Application::shared().isActive();
}

bool OVInputController::sendAction(const QString& action)
{
    return Application::shared().sendAction(action, nullptr,
                                            QVariant::fromValue(const_cast<OVInputController*>(this)));
}
