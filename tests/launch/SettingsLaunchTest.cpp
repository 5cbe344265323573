// The settings window in the program as launched: the default style chosen on the General pane
// reaches a new script, the Prompt pane's scroller switch reaches Prompt mode, and both outlast a
// restart on the same settings folder. Real key and mouse events throughout.
#include "app/OVAppDelegate.h"
#include "platform/appkit/ScrollView.h"
#include "platform/appkit/Scroller.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVFontManager.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/AttributedString.h"
#include "platform/text/ParagraphStyle.h"
#include "platform/text/TextStorage.h"
#include "platform/textformats/PlainTextCodec.h"
#include "platform/textview/TextView.h"
#include "preferences/OVAdvancedPreferencesViewController.h"
#include "preferences/OVDefaultStyleTextView.h"
#include "preferences/OVGeneralPreferencesViewController.h"
#include "preferences/OVPromptPreferencesViewController.h"
#include "prompter_view/OVScrollView.h"
#include "prompting/OVCore.h"
#include "prompting/OVCorePrompterView.h"
#include "settings/OVSharedPreferencesAccess.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDialog>
#include <QFontMetricsF>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QToolBar>
#include <QWidget>

#include <set>

#include "LaunchedScriptTest.h"

namespace {

class LaunchedSettings : public launchtest::LaunchedScriptTest {
protected:
    void key(QWidget* target, Qt::Key which, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(target, which, modifiers);
        QCoreApplication::processEvents();
    }
    QWidget* host(Document& of) const { return of.primaryWindowController()->window()->hostWidget(); }
    QWidget* openSettings()
    {
        key(host(document()), Qt::Key_Comma, Qt::ControlModifier);
        QWidget* settings = session->appDelegate().settingsWindow();
        EXPECT_TRUE(settings && settings->isVisible());
        return settings;
    }
    void showPane(QWidget* settings, const char* identifier)
    {
        auto* toolbar = settings->findChild<QToolBar*>();
        ASSERT_NE(toolbar, nullptr);
        QAction* action = toolbar->findChild<QAction*>(QString::fromLatin1(identifier));
        ASSERT_NE(action, nullptr);
        QWidget* button = toolbar->widgetForAction(action);
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
        QCoreApplication::processEvents();
    }
    // The paragraph style of a new script's typed text.
    ParagraphStyle typedStyle()
    {
        key(host(document()), Qt::Key_N, Qt::ControlModifier);
        EXPECT_EQ(documents().size(), 2u);
        Document& made = *documents().back();
        QTest::keyClicks(host(made), QStringLiteral("Centred"));
        QCoreApplication::processEvents();
        auto* controller = dynamic_cast<OVDocumentWindowController*>(made.primaryWindowController());
        const TextStorage& storage = controller->textView()->textStorage();
        EXPECT_TRUE(storage.string().contains(QStringLiteral("Centred")));
        const ParagraphStyle* style =
            storage.length() ? storage.attribute(kParagraphStyleAttributeName, 0).paragraphStyle() : nullptr;
        return style ? *style : ParagraphStyle();
    }
    bool promptModeShowsTheScroller()
    {
        key(host(document()), Qt::Key_Return, Qt::ControlModifier);
        EXPECT_TRUE(OVCore::sharedCore().isModePrompt());
        auto* scrollView = dynamic_cast<OVScrollView*>(controller().prompterView()->scrollView());
        EXPECT_NE(scrollView, nullptr);
        const bool shown =
            scrollView && scrollView->overlayScrollerBehavior() != kOverlayScrollerShowOnHover &&
            scrollView->verticalScroller() && !scrollView->verticalScroller()->isHiddenOrHasHiddenAncestor();
        key(host(document()), Qt::Key_Escape);
        EXPECT_TRUE(OVCore::sharedCore().isModeEdit());
        return shown;
    }
};

TEST_F(LaunchedSettings, TheDefaultStyleAndTheScrollerSwitchReachTheScriptAndOutlastARestart)
{
    EXPECT_TRUE(promptModeShowsTheScroller());
    QWidget* settings = openSettings();
    ASSERT_NE(settings, nullptr);
    auto* general = dynamic_cast<OVGeneralPreferencesViewController*>(
        settings->findChild<QWidget*>(QStringLiteral("general")));
    ASSERT_NE(general, nullptr);
    ASSERT_TRUE(general->isVisible());
    QComboBox* alignment = general->textAlignmentButton();
    alignment->setFocus();
    key(alignment, Qt::Key_Down);
    EXPECT_EQ(alignment->currentText(), QStringLiteral("Center"));
    QComboBox* spacing = general->lineSpacingButton();
    for (int step = 0; step < 3; ++step)
        key(spacing, Qt::Key_Down);
    EXPECT_EQ(spacing->currentText(), QStringLiteral("1.5"));
    {
        const std::optional<AttributeDictionary> stored = OVSharedPreferencesAccess::defaultStyleAttributes();
        ASSERT_TRUE(stored && stored->value(kParagraphStyleAttributeName).paragraphStyle());
        EXPECT_EQ(stored->value(kParagraphStyleAttributeName).paragraphStyle()->alignment,
                  TextAlignment::Center);
    }

    showPane(settings, "prompter");
    auto* prompt = dynamic_cast<OVPromptPreferencesViewController*>(
        settings->findChild<QWidget*>(QStringLiteral("prompter")));
    ASSERT_NE(prompt, nullptr);
    ASSERT_TRUE(prompt->isVisible());
    QCheckBox* scroller = prompt->showPrompterScrollbarButton();
    ASSERT_TRUE(scroller->isChecked());
    QTest::mouseClick(scroller, Qt::LeftButton, {}, {8, scroller->height() / 2});
    EXPECT_FALSE(scroller->isChecked());
    settings->close();
    QCoreApplication::processEvents();

    ParagraphStyle style = typedStyle();
    EXPECT_EQ(style.alignment, TextAlignment::Center);
    EXPECT_DOUBLE_EQ(style.lineHeightMultiple, 1.5);
    documents().back()->close();
    QCoreApplication::processEvents();
    EXPECT_FALSE(promptModeShowsTheScroller());

    // Quit and start again on the same settings folder.
    {
        AlertPresenterScope discard([](Alert&) { return Alert::kThirdButtonReturn; });
        session.reset();
    }
    ASSERT_TRUE(UserDefaults::shared().synchronize());
    UserDefaults reread(UserDefaults::shared().filePath());
    EXPECT_FALSE(reread.hasUserValue(QStringLiteral("showScrollBarInPromptMode")) &&
                 reread.boolForKey(QStringLiteral("showScrollBarInPromptMode")));
    EXPECT_TRUE(reread.hasUserValue(QStringLiteral("defaultDocumentStyle")));
    session = OVProgramStart::launch({script});
    QCoreApplication::processEvents();
    ASSERT_EQ(documents().size(), 1u);
    style = typedStyle();
    EXPECT_EQ(style.alignment, TextAlignment::Center);
    EXPECT_DOUBLE_EQ(style.lineHeightMultiple, 1.5);
    documents().back()->close();
    QCoreApplication::processEvents();
    EXPECT_FALSE(promptModeShowsTheScroller());
}

// The General pane as a user meets it: a style too tall for the sample's box scrolls there by the
// keys the sample takes as the pane shows, and the pane's pop-ups offer what the program handles.
TEST_F(LaunchedSettings, ATallStyleScrollsInTheSampleAndThePopUpsOfferWhatTheProgramHandles)
{
    QWidget* settings = openSettings();
    ASSERT_NE(settings, nullptr);
    auto* general = dynamic_cast<OVGeneralPreferencesViewController*>(
        settings->findChild<QWidget*>(QStringLiteral("general")));
    ASSERT_NE(general, nullptr);
    OVDefaultStyleSampleHost* sample = general->defaultStyleScrollView();
    EXPECT_EQ(settings->focusWidget(), sample) << "the sample takes the keyboard as its pane shows";
    QScrollBar* scroller = sample->verticalScrollBar();
    EXPECT_FALSE(scroller->isVisible()) << "the default style fits the box";

    // Line spacing 2.0 on the default 100-point font: taller than the box.
    QComboBox* spacing = general->lineSpacingButton();
    const QFontMetricsF figures(spacing->font());
    EXPECT_EQ(figures.horizontalAdvance(QLatin1Char('1')), figures.horizontalAdvance(QLatin1Char('8')))
        << "the figures line up";
    spacing->setFocus();
    for (int step = 0; step < 10; ++step)
        key(spacing, Qt::Key_Down);
    ASSERT_EQ(spacing->currentText(), QStringLiteral("2.0"));
    ASSERT_TRUE(scroller->isVisible());
    EXPECT_GE(scroller->maximum() + sample->height(),
              int(general->defaultStyleTextView().frame().size.height));
    // The letters in view: the middle of the line.
    EXPECT_EQ(scroller->value(), scroller->maximum() / 2);
    QTest::mouseClick(sample, Qt::LeftButton, {}, {20, 20});
    key(sample, Qt::Key_End);
    EXPECT_EQ(scroller->value(), scroller->maximum());
    key(sample, Qt::Key_Home);
    EXPECT_EQ(scroller->value(), 0);
    key(sample, Qt::Key_PageDown);
    EXPECT_GT(scroller->value(), 0);
    // The style itself is untouched by scrolling.
    const std::optional<AttributeDictionary> stored = OVSharedPreferencesAccess::defaultStyleAttributes();
    ASSERT_TRUE(stored && stored->value(kParagraphStyleAttributeName).paragraphStyle());
    EXPECT_DOUBLE_EQ(stored->value(kParagraphStyleAttributeName).paragraphStyle()->lineHeightMultiple, 2.0);

    QComboBox* alignment = general->textAlignmentButton();
    for (int item = 0; item < alignment->count(); ++item)
        EXPECT_FALSE(alignment->itemIcon(item).isNull()) << alignment->itemText(item).toStdString();
    QComboBox* encodings = general->encodingsButton();
    std::set<quint32> offered;
    for (int item = 0; item < encodings->count(); ++item)
        if (encodings->itemData(item).isValid())
            offered.insert(encodings->itemData(item).toUInt());
    for (const PlainTextCodec::NamedEncoding& known : PlainTextCodec::knownEncodings())
        EXPECT_TRUE(offered.count(quint32(known.encoding))) << known.name;
    EXPECT_TRUE(offered.count(0u)) << "and the automatic choice";
    EXPECT_EQ(settings->findChild<QCheckBox*>(QStringLiteral("adjustDocumentsInDarkMode")), nullptr);

    // A fixed overdraw height below the smallest one falls back to 3000 as the pane is left.
    showPane(settings, "advanced");
    auto* advanced = dynamic_cast<OVAdvancedPreferencesViewController*>(
        settings->findChild<QWidget*>(QStringLiteral("advanced")));
    ASSERT_NE(advanced, nullptr);
    UserDefaults::shared().setInteger(2, QStringLiteral("overdrawOptionTag"));
    QLineEdit* field = advanced->customOverdrawParameterTextField();
    ASSERT_TRUE(field->isEnabled());
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("12"));
    showPane(settings, "general");
    EXPECT_EQ(field->text(), QStringLiteral("3000"));
    EXPECT_EQ(UserDefaults::shared().integerForKey(QStringLiteral("customOverdrawFixedHeightPoints")), 3000);
}

} // namespace

namespace {

TEST_F(LaunchedSettings, TheFontPanelOpensOnTheSelectionAndItsChoiceIsOneUndoableStep)
{
    TextView& text = *controller().textView();
    key(host(document()), Qt::Key_A, Qt::ControlModifier);
    const AttributedString before(text.textStorage());
    key(host(document()), Qt::Key_T, Qt::ControlModifier);
    QFontDialog* panel = HVFontManager::fontPanel();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isVisible());
    // No effect boxes are offered that the script would not take.
    for (const QCheckBox* box : panel->findChildren<QCheckBox*>())
        EXPECT_FALSE(box->isVisible()) << box->text().toStdString();
    // The user picks a size in the panel; the script in front takes it.
    QFont chosen = panel->currentFont();
    chosen.setPointSizeF(31);
    panel->setCurrentFont(chosen);
    QCoreApplication::processEvents();
    const auto fontValue = text.textStorage().attribute(kFontAttributeName, 0);
    const Font* font = fontValue.font();
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->pointSize, 31);
    key(host(document()), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(AttributedString(text.textStorage()) == before);
    panel->hide();
}

} // namespace
