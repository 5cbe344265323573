#pragma once

#include <QDateTime>
#include <QString>
#include <QUrl>
#include <QVariantMap>

// One release described by an update feed.
struct AppcastItem {
    QString title;
    // The build the release carries, compared as an integer.
    QString versionString;
    // The version shown to people; the build when the feed gives none.
    QString displayVersionString;
    // Empty when the feed sets no bound.
    QString minimumSystemVersion;
    QString maximumSystemVersion;
    QDateTime date;
    QString itemDescription;

    // Addresses are kept only when they are http or https.
    QUrl fileURL;
    QUrl infoURL;
    QUrl releaseNotesURL;
    // -1 when the feed gives no usable length.
    qint64 contentLength = -1;
    QString contentType;
    QString edSignature;
    QString dsaSignature;

    // Every child element of the item with text content, by its name as written
    // ("sparkle:version", "isPaidUpdate").
    QVariantMap propertiesDictionary;
};
