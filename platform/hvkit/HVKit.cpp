#include "platform/hvkit/HVKit.h"

#include "platform/foundation/DataFolder.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVInitialDefaultsProvider.h"

#include <QDir>
#include <QStandardPaths>

namespace {

QUrl folderURL(const QString& path)
{
    if (path.isEmpty())
        return {};
    QDir().mkpath(path);
    return QUrl::fromLocalFile(path);
}

} // namespace

QUrl HVKit::appCachesFolderURL()
{
    return folderURL(DataFolder::cachePath());
}

QUrl HVKit::appSupportFolderURL()
{
    return folderURL(DataFolder::path());
}

void HVKit::setupKit()
{
    UserDefaults::shared().registerDefaults(HVInitialDefaultsRegistry::initialDefaults());
}
