#pragma once

#include <QString>
#include <QUrl>
#include <QVariantMap>

// A failure as the platform reports it: a domain, a code and a user-info dictionary.
class Error {
public:
    Error() = default;
    Error(QString domain, qint64 code, QVariantMap userInfo = {});

    // A Cocoa-domain error carrying the file it concerns and, optionally, a reason.
    static Error cocoa(qint64 code, const QUrl& fileURL = {}, const QString& failureReason = {});
    static Error userCancelled();

    const QString& domain() const { return m_domain; }
    qint64 code() const { return m_code; }
    const QVariantMap& userInfo() const { return m_userInfo; }

    bool isNull() const { return m_domain.isEmpty(); }
    bool isUserCancelled() const;
    QUrl fileURL() const;
    QString localizedDescription() const;
    QString localizedFailureReason() const;

    void setUserInfoValue(const QString& key, const QVariant& value);

    bool operator==(const Error& other) const = default;

private:
    QString m_domain;
    qint64 m_code = 0;
    QVariantMap m_userInfo;
};

inline const QString kCocoaErrorDomain = QStringLiteral("NSCocoaErrorDomain");

// Cocoa-domain codes the document code reports.
inline constexpr qint64 kFileReadUnknownError = 256;
inline constexpr qint64 kFileReadCorruptFileError = 259;
inline constexpr qint64 kFileReadNoSuchFileError = 260;
// A file too large to read within the reader's limits.
inline constexpr qint64 kFileReadTooLargeError = 263;
inline constexpr qint64 kFileWriteUnknownError = 512;
inline constexpr qint64 kUserCancelledError = 3072;

// User-info keys, spelled as the platform spells them so messages and logs read the same.
inline const QString kURLErrorKey = QStringLiteral("NSURL");
inline const QString kFilePathErrorKey = QStringLiteral("NSFilePath");
inline const QString kLocalizedDescriptionKey = QStringLiteral("NSLocalizedDescription");
inline const QString kLocalizedFailureReasonErrorKey = QStringLiteral("NSLocalizedFailureReason");
inline const QString kUnderlyingErrorKey = QStringLiteral("NSUnderlyingError");

// Fills an optional out-parameter; callers may pass nullptr when they do not care why.
inline void setError(Error* out, Error error)
{
    if (out)
        *out = std::move(error);
}
