#include "platform/foundation/StagingItem.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Each template is tried again this often when a cleaner took the item away between its making and
// its locking; more than that means something else is wrong.
constexpr int kMakeAttempts = 8;
// Leaves room for the hidden prefix and the staging suffix within the system's 255-byte name limit,
// even for names written in four-byte characters.
constexpr qsizetype kStagingStemLength = 48;
constexpr qsizetype kRandomLength = 6;

std::function<void()>& progressProbe()
{
    static std::function<void()> probe;
    return probe;
}

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The descriptor still names what is at path: nobody removed or replaced it meanwhile.
bool standsAt(int fd, const char* path)
{
    struct stat opened, named;
    return ::fstat(fd, &opened) == 0 && ::lstat(path, &named) == 0 && sameFile(opened, named);
}

bool lockExclusively(int fd, bool wait)
{
    for (;;) {
        if (::flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB)) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

void removeItem(const QByteArray& path, StagingItem::Kind kind)
{
    if (kind == StagingItem::Kind::File) {
        ::unlink(path.constData());
        return;
    }
    StagingItem::removeTree(path);
}

// Gives the folder at path (never a link) its owner's read, write and search permissions back.
void makeFolderRemovable(const std::filesystem::path& path)
{
    struct stat info;
    if (::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && (info.st_mode & S_IRWXU) != S_IRWXU)
        ::chmod(path.c_str(), (info.st_mode & 07777) | S_IRWXU);
}

bool isRandomSuffix(QStringView text)
{
    if (text.size() != kRandomLength)
        return false;
    for (QChar c : text) {
        if (!(c.isDigit() || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')))
            return false;
    }
    return true;
}

bool isSavingFolderName(QStringView candidate, QStringView stem)
{
    constexpr QStringView kSuffix = u".saving-";
    return candidate.startsWith(u'.') && candidate.mid(1).startsWith(stem) &&
           candidate.mid(1 + stem.size()).startsWith(kSuffix) &&
           isRandomSuffix(candidate.mid(1 + stem.size() + kSuffix.size()));
}

} // namespace

std::unique_ptr<StagingItem> StagingItem::make(const QByteArray& pathTemplate, Kind kind)
{
    for (int attempt = 0; attempt < kMakeAttempts; ++attempt) {
        QByteArray path = pathTemplate;
        int fd = -1;
        if (kind == Kind::Directory) {
            if (!::mkdtemp(path.data()))
                return nullptr;
            fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
            if (fd < 0) {
                const int reason = errno;
                ::rmdir(path.constData());
                errno = reason;
                return nullptr;
            }
        } else {
            fd = ::mkostemp(path.data(), O_CLOEXEC);
            if (fd < 0)
                return nullptr;
        }
        // A file system without locks still saves; its temporaries are then never taken for stale,
        // since a cleaner there cannot take the lock either.
        lockExclusively(fd, true);
        // A cleaner that found the fresh item before it was locked may have removed it while this
        // waited for the lock; then the item is gone and another one is made.
        if (standsAt(fd, path.constData()))
            return std::unique_ptr<StagingItem>(new StagingItem(std::move(path), kind, fd));
        ::close(fd);
    }
    errno = EAGAIN;
    return nullptr;
}

StagingItem::~StagingItem()
{
    // Removed while still locked, so no cleaner works on it at the same time.
    if (standsAt(m_fd, m_path.constData()))
        removeItem(m_path, m_kind);
    ::close(m_fd);
}

QByteArray StagingItem::savingFolderTemplate(const QString& folder, const QString& name)
{
    return QFile::encodeName(folder + QLatin1String("/.") + name.left(kStagingStemLength) +
                             QLatin1String(".saving-XXXXXX"));
}

int StagingItem::removeStaleSavingFolders(const QString& folder, const QString& name)
{
    const QString stem = name.left(kStagingStemLength);
    return removeStale(folder, Kind::Directory, [&](QStringView candidate) {
        return isSavingFolderName(candidate, stem) || isSavingFolderName(candidate, name);
    });
}

int StagingItem::removeStaleTemporaryFiles(const QString& path)
{
    const QFileInfo info(path);
    const QString prefix = info.fileName() + u'.';
    return removeStale(info.absolutePath(), Kind::File, [&](QStringView candidate) {
        return candidate.startsWith(prefix) && isRandomSuffix(candidate.mid(prefix.size()));
    });
}

int StagingItem::removeStale(const QString& folder, Kind kind,
                             const std::function<bool(QStringView name)>& isStagingName)
{
    const int folderFd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0)
        return 0;
    DIR* listing = ::fdopendir(folderFd);
    if (!listing) {
        ::close(folderFd);
        return 0;
    }
    const std::unique_ptr<DIR, int (*)(DIR*)> closer(listing, ::closedir);

    QList<QByteArray> candidates;
    while (const dirent* entry = ::readdir(listing)) {
        const QByteArray rawName(entry->d_name);
        if (entry->d_type != DT_UNKNOWN && entry->d_type != (kind == Kind::Directory ? DT_DIR : DT_REG))
            continue;
        if (isStagingName(QFile::decodeName(rawName)))
            candidates.append(rawName);
    }

    int removed = 0;
    for (const QByteArray& name : candidates) {
        struct stat named;
        if (::fstatat(folderFd, name.constData(), &named, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (kind == Kind::Directory ? !S_ISDIR(named.st_mode) : !S_ISREG(named.st_mode))
            continue;
        const int flags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY |
                          (kind == Kind::Directory ? O_DIRECTORY : O_NONBLOCK);
        const int fd = ::openat(folderFd, name.constData(), flags);
        if (fd < 0)
            continue;
        struct stat opened;
        const bool stale = lockExclusively(fd, false) && ::fstat(fd, &opened) == 0 &&
                           ::fstatat(folderFd, name.constData(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
                           sameFile(opened, named);
        if (stale) {
            removeItem(QFile::encodeName(folder) + '/' + name, kind);
            ++removed;
        }
        ::close(fd);
    }
    return removed;
}

bool StagingItem::removeTree(const QByteArray& path)
{
    namespace fs = std::filesystem;
    const fs::path root(path.toStdString());
    // remove_all takes links as they are and never descends through them.
    std::error_code error;
    fs::remove_all(root, error);
    if (!error)
        return true;
    makeFolderRemovable(root);
    fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        // Before the iterator steps into it, so a folder without search permission can be listed.
        if (it->is_directory(error) && !it->is_symlink(error))
            makeFolderRemovable(it->path());
    }
    error.clear();
    fs::remove_all(root, error);
    return !error;
}

void StagingItem::setProgressProbe(std::function<void()> probe)
{
    progressProbe() = std::move(probe);
}

void StagingItem::reportProgress()
{
    if (progressProbe())
        progressProbe()();
}
