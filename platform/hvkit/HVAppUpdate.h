#pragma once

#include <QDateTime>
#include <QString>
#include <QUrl>

// An update the application announces: a free one that the updater installs from its download,
// or a paid one that is only announced with its information page.
struct HVAppUpdate {
    enum class Type { Free = 0, Paid = 1 };

    Type type = Type::Free;
    QString buildVersionString;
    QString versionString;
    QDateTime datePublished;
    QUrl webpageURL;
    QUrl releaseNotesURL;
    bool isPaidUpdate = false;

    bool operator==(const HVAppUpdate&) const = default;
};
