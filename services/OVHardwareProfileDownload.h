#pragma once

#include <QPointer>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

// Fetches the hardware-profile list after each feed load and keeps it where the prompting core
// reads it. One download runs at a time. The file is replaced only by an answer that is a real
// profile list: a 2xx status and a body within the size limit that inflates and reads as profiles.
// An error page, a captive portal's answer or a cut-off body leaves the stored file as it was.
class OVHardwareProfileDownload {
public:
    // The address the list is fetched from; registered empty, and empty means no request.
    static inline const QString kAddressKey = QStringLiteral("hardwareProfilesURL");

    static OVHardwareProfileDownload& shared();

    OVHardwareProfileDownload();
    ~OVHardwareProfileDownload();

    // Starts a download unless one runs or no usable address is set; answers whether it started.
    bool updateHardwareProfiles();
    bool isUpdatingHardwareProfiles() const { return !m_reply.isNull(); }

    // Where the list goes; the shared constants' location unless a test names another.
    QString destinationPath() const;
    void setDestinationPath(const QString& path) { m_destinationPath = path; }

    // Whether data is a list the program would use, so it may replace the stored one.
    static bool isAcceptableProfileList(const QByteArray& data, QString* reason);

private:
    void finished();

    // Owned by the application object, so it goes before Qt does even when this object is shared
    // and outlives it.
    QPointer<QNetworkAccessManager> m_network;
    QPointer<QNetworkReply> m_reply;
    QString m_destinationPath;
};
