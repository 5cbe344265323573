#pragma once

// The error a reader gives for a file that a newer version of the program wrote.

#include "platform/foundation/Error.h"

#include <QString>
#include <QUrl>

// The framework's own error domain and the code of a file that a newer version wrote.
inline const QString kHVErrorDomain = QStringLiteral("HVErrorDomain");
inline constexpr qint64 kHVErrorFileCreatedWithNewerVersion = 1;
// User-info key holding the version string the file names (possibly empty).
inline const QString kHVNewVersionStringErrorKey = QStringLiteral("HVNewVersionString");

namespace NSErrorHVAdditions {

// The error a reader answers for a file written by a newer version of the application: it carries
// the file's URL and the version that wrote it, and says so in words the user can act on.
Error halvestoErrorFileCreatedWithNewerVersion(const QUrl& fileURL, const QString& newVersionString);

} // namespace NSErrorHVAdditions
