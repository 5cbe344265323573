#pragma once

#include "platform/foundation/Error.h"

#include <QByteArray>

#include <optional>

// The data as one gzip member, compressed at zlib's default level. The header carries no file
// name and no time, so equal data compress to equal bytes.
QByteArray gzip(const QByteArray& data);

// The data inflated from gzip (one member or several concatenated) or from a zlib stream,
// whichever it is. Fails with kFileReadCorruptFileError on a truncated or damaged stream, and
// with kFileReadTooLargeError as soon as the output would exceed maxSize bytes: inflation stops
// there, so a small hostile input never costs more than maxSize of memory.
std::optional<QByteArray> gunzip(const QByteArray& data, qsizetype maxSize, Error* error);
