#pragma once

#include "platform/text/AttributeDictionary.h"
#include "platform/text/AttributeValue.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// Names of the settings this class reads and writes, and the notifications it posts.
inline const QString kDefaultDocumentStyleKey = QStringLiteral("defaultDocumentStyle");
inline const QString kMarkedTextHighlightColorDataKey = QStringLiteral("markedTextHighlightColorData");
inline const QString kMarkedTextUseHighlightPatternKey = QStringLiteral("markedTextUseHighlightPattern");
inline const QString kMarkedTextOptionsKey = QStringLiteral("markedTextOptions");
inline const QString kPromptModeToolbarStateKey = QStringLiteral("promptModeToolbarState");
inline const QString kSpeedIncrementKey = QStringLiteral("speedIncrement");
inline const QString OVPreferencesGeneralDidChangeDefaultStyleNotification =
    QStringLiteral("OVPreferencesGeneralDidChangeDefaultStyleNotification");
inline const QString OVPreferencesGeneralMarkedTextColorDidChangeNotification =
    QStringLiteral("OVPreferencesGeneralMarkedTextColorDidChangeNotification");

// The document attribute that holds a document's background colour.
inline const QString kBackgroundColorDocumentAttribute = QStringLiteral("BackgroundColor");
inline const QString kDocumentTypeDocumentAttribute = QStringLiteral("DocumentType");
inline const QString kRTFTextDocumentType = QStringLiteral("NSRTF");

// The one access point to settings that several parts of the program share and that need more
// than a plain read: the default document style (stored as RTF, handed out as cached
// attributes), the marked-text colour and options, the speed increment and the prompt-mode
// toolbar state.
class OVSharedPreferencesAccess {
public:
    static QStringList requiredDefaultStyleAttributes();
    static QStringList requiredDefaultStyleDocumentAttributes();
    // Every required style attribute present and no attachment.
    static bool isDefaultStyleAttributeDictionaryValid(const AttributeDictionary& attributes);

    // A stored style value as the default style keeps it: white and black text and background
    // colours exact, font sizes to a tenth of a point, and of the paragraph style only the line
    // height multiple (to a tenth), the alignment and the writing direction.
    static AttributeValue _normalizedDefaultStyleValue(const QString& attributeName,
                                                       const AttributeValue& value);
};
