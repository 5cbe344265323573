#pragma once

#include "platform/foundation/Error.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

class ArchiveObject;
class TextAttachment;

// The file-name prefix that marks an attachment as a bookmark.
inline const QString OVBookmarkIdentifierPrefixKey = QStringLiteral("_OVBookmark");

// Keys of the information the bookmark controller keeps per bookmark: the character index (unsigned
// integer), the glyph's bounding rectangle in its text container, and the attachment.
inline const QString OVBookmarkLocationName = QStringLiteral("OVBookmarkLocationName");
inline const QString OVBookmarkBoundingRectName = QStringLiteral("OVBookmarkBoundingRectName");
inline const QString OVBookmarkTextAttachmentName = QStringLiteral("OVBookmarkTextAttachmentName");

// A named position in a script. It lives in the text as an attachment whose file carries the
// bookmark's keyed archive; bookmarks are shared by pointer between a cell and whoever shows them.
class OVBookmark : public std::enable_shared_from_this<OVBookmark> {
public:
    // Limits of the bookmark-only decoder: archives come from documents and are untrusted.
    static constexpr qsizetype kMaxArchiveBytes = 64 * 1024;
    static constexpr qsizetype kMaxNameLength = 4096;

    OVBookmark() = default;
    explicit OVBookmark(std::optional<QString> name) : m_name(std::move(name)) {}

    static std::shared_ptr<OVBookmark> bookmark();
    static std::shared_ptr<OVBookmark> bookmarkWithName(const QString& name);

    const std::optional<QString>& name() const { return m_name; }
    void setName(std::optional<QString> name) { m_name = std::move(name); }
    // Computed from the text after the bookmark; never archived, never copied.
    const std::optional<QString>& transientName() const { return m_transientName; }
    void setTransientName(std::optional<QString> name) { m_transientName = std::move(name); }
    qint64 type() const { return m_type; }
    void setType(qint64 type) { m_type = type; }

    // The name, then " – " and the transient name when both are non-empty; either alone otherwise.
    QString nameAndTransientName() const;
    QString description() const;
    // A copy of the name and type; the transient name stays behind.
    std::shared_ptr<OVBookmark> copy() const;
    size_t hash() const;
    bool isEqual(const OVBookmark* other) const;

    // The archive form: "name" (when present) and "type".
    ArchiveObject encodeWithCoder() const;
    // Nothing unless the object is a bookmark with a string (or absent) name and an integer type.
    static std::shared_ptr<OVBookmark> initWithCoder(const ArchiveObject& coder);

    // The keyed archive with the bookmark as root object.
    QByteArray archivedData() const;
    // The bookmark-only decoder: refuses data over kMaxArchiveBytes, any class but the bookmark's,
    // and any archive whose root is not a well-formed bookmark.
    static std::shared_ptr<OVBookmark> unarchivedBookmark(const QByteArray& data, Error* error = nullptr);

    // "_OVBookmark " and a new UUID string: a fresh name on every call.
    static QString preferredFilename();
    // A new bookmark attachment: a regular file holding the archive under two fresh names, and a
    // live cell holding this bookmark (itself when it is owned by a shared pointer, else a copy).
    std::shared_ptr<TextAttachment> textAttachment();

private:
    std::optional<QString> m_name;
    std::optional<QString> m_transientName;
    qint64 m_type = 0;
};
