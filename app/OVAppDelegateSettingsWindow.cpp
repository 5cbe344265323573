// The application delegate's settings window: its panes, the toolbar that switches between them
// and the help button of the pane in front.
#include "app/OVAppDelegate.h"

#include "output/NSWindowOVAdditions.h"
#include "platform/appkit/WindowCloseKeys.h"
#include "platform/hvkit/HVHelp.h"
#include "platform/hvkit/HVLocalizedString.h"
#include "platform/hvkit/HVSettingsViewController.h"
#include "preferences/OVAdvancedPreferencesViewController.h"
#include "preferences/OVControlPreferencesViewController.h"
#include "preferences/OVGeneralPreferencesViewController.h"
#include "preferences/OVPromptPreferencesViewController.h"
#include "preferences/OVUpdatesPreferencesViewController.h"

#include <QActionGroup>
#include <QHBoxLayout>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWidget>

std::vector<OVAppDelegate::SettingsItem> OVAppDelegate::settingsItems()
{
    const auto title = [](const char* key, const char* english) {
        return HVLocalizedString::localizedString(QString::fromLatin1(key), QString::fromLatin1(english));
    };
    return {
        {QStringLiteral("general"), QStringLiteral("OVGeneralPreferencesViewController"),
         QStringLiteral("GeneralPreferencesView"), title("settings-title-general", "General"),
         QStringLiteral("NSImageNamePreferencesGeneral"), QStringLiteral("GeneralSettingsAnchor"), false},
        {QStringLiteral("prompter"), QStringLiteral("OVPromptPreferencesViewController"),
         QStringLiteral("PromptPreferencesView"), title("settings-title-prompter", "Prompter"),
         QStringLiteral("PrompterPreferences"), QStringLiteral("PrompterSettingsAnchor"), false},
        {QStringLiteral("controls"), QStringLiteral("OVControlPreferencesViewController"),
         QStringLiteral("ControlsPreferencesView"), title("settings-title-controls", "Controls"),
         QStringLiteral("ControlsPreferences"), QStringLiteral("ControlsSettingsAnchor"), false},
        {QStringLiteral("updates"), QStringLiteral("OVUpdatesPreferencesViewController"),
         QStringLiteral("UpdatesPreferencesView"), title("settings-title-updates", "Updates"),
         QStringLiteral("UpdatesPreferences"), QStringLiteral("UpdatesSettingsAnchor"), false},
        {QStringLiteral("advanced"), QStringLiteral("OVAdvancedPreferencesViewController"),
         QStringLiteral("AdvancedPreferencesView"), title("settings-title-advanced", "Advanced"),
         QStringLiteral("NSImageNameAdvanced"), QString(), true},
    };
}

void OVAppDelegate::makeSettingsWindow()
{
    auto window = std::make_unique<QWidget>(nullptr, Qt::Window);
    window->setObjectName(QStringLiteral("settingsWindow"));
    auto* layout = new QVBoxLayout(window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    auto* toolbar = new QToolBar(window.get());
    toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    auto* panes = new QStackedWidget(window.get());
    auto* group = new QActionGroup(window.get());
    layout->addWidget(toolbar);
    layout->addWidget(panes, 1);
    // The shown pane's help page; a pane without one shows no button. It joins the window after the
    // panes, so the keyboard reaches it after their controls.
    auto* help = new QPushButton(
        HVLocalizedString::localizedString(QStringLiteral("settings-help"), QStringLiteral("Help")));
    help->setObjectName(QStringLiteral("settingsHelpButton"));
    help->setAutoDefault(false);
    QObject::connect(help, &QPushButton::clicked, help,
                     [help] { HVHelp::openLocalHelp(help->property("helpAnchor").toString()); });
    QWidget* shown = window.get();
    for (const SettingsItem& item : settingsItems()) {
        // The panes built so far bring their controls; the others stand empty until then.
        QWidget* pane = nullptr;
        if (item.viewControllerClassName == QLatin1String("OVGeneralPreferencesViewController"))
            pane = new OVGeneralPreferencesViewController(panes);
        else if (item.viewControllerClassName == QLatin1String("OVPromptPreferencesViewController"))
            pane = new OVPromptPreferencesViewController(panes);
        else if (item.viewControllerClassName == QLatin1String("OVControlPreferencesViewController"))
            pane = new OVControlPreferencesViewController(panes);
        else if (item.viewControllerClassName == QLatin1String("OVAdvancedPreferencesViewController"))
            pane = new OVAdvancedPreferencesViewController(panes);
        else if (item.viewControllerClassName == QLatin1String("OVUpdatesPreferencesViewController"))
            pane = new OVUpdatesPreferencesViewController(panes);
        else
            pane = new QWidget(panes);
        pane->setObjectName(item.identifier);
        const int index = panes->addWidget(pane);
        QAction* action = toolbar->addAction(item.title);
        action->setObjectName(item.identifier);
        action->setCheckable(true);
        group->addAction(action);
        QObject::connect(
            action, &QAction::triggered, shown,
            [panes, index, shown, help, title = item.title, anchor = item.helpAnchor] {
                if (auto* leaving = dynamic_cast<HVSettingsViewController*>(panes->currentWidget()))
                    leaving->settingsWillHide();
                panes->setCurrentIndex(index);
                shown->setWindowTitle(title);
                help->setProperty("helpAnchor", anchor);
                help->setVisible(!anchor.isEmpty());
                if (auto* showing = dynamic_cast<HVSettingsViewController*>(panes->currentWidget()))
                    showing->settingsDidShow();
            });
    }
    auto* helpRow = new QHBoxLayout;
    helpRow->setContentsMargins(12, 0, 12, 12);
    helpRow->addStretch(1);
    helpRow->addWidget(help);
    layout->addLayout(helpRow);
    // Never narrower than the widest pane needs: a fixed size below it lays controls over each other
    // (long titles, or a translation of them).
    window->setFixedSize(
        window->minimumSizeHint().expandedTo(QSize(kSettingsWindowWidth, kSettingsWindowHeight)));
    if (!group->actions().isEmpty())
        group->actions().front()->trigger();
    closeWithStandardKeys(*window);
    m_settingsWindow = std::move(window);
}

void OVAppDelegate::showSettingsWindow()
{
    if (!m_settingsWindow) {
        makeSettingsWindow();
        m_settingsWindow->adjustSize();
        NSWindowOVAdditions::placeNewWindow(*m_settingsWindow);
    }
    m_settingsWindow->show();
    m_settingsWindow->raise();
    m_settingsWindow->activateWindow();
    if (auto* panes = m_settingsWindow->findChild<QStackedWidget*>()) {
        if (auto* pane = dynamic_cast<HVSettingsViewController*>(panes->currentWidget()))
            pane->settingsDidShow();
    }
}
