#pragma once

#include "platform/foundation/PlistValue.h"

#include <QImage>
#include <QMetaType>
#include <QString>
#include <QUrl>

#include <optional>

// One blanking image with the title menus show for it. A stored item's file lives directly inside
// the program's own "Blanking Items" folder, so the image survives when the user's file moves; an
// item whose copy failed keeps pointing at the user's file and is never deleted by the store.
class OVBlankingItem {
public:
    // No file and no title: what an empty QVariant holds. The store never lists such an item.
    OVBlankingItem() = default;
    // Nothing unless fileURL is a file URL and title is not null.
    static std::optional<OVBlankingItem> itemWithFileURL(const QUrl& fileURL, const QString& title);
    // From a user-defaults record {"fileName", "title"}. The name must be a plain file name: records
    // can come from imported or hand-edited settings, and a name with a separator or ".." would make
    // the store delete files outside its folder.
    static std::optional<OVBlankingItem> itemWithDictionaryRepresentation(const PlistDictionary& record);
    // The record, or nothing when the item is not stored.
    std::optional<PlistDictionary> dictionaryRepresentation() const;

    // "<data folder>/Blanking Items", made (with its parents) on first use.
    static QUrl storageDirectoryURL();
    static QString storageFileNamePrefix() { return QStringLiteral("Item"); }
    // "Item <UUID>" with the user file's extension, in the storage folder; empty unless a file URL.
    static QUrl storageFileURLFromUserFileURL(const QUrl& userFileURL);
    // The storage folder plus name; empty unless name is a plain file name.
    static QUrl fileURLFromFileName(const QString& name);
    static bool isPlainFileName(const QString& name);

    const QUrl& fileURL() const { return m_fileURL; }
    const QString& title() const { return m_title; }
    QString fileName() const { return m_fileURL.fileName(); }

    // Unless stored: copies the file into the folder and points the item at the copy. False, leaving
    // the item as it was, when the copy fails.
    bool addItemToStorage();
    // If stored: deletes the file (a regular file only, never what a link points to) and drops the
    // item's images from the caches.
    void removeItemFromStorage() const;
    // Directly inside the storage folder, decided on canonical folder paths.
    bool isItemStored() const;

    // The largest image file read: no blanking picture comes near it.
    static constexpr qint64 kMaxImageFileBytes = qint64(128) << 20;
    // Whether url names a regular file within that bound holding an image Qt can decode; warns
    // with the file's name and the reason when it does not.
    static bool canReadImageAtURL(const QUrl& url);

    // The image, cached for stored items; null when the file cannot be read.
    QImage image() const;
    // A 32 x 32 thumbnail, cached the same way. Read scaled from the file when the full image is
    // not cached yet, so a menu never decodes a large image in full.
    QImage previewImage() const;
    static constexpr int kPreviewImageSide = 32;

    static void _removeFromResourceCachesWithFileURL(const QUrl& fileURL);
    void _removeFromResourceCaches() const { _removeFromResourceCachesWithFileURL(m_fileURL); }
    static qsizetype imageCacheCount();
    static qsizetype previewImageCacheCount();
    static void clearResourceCaches();

    bool operator==(const OVBlankingItem& other) const = default;

private:
    OVBlankingItem(QUrl fileURL, QString title) : m_fileURL(std::move(fileURL)), m_title(std::move(title)) {}

    QUrl m_fileURL;
    QString m_title;
};

size_t qHash(const OVBlankingItem& item, size_t seed = 0);

Q_DECLARE_METATYPE(OVBlankingItem)
