#pragma once

#include <QString>

// Attribute names as the platform spells them; files and archives carry these strings.
inline const QString kFontAttributeName = QStringLiteral("NSFont");
inline const QString kForegroundColorAttributeName = QStringLiteral("NSColor");
inline const QString kBackgroundColorAttributeName = QStringLiteral("NSBackgroundColor");
inline const QString kParagraphStyleAttributeName = QStringLiteral("NSParagraphStyle");
inline const QString kAttachmentAttributeName = QStringLiteral("NSAttachment");
inline const QString kUnderlineStyleAttributeName = QStringLiteral("NSUnderline");
inline const QString kUnderlineColorAttributeName = QStringLiteral("NSUnderlineColor");
inline const QString kStrikethroughStyleAttributeName = QStringLiteral("NSStrikethrough");
inline const QString kStrikethroughColorAttributeName = QStringLiteral("NSStrikethroughColor");
inline const QString kStrokeColorAttributeName = QStringLiteral("NSStrokeColor");
inline const QString kStrokeWidthAttributeName = QStringLiteral("NSStrokeWidth");
inline const QString kLinkAttributeName = QStringLiteral("NSLink");
inline const QString kSuperscriptAttributeName = QStringLiteral("NSSuperScript");
inline const QString kBaselineOffsetAttributeName = QStringLiteral("NSBaselineOffset");
inline const QString kKernAttributeName = QStringLiteral("NSKern");
inline const QString kShadowAttributeName = QStringLiteral("NSShadow");
inline const QString kExpansionAttributeName = QStringLiteral("NSExpansion");
inline const QString kObliquenessAttributeName = QStringLiteral("NSObliqueness");
inline const QString kToolTipAttributeName = QStringLiteral("NSToolTip");
inline const QString kLigatureAttributeName = QStringLiteral("NSLigature");

// The character that stands for an attachment in the text.
inline constexpr char16_t kAttachmentCharacter = 0xFFFC;

// Underline and strike-through styles (the values of the two style attributes).
inline constexpr qint64 kUnderlineStyleNone = 0x00;
inline constexpr qint64 kUnderlineStyleSingle = 0x01;
inline constexpr qint64 kUnderlineStyleThick = 0x02;
inline constexpr qint64 kUnderlineStyleDouble = 0x09;
