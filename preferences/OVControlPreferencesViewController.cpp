#include "preferences/OVControlPreferencesViewController.h"

#include "platform/appkit/NSViewHVAdditions.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/hvkit/HVLocalizedString.h"
#include "preferences/OVGeneralPreferencesViewController.h"
#include "preferences/OVKeyField.h"
#include "prompting/NSResponderOVReverseScrollingAdditions.h"
#include "prompting/OVInputController.h"
#include "settings/OVConstants.h"
#include "settings/OVSharedPreferencesAccess.h"
#include "window/OVDocumentWindowController.h"
#include "window/OVSlider.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

const QString kUseNumberKeysKey = QStringLiteral("hotkeyUseNumberKeysToSetSpeed");
const QString kSpeedSliderOnlyUsesPositiveValuesKey = QStringLiteral("speedSliderOnlyUsesPositiveValues");
const QString kSpeedLimiterKey = QStringLiteral("speedLimiterRestrictsToSpeedSlider");

// Tab moves between the fields and 'L' (the character, not a key position) is kept for the
// program's own use: neither can be a hot key.
constexpr unsigned short kTabCode = 9;
constexpr unsigned short kLetterLCode = 76;

// The speed sliders' ranges: the step as the settings allow it, the speeds as the document
// window's speed slider offers them.
constexpr double kMinimumSpeedIncrement = 0.1;
constexpr double kMaximumSpeedIncrement = 1.0;
constexpr double kSpeedRange = 10.0;

constexpr std::array<const char*, OVControlPreferencesViewController::kKeyFieldCount> kFieldKeys = {
    "hotkeyToggleStart",  "hotkeyEditMode",       "hotkeyDecreaseSpeed", "hotkeyIncreaseSpeed",
    "hotkeyScrollUp",     "hotkeyScrollDown",     "hotkeySpeedBoost",    "hotkeySwitchDirection",
    "hotkeyMarkText",     "hotkeyToggleBlanking", "hotkeyResetTimer",    "hotkeyPreviousBookmark",
    "hotkeyNextBookmark", "hotkeyScriptStart",    "hotkeyScriptEnd",
};

constexpr std::array<const char*, OVControlPreferencesViewController::kKeyFieldCount> kFieldNames = {
    "toggleStartKeyField",  "editModeKeyField",       "decreaseSpeedKeyField", "increaseSpeedKeyField",
    "scrollUpKeyField",     "scrollDownKeyField",     "speedBoostKeyField",    "switchDirectionKeyField",
    "markTextKeyField",     "toggleBlankingKeyField", "resetTimerKeyField",    "previousBookmarkKeyField",
    "nextBookmarkKeyField", "scriptStartKeyField",    "scriptEndKeyField",
};

constexpr std::array<const char*, OVControlPreferencesViewController::kKeyFieldCount> kFieldTitles = {
    "Start and pause:", "Edit mode:",         "Slower:",        "Faster:",       "Scroll up:",
    "Scroll down:",     "Speed boost:",       "Reverse:",       "Mark text:",    "Blanking:",
    "Reset the timer:", "Previous bookmark:", "Next bookmark:", "Script start:", "Script end:",
};

QString localized(const QString& key, const char* english)
{
    return HVLocalizedString::localizedString(key, QString::fromUtf8(english));
}

void post(const QString& name)
{
    NotificationCenter::shared().postNotification(name, nullptr);
}

} // namespace

PlistDictionary OVControlPreferencesViewController::initialDefaultsDictionary()
{
    // The input controller keeps the hot-key table, so its codes are written down once.
    PlistDictionary defaults = OVInputController::hotKeyDefaults();
    defaults.insert(QStringLiteral("cursorMovementAdjustsSpeed"), false);
    defaults.insert(QStringLiteral("mousePromptingCursorLocation"), PlistValue::unsignedInteger(0));
    defaults.insert(QStringLiteral("snowLeopardUseNaturalScrollDirection"), false);
    defaults.insert(QStringLiteral("leftClickBehaviorTag"), 0);
    defaults.insert(QStringLiteral("rightClickBehaviorTag"), 0);
    // The wheel feeds the scroll engine while prompting.
    defaults.insert(QStringLiteral("scrollWheelBehaviorTag"), 1);
    defaults.insert(kSpeedIncrementKey, 0.2);
    defaults.insert(QStringLiteral("defaultSpeed"), 3.0);
    defaults.insert(QStringLiteral("setDefaultSpeedExitingPromptMode"), false);
    defaults.insert(QStringLiteral("setPauseSpeedOnPause"), false);
    defaults.insert(QStringLiteral("pauseSpeed"), 3.0);
    defaults.insert(QStringLiteral("setPreviousSpeedOnStart"), false);
    defaults.insert(QStringLiteral("changingSpeedStartsPrompter"), true);
    defaults.insert(kSpeedSliderOnlyUsesPositiveValuesKey, false);
    defaults.insert(kSpeedLimiterKey, false);
    return defaults;
}

const std::array<const char*, OVControlPreferencesViewController::kKeyFieldCount>&
OVControlPreferencesViewController::keyFieldDefaultsKeys()
{
    return kFieldKeys;
}

OVControlPreferencesViewController::OVControlPreferencesViewController(
    QWidget* parent, HVSettingsController* settingsController)
    : HVSettingsViewController(parent, settingsController)
{
    UserDefaults& defaults = UserDefaults::shared();
    using namespace HVDefaultsBinding;

    m_tabView = new QTabWidget(this);
    m_tabView->setObjectName(QStringLiteral("controlsTabView"));
    contentLayout()->addWidget(m_tabView);

    // Hot keys: a field per action, with room on its right for the clear button.
    auto* hotKeysTab = new QWidget;
    hotKeysTab->setObjectName(QStringLiteral("HotKeysTabIdentifier"));
    auto* hotKeysLayout = new QVBoxLayout(hotKeysTab);
    auto* grid = new QGridLayout;
    grid->setColumnMinimumWidth(2, 24);
    grid->setColumnMinimumWidth(5, 24);
    constexpr int kRowsPerColumn = 8;
    for (int index = 0; index < kKeyFieldCount; ++index) {
        auto* field = new OVKeyField(hotKeysTab);
        field->setObjectName(QString::fromLatin1(kFieldNames[size_t(index)]));
        field->setFixedWidth(120);
        m_keyFields[size_t(index)] = field;
        auto* label =
            new QLabel(localized(QString::fromLatin1(kFieldKeys[size_t(index)]), kFieldTitles[size_t(index)]),
                       hotKeysTab);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setBuddy(field);
        const int row = index % kRowsPerColumn;
        const int column = (index / kRowsPerColumn) * 3;
        grid->addWidget(label, row, column);
        grid->addWidget(field, row, column + 1);
    }
    hotKeysLayout->addLayout(grid);
    m_numberKeysButton = new QCheckBox(
        localized(QStringLiteral("settings-controls-number-keys"), "The keys 0 to 9 and ` set the speed"));
    m_numberKeysButton->setObjectName(QStringLiteral("userNumberKeysToAdjustSpeedButton"));
    bindCheckBox(m_numberKeysButton, kUseNumberKeysKey, defaults);
    hotKeysLayout->addWidget(m_numberKeysButton);
    auto* separator = new QFrame(hotKeysTab);
    separator->setObjectName(QStringLiteral("hotKeysNoteSeparatorBox"));
    separator->setFrameShape(QFrame::HLine);
    hotKeysLayout->addWidget(separator);
    auto* note =
        new QLabel(localized(QStringLiteral("settings-controls-hot-keys-note"),
                             "Click a field and press the key to use. Page Up and Page Down scroll a "
                             "page unless a field holds them."),
                   hotKeysTab);
    note->setObjectName(QStringLiteral("hotKeysNoteLabel"));
    note->setWordWrap(true);
    hotKeysLayout->addWidget(note);
    hotKeysLayout->addStretch(1);
    m_tabView->addTab(hotKeysTab, localized(QStringLiteral("settings-controls-hot-keys"), "Hot Keys"));

    // Speeds.
    auto* speedTab = new QWidget;
    speedTab->setObjectName(QStringLiteral("SpeedTabIdentifier"));
    auto* speedLayout = new QFormLayout(speedTab);
    m_speedIncrementSlider = addSpeedSlider(kSpeedIncrementKey, kMinimumSpeedIncrement,
                                            kMaximumSpeedIncrement, &m_speedIncrementLabel);
    m_speedIncrementSlider->setObjectName(QStringLiteral("speedIncrementSlider"));
    m_speedIncrementLabel->setObjectName(QStringLiteral("speedIncrementLabel"));
    m_defaultSpeedSlider =
        addSpeedSlider(QStringLiteral("defaultSpeed"), -kSpeedRange, kSpeedRange, &m_defaultSpeedLabel);
    m_defaultSpeedSlider->setObjectName(QStringLiteral("defaultSpeedSlider"));
    m_defaultSpeedLabel->setObjectName(QStringLiteral("defaultSpeedLabel"));
    m_pauseSpeedSlider =
        addSpeedSlider(QStringLiteral("pauseSpeed"), -kSpeedRange, kSpeedRange, &m_pauseSpeedLabel);
    m_pauseSpeedSlider->setObjectName(QStringLiteral("pauseSpeedSlider"));
    m_pauseSpeedLabel->setObjectName(QStringLiteral("pauseSpeedLabel"));
    const auto sliderRow = [](OVSlider* slider, QLabel* label) {
        auto* row = new QHBoxLayout;
        row->addWidget(slider, 1);
        row->addWidget(label);
        return row;
    };
    speedLayout->addRow(localized(QStringLiteral("settings-controls-speed-increment"), "Speed step:"),
                        sliderRow(m_speedIncrementSlider, m_speedIncrementLabel));
    speedLayout->addRow(localized(QStringLiteral("settings-controls-default-speed"), "Default speed:"),
                        sliderRow(m_defaultSpeedSlider, m_defaultSpeedLabel));
    speedLayout->addRow(localized(QStringLiteral("settings-controls-pause-speed"), "Pause speed:"),
                        sliderRow(m_pauseSpeedSlider, m_pauseSpeedLabel));
    const std::pair<const char*, const char*> speedSwitches[] = {
        {"setDefaultSpeedExitingPromptMode", "Leaving Prompt mode sets the default speed"},
        {"setPauseSpeedOnPause", "Pausing sets the pause speed"},
        {"setPreviousSpeedOnStart", "Starting restores the speed before the pause"},
        {"changingSpeedStartsPrompter", "Changing the speed starts the prompter"},
        {"speedSliderOnlyUsesPositiveValues", "The speed slider runs from 0"},
        {"speedLimiterRestrictsToSpeedSlider", "Keep every speed within the speed slider's range"},
    };
    for (const auto& [key, title] : speedSwitches) {
        auto* box = new QCheckBox(localized(QString::fromLatin1(key), title));
        box->setObjectName(QString::fromLatin1(key));
        bindCheckBox(box, QString::fromLatin1(key), defaults);
        speedLayout->addRow(box);
        // After the binding stored the value: the readers read the key when they hear of it.
        if (QString::fromLatin1(key) == kSpeedSliderOnlyUsesPositiveValuesKey)
            QObject::connect(box, &QCheckBox::clicked, this,
                             [this] { speedSliderOnlyUsesPositiveValuesChanged(); });
        else if (QString::fromLatin1(key) == kSpeedLimiterKey)
            QObject::connect(box, &QCheckBox::clicked, this,
                             [this] { limitAllSpeedsToSpeedSliderValuesChanged(); });
    }
    m_tabView->addTab(speedTab, localized(QStringLiteral("settings-controls-speed"), "Speed"));

    // Mouse and wheel.
    auto* mouseTab = new QWidget;
    mouseTab->setObjectName(QStringLiteral("MouseTabIdentifier"));
    auto* mouseLayout = new QFormLayout(mouseTab);
    auto* leftClick = new QComboBox;
    leftClick->setObjectName(QStringLiteral("leftClickBehaviorTag"));
    leftClick->addItem(localized(QStringLiteral("settings-controls-left-click-toggles"), "Starts and pauses"),
                       0);
    leftClick->addItem(localized(QStringLiteral("settings-controls-click-nothing"), "Does nothing"), 1);
    bindComboBox(leftClick, QStringLiteral("leftClickBehaviorTag"), defaults);
    mouseLayout->addRow(localized(QStringLiteral("settings-controls-left-click"), "Left click:"), leftClick);
    auto* rightClick = new QComboBox;
    rightClick->setObjectName(QStringLiteral("rightClickBehaviorTag"));
    rightClick->addItem(localized(QStringLiteral("settings-controls-right-click-reverses"), "Reverses"), 0);
    rightClick->addItem(localized(QStringLiteral("settings-controls-click-nothing"), "Does nothing"), 1);
    bindComboBox(rightClick, QStringLiteral("rightClickBehaviorTag"), defaults);
    mouseLayout->addRow(localized(QStringLiteral("settings-controls-right-click"), "Right click:"),
                        rightClick);
    auto* wheel = new QComboBox;
    wheel->setObjectName(QStringLiteral("scrollWheelBehaviorTag"));
    wheel->addItem(localized(QStringLiteral("settings-controls-wheel-speed"), "Changes the speed"), 0);
    wheel->addItem(localized(QStringLiteral("settings-controls-wheel-scrolls"), "Scrolls the script"), 1);
    bindComboBox(wheel, QStringLiteral("scrollWheelBehaviorTag"), defaults);
    mouseLayout->addRow(localized(QStringLiteral("settings-controls-wheel"), "Scroll wheel:"), wheel);
    auto* cursorMoves = new QCheckBox(
        localized(QStringLiteral("cursorMovementAdjustsSpeed"), "Moving the mouse changes the speed"));
    cursorMoves->setObjectName(QStringLiteral("cursorMovementAdjustsSpeed"));
    bindCheckBox(cursorMoves, QStringLiteral("cursorMovementAdjustsSpeed"), defaults);
    mouseLayout->addRow(cursorMoves);
    auto* cursorLocation = new QComboBox;
    cursorLocation->setObjectName(QStringLiteral("mousePromptingCursorLocation"));
    cursorLocation->addItem(localized(QStringLiteral("settings-controls-cursor-stays"), "Stays where it is"),
                            0);
    cursorLocation->addItem(
        localized(QStringLiteral("settings-controls-cursor-centred"), "Moves to the centre"), 1);
    bindComboBox(cursorLocation, QStringLiteral("mousePromptingCursorLocation"), defaults);
    mouseLayout->addRow(localized(QStringLiteral("settings-controls-cursor-location"), "The cursor:"),
                        cursorLocation);
    // The reversed wheel of systems before natural scrolling: every system the program knows has
    // natural scrolling, so its check box is not shown (the setting stays registered).
    m_tabView->addTab(mouseTab, localized(QStringLiteral("settings-controls-mouse"), "Mouse"));

    m_tabView->setCurrentWidget(hotKeysTab);
    m_observers.push_back(
        defaults.addObserver(kUseNumberKeysKey, [this](const QString&) { _updateNumberExclusions(); }));
    // The reversed wheel applies in Edit mode too only when asked; the reversal reads its setting then.
    m_observers.push_back(
        defaults.addObserver(QStringLiteral("snowLeopardUseNaturalScrollDirection"), [](const QString&) {
            if (UserDefaults::shared().boolForKey(
                    QStringLiteral("snowLeopardUseNaturalScrollDirectionAffectsAllModes")))
                updateReverseScrollWheelEventsFromUserDefaults();
        }));
    _configureKeyGroup();
}

OVControlPreferencesViewController::~OVControlPreferencesViewController()
{
    for (UserDefaults::ObserverToken token : m_observers)
        UserDefaults::shared().removeObserver(token);
}

OVSlider* OVControlPreferencesViewController::addSpeedSlider(const QString& key, double minimum,
                                                             double maximum, QLabel** label)
{
    auto* slider = new OVSlider(Qt::Horizontal);
    slider->setDoubleRange(minimum, maximum);
    // One step of the keyboard is a tenth, the finest the speed takes.
    slider->setSingleStep(1);
    slider->setPageStep(int(OVSlider::kScale));
    auto* shown = new QLabel;
    QFont digits = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    shown->setFont(digits);
    shown->setMinimumWidth(shown->fontMetrics().horizontalAdvance(QStringLiteral("-10.0")) + 4);
    shown->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    *label = shown;
    UserDefaults& defaults = UserDefaults::shared();
    const auto refresh = [slider, shown, key, &defaults] {
        const double value = defaults.doubleForKey(key);
        const QSignalBlocker blocker(slider);
        slider->setDoubleValue(value);
        shown->setText(OVGeneralPreferencesViewController::tenthsTitle(value));
    };
    refresh();
    m_observers.push_back(defaults.addObserver(key, [refresh](const QString&) { refresh(); }));
    QObject::connect(slider, &QSlider::valueChanged, slider, [slider, key, &defaults] {
        const double value = OVGeneralPreferencesViewController::roundedToTenths(slider->doubleValue());
        if (defaults.doubleForKey(key) != value)
            defaults.setDouble(value, key);
    });
    return slider;
}

OVKeyField* OVControlPreferencesViewController::keyFieldForDefaultsKey(const QString& key) const
{
    for (int index = 0; index < kKeyFieldCount; ++index) {
        if (key == QLatin1String(kFieldKeys[size_t(index)]))
            return m_keyFields[size_t(index)];
    }
    return nullptr;
}

void OVControlPreferencesViewController::_configureKeyGroup()
{
    if (m_keyGroup)
        return;
    for (int index = 0; index < kKeyFieldCount; ++index)
        m_keyFields[size_t(index)]->bindToDefaultsControllerWithUserInfoKey(
            QString::fromLatin1(kFieldKeys[size_t(index)]));
    m_keyGroup = new OVKeyGroup(this);
    for (OVKeyField* field : m_keyFields)
        m_keyGroup->addKeyField(field);
    m_keyGroup->setDelegate(this);
    m_keyGroup->setExclusions({kTabCode, kLetterLCode});
    _updateNumberExclusions();
}

void OVControlPreferencesViewController::_updateNumberExclusions()
{
    if (!m_keyGroup)
        return;
    QList<unsigned short> exclusions = m_keyGroup->exclusions();
    const QList<quint16>& numbers = OVConstants::numberCharactersArray();
    if (UserDefaults::shared().boolForKey(kUseNumberKeysKey)) {
        for (quint16 number : numbers)
            exclusions << number;
    } else {
        exclusions.removeIf([&numbers](unsigned short code) { return numbers.contains(code); });
    }
    m_keyGroup->setExclusions(exclusions);
}

void OVControlPreferencesViewController::duplicateKey(const QString& key, OVKeyField* existsForKeyField)
{
    if (existsForKeyField) {
        NSViewHVAdditions::shake(existsForKeyField);
        return;
    }
    const unsigned short code = m_keyGroup->representedObjectForString(key);
    if (OVConstants::numberCharactersArray().contains(code))
        NSViewHVAdditions::shake(m_numberKeysButton);
    else if (code != kTabCode && code != kLetterLCode)
        qWarning("%s:  Unknown where exclusion came from", "OVControlPreferencesViewController");
}

void OVControlPreferencesViewController::speedSliderOnlyUsesPositiveValuesChanged()
{
    post(OVPreferencesControlsSpeedSliderValuesDidChangeNotification);
}

void OVControlPreferencesViewController::limitAllSpeedsToSpeedSliderValuesChanged()
{
    post(OVPreferencesControlsSpeedLimiterDidChangeNotification);
}

void OVControlPreferencesViewController::defaultsWillReset()
{
    // A field being edited keeps no pending text here: each key is stored as it is pressed.
    if (QWidget* focus = QApplication::focusWidget(); focus && isAncestorOf(focus))
        focus->clearFocus();
}

void OVControlPreferencesViewController::defaultsDidReset()
{
    speedSliderOnlyUsesPositiveValuesChanged();
    limitAllSpeedsToSpeedSliderValuesChanged();
}
