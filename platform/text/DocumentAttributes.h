#pragma once

#include <QString>
#include <QVariantMap>

// Whole-document properties that travel with RTF, RTFD and plain text, keyed as the platform keys
// them. Values: sizes as QSizeF (points), margins and scale as double, the view kind as int, the
// background as Color, dates as QDateTime (UTC), keywords as QStringList, the other metadata as
// QString, the encoding as the platform's encoding number (quint32).
using DocumentAttributes = QVariantMap;

inline const QString NSDocumentTypeDocumentAttribute = QStringLiteral("DocumentType");
inline const QString NSCharacterEncodingDocumentAttribute = QStringLiteral("CharacterEncoding");
inline const QString NSPaperSizeDocumentAttribute = QStringLiteral("PaperSize");
inline const QString NSLeftMarginDocumentAttribute = QStringLiteral("LeftMargin");
inline const QString NSRightMarginDocumentAttribute = QStringLiteral("RightMargin");
inline const QString NSTopMarginDocumentAttribute = QStringLiteral("TopMargin");
inline const QString NSBottomMarginDocumentAttribute = QStringLiteral("BottomMargin");
inline const QString NSViewSizeDocumentAttribute = QStringLiteral("ViewSize");
inline const QString NSViewZoomDocumentAttribute = QStringLiteral("ViewZoom");
inline const QString NSViewModeDocumentAttribute = QStringLiteral("ViewMode");
inline const QString NSBackgroundColorDocumentAttribute = QStringLiteral("BackgroundColor");
inline const QString NSTitleDocumentAttribute = QStringLiteral("NSTitle");
inline const QString NSAuthorDocumentAttribute = QStringLiteral("NSAuthor");
inline const QString NSCompanyDocumentAttribute = QStringLiteral("NSCompany");
inline const QString NSCopyrightDocumentAttribute = QStringLiteral("NSCopyright");
inline const QString NSSubjectDocumentAttribute = QStringLiteral("NSSubject");
inline const QString NSKeywordsDocumentAttribute = QStringLiteral("NSKeywords");
inline const QString NSCommentDocumentAttribute = QStringLiteral("NSComment");
inline const QString NSEditorDocumentAttribute = QStringLiteral("NSEditor");
inline const QString NSCreationTimeDocumentAttribute = QStringLiteral("NSCreationTime");
inline const QString NSModificationTimeDocumentAttribute = QStringLiteral("NSModificationTime");

// Values of the document-type attribute.
inline const QString NSRTFTextDocumentType = QStringLiteral("NSRTF");
inline const QString NSRTFDTextDocumentType = QStringLiteral("NSRTFD");
inline const QString NSPlainTextDocumentType = QStringLiteral("NSPlainText");
