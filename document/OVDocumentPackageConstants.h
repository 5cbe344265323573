#pragma once

#include <QString>

// Names of the native package's members and keys. The metadata importer keeps its own copy of
// these values; both must stay as they are for documents to open everywhere.
inline const QString OVDocumentPackageContentFileName = QStringLiteral("Content.rtfd");
inline const QString OVDocumentPackagePropertiesFileName = QStringLiteral("Properties.plist");
inline const QString OVDocumentPrompterSelectedRangesKey = QStringLiteral("selectedRanges");
inline const QString OVDocumentBookmarkItemArrayKey = QStringLiteral("bookmarks");
inline const QString OVDocumentBookmarkItemDataKey = QStringLiteral("data");
inline const QString OVDocumentBookmarkItemLocationsKey = QStringLiteral("locations");
inline const QString OVDocumentBookmarkItemLocationSeparatorKey = QStringLiteral(", ");
inline const QString OVDocumentPrompterScrollbarPositionKey = QStringLiteral("scrollbarPosition");
// Ours alone, beside the position every reader knows (see OVScrollbarAnchor); other readers pass it by.
inline const QString OVScrollbarAnchorKey = QStringLiteral("scrollbarAnchor");
inline const QString OVScrollbarAnchorCharacterIndexKey = QStringLiteral("characterIndex");
inline const QString OVScrollbarAnchorLineOffsetKey = QStringLiteral("lineOffset");
inline const QString OVDocumentPrompterSpeedKey = QStringLiteral("speed");
inline const QString OVDocumentWindowFrameKey = QStringLiteral("windowFrame");
inline const QString OVDocumentExtendedMetadataKey = QStringLiteral("extendedMetadata");
inline const QString OVDocumentPropertiesExtendedMetadataBookmarkNamesKey = QStringLiteral("bookmarkNames");
inline const QString OVDocumentPropertiesExtendedMetadataAttachmentNamesKey =
    QStringLiteral("attachmentNames");
inline const QString OVDocumentPropertiesExtendedMetadataDirectorKey = QStringLiteral("director");
inline const QString OVDocumentPropertiesExtendedMetadataProducerKey = QStringLiteral("producer");
inline const QString OVDocumentPropertiesExtendedMetadataPerformersKey = QStringLiteral("performers");
inline const QString OVDocumentFileFormatNumberKey = QStringLiteral("fileFormatNumber");
inline constexpr quint64 OVDocumentFileFormatNumberV_5 = 5;
inline constexpr quint64 OVDocumentFileFormatNumberCurrent = OVDocumentFileFormatNumberV_5;
inline const QString OVDocumentAppVersionKey = QStringLiteral("appVersion");
inline const QString OVDocumentAppBuildNumber = QStringLiteral("appBuildNumber");
inline const QString OVDocumentSystemVersionKey = QStringLiteral("systemVersion");
// Only in the loaded document information, never in a file.
inline const QString OVDocumentPrompterContentKey = QStringLiteral("content");

// Keys of the older single-file prompter document.
inline const QString OVPrompterDocumentContentsKey = QStringLiteral("Prompter Contents");
inline const QString OVPrompterDocumentSelectedRangeKey = QStringLiteral("Prompter Selected Range");
inline const QString OVPrompterDocumentScrollbarPositionKey = QStringLiteral("Prompter Scrollbar Position");
inline const QString OVPrompterDocumentSpeedKey = QStringLiteral("Prompter Speed");
inline const QString OVPrompterDocumentWindowPositionKey = QStringLiteral("Window Position");
inline const QString OVPrompterDocumentWindowSizeKey = QStringLiteral("Window Size");
inline const QString OVPrompterDocumentBackgroundColorKey = QStringLiteral("Prompter Background Color");

// The user default that turns on the repair of bookmarks an older version saved one or two
// characters into their paragraph.
inline const QString OVAttemptToFixBookmarkShiftBugKey = QStringLiteral("attemptToFixBookmarkShiftBug");
