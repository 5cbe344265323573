#pragma once

#include <QLocale>
#include <QString>
#include <QUrl>

#include <optional>
#include <vector>

// One release note among the program's resources: "What's New <version> <build>.rtfd".
class OVWhatsNewNote {
public:
    static inline const QString kFileNamePrefix = QStringLiteral("What's New");

    // Empty unless the address is given and the version is not empty.
    static std::optional<OVWhatsNewNote>
    whatsNewNoteWithFileURL(const QUrl& fileURL, const QString& versionString, quint64 buildNumber);

    // Every note among the resources, newest first.
    static std::vector<OVWhatsNewNote> whatsNewNotes();
    // The notes of folder: its own, then those of the locale's and the language's subfolders;
    // misnamed files are logged and skipped.
    static std::vector<OVWhatsNewNote> whatsNewNotesInFolder(const QString& folder,
                                                             const QLocale& locale = QLocale());
    // The note a file name describes; empty for a name that is no note's.
    static std::optional<OVWhatsNewNote> noteForFile(const QString& path);

    const QUrl& fileURL() const { return m_fileURL; }
    const QString& versionString() const { return m_versionString; }
    quint64 buildNumber() const { return m_buildNumber; }

private:
    QUrl m_fileURL;
    QString m_versionString;
    quint64 m_buildNumber = 0;
};
