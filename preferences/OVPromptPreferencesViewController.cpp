#include "preferences/OVPromptPreferencesViewController.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVLocalizedString.h"
#include "settings/OVSharedPreferencesAccess.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMenu>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString kUseWindowedPromptingKey = QStringLiteral("useWindowedPrompting");
const QString kMaximizeWindowSizeKey = QStringLiteral("maximizeWindowSize");
const QString kTalentUsesOperatorPositionKey = QStringLiteral("talentUsesOperatorPosition");
const QString kShowScrollBarInPromptModeKey = QStringLiteral("showScrollBarInPromptMode");
const QString kAlwaysCoverTheDesktopKey = QStringLiteral("alwaysCoverTheDesktop");

QString localized(const char* key, const char* english)
{
    return HVLocalizedString::localizedString(QString::fromLatin1(key), QString::fromUtf8(english));
}

void post(const QString& name)
{
    NotificationCenter::shared().postNotification(name, nullptr);
}

} // namespace

PlistDictionary OVPromptPreferencesViewController::initialDefaultsDictionary()
{
    PlistDictionary defaults;
    defaults.insert(kUseWindowedPromptingKey, true);
    defaults.insert(kMaximizeWindowSizeKey, false);
    defaults.insert(kTalentUsesOperatorPositionKey, true);
    defaults.insert(QStringLiteral("showPrompterControlsInEditMode"), true);
    defaults.insert(QStringLiteral("showBookmarksInPromptMode"), false);
    defaults.insert(kPromptModeToolbarStateKey, PlistValue::unsignedInteger(0));
    defaults.insert(kShowScrollBarInPromptModeKey, true);
    defaults.insert(QStringLiteral("resetElapsedTimer"), false);
    defaults.insert(kAlwaysCoverTheDesktopKey, false);
    return defaults;
}

OVPromptPreferencesViewController::OVPromptPreferencesViewController(QWidget* parent,
                                                                     HVSettingsController* settingsController)
    : HVSettingsViewController(parent, settingsController)
{
    UserDefaults& defaults = UserDefaults::shared();
    using namespace HVDefaultsBinding;

    auto* operatorBox =
        new QGroupBox(localized("settings-prompt-operator-title", "The operator prompts"), this);
    auto* operatorLayout = new QVBoxLayout(operatorBox);
    m_windowModeRadio = new QRadioButton(localized("settings-prompt-window-mode", "In the document window"));
    m_windowModeRadio->setObjectName(QStringLiteral("operatorPromptsWindowModeRadio"));
    m_fullScreenRadio = new QRadioButton(localized("settings-prompt-full-screen", "Full screen"));
    m_fullScreenRadio->setObjectName(QStringLiteral("operatorPromptsFullScreenRadio"));
    auto* operatorGroup = new QButtonGroup(operatorBox);
    operatorGroup->addButton(m_windowModeRadio);
    operatorGroup->addButton(m_fullScreenRadio);
    m_optionsButton = new QToolButton;
    m_optionsButton->setObjectName(QStringLiteral("operatorPromptsWindowModeOptionsPopUpButton"));
    m_optionsButton->setText(localized("settings-prompt-window-options", "Options"));
    m_optionsButton->setPopupMode(QToolButton::InstantPopup);
    m_optionsMenu = new QMenu(m_optionsButton);
    m_maximizeItem =
        m_optionsMenu->addAction(localized("settings-prompt-maximize-window-size", "Maximize Window Size"));
    m_maximizeItem->setObjectName(QStringLiteral("maximizeWindowSizeMenuItem"));
    m_maximizeItem->setCheckable(true);
    m_alwaysCoverItem = m_optionsMenu->addAction(
        localized("settings-prompt-always-cover-desktop", "Always Cover the Desktop"));
    m_alwaysCoverItem->setObjectName(QStringLiteral("alwaysCoverTheDesktopMenuItem"));
    bindCheckableAction(m_alwaysCoverItem, kAlwaysCoverTheDesktopKey, defaults);
    m_optionsButton->setMenu(m_optionsMenu);
    auto* windowRow = new QHBoxLayout;
    windowRow->addWidget(m_windowModeRadio);
    windowRow->addWidget(m_optionsButton);
    windowRow->addStretch(1);
    operatorLayout->addLayout(windowRow);
    operatorLayout->addWidget(m_fullScreenRadio);
    contentLayout()->addWidget(operatorBox);

    auto* dualBox = new QGroupBox(localized("settings-prompt-dual-screen-title", "With two displays"), this);
    auto* dualLayout = new QVBoxLayout(dualBox);
    m_talentMatchesRadio = new QRadioButton(
        localized("settings-prompt-talent-matches-operator", "The talent display follows the operator"));
    m_talentMatchesRadio->setObjectName(QStringLiteral("dualScreenTalentMatchesOperatorRadio"));
    m_operatorMatchesRadio = new QRadioButton(
        localized("settings-prompt-operator-matches-talent", "The operator follows the talent display"));
    m_operatorMatchesRadio->setObjectName(QStringLiteral("dualScreenOperatorMatchesTalentRadio"));
    auto* dualGroup = new QButtonGroup(dualBox);
    dualGroup->addButton(m_talentMatchesRadio);
    dualGroup->addButton(m_operatorMatchesRadio);
    dualLayout->addWidget(m_talentMatchesRadio);
    dualLayout->addWidget(m_operatorMatchesRadio);
    contentLayout()->addWidget(dualBox);

    auto* modeBox = new QGroupBox(localized("settings-prompt-window-title", "In Prompt mode"), this);
    auto* modeLayout = new QFormLayout(modeBox);
    m_toolbarControl = new QComboBox;
    m_toolbarControl->setObjectName(QStringLiteral("promptModeToolbarControl"));
    m_toolbarControl->addItem(localized("settings-prompt-toolbar-as-edit-mode", "As in Edit mode"), 0);
    m_toolbarControl->addItem(localized("settings-prompt-toolbar-shown", "Shown"), 1);
    m_toolbarControl->addItem(localized("settings-prompt-toolbar-hidden", "Hidden"), 2);
    bindComboBox(m_toolbarControl, kPromptModeToolbarStateKey, defaults);
    modeLayout->addRow(localized("settings-prompt-toolbar", "Toolbar:"), m_toolbarControl);
    m_scrollbarButton = new QCheckBox(localized("settings-prompt-show-scroller", "Show the scroller"));
    m_scrollbarButton->setObjectName(QStringLiteral("showPrompterScrollbarButton"));
    bindCheckBox(m_scrollbarButton, kShowScrollBarInPromptModeKey, defaults);
    modeLayout->addRow(m_scrollbarButton);
    const std::pair<const char*, const char*> plainSwitches[] = {
        {"showBookmarksInPromptMode", "Show bookmarks"},
        {"resetElapsedTimer", "Reset the elapsed time"},
        {"showPrompterControlsInEditMode", "Show the prompter controls in Edit mode"},
    };
    for (const auto& [key, title] : plainSwitches) {
        auto* box = new QCheckBox(localized(key, title));
        box->setObjectName(QString::fromLatin1(key));
        bindCheckBox(box, QString::fromLatin1(key), defaults);
        modeLayout->addRow(box);
    }
    contentLayout()->addWidget(modeBox);

    _updateRadioButtons();
    for (QRadioButton* radio : {m_windowModeRadio, m_fullScreenRadio})
        QObject::connect(radio, &QRadioButton::clicked, this,
                         [this, radio] { operatorPromptScreenAction(radio); });
    for (QRadioButton* radio : {m_talentMatchesRadio, m_operatorMatchesRadio})
        QObject::connect(radio, &QRadioButton::clicked, this,
                         [this, radio] { dualScreenScrollPositionAction(radio); });
    QObject::connect(m_optionsMenu, &QMenu::aboutToShow, this, [this] { menuNeedsUpdate(); });
    QObject::connect(m_maximizeItem, &QAction::triggered, this, [this] { maximizeWindowSizeAction(); });
    // After the binding stored the value, as the readers read the key when they hear of it.
    QObject::connect(m_toolbarControl, &QComboBox::activated, this, [this] { toolbarAction(); });
    QObject::connect(m_scrollbarButton, &QCheckBox::clicked, this, [this] { scrollBarAction(); });
}

void OVPromptPreferencesViewController::_updateRadioButtons()
{
    const UserDefaults& defaults = UserDefaults::shared();
    const bool windowed = defaults.boolForKey(kUseWindowedPromptingKey);
    fixRadioButtons(windowed ? m_windowModeRadio : m_fullScreenRadio);
    const bool talentFollows = defaults.boolForKey(kTalentUsesOperatorPositionKey);
    fixRadioButtons(talentFollows ? m_talentMatchesRadio : m_operatorMatchesRadio);
}

void OVPromptPreferencesViewController::fixRadioButtons(QRadioButton* sender)
{
    // The group keeps the pair exclusive; this also holds when a caller switches one off directly.
    const QSignalBlocker blocker(sender);
    sender->setChecked(true);
}

void OVPromptPreferencesViewController::menuNeedsUpdate()
{
    const QSignalBlocker blocker(m_maximizeItem);
    m_maximizeItem->setChecked(UserDefaults::shared().boolForKey(kMaximizeWindowSizeKey));
}

void OVPromptPreferencesViewController::operatorPromptScreenAction(QRadioButton* sender)
{
    fixRadioButtons(sender);
    UserDefaults::shared().setBool(m_windowModeRadio->isChecked(), kUseWindowedPromptingKey);
    post(OVPreferencesPromptDidChangeWindowedPromptingNotification);
}

void OVPromptPreferencesViewController::dualScreenScrollPositionAction(QRadioButton* sender)
{
    fixRadioButtons(sender);
    UserDefaults::shared().setBool(m_talentMatchesRadio->isChecked(), kTalentUsesOperatorPositionKey);
}

void OVPromptPreferencesViewController::maximizeWindowSizeAction()
{
    UserDefaults& defaults = UserDefaults::shared();
    defaults.setBool(!defaults.boolForKey(kMaximizeWindowSizeKey), kMaximizeWindowSizeKey);
    menuNeedsUpdate();
    post(OVPreferencesPromptDidChangeMaximizeWindowSizeNotification);
}

void OVPromptPreferencesViewController::toolbarAction()
{
    post(OVPreferencesPromptDidChangeShowToolbarInPromptModeNotification);
}

void OVPromptPreferencesViewController::scrollBarAction()
{
    post(OVPreferencesPromptDidChangeShowVerticalScrollerNotification);
}

void OVPromptPreferencesViewController::defaultsDidReset()
{
    _updateRadioButtons();
    post(OVPreferencesPromptDidChangeShowToolbarInPromptModeNotification);
    post(OVPreferencesPromptDidChangeShowVerticalScrollerNotification);
}
