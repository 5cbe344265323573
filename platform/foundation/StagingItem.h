#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <functional>
#include <memory>

// A hidden temporary that a save builds beside its target before moving it into place: a folder
// (".NAME.saving-XXXXXX") or a file ("NAME.XXXXXX"). Its maker holds an advisory lock on it for as
// long as the item lives; the kernel drops the lock with the process, so a temporary an interrupted
// save left behind is exactly one whose lock anybody can take, while one that this or another running
// program is still building stays locked. The lock is on the item itself, not on a file inside it,
// because a staged folder becomes the saved package and must hold nothing but the package.
class StagingItem {
public:
    enum class Kind { Directory, File };

    // Makes and locks a new item from a template ending in "XXXXXX". nullptr with errno set when that
    // fails.
    static std::unique_ptr<StagingItem> make(const QByteArray& pathTemplate, Kind kind);
    // Removes the item when it still stands at its path (it was not moved into place), then unlocks.
    ~StagingItem();
    StagingItem(const StagingItem&) = delete;
    StagingItem& operator=(const StagingItem&) = delete;

    const QByteArray& path() const { return m_path; }
    // Open on the item: the folder to build in, or the file to write (read-write).
    int descriptor() const { return m_fd; }

    // The template of the staging folders of the item name in folder. The name is cut short so the
    // staging name stays within the system's limit however long the document's name is.
    static QByteArray savingFolderTemplate(const QString& folder, const QString& name);
    // Removes the staging folders of name in folder that no running save holds, and answers how many
    // went. Folders left by earlier versions (which named them after the whole name) count too.
    static int removeStaleSavingFolders(const QString& folder, const QString& name);
    // Removes the temporaries "NAME.XXXXXX" of the file at path that no running save holds.
    static int removeStaleTemporaryFiles(const QString& path);

    // Removes each entry of folder that isStagingName accepts, that is of kind (never a link: links
    // are neither followed nor removed) and whose lock is free. Nothing else in the folder is touched.
    static int removeStale(const QString& folder, Kind kind,
                           const std::function<bool(QStringView name)>& isStagingName);

    // Removes the file or tree at path, links taken as they are. Folders made read-only (a saved
    // package takes the permissions of the one it replaces) get their owner's permissions back
    // first where the owner is this user; what still cannot go stays. True when nothing is left.
    static bool removeTree(const QByteArray& path);

    // Test seam: called at each step of building and swapping in a staged item, so a test can end
    // the process at a chosen point of a save.
    static void setProgressProbe(std::function<void()> probe);
    static void reportProgress();

private:
    StagingItem(QByteArray path, Kind kind, int fd) : m_path(std::move(path)), m_kind(kind), m_fd(fd) {}

    QByteArray m_path;
    Kind m_kind;
    int m_fd;
};
