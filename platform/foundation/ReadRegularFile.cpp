#include "platform/foundation/ReadRegularFile.h"

#include "platform/foundation/ReadAll.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

Error failure(qint64 code, const QUrl& url, const QString& reason)
{
    return Error::cocoa(code, url, reason);
}

QString systemReason(int code)
{
    return QString::fromLocal8Bit(std::strerror(code)) + u'.';
}

QString tooLargeReason(qint64 limit)
{
    return limit >= (qint64(1) << 20) ? QStringLiteral("It is larger than %1 MB.").arg(limit >> 20)
                                      : QStringLiteral("It is larger than %1 bytes.").arg(limit);
}

// What the thing opened is, when it is not a file whose contents can be read.
QString notARegularFile(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("It is a folder, not a file.");
    if (S_ISFIFO(mode))
        return QStringLiteral("It is a named pipe, not a file.");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("It is a device, not a file.");
    if (S_ISSOCK(mode))
        return QStringLiteral("It is a socket, not a file.");
    return QStringLiteral("It is not a regular file.");
}

} // namespace

int openForReading(const QByteArray& path)
{
    return ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
}

std::optional<QByteArray> readRegularFile(const QUrl& url, qint64 limit, Error* error)
{
    if (!url.isLocalFile()) {
        setError(error, failure(kFileReadUnknownError, url, QStringLiteral("Only local files can be read.")));
        return std::nullopt;
    }
    const int fd = openForReading(QFile::encodeName(url.toLocalFile()));
    if (fd < 0) {
        const int code = errno;
        setError(error,
                 failure(code == ENOENT ? kFileReadNoSuchFileError : kFileReadUnknownError, url,
                         code == ENOENT ? QStringLiteral("There is no such file.") : systemReason(code)));
        return std::nullopt;
    }
    const std::unique_ptr<int, void (*)(int*)> closer(new int(fd), [](int* open) {
        ::close(*open);
        delete open;
    });
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        setError(error, failure(kFileReadUnknownError, url, systemReason(errno)));
        return std::nullopt;
    }
    if (!S_ISREG(info.st_mode)) {
        setError(error, failure(kFileReadUnknownError, url, notARegularFile(info.st_mode)));
        return std::nullopt;
    }
    if (info.st_size > limit) {
        setError(error, failure(kFileReadTooLargeError, url, tooLargeReason(limit)));
        return std::nullopt;
    }
    QByteArray contents;
    contents.reserve(qsizetype(info.st_size));
    switch (readAll(fd, limit, contents)) {
    case ReadAllResult::Done:
        return contents;
    case ReadAllResult::TooLarge:
        setError(error, failure(kFileReadTooLargeError, url, tooLargeReason(limit)));
        return std::nullopt;
    case ReadAllResult::Failed:
        setError(error, failure(kFileReadUnknownError, url, systemReason(errno)));
        return std::nullopt;
    }
    return std::nullopt;
}
