#include "platform/foundation/WriteAll.h"

#include <cerrno>

#include <unistd.h>

bool writeAll(int fd, const QByteArray& data)
{
    const char* cursor = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, cursor, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return false;
        // A write that takes nothing leaves errno as an earlier call left it.
        if (written == 0) {
            errno = EIO;
            return false;
        }
        cursor += written;
        left -= written;
    }
    return true;
}
