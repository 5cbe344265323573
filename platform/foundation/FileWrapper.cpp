#include "platform/foundation/FileWrapper.h"

#include "platform/foundation/ReadAll.h"
#include "platform/foundation/ReadRegularFile.h"
#include "platform/foundation/StagingItem.h"
#include "platform/foundation/WriteAll.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtDebug>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace {

// Deeper trees than this are refused when written; adding a directory to itself is refused earlier.
constexpr int kMaxWriteDepth = 256;
// Longest link target read; the system's own limit for a path.
constexpr qsizetype kMaxLinkLength = 4096;

QString systemReason(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

QUrl childURL(const QUrl& parent, const QString& name)
{
    return QUrl::fromLocalFile(parent.toLocalFile() + u'/' + name);
}

// Closes a descriptor on every return path.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return m_fd; }
    bool isValid() const { return m_fd >= 0; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

// Makes the files of a tree durable together. A flush waits for the disk, and flushing each file before
// writing the next made a package of fifty pictures wait fifty times in a row. Here each file's
// write-back is started as soon as it is written, so the disk works on it while the next ones are
// written, and the flushes at the end mostly find their data already there: the journal commit the
// first of them waits for carries the others' too. All of it on the saving thread, without workers.
class DurableBatch {
public:
    DurableBatch() = default;
    DurableBatch(const DurableBatch&) = delete;
    DurableBatch& operator=(const DurableBatch&) = delete;
    ~DurableBatch() { finish(); }

    // Takes the descriptor and flushes it: a folder with its entries, a file with its data and what
    // reading that back needs (its size and blocks), not its times.
    void add(int fd, bool folder)
    {
        // A bound on descriptors held open, for trees of thousands of files.
        if (m_pending.size() >= kMostOutstanding)
            flushOldest();
        if (!folder)
            startWriteBack(fd);
        m_pending.push_back({fd, folder});
    }

    // Waits for every flush; false, with errno set, where one failed.
    bool finish()
    {
        while (!m_pending.empty())
            flushOldest();
        if (m_error == 0)
            return true;
        errno = m_error;
        return false;
    }

private:
    struct Entry {
        int fd;
        bool folder;
    };
    static constexpr size_t kMostOutstanding = 64;

    static void startWriteBack(int fd)
    {
#ifdef SYNC_FILE_RANGE_WRITE
        // Only a hint: where the file system does not take it, the flush at the end does all the work.
        ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
#else
        (void)fd;
#endif
    }

    void flushOldest()
    {
        const Entry entry = m_pending.front();
        m_pending.pop_front();
        int result;
        do
            result = entry.folder ? ::fsync(entry.fd) : ::fdatasync(entry.fd);
        while (result != 0 && errno == EINTR);
        if (result != 0 && m_error == 0)
            m_error = errno;
        ::close(entry.fd);
    }

    std::deque<Entry> m_pending;
    int m_error = 0;
};

// Whether what is left of the open file is exactly contents; read in pieces, so that a large file is
// never held twice.
bool holdsBytes(int fd, const QByteArray& contents)
{
    char piece[1 << 16];
    qsizetype at = 0;
    for (;;) {
        const ssize_t count = ::read(fd, piece, sizeof piece);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return count == 0 && at == contents.size();
        if (count > contents.size() - at || std::memcmp(piece, contents.constData() + at, size_t(count)) != 0)
            return false;
        at += count;
    }
}

mode_t creationMask()
{
    // The only way to read the mask is to set it; done once, before saving starts anywhere.
    static const mode_t mask = [] {
        const mode_t current = ::umask(022);
        ::umask(current);
        return current;
    }();
    return mask;
}

void removeTree(const QByteArray& path)
{
    StagingItem::removeTree(path);
}

// A hidden name beside the target that says what it is when left behind by a crash.
QByteArray siblingTemplate(const QString& directory, const QString& base, const char* purpose)
{
    return QFile::encodeName(directory + QLatin1String("/.") + base.left(48) + u'.' + QLatin1String(purpose) +
                             QLatin1String("-XXXXXX"));
}

} // namespace

// Reads a tree below one root through descriptors, so no entry is reached through a link.
struct FileWrapper::TreeReader {
    ReadingLimits limits;
    Error* error = nullptr;
    qsizetype entries = 0;
    qint64 bytes = 0;

    bool fail(qint64 code, const QUrl& url, const QString& reason)
    {
        setError(error, Error::cocoa(code, url, reason));
        return false;
    }

    std::shared_ptr<FileWrapper> readRoot(const QUrl& url)
    {
        const QByteArray path = QFile::encodeName(url.toLocalFile());
        // The type of what was opened is checked right after.
        FileDescriptor fd(openForReading(path));
        if (!fd.isValid()) {
            fail(kFileReadUnknownError, url, systemReason(errno));
            return nullptr;
        }
        auto wrapper = readOpened(fd, url, 0);
        if (wrapper) {
            wrapper->updateNames(QFileInfo(QDir::cleanPath(url.toLocalFile())).fileName());
            wrapper->m_preferredFilename = wrapper->m_filename;
        }
        return wrapper;
    }

    std::shared_ptr<FileWrapper> readOpened(FileDescriptor& fd, const QUrl& url, int depth)
    {
        struct stat info;
        if (::fstat(fd.get(), &info) != 0) {
            fail(kFileReadUnknownError, url, systemReason(errno));
            return nullptr;
        }
        if (S_ISREG(info.st_mode))
            return readRegularFile(fd.get(), info, url);
        if (S_ISDIR(info.st_mode))
            return readDirectory(fd, url, depth);
        fail(kFileReadCorruptFileError, url, QStringLiteral("Not a regular file, directory or link"));
        return nullptr;
    }

    std::shared_ptr<FileWrapper> readRegularFile(int fd, const struct stat& info, const QUrl& url)
    {
        if (info.st_size > limits.maxTotalBytes - bytes) {
            fail(kFileReadTooLargeError, url, QStringLiteral("Too much data"));
            return nullptr;
        }
        QByteArray contents;
        contents.reserve(qsizetype(info.st_size));
        switch (readAll(fd, limits.maxTotalBytes - bytes, contents)) {
        case ReadAllResult::Done:
            break;
        case ReadAllResult::TooLarge:
            fail(kFileReadTooLargeError, url, QStringLiteral("Too much data"));
            return nullptr;
        case ReadAllResult::Failed:
            fail(kFileReadUnknownError, url, systemReason(errno));
            return nullptr;
        }
        bytes += contents.size();
        return makeRegularFile(std::move(contents));
    }

    std::shared_ptr<FileWrapper> readDirectory(FileDescriptor& fd, const QUrl& url, int depth)
    {
        if (depth >= limits.maxDepth) {
            fail(kFileReadCorruptFileError, url, QStringLiteral("Folders nested too deeply"));
            return nullptr;
        }
        const int listFd = ::dup(fd.get());
        DIR* listing = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
        if (!listing) {
            if (listFd >= 0)
                ::close(listFd);
            fail(kFileReadUnknownError, url, systemReason(errno));
            return nullptr;
        }
        const std::unique_ptr<DIR, int (*)(DIR*)> closer(listing, ::closedir);

        auto directory = makeDirectory();
        for (;;) {
            errno = 0;
            const dirent* entry = ::readdir(listing);
            if (!entry) {
                if (errno != 0) {
                    fail(kFileReadUnknownError, url, systemReason(errno));
                    return nullptr;
                }
                break;
            }
            const QByteArray rawName(entry->d_name);
            if (rawName == "." || rawName == "..")
                continue;
            if (++entries > limits.maxEntries) {
                fail(kFileReadCorruptFileError, url, QStringLiteral("Too many files"));
                return nullptr;
            }
            const QString name = QString::fromUtf8(rawName);
            const QUrl entryURL = childURL(url, name);
            // A name that does not survive the trip through UTF-16 could never be written back.
            if (name.toUtf8() != rawName) {
                fail(kFileReadCorruptFileError, entryURL, QStringLiteral("File name is not valid UTF-8"));
                return nullptr;
            }
            auto child = readEntry(fd.get(), rawName, entryURL, depth + 1);
            if (!child)
                return nullptr;
            child->m_filename = name;
            child->m_preferredFilename = name;
            directory->insertChild(name, child);
        }
        return directory;
    }

    std::shared_ptr<FileWrapper> readEntry(int directoryFd, const QByteArray& rawName, const QUrl& url,
                                           int depth)
    {
        struct stat info;
        if (::fstatat(directoryFd, rawName.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            fail(kFileReadUnknownError, url, systemReason(errno));
            return nullptr;
        }
        if (S_ISLNK(info.st_mode))
            return readLink(directoryFd, rawName, url);
        if (!S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) {
            fail(kFileReadCorruptFileError, url, QStringLiteral("Not a regular file, directory or link"));
            return nullptr;
        }
        FileDescriptor fd(::openat(directoryFd, rawName.constData(),
                                   O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW));
        if (!fd.isValid()) {
            fail(kFileReadUnknownError, url, systemReason(errno));
            return nullptr;
        }
        return readOpened(fd, url, depth);
    }

    std::shared_ptr<FileWrapper> readLink(int directoryFd, const QByteArray& rawName, const QUrl& url)
    {
        QByteArray target(kMaxLinkLength, Qt::Uninitialized);
        const ssize_t length =
            ::readlinkat(directoryFd, rawName.constData(), target.data(), size_t(target.size()));
        if (length < 0 || length >= target.size()) {
            fail(kFileReadUnknownError, url,
                 length < 0 ? systemReason(errno) : QStringLiteral("Link too long"));
            return nullptr;
        }
        target.truncate(length);
        return makeSymbolicLink(QFile::decodeName(target));
    }
};

// Writes a wrapper's children into a directory that nobody else sees yet.
struct FileWrapper::TreeWriter {
    QUrl url;
    Error* error = nullptr;
    DurableBatch durable;

    bool fail(const QString& reason)
    {
        setError(error, Error::cocoa(kFileWriteUnknownError, url, reason));
        return false;
    }

    // Writes the children and hands each to the batch to be made durable; the folder itself is handed
    // over by whoever made it, once its entries are all there. previousFd is the same folder of the
    // item being replaced, or -1.
    bool writeChildren(int directoryFd, const FileWrapper& directory, int depth, int previousFd)
    {
        if (depth > kMaxWriteDepth)
            return fail(QStringLiteral("Folders nested too deeply"));
        for (auto it = directory.m_children.cbegin(); it != directory.m_children.cend(); ++it) {
            if (!isValidFilename(it.key()))
                return fail(QStringLiteral("Invalid file name"));
            if (!writeChild(directoryFd, QFile::encodeName(it.key()), *it.value(), depth, previousFd))
                return false;
            StagingItem::reportProgress();
        }
        return true;
    }

    // A file the item being replaced already holds with the same bytes is linked into the new tree
    // rather than written again: a save after an edit to the text leaves the pictures as they were,
    // and neither writes them nor, once the old tree goes, frees their blocks. The old file is never
    // written to, so the old tree stays whole whatever happens; it is flushed like a written file,
    // since another program may have put it there without flushing it.
    bool linkUnchanged(int previousFd, int directoryFd, const QByteArray& name, const QByteArray& contents)
    {
        if (previousFd < 0)
            return false;
        FileDescriptor old(::openat(previousFd, name.constData(),
                                    O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW));
        struct stat info;
        if (!old.isValid() || ::fstat(old.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
            info.st_size != contents.size())
            return false;
        if (!holdsBytes(old.get(), contents))
            return false;
        if (::linkat(previousFd, name.constData(), directoryFd, name.constData(), 0) != 0)
            return false;
        durable.add(old.release(), false);
        return true;
    }

    bool writeChild(int directoryFd, const QByteArray& name, const FileWrapper& child, int depth,
                    int previousFd)
    {
        switch (child.m_kind) {
        case Kind::RegularFile: {
            if (linkUnchanged(previousFd, directoryFd, name, child.m_contents))
                return true;
            FileDescriptor fd(::openat(directoryFd, name.constData(),
                                       O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644));
            if (!fd.isValid() || !writeAll(fd.get(), child.m_contents))
                return fail(systemReason(errno));
            durable.add(fd.release(), false);
            return true;
        }
        case Kind::Directory: {
            if (::mkdirat(directoryFd, name.constData(), 0755) != 0)
                return fail(systemReason(errno));
            FileDescriptor fd(
                ::openat(directoryFd, name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW));
            if (!fd.isValid())
                return fail(systemReason(errno));
            const FileDescriptor previous(previousFd < 0
                                              ? -1
                                              : ::openat(previousFd, name.constData(),
                                                         O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW));
            if (!writeChildren(fd.get(), child, depth + 1, previous.get()))
                return false;
            durable.add(fd.release(), true);
            return true;
        }
        case Kind::SymbolicLink:
            if (::symlinkat(QFile::encodeName(child.m_linkDestination).constData(), directoryFd,
                            name.constData()) != 0)
                return fail(systemReason(errno));
            return true;
        }
        return fail(QStringLiteral("Unknown file kind"));
    }

    // Puts the finished tree at target. The previous item, if any, is exchanged in one step where the
    // file system can; otherwise it is moved aside first and moved back if the new tree cannot follow.
    bool swapIn(const QByteArray& built, const QByteArray& target, const QString& parent, const QString& base)
    {
        struct stat info;
        if (::lstat(target.constData(), &info) != 0) {
            if (errno != ENOENT)
                return fail(systemReason(errno));
            return ::rename(built.constData(), target.constData()) == 0 || fail(systemReason(errno));
        }
        if (::renameat2(AT_FDCWD, built.constData(), AT_FDCWD, target.constData(), RENAME_EXCHANGE) == 0) {
            removeTree(built);
            return true;
        }
        if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
            return fail(systemReason(errno));

        QByteArray aside = siblingTemplate(parent, base, "old");
        if (!::mkdtemp(aside.data()) || ::rmdir(aside.constData()) != 0)
            return fail(systemReason(errno));
        if (::rename(target.constData(), aside.constData()) != 0)
            return fail(systemReason(errno));
        if (::rename(built.constData(), target.constData()) != 0) {
            const int reason = errno;
            if (::rename(aside.constData(), target.constData()) != 0)
                qWarning("Could not restore %s from %s", target.constData(), aside.constData());
            return fail(systemReason(reason));
        }
        removeTree(aside);
        return true;
    }

    bool writeDirectory(const FileWrapper& directory, const QString& path)
    {
        const QFileInfo targetInfo(path);
        const QString parent = targetInfo.absolutePath();
        const QString base = targetInfo.fileName();
        const auto staging =
            StagingItem::make(StagingItem::savingFolderTemplate(parent, base), StagingItem::Kind::Directory);
        if (!staging)
            return fail(systemReason(errno));
        const QByteArray& built = staging->path();
        const FileDescriptor replaced(
            ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW));
        if (!writeChildren(staging->descriptor(), directory, 0, replaced.get()))
            return false;
        // mkdtemp makes the folder private; a saved package gets the permissions of the one it replaces,
        // set once it is filled, so a read-only package can still be saved over.
        struct stat previous;
        const bool replacesDirectory =
            ::stat(QFile::encodeName(path).constData(), &previous) == 0 && S_ISDIR(previous.st_mode);
        ::fchmod(staging->descriptor(),
                 replacesDirectory ? (previous.st_mode & 07777) : (0777 & ~creationMask()));
        FileDescriptor root(::fcntl(staging->descriptor(), F_DUPFD_CLOEXEC, 0));
        if (!root.isValid())
            return fail(systemReason(errno));
        durable.add(root.release(), true);
        // Nothing takes the target's place before all of it is on the disk.
        if (!durable.finish())
            return fail(systemReason(errno));
        StagingItem::reportProgress();
        if (!swapIn(built, QFile::encodeName(targetInfo.absoluteFilePath()), parent, base))
            return false;
        StagingItem::reportProgress();
        FileDescriptor parentFd(
            ::open(QFile::encodeName(parent).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (parentFd.isValid())
            ::fsync(parentFd.get());
        // Only once this save is in place: what an interrupted one left behind is no longer needed.
        StagingItem::removeStaleSavingFolders(parent, base);
        return true;
    }

    bool writeRegularFile(const FileWrapper& file, const QString& path)
    {
        QSaveFile save(path);
        if (!save.open(QIODevice::WriteOnly) || save.write(file.m_contents) != file.m_contents.size() ||
            !save.commit())
            return fail(save.errorString());
        return true;
    }

    bool writeLink(const FileWrapper& link, const QString& path)
    {
        const QFileInfo targetInfo(path);
        const QByteArray target = QFile::encodeName(targetInfo.absoluteFilePath());
        QByteArray temporary = siblingTemplate(targetInfo.absolutePath(), targetInfo.fileName(), "link");
        if (!::mkdtemp(temporary.data()) || ::rmdir(temporary.constData()) != 0)
            return fail(systemReason(errno));
        if (::symlink(QFile::encodeName(link.m_linkDestination).constData(), temporary.constData()) != 0)
            return fail(systemReason(errno));
        if (::rename(temporary.constData(), target.constData()) != 0) {
            const int reason = errno;
            ::unlink(temporary.constData());
            return fail(systemReason(reason));
        }
        return true;
    }
};

std::shared_ptr<FileWrapper> FileWrapper::makeRegularFile(QByteArray contents)
{
    std::shared_ptr<FileWrapper> wrapper(new FileWrapper(Kind::RegularFile));
    wrapper->m_contents = std::move(contents);
    return wrapper;
}

std::shared_ptr<FileWrapper> FileWrapper::makeDirectory()
{
    return std::shared_ptr<FileWrapper>(new FileWrapper(Kind::Directory));
}

std::shared_ptr<FileWrapper>
FileWrapper::makeDirectory(const QMap<QString, std::shared_ptr<FileWrapper>>& children, Error* error)
{
    auto directory = makeDirectory();
    for (auto it = children.cbegin(); it != children.cend(); ++it) {
        if (!it.value() || !isValidFilename(it.key()) ||
            directory->m_foldedKeys.contains(it.key().toCaseFolded()) ||
            it.value()->containsDirectory(directory.get())) {
            setError(error, Error::cocoa(kFileWriteUnknownError, {},
                                         QStringLiteral("Invalid file name: ") + it.key()));
            return nullptr;
        }
        if (it.value()->m_preferredFilename.isEmpty())
            it.value()->m_preferredFilename = it.key();
        it.value()->m_filename = it.key();
        directory->insertChild(it.key(), it.value());
    }
    return directory;
}

std::shared_ptr<FileWrapper> FileWrapper::makeSymbolicLink(QString destination)
{
    std::shared_ptr<FileWrapper> wrapper(new FileWrapper(Kind::SymbolicLink));
    wrapper->m_linkDestination = std::move(destination);
    return wrapper;
}

std::shared_ptr<FileWrapper> FileWrapper::readFromURL(const QUrl& url, Error* error)
{
    return readFromURL(url, ReadingLimits(), error);
}

std::shared_ptr<FileWrapper> FileWrapper::readFromURL(const QUrl& url, const ReadingLimits& limits,
                                                      Error* error)
{
    if (!url.isLocalFile()) {
        setError(error, Error::cocoa(kFileReadUnknownError, url, QStringLiteral("Not a local file")));
        return nullptr;
    }
    TreeReader reader{limits, error};
    return reader.readRoot(url);
}

QString FileWrapper::addFileWrapper(const std::shared_ptr<FileWrapper>& child)
{
    if (m_kind != Kind::Directory || !child || child->containsDirectory(this))
        return {};
    const QString& name =
        child->m_preferredFilename.isEmpty() ? child->m_filename : child->m_preferredFilename;
    if (!isValidFilename(name))
        return {};
    const QString key = uniqueKey(name);
    child->m_filename = key;
    insertChild(key, child);
    return key;
}

QString FileWrapper::addRegularFile(const QByteArray& contents, const QString& preferredFilename)
{
    auto file = makeRegularFile(contents);
    file->m_preferredFilename = preferredFilename;
    return addFileWrapper(file);
}

void FileWrapper::removeFileWrapper(const FileWrapper* child)
{
    for (auto key = keyForFileWrapper(child); !key.isEmpty(); key = keyForFileWrapper(child))
        removeFileWrapper(key);
}

bool FileWrapper::removeFileWrapper(const QString& key)
{
    if (!m_children.remove(key))
        return false;
    const QString folded = key.toCaseFolded();
    const auto count = m_foldedKeys.find(folded);
    if (count != m_foldedKeys.end() && --count->second <= 0)
        m_foldedKeys.erase(count);
    return true;
}

QString FileWrapper::keyForFileWrapper(const FileWrapper* child) const
{
    for (auto it = m_children.cbegin(); it != m_children.cend(); ++it) {
        if (it.value().get() == child)
            return it.key();
    }
    return {};
}

bool FileWrapper::writeToURL(const QUrl& url, WritingOptions options, const QUrl& originalContentsURL,
                             Error* error)
{
    Q_UNUSED(originalContentsURL);
    TreeWriter writer{url, error, {}};
    if (!url.isLocalFile())
        return writer.fail(QStringLiteral("Not a local file"));
    const QString path = QDir::cleanPath(url.toLocalFile());
    if (QFileInfo(path).fileName().isEmpty())
        return writer.fail(QStringLiteral("No file name"));

    bool written = false;
    switch (m_kind) {
    case Kind::RegularFile:
        written = writer.writeRegularFile(*this, path);
        break;
    case Kind::Directory:
        written = writer.writeDirectory(*this, path);
        break;
    case Kind::SymbolicLink:
        written = writer.writeLink(*this, path);
        break;
    }
    if (written && (options & WritingWithNameUpdating))
        updateNames(QFileInfo(path).fileName());
    return written;
}

bool FileWrapper::isValidFilename(const QString& name)
{
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') &&
           !name.contains(QChar(0)) && name.isValidUtf16();
}

bool FileWrapper::containsDirectory(const FileWrapper* directory) const
{
    if (this == directory)
        return true;
    for (const auto& child : m_children) {
        if (child->containsDirectory(directory))
            return true;
    }
    return false;
}

QString FileWrapper::uniqueKey(const QString& name) const
{
    if (!m_foldedKeys.contains(name.toCaseFolded()))
        return name;
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString stem = dot > 0 ? name.left(dot) : name;
    const QString extension = dot > 0 ? name.mid(dot) : QString();
    for (qsizetype number = 2;; ++number) {
        const QString candidate = stem + u'-' + QString::number(number) + extension;
        if (!m_foldedKeys.contains(candidate.toCaseFolded()))
            return candidate;
    }
}

void FileWrapper::updateNames(const QString& filename)
{
    m_filename = filename;
    for (auto it = m_children.cbegin(); it != m_children.cend(); ++it)
        it.value()->updateNames(it.key());
}

void FileWrapper::insertChild(const QString& key, const std::shared_ptr<FileWrapper>& child)
{
    if (m_children.contains(key))
        removeFileWrapper(key);
    const QString folded = key.toCaseFolded();
    int& count = m_foldedKeys[folded];
    try {
        m_children.insert(key, child);
    } catch (...) {
        if (count == 0)
            m_foldedKeys.erase(folded);
        throw;
    }
    ++count;
}
