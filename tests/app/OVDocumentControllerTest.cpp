// The program's document controller: which script is front-most as windows become main and close,
// what it announces, the talent output following it, readable paths, and new scripts from text.
#include "document/OVDocumentController.h"
#include "tests/support/AppTestSupport.h"

#include "output/OVTalentWindowController.h"
#include "platform/appkit/UndoManager.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/text/TextStorage.h"
#include "platform/textview/TextView.h"
#include "tests/support/LogCapture.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Announcement {
    const void* object;
    QVariantMap userInfo;
};

class DocumentControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        UserDefaults::shared().resetUserValues();
        core = std::make_unique<OVCore>();
        scripts = std::make_unique<apptest::ScriptDocuments>(*core, dir);
        observer = NotificationObserver(NotificationCenter::shared(),
                                        OVDocumentControllerDidChangeFrontMostDocumentNotification, nullptr,
                                        [this](const Notification& n) {
                                            heard.push_back({n.object, n.userInfo});
                                        });
    }
    void TearDown() override
    {
        observer.reset();
        Application::shared().setMainWindow(nullptr);
        scripts.reset();
        core.reset();
        UserDefaults::shared().resetUserValues();
    }

    OVDocumentController& documents() { return scripts->documents; }
    Document* script(const QString& text)
    {
        Error error;
        OVDocument* document = documents().makeNewPrompterDocumentWithString(text, &error);
        EXPECT_NE(document, nullptr) << error.localizedDescription().toStdString();
        return document;
    }
    static Window* windowOf(Document* document) { return document->primaryWindowController()->window(); }
    static QVariantMap previousWas(const QString& className)
    {
        return {{OVDocumentControllerPreviousFrontMostDocumentClassNameKey, className}};
    }

    apptest::ClockAndScreen scopes;
    QTemporaryDir dir;
    std::unique_ptr<OVCore> core;
    std::unique_ptr<apptest::ScriptDocuments> scripts;
    NotificationObserver observer;
    std::vector<Announcement> heard;
};

TEST_F(DocumentControllerTest, TheFrontMostDocumentFollowsMainWindowsAndIsAnnouncedEachTime)
{
    EXPECT_EQ(documents().frontMostDocument(), nullptr);
    // A new script's window becomes main: the very first announcement has no previous document.
    Document* first = script(QStringLiteral("First script"));
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].object, first);
    EXPECT_TRUE(heard[0].userInfo.isEmpty());
    Document* second = script(QStringLiteral("Second script"));
    Window panel(Rect{{50, 50}, {200, 100}});

    Application::shared().setMainWindow(windowOf(first));
    heard.clear();
    Application::shared().setMainWindow(windowOf(second));
    // A panel has no document: the script behind it stays front-most and nothing is said.
    Application::shared().setMainWindow(&panel);
    Application::shared().setMainWindow(windowOf(second));
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].object, second);
    EXPECT_EQ(heard[0].userInfo, previousWas(QStringLiteral("OVDocument")));
    EXPECT_EQ(documents().frontMostDocument(), second);

    // Closing a window that is not the front-most one changes nothing.
    Document* third = script(QStringLiteral("Third"));
    Application::shared().setMainWindow(windowOf(second));
    heard.clear();
    third->close();
    EXPECT_TRUE(heard.empty());
    EXPECT_EQ(documents().frontMostDocument(), second);

    second->close();
    ASSERT_FALSE(heard.empty());
    EXPECT_EQ(heard[0].object, nullptr);
    EXPECT_EQ(heard[0].userInfo, previousWas(QStringLiteral("OVDocument")));
}

TEST_F(DocumentControllerTest, TheTalentStorageFollowsTheFrontDocument)
{
    OVTalentWindowController talent(*core);
    talent.beginInitialDocumentWatching();
    Document* first = script(QStringLiteral("First script"));
    Document* second = script(QStringLiteral("Second script"));
    Window panel(Rect{{50, 50}, {200, 100}});

    Application::shared().setMainWindow(windowOf(first));
    EXPECT_EQ(talent.talentTextStorage().string(), QStringLiteral("First script"));
    Application::shared().setMainWindow(windowOf(second));
    EXPECT_EQ(talent.talentTextStorage().string(), QStringLiteral("Second script"));
    apptest::ScriptDocuments::controllerOf(second).textView()->insertText(QStringLiteral("!"));
    EXPECT_EQ(talent.talentTextStorage().string(), QStringLiteral("!Second script"));
    Application::shared().setMainWindow(&panel);
    EXPECT_EQ(talent.talentTextStorage().string(), QStringLiteral("!Second script"));
    // The front window closing empties the copy; the window that becomes main next fills it again.
    QStringList seenOnClosing;
    NotificationObserver watch(NotificationCenter::shared(),
                               OVDocumentControllerDidChangeFrontMostDocumentNotification, nullptr,
                               [&](const Notification& n) {
                                   if (!n.object)
                                       seenOnClosing << talent.talentTextStorage().string();
                               });
    second->close();
    EXPECT_EQ(seenOnClosing, QStringList{QString()});
    // Started afresh, the talent output asks the controller for the front document.
    Application::shared().setMainWindow(windowOf(first));
    OVTalentWindowController late(*core);
    late.beginInitialDocumentWatching();
    EXPECT_EQ(late.talentTextStorage().string(), QStringLiteral("First script"));
}

TEST_F(DocumentControllerTest, OnlyReadablePathsPassAndNoneAtAllIsNothing)
{
    const QDir folder(dir.path());
    ASSERT_TRUE(folder.mkpath(QStringLiteral("Script.ovdocument")));
    QFile(folder.filePath(QStringLiteral("notes.unknown"))).open(QIODevice::WriteOnly);
    QFile(folder.filePath(QStringLiteral("Old.prompterdocument"))).open(QIODevice::WriteOnly);
    const QString package = folder.filePath(QStringLiteral("Script.ovdocument"));
    const QString unknown = folder.filePath(QStringLiteral("notes.unknown"));
    const QString older = folder.filePath(QStringLiteral("Old.prompterdocument"));
    const QString missing = folder.filePath(QStringLiteral("Gone.ovdocument"));

    LogCapture log;
    EXPECT_EQ(documents().readableFilesFromPathsArray({unknown, package, missing, older}),
              (QStringList{package, older}));
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines().front().startsWith(
        QStringLiteral("-[OVDocumentController readableFilesFromPathsArray:] documentType error = ")));
    EXPECT_EQ(documents().readableFilesFromPathsArray({unknown, missing}), std::nullopt);
    EXPECT_EQ(documents().readableFilesFromPathsArray({}), std::nullopt);
    EXPECT_EQ(OVDocumentController::OVDocumentUTI(), QStringLiteral("com.orvane.orvane.document"));
}

TEST_F(DocumentControllerTest, NewScriptsFromTextAreShownAutosavedAndUnselected)
{
    Document* empty = script(QString());
    OVDocumentWindowController& controller = apptest::ScriptDocuments::controllerOf(empty);
    EXPECT_TRUE(controller.window()->isVisible());
    EXPECT_EQ(controller.textView()->string(), QString());
    EXPECT_EQ(controller.textView()->selectedRanges(), (std::vector<Range>{Range{0, 0}}));
    EXPECT_FALSE(empty->autosavedContentsFileURL().isEmpty());
    EXPECT_FALSE(empty->undoManager()->canUndo());

    const AttributedString text(QStringLiteral("Given"),
                                {{kForegroundColorAttributeName, Color::rgb(1, 0, 0)}});
    Error error;
    OVDocument* coloured =
        documents().makeNewPrompterDocumentWithAttributedString(&text, Color::rgb(0, 0, 0.5), &error);
    ASSERT_NE(coloured, nullptr);
    OVDocumentWindowController& colouredController = apptest::ScriptDocuments::controllerOf(coloured);
    EXPECT_EQ(colouredController.textView()->textStorage(), text);
    EXPECT_EQ(colouredController.backgroundColor(), Color::rgb(0, 0, 0.5));
    EXPECT_TRUE(coloured->fileURL().isEmpty());
}

TEST_F(DocumentControllerTest, ANewScriptWithoutItsWindowIsAnErrorNotASuccess)
{
    // A document that comes without the script window cannot take the text.
    OVDocument::setWindowControllerFactory({});
    LogCapture log;
    Error error;
    EXPECT_EQ(documents().makeNewPrompterDocumentWithString(QStringLiteral("Lost"), &error), nullptr);
    EXPECT_FALSE(error.isNull());
    EXPECT_TRUE(log.contains(QStringLiteral("Document created is not the type we expected")));
}

} // namespace
