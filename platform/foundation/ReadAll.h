#pragma once

#include <QByteArray>

// How a bounded read of an open file descriptor ended.
enum class ReadAllResult { Done, TooLarge, Failed };

// Appends what is left of the open file descriptor to data, going on after short reads and
// interruptions, until data would hold more than limit bytes (TooLarge: the file may grow while it is
// read, so the limit holds for what is taken in, not for what the file said it held). Failed leaves
// errno saying why.
ReadAllResult readAll(int fd, qint64 limit, QByteArray& data);
