#include "platform/hvkit/HVKit.h"

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
