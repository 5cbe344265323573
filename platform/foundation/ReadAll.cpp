#include "platform/foundation/ReadAll.h"

#include <cerrno>

#include <unistd.h>

ReadAllResult readAll(int fd, qint64 limit, QByteArray& data)
{
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got < 0)
            return ReadAllResult::Failed;
        if (got == 0)
            return ReadAllResult::Done;
        if (got > limit - data.size())
            return ReadAllResult::TooLarge;
        data.append(buffer, got);
    }
}
