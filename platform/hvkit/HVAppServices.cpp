#include "platform/hvkit/HVAppServices.h"

#include "platform/foundation/Clock.h"
#include "platform/hvkit/HVSparkleProxy.h"

#include <QDebug>

HVAppServices& HVAppServices::shared()
{
    static HVAppServices services;
    return services;
}

HVAnalytics& HVAppServices::analytics()
{
    if (!m_analytics) {
        m_analytics = std::make_unique<HVAnalytics>(HVAnalytics::defaultFilePath());
        Error error;
        // A damaged file is set aside by starting over; statistics are not worth stopping for.
        if (!m_analytics->load(&error))
            qWarning().noquote() << "could not read the usage statistics:" << error.localizedFailureReason();
    }
    return *m_analytics;
}

bool HVAppServices::isUnsupported() const
{
    return m_unsupportedDate && Clock::shared().now() >= *m_unsupportedDate;
}

void HVAppServices::setUpdateServices(HVSparkleProxy* proxy, HVAppUpdateController* controller,
                                      HVPeriodicURLChecker* checker, HVAnnouncementController* announcements)
{
    m_sparkleProxy = proxy;
    m_appUpdateController = controller;
    m_periodicURLChecker = checker;
    m_announcementController = announcements;
}

void HVAppServices::checkAllUpdates()
{
    // The updater's check goes through the periodic checker, which holds the feed's check.
    if (m_sparkleProxy)
        m_sparkleProxy->checkForUpdates();
}
