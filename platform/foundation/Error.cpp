#include "platform/foundation/Error.h"

Error::Error(QString domain, qint64 code, QVariantMap userInfo)
    : m_domain(std::move(domain)), m_code(code), m_userInfo(std::move(userInfo))
{
}

Error Error::cocoa(qint64 code, const QUrl& fileURL, const QString& failureReason)
{
    QVariantMap info;
    if (!fileURL.isEmpty()) {
        info.insert(kURLErrorKey, fileURL);
        if (fileURL.isLocalFile())
            info.insert(kFilePathErrorKey, fileURL.toLocalFile());
    }
    if (!failureReason.isEmpty())
        info.insert(kLocalizedFailureReasonErrorKey, failureReason);
    return Error(kCocoaErrorDomain, code, info);
}

Error Error::userCancelled()
{
    return Error(kCocoaErrorDomain, kUserCancelledError);
}

bool Error::isUserCancelled() const
{
    return m_domain == kCocoaErrorDomain && m_code == kUserCancelledError;
}

QUrl Error::fileURL() const
{
    return m_userInfo.value(kURLErrorKey).toUrl();
}

QString Error::localizedDescription() const
{
    const QString description = m_userInfo.value(kLocalizedDescriptionKey).toString();
    if (!description.isEmpty())
        return description;
    if (m_domain == kCocoaErrorDomain) {
        const QString name = fileURL().isEmpty() ? QString() : fileURL().fileName();
        const QString subject =
            name.isEmpty() ? QStringLiteral("The file") : QStringLiteral("The file “%1”").arg(name);
        switch (m_code) {
        case kFileReadUnknownError:
            return subject + QStringLiteral(" couldn’t be opened.");
        case kFileReadCorruptFileError:
            return subject + QStringLiteral(" couldn’t be opened because it isn’t in the correct format.");
        case kFileReadNoSuchFileError:
            return subject + QStringLiteral(" couldn’t be opened because there is no such file.");
        case kFileReadTooLargeError:
            return subject + QStringLiteral(" couldn’t be opened because it is too large.");
        case kFileWriteUnknownError:
            return subject + QStringLiteral(" couldn’t be saved.");
        case kUserCancelledError:
            return QStringLiteral("The operation was cancelled.");
        default:
            break;
        }
    }
    return QStringLiteral("The operation couldn’t be completed. (%1 error %2.)").arg(m_domain).arg(m_code);
}

QString Error::localizedFailureReason() const
{
    return m_userInfo.value(kLocalizedFailureReasonErrorKey).toString();
}

void Error::setUserInfoValue(const QString& key, const QVariant& value)
{
    m_userInfo.insert(key, value);
}
