#include "app/OVGeneralPreferencesViewController.h"

#include "platform/foundation/ArchivedColor.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/AttributedString.h"
#include "platform/text/ParagraphStyle.h"
#include "settings/OVSharedPreferencesAccess.h"

#include <QFontDatabase>

namespace {

constexpr double kDefaultStyleFontSize = 100;
constexpr double kDefaultStyleLineHeightMultiple = 1.2;

// The platform's indigo; Linux has no system colour of that name.
ArchivedColor markedTextHighlightColor()
{
    return ArchivedColor::rgb(88 / 255.0, 86 / 255.0, 214 / 255.0, 1, ArchivedColor::Space::DeviceRGB);
}

std::optional<QByteArray> defaultDocumentStyleData()
{
    ParagraphStyle paragraphStyle;
    paragraphStyle.lineHeightMultiple = kDefaultStyleLineHeightMultiple;
    const AttributeDictionary attributes = {
        {kFontAttributeName, OVGeneralPreferencesViewController::defaultStyleFont(QFontDatabase::families())},
        {kForegroundColorAttributeName, Color::rgb(1, 1, 1, 1)},
        {kParagraphStyleAttributeName, paragraphStyle}};
    const AttributedString sample(QStringLiteral("Indeed"), attributes);
    return OVSharedPreferencesAccess::styleDataFromAttributedString(&sample, Color::rgb(0, 0, 0, 1));
}

} // namespace

Font OVGeneralPreferencesViewController::defaultStyleFont(const QStringList& availableFamilies)
{
    // Family and PostScript name, the latter being what the style's RTF font table names.
    const std::pair<QString, QString> preferred[] = {
        {QStringLiteral("Helvetica Neue"), QStringLiteral("HelveticaNeue")},
        {QStringLiteral("Helvetica"), QStringLiteral("Helvetica")},
        {QStringLiteral("Verdana"), QStringLiteral("Verdana")},
    };
    Font font;
    font.pointSize = kDefaultStyleFontSize;
    for (const auto& [family, postScriptName] : preferred) {
        if (availableFamilies.contains(family, Qt::CaseInsensitive)) {
            font.familyName = family;
            font.fontName = postScriptName;
            return font;
        }
    }
    // The user font and the message font are one and the same on Linux: the desktop's font.
    font.familyName = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    font.fontName = font.familyName;
    return font;
}

PlistDictionary OVGeneralPreferencesViewController::initialDefaultsDictionary()
{
    PlistDictionary defaults;
    if (const std::optional<QByteArray> style = defaultDocumentStyleData())
        defaults.insert(kDefaultDocumentStyleKey, *style);
    defaults.insert(QStringLiteral("defaultEncodingValue"), PlistValue::unsignedInteger(0));
    defaults.insert(QStringLiteral("editingAlwaysNormalizeParagraphIndents"), true);
    defaults.insert(QStringLiteral("applyDefaultStyleToAllImportedDocuments"), true);
    defaults.insert(QStringLiteral("nameNewBookmarks"), false);
    defaults.insert(QStringLiteral("enableTalentScreenTracksEdits"), true);
    defaults.insert(kMarkedTextHighlightColorDataKey,
                    KeyedArchiver::archivedData(markedTextHighlightColor()));
    defaults.insert(kMarkedTextUseHighlightPatternKey, true);
    defaults.insert(kMarkedTextOptionsKey, PlistValue::unsignedInteger(4));
    defaults.insert(QStringLiteral("markedTextUseFlash"), true);
    defaults.insert(QStringLiteral("quickZoomScale"), 0.0);
    defaults.insert(QStringLiteral("useNumberedBookmarks"), true);
    defaults.insert(QStringLiteral("bookmarksShowContext"), true);
    defaults.insert(QStringLiteral("attemptToFixBookmarkShiftBug"), true);
    defaults.insert(QStringLiteral("useDocumentAutosave"), true);
    defaults.insert(QStringLiteral("adjustDocumentsInDarkMode"), false);
    defaults.insert(QStringLiteral("focusArrowShowsOnRight"), false);
    defaults.insert(QStringLiteral("quickZoomUseSpellCheckEnhancement"), false);
    defaults.insert(QStringLiteral("preventUnderlineColors"), true);
    return defaults;
}
