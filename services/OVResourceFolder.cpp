#include "services/OVResourceFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString OVResourceFolder()
{
    const QString installed =
        QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/orvane"));
    if (QFileInfo(installed + QStringLiteral("/Credits.rtfd")).exists())
        return installed;
    return QStringLiteral(ORVANE_RESOURCES_DIR);
}
