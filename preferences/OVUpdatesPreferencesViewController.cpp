#include "preferences/OVUpdatesPreferencesViewController.h"

#include "platform/appkit/Event.h"
#include "platform/appkit/EventTranslation.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVAnnouncementController.h"
#include "platform/hvkit/HVAppServices.h"
#include "platform/hvkit/HVAppUpdateController.h"
#include "platform/hvkit/HVLocalizedString.h"
#include "platform/hvkit/HVNetworkAccess.h"
#include "platform/hvkit/HVPeriodicURLChecker.h"
#include "platform/hvkit/HVSettingsController.h"
#include "platform/hvkit/HVSparkleProxy.h"
#include "platform/updates/SUConstants.h"
#include "platform/updates/Updater.h"
#include "preferences/OVBackwardsCompatibleMiniLabel.h"

#include <QCheckBox>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr qint64 kOneDayInSeconds = 86400;
const QString kCheckForUpdatesProxyKey = QStringLiteral("checkForUpdatesProxy");
const QString kDebugSuffix = QStringLiteral("-debug");

QString localized(const char* key, const char* english)
{
    return HVLocalizedString::localizedString(QString::fromLatin1(key), QString::fromUtf8(english));
}

} // namespace

PlistDictionary OVUpdatesPreferencesViewController::initialDefaultsDictionary()
{
    PlistDictionary defaults;
    defaults.insert(kCheckForUpdatesProxyKey, true);
    defaults.insert(QStringLiteral("submitBugReports"), true);
    defaults.insert(QStringLiteral("submitAnalytics"), true);
    defaults.insert(SUEnableAutomaticChecksKey, true);
    defaults.insert(SUScheduledCheckIntervalKey, kOneDayInSeconds);
    defaults.insert(SUSendProfileInfoKey, false);
    return defaults;
}

QUrl OVUpdatesPreferencesViewController::urlBySwitchingDebugSuffix(const QUrl& url, bool debug,
                                                                   const QString& suffix)
{
    const QString name = url.fileName();
    if (name.isEmpty() || suffix.isEmpty())
        return url;
    // The suffix goes before the extension, so the file keeps its type.
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > 0 ? name.left(dot) : name;
    const QString extension = dot > 0 ? name.mid(dot) : QString();
    const bool hasSuffix = stem.endsWith(suffix);
    QString newStem = stem;
    if (debug && !hasSuffix)
        newStem += suffix;
    else if (!debug && hasSuffix)
        newStem.chop(suffix.size());
    if (newStem == stem)
        return url;
    QUrl switched = url;
    QString path = url.path();
    path.chop(name.size());
    switched.setPath(path + newStem + extension);
    return switched;
}

OVUpdatesPreferencesViewController::OVUpdatesPreferencesViewController(
    QWidget* parent, HVSettingsController* settingsController)
    : HVSettingsViewController(parent, settingsController)
{
    m_checkbox =
        new QCheckBox(localized("settings-updates-check-automatically", "Check for updates automatically"));
    m_checkbox->setObjectName(QStringLiteral("checkForUpdatesCheckbox"));
    HVDefaultsBinding::bindCheckBox(m_checkbox, kCheckForUpdatesProxyKey, UserDefaults::shared());
    // After the binding stored the choice.
    connect(m_checkbox, &QCheckBox::clicked, this, [this] { checkForUpdatesCheckboxPressed(); });

    m_separator = new QFrame;
    m_separator->setFrameShape(QFrame::HLine);
    m_separator->setFrameShadow(QFrame::Sunken);

    m_summaryLabel = new OVBackwardsCompatibleMiniLabel;
    m_summaryLabel->setObjectName(QStringLiteral("updateSummaryLabel"));
    m_summaryLabel->setWordWrap(true);

    m_updateActionButton = new QPushButton(localized("settings-updates-open-page", "Open Update Page…"));
    m_updateActionButton->setObjectName(QStringLiteral("updateActionButton"));
    connect(m_updateActionButton, &QPushButton::clicked, this, [this] { updateActionButtonPressed(); });

    m_checkNowButton = new QPushButton(localized("settings-updates-check-now", "Check Now"));
    m_checkNowButton->setObjectName(QStringLiteral("checkNowButton"));
    // The modifiers of the click itself, as the event carried them.
    connect(m_checkNowButton, &QPushButton::clicked, this,
            [this] { checkNowButtonPressed(modifierFlagsFromQt(QGuiApplication::keyboardModifiers())); });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_updateActionButton);
    buttons->addStretch(1);
    buttons->addWidget(m_checkNowButton);

    contentLayout()->addWidget(m_checkbox);
    contentLayout()->addWidget(m_separator);
    contentLayout()->addWidget(m_summaryLabel);
    contentLayout()->addLayout(buttons);
    contentLayout()->addStretch(1);

    for (const QString& name :
         {HVAppUpdateControllerDidChangeNotification, HVSettingsControllerDidResetAllDefaultsNotification}) {
        m_observers.emplace_back(NotificationCenter::shared(), name, nullptr,
                                 [this](const Notification&) { updateInterface(); });
    }
    updateInterface();
}

OVUpdatesPreferencesViewController::~OVUpdatesPreferencesViewController() = default;

void OVUpdatesPreferencesViewController::settingsDidShow()
{
    HVSettingsViewController::settingsDidShow();
    updateInterface();
}

void OVUpdatesPreferencesViewController::defaultsDidReset()
{
    updateInterface();
}

void OVUpdatesPreferencesViewController::checkForUpdatesCheckboxPressed()
{
    updateInterface();
}

void OVUpdatesPreferencesViewController::updateInterface()
{
    const HVAppServices& services = HVAppServices::shared();
    const bool check = UserDefaults::shared().boolForKey(kCheckForUpdatesProxyKey);
    if (HVSparkleProxy* proxy = services.sparkleProxy();
        proxy && proxy->automaticallyChecksForUpdates() != check)
        proxy->setAutomaticallyChecksForUpdates(check);
    if (HVPeriodicURLChecker* checker = services.periodicURLChecker();
        checker && checker->isEnabled() != check)
        checker->setEnabled(check);
    HVAppUpdateController* controller = services.appUpdateController();
    m_summaryLabel->setText(controller ? controller->localizedBestUpdateSummaryString() : QString());
    m_updateActionButton->setVisible(controller && controller->hasUpdate());
}

void OVUpdatesPreferencesViewController::updateActionButtonPressed()
{
    if (HVAppUpdateController* controller = HVAppServices::shared().appUpdateController())
        controller->performActionForAppUpdate(controller->bestUpdate());
}

void OVUpdatesPreferencesViewController::checkNowButtonPressed(unsigned long modifierFlags)
{
    HVAppServices& services = HVAppServices::shared();
    constexpr unsigned long debugFlags = kControlKeyMask | kOptionKeyMask | kCommandKeyMask;
    if ((modifierFlags & debugFlags) == debugFlags) {
        m_useDebugURLs = !m_useDebugURLs;
        switchDebugFeeds();
    } else if (modifierFlags & kOptionKeyMask) {
        if (HVPeriodicURLChecker* checker = services.periodicURLChecker())
            checker->cancelRunningChecks();
        if (HVAppUpdateController* controller = services.appUpdateController())
            controller->reset();
        if (HVAnnouncementController* announcements = services.announcementController())
            announcements->reset();
        HVNetworkAccess::removeAllCachedResponses();
    } else {
        services.checkAllUpdates();
    }
}

void OVUpdatesPreferencesViewController::switchDebugFeeds()
{
    HVAppServices& services = HVAppServices::shared();
    if (const HVSparkleProxy* proxy = services.sparkleProxy()) {
        // The registered feed follows; the user's own value, when there is one, stays as it is.
        const QUrl feed = urlBySwitchingDebugSuffix(proxy->feedURL(), m_useDebugURLs, kDebugSuffix);
        if (!feed.isEmpty() && !feed.isRelative()) {
            PlistDictionary registration;
            registration.insert(Updater::kFeedURLKey, feed.toString());
            UserDefaults::shared().registerDefaults(registration);
        }
    }
    if (HVPeriodicURLChecker* checker = services.periodicURLChecker()) {
        const std::vector<HVPeriodicURLChecker::Check>& checks = checker->checks();
        for (size_t index = 0; index < checks.size(); ++index) {
            const QUrl url =
                urlBySwitchingDebugSuffix(checks[index].request.url(), m_useDebugURLs, kDebugSuffix);
            if (url.isEmpty())
                continue;
            QNetworkRequest request = checks[index].request;
            request.setUrl(url);
            checker->setRequestOfCheck(index, request);
        }
    }
}
