// The application delegate's side of updates: when checks may run, which release is offered,
// what would describe this installation, and taking the updater's windows away for prompting.

#include "app/OVAppDelegate.h"

#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVNetworkAccess.h"
#include "platform/hvkit/HVVersion.h"
#include "platform/updates/SUConstants.h"
#include "platform/updates/UpdateChoice.h"
#include "preferences/OVUpdatesPreferencesViewController.h"
#include "prompting/OVApplication.h"
#include "services/OVUpdateServices.h"

#include <QCoreApplication>
#include <QDebug>
#include <QGuiApplication>
#include <QLocale>
#include <QPalette>
#include <QSysInfo>

#ifndef ORVANE_UPDATE_FEED_URL
#define ORVANE_UPDATE_FEED_URL ""
#endif

namespace {

PlistDictionary profileDictionary(const QString& key, const QString& displayKey, const QString& value)
{
    PlistDictionary dictionary;
    dictionary.insert(QStringLiteral("key"), key);
    dictionary.insert(QStringLiteral("displayKey"), displayKey);
    dictionary.insert(QStringLiteral("value"), value);
    dictionary.insert(QStringLiteral("displayValue"), value);
    return dictionary;
}

bool isDarkMode()
{
    return QGuiApplication::palette().color(QPalette::Window).lightness() < 128;
}

} // namespace

PlistDictionary OVAppDelegate::updateDefaultsDictionary()
{
    PlistDictionary defaults;
    defaults.insert(Updater::kFeedURLKey, QString::fromUtf8(ORVANE_UPDATE_FEED_URL));
    return defaults;
}

void OVAppDelegate::setUpUpdates()
{
    const UserDefaults& defaults = UserDefaults::shared();
    m_updateServices = std::make_unique<OVUpdateServices>();
    m_updateServices->updater.setDelegate(this);
    m_updateServices->checker.setDelegate(this);
    m_updateServices->checker.setInterval(double(defaults.integerForKey(SUScheduledCheckIntervalKey)));
    m_updateServices->checker.setEnabled(defaults.boolForKey(QStringLiteral("checkForUpdatesProxy")) &&
                                         m_updateServices->updater.automaticallyChecksForUpdates());
    // The announcements are read with every round of checks, as the feed is, where the build has
    // an address for them; without one nothing is asked for.
    if (!m_addresses.announcements.isEmpty()) {
        HVPeriodicURLChecker::Check announcements;
        announcements.identifier = kAnnouncementsCheckIdentifier;
        announcements.request = QNetworkRequest(m_addresses.announcements);
        announcements.completion = [services = m_updateServices.get()](const QByteArray& body) {
            services->announcements.setLatestAnnouncements(body);
        };
        m_updateServices->checker.addCheck(std::move(announcements));
    }
    setActionHandler(QStringLiteral("closeAndCancelSparkleWindows"),
                     [this](const QVariant&) { closeAndCancelSparkleWindows(); });
    setActionHandler(QStringLiteral("checkAllUpdates:"),
                     [](const QVariant&) { HVAppServices::shared().checkAllUpdates(); });
}

Updater* OVAppDelegate::updater() const
{
    return m_updateServices ? &m_updateServices->updater : nullptr;
}

bool OVAppDelegate::canCheckForUpdates() const
{
    return !OVApplication::shared().isModePrompt();
}

bool OVAppDelegate::checkerCanPerformChecksAndComplete(HVPeriodicURLChecker&)
{
    return canCheckForUpdates();
}

void OVAppDelegate::checkerPrepareForChecks(HVPeriodicURLChecker&) {}

bool OVAppDelegate::updaterMayCheckForUpdates(Updater&)
{
    return canCheckForUpdates();
}

bool OVAppDelegate::updaterShouldRelaunchApplication(Updater&) const
{
    return canCheckForUpdates();
}

PlistArray OVAppDelegate::feedParametersForUpdater(Updater&, bool) const
{
    return {};
}

std::optional<AppcastItem> OVAppDelegate::bestValidUpdateInAppcast(const Appcast& appcast, Updater&)
{
    if (OVApplication::shared().isModePrompt())
        return std::nullopt;
    const UpdateChoice choice = UpdateChoice::chooseFromAppcast(appcast);
    // The user is only ever sent to a page over https: an update naming any other is none.
    std::vector<HVAppUpdate> updates;
    for (const HVAppUpdate& update : choice.appUpdates()) {
        if (HVNetworkAccess::isPermittedPageAddress(update.webpageURL))
            updates.push_back(update);
        else
            qWarning().noquote() << "ignoring update" << update.versionString
                                 << "of the feed, whose page is no https address";
    }
    if (m_updateServices)
        m_updateServices->controller.setLatestAppUpdates(updates);
    return choice.bestFreeItem();
}

void OVAppDelegate::updaterDidFinishLoadingAppcast(Updater&, const Appcast&)
{
    // Hardware profiles are refreshed as often as the feed is read; without an address set for
    // them this asks for nothing.
    updateHardwareProfiles();
}

PlistArray OVAppDelegate::standardRequestParameters()
{
    const QString name = QCoreApplication::applicationName();
    return {
        profileDictionary(QStringLiteral("app"), QStringLiteral("App Name"),
                          name.isEmpty() ? QStringLiteral("Orvane") : name),
        profileDictionary(QStringLiteral("appVersion"), QStringLiteral("App Version"),
                          HVVersion::appVersion().stringValue()),
        profileDictionary(QStringLiteral("appBuildVersion"), QStringLiteral("App Build"),
                          HVVersion::appBuildVersion().stringValueWithFormat(HVVersion::kFormatAsWritten)),
        // Linux has no application store build.
        profileDictionary(QStringLiteral("appOrigin"), QStringLiteral("App Origin"),
                          QStringLiteral("halvesto")),
        // The system this runs on, never a name it does not have.
        profileDictionary(QStringLiteral("operatingSystem"), QStringLiteral("Operating System"),
                          QSysInfo::productType()),
        profileDictionary(QStringLiteral("operatingSystemVersion"),
                          QStringLiteral("Operating System Version"), QSysInfo::productVersion()),
    };
}

PlistArray OVAppDelegate::updateCheckParameters()
{
    PlistArray parameters = standardRequestParameters();
    const QLocale locale;
    parameters.push_back(profileDictionary(QStringLiteral("userLanguageCode"),
                                           QStringLiteral("User Language Code"),
                                           QLocale::languageToCode(locale.language())));
    parameters.push_back(profileDictionary(QStringLiteral("userCountryCode"),
                                           QStringLiteral("User Country Code"),
                                           QLocale::territoryToCode(locale.territory())));
    parameters.push_back(
        profileDictionary(QStringLiteral("appearance"), QStringLiteral("Appearance"),
                          isDarkMode() ? QStringLiteral("darkAqua") : QStringLiteral("aqua")));
    return parameters;
}

void OVAppDelegate::closeAndCancelSparkleWindows()
{
    if (m_updateServices)
        m_updateServices->updater.cancelAndCloseAll();
}
