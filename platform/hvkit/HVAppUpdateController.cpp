#include "platform/hvkit/HVAppUpdateController.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/hvkit/HVAppServices.h"
#include "platform/hvkit/HVLocalizedString.h"
#include "platform/hvkit/HVNetworkAccess.h"
#include "platform/hvkit/HVSparkleProxy.h"

#include <QCoreApplication>
#include <QDebug>

namespace {

QString applicationName()
{
    const QString name = QCoreApplication::applicationName();
    return name.isEmpty() ? QStringLiteral("Orvane") : name;
}

} // namespace

void HVAppUpdateController::setLatestAppUpdates(const std::vector<HVAppUpdate>& updates)
{
    m_updates = updates;
    m_hasChecked = true;
    postChange();
}

std::optional<HVAppUpdate> HVAppUpdateController::bestUpdate() const
{
    if (m_updates.empty())
        return std::nullopt;
    return m_updates.front();
}

QString HVAppUpdateController::localizedBestUpdateSummaryString() const
{
    const HVSparkleProxy* proxy = HVAppServices::shared().sparkleProxy();
    if (!proxy || proxy->feedURL().isEmpty())
        return HVLocalizedString::localizedString(
            QStringLiteral("updates-summary-not-set-up"),
            QStringLiteral("Update checks are not set up in this build."));
    if (const std::optional<HVAppUpdate> update = bestUpdate()) {
        QString summary = HVLocalizedString::localizedString(QStringLiteral("updates-summary-available"),
                                                             QStringLiteral("<APP> <VERSION> is available."))
                              .replace(QStringLiteral("<APP>"), applicationName())
                              .replace(QStringLiteral("<VERSION>"), update->versionString);
        if (update->isPaidUpdate)
            summary += QLatin1Char(' ') +
                       HVLocalizedString::localizedString(QStringLiteral("updates-summary-paid"),
                                                          QStringLiteral("It is a paid upgrade."));
        return summary;
    }
    if (m_hasChecked)
        return HVLocalizedString::localizedString(QStringLiteral("updates-summary-up-to-date"),
                                                  QStringLiteral("<APP> is up to date."))
            .replace(QStringLiteral("<APP>"), applicationName());
    return HVLocalizedString::localizedString(QStringLiteral("updates-summary-not-checked"),
                                              QStringLiteral("No update check has run yet."));
}

bool HVAppUpdateController::performActionForAppUpdate(const std::optional<HVAppUpdate>& update)
{
    if (!update)
        return false;
    if (!HVNetworkAccess::isPermittedPageAddress(update->webpageURL)) {
        qWarning().noquote() << "not opening the update's page, which is no https address:"
                             << update->webpageURL.toString();
        return false;
    }
    return HVNetworkAccess::openURL(update->webpageURL);
}

void HVAppUpdateController::reset()
{
    m_updates.clear();
    m_hasChecked = false;
    postChange();
}

void HVAppUpdateController::postChange()
{
    NotificationCenter::shared().postNotification(HVAppUpdateControllerDidChangeNotification, this);
}
