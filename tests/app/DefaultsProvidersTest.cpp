// The registered settings of the program's defaults providers: their size, and the values whose
// loss a user would notice (the default speed and style, the hot keys, the wheel in Prompt mode).
#include "app/OVAppDelegate.h"
#include "app/OVDefaultsProviderClasses.h"
#include "document/OVDocument.h"
#include "output/OVPreviewWindowController.h"
#include "platform/foundation/ArchiveValue.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/hvkit/HVInitialDefaultsProvider.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/text/RtfReader.h"
#include "preferences/OVAdvancedPreferencesViewController.h"
#include "preferences/OVControlPreferencesViewController.h"
#include "preferences/OVGeneralPreferencesViewController.h"
#include "preferences/OVPromptPreferencesViewController.h"
#include "preferences/OVUpdatesPreferencesViewController.h"
#include "prompting/OVInputController.h"
#include "window/OVDocumentWindowController.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

PlistValue valueOf(const PlistDictionary& defaults, const char* key)
{
    const PlistValue* value = defaults.find(QString::fromLatin1(key));
    EXPECT_TRUE(value) << key;
    return value ? *value : PlistValue();
}

TEST(DefaultsProvidersTest, GeneralPaneRegistersTheDefaultStyleAndMarkedTextAsStored)
{
    const PlistDictionary defaults = OVGeneralPreferencesViewController::initialDefaultsDictionary();
    EXPECT_EQ(defaults.size(), 19);
    EXPECT_EQ(valueOf(defaults, "editingAlwaysNormalizeParagraphIndents"), PlistValue(true));
    EXPECT_EQ(valueOf(defaults, "bookmarksShowContext"), PlistValue(true));
    EXPECT_EQ(valueOf(defaults, "attemptToFixBookmarkShiftBug"), PlistValue(true));
    EXPECT_EQ(valueOf(defaults, "nameNewBookmarks"), PlistValue(false));
    EXPECT_EQ(valueOf(defaults, "markedTextOptions"), PlistValue::unsignedInteger(4));
    EXPECT_EQ(valueOf(defaults, "quickZoomScale"), PlistValue(0.0));

    const std::optional<ArchiveValue> color = KeyedUnarchiver::unarchivedRootObject(
        valueOf(defaults, "markedTextHighlightColorData").data(), {QStringLiteral("NSColor")}, nullptr);
    ASSERT_TRUE(color && color->isColor());
    EXPECT_EQ(color->color(), ArchivedColor::rgb(88 / 255.0, 86 / 255.0, 214 / 255.0));

    MutableAttributedString style;
    DocumentAttributes documentAttributes;
    ASSERT_TRUE(RtfReader::read(valueOf(defaults, "defaultDocumentStyle").data(), style, &documentAttributes,
                                nullptr));
    EXPECT_EQ(style.string(), "Indeed");
    const AttributeDictionary attributes = style.attributesAtIndex(0);
    ASSERT_TRUE(attributes.value(kFontAttributeName).font());
    EXPECT_EQ(attributes.value(kFontAttributeName).font()->pointSize, 100);
    ASSERT_TRUE(attributes.value(kForegroundColorAttributeName).color());
    EXPECT_EQ(*attributes.value(kForegroundColorAttributeName).color(), Color::rgb(1, 1, 1, 1));
    ASSERT_TRUE(attributes.value(kParagraphStyleAttributeName).paragraphStyle());
    EXPECT_DOUBLE_EQ(attributes.value(kParagraphStyleAttributeName).paragraphStyle()->lineHeightMultiple,
                     1.2);
    EXPECT_EQ(documentAttributes.value(NSBackgroundColorDocumentAttribute).value<Color>(),
              Color::rgb(0, 0, 0, 1));
}

TEST(DefaultsProvidersTest, DefaultStyleFontFallsBackInTheGivenOrder)
{
    using General = OVGeneralPreferencesViewController;
    EXPECT_EQ(General::defaultStyleFont({"Verdana", "Helvetica Neue", "Helvetica"}).fontName,
              "HelveticaNeue");
    EXPECT_EQ(General::defaultStyleFont({"Verdana", "helvetica"}).fontName, "Helvetica");
    EXPECT_EQ(General::defaultStyleFont({"DejaVu Sans", "Verdana"}).familyName, "Verdana");
    const Font fallback = General::defaultStyleFont({});
    EXPECT_FALSE(fallback.familyName.isEmpty());
    EXPECT_EQ(fallback.pointSize, 100);
}

TEST(DefaultsProvidersTest, PromptAndUpdatesPanesRegisterTheirSwitches)
{
    const PlistDictionary prompt = OVPromptPreferencesViewController::initialDefaultsDictionary();
    EXPECT_EQ(prompt.size(), 9);
    EXPECT_EQ(valueOf(prompt, "useWindowedPrompting"), PlistValue(true));
    EXPECT_EQ(valueOf(prompt, "showScrollBarInPromptMode"), PlistValue(true));
    EXPECT_EQ(valueOf(prompt, "promptModeToolbarState"), PlistValue::unsignedInteger(0));
    EXPECT_EQ(valueOf(prompt, "alwaysCoverTheDesktop"), PlistValue(false));

    const PlistDictionary updates = OVUpdatesPreferencesViewController::initialDefaultsDictionary();
    EXPECT_EQ(updates.size(), 6);
    EXPECT_EQ(valueOf(updates, "checkForUpdatesProxy"), PlistValue(true));
    EXPECT_EQ(valueOf(updates, "SUScheduledCheckInterval"), PlistValue(qint64(86400)));
    EXPECT_EQ(valueOf(updates, "SUSendProfileInfo"), PlistValue(false));
}

TEST(DefaultsProvidersTest, ControlsPaneRegistersTheHotKeyTableAndSpeedSteps)
{
    const PlistDictionary defaults = OVControlPreferencesViewController::initialDefaultsDictionary();
    EXPECT_EQ(defaults.size(), 32);
    for (const OVInputController::HotKey& hotKey : OVInputController::hotKeyTable())
        EXPECT_EQ(defaults.value(hotKey.defaultsKey), PlistValue(qint64(hotKey.defaultValue)))
            << qPrintable(hotKey.defaultsKey);
    EXPECT_EQ(valueOf(defaults, "hotkeyToggleStart"), PlistValue(qint64(32)));
    EXPECT_EQ(valueOf(defaults, "hotkeyScriptEnd"), PlistValue(qint64(0xF72B)));
    EXPECT_EQ(valueOf(defaults, "hotkeyUseNumberKeysToSetSpeed"), PlistValue(true));
    EXPECT_EQ(valueOf(defaults, "speedIncrement"), PlistValue(0.2));
    EXPECT_EQ(valueOf(defaults, "defaultSpeed"), PlistValue(3.0));
    EXPECT_EQ(valueOf(defaults, "pauseSpeed"), PlistValue(3.0));
    EXPECT_EQ(valueOf(defaults, "scrollWheelBehaviorTag"), PlistValue(qint64(1)));
    EXPECT_EQ(valueOf(defaults, "changingSpeedStartsPrompter"), PlistValue(true));
}

TEST(DefaultsProvidersTest, AdvancedPaneRegistersAutomaticChoicesAndTheirCustomValues)
{
    const PlistDictionary defaults = OVAdvancedPreferencesViewController::initialDefaultsDictionary();
    EXPECT_EQ(defaults.size(), 36);
    EXPECT_EQ(valueOf(defaults, "speedScaleTypeTag"), PlistValue(qint64(1)));
    EXPECT_EQ(valueOf(defaults, "frameRateOptionTag"), PlistValue(qint64(-1)));
    EXPECT_EQ(valueOf(defaults, "customFrameRate"), PlistValue(qint64(50)));
    EXPECT_EQ(valueOf(defaults, "customOverdrawFixedHeightPoints"), PlistValue(qint64(8192)));
    EXPECT_EQ(valueOf(defaults, "waTimerInterval"), PlistValue(8.0));
    EXPECT_EQ(valueOf(defaults, "captureDisplays"), PlistValue(true));
    EXPECT_EQ(valueOf(defaults, "alwaysUseAutomaticWhitespacePadding"), PlistValue(false));
    EXPECT_EQ(valueOf(defaults, "enableAnalytics"), PlistValue(true));
    EXPECT_EQ(valueOf(defaults, "fixedPrompterWidth"), PlistValue::unsignedInteger(800));
}

TEST(DefaultsProvidersTest, DelegateDocumentAndPreviewRegisterTheirOwnKeys)
{
    const PlistDictionary delegate = OVAppDelegate::initialDefaultsDictionary();
    EXPECT_EQ(delegate.size(), 6);
    EXPECT_EQ(valueOf(delegate, "enableQuickZoom"), PlistValue(true));
    // No update feed unless the build names one.
    EXPECT_EQ(valueOf(delegate, "SUFeedURL"), PlistValue(QString()));
    EXPECT_EQ(valueOf(delegate, "NSFullScreenMenuItemEverywhere"), PlistValue(false));
    // No address is built in: empty until the user names one.
    EXPECT_EQ(valueOf(delegate, "hardwareProfilesURL"), PlistValue(QString()));
    EXPECT_EQ(valueOf(delegate, "crashReportsURL"), PlistValue(QString()));
    EXPECT_EQ(valueOf(delegate, "moveToApplicationsFolderAlertSuppress"), PlistValue(false));

    const PlistDictionary document = OVDocument::initialDefaultsDictionary();
    EXPECT_EQ(document.size(), 1);
    EXPECT_EQ(valueOf(document, "openNormalizeParagraphIndents"), PlistValue(true));

    const PlistDictionary window = OVDocumentWindowController::initialDefaultsDictionary();
    EXPECT_EQ(window.size(), 6);
    EXPECT_EQ(valueOf(window, "documentToolbarLastHeight"), PlistValue(52.0));
    EXPECT_EQ(valueOf(window, "documentQuickZoomTargetFontSize"), PlistValue(qint64(15)));
    EXPECT_EQ(valueOf(window, "quickZoomUseProportionalZoom"), PlistValue(false));
    EXPECT_EQ(valueOf(window, "quickZoomAutomaticDeltaIndex"), PlistValue(qint64(0)));
    EXPECT_EQ(valueOf(window, "printPanelMaximumSmallFontPointSize"), PlistValue(13.0));
    EXPECT_EQ(valueOf(window, "printPanelMinimumSmallFontPointSize"), PlistValue(10.0));

    const PlistDictionary preview = OVPreviewWindowController::initialDefaultsDictionary();
    EXPECT_EQ(preview.size(), 13);
    EXPECT_EQ(valueOf(preview, "autoBlankToHideEdits"), PlistValue(false));
    EXPECT_EQ(valueOf(preview, "useFocusArrow"), PlistValue(true));
    EXPECT_EQ(valueOf(preview, "useTimeBar"), PlistValue(false));
    EXPECT_EQ(valueOf(preview, "marginAlignment"), PlistValue::unsignedInteger(4));
    EXPECT_EQ(valueOf(preview, "contentTextMagnificationFactor"), PlistValue(1.0));
    EXPECT_EQ(valueOf(preview, "previewWindowTopFrameCoordinate"),
              PlistValue(std::numeric_limits<double>::min()));
}

// Two classes registering one key would leave the second's value unused; the tables must not overlap.
TEST(DefaultsProvidersTest, NoTwoProvidersRegisterTheSameKey)
{
    OVDefaultsProviderClasses::registerAll();
    QStringList seen;
    for (const HVInitialDefaultsRegistry::ProviderClass& provider :
         HVInitialDefaultsRegistry::providerClasses()) {
        for (const auto& [key, value] : provider.initialDefaultsDictionary()) {
            EXPECT_FALSE(seen.contains(key)) << qPrintable(provider.className) << " " << qPrintable(key);
            seen << key;
        }
    }
    EXPECT_GE(seen.size(), 19 + 9 + 32 + 36 + 6 + 2 + 1 + 2 + 12);
}

} // namespace
