#include "preferences/OVAdvancedPreferencesViewController.h"

#include "platform/appkit/Alert.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/OpenPanel.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVAnalytics.h"
#include "platform/hvkit/HVAppServices.h"
#include "platform/hvkit/HVLocalizedString.h"
#include "platform/hvkit/HVSettingsController.h"
#include "prompter_view/OVScrollView.h"
#include "prompting/OVEmbeddableWindow.h"
#include "settings/OVSharedPreferencesAccess.h"
#include "text/OVTextView.h"
#include "window/OVDocumentWindowController.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

namespace {

// -1 in a key ending in "Tag" selects the registered choice.
constexpr int kAutomaticTag = -1;

const QString kFrameRateOptionTagKey = QStringLiteral("frameRateOptionTag");
const QString kCustomFrameRateKey = QStringLiteral("customFrameRate");
const QString kOverdrawOptionTagKey = QStringLiteral("overdrawOptionTag");
const QString kCustomOverdrawMemoryLimitMBKey = QStringLiteral("customOverdrawMemoryLimitMB");
const QString kCustomOverdrawFixedHeightPointsKey = QStringLiteral("customOverdrawFixedHeightPoints");
const QString kWaTimerIntervalKey = QStringLiteral("waTimerInterval");
const QString kEnableAnalyticsKey = QStringLiteral("enableAnalytics");

// What a custom field accepts, as the platform's number formatters held it.
struct NumberFormat {
    double minimum;
    double maximum;
    bool integral;
};

NumberFormat formatForKey(const QString& key)
{
    if (key == kCustomFrameRateKey)
        return {1, 1000, true};
    if (key == kCustomOverdrawMemoryLimitMBKey)
        return {1, 4096, true};
    if (key == kCustomOverdrawFixedHeightPointsKey)
        return {256, 131072, true};
    return {1, 120, false};
}

const char* const kBoundKeyProperty = "OVBoundDefaultsKey";

// The field's number, when it parses in the user's locale (or plainly) and lies in its range.
std::optional<double> acceptedNumber(const QLineEdit* field, const NumberFormat& format)
{
    const QString text = field->text().trimmed();
    bool ok = false;
    double value = QLocale().toDouble(text, &ok);
    if (!ok)
        value = QLocale::c().toDouble(text, &ok);
    if (!ok || !std::isfinite(value) || value < format.minimum || value > format.maximum)
        return std::nullopt;
    if (format.integral && value != std::floor(value))
        return std::nullopt;
    return value;
}

QString numberText(double value, const NumberFormat& format)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return format.integral ? locale.toString(qint64(value)) : locale.toString(value, 'g', 6);
}

void storeNumber(const QString& key, double value, const NumberFormat& format)
{
    UserDefaults& defaults = UserDefaults::shared();
    if (format.integral)
        defaults.setInteger(qint64(value), key);
    else
        defaults.setDouble(value, key);
}

// What a field that fails its check falls back to, brought into the field's range: the timer
// interval 8, the frame rate 50 and either overdraw figure 3000.
double fallbackForKey(const QString& key, const NumberFormat& format)
{
    double fallback = 8;
    if (key == kCustomFrameRateKey)
        fallback = 50;
    else if (key == kCustomOverdrawMemoryLimitMBKey || key == kCustomOverdrawFixedHeightPointsKey)
        fallback = 3000;
    return std::clamp(fallback, format.minimum, format.maximum);
}

// A field showing a number key and storing what the user types once it is a number in range; a
// value out of range stays in the field until the pane hides. Lives as long as the binding does.
class NumberBinding final : public QObject {
public:
    NumberBinding(QLineEdit* field, const QString& key) : QObject(field), m_field(field), m_key(key)
    {
        m_field->setProperty(kBoundKeyProperty, key);
        m_token = UserDefaults::shared().addObserver(key, [this](const QString&) { refresh(); });
        m_connection = QObject::connect(field, &QLineEdit::editingFinished, this, [this] { store(); });
        refresh();
    }
    ~NumberBinding() override
    {
        UserDefaults::shared().removeObserver(m_token);
        QObject::disconnect(m_connection);
        m_field->setProperty(kBoundKeyProperty, QVariant());
    }

private:
    void refresh()
    {
        const QSignalBlocker blocker(m_field);
        m_field->setText(numberText(UserDefaults::shared().doubleForKey(m_key), formatForKey(m_key)));
    }
    void store()
    {
        const NumberFormat format = formatForKey(m_key);
        if (const std::optional<double> value = acceptedNumber(m_field, format);
            value && UserDefaults::shared().doubleForKey(m_key) != *value)
            storeNumber(m_key, *value, format);
    }

    QLineEdit* m_field;
    QString m_key;
    UserDefaults::ObserverToken m_token = 0;
    QMetaObject::Connection m_connection;
};

QString localized(const char* key, const char* english)
{
    return HVLocalizedString::localizedString(QString::fromLatin1(key), QString::fromUtf8(english));
}

QComboBox* popUp(const char* name, const QString& key,
                 std::initializer_list<std::pair<const char*, int>> items)
{
    auto* box = new QComboBox;
    box->setObjectName(QString::fromLatin1(name));
    for (const auto& [title, tag] : items)
        box->addItem(localized(title, title), tag);
    HVDefaultsBinding::bindComboBox(box, key, UserDefaults::shared());
    return box;
}

} // namespace

PlistDictionary OVAdvancedPreferencesViewController::initialDefaultsDictionary()
{
    PlistDictionary defaults;
    defaults.insert(QStringLiteral("documentSpeedTypeTag"), 0);
    defaults.insert(QStringLiteral("speedScaleTypeTag"), 1);
    defaults.insert(QStringLiteral("updateDriverTypeTag"), kAutomaticTag);
    defaults.insert(QStringLiteral("updateTimingTag"), kAutomaticTag);
    defaults.insert(QStringLiteral("frameRateOptionTag"), kAutomaticTag);
    defaults.insert(QStringLiteral("customFrameRate"), 50);
    defaults.insert(QStringLiteral("overdrawOptionTag"), kAutomaticTag);
    defaults.insert(QStringLiteral("customOverdrawMemoryLimitMB"), 128);
    defaults.insert(QStringLiteral("customOverdrawFixedHeightPoints"), 8192);
    defaults.insert(QStringLiteral("waTypeTag"), kAutomaticTag);
    defaults.insert(QStringLiteral("waTimerInterval"), 8.0);
    defaults.insert(QStringLiteral("coreAnimationOptionTag"), kAutomaticTag);
    defaults.insert(QStringLiteral("quartzGLOptionTag"), kAutomaticTag);
    defaults.insert(QStringLiteral("renderingOptionTag"), kAutomaticTag);
    // The program behaves as on the newest system, where full-screen prompting captures the displays.
    defaults.insert(QStringLiteral("captureDisplays"), true);
    defaults.insert(QStringLiteral("useConcurrentViewDrawing"), false);
    defaults.insert(QStringLiteral("alwaysUseAutomaticWhitespacePadding"), false);
    defaults.insert(QStringLiteral("bookmarkPreviousNextNavigationWrapsAround"), false);
    defaults.insert(QStringLiteral("useWindowTranslucencyEffects"), true);
    defaults.insert(QStringLiteral("enableTalentContentAdjustments"), false);
    defaults.insert(QStringLiteral("enableAnalytics"), true);
    defaults.insert(QStringLiteral("enableHardwareProfiles"), true);
    defaults.insert(QStringLiteral("logTrackedIssues"), false);
    defaults.insert(QStringLiteral("NSConstraintBasedLayoutVisualizeMutuallyExclusiveConstraints"), false);
    defaults.insert(QStringLiteral("useOpportunisticHardwareAcceleration"), true);
    defaults.insert(QStringLiteral("ignoreOpportunisticHardwareAccelerationRequirements"), false);
    defaults.insert(QStringLiteral("hideEditModeToolbarItemsInPromptMode"), true);
    defaults.insert(QStringLiteral("mouseReverseMovementAdjustsSpeed"), false);
    defaults.insert(QStringLiteral("snowLeopardUseNaturalScrollDirectionAffectsAllModes"), false);
    defaults.insert(QStringLiteral("useBlockingWindowEvents"), false);
    defaults.insert(QStringLiteral("enableEmbedWindow"), false);
    defaults.insert(QStringLiteral("useFixedPrompterSize"), false);
    defaults.insert(QStringLiteral("fixedPrompterWidth"), PlistValue::unsignedInteger(800));
    defaults.insert(QStringLiteral("fixedPrompterHeight"), PlistValue::unsignedInteger(600));
    defaults.insert(QStringLiteral("HVEnableTextViewArtifactsWorkaround"), true);
    defaults.insert(QStringLiteral("enableExperimentalTimer"), false);
    return defaults;
}

OVAdvancedPreferencesViewController::OVAdvancedPreferencesViewController(
    QWidget* parent, HVSettingsController* settingsController)
    : HVSettingsViewController(parent, settingsController)
{
    UserDefaults& defaults = UserDefaults::shared();
    using namespace HVDefaultsBinding;

    auto* timingBox = new QGroupBox(localized("settings-advanced-timing", "Timing"), this);
    auto* timing = new QFormLayout(timingBox);
    m_documentSpeedTypePopUp = popUp("documentSpeedTypePopUpButton", QStringLiteral("documentSpeedTypeTag"),
                                     {{"Restore the document's speed", 0}, {"Keep the current speed", 1}});
    timing->addRow(localized("settings-advanced-document-speed", "Opening a document:"),
                   m_documentSpeedTypePopUp);
    m_speedScaleTypePopUp = popUp("speedScaleTypePopUpButton", QStringLiteral("speedScaleTypeTag"),
                                  {{"Linear", 0}, {"Quadratic", 1}, {"Logarithmic", 9}, {"Square root", 10}});
    timing->addRow(localized("settings-advanced-speed-scale", "Speed scale:"), m_speedScaleTypePopUp);
    auto* tickSource = popUp("updateDriverTypePopUpButton", QStringLiteral("updateDriverTypeTag"),
                             {{"Automatic", kAutomaticTag},
                              {"Timer", 0},
                              {"Operator display", 1},
                              {"Talent display", 2},
                              {"Both displays", 3},
                              {"Fastest display", 4},
                              {"Prompter window", 5},
                              {"Talent window", 6}});
    timing->addRow(localized("settings-advanced-tick-source", "Tick source:"), tickSource);
    m_frameRatePopUp = popUp("frameRatePopUpButton", kFrameRateOptionTagKey,
                             {{"Automatic", kAutomaticTag},
                              {"Five times the refresh rate", 0},
                              {"The refresh rate", 1},
                              {"Half the refresh rate", 2},
                              {"Custom", kCustomFrameRateTag}});
    m_customFrameRateField = new QLineEdit;
    m_customFrameRateField->setObjectName(QStringLiteral("customFrameRateTextField"));
    new NumberBinding(m_customFrameRateField, kCustomFrameRateKey);
    auto* frameRateRow = new QHBoxLayout;
    frameRateRow->addWidget(m_frameRatePopUp, 1);
    frameRateRow->addWidget(m_customFrameRateField);
    timing->addRow(localized("settings-advanced-frame-rate", "Frame rate:"), frameRateRow);
    m_workaroundTypePopUp = popUp("workaroundTypePopUpButton", QStringLiteral("waTypeTag"),
                                  {{"Automatic", kAutomaticTag},
                                   {"Off", 0},
                                   {"Redraw", 1},
                                   {"Redraw later", 2},
                                   {"Resize", 3},
                                   {"Resize later", 4}});
    m_customWorkaroundField = new QLineEdit;
    m_customWorkaroundField->setObjectName(QStringLiteral("customWorkaroundTimerIntervalTextField"));
    new NumberBinding(m_customWorkaroundField, kWaTimerIntervalKey);
    auto* workaroundRow = new QHBoxLayout;
    workaroundRow->addWidget(m_workaroundTypePopUp, 1);
    workaroundRow->addWidget(m_customWorkaroundField);
    timing->addRow(localized("settings-advanced-workaround", "Redraw workaround:"), workaroundRow);
    contentLayout()->addWidget(timingBox);

    auto* drawingBox = new QGroupBox(localized("settings-advanced-drawing", "Drawing"), this);
    auto* drawing = new QFormLayout(drawingBox);
    m_overdrawTypePopUp =
        popUp("overdrawTypePopUpButton", kOverdrawOptionTagKey,
              {{"Automatic", kAutomaticTag}, {"Limit by memory (MB)", 1}, {"Fixed height (points)", 2}});
    m_customOverdrawField = new QLineEdit;
    m_customOverdrawField->setObjectName(QStringLiteral("customOverdrawParameterTextField"));
    auto* overdrawRow = new QHBoxLayout;
    overdrawRow->addWidget(m_overdrawTypePopUp, 1);
    overdrawRow->addWidget(m_customOverdrawField);
    drawing->addRow(localized("settings-advanced-overdraw", "Overdraw:"), overdrawRow);
    const std::pair<const char*, const char*> switches[] = {
        {"useConcurrentViewDrawing", "Draw prompter windows concurrently"},
        {"alwaysUseAutomaticWhitespacePadding", "Always pad the script with white space"},
        {"bookmarkPreviousNextNavigationWrapsAround", "Bookmark navigation wraps around"},
        {"enableTalentContentAdjustments", "Apply the talent content adjustments"},
        {"hideEditModeToolbarItemsInPromptMode", "Hide the Edit-mode toolbar items in Prompt mode"},
        {"mouseReverseMovementAdjustsSpeed", "Reverse mouse movement changes the speed"},
        {"useBlockingWindowEvents", "Blocking windows take the events in Prompt mode"},
        {"enableEmbedWindow", "Embed the window for windowed prompting"},
        {"enableHardwareProfiles", "Apply hardware profiles"},
        {"logTrackedIssues", "Write the edit diagnostics log"},
        {"enableAnalytics", "Keep local usage statistics"},
    };
    for (const auto& [key, title] : switches) {
        auto* box = new QCheckBox(localized(key, title));
        box->setObjectName(QString::fromLatin1(key));
        bindCheckBox(box, QString::fromLatin1(key), defaults);
        drawing->addRow(box);
        const QString name = QString::fromLatin1(key);
        // After the binding stored the value: the readers read the key when they hear of it.
        if (name == QLatin1String("useConcurrentViewDrawing"))
            QObject::connect(box, &QCheckBox::clicked, this, [this] { useConcurrentViewDrawingChanged(); });
        else if (name == QLatin1String("alwaysUseAutomaticWhitespacePadding"))
            QObject::connect(box, &QCheckBox::clicked, this,
                             [this] { alwaysUseAutomaticWhitespacePaddingChanged(); });
        else if (name == kEnableAnalyticsKey)
            QObject::connect(box, &QCheckBox::clicked, this, [this] { enableAnalyticsChanged(); });
    }
    contentLayout()->addWidget(drawingBox);

    m_settingsPullDown = new QToolButton(this);
    m_settingsPullDown->setObjectName(QStringLiteral("settingsPullDownButton"));
    m_settingsPullDown->setText(localized("settings-advanced-settings-menu", "Settings"));
    m_settingsPullDown->setPopupMode(QToolButton::InstantPopup);
    m_settingsMenu = new QMenu(m_settingsPullDown);
    const std::pair<const char*, const char*> commands[] = {
        {"settings-advanced-reset-all", "Reset All Settings…"},
        {"settings-advanced-import", "Import Settings…"},
        {"settings-advanced-restore", "Restore Previous Settings"},
    };
    int tag = kResetSettingsTag;
    for (const auto& [key, title] : commands) {
        QAction* item = m_settingsMenu->addAction(localized(key, title));
        item->setData(tag);
        item->setObjectName(QStringLiteral("settingsMenuItem%1").arg(tag));
        QObject::connect(item, &QAction::triggered, this, [this, tag] { performSettingsAction(tag); });
        ++tag;
    }
    m_settingsPullDown->setMenu(m_settingsMenu);
    QObject::connect(m_settingsMenu, &QMenu::aboutToShow, this, [this] { _updateSettingsMenu(); });
    auto* commandsRow = new QHBoxLayout;
    commandsRow->addStretch(1);
    commandsRow->addWidget(m_settingsPullDown);
    contentLayout()->addLayout(commandsRow);
    contentLayout()->addStretch(1);

    QObject::connect(m_speedScaleTypePopUp, &QComboBox::activated, this, [this] { speedScaleTypeChanged(); });
    // Heard from the settings, so the choice is stored before the fields follow it.
    m_observers.push_back(
        defaults.addObserver(kFrameRateOptionTagKey, [this](const QString&) { frameRateTypeChanged(); }));
    m_observers.push_back(
        defaults.addObserver(kOverdrawOptionTagKey, [this](const QString&) { overdrawTypeChanged(); }));
    // Prompting views read the overdraw settings from a cache; every change here refreshes it.
    for (const QString& key : {kCustomOverdrawMemoryLimitMBKey, kCustomOverdrawFixedHeightPointsKey})
        m_observers.push_back(
            defaults.addObserver(key, [](const QString&) { OVTextView::updateCachedOverdrawDefaults(); }));
    _updateCustomFrameRateTextField();
    _updateCustomOverdrawParameterTextField();
    _updateSettingsMenu();
}

OVAdvancedPreferencesViewController::~OVAdvancedPreferencesViewController()
{
    if (m_watchedWindow)
        m_watchedWindow->removeEventFilter(this);
    for (UserDefaults::ObserverToken token : m_observers)
        UserDefaults::shared().removeObserver(token);
}

QAction* OVAdvancedPreferencesViewController::settingsMenuItem(int tag) const
{
    for (QAction* item : m_settingsMenu->actions()) {
        if (item->data().toInt() == tag)
            return item;
    }
    return nullptr;
}

void OVAdvancedPreferencesViewController::speedScaleTypeChanged()
{
    NotificationCenter::shared().postNotification(OVPreferencesAdvancedDidChangeSpeedScaleTypeNotification,
                                                  this);
}

void OVAdvancedPreferencesViewController::useConcurrentViewDrawingChanged()
{
    NotificationCenter::shared().postNotification(
        OVPreferencesAdvancedDidChangeUseConcurrentViewDrawingNotification, this);
}

void OVAdvancedPreferencesViewController::alwaysUseAutomaticWhitespacePaddingChanged()
{
    NotificationCenter::shared().postNotification(
        OVPreferencesAdvancedDidChangeAlwaysUseAutomaticWhitespacePaddingNotification, this);
}

void OVAdvancedPreferencesViewController::frameRateTypeChanged()
{
    _updateCustomFrameRateTextField();
}

void OVAdvancedPreferencesViewController::overdrawTypeChanged()
{
    _updateCustomOverdrawParameterTextField();
    OVTextView::updateCachedOverdrawDefaults();
}

void OVAdvancedPreferencesViewController::enableAnalyticsChanged()
{
    HVAppServices::shared().analytics().setEnabled(UserDefaults::shared().boolForKey(kEnableAnalyticsKey));
}

void OVAdvancedPreferencesViewController::_updateCustomFrameRateTextField()
{
    m_customFrameRateField->setEnabled(UserDefaults::shared().integerForKey(kFrameRateOptionTagKey) ==
                                       kCustomFrameRateTag);
}

QString OVAdvancedPreferencesViewController::overdrawParameterKey()
{
    switch (UserDefaults::shared().integerForKey(kOverdrawOptionTagKey)) {
    case 1:
        return kCustomOverdrawMemoryLimitMBKey;
    case 2:
        return kCustomOverdrawFixedHeightPointsKey;
    default:
        return QString();
    }
}

void OVAdvancedPreferencesViewController::_updateCustomOverdrawParameterTextField()
{
    delete m_overdrawBinding;
    m_overdrawBinding = nullptr;
    const QString key = overdrawParameterKey();
    if (!key.isEmpty())
        m_overdrawBinding = new NumberBinding(m_customOverdrawField, key);
    else
        m_customOverdrawField->clear();
    m_customOverdrawField->setEnabled(!key.isEmpty());
}

void OVAdvancedPreferencesViewController::_updateSettingsMenu()
{
    if (QAction* restore = settingsMenuItem(kRestoreSettingsTag))
        restore->setEnabled(HVSettingsController::shared().canRestoreSettings());
}

void OVAdvancedPreferencesViewController::refreshAfterReplacingSettings(bool reset)
{
    // The panes and other providers heard of the replacement from the settings controller; what
    // keeps settings cached outside them hears of it here.
    OVSharedPreferencesAccess::triggerDefaultStyleUpdate();
    if (reset)
        OVSharedPreferencesAccess::setMarkedTextColor(std::nullopt);
    else
        OVSharedPreferencesAccess::setMarkedTextColor(OVSharedPreferencesAccess::plainMarkedTextColor());
    NotificationCenter::shared().postNotification(
        OVPreferencesControlsSpeedSliderValuesDidChangeNotification);
    NotificationCenter::shared().postNotification(OVPreferencesControlsSpeedLimiterDidChangeNotification);
}

void OVAdvancedPreferencesViewController::performSettingsAction(int tag)
{
    HVSettingsController& settings = HVSettingsController::shared();
    switch (tag) {
    case kResetSettingsTag: {
        std::unique_ptr<Alert> alert = Alert::alertWithTitle(
            localized("settings-reset-all-title", "Reset all settings?"),
            localized(
                "settings-reset-all-text",
                "Every setting returns to its initial value. Restore Previous Settings brings them back."),
            {localized("settings-reset-all-button", "Reset"), localized("cancel", "Cancel")});
        if (alert->runModalForWidget(window()) != Alert::kFirstButtonReturn)
            break;
        Error error;
        if (!settings.resetAllSettingsPreservingKeys({}, &error)) {
            Application::shared().presentError(error);
            break;
        }
        Application::shared().sendAction(QStringLiteral("orderFrontPreviewWindow:"), nullptr, QVariant());
        refreshAfterReplacingSettings(true);
        break;
    }
    case kImportSettingsTag: {
        OpenPanel panel;
        panel.setAllowedExtensions({QStringLiteral("plist")});
        if (panel.runModal() != SavePanel::kModalResponseOK || panel.URLs().isEmpty())
            break;
        Error error;
        QStringList leftOut;
        if (!settings.importSettingsFromURL(panel.URLs().front().toLocalFile(), {}, &error, &leftOut)) {
            Application::shared().presentError(error);
            break;
        }
        refreshAfterReplacingSettings(false);
        if (!leftOut.isEmpty())
            tellOfSettingsLeftOut(leftOut);
        break;
    }
    case kRestoreSettingsTag: {
        if (!settings.canRestoreSettings())
            break;
        Error error;
        if (!settings.restoreSettingsToOriginalValues(&error)) {
            Application::shared().presentError(error);
            break;
        }
        refreshAfterReplacingSettings(false);
        break;
    }
    default:
        break;
    }
    _updateSettingsMenu();
}

void OVAdvancedPreferencesViewController::tellOfSettingsLeftOut(const QStringList& keys)
{
    constexpr qsizetype kNamed = 5;
    QStringList named;
    for (const QString& key : keys.mid(0, kNamed))
        named << QStringLiteral("“%1”").arg(key);
    QString list = named.join(QStringLiteral(", "));
    if (keys.size() > kNamed)
        list += keys.size() - kNamed == 1 ? QStringLiteral(" and 1 more")
                                          : QStringLiteral(" and %1 more").arg(keys.size() - kNamed);
    const std::unique_ptr<Alert> alert = Alert::alertWithTitle(
        keys.size() == 1 ? localized("settings-import-left-out-one", "One entry was not imported.")
                         : localized("settings-import-left-out", "Some entries were not imported."),
        localized("settings-import-left-out-text",
                  "Left out: %1. They are not settings of Orvane, or their values cannot be used; the "
                  "other settings were imported.")
            .arg(list),
        {localized("alert-button-ok", "OK")});
    alert->runModalForWidget(window());
}

void OVAdvancedPreferencesViewController::settingsWillHide()
{
    HVSettingsViewController::settingsWillHide();
    struct Check {
        QLineEdit* field;
        bool always;
    };
    for (const Check& check : {Check{m_customWorkaroundField, true}, Check{m_customFrameRateField, false},
                               Check{m_customOverdrawField, false}}) {
        if (!check.always && !check.field->isEnabled())
            continue;
        const QString key = check.field->property(kBoundKeyProperty).toString();
        if (key.isEmpty())
            continue;
        const NumberFormat format = formatForKey(key);
        std::optional<double> value = acceptedNumber(check.field, format);
        if (!value) {
            value = fallbackForKey(key, format);
            const QSignalBlocker blocker(check.field);
            check.field->setText(numberText(*value, format));
        }
        if (UserDefaults::shared().doubleForKey(key) != *value)
            storeNumber(key, *value, format);
    }
}

void OVAdvancedPreferencesViewController::defaultsDidReset()
{
    alwaysUseAutomaticWhitespacePaddingChanged();
    useConcurrentViewDrawingChanged();
    _updateCustomFrameRateTextField();
    _updateCustomOverdrawParameterTextField();
    _updateSettingsMenu();
}

void OVAdvancedPreferencesViewController::showEvent(QShowEvent* event)
{
    HVSettingsViewController::showEvent(event);
    // Closing the window hides the pane as much as choosing another one does.
    QWidget* top = window();
    if (top != m_watchedWindow) {
        if (m_watchedWindow)
            m_watchedWindow->removeEventFilter(this);
        m_watchedWindow = top;
        if (top && top != this)
            top->installEventFilter(this);
    }
    _updateSettingsMenu();
}

bool OVAdvancedPreferencesViewController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_watchedWindow && event->type() == QEvent::Close && isVisible())
        settingsWillHide();
    return HVSettingsViewController::eventFilter(watched, event);
}
