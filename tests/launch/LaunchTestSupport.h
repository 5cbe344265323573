#pragma once

// What the launch tests share: the sample script they start the program on, and copying it (a
// package is a folder) to where a test may change it.
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

} // namespace launchtest
