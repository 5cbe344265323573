#include "platform/foundation/DataFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

const QString kFolderName = QStringLiteral("Orvane");

// Whatever already stands at to wins: nothing is ever replaced.
bool moveWithoutReplacing(const QByteArray& from, const QByteArray& to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    struct stat existing;
    if (::lstat(to.constData(), &existing) == 0 || errno != ENOENT)
        return false;
    return ::rename(from.constData(), to.constData()) == 0;
}

} // namespace

QString DataFolder::path()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty())
        return {};
    return data + u'/' + kFolderName;
}

QString DataFolder::cachePath()
{
    const QString caches = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (caches.isEmpty())
        return {};
    return caches + u'/' + kFolderName;
}

QString DataFolder::moveContentsOfOldFolder()
{
    const QString folder = path();
    if (folder.isEmpty())
        return {};
    const QString old = folder + u'/' + kFolderName;
    // A link in its place is the user's own arrangement, not a folder an earlier version made.
    struct stat info;
    if (::lstat(QFile::encodeName(old).constData(), &info) != 0 || !S_ISDIR(info.st_mode))
        return {};

    QStringList moved;
    QStringList kept;
    const QStringList names = QDir(old).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names) {
        const QByteArray from = QFile::encodeName(old + u'/' + name);
        const QByteArray to = QFile::encodeName(folder + u'/' + name);
        if (moveWithoutReplacing(from, to))
            moved << name;
        else
            kept << name;
    }
    if (kept.isEmpty())
        QDir().rmdir(old);
    if (moved.isEmpty())
        return {};
    QString line = QStringLiteral("Moved the data folder's contents (%1) from %2 to %3.")
                       .arg(moved.join(QStringLiteral(", ")), old, folder);
    if (!kept.isEmpty())
        line += QStringLiteral(" Kept in the old folder, since the new one has the same names: %1.")
                    .arg(kept.join(QStringLiteral(", ")));
    return line;
}
