#include "platform/hvkit/NSErrorHVAdditions.h"

#include "platform/hvkit/HVLocalizedString.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace NSErrorHVAdditions {

Error halvestoErrorFileCreatedWithNewerVersion(const QUrl& fileURL, const QString& newVersionString)
{
    const QString name = QFileInfo(fileURL.toLocalFile()).fileName();
    const QString application = QCoreApplication::applicationName().isEmpty()
                                    ? QStringLiteral("Orvane")
                                    : QCoreApplication::applicationName();
    const QString description =
        HVLocalizedString::localizedString(QStringLiteral("error-file-created-with-newer-version"),
                                           QStringLiteral("The document “%1” could not be opened."))
            .arg(name);
    const QString reason =
        newVersionString.isEmpty()
            ? HVLocalizedString::localizedString(
                  QStringLiteral("error-file-created-with-newer-version-reason"),
                  QStringLiteral("It was created by a newer version of %1. Update %1 to open it."))
                  .arg(application)
            : HVLocalizedString::localizedString(
                  QStringLiteral("error-file-created-with-newer-version-reason-version"),
                  QStringLiteral("It was created by %1 %2, a newer version. Update %1 to open it."))
                  .arg(application, newVersionString);
    return Error(kHVErrorDomain, kHVErrorFileCreatedWithNewerVersion,
                 {{kURLErrorKey, fileURL},
                  {kHVNewVersionStringErrorKey, newVersionString},
                  {kLocalizedDescriptionKey, description},
                  {kLocalizedFailureReasonErrorKey, reason}});
}

} // namespace NSErrorHVAdditions
