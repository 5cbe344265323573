#pragma once

#include "platform/foundation/Error.h"

#include <QByteArray>
#include <QUrl>

#include <optional>

// The one way a file that a user, a peer or another program names is read. It is opened without
// blocking, so a named pipe cannot hold the caller; it is taken only when what was opened is a regular
// file (a link to one is followed); and it is read within a limit that holds for what is taken in, so
// a device or a file that grows while it is read fails instead of filling memory. Every failure
// carries the file and says what is wrong with it.

// Opens path read-only without blocking, never as a controlling terminal, closed across exec; -1 with
// errno set.
int openForReading(const QByteArray& path);

// The whole contents of the regular file at url when it holds at most limit bytes.
std::optional<QByteArray> readRegularFile(const QUrl& url, qint64 limit, Error* error);
