// The application delegate's updates, crash reports, about window and release notes, kept apart
// from its menus and documents.
#include "app/ApplicationsFolderMover.h"
#include "app/OVAppDelegate.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVAnalytics.h"
#include "platform/hvkit/HVAppServices.h"
#include "platform/hvkit/HVNetworkAccess.h"
#include "services/OVAboutWindow.h"
#include "services/OVCrashReportSender.h"
#include "services/OVHardwareProfileDownload.h"
#include "services/OVResourceFolder.h"
#include "services/OVWhatsNewWindowController.h"

#include <QPointer>
#include <QTimer>

void OVAppDelegate::installLaunchAdditionActions()
{
    setActionHandler(QStringLiteral("orderFrontCustomAboutPanel:"),
                     [this](const QVariant&) { orderFrontCustomAboutPanel(); });
    setActionHandler(QStringLiteral("showWhatsNew:"), [this](const QVariant&) { showWhatsNew(); });
    // The product's pages, in the desktop's browser; the items show only where the build has them.
    const auto open = [](const QUrl& url, const char* counter) {
        if (url.isEmpty())
            return;
        if (counter)
            HVAppServices::shared().analytics().incrementIntegerForKeyPath(QString::fromLatin1(counter));
        HVNetworkAccess::openURL(url);
    };
    setActionHandler(QStringLiteral("openAppWebsite:"),
                     [this, open](const QVariant&) { open(m_addresses.website, nullptr); });
    setActionHandler(QStringLiteral("openStoreWebsite:"),
                     [this, open](const QVariant&) { open(m_addresses.store, nullptr); });
    setActionHandler(QStringLiteral("visitSupportSite:"),
                     [this, open](const QVariant&) { open(m_addresses.support, "help.visitSupportSite"); });
    setActionHandler(QStringLiteral("contactSupport:"), [this, open](const QVariant&) {
        open(supportRequestMailURL(m_addresses), "help.contactSupport");
    });
}

void OVAppDelegate::updateHardwareProfiles()
{
    OVHardwareProfileDownload::shared().updateHardwareProfiles();
}

bool OVAppDelegate::isUpdatingHardwareProfiles() const
{
    return OVHardwareProfileDownload::shared().isUpdatingHardwareProfiles();
}

OVCrashReportSender& OVAppDelegate::crashReportSender()
{
    if (!m_crashReportSender)
        m_crashReportSender = std::make_unique<OVCrashReportSender>();
    return *m_crashReportSender;
}

void OVAppDelegate::_finishLaunchingAdditions()
{
    OVCrashReportSender::countNewReports(OVCrashReportSender::defaultFolder(), UserDefaults::shared(),
                                         HVAppServices::shared().analytics());
    const QUrl reportAddress(UserDefaults::shared().stringForKey(OVCrashReportSender::kAddressKey));
    if (reportAddress.isEmpty())
        OVCrashReportSender::removeOldReports(OVCrashReportSender::defaultFolder());
    if (!reportAddress.isEmpty()) {
        // Once the first window shows, so the alert has something to stand over.
        QTimer::singleShot(0, [this, reportAddress] {
            crashReportSender().sendPendingReports(reportAddress, OVCrashReportSender::askWithAlert);
        });
    }
    const unsigned long long previous = lastLaunchedBuildNumber();
    if (previous != 0) {
        const unsigned long long seen = highestLaunchedBuildNumberBeforeLaunch().value_or(previous);
        if (OVWhatsNewWindowController::hasWhatsNewNotesNewerThanBuildNumber(seen))
            showWhatsNew();
    }
    ApplicationsFolderMover::offerToMoveToApplicationsFolder();
}

void OVAppDelegate::orderFrontCustomAboutPanel()
{
    std::optional<MutableAttributedString> credits = OVAboutWindow::creditsWithStatistics(OVResourceFolder());
    if (!credits)
        return;
    m_aboutWindow = std::make_unique<OVAboutWindow>(*credits);
    m_aboutWindow->show();
    m_aboutWindow->raise();
    m_aboutWindow->activateWindow();
}

QWidget* OVAppDelegate::aboutWindow() const
{
    return m_aboutWindow.get();
}

void OVAppDelegate::showWhatsNew()
{
    if (!m_whatsNewWindowController)
        m_whatsNewWindowController =
            OVWhatsNewWindowController::windowControllerWithLastUsedBuildNumber(lastLaunchedBuildNumber());
    m_whatsNewWindowController->showWindow();
}
