#include "DocumentTestSupport.h"

#include "platform/foundation/StagingItem.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include <sys/wait.h>
#include <unistd.h>

namespace {

// A child that finishes its save exits with this plus the number of steps it went through.
constexpr int kCompleted = 100;

struct InterruptedSaves : ::testing::Test, DocumentFixture {
    InterruptedSaves()
    {
        QDir(folder.path()).mkpath("P.ovdocument");
        writeFile(path("P.ovdocument/Content.txt"), "first");
    }

    QStringList stagingFolders() const
    {
        return QDir(folder.path())
            .entryList({".P.ovdocument.saving-*"}, QDir::AllEntries | QDir::Hidden | QDir::System);
    }
    // Everything in the folder but the fixture's own files.
    QStringList packageEntries() const
    {
        QStringList names =
            QDir(folder.path())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        names.removeAll("defaults.plist");
        names.removeAll("Autosave");
        return names;
    }

    // Saves text into the package from a child process that ends itself (as a crash would, without
    // any clean-up) at the given step of the save; answers the child's exit status.
    int saveInChildEndingAtStep(NoteDocument* document, const QString& text, int step)
    {
        const pid_t child = ::fork();
        if (child == 0) {
            int steps = 0;
            StagingItem::setProgressProbe([&steps, step] {
                if (++steps == step)
                    ::_exit(0);
            });
            document->edit(text);
            Error error;
            document->saveToURL(url("P.ovdocument"), kNotePackageType, Document::SaveOperation::Save, &error);
            ::_exit(kCompleted + steps);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

} // namespace

TEST_F(InterruptedSaves, TheNextSaveRemovesWhatAnInterruptedOneLeftBehind)
{
    NoteDocument* document = open("P.ovdocument");
    ASSERT_NE(document, nullptr);
    QByteArray previous = "first";
    int leftovers = 0;
    for (int step = 1;; ++step) {
        const QString childText = QStringLiteral("child %1").arg(step);
        const int status = saveInChildEndingAtStep(document, childText, step);
        ASSERT_GE(status, 0);
        // Whatever moment the save ended at, the package is one whole version.
        const QByteArray content = readFile(path("P.ovdocument/Content.txt"));
        EXPECT_TRUE(content == previous || content == childText.toUtf8()) << step << content.constData();
        EXPECT_EQ(
            QDir(path("P.ovdocument")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{"Content.txt"});
        leftovers += stagingFolders().size();

        const QString parentText = QStringLiteral("parent %1").arg(step);
        document->edit(parentText);
        Error error;
        ASSERT_TRUE(
            document->saveToURL(url("P.ovdocument"), kNotePackageType, Document::SaveOperation::Save, &error))
            << qPrintable(error.localizedFailureReason());
        EXPECT_EQ(readFile(path("P.ovdocument/Content.txt")), parentText.toUtf8());
        EXPECT_EQ(packageEntries(), QStringList{"P.ovdocument"}) << step;
        previous = parentText.toUtf8();
        if (status >= kCompleted)
            break;
        ASSERT_LT(step, 50) << "the save never finished";
    }
    // The child was ended at points where staging folders were left behind.
    EXPECT_GT(leftovers, 0);
}

TEST_F(InterruptedSaves, OpeningTheDocumentRemovesWhatAnInterruptedSaveLeftBehind)
{
    for (int step = 1;; ++step) {
        NoteDocument* document = open("P.ovdocument");
        ASSERT_NE(document, nullptr);
        const QByteArray before = document->text.toUtf8();
        const QString childText = QStringLiteral("child %1").arg(step);
        const int status = saveInChildEndingAtStep(document, childText, step);
        document->close();
        QCoreApplication::processEvents();

        document = open("P.ovdocument");
        ASSERT_NE(document, nullptr);
        EXPECT_TRUE(document->text.toUtf8() == before || document->text == childText) << step;
        EXPECT_EQ(packageEntries(), QStringList{"P.ovdocument"}) << step;
        document->close();
        QCoreApplication::processEvents();
        if (status >= kCompleted)
            break;
        ASSERT_LT(step, 50) << "the save never finished";
    }
}

TEST_F(InterruptedSaves, AStagingFolderAnotherRunningProgramHoldsIsLeftAlone)
{
    int ready[2];
    int release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const QByteArray stagingTemplate = StagingItem::savingFolderTemplate(folder.path(), "P.ovdocument");
    const pid_t child = ::fork();
    if (child == 0) {
        const auto held = StagingItem::make(stagingTemplate, StagingItem::Kind::Directory);
        char byte = held ? 'y' : 'n';
        ::write(ready[1], &byte, 1);
        ::read(release[0], &byte, 1);
        // Ends like a crash: the folder stays, the lock goes with the process.
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ASSERT_EQ(byte, 'y');
    ASSERT_EQ(stagingFolders().size(), 1);

    NoteDocument* document = open("P.ovdocument");
    ASSERT_NE(document, nullptr);
    document->edit("second");
    Error error;
    ASSERT_TRUE(
        document->saveToURL(url("P.ovdocument"), kNotePackageType, Document::SaveOperation::Save, &error));
    EXPECT_EQ(stagingFolders().size(), 1);

    ::write(release[1], "x", 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    for (int fd : {ready[0], ready[1], release[0], release[1]})
        ::close(fd);
    EXPECT_EQ(stagingFolders().size(), 1);
    ASSERT_TRUE(
        document->saveToURL(url("P.ovdocument"), kNotePackageType, Document::SaveOperation::Save, &error));
    EXPECT_EQ(packageEntries(), QStringList{"P.ovdocument"});
    EXPECT_EQ(readFile(path("P.ovdocument/Content.txt")), "second");
}

TEST_F(InterruptedSaves, NothingButStaleStagingFoldersOfTheDocumentIsTouched)
{
    QTemporaryDir outside;
    writeFile(outside.filePath("keep.txt"), "outside");
    QDir here(folder.path());
    // Stale staging folders: one named after the whole name, as earlier versions did.
    here.mkpath(".P.ovdocument.saving-Ab12Cd/P.ovdocument");
    writeFile(path(".P.ovdocument.saving-Ab12Cd/P.ovdocument/Content.txt"), "stale");
    // Lookalikes that are not staging folders of this document.
    QFile::link(outside.path(), path(".P.ovdocument.saving-Lnk123"));
    here.mkpath(".Q.ovdocument.saving-Zz99Yy");
    here.mkpath(".P.ovdocument.saving-toolong");
    here.mkpath(".P.ovdocument.saving");
    writeFile(path(".P.ovdocument.saving-Fi1e00"), "a file, not a staging folder");

    NoteDocument* document = open("P.ovdocument");
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(packageEntries(), QStringList({".P.ovdocument.saving", ".P.ovdocument.saving-Fi1e00",
                                             ".P.ovdocument.saving-Lnk123", ".P.ovdocument.saving-toolong",
                                             ".Q.ovdocument.saving-Zz99Yy", "P.ovdocument"}));
    EXPECT_EQ(readFile(outside.filePath("keep.txt")), "outside");
}

TEST_F(InterruptedSaves, ADocumentWhoseNameFillsTheSystemsLimitSavesAndCleansUp)
{
    // 255 bytes (244 + 11), the longest name a file can have: its staging folder's name must still fit.
    const QString name = QString(244, u'x') + ".ovdocument";
    QDir(folder.path()).mkpath(".P.ovdocument.saving-Ab12Cd");
    QDir(folder.path()).mkpath(name);
    writeFile(path(name + "/Content.txt"), "first");
    NoteDocument* document = open(name);
    ASSERT_NE(document, nullptr);
    QDir(folder.path()).mkpath("." + name.left(48) + ".saving-Ab12Cd");
    document->edit("second");
    Error error;
    ASSERT_TRUE(document->saveToURL(url(name), kNotePackageType, Document::SaveOperation::Save, &error))
        << qPrintable(error.localizedFailureReason());
    EXPECT_EQ(readFile(path(name + "/Content.txt")), "second");
    EXPECT_EQ(packageEntries(), QStringList({".P.ovdocument.saving-Ab12Cd", "P.ovdocument", name}));
}
