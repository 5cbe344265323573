#include "services/OVWhatsNewNote.h"

#include "services/OVResourceFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

std::optional<OVWhatsNewNote> OVWhatsNewNote::whatsNewNoteWithFileURL(const QUrl& fileURL,
                                                                      const QString& versionString,
                                                                      quint64 buildNumber)
{
    if (fileURL.isEmpty() || versionString.isEmpty())
        return std::nullopt;
    OVWhatsNewNote note;
    note.m_fileURL = fileURL;
    note.m_versionString = versionString;
    note.m_buildNumber = buildNumber;
    return note;
}

std::optional<OVWhatsNewNote> OVWhatsNewNote::noteForFile(const QString& path)
{
    const QFileInfo info(path);
    const QString name = info.completeBaseName();
    const QStringList parts = name.split(QLatin1Char(' '));
    const quint64 build = parts.last().toULongLong();
    QString version;
    if (parts.size() >= 2) {
        version = parts.at(parts.size() - 2);
        if (kFileNamePrefix.contains(version, Qt::CaseInsensitive)) {
            qWarning().noquote() << QStringLiteral("Invalid file name for %1: %2")
                                        .arg(QUrl::fromLocalFile(path).toString(),
                                             QStringLiteral("OVWhatsNewNote"));
            return std::nullopt;
        }
    }
    if (build == 0)
        return std::nullopt;
    return whatsNewNoteWithFileURL(QUrl::fromLocalFile(info.absoluteFilePath()), version, build);
}

std::vector<OVWhatsNewNote> OVWhatsNewNote::whatsNewNotesInFolder(const QString& folder,
                                                                  const QLocale& locale)
{
    std::vector<OVWhatsNewNote> notes;
    QSet<QString> seen;
    const QStringList folders = {folder, QDir(folder).filePath(locale.name()),
                                 QDir(folder).filePath(QLocale::languageToCode(locale.language()))};
    for (const QString& place : folders) {
        const QDir directory(place);
        for (const QString& entry :
             directory.entryList({QStringLiteral("*.rtfd")}, QDir::Dirs | QDir::Files, QDir::Name)) {
            if (!entry.startsWith(kFileNamePrefix) || seen.contains(entry))
                continue;
            seen.insert(entry);
            if (std::optional<OVWhatsNewNote> note = noteForFile(directory.filePath(entry)))
                notes.push_back(std::move(*note));
        }
    }
    std::stable_sort(notes.begin(), notes.end(), [](const OVWhatsNewNote& a, const OVWhatsNewNote& b) {
        return a.buildNumber() > b.buildNumber();
    });
    return notes;
}

std::vector<OVWhatsNewNote> OVWhatsNewNote::whatsNewNotes()
{
    return whatsNewNotesInFolder(QDir(OVResourceFolder()).filePath(QStringLiteral("Release Notes")));
}
