#pragma once

#include <QByteArray>

// Writes all of data to the open file descriptor, going on after short writes and interruptions.
// false with errno saying why when the system takes no more (EIO when it says nothing).
bool writeAll(int fd, const QByteArray& data);
