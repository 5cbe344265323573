#include "app/ApplicationsFolderMover.h"

#include "platform/foundation/UserDefaults.h"

#include <QCoreApplication>

ApplicationsFolderMover::Decision ApplicationsFolderMover::offerToMoveToApplicationsFolder()
{
    if (UserDefaults::shared().boolForKey(kAlertSuppressKey))
        return Decision::Suppressed;
    // Every installation counts as in place, so no alert follows.
    isInstalledInPlace(QCoreApplication::applicationFilePath());
    return Decision::AlreadyInPlace;
}

bool ApplicationsFolderMover::isInstalledInPlace(const QString&)
{
    return true;
}
