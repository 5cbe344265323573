#include "DocumentTestSupport.h"

#include "platform/appkit/RunLoop.h"
#include "platform/appkit/UndoManager.h"
#include "platform/appkit/Window.h"
#include "platform/appkit/WindowController.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFileInfo>
#include <QMessageBox>
#include <QWidget>

namespace {

// A document that shows one window.
class WindowedNote : public NoteDocument {
public:
    void makeWindowControllers() override { addWindowController(std::make_unique<WindowController>()); }
};

struct DocumentLifecycle : ::testing::Test, DocumentFixture {
    DocumentLifecycle()
    {
        controller.registerDocumentClass(QStringLiteral("NoteDocument"),
                                         [] { return std::make_unique<WindowedNote>(); });
    }
    void advance(double seconds) { RunLoop::main().advanceManualClock(time.clock, seconds); }
};

} // namespace

TEST_F(DocumentLifecycle, OpensEditsAndAutosavesInPlaceAfterTheDelay)
{
    writeFile(path("Script.note"), "hello");
    NoteDocument* document = open("Script.note");
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document->text, "hello");
    EXPECT_EQ(document->fileType(), kNoteType);
    EXPECT_EQ(document->displayName(), "Script");
    EXPECT_FALSE(document->isDocumentEdited());
    EXPECT_EQ(controller.recentDocumentURLs(), QList<QUrl>{url("Script.note")});

    document->edit("hello world");
    EXPECT_TRUE(document->isDocumentEdited());
    EXPECT_TRUE(document->isAutosaveScheduled());
    advance(controller.autosavingDelay() - 1);
    EXPECT_EQ(readFile(path("Script.note")), "hello");

    // Typing on does not put the autosave off.
    document->edit("hello world!");
    advance(1);
    EXPECT_EQ(readFile(path("Script.note")), "hello world!");
    EXPECT_FALSE(document->isDocumentEdited());
    EXPECT_FALSE(document->hasUnautosavedChanges());
    EXPECT_TRUE(errors.empty());
}

TEST_F(DocumentLifecycle, UntitledDocumentsAutosaveIntoTheAutosaveFolderAndStayEdited)
{
    NoteDocument* document = makeUntitled();
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document->displayName(), "Untitled");
    EXPECT_EQ(makeUntitled()->displayName(), "Untitled 2");
    document->edit("draft");
    advance(controller.autosavingDelay());
    ASSERT_TRUE(document->autosavedContentsFileURL().isLocalFile());
    const QString copy = document->autosavedContentsFileURL().toLocalFile();
    EXPECT_TRUE(copy.startsWith(controller.autosaveDirectory()));
    EXPECT_EQ(readFile(copy), "draft");
    EXPECT_TRUE(document->isDocumentEdited());

    // Saving gives it a home; the autosaved copy is no longer needed.
    panelChoices.push_back(url("Draft"));
    bool saved = false;
    document->saveDocument([&](bool ok) { saved = ok; });
    EXPECT_TRUE(saved);
    EXPECT_EQ(document->fileURL(), url("Draft.note"));
    EXPECT_EQ(readFile(path("Draft.note")), "draft");
    EXPECT_FALSE(QFileInfo::exists(copy));
    EXPECT_FALSE(document->isDocumentEdited());
}

TEST_F(DocumentLifecycle, SaveAsMovesTheDocumentAndSaveToLeavesItWhereItIs)
{
    writeFile(path("One.note"), "text");
    NoteDocument* document = open("One.note");
    ASSERT_NE(document, nullptr);
    document->edit("changed");

    panelChoices.push_back(url("Two.txt"));
    ASSERT_EQ(panelTypes.size(), 0);
    document->saveDocumentTo();
    EXPECT_EQ(readFile(path("Two.txt")), "changed");
    EXPECT_EQ(document->fileURL(), url("One.note"));
    EXPECT_TRUE(document->isDocumentEdited());

    panelChoices.push_back(url("Three"));
    document->saveDocumentAs();
    EXPECT_EQ(document->fileURL(), url("Three.note"));
    EXPECT_EQ(document->displayName(), "Three");
    EXPECT_EQ(readFile(path("One.note")), "text");
    EXPECT_EQ(readFile(path("Three.note")), "changed");
    EXPECT_EQ(controller.recentDocumentURLs().value(0), url("Three.note"));
    // The panel opened on the document's own type each time.
    EXPECT_EQ(panelTypes, QStringList({kNoteType, kNoteType}));
}

TEST_F(DocumentLifecycle, SaveOfAForeignTypeAsksWhereInsteadOfWritingOverTheImport)
{
    writeFile(path("Imported.txt"), "plain");
    NoteDocument* document = open("Imported.txt");
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document->fileType(), "public.plain-text");
    document->edit("plain, edited");
    document->saveDocument();
    EXPECT_EQ(panelTypes.size(), 1);
    EXPECT_EQ(readFile(path("Imported.txt")), "plain");
    EXPECT_TRUE(document->isDocumentEdited());
}

TEST_F(DocumentLifecycle, SavesAPackageAndReopensItFromTheFolder)
{
    NoteDocument* document = makeUntitled();
    document->edit("in a package");
    panelChoices.push_back(url("Show"));
    // Pick the package type as the user would from the pop-up.
    SavePanelAnswererScope choosePackage([this](SavePanel& panel) {
        EXPECT_TRUE(panel.showsTypePopUp());
        EXPECT_TRUE(panel.setSelectedFileType(kNotePackageType));
        return panel.chooseURL(url("Show")) ? SavePanel::kModalResponseOK : SavePanel::kModalResponseCancel;
    });
    document->saveDocumentAs();
    EXPECT_TRUE(QFileInfo(path("Show.ovdocument")).isDir());
    EXPECT_EQ(readFile(path("Show.ovdocument/Content.txt")), "in a package");
    document->close();

    NoteDocument* reopened = open("Show.ovdocument");
    ASSERT_NE(reopened, nullptr);
    EXPECT_EQ(reopened->fileType(), kNotePackageType);
    EXPECT_EQ(reopened->text, "in a package");
}

TEST_F(DocumentLifecycle, RevertReadsTheFileAgainAfterConfirming)
{
    writeFile(path("R.note"), "saved");
    NoteDocument* document = open("R.note");
    document->edit("unsaved");
    alertAnswers = {Alert::kSecondButtonReturn};
    document->revertDocumentToSaved();
    EXPECT_EQ(document->text, "unsaved");

    alertAnswers = {Alert::kFirstButtonReturn};
    document->revertDocumentToSaved();
    EXPECT_EQ(alertButtons.last(), "Revert|Cancel");
    EXPECT_EQ(document->text, "saved");
    EXPECT_FALSE(document->isDocumentEdited());
    EXPECT_FALSE(document->isReverting());
}

TEST_F(DocumentLifecycle, ARevertThatCannotReadKeepsTheDocumentAsItWas)
{
    writeFile(path("R.note"), "saved");
    NoteDocument* document = open("R.note");
    document->edit("mine");
    writeFile(path("R.note"), "BAD bytes");
    alertAnswers = {Alert::kFirstButtonReturn};
    document->revertDocumentToSaved();
    EXPECT_EQ(document->text, "mine");
    EXPECT_TRUE(document->isDocumentEdited());
    ASSERT_EQ(errors.size(), 1u);
}

TEST_F(DocumentLifecycle, ClosingWithChangesAsksAndFollowsTheAnswer)
{
    writeFile(path("C.note"), "v1");
    NoteDocument* document = open("C.note");
    document->autosaveInPlace = false;
    document->edit("v2");

    std::optional<bool> closed;
    alertAnswers = {Alert::kSecondButtonReturn};
    document->canCloseDocument([&](bool ok) { closed = ok; });
    EXPECT_EQ(closed, false);
    EXPECT_EQ(alertTitles.last(), "Do you want to save the changes made to the document “C”?");
    EXPECT_EQ(alertButtons.last(), "Save|Cancel|Don’t Save");

    alertAnswers = {Alert::kThirdButtonReturn};
    document->canCloseDocument([&](bool ok) { closed = ok; });
    EXPECT_EQ(closed, true);
    EXPECT_EQ(readFile(path("C.note")), "v1");

    alertAnswers = {Alert::kFirstButtonReturn};
    document->canCloseDocument([&](bool ok) { closed = ok; });
    EXPECT_EQ(closed, true);
    EXPECT_EQ(readFile(path("C.note")), "v2");
}

TEST_F(DocumentLifecycle, TheWindowsCloseButtonAsksBeforeClosingTheDocument)
{
    writeFile(path("W.note"), "v1");
    NoteDocument* document = open("W.note");
    document->autosaveInPlace = false;
    document->showWindows();
    Window* window = document->primaryWindowController()->window();
    ASSERT_TRUE(window->isVisible());
    EXPECT_EQ(window->title(), "W");
    document->edit("v2");

    alertAnswers = {Alert::kSecondButtonReturn};
    window->hostWidget()->close();
    EXPECT_EQ(alertTitles.size(), 1);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(controller.documents().size(), 1u);

    alertAnswers = {Alert::kThirdButtonReturn};
    EXPECT_TRUE(Application::shared().sendAction("performClose:", document->primaryWindowController(), {}));
    EXPECT_TRUE(controller.documents().empty());
    EXPECT_EQ(readFile(path("W.note")), "v1");
}

TEST_F(DocumentLifecycle, ClosingAnAutosavingDocumentStillAsks)
{
    writeFile(path("A.note"), "v1");
    NoteDocument* document = open("A.note");
    document->edit("v2");
    std::optional<bool> closed;
    alertAnswers = {Alert::kSecondButtonReturn};
    document->canCloseDocument([&](bool ok) { closed = ok; });
    EXPECT_EQ(closed, false);
    ASSERT_EQ(alertTitles.size(), 1);
    // Cancelled: nothing was written behind the user's back.
    EXPECT_EQ(readFile(path("A.note")), "v1");
    alertAnswers = {Alert::kThirdButtonReturn};
    document->canCloseDocument([&](bool ok) { closed = ok; });
    EXPECT_EQ(closed, true);
    EXPECT_EQ(readFile(path("A.note")), "v1");
}

TEST_F(DocumentLifecycle, UndoAndRedoMoveTheChangeCount)
{
    writeFile(path("U.note"), "x");
    NoteDocument* document = open("U.note");
    document->autosaveInPlace = false;
    UndoManager& undo = *document->undoManager();
    undo.setGroupsByEvent(false);
    std::function<void(const QString&)> setText = [&](const QString& text) {
        const QString old = document->text;
        document->text = text;
        undo.registerUndo(document, [&setText, old] { setText(old); });
    };

    // One change, made of a nested group: one step of the count.
    undo.beginUndoGrouping();
    undo.beginUndoGrouping();
    setText("y");
    undo.endUndoGrouping();
    undo.endUndoGrouping();
    EXPECT_TRUE(document->isDocumentEdited());
    // An empty group is no change.
    undo.beginUndoGrouping();
    undo.endUndoGrouping();

    undo.undo();
    EXPECT_EQ(document->text, "x");
    EXPECT_FALSE(document->isDocumentEdited());
    undo.redo();
    EXPECT_EQ(document->text, "y");
    EXPECT_TRUE(document->isDocumentEdited());

    // Saved, then undone: the document differs from its file again.
    document->saveDocument();
    EXPECT_FALSE(document->isDocumentEdited());
    undo.undo();
    EXPECT_TRUE(document->isDocumentEdited());

    // Reverting leaves nothing to undo.
    alertAnswers = {Alert::kFirstButtonReturn};
    document->revertDocumentToSaved();
    EXPECT_FALSE(undo.canUndo());
    EXPECT_FALSE(undo.canRedo());
    EXPECT_FALSE(document->isDocumentEdited());
}

TEST_F(DocumentLifecycle, DuplicateMakesAnUntitledCopy)
{
    writeFile(path("D.note"), "original");
    NoteDocument* document = open("D.note");
    document->edit("original, edited");
    Error error;
    auto* copy = static_cast<NoteDocument*>(document->duplicate(&error));
    ASSERT_NE(copy, nullptr) << error.localizedDescription().toStdString();
    EXPECT_EQ(copy->text, "original, edited");
    EXPECT_TRUE(copy->fileURL().isEmpty());
    EXPECT_EQ(copy->displayName(), "D copy");
    EXPECT_TRUE(copy->isDocumentEdited());
    EXPECT_EQ(readFile(path("D.note")), "original");
}

TEST_F(DocumentLifecycle, OpeningAnOpenFileBringsBackTheSameDocument)
{
    writeFile(path("S.note"), "x");
    NoteDocument* first = open("S.note");
    EXPECT_EQ(open("S.note"), first);
    EXPECT_EQ(controller.documents().size(), 1u);
}

TEST_F(DocumentLifecycle, AFileThatCannotBeReadOpensNoDocument)
{
    writeFile(path("Broken.note"), "BAD");
    EXPECT_EQ(open("Broken.note"), nullptr);
    EXPECT_EQ(lastError.code(), kFileReadCorruptFileError);
    EXPECT_EQ(lastError.fileURL(), url("Broken.note"));
    EXPECT_EQ(open("Missing.note"), nullptr);
    EXPECT_EQ(lastError.code(), kFileReadNoSuchFileError);
    EXPECT_TRUE(controller.documents().empty());
}

TEST_F(DocumentLifecycle, NewWindowsCascadeFromTheMainWindow)
{
    NoteDocument* first = makeUntitled();
    first->showWindows();
    Window* firstWindow = first->primaryWindowController()->window();
    firstWindow->setFrame(Rect(100, 300, 400, 300));
    firstWindow->makeKeyAndOrderFront();
    ASSERT_EQ(Application::shared().mainWindow(), firstWindow);
    NoteDocument* second = makeUntitled();
    second->showWindows();
    const Rect frame = second->primaryWindowController()->window()->frame();
    EXPECT_DOUBLE_EQ(frame.origin.x, 122);
    EXPECT_DOUBLE_EQ(frame.maxY(), 578);
}

TEST_F(DocumentLifecycle, AQuestionAlreadyOnTheWindowIsNotAskedTwice)
{
    writeFile(path("Q.note"), "v1");
    NoteDocument* document = open("Q.note");
    document->autosaveInPlace = false;
    document->showWindows();
    document->edit("v2");
    Window* window = document->primaryWindowController()->window();
    // A real sheet, not answered yet.
    AlertPresenterScope realDialogs({});
    auto pending = Alert::alertWithTitle("Something else?", {}, {"OK"});
    pending->beginSheetModalForWindow(window, {});
    EXPECT_TRUE(Alert::isShowingSheetOnWindow(window));
    std::optional<bool> closed;
    document->canCloseDocument([&](bool ok) { closed = ok; });
    EXPECT_EQ(closed, false);
    auto* box = window->hostWidget()->findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    box->buttons().first()->click();
    EXPECT_FALSE(Alert::isShowingSheetOnWindow(window));
}

TEST_F(DocumentLifecycle, TheDocumentAnswersItsCommandsFromItsWindow)
{
    writeFile(path("M.note"), "v1");
    NoteDocument* document = open("M.note");
    document->autosaveInPlace = false;
    document->showWindows();
    document->primaryWindowController()->window()->makeKeyAndOrderFront();
    Application& application = Application::shared();
    const UserInterfaceItem revert{"revertDocumentToSaved:", 0, true};
    EXPECT_FALSE(application.validateItem(revert));
    document->edit("v2");
    EXPECT_TRUE(application.validateItem(revert));
    EXPECT_TRUE(application.sendAction("saveDocument:", nullptr, {}));
    EXPECT_EQ(readFile(path("M.note")), "v2");
    EXPECT_FALSE(application.validateItem(revert));
}
