#pragma once

#include <QJsonObject>
#include <QString>

class OVDocumentLoader;

// Attribute names an indexer knows, kept as the platform names them.
inline const QString kMDItemTextContent = QStringLiteral("kMDItemTextContent");
inline const QString kMDItemFonts = QStringLiteral("kMDItemFonts");
inline const QString kMDItemOrganizations = QStringLiteral("kMDItemOrganizations");
inline const QString kMDItemCopyright = QStringLiteral("kMDItemCopyright");
inline const QString kMDItemSubject = QStringLiteral("kMDItemSubject");
inline const QString kMDItemAuthors = QStringLiteral("kMDItemAuthors");
inline const QString kMDItemKeywords = QStringLiteral("kMDItemKeywords");
inline const QString kMDItemComment = QStringLiteral("kMDItemComment");
inline const QString kMDItemDirector = QStringLiteral("kMDItemDirector");
inline const QString kMDItemProducer = QStringLiteral("kMDItemProducer");
inline const QString kMDItemPerformers = QStringLiteral("kMDItemPerformers");

// Our own attributes share one prefix: the maker's reverse domain and the product word, with
// underscores for dots. Declared here once; every custom name is built from it.
inline const QString kOVCustomAttributePrefix = QStringLiteral("org_orvane_orvane");
inline const QString kOVBookmarksAttribute =
    kOVCustomAttributePrefix + QStringLiteral("_ovdocument_bookmarks");
inline const QString kOVBookmarkCountAttribute =
    kOVCustomAttributePrefix + QStringLiteral("_ovdocument_bookmarkcount");
inline const QString kOVAttachmentsAttribute =
    kOVCustomAttributePrefix + QStringLiteral("_ovdocument_attachments");
inline const QString kOVAttachmentCountAttribute =
    kOVCustomAttributePrefix + QStringLiteral("_ovdocument_attachmentcount");

// What an indexer is told about a loaded document: its text and fonts, the document properties of
// its text file and its extended metadata. A value of the wrong type is left out, never guessed at.
namespace OVMetadataAttributes {
QJsonObject attributesForLoader(const OVDocumentLoader& loader);
}
