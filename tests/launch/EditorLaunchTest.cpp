// The editor's ruler and marks in the program as launched: the real start on an empty settings
// folder, driven by key events into the script's window.
#include "app/OVAppDelegate.h"
#include "app/OVDocumentSession.h"
#include "app/OVProgramStart.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/Document.h"
#include "platform/appkit/DocumentController.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/ScrollView.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/Clock.h"
#include "platform/text/AttributeNames.h"
#include "platform/textview/RulerView.h"
#include "prompting/OVApplication.h"
#include "prompting/OVCore.h"
#include "text/OVTextView.h"
#include "window/OVDocumentPrompterView.h"
#include "window/OVDocumentWindowController.h"
#include "window/OVFlashWindow.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <gtest/gtest.h>

#include "LaunchedScriptTest.h"

namespace {

class LaunchedEditor : public launchtest::LaunchedScriptTest {
protected:
    OVTextView& text() const { return *dynamic_cast<OVTextView*>(controller().textView()); }
    OVCore& core() const { return OVApplication::shared().core(); }
    void key(Qt::Key which, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(controller().window()->hostWidget(), which, modifiers);
        QCoreApplication::processEvents();
    }
    std::vector<Range> marks() const
    {
        std::vector<Range> found;
        text().layoutManager()->enumerateTemporaryAttribute(
            OVMarkedTextAttributeName, {0, text().textStorage().length()}, false,
            [&](const AttributeValue& value, const Range& run, bool&) {
                if (!value.isNull())
                    found.push_back(run);
            });
        return found;
    }
};

TEST_F(LaunchedEditor, TheRulerShortcutShowsTheRulerWhichPromptModeHidesAndEditModeBrings)
{
    EXPECT_FALSE(text().isRulerVisible());
    key(Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(text().isRulerVisible());
    ScrollView* scroll = controller().documentPrompterView()->scrollView();
    EXPECT_EQ(scroll->contentView()->frame().origin.y, RulerView::kThickness);
    // Indents are normalised by default, so the ruler offers the tab stops only.
    for (const RulerMarker& marker : text().rulerView()->markers())
        EXPECT_FALSE(marker.isIndent());

    key(Qt::Key_Return, Qt::ControlModifier);
    ASSERT_TRUE(core().isModePrompt());
    EXPECT_FALSE(text().isRulerVisible());
    EXPECT_EQ(scroll->horizontalRulerThickness(), 0.0);
    key(Qt::Key_Escape);
    ASSERT_TRUE(core().isModeEdit());
    EXPECT_TRUE(text().isRulerVisible());

    key(Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(text().isRulerVisible());
    EXPECT_EQ(scroll->contentView()->frame().origin.y, 0.0);
}

TEST_F(LaunchedEditor, TheMarkKeyMarksWhatShowsWithAFlashThatEditModeTakesAway)
{
    EXPECT_TRUE(marks().empty());
    key(Qt::Key_Return, Qt::ControlModifier);
    ASSERT_TRUE(core().isModePrompt());
    key(Qt::Key_M);
    const std::vector<Range> marked = marks();
    ASSERT_EQ(marked.size(), 1u);
    EXPECT_EQ(marked.front().location, 0);
    EXPECT_GT(marked.front().length, 20);
    EXPECT_LT(marked.front().length, text().textStorage().length());
    OVFlashWindow* flash = controller().flashWindow();
    ASSERT_NE(flash, nullptr);
    EXPECT_EQ(flash->superview(), controller().documentPrompterView());

    key(Qt::Key_Escape);
    ASSERT_TRUE(core().isModeEdit());
    EXPECT_EQ(controller().flashWindow(), nullptr);
    // Marks outlast the change of mode.
    EXPECT_EQ(marks(), marked);
}

QDialog* shownDialog()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible())
            return dialog;
    return nullptr;
}

TEST_F(LaunchedEditor, ShortcutsTypedIntoTheNamingWindowOrTheSettingsActThereAndNeverOnTheScript)
{
    const QString script = text().textStorage().string();
    // A word on a line without a bookmark yet.
    qsizetype start = 0;
    for (qsizetype end = script.indexOf(u'\n'); end > 0; start = end + 1, end = script.indexOf(u'\n', start))
        if (end - start > 5 && !script.mid(start, end - start).contains(QChar(0xFFFC)))
            break;
    const Range word{start, 5};
    text().setSelectedRange(word);
    ASSERT_TRUE(Application::shared().sendAction(QStringLiteral("addBookmark:"), nullptr, {}));
    QCoreApplication::processEvents();
    const QPointer<QDialog> naming = shownDialog();
    ASSERT_NE(naming, nullptr);
    ASSERT_EQ(QApplication::activeWindow(), naming);
    auto* field = naming->findChild<QLineEdit*>();
    ASSERT_NE(field, nullptr);
    QTest::keyClicks(field, QStringLiteral("Opening"));
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(field->selectedText(), QStringLiteral("Opening"));
    QTest::keyClick(field, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(field->text(), QString());
    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(documents().size(), 1u);
    EXPECT_EQ(text().textStorage().string(), script);
    EXPECT_EQ(text().selectedRange(), word);
    field->setText(QStringLiteral("Opening"));
    QTest::keyClick(field, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_TRUE(!naming || !naming->isVisible());
    // One bookmark more, and the script's words untouched.
    const auto words = [](QString string) { return string.remove(QChar(0xFFFC)); };
    EXPECT_EQ(text().textStorage().string().count(QChar(0xFFFC)), script.count(QChar(0xFFFC)) + 1);
    EXPECT_EQ(words(text().textStorage().string()), words(script));

    // The settings window is a panel of its own: New and Cut typed there reach no script.
    key(Qt::Key_Comma, Qt::ControlModifier);
    QWidget* settings = session->appDelegate().settingsWindow();
    ASSERT_NE(settings, nullptr);
    ASSERT_TRUE(settings->isVisible());
    ASSERT_EQ(QApplication::activeWindow(), settings);
    const QString bookmarked = text().textStorage().string();
    text().selectAll();
    QTest::keyClick(settings, Qt::Key_X, Qt::ControlModifier);
    QTest::keyClick(settings, Qt::Key_N, Qt::ControlModifier);
    QCoreApplication::processEvents();
    EXPECT_EQ(documents().size(), 1u);
    EXPECT_EQ(text().textStorage().string(), bookmarked);
}

TEST_F(LaunchedEditor, ANewDocumentIsRefusedWhilePromptingAndMadeWholeInEditMode)
{
    // How a new script is set up in Edit mode: its style and focus arrow.
    const auto setUp = [this] {
        auto* made = dynamic_cast<OVDocumentWindowController*>(documents().back()->primaryWindowController());
        EXPECT_NE(made, nullptr);
        if (!made)
            return QString();
        const AttributeValue font = made->textView()->typingAttributes().value(kFontAttributeName);
        return QStringLiteral("%1 %2 arrow %3")
            .arg(font.font() ? font.font()->fontName : QString())
            .arg(font.font() ? font.font()->pointSize : 0)
            .arg(made->documentPrompterView()->isFocusArrowVisible());
    };
    key(Qt::Key_N, Qt::ControlModifier);
    ASSERT_EQ(documents().size(), 2u);
    const QString whole = setUp();
    documents().back()->close();
    QCoreApplication::processEvents();
    ASSERT_EQ(documents().size(), 1u);

    key(Qt::Key_Return, Qt::ControlModifier);
    ASSERT_TRUE(core().isModePrompt());
    key(Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(documents().size(), 1u);
    // As a later start with --new-document asks it.
    EXPECT_EQ(session->appDelegate().handleInstanceRequest({OVSingleInstance::Command::NewDocument, {}}),
              OVAppDelegate::kReplyFailure);
    EXPECT_EQ(documents().size(), 1u);
    EXPECT_TRUE(core().isModePrompt());

    key(Qt::Key_Escape);
    ASSERT_TRUE(core().isModeEdit());
    key(Qt::Key_N, Qt::ControlModifier);
    ASSERT_EQ(documents().size(), 2u);
    EXPECT_EQ(setUp(), whole);
}

TEST_F(LaunchedEditor, CustomizeToolbarIsOfferedInEditModeOnly)
{
    auto* bar = controller().window()->hostWidget()->findChild<QToolBar*>();
    ASSERT_TRUE(bar);
    // What a right click on the toolbar offers, read and closed as the menu shows.
    const auto offered = [bar] {
        auto titles = std::make_shared<QStringList>();
        QTimer::singleShot(0, bar, [titles] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                for (QAction* action : menu->actions())
                    *titles << action->text();
                menu->close();
            }
        });
        QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5), bar->mapToGlobal(QPoint(5, 5)));
        QCoreApplication::sendEvent(bar, &click);
        QCoreApplication::processEvents();
        return *titles;
    };
    const UserInterfaceItem customize{QStringLiteral("runToolbarCustomizationPalette:"), 0, true};
    EXPECT_EQ(offered(), QStringList{QStringLiteral("Customize Toolbar…")});
    EXPECT_TRUE(Application::shared().validateItem(customize));

    key(Qt::Key_Return, Qt::ControlModifier);
    ASSERT_TRUE(core().isModePrompt());
    EXPECT_TRUE(offered().isEmpty()) << "the running prompter keeps its toolbar";
    EXPECT_FALSE(Application::shared().validateItem(customize));
    key(Qt::Key_Escape);
    ASSERT_TRUE(core().isModeEdit());
}

} // namespace
