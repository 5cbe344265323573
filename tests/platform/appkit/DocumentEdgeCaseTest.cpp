#include "DocumentTestSupport.h"

#include "platform/appkit/AppKitNotifications.h"
#include "platform/appkit/RunLoop.h"
#include "platform/foundation/NotificationCenter.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDirIterator>
#include <QFileInfo>

#include <unistd.h>

namespace {

struct DocumentEdgeCases : ::testing::Test, DocumentFixture {
    void advance(double seconds) { RunLoop::main().advanceManualClock(time.clock, seconds); }

    // Everything in the folder but the test's own bookkeeping: no staging leftovers may remain.
    QStringList entries(const QString& subfolder = {}) const
    {
        QStringList names;
        QDir dir(subfolder.isEmpty() ? folder.path() : path(subfolder));
        for (const QString& name : dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
            if (name != "defaults.plist" && name != "Autosave")
                names << name;
        }
        return names;
    }

    // A folder nobody may write in, not even a process running as root.
    QString unwritableFolder() const
    {
        if (::geteuid() != 0) {
            QDir(folder.path()).mkdir("Locked");
            QFile::setPermissions(path("Locked"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
            return path("Locked");
        }
        return QStringLiteral("/proc/self");
    }
};

} // namespace

TEST_F(DocumentEdgeCases, AFailedWriteLeavesThePreviousFileAndNoLeftovers)
{
    writeFile(path("Keep.note"), "precious");
    NoteDocument* document = open("Keep.note");
    document->edit("half written");
    document->failAfterPartialWrite = true;
    bool saved = true;
    document->saveDocument([&](bool ok) { saved = ok; });
    EXPECT_FALSE(saved);
    EXPECT_EQ(readFile(path("Keep.note")), "precious");
    EXPECT_EQ(entries(), QStringList{"Keep.note"});
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].localizedDescription(), "The document “Keep” could not be saved.");
    EXPECT_EQ(errors[0].localizedFailureReason(), "Interrupted.");
    EXPECT_TRUE(document->isDocumentEdited());
    EXPECT_EQ(document->text, "half written");
}

TEST_F(DocumentEdgeCases, AFailedPackageSaveLeavesThePreviousPackage)
{
    QDir(folder.path()).mkpath("P.ovdocument");
    writeFile(path("P.ovdocument/Content.txt"), "old package");
    NoteDocument* document = open("P.ovdocument");
    ASSERT_NE(document, nullptr);
    document->edit("new package");
    document->failWriting = true;
    document->saveDocument();
    EXPECT_EQ(readFile(path("P.ovdocument/Content.txt")), "old package");
    EXPECT_EQ(entries(), QStringList{"P.ovdocument"});

    document->failWriting = false;
    document->saveDocument();
    EXPECT_EQ(readFile(path("P.ovdocument/Content.txt")), "new package");
    EXPECT_EQ(entries(), QStringList{"P.ovdocument"});
}

TEST_F(DocumentEdgeCases, AFileRemovedSinceOpeningIsRecreatedOnlyWhenTheUserSaysSo)
{
    writeFile(path("Gone.note"), "v1");
    NoteDocument* document = open("Gone.note");
    document->autosaveInPlace = false;
    document->edit("v2");
    QFile::remove(path("Gone.note"));

    alertAnswers = {Alert::kSecondButtonReturn};
    bool saved = true;
    document->saveDocument([&](bool ok) { saved = ok; });
    EXPECT_FALSE(saved);
    EXPECT_EQ(alertTitles.last(),
              "The file “Gone.note” has been moved or deleted since you opened or saved it.");
    EXPECT_FALSE(QFileInfo::exists(path("Gone.note")));
    EXPECT_TRUE(document->isDocumentEdited());

    alertAnswers = {Alert::kFirstButtonReturn};
    document->saveDocument([&](bool ok) { saved = ok; });
    EXPECT_TRUE(saved);
    EXPECT_EQ(readFile(path("Gone.note")), "v2");
}

TEST_F(DocumentEdgeCases, AFileChangedByAnotherProgramIsNotOverwrittenUnasked)
{
    writeFile(path("Shared.note"), "mine");
    NoteDocument* document = open("Shared.note");
    document->edit("my edit");
    writeFile(path("Shared.note"), "theirs");
    QFile file(path("Shared.note"));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    file.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime);
    file.close();

    // The autosave goes aside instead of replacing their version.
    advance(controller.autosavingDelay());
    EXPECT_EQ(readFile(path("Shared.note")), "theirs");
    ASSERT_TRUE(document->autosavedContentsFileURL().isLocalFile());
    EXPECT_EQ(readFile(document->autosavedContentsFileURL().toLocalFile()), "my edit");

    alertAnswers = {Alert::kSecondButtonReturn};
    document->saveDocument();
    EXPECT_EQ(alertButtons.last(), "Save Anyway|Cancel");
    EXPECT_EQ(readFile(path("Shared.note")), "theirs");
}

TEST_F(DocumentEdgeCases, AFolderThatVanishedGivesAClearErrorAndKeepsTheEdits)
{
    QDir(folder.path()).mkdir("Sub");
    writeFile(path("Sub/Note.note"), "v1");
    NoteDocument* document = open("Sub/Note.note");
    document->autosaveInPlace = false;
    document->edit("v2");
    QDir(path("Sub")).removeRecursively();

    alertAnswers = {Alert::kFirstButtonReturn};
    bool saved = true;
    document->saveDocument([&](bool ok) { saved = ok; });
    EXPECT_FALSE(saved);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].localizedFailureReason(), "The folder “Sub” doesn’t exist.");
    EXPECT_EQ(document->text, "v2");
    EXPECT_TRUE(document->isDocumentEdited());
}

TEST_F(DocumentEdgeCases, SavingIntoAReadOnlyFolderFailsClearly)
{
    const QString locked = unwritableFolder();
    NoteDocument* document = makeUntitled();
    document->edit("words");
    panelChoices.push_back(QUrl::fromLocalFile(locked + "/Words"));
    bool saved = true;
    document->saveDocumentAs([&](bool ok) { saved = ok; });
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_FALSE(saved);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].localizedDescription(),
              "The document “Untitled” could not be saved as “Words.note”.");
    EXPECT_FALSE(errors[0].localizedFailureReason().isEmpty());
    EXPECT_TRUE(document->fileURL().isEmpty());
    EXPECT_TRUE(document->isDocumentEdited());
    EXPECT_FALSE(QFileInfo::exists(locked + "/Words.note"));
}

TEST_F(DocumentEdgeCases, SavingOverAnotherOpenDocumentsFileIsRefused)
{
    writeFile(path("First.note"), "first");
    writeFile(path("Second.note"), "second");
    NoteDocument* first = open("First.note");
    NoteDocument* second = open("Second.note");
    ASSERT_NE(first, second);
    second->edit("second, edited");

    alertAnswers = {Alert::kFirstButtonReturn}; // Replace
    panelChoices.push_back(url("First.note"));
    second->saveDocumentAs();
    EXPECT_EQ(alertTitles.value(0), "“First.note” already exists. Do you want to replace it?");
    EXPECT_EQ(readFile(path("First.note")), "first");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].localizedFailureReason(),
              "The document “First” is open with that file. Close it first, or choose another name.");
    EXPECT_EQ(second->fileURL(), url("Second.note"));
}

TEST_F(DocumentEdgeCases, ReplacingAnExistingFileNeedsConfirmation)
{
    writeFile(path("Taken.note"), "someone else's");
    NoteDocument* document = makeUntitled();
    document->edit("mine");
    alertAnswers = {Alert::kSecondButtonReturn}; // Cancel
    panelChoices.push_back(url("Taken"));
    document->saveDocumentAs();
    EXPECT_EQ(readFile(path("Taken.note")), "someone else's");
    EXPECT_TRUE(errors.empty());

    alertAnswers = {Alert::kFirstButtonReturn};
    panelChoices.push_back(url("Taken"));
    document->saveDocumentAs();
    EXPECT_EQ(readFile(path("Taken.note")), "mine");
}

TEST_F(DocumentEdgeCases, AFailingAutosaveReportsOnceKeepsACopyAndLosesNothing)
{
    writeFile(path("Auto.note"), "v1");
    NoteDocument* document = open("Auto.note");
    document->failWritingUnder = QDir::cleanPath(folder.path());
    document->edit("v2");
    advance(controller.autosavingDelay());
    EXPECT_EQ(readFile(path("Auto.note")), "v1");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].localizedDescription(), "The document “Auto” could not be autosaved.");
    EXPECT_TRUE(errors[0].localizedFailureReason().contains("Your changes were kept in"));
    ASSERT_TRUE(document->autosavedContentsFileURL().isLocalFile());
    EXPECT_EQ(readFile(document->autosavedContentsFileURL().toLocalFile()), "v2");
    EXPECT_TRUE(document->isDocumentEdited());

    // Later failures are not reported again; the copy follows the edits.
    document->edit("v3");
    advance(controller.autosavingDelay());
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_EQ(readFile(document->autosavedContentsFileURL().toLocalFile()), "v3");

    // Once the disk takes it again, the file gets everything and the copy goes.
    const QString copy = document->autosavedContentsFileURL().toLocalFile();
    document->failWritingUnder.clear();
    document->edit("v4");
    advance(controller.autosavingDelay());
    EXPECT_EQ(readFile(path("Auto.note")), "v4");
    EXPECT_FALSE(QFileInfo::exists(copy));
    EXPECT_FALSE(document->isDocumentEdited());
}

TEST_F(DocumentEdgeCases, AnAutosaveThatFailsEverywhereKeepsTheDocumentEdited)
{
    NoteDocument* document = makeUntitled();
    document->failWriting = true;
    document->edit("only in memory");
    advance(controller.autosavingDelay());
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(document->hasUnautosavedChanges());
    EXPECT_TRUE(document->isDocumentEdited());
    EXPECT_EQ(document->text, "only in memory");
    // Closing still asks, so the user can save somewhere that works.
    std::optional<bool> closed;
    document->canCloseDocument([&](bool ok) { closed = ok; });
    EXPECT_EQ(closed, false);
    EXPECT_EQ(alertTitles.size(), 1);
}

TEST_F(DocumentEdgeCases, AnAutosaveAfterTheFileVanishedKeepsACopyInsteadOfRecreatingIt)
{
    writeFile(path("Vanish.note"), "v1");
    NoteDocument* document = open("Vanish.note");
    QFile::remove(path("Vanish.note"));
    document->edit("v2");
    advance(controller.autosavingDelay());
    EXPECT_FALSE(QFileInfo::exists(path("Vanish.note")));
    ASSERT_TRUE(document->autosavedContentsFileURL().isLocalFile());
    EXPECT_EQ(readFile(document->autosavedContentsFileURL().toLocalFile()), "v2");
    EXPECT_TRUE(document->isDocumentEdited());
    EXPECT_TRUE(errors.empty());
}

TEST_F(DocumentEdgeCases, SavingKeepsTheFilesPermissions)
{
    writeFile(path("Private.note"), "secret");
    QFile::setPermissions(path("Private.note"), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    NoteDocument* document = open("Private.note");
    document->autosaveInPlace = false;
    document->edit("still secret");
    document->saveDocument();
    EXPECT_EQ(readFile(path("Private.note")), "still secret");
    const QFileDevice::Permissions kept = QFile::permissions(path("Private.note"));
    EXPECT_TRUE(kept & QFileDevice::ReadOwner);
    EXPECT_FALSE(kept & (QFileDevice::ReadGroup | QFileDevice::ReadOther));
}

TEST_F(DocumentEdgeCases, BecomingActiveReloadsUneditedDocumentsChangedElsewhere)
{
    writeFile(path("Clean.note"), "old");
    writeFile(path("Dirty.note"), "old");
    NoteDocument* clean = open("Clean.note");
    NoteDocument* dirty = open("Dirty.note");
    dirty->autosaveInPlace = false;
    dirty->edit("mine");
    for (const char* name : {"Clean.note", "Dirty.note"}) {
        writeFile(path(name), "theirs");
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime);
    }
    NotificationCenter::shared().postNotification(kApplicationDidBecomeActiveNotification,
                                                  &Application::shared());
    EXPECT_EQ(clean->text, "theirs");
    EXPECT_FALSE(clean->isDocumentEdited());
    EXPECT_EQ(dirty->text, "mine");
    EXPECT_TRUE(dirty->isDocumentEdited());
    // Nothing changed since: a second activation reads nothing.
    writeFile(path("Clean.note"), "BAD");
    QFile file(path("Clean.note"));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    file.setFileTime(clean->fileModificationDate(), QFileDevice::FileModificationTime);
    file.close();
    EXPECT_FALSE(clean->reloadIfChangedOnDisk());
    EXPECT_EQ(clean->text, "theirs");
}

TEST_F(DocumentEdgeCases, RecentDocumentsOfTheWrongShapeAreSkipped)
{
    writeFile(path("Good.note"), "");
    defaults.setObject(
        PlistValue(PlistArray{PlistValue(7), PlistValue(path("Good.note")), PlistValue(PlistArray{})}),
        DocumentController::recentDocumentsKey());
    EXPECT_EQ(controller.recentDocumentURLs(), QList<QUrl>{url("Good.note")});
    defaults.setObject(PlistValue("not a list"), DocumentController::recentDocumentsKey());
    EXPECT_TRUE(controller.recentDocumentURLs().isEmpty());
    controller.noteNewRecentDocumentURL(url("Good.note"));
    EXPECT_EQ(controller.recentDocumentURLs(), QList<QUrl>{url("Good.note")});
}

TEST_F(DocumentEdgeCases, AutosavedWorkLeftByACrashIsReopened)
{
    NoteDocument* lost = makeUntitled();
    lost->edit("unsaved work");
    advance(controller.autosavingDelay());
    ASSERT_TRUE(lost->autosavedContentsFileURL().isLocalFile());
    // Still open here, so not reopened twice.
    EXPECT_TRUE(controller.reopenAutosavedDocuments(false).empty());
    writeFile(controller.autosaveDirectory() + "/Broken (Autosaved).note", "BAD");

    // The next run of the program.
    DocumentController next;
    next.setUserDefaults(&defaults);
    next.setAutosaveDirectory(controller.autosaveDirectory());
    next.registerDocumentClass("NoteDocument", [] { return std::make_unique<NoteDocument>(); });
    next.addDocumentType({kNoteType,
                          "Note",
                          {"note"},
                          DocumentController::Role::Editor,
                          "NoteDocument",
                          true,
                          false,
                          false,
                          {}});
    const std::vector<Document*> reopened = next.reopenAutosavedDocuments(false);
    ASSERT_EQ(reopened.size(), 1u);
    auto* document = static_cast<NoteDocument*>(reopened[0]);
    EXPECT_EQ(document->text, "unsaved work");
    EXPECT_EQ(document->displayName(), "Untitled");
    EXPECT_TRUE(document->fileURL().isEmpty());
    EXPECT_TRUE(document->isDocumentEdited());
    EXPECT_FALSE(document->hasUnautosavedChanges());
    EXPECT_TRUE(QFileInfo::exists(controller.autosaveDirectory() + "/Broken (Autosaved).note"));
}

TEST_F(DocumentEdgeCases, SavingThroughALinkUpdatesTheFileItPointsAt)
{
    QDir(folder.path()).mkdir("Real");
    writeFile(path("Real/Script.note"), "v1");
    ASSERT_TRUE(QFile::link(path("Real/Script.note"), path("Link.note")));
    NoteDocument* document = open("Link.note");
    ASSERT_NE(document, nullptr);
    document->autosaveInPlace = false;
    document->edit("v2");
    document->saveDocument();
    EXPECT_TRUE(QFileInfo(path("Link.note")).isSymLink());
    EXPECT_EQ(readFile(path("Real/Script.note")), "v2");
    EXPECT_TRUE(errors.empty());
}
