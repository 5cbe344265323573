#pragma once

#include <QString>

// The importer's own copy of the native package's names. It reads packages without the application
// and links none of its libraries, so these values are repeated here; they must stay equal to the
// application's for documents to be indexed at all. The namespace lets a program that holds both
// copies (a test writing packages with the application's writer) include both.
namespace OVImporter {

inline const QString OVDocumentUTI = QStringLiteral("com.orvane.orvane.document");
// The file-name extension that marks a directory as a native package.
inline const QString OVDocumentPackageExtension = QStringLiteral("ovdocument");
inline const QString OVDocumentPackageContentFileName = QStringLiteral("Content.rtfd");
inline const QString OVDocumentPackagePropertiesFileName = QStringLiteral("Properties.plist");
inline const QString OVDocumentFileFormatNumberKey = QStringLiteral("fileFormatNumber");
inline constexpr quint64 OVDocumentFileFormatNumberV_5 = 5;
inline constexpr quint64 OVDocumentFileFormatNumberCurrent = OVDocumentFileFormatNumberV_5;
inline const QString OVDocumentPrompterContentKey = QStringLiteral("content");
inline const QString OVDocumentPrompterSelectedRangesKey = QStringLiteral("selectedRanges");
inline const QString OVDocumentPrompterScrollbarPositionKey = QStringLiteral("scrollbarPosition");
inline const QString OVDocumentPrompterSpeedKey = QStringLiteral("speed");
inline const QString OVDocumentWindowFrameKey = QStringLiteral("windowFrame");
inline const QString OVDocumentExtendedMetadataKey = QStringLiteral("extendedMetadata");
inline const QString OVDocumentSystemVersionKey = QStringLiteral("systemVersion");
inline const QString OVDocumentAppVersionKey = QStringLiteral("appVersion");
inline const QString OVDocumentAppBuildNumber = QStringLiteral("appBuildNumber");
inline const QString OVDocumentBookmarkItemArrayKey = QStringLiteral("bookmarks");
inline const QString OVDocumentBookmarkItemDataKey = QStringLiteral("data");
inline const QString OVDocumentBookmarkItemLocationsKey = QStringLiteral("locations");
inline const QString OVDocumentBookmarkItemLocationSeparatorKey = QStringLiteral(", ");
inline const QString OVBookmarkIdentifierPrefixKey = QStringLiteral("_OVBookmark");
inline const QString OVDocumentPropertiesContentMetadataAuthorKey = QStringLiteral("author");
inline const QString OVDocumentPropertiesContentMetadataCompanyKey = QStringLiteral("company");
inline const QString OVDocumentPropertiesContentMetadataCopyrightKey = QStringLiteral("copyright");
inline const QString OVDocumentPropertiesContentMetadataSubjectKey = QStringLiteral("subject");
inline const QString OVDocumentPropertiesContentMetadataKeywordsKey = QStringLiteral("keywords");
inline const QString OVDocumentPropertiesContentMetadataCommentsKey = QStringLiteral("comments");
inline const QString OVDocumentPropertiesExtendedMetadataBookmarkNamesKey = QStringLiteral("bookmarkNames");
inline const QString OVDocumentPropertiesExtendedMetadataAttachmentNamesKey =
    QStringLiteral("attachmentNames");
inline const QString OVDocumentPropertiesExtendedMetadataDirectorKey = QStringLiteral("director");
inline const QString OVDocumentPropertiesExtendedMetadataProducerKey = QStringLiteral("producer");
inline const QString OVDocumentPropertiesExtendedMetadataPerformersKey = QStringLiteral("performers");
inline const QString OVDocumentLoaderOptionUseBookmarkImages = QStringLiteral("useBookmarkImages");
inline const QString OVDocumentLoaderOptionStripBookmarkAttachments =
    QStringLiteral("stripBookmarkAttachments");

} // namespace OVImporter
