#pragma once

#include "platform/foundation/Error.h"

#include <QByteArray>
#include <QHashFunctions>
#include <QMap>
#include <QString>
#include <QUrl>
#include <QVariant>

#include <memory>
#include <unordered_map>

// A file, a directory tree or a symbolic link held in memory: what documents and RTFD texts are read
// into and written from. Wrappers are shared (two attachments may hold the same one), so they live in
// std::shared_ptr. A directory's children are keyed by the name they have on disk; a key can never be
// empty, ".", "..", or hold "/" or NUL, so a wrapper never writes outside its own directory.
class FileWrapper {
public:
    enum class Kind { RegularFile, Directory, SymbolicLink };

    enum WritingOption {
        // Directories are always written beside the target and swapped in, files through a temporary
        // file; the flag is accepted for callers that spell it out.
        WritingAtomic = 1,
        // After a successful write, the file names of the wrapper and its children follow the disk.
        WritingWithNameUpdating = 2,
    };
    using WritingOptions = int;

    // Bounds on what one read may take in, so a hostile or damaged tree fails instead of exhausting memory.
    struct ReadingLimits {
        int maxDepth = 64;
        qsizetype maxEntries = 100000;
        qint64 maxTotalBytes = qint64(2) << 30;
    };

    static std::shared_ptr<FileWrapper> makeRegularFile(QByteArray contents);
    static std::shared_ptr<FileWrapper> makeDirectory();
    // Each child is added under its key (which becomes its preferred name when it has none); nullptr
    // with an error when a key is not a usable file name.
    static std::shared_ptr<FileWrapper>
    makeDirectory(const QMap<QString, std::shared_ptr<FileWrapper>>& children, Error* error = nullptr);
    static std::shared_ptr<FileWrapper> makeSymbolicLink(QString destination);

    // Reads a file or a whole tree at once. Links inside the tree are read as link wrappers and never
    // followed; sockets, pipes and devices, unreadable entries and trees past the limits fail the read
    // (more bytes than maxTotalBytes with kFileReadTooLargeError, before they are read).
    static std::shared_ptr<FileWrapper> readFromURL(const QUrl& url, Error* error);
    static std::shared_ptr<FileWrapper> readFromURL(const QUrl& url, const ReadingLimits& limits,
                                                    Error* error);

    FileWrapper(const FileWrapper&) = delete;
    FileWrapper& operator=(const FileWrapper&) = delete;

    Kind kind() const { return m_kind; }
    bool isRegularFile() const { return m_kind == Kind::RegularFile; }
    bool isDirectory() const { return m_kind == Kind::Directory; }
    bool isSymbolicLink() const { return m_kind == Kind::SymbolicLink; }

    // The name the wrapper last had on disk (or under its parent); may differ from the preferred one.
    const QString& filename() const { return m_filename; }
    void setFilename(const QString& filename) { m_filename = filename; }
    const QString& preferredFilename() const { return m_preferredFilename; }
    void setPreferredFilename(const QString& preferredFilename) { m_preferredFilename = preferredFilename; }

    // An image for showing the wrapper; kept opaque here, so this layer needs no GUI classes.
    const QVariant& icon() const { return m_icon; }
    void setIcon(const QVariant& icon) { m_icon = icon; }

    // Empty for anything but a regular file.
    const QByteArray& regularFileContents() const { return m_contents; }
    const QString& symbolicLinkDestination() const { return m_linkDestination; }

    // A directory's children by name; empty for anything else.
    const QMap<QString, std::shared_ptr<FileWrapper>>& fileWrappers() const { return m_children; }
    // Adds child under its preferred name (else its file name); when that name is taken (also by a
    // name differing only in case, which would collide on other systems) it becomes "name-2.ext",
    // "name-3.ext", and so on. Answers the key used, or an empty string when the wrapper is not a
    // directory, the child has no usable name, or adding it would put a directory inside itself.
    QString addFileWrapper(const std::shared_ptr<FileWrapper>& child);
    QString addRegularFile(const QByteArray& contents, const QString& preferredFilename);
    // Removes every key under which child is held.
    void removeFileWrapper(const FileWrapper* child);
    bool removeFileWrapper(const QString& key);
    // The first key under which child is held; empty when it is not a child.
    QString keyForFileWrapper(const FileWrapper* child) const;

    // Writes the wrapper to url. A directory is built as a hidden sibling of the target and then swapped
    // in, so a failure at any point leaves what was at url as it was. originalContentsURL names the
    // previous contents of a save; contents are always in memory here, so nothing is taken from it.
    bool writeToURL(const QUrl& url, WritingOptions options, const QUrl& originalContentsURL, Error* error);

    // True when name can be a child's key.
    static bool isValidFilename(const QString& name);

private:
    struct TreeReader;
    struct TreeWriter;

    explicit FileWrapper(Kind kind) : m_kind(kind) {}

    bool containsDirectory(const FileWrapper* directory) const;
    QString uniqueKey(const QString& name) const;
    void updateNames(const QString& filename);
    void insertChild(const QString& key, const std::shared_ptr<FileWrapper>& child);

    Kind m_kind;
    QString m_filename;
    QString m_preferredFilename;
    QVariant m_icon;
    QByteArray m_contents;
    QString m_linkDestination;
    QMap<QString, std::shared_ptr<FileWrapper>> m_children;
    // Case-folded keys with their counts: names differing only in case collide on other systems.
    // Not a QHash: Qt 6.4 inserts into one inside a noexcept function, so running out of memory
    // while reading a folder would end the program instead of failing the read.
    std::unordered_map<QString, int> m_foldedKeys;
};
