#include "services/OVHardwareProfileDownload.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "prompting/OVCore.h"
#include "prompting/OVHardwareProfiles.h"
#include "services/OVRequestAddress.h"
#include "settings/OVConstants.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>

namespace {

void logDownloadFailure(const QString& reason)
{
    qWarning().noquote() << QStringLiteral(
                                "updateHardwareProfiles: Unable to download hardware profile. error = %1")
                                .arg(reason);
}

void logSaveFailure(const QString& reason)
{
    qWarning().noquote()
        << QStringLiteral("updateHardwareProfiles: Unable to save hardware profile. error = %1").arg(reason);
}

} // namespace

OVHardwareProfileDownload& OVHardwareProfileDownload::shared()
{
    static OVHardwareProfileDownload download;
    return download;
}

OVHardwareProfileDownload::OVHardwareProfileDownload() = default;

OVHardwareProfileDownload::~OVHardwareProfileDownload()
{
    if (m_reply) {
        QObject::disconnect(m_reply, nullptr, nullptr, nullptr);
        m_reply->abort();
    }
    delete m_network.data();
}

QString OVHardwareProfileDownload::destinationPath() const
{
    if (!m_destinationPath.isEmpty())
        return m_destinationPath;
    return OVConstants::downloadedHardwareProfilesURL().toLocalFile();
}

bool OVHardwareProfileDownload::isAcceptableProfileList(const QByteArray& data, QString* reason)
{
    if (data.size() > OVHardwareProfiles::kMaxFileSize) {
        if (reason)
            *reason = QStringLiteral("the answer is larger than any profile list");
        return false;
    }
    QString error;
    const std::optional<OVHardwareProfiles::List> list =
        OVHardwareProfiles::readDownloadedProfiles(data, &error);
    if (!list) {
        if (reason)
            *reason = error;
        return false;
    }
    return true;
}

bool OVHardwareProfileDownload::updateHardwareProfiles()
{
    if (isUpdatingHardwareProfiles())
        return false;
    const QUrl address(UserDefaults::shared().stringForKey(kAddressKey));
    if (!OVIsPermittedRequestAddress(address))
        return false;
    if (!m_network)
        m_network = new QNetworkAccessManager(QCoreApplication::instance());
    QNetworkRequest request(address);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::SameOriginRedirectPolicy);
    m_reply = m_network->get(request);
    // A body past the limit is no profile list: stop reading it rather than hold it in memory.
    QObject::connect(m_reply, &QNetworkReply::downloadProgress, m_reply,
                     [reply = m_reply](qint64 received, qint64) {
                         if (received > OVHardwareProfiles::kMaxFileSize)
                             reply->abort();
                     });
    QObject::connect(m_reply, &QNetworkReply::finished, m_reply, [this] { finished(); });
    return true;
}

void OVHardwareProfileDownload::finished()
{
    QNetworkReply* reply = m_reply.data();
    m_reply.clear();
    reply->deleteLater();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError || status < 200 || status > 299) {
        logDownloadFailure(reply->error() != QNetworkReply::NoError
                               ? reply->errorString()
                               : QStringLiteral("HTTP status %1").arg(status));
        return;
    }
    const QByteArray body = reply->readAll();
    QString reason;
    if (!isAcceptableProfileList(body, &reason)) {
        logDownloadFailure(reason);
        return;
    }
    const QString path = destinationPath();
    if (path.isEmpty()) {
        logSaveFailure(QStringLiteral("no caches folder"));
        return;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(body) != body.size() || !file.commit()) {
        logSaveFailure(file.errorString());
        return;
    }
    NotificationCenter::shared().postNotification(OVHardwareProfileDidUpdateNotification);
}
