#pragma once

#include "platform/text/AttributeDictionary.h"
#include "platform/text/AttributeValue.h"
#include "platform/text/DocumentAttributes.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

class AttributedString;

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

// The one access point to settings that several parts of the program share and that need more
// than a plain read: the default document style (stored as RTF, handed out as cached
// attributes), the marked-text colour and options, the speed increment and the prompt-mode
// toolbar state. Main thread only.
class OVSharedPreferencesAccess {
public:
    // A colour as marked text is drawn with it: plain, or filled with one of the standard patterns.
    struct MarkedTextColor {
        Color color;
        // 0 for the plain colour.
        int standardPattern = 0;
        bool operator==(const MarkedTextColor&) const = default;
    };
    // The standard pattern marked text uses when markedTextUseHighlightPattern is on.
    static constexpr int kMarkedTextStandardPattern = 2;

    // Text attributes of the default style; empty when no usable style is stored.
    static std::optional<AttributeDictionary> defaultStyleAttributes();
    // The same plus the style's document attributes (its background colour above all).
    static std::optional<AttributeDictionary> defaultStyleAttributesWithDocumentAttributes();
    // Makes the next read rebuild both caches from the stored style.
    static void triggerDefaultStyleUpdate();

    static QStringList requiredDefaultStyleAttributes();
    static QStringList requiredDefaultStyleDocumentAttributes();
    // Every required style attribute present and no attachment.
    static bool isDefaultStyleAttributeDictionaryValid(const AttributeDictionary& attributes);

    // The RTF a style is stored as, made from the attributes of the string's first character;
    // empty when either argument is missing or the attributes do not make a style.
    static std::optional<QByteArray>
    styleDataFromAttributedString(const AttributedString* attributedString,
                                  const std::optional<Color>& documentBackgroundColor);
    static std::optional<QByteArray>
    _styleDataFromAttributedString(const AttributedString* attributedString,
                                   const DocumentAttributes* documentAttributes);
    // Normalises and stores a style; storing what is stored already changes and posts nothing.
    static void setDefaultStyleData(const std::optional<QByteArray>& data);

    // A stored style value as the default style keeps it: white and black text and background
    // colours exact, font sizes to a tenth of a point, and of the paragraph style only the line
    // height multiple (to a tenth), the alignment and the writing direction.
    static AttributeValue _normalizedDefaultStyleValue(const QString& attributeName,
                                                       const AttributeValue& value);

    // The stored colour as marked text is drawn with it.
    static std::optional<MarkedTextColor> markedTextColor();
    // Stores the colour; none puts the registered colour back.
    static void setMarkedTextColor(const std::optional<Color>& color);
    // The stored colour without its pattern.
    static std::optional<Color> plainMarkedTextColor();
    static quint64 markedTextOptions();
    static void setMarkedTextOptions(quint64 options);

    // 1 or 2; anything else reads and stores as 0.
    static quint64 promptModeToolbarState();
    static void setPromptModeToolbarState(quint64 state);
    static double speedIncrement();
    static void setSpeedIncrement(double increment);
};
