#include "platform/appkit/Workspace.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

Workspace& Workspace::shared()
{
    static Workspace workspace;
    return workspace;
}

bool Workspace::openURL(const QUrl& url)
{
    if (!url.isValid() || url.isEmpty())
        return false;
    if (m_opener)
        return m_opener(url);
    return QDesktopServices::openUrl(url);
}

bool Workspace::showItemsOverDBus(const QList<QUrl>& urls) const
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QStringList uris;
    for (const QUrl& url : urls)
        uris << url.toString(QUrl::FullyEncoded);
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << uris << QString();
    // A short wait: a missing file manager answers at once, a hung one must not freeze the program.
    const QDBusMessage reply = bus.call(call, QDBus::Block, 2000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

void Workspace::activateFileViewerSelectingURLs(const QList<QUrl>& urls)
{
    QList<QUrl> files;
    for (const QUrl& url : urls) {
        if (url.isLocalFile())
            files << url;
    }
    if (files.isEmpty())
        return;
    const bool shown = m_fileManager ? m_fileManager(files) : showItemsOverDBus(files);
    if (shown)
        return;
    QStringList opened;
    for (const QUrl& file : files) {
        const QString folder = QFileInfo(file.toLocalFile()).absolutePath();
        if (opened.contains(folder))
            continue;
        opened << folder;
        openURL(QUrl::fromLocalFile(folder));
    }
}

bool Workspace::recycleURLs(const QList<QUrl>& urls, QList<QUrl>* newURLs, Error* error)
{
    bool allMoved = true;
    if (newURLs)
        newURLs->clear();
    // Qt makes the trash inside the data folder but not the folder itself; without it, the trashed
    // file would land in a "files" folder of the working directory instead.
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (!dataHome.isEmpty())
        QDir().mkpath(dataHome);
    for (const QUrl& url : urls) {
        QString trashed;
        const bool moved = url.isLocalFile() && QFile::moveToTrash(url.toLocalFile(), &trashed);
        if (newURLs)
            newURLs->append(moved ? QUrl::fromLocalFile(trashed) : QUrl());
        if (!moved && allMoved) {
            allMoved = false;
            const QString name = url.isLocalFile() ? QFileInfo(url.toLocalFile()).fileName() : url.toString();
            Error failure = Error::cocoa(kFileWriteUnknownError, url,
                                         QFileInfo::exists(url.toLocalFile())
                                             ? QStringLiteral("The file could not be moved to the trash.")
                                             : QStringLiteral("The file doesn’t exist."));
            failure.setUserInfoValue(kLocalizedDescriptionKey,
                                     QStringLiteral("“%1” couldn’t be moved to the trash.").arg(name));
            setError(error, failure);
        }
    }
    return allMoved;
}
