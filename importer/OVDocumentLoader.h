#pragma once

#include "platform/foundation/PlistValue.h"
#include "platform/text/Color.h"
#include "platform/text/DocumentAttributes.h"
#include "platform/text/MutableAttributedString.h"

#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>

#include <memory>
#include <optional>

// How a loader treats bookmarks: as pictures from the referencing bundle, or not at all.
struct OVDocumentLoaderOptions {
    bool useBookmarkImages = false;
    bool stripBookmarkAttachments = false;
};

// Reads a native document package for indexing, without the application: the script with a
// placeholder at each bookmark, its document attributes and its extended metadata. Every value taken
// from the package is checked for its type and size before it is used, since an indexer runs it on
// whatever file lands on the disk.
class OVDocumentLoader {
public:
    using Options = OVDocumentLoaderOptions;

    // Bounds on what one package may make the loader read; a file past them is not indexed.
    static constexpr int kMaxContentDepth = 8;
    static constexpr qsizetype kMaxContentEntries = 4096;
    static constexpr qint64 kMaxContentBytes = qint64(256) << 20;
    static constexpr qint64 kMaxPropertiesBytes = qint64(16) << 20;

    // The loader of the package at path (url), or nothing when it cannot be read. referencingBundle
    // is a folder holding "Images/Bookmark.tiff" and "Images/Atom.tiff", or empty.
    static std::unique_ptr<OVDocumentLoader> loadDocumentAtPath(const QString& path,
                                                                const QString& referencingBundle = {},
                                                                const Options& options = {});
    static std::unique_ptr<OVDocumentLoader>
    loadDocumentAtURL(const QUrl& url, const QString& referencingBundle = {}, const Options& options = {});

    const MutableAttributedString& documentAttributedString() const { return m_documentAttributedString; }
    const std::optional<Color>& documentBackgroundColor() const { return m_documentBackgroundColor; }
    // "Properties.plist" without its extended metadata.
    const PlistDictionary& documentInfo() const { return m_documentInfo; }
    // The document attributes without the background colour, with the extended metadata added.
    const QVariantMap& metadataInfo() const { return m_metadataInfo; }
    // The document attributes alone, so what the text file says is never taken from anywhere else.
    const DocumentAttributes& documentAttributes() const { return m_documentAttributes; }
    // Empty when the package holds none (or holds something that is not a dictionary).
    const PlistDictionary& extendedMetadataInfo() const { return m_extendedMetadataInfo; }
    const QString& referencingBundle() const { return m_referencingBundle; }
    bool useBookmarkImages() const { return m_options.useBookmarkImages; }
    bool stripBookmarkAttachments() const { return m_options.stripBookmarkAttachments; }

    // The text without attachment characters.
    QString textContent() const;
    // The distinct display names of the text's fonts, sorted so reports compare equal run to run.
    QStringList usedFonts() const;

    // Gives every bookmark attachment the "Atom" image of the referencing bundle, for drawing.
    void setupBookmarksForPreviewing();

    // True for a directory carrying the native extension: the one kind of file the loader reads.
    static bool isNativePackage(const QString& path);

private:
    OVDocumentLoader() = default;

    bool _loadDocumentAtURL(const QUrl& url);
    QString _resourceURLForName(const QString& name, const QString& extension,
                                const QString& subdirectory) const;

    MutableAttributedString m_documentAttributedString;
    std::optional<Color> m_documentBackgroundColor;
    PlistDictionary m_documentInfo;
    QVariantMap m_metadataInfo;
    DocumentAttributes m_documentAttributes;
    PlistDictionary m_extendedMetadataInfo;
    QString m_referencingBundle;
    Options m_options;
};
