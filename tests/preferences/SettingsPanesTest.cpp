// The General and Prompt settings panes, offscreen, on the real registered defaults: what their
// pop-ups show for stored values, what their controls store and announce, drops on the sample
// (hostile ones too), the sample's coalesced reports, and a reset of all settings.
#include "app/OVAppDelegate.h"
#include "app/OVDefaultsProviderClasses.h"
#include "output/OVTalentWindowController.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/MenuItem.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVDropView.h"
#include "platform/hvkit/HVFontManager.h"
#include "platform/hvkit/HVInitialDefaultsProvider.h"
#include "platform/hvkit/HVSettingsController.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/AttributedString.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/text/ParagraphStyle.h"
#include "platform/text/RtfReader.h"
#include "platform/text/TextStorage.h"
#include "preferences/OVDefaultStyleTextView.h"
#include "preferences/OVGeneralPreferencesViewController.h"
#include "preferences/OVPromptPreferencesViewController.h"
#include "settings/OVSharedPreferencesAccess.h"
#include "window/OVQuickZoom.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QLabel>
#include <QMimeData>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class SettingsPanes : public ::testing::Test {
protected:
    void SetUp() override
    {
        OVDefaultsProviderClasses::registerAll();
        defaults().resetUserValues();
        defaults().registerDefaults(HVInitialDefaultsRegistry::initialDefaults());
        OVSharedPreferencesAccess::triggerDefaultStyleUpdate();
    }
    void TearDown() override
    {
        QLocale::setDefault(QLocale::c());
        defaults().resetUserValues();
        OVSharedPreferencesAccess::triggerDefaultStyleUpdate();
    }
    static UserDefaults& defaults() { return UserDefaults::shared(); }

    // Every notification posted while the recorder lives: its name and whether it had an object.
    struct Recorder {
        Recorder()
        {
            id = NotificationCenter::shared().addObserver({}, nullptr, [this](const Notification& note) {
                if (note.name.startsWith(QStringLiteral("OVPreferences")))
                    posted.push_back({note.name, note.object});
            });
        }
        ~Recorder() { NotificationCenter::shared().removeObserver(id); }
        int count(const QString& name) const
        {
            return int(std::count_if(posted.begin(), posted.end(),
                                     [&](const auto& entry) { return entry.first == name; }));
        }
        std::vector<QString> names() const
        {
            std::vector<QString> result;
            for (const auto& entry : posted)
                result.push_back(entry.first);
            return result;
        }
        std::vector<std::pair<QString, const void*>> posted;
        NotificationCenter::ObserverId id = 0;
    };

    static AttributeDictionary storedStyle()
    {
        MutableAttributedString style;
        DocumentAttributes documentAttributes;
        EXPECT_TRUE(RtfReader::read(defaults().dataForKey(kDefaultDocumentStyleKey), style,
                                    &documentAttributes, nullptr));
        return style.length() > 0 ? style.attributesAtIndex(0) : AttributeDictionary{};
    }
    // Stores a style as another part of the program could, without the normalising store.
    static void storeRawStyle(double lineHeightMultiple, double pointSize = 100)
    {
        AttributeDictionary attributes = *OVSharedPreferencesAccess::defaultStyleAttributes();
        ParagraphStyle paragraph;
        paragraph.lineHeightMultiple = lineHeightMultiple;
        attributes.insert(kParagraphStyleAttributeName, paragraph);
        Font font = *attributes.value(kFontAttributeName).font();
        font.pointSize = pointSize;
        attributes.insert(kFontAttributeName, font);
        const AttributedString text(QStringLiteral("Indeed"), attributes);
        defaults().setObject(
            *OVSharedPreferencesAccess::styleDataFromAttributedString(&text, Color::rgb(0, 0, 0)),
            kDefaultDocumentStyleKey);
    }
    // Where a click on a check box or radio button lands on its mark, however wide the layout made it.
    static QPoint onIndicator(const QWidget* button) { return {8, button->height() / 2}; }
    static Color sampleTextColor(OVGeneralPreferencesViewController& pane)
    {
        const auto value = pane.defaultStyleTextView().textStorage().attribute(kForegroundColorAttributeName, 0);
        const Color* color = value.color();
        return color ? *color : Color();
    }
};

TEST_F(SettingsPanes, PopUpsShowTheStoredQuickZoomAndLineSpacingAndUnlistedValuesAsTheirTitle)
{
    OVGeneralPreferencesViewController pane;
    QComboBox* zoom = pane.quickZoomScalePopUpButton();
    EXPECT_EQ(zoom->currentText(), QStringLiteral("Automatic"));
    EXPECT_EQ(zoom->itemText(2), QStringLiteral("10%"));
    defaults().setDouble(0.6667, QStringLiteral("quickZoomScale"));
    pane.defaultsDidReset();
    EXPECT_EQ(zoom->currentText(), QStringLiteral("66%"));
    defaults().setDouble(0.42, QStringLiteral("quickZoomScale"));
    pane.defaultsDidReset();
    EXPECT_EQ(zoom->currentIndex(), -1);

    QComboBox* spacing = pane.lineSpacingButton();
    EXPECT_EQ(spacing->count(), 11);
    EXPECT_EQ(spacing->currentText(), QStringLiteral("1.2"));
    storeRawStyle(1.25);
    EXPECT_EQ(spacing->currentText(), QStringLiteral("1.3"));
    storeRawStyle(0);
    EXPECT_EQ(spacing->currentText(), QStringLiteral("1.0"));
    storeRawStyle(2.34);
    EXPECT_EQ(spacing->currentIndex(), -1);
    EXPECT_EQ(spacing->placeholderText(), QStringLiteral("2.3"));
}

TEST_F(SettingsPanes, TheDescriptionShowsWholeSizesWithoutDecimalsAndTenthsInTheUsersLocale)
{
    Font font;
    font.familyName = QStringLiteral("Helvetica");
    font.pointSize = 100.04;
    EXPECT_EQ(OVGeneralPreferencesViewController::defaultStyleDescription(font, QLocale::c()),
              QStringLiteral("Helvetica, 100"));
    font.pointSize = 12.5;
    EXPECT_EQ(OVGeneralPreferencesViewController::defaultStyleDescription(font, QLocale::c()),
              QStringLiteral("Helvetica, 12.5"));
    EXPECT_EQ(OVGeneralPreferencesViewController::defaultStyleDescription(font, QLocale(QLocale::German)),
              QStringLiteral("Helvetica, 12,5"));
}

TEST_F(SettingsPanes, AlignmentAndLineSpacingStoreTheStyleOnceEvenWhereTheDecimalSignIsAComma)
{
    QLocale::setDefault(QLocale(QLocale::German));
    OVGeneralPreferencesViewController pane;
    const Recorder recorder;
    QComboBox* alignment = pane.textAlignmentButton();
    ASSERT_EQ(alignment->count(), 4);
    EXPECT_EQ(alignment->itemData(1).toInt(), 2);
    EXPECT_EQ(alignment->itemData(2).toInt(), 3);
    EXPECT_EQ(alignment->itemData(3).toInt(), 1);
    alignment->setCurrentIndex(1);
    pane.textAlignmentChanged();
    ASSERT_TRUE(storedStyle().value(kParagraphStyleAttributeName).paragraphStyle());
    EXPECT_EQ(storedStyle().value(kParagraphStyleAttributeName).paragraphStyle()->alignment,
              TextAlignment::Center);
    ASSERT_EQ(recorder.count(OVPreferencesGeneralDidChangeDefaultStyleNotification), 1);
    EXPECT_EQ(recorder.posted.front().second, nullptr);

    QComboBox* spacing = pane.lineSpacingButton();
    EXPECT_EQ(spacing->itemText(5), QStringLiteral("1,5"));
    spacing->setCurrentIndex(5);
    pane.lineSpacingChanged();
    EXPECT_DOUBLE_EQ(storedStyle().value(kParagraphStyleAttributeName).paragraphStyle()->lineHeightMultiple,
                     1.5);
    EXPECT_EQ(storedStyle().value(kParagraphStyleAttributeName).paragraphStyle()->alignment,
              TextAlignment::Center);
    EXPECT_EQ(recorder.count(OVPreferencesGeneralDidChangeDefaultStyleNotification), 2);
    EXPECT_EQ(spacing->currentText(), QStringLiteral("1,5"));
}

TEST_F(SettingsPanes, DropsChangeTheTextColourOrWithAltThePageAndHostileDataChangesNothing)
{
    OVGeneralPreferencesViewController pane;
    HVDropView& drop = *pane.dropView();
    const QColor page = pane.defaultStyleTextView().backgroundColor();
    QMimeData red;
    red.setColorData(QColor(Qt::red));
    ASSERT_TRUE(pane.dropOccurredInDropView(drop, red, Qt::NoModifier));
    EXPECT_EQ(sampleTextColor(pane), HVFontManager::modelColor(Qt::red));
    EXPECT_EQ(pane.defaultStyleTextView().backgroundColor(), page);
    QMimeData blue;
    blue.setColorData(QColor(Qt::blue));
    ASSERT_TRUE(pane.dropOccurredInDropView(drop, blue, Qt::AltModifier));
    EXPECT_EQ(sampleTextColor(pane), HVFontManager::modelColor(Qt::red));
    EXPECT_EQ(pane.defaultStyleTextView().backgroundColor(), QColor(Qt::blue));
    const QByteArray stored = defaults().dataForKey(kDefaultDocumentStyleKey);

    // RTF with a font and a colour but no page colour keeps the page.
    QMimeData rtf;
    rtf.setData(QStringLiteral("text/rtf"),
                "{\\rtf1\\ansi{\\fonttbl\\f0\\fswiss Helvetica;}{\\colortbl;\\red0\\green255\\blue0;}"
                "\\pard\\qc\\f0\\fs48\\cf1 Hello}");
    ASSERT_TRUE(pane.dropOccurredInDropView(drop, rtf, Qt::NoModifier));
    EXPECT_EQ(pane.defaultStyleTextView().backgroundColor(), QColor(Qt::blue));
    EXPECT_EQ(sampleTextColor(pane), Color::rgb(0, 1, 0));
    const AttributeDictionary afterRtf = storedStyle();
    ASSERT_TRUE(afterRtf.value(kFontAttributeName).font());
    EXPECT_EQ(afterRtf.value(kFontAttributeName).font()->pointSize, 24);
    EXPECT_EQ(afterRtf.value(kParagraphStyleAttributeName).paragraphStyle()->alignment,
              TextAlignment::Center);
    const QByteArray afterGood = defaults().dataForKey(kDefaultDocumentStyleKey);
    EXPECT_NE(afterGood, stored);

    // Unreadable RTF, a colour of the wrong size and a font payload of nonsense: nothing changes.
    QMimeData notRtf;
    notRtf.setData(QStringLiteral("application/rtf"), QByteArray(64, '\xff'));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(pane.dropOccurredInDropView(drop, notRtf, Qt::NoModifier));
    EXPECT_NE(
        testing::internal::GetCapturedStderr().find("attributedString could not be constructed. error ="),
        std::string::npos);
    QMimeData shortColor;
    shortColor.setData(QStringLiteral("application/x-color"), QByteArray(5, '\1'));
    EXPECT_FALSE(pane.dropOccurredInDropView(drop, shortColor, Qt::NoModifier));
    for (const QByteArray& payload : {QByteArray("{\"family\":\"X\",\"size\":1e308}"), QByteArray("[1,2"),
                                      QByteArray("{\"family\":7,\"size\":12}"), QByteArray(100000, '{')}) {
        QMimeData font;
        font.setData(HVFontManager::kFontMimeType, payload);
        EXPECT_FALSE(pane.dropOccurredInDropView(drop, font, Qt::NoModifier))
            << payload.left(40).toStdString();
    }
    EXPECT_EQ(defaults().dataForKey(kDefaultDocumentStyleKey), afterGood);

    QMimeData goodFont;
    Font font;
    font.familyName = QStringLiteral("DejaVu Serif");
    font.fontName = QStringLiteral("DejaVuSerif");
    font.pointSize = 36;
    goodFont.setData(HVFontManager::kFontMimeType, HVFontManager::fontData(font));
    ASSERT_TRUE(pane.dropOccurredInDropView(drop, goodFont, Qt::NoModifier));
    EXPECT_EQ(storedStyle().value(kFontAttributeName).font()->pointSize, 36);
    if (QFontDatabase::hasFamily(font.familyName))
        EXPECT_EQ(pane.defaultStyleDescriptionLabel()->text(), QStringLiteral("DejaVu Serif, 36"));
    else
        EXPECT_TRUE(pane.defaultStyleDescriptionLabel()->text().endsWith(QStringLiteral(", 36")));
}

TEST_F(SettingsPanes, TheSampleReportsOnceATurnIgnoresItsOwnFontAndIsNeverShorterThanItsScrollView)
{
    OVGeneralPreferencesViewController pane;
    OVDefaultStyleTextView& sample = pane.defaultStyleTextView();
    EXPECT_FALSE(sample.isEditable());
    EXPECT_FALSE(sample.isSelectable());
    const Recorder recorder;
    sample.changeColor(Color::rgb(1, 0, 0), OVTextView::ColorPanelTextColor);
    sample.changeColor(Color::rgb(0, 0, 1), OVTextView::ColorPanelTextColor);
    EXPECT_EQ(recorder.count(OVPreferencesGeneralDidChangeDefaultStyleNotification), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(recorder.count(OVPreferencesGeneralDidChangeDefaultStyleNotification), 1);
    EXPECT_EQ(*storedStyle().value(kForegroundColorAttributeName).color(), Color::rgb(0, 0, 1));

    const Font own = *sample.textStorage().attribute(kFontAttributeName, 0).font();
    sample.changeFont(own);
    EXPECT_FALSE(sample.hasPendingTextStyleChange());

    sample.setEnclosingHeight(400);
    EXPECT_GE(sample.frame().size.height, 398);
    sample.setFrame({{0, 0}, {300, 10}});
    EXPECT_EQ(sample.frame().size.height, 398);
}

TEST_F(SettingsPanes, ResetPostsEveryNotificationInOrderEvenWhenNothingChanged)
{
    OVGeneralPreferencesViewController general;
    OVPromptPreferencesViewController prompt;
    const Recorder recorder;
    ASSERT_TRUE(HVSettingsController::shared().resetAllSettingsPreservingKeys({}));
    const std::vector<QString> expected = {
        OVPreferencesGeneralMarkedTextColorDidChangeNotification,
        OVPreferencesGeneralDidChangeNormalizeParagraphIndentNotification,
        OVPreferencesGeneralDidChangePreventUnderlineColorsNotification,
        OVPreferencesGeneralDidChangeSecondDisplayTracksEditsNotification,
        OVPreferencesGeneralQuickZoomScaleDidChangeNotification,
        OVPreferencesGeneralAdjustDocumentsInDarkModeDidChangeNotification,
        OVPreferencesPromptDidChangeShowToolbarInPromptModeNotification,
        OVPreferencesPromptDidChangeShowVerticalScrollerNotification,
    };
    EXPECT_EQ(recorder.names(), expected);
    EXPECT_EQ(recorder.posted[1].second, &general);
    EXPECT_EQ(recorder.posted[6].second, nullptr);
}

TEST_F(SettingsPanes, PromptRadiosStayPairedAndItsSwitchesStoreAndAnnounce)
{
    OVPromptPreferencesViewController pane;
    pane.show();
    const Recorder recorder;
    EXPECT_TRUE(pane.operatorPromptsWindowModeRadio()->isChecked());
    EXPECT_TRUE(pane.dualScreenTalentMatchesOperatorRadio()->isChecked());
    QTest::mouseClick(pane.operatorPromptsFullScreenRadio(), Qt::LeftButton, {},
                      onIndicator(pane.operatorPromptsFullScreenRadio()));
    EXPECT_FALSE(pane.operatorPromptsWindowModeRadio()->isChecked());
    EXPECT_TRUE(pane.operatorPromptsFullScreenRadio()->isChecked());
    EXPECT_FALSE(defaults().boolForKey(QStringLiteral("useWindowedPrompting")));
    EXPECT_EQ(recorder.count(OVPreferencesPromptDidChangeWindowedPromptingNotification), 1);
    pane.dualScreenScrollPositionAction(pane.dualScreenOperatorMatchesTalentRadio());
    EXPECT_FALSE(pane.dualScreenTalentMatchesOperatorRadio()->isChecked());
    EXPECT_FALSE(defaults().boolForKey(QStringLiteral("talentUsesOperatorPosition")));
    EXPECT_EQ(recorder.posted.size(), 1u);

    // The options menu shows the stored state as it opens; the always-cover item is always there.
    ASSERT_NE(pane.alwaysCoverTheDesktopMenuItem(), nullptr);
    defaults().setBool(true, QStringLiteral("maximizeWindowSize"));
    pane.menuNeedsUpdate();
    EXPECT_TRUE(pane.maximizeWindowSizeMenuItem()->isChecked());
    pane.maximizeWindowSizeMenuItem()->trigger();
    EXPECT_FALSE(defaults().boolForKey(QStringLiteral("maximizeWindowSize")));
    EXPECT_EQ(recorder.count(OVPreferencesPromptDidChangeMaximizeWindowSizeNotification), 1);

    QTest::mouseClick(pane.showPrompterScrollbarButton(), Qt::LeftButton, {},
                      onIndicator(pane.showPrompterScrollbarButton()));
    EXPECT_FALSE(defaults().boolForKey(QStringLiteral("showScrollBarInPromptMode")));
    EXPECT_EQ(recorder.count(OVPreferencesPromptDidChangeShowVerticalScrollerNotification), 1);
    // A change made elsewhere (another pane, an import) shows at once.
    defaults().setBool(true, QStringLiteral("showScrollBarInPromptMode"));
    EXPECT_TRUE(pane.showPrompterScrollbarButton()->isChecked());
    QComboBox* toolbar = pane.toolbarStateControl();
    toolbar->setCurrentIndex(2);
    emit toolbar->activated(2);
    EXPECT_EQ(OVSharedPreferencesAccess::promptModeToolbarState(), 2u);
    EXPECT_EQ(recorder.count(OVPreferencesPromptDidChangeShowToolbarInPromptModeNotification), 1);
}

TEST_F(SettingsPanes, TheHatchSwitchRedrawsMarksWithoutARestart)
{
    ASSERT_TRUE(OVSharedPreferencesAccess::markedTextColor());
    EXPECT_EQ(OVSharedPreferencesAccess::markedTextColor()->standardPattern, 2);
    OVGeneralPreferencesViewController pane;
    pane.show();
    const Recorder recorder;
    auto* hatch = pane.findChild<QCheckBox*>(QStringLiteral("markedTextUseHighlightPattern"));
    ASSERT_NE(hatch, nullptr);
    QTest::mouseClick(hatch, Qt::LeftButton);
    EXPECT_EQ(OVSharedPreferencesAccess::markedTextColor()->standardPattern, 0);
    EXPECT_EQ(recorder.count(OVPreferencesGeneralMarkedTextColorDidChangeNotification), 1);
}

TEST_F(SettingsPanes, TheUnderlineColourSwitchShowsAndHidesTheMenuItemWithItsSeparator)
{
    OVAppDelegate delegate;
    OVGeneralPreferencesViewController pane;
    pane.show();
    const Recorder recorder;
    MenuItem* item = delegate.mainMenu()->itemWithAction(QStringLiteral("removeUnderlineColors:"));
    ASSERT_TRUE(item && item->menu());
    MenuItem* separator = item->menu()->itemAtIndex(item->menu()->indexOfItem(item) - 1);
    ASSERT_TRUE(separator && separator->isSeparatorItem());
    auto* prevent = pane.findChild<QCheckBox*>(QStringLiteral("preventUnderlineColors"));
    ASSERT_TRUE(prevent && prevent->isChecked());
    QTest::mouseClick(prevent, Qt::LeftButton, {}, onIndicator(prevent));
    EXPECT_FALSE(defaults().boolForKey(QStringLiteral("preventUnderlineColors")));
    EXPECT_FALSE(item->isHidden());
    EXPECT_FALSE(separator->isHidden());
    QTest::mouseClick(prevent, Qt::LeftButton, {}, onIndicator(prevent));
    EXPECT_TRUE(item->isHidden());
    EXPECT_TRUE(separator->isHidden());
    ASSERT_EQ(recorder.count(OVPreferencesGeneralDidChangePreventUnderlineColorsNotification), 2);
    EXPECT_EQ(recorder.posted.back().second, &pane);
}

} // namespace
