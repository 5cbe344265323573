#include "platform/hvkit/HVKit.h"

#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVInitialDefaultsProvider.h"

#include <QDir>
#include <QStandardPaths>

namespace {

QUrl folderURL(QStandardPaths::StandardLocation location)
{
    const QString path = QStandardPaths::writableLocation(location);
    if (path.isEmpty())
        return {};
    QDir().mkpath(path);
    return QUrl::fromLocalFile(path);
}

} // namespace

QUrl HVKit::appCachesFolderURL()
{
    return folderURL(QStandardPaths::CacheLocation);
}

QUrl HVKit::appSupportFolderURL()
{
    return folderURL(QStandardPaths::AppLocalDataLocation);
}

void HVKit::setupKit()
{
    UserDefaults::shared().registerDefaults(HVInitialDefaultsRegistry::initialDefaults());
}
