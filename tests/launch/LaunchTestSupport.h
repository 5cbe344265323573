#pragma once

// What the launch tests share: the sample script they start the program on, copying it (a
// package is a folder) to where a test may change it, and telling the program of other screens.
#include "platform/appkit/AppKitNotifications.h"
#include "platform/appkit/Application.h"
#include "platform/foundation/NotificationCenter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

namespace launchtest {

inline const QString kSample = QStringLiteral(ORVANE_SOURCE_DIR "/resources/Sample Script.ovdocument");

inline bool copyFolder(const QString& from, const QString& to)
{
    if (!QDir().mkpath(to))
        return false;
    const QDir source(from);
    for (const QString& name : source.entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString path = source.filePath(name);
        const bool copied = QFileInfo(path).isDir() ? copyFolder(path, to + u'/' + name)
                                                    : QFile::copy(path, to + u'/' + name);
        if (!copied)
            return false;
    }
    return true;
}

// The prompting core and the talent output live as long as the process, past an earlier start in
// it: a test that installs screens of its own tells them as a display attached or removed would.
inline void announceScreenChange()
{
    NotificationCenter::shared().postNotification(kApplicationDidChangeScreenParametersNotification,
                                                  &Application::shared());
}

} // namespace launchtest
