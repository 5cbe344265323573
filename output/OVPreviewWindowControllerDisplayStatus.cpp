// The talent display's status under the panel's controls: its pages, the resolutions menu, and the
// alerts and settings program that help the operator mend the display.
#include "output/OVPreviewWindowController.h"

#include "output/NSAlertOVAdditions.h"
#include "output/OVDisplayModeService.h"
#include "output/OVPreviewDisplayOptionsView.h"
#include "output/OVScreen.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Screen.h"
#include "platform/hvkit/HVLocalizedString.h"
#include "prompting/OVCore.h"

#include <QDebug>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace {

QString localized(const char* key, const char* english)
{
    return HVLocalizedString::localizedString(QString::fromUtf8(key), QString::fromUtf8(english));
}

QLabel* wrappedLabel(const QString& text)
{
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignHCenter);
    return label;
}

QString openDisplaySettingsDescription()
{
    return localized("preview-description-open-displays-settings",
                     "Open System Settings \u2023\uFE0E Displays and make the required changes.");
}

QString displaysSettingsTitle()
{
    return localized("preview-title-displays-settings-ellipsis", "Displays Settings…");
}

QString changeResolutionTitle()
{
    return localized("preview-title-change-resolution", "Change Resolution");
}

std::optional<Screen> talentScreen()
{
    return OVScreen::talentScreen();
}

} // namespace

void OVPreviewWindowController::buildDisplayOptions(QWidget* parent)
{
    m_overlay = new OVPreviewDisplayOptionsView(m_dualScreenControls);
    m_overlay->hide();

    m_displayOptions = new QStackedWidget(parent);
    auto page = [this](QLabel* label, QWidget* control = nullptr) {
        auto* widget = new QWidget;
        auto* box = new QVBoxLayout(widget);
        box->setContentsMargins(0, 4, 0, 0);
        if (label)
            box->addWidget(label);
        if (control)
            box->addWidget(control, 0, Qt::AlignHCenter);
        m_displayOptions->addWidget(widget);
    };
    page(wrappedLabel(
        localized("preview-displays-all-options", "The second display shows the talent output.")));
    page(wrappedLabel(localized("preview-displays-not-connected",
                                "Connect a second display to show the talent output on it.")));
    page(wrappedLabel(
        localized("preview-displays-in-use", "The second display is in use by another program.")));
    m_reconfigureButton = new QPushButton;
    page(wrappedLabel(localized("preview-displays-mirrored", "The second display mirrors this one.")),
         m_reconfigureButton);
    m_resolutionControl = new QToolButton;
    m_resolutionControl->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_resolutionDescription = wrappedLabel(
        localized("preview-displays-resolution-mismatch", "The second display is larger than this one."));
    page(m_resolutionDescription, m_resolutionControl);
    page(wrappedLabel(localized("preview-displays-unknown-issue", "The second display cannot be used.")));

    m_resolutionsMenu = std::make_unique<QMenu>(changeResolutionTitle());
    QObject::connect(m_resolutionsMenu.get(), &QMenu::aboutToShow, [this] { updateChangeResolutionsMenu(); });
    QObject::connect(m_reconfigureButton, &QPushButton::clicked, [this] {
        const std::optional<Screen> talent = talentScreen();
        if (talent && OVDisplayModeService::shared().isMirrored(*talent))
            unmirrorTalentDisplay();
        else
            openDisplaySystemSettings();
    });
    QObject::connect(m_resolutionControl, &QToolButton::clicked, [this] {
        if (!m_resolutionControl->menu())
            openDisplaySystemSettings();
        else
            configureCompatibleDisplayMode(QGuiApplication::keyboardModifiers() & Qt::ShiftModifier,
                                           QGuiApplication::keyboardModifiers() & Qt::AltModifier);
    });
}

OVPreviewWindowController::DisplayOptionsPage
OVPreviewWindowController::displayOptionsPageForStatus(int status)
{
    switch (status) {
    case 0:
        return kAllOptionsPage;
    case 1:
        return kNotConnectedPage;
    case 2:
    case 3:
        return kIsInUsePage;
    case 4:
        return kIsMirroredPage;
    case 5:
        return kResolutionMismatchPage;
    default:
        return kUnknownIssuePage;
    }
}

OVPreviewWindowController::DisplayOptionsPage OVPreviewWindowController::displayOptionsPage() const
{
    return DisplayOptionsPage(m_displayOptions->currentIndex());
}

QWidget* OVPreviewWindowController::displayOptionsDisabledView() const
{
    return m_overlay;
}

void OVPreviewWindowController::_updateDisplayOptionsView()
{
    const int status = m_core.dualScreenStatus();
    const DisplayOptionsPage page = displayOptionsPageForStatus(status);
    _configureDisplayUIForStatus(status);
    m_enableDualScreenControls = status == OVCore::kDualScreenStatusAvailable;
    m_dualScreenControls->setEnabled(m_enableDualScreenControls);
    updatePreviewWindowTitle();

    m_overlay->setVisible(!m_enableDualScreenControls);
    m_overlay->setGeometry(m_dualScreenControls->rect());
    m_overlay->raise();
    if (m_displayOptions->currentIndex() == page && !m_initialOpen)
        return;
    // Only the page shown counts for the area's height, so the panel fits it.
    for (int i = 0; i < m_displayOptions->count(); ++i)
        m_displayOptions->widget(i)->setSizePolicy(QSizePolicy::Preferred,
                                                   i == page ? QSizePolicy::Preferred : QSizePolicy::Ignored);
    m_displayOptions->setCurrentIndex(page);
    // A stack of pages is as tall as its tallest for a given width; the area takes the height of the
    // page shown, so the panel grows and shrinks with it.
    QWidget* shown = m_displayOptions->currentWidget();
    const int width = int(kPanelWidth) - m_controls->layout()->contentsMargins().left() -
                      m_controls->layout()->contentsMargins().right();
    m_displayOptions->setFixedHeight(shown->hasHeightForWidth() ? shown->heightForWidth(width)
                                                                : shown->sizeHint().height());
    // The first update, as the panel is set up, takes effect at once.
    resizePanelToContents(m_initialOpen ? 0 : kDisplayOptionsAnimationDuration);
    m_overlay->setGeometry(m_dualScreenControls->rect());
}

void OVPreviewWindowController::_configureDisplayUIForStatus(int status)
{
    OVDisplayModeService& service = OVDisplayModeService::shared();
    const std::optional<Screen> talent = talentScreen();
    if (status == OVCore::kDualScreenStatusMirrored) {
        const bool mirrored = talent && service.isMirrored(*talent);
        m_reconfigureButton->setText(mirrored
                                         ? localized("preview-title-unmirror-display", "Unmirror Display")
                                         : displaysSettingsTitle());
    } else if (status == OVCore::kDualScreenStatusTalentLarger) {
        // With a compatible mode the control changes to it and its menu offers the others; without
        // one the settings are the only way, which this program cannot open for the user.
        const bool compatible = !resolutionCompatibleDisplayModes(true).empty();
        m_resolutionControl->setText(compatible ? changeResolutionTitle() : displaysSettingsTitle());
        m_resolutionControl->setMenu(compatible ? m_resolutionsMenu.get() : nullptr);
        // Without a menu the button shows no arrow: there is nothing to open.
        m_resolutionControl->setPopupMode(compatible ? QToolButton::MenuButtonPopup
                                                     : QToolButton::DelayedPopup);
        m_resolutionDescription->setText(compatible ? localized("preview-displays-resolution-mismatch",
                                                                "The second display is larger than this one.")
                                                    : openDisplaySettingsDescription());
    }
}

std::vector<OVDisplayMode>
OVPreviewWindowController::resolutionCompatibleDisplayModes(bool matchSizeRatio) const
{
    OVDisplayModeService& service = OVDisplayModeService::shared();
    const std::optional<Screen> talent = talentScreen();
    const std::optional<Screen> operatorScreen = OVScreen::operatorScreen();
    if (!talent || !operatorScreen)
        return {};
    const std::optional<OVDisplayMode> operatorMode = service.displayMode(*operatorScreen);
    if (!operatorMode)
        return {};
    return OVDisplayModeService::compatibleDisplayModes(service.availableDisplayModes(*talent), *operatorMode,
                                                        service.displayMode(*talent), matchSizeRatio);
}

void OVPreviewWindowController::updateChangeResolutionsMenu()
{
    QMenu& menu = *m_resolutionsMenu;
    menu.setTitle(changeResolutionTitle());
    menu.clear();
    QString previousRatio;
    for (const OVDisplayMode& mode : resolutionCompatibleDisplayModes(false)) {
        const QString ratio = mode.displayableSizeRatio();
        if (ratio != previousRatio) {
            // Separators only between groups: never before the first.
            if (!previousRatio.isEmpty())
                menu.addSeparator();
            QAction* label = menu.addAction(ratio);
            label->setEnabled(false);
            previousRatio = ratio;
        }
        QAction* item = menu.addAction(mode.userDisplayableString());
        QObject::connect(item, &QAction::triggered, [this, mode] { setTalentScreenDisplayMode(mode); });
    }
}

void OVPreviewWindowController::configureCompatibleDisplayMode(bool anySizeRatio, bool smallestFirst)
{
    const std::vector<OVDisplayMode> modes = resolutionCompatibleDisplayModes(!anySizeRatio);
    if (!modes.empty())
        setTalentScreenDisplayMode(smallestFirst ? modes.back() : modes.front());
}

void OVPreviewWindowController::setTalentScreenDisplayMode(const OVDisplayMode& mode)
{
    const std::optional<Screen> talent = talentScreen();
    if (!talent || !OVDisplayModeService::shared().setDisplayMode(*talent, mode)) {
        qWarning().noquote() << QStringLiteral("Error: Could not complete display configuration change.");
        showConfigurationFailure(
            localized("preview-error-title-could-not-configure", "Display could not be configured."));
    }
}

void OVPreviewWindowController::unmirrorTalentDisplay()
{
    const std::optional<Screen> talent = talentScreen();
    OVDisplayModeService& service = OVDisplayModeService::shared();
    if (!talent || !service.isMirrored(*talent))
        return;
    if (!service.unmirrorScreen(*talent)) {
        qWarning().noquote() << QStringLiteral(
            "Error: Could not complete unmirror display configuration change.");
        showConfigurationFailure(
            localized("preview-error-title-could-not-unmirror", "Display could not be unmirrored."));
    }
}

void OVPreviewWindowController::showConfigurationFailure(const QString& title)
{
    const std::unique_ptr<Alert> alert =
        Alert::alertWithTitle(title, openDisplaySettingsDescription(),
                              {localized("preview-button-ok", "OK"), displaysSettingsTitle()});
    if (NSAlertOVAdditions::runModalWithOptions(*alert, NSAlertOVAdditions::kCenterOnOperatorScreenOption) ==
        Alert::kSecondButtonReturn)
        openDisplaySystemSettings();
}

QStringList OVPreviewWindowController::defaultDisplaySettingsCommand(const QString& currentDesktop)
{
    // The tools desktops ship for their display settings, each with the desktops it belongs to; a
    // tool of no desktop in particular comes last. Nothing here is ever read from a file: a command
    // taken from the settings would run whatever an imported file put there.
    struct Tool {
        QStringList desktops;
        QStringList command;
    };
    static const std::vector<Tool> kTools{
        {{QStringLiteral("GNOME"), QStringLiteral("UNITY"), QStringLiteral("BUDGIE")},
         {QStringLiteral("gnome-control-center"), QStringLiteral("display")}},
        {{QStringLiteral("KDE")}, {QStringLiteral("systemsettings"), QStringLiteral("kcm_kscreen")}},
        {{QStringLiteral("KDE")}, {QStringLiteral("systemsettings5"), QStringLiteral("kcm_kscreen")}},
        {{QStringLiteral("XFCE")}, {QStringLiteral("xfce4-display-settings")}},
        {{QStringLiteral("MATE")}, {QStringLiteral("mate-display-properties")}},
        {{QStringLiteral("X-CINNAMON"), QStringLiteral("CINNAMON")},
         {QStringLiteral("cinnamon-settings"), QStringLiteral("display")}},
        {{QStringLiteral("LXQT")}, {QStringLiteral("lxqt-config-monitor")}},
        {{QStringLiteral("LXDE")}, {QStringLiteral("lxrandr")}},
        {{}, {QStringLiteral("arandr")}},
    };
    const QStringList desktops = currentDesktop.toUpper().split(QLatin1Char(':'), Qt::SkipEmptyParts);
    const auto installed = [](const Tool& tool) {
        return !QStandardPaths::findExecutable(tool.command.front()).isEmpty();
    };
    for (const Tool& tool : kTools) {
        const bool ofThisDesktop =
            std::any_of(tool.desktops.begin(), tool.desktops.end(),
                        [&](const QString& desktop) { return desktops.contains(desktop); });
        if (ofThisDesktop && installed(tool))
            return tool.command;
    }
    for (const Tool& tool : kTools) {
        if (tool.desktops.isEmpty() && installed(tool))
            return tool.command;
    }
    return {};
}

QStringList OVPreviewWindowController::displaySettingsCommand()
{
    return defaultDisplaySettingsCommand(qEnvironmentVariable("XDG_CURRENT_DESKTOP"));
}

void OVPreviewWindowController::openDisplaySystemSettings()
{
    // Started by its full path and without a shell, so no word of it is read twice.
    const QStringList command = displaySettingsCommand();
    const QString program = command.isEmpty() ? QString() : QStandardPaths::findExecutable(command.front());
    if (!program.isEmpty() && QProcess::startDetached(program, command.mid(1)))
        return;
    QString title =
        localized("preview-error-title-system-settings", "<SYSTEM_SETTINGS> could not be opened.");
    title.replace(QStringLiteral("<SYSTEM_SETTINGS>"), localized("titleSystemSettings", "System Settings"));
    const std::unique_ptr<Alert> alert =
        Alert::alertWithTitle(title, QString(), {localized("preview-button-ok", "OK")});
    NSAlertOVAdditions::runModalWithOptions(*alert, NSAlertOVAdditions::kCenterOnOperatorScreenOption);
}
