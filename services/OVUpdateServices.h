#pragma once

#include "platform/hvkit/HVAnnouncementController.h"
#include "platform/hvkit/HVAppServices.h"
#include "platform/hvkit/HVAppUpdateController.h"
#include "platform/hvkit/HVPeriodicURLChecker.h"
#include "platform/updates/Updater.h"

// The update services of one run, made by the application's delegate and handed to the
// application object for as long as they live.
struct OVUpdateServices {
    OVUpdateServices() : updater(checker, controller)
    {
        HVAppServices::shared().setUpdateServices(&updater, &controller, &checker, &announcements);
    }
    ~OVUpdateServices()
    {
        if (HVAppServices::shared().sparkleProxy() == &updater)
            HVAppServices::shared().setUpdateServices(nullptr, nullptr, nullptr, nullptr);
    }
    OVUpdateServices(const OVUpdateServices&) = delete;
    OVUpdateServices& operator=(const OVUpdateServices&) = delete;

    HVAppUpdateController controller;
    HVPeriodicURLChecker checker;
    HVAnnouncementController announcements;
    Updater updater;
};
