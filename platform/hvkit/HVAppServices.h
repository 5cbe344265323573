#pragma once

#include "platform/hvkit/HVAnalytics.h"

class HVAnnouncementController;
class HVAppUpdateController;
class HVPeriodicURLChecker;
class HVSparkleProxy;

#include <memory>
#include <optional>

// What the shared application object offers that needs no window: the statistics store and
// whether this version is still supported. The application object hands these out as its own.
class HVAppServices {
public:
    static HVAppServices& shared();

    // The store in the application's data folder, read on first use.
    HVAnalytics& analytics();
    // Forgets the store read, so that its next use reads the data folder's file afresh, as a new
    // start would: for a process that starts the program more than once, such as a test's.
    void reopenAnalytics() { m_analytics.reset(); }

    // A version past its unsupported date is unsupported; without a date it is supported.
    bool isUnsupported() const;
    std::optional<double> unsupportedDate() const { return m_unsupportedDate; }
    // Seconds since the reference date, as the shared clock counts.
    void setUnsupportedDate(std::optional<double> date) { m_unsupportedDate = date; }

    // The update services the program installs at start (tests install fakes); null before.
    // The services are kept by whoever installed them.
    HVSparkleProxy* sparkleProxy() const { return m_sparkleProxy; }
    HVAppUpdateController* appUpdateController() const { return m_appUpdateController; }
    HVPeriodicURLChecker* periodicURLChecker() const { return m_periodicURLChecker; }
    HVAnnouncementController* announcementController() const { return m_announcementController; }
    void setUpdateServices(HVSparkleProxy* proxy, HVAppUpdateController* controller,
                           HVPeriodicURLChecker* checker, HVAnnouncementController* announcements);
    // Every check at once, as the user asked for it.
    void checkAllUpdates();

private:
    HVAppServices() = default;

    HVSparkleProxy* m_sparkleProxy = nullptr;
    HVAppUpdateController* m_appUpdateController = nullptr;
    HVPeriodicURLChecker* m_periodicURLChecker = nullptr;
    HVAnnouncementController* m_announcementController = nullptr;

    std::unique_ptr<HVAnalytics> m_analytics;
    std::optional<double> m_unsupportedDate;
};
