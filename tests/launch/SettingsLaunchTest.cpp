// The settings window in the program as launched: the default style chosen on the General pane
// reaches a new script, the Prompt pane's scroller switch reaches Prompt mode, and both outlast a
// restart on the same settings folder. Real key and mouse events throughout.
#include "app/OVAppDelegate.h"
#include "app/OVGeneralPreferencesViewController.h"
#include "app/OVPromptPreferencesViewController.h"
#include "platform/appkit/ScrollView.h"
#include "platform/appkit/Scroller.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVFontManager.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/AttributedString.h"
#include "platform/text/ParagraphStyle.h"
#include "platform/text/TextStorage.h"
#include "platform/textview/TextView.h"
#include "prompter_view/OVScrollView.h"
#include "prompting/OVCore.h"
#include "prompting/OVCorePrompterView.h"
#include "settings/OVSharedPreferencesAccess.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDialog>
#include <QTest>
#include <QToolBar>
#include <QWidget>

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
