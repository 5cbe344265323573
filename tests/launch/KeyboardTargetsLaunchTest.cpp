// Keys act in the window that has the keyboard, in the program as launched: the real start on an
// empty settings folder, driven by key events into the windows a user types in.
#include "app/OVAppDelegate.h"
#include "app/OVDocumentSession.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/Document.h"
#include "platform/appkit/Window.h"
#include "prompting/OVApplication.h"
#include "prompting/OVCore.h"
#include "text/OVBookmarkController.h"
#include "text/OVTextView.h"
#include "window/OVDocumentWindowController.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

#include "LaunchedScriptTest.h"

namespace {

class LaunchedKeyboard : public launchtest::LaunchedScriptTest {
protected:
    OVTextView& text() const { return *dynamic_cast<OVTextView*>(controller().textView()); }
    OVCore& core() const { return OVApplication::shared().core(); }
    static void type(QWidget* into, Qt::Key which, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(into, which, modifiers);
        QCoreApplication::processEvents();
    }
    static bool send(const char* action)
    {
        const bool sent = Application::shared().sendAction(QString::fromLatin1(action), nullptr, {});
        QCoreApplication::processEvents();
        return sent;
    }
    static QWidget* shownWindow(const char* name)
    {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->objectName() == QLatin1String(name) && window->isVisible())
                return window;
        return nullptr;
    }
    template <typename T> static T* shown()
    {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (auto* found = qobject_cast<T*>(window); found && found->isVisible())
                return found;
        return nullptr;
    }
    // Where a key typed into the window lands: its focused part, or the window itself.
    static QWidget* typingTarget(QWidget* window)
    {
        QWidget* focused = window->focusWidget();
        return focused ? focused : window;
    }
};

constexpr Qt::KeyboardModifiers kJump = Qt::ControlModifier | Qt::AltModifier;

TEST_F(LaunchedKeyboard, BookmarkJumpKeysActOnlyInTheScriptsWindow)
{
    ASSERT_GE(OVBookmarkController::sharedBookmarkController().bookmarkInfoArray().size(), 2u);
    QWidget* scriptWindow = controller().window()->hostWidget();
    const Range start{0, 0};
    text().setSelectedRange(start);

    // Typed into the naming sheet, Ctrl+Alt+2 is the sheet's key.
    ASSERT_TRUE(send("addBookmark:"));
    const QPointer<QDialog> naming = shown<QDialog>();
    ASSERT_NE(naming, nullptr);
    auto* field = naming->findChild<QLineEdit*>();
    ASSERT_NE(field, nullptr);
    type(field, Qt::Key_2, kJump);
    EXPECT_EQ(text().selectedRange(), start);
    type(field, Qt::Key_Escape);
    EXPECT_TRUE(!naming || !naming->isVisible());

    // So it is typed into the settings window.
    type(scriptWindow, Qt::Key_Comma, Qt::ControlModifier);
    QWidget* settings = session->appDelegate().settingsWindow();
    ASSERT_TRUE(settings && settings->isVisible());
    type(typingTarget(settings), Qt::Key_2, kJump);
    EXPECT_EQ(text().selectedRange(), start);

    // In the script's window it jumps to the second bookmark.
    type(scriptWindow, Qt::Key_2, kJump);
    const qsizetype second = OVBookmarkController::sharedBookmarkController().bookmarkInfoArray()[1].location;
    EXPECT_EQ(text().selectedRange(), Range(second + 1, 0));
}

TEST_F(LaunchedKeyboard, CtrlWAndEscCloseTheSettingsEditorsNotesAndPanels)
{
    QWidget* scriptWindow = controller().window()->hostWidget();
    struct Opened {
        const char* what;
        std::function<QWidget*()> open;
    };
    const std::vector<Opened> windows{
        {"the settings window",
         [&] {
             type(scriptWindow, Qt::Key_Comma, Qt::ControlModifier);
             return session->appDelegate().settingsWindow();
         }},
        {"the window-size preset editor",
         [] {
             send("editDocumentPrompterContentSizePresets:");
             return shownWindow("windowSizePresetEditor");
         }},
        {"the properties",
         [] {
             send("orderFrontPropertiesWindow:");
             return shown<QDialog>();
         }},
        {"What's New",
         [] {
             send("showWhatsNew:");
             return shownWindow("whatsNewWindow");
         }},
        {"the Fonts panel",
         [] {
             send("orderFrontFontPanel:");
             return shownWindow("sharedFontPanel");
         }},
        {"the Colors panel",
         [] {
             send("orderFrontColorPanel:");
             return shownWindow("sharedColorPanel");
         }},
    };
    const QString script = text().textStorage().string();
    for (const Opened& opened : windows) {
        for (const auto& [name, which, modifiers] :
             {std::tuple{"Esc", Qt::Key_Escape, Qt::KeyboardModifiers(Qt::NoModifier)},
              std::tuple{"Ctrl+W", Qt::Key_W, Qt::KeyboardModifiers(Qt::ControlModifier)}}) {
            const QPointer<QWidget> window = opened.open();
            ASSERT_TRUE(window && window->isVisible()) << opened.what << " did not open";
            type(typingTarget(window), which, modifiers);
            EXPECT_TRUE(!window || !window->isVisible()) << name << " left " << opened.what << " open";
        }
    }
    // Closing those never closed the script.
    EXPECT_EQ(documents().size(), 1u);
    EXPECT_TRUE(controller().window()->isVisible());
    EXPECT_EQ(text().textStorage().string(), script);
    // The Colors panel closed by Esc still holds its colour picker.
    send("orderFrontColorPanel:");
    QWidget* colors = shownWindow("sharedColorPanel");
    ASSERT_NE(colors, nullptr);
    QWidget* picker = colors->findChild<QWidget*>(QStringLiteral("colorPicker"));
    ASSERT_NE(picker, nullptr);
    EXPECT_TRUE(picker->isVisible());
}

TEST_F(LaunchedKeyboard, PromptModeCancelsTheQuestionLeftOpenOnAnotherScriptAndHearsItsHotKeys)
{
    Document& first = document();
    QWidget* firstWindow = controller().window()->hostWidget();
    // An edit, and then the question of closing it, left open on the first script.
    type(firstWindow, Qt::Key_X);
    ASSERT_TRUE(first.isDocumentEdited());
    ASSERT_TRUE(send("performClose:"));
    const QPointer<QMessageBox> question = shown<QMessageBox>();
    ASSERT_NE(question, nullptr);
    ASSERT_TRUE(question->text().startsWith(QStringLiteral("Do you want to save")));

    // A second script, and Prompt mode entered from it.
    type(question, Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(documents().size(), 1u) << "a key typed into the question reached the menus";
    ASSERT_TRUE(Application::shared().sendAction(QStringLiteral("newDocument:"), nullptr, {}));
    QCoreApplication::processEvents();
    ASSERT_EQ(documents().size(), 2u);
    Document* second = documents().front() == &first ? documents().back() : documents().front();
    Window* secondWindow = second->primaryWindowController()->window();
    secondWindow->makeKeyAndOrderFront();
    QCoreApplication::processEvents();
    type(secondWindow->hostWidget(), Qt::Key_Return, Qt::ControlModifier);
    ASSERT_TRUE(core().isModePrompt());

    // The question ended as cancelled: the first script stays open with its edit.
    EXPECT_TRUE(!question || !question->isVisible());
    EXPECT_EQ(shown<QMessageBox>(), nullptr);
    EXPECT_EQ(documents().size(), 2u);
    EXPECT_TRUE(first.isDocumentEdited());

    // The hot keys reach the prompter: Space starts it, Esc leaves Prompt mode.
    type(secondWindow->hostWidget(), Qt::Key_Space);
    EXPECT_TRUE(core().isStatusStarted());
    type(secondWindow->hostWidget(), Qt::Key_Escape);
    EXPECT_TRUE(core().isModeEdit());
}

} // namespace
