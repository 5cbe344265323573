#include "platform/foundation/FileWrapper.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/StagingItem.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

void writeFile(const QString& path, const QByteArray& contents)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(contents);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Everything in a folder, hidden entries included, sorted.
QStringList entries(const QString& path)
{
    return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                QDir::Name);
}

std::shared_ptr<FileWrapper> makePackage(const QByteArray& text)
{
    auto rtfd = FileWrapper::makeDirectory();
    rtfd->addRegularFile(text, "TXT.rtf");
    auto package = FileWrapper::makeDirectory();
    rtfd->setPreferredFilename("Content.rtfd");
    package->addFileWrapper(rtfd);
    package->addRegularFile("<plist/>", "Properties.plist");
    return package;
}

class FileWrapperTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QUrl url(const QString& name) const { return QUrl::fromLocalFile(path(name)); }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(FileWrapperTest, ReadsATreeWithoutFollowingLinks)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkpath("Doc.ovdocument/Content.rtfd"));
    writeFile(path("Doc.ovdocument/Content.rtfd/TXT.rtf"), "{\\rtf1 Hello}");
    writeFile(path("Doc.ovdocument/Properties.plist"), "plist");
    writeFile(path("outside.txt"), "secret");
    ASSERT_EQ(::symlink(QFile::encodeName(path("outside.txt")).constData(),
                        QFile::encodeName(path("Doc.ovdocument/escape")).constData()),
              0);

    Error error;
    const auto package = FileWrapper::readFromURL(url("Doc.ovdocument"), &error);
    ASSERT_TRUE(package) << error.localizedFailureReason().toStdString();
    EXPECT_TRUE(package->isDirectory());
    EXPECT_EQ(package->filename(), "Doc.ovdocument");
    EXPECT_EQ(package->fileWrappers().keys(), (QStringList{"Content.rtfd", "Properties.plist", "escape"}));

    const auto content = package->fileWrappers().value("Content.rtfd");
    EXPECT_EQ(content->fileWrappers().value("TXT.rtf")->regularFileContents(), "{\\rtf1 Hello}");
    const auto link = package->fileWrappers().value("escape");
    EXPECT_TRUE(link->isSymbolicLink());
    EXPECT_EQ(link->symbolicLinkDestination(), path("outside.txt"));
    EXPECT_TRUE(link->regularFileContents().isEmpty());

    EXPECT_EQ(FileWrapper::readFromURL(QUrl::fromLocalFile(path("Doc.ovdocument/")), &error)->filename(),
              "Doc.ovdocument");
    const auto file = FileWrapper::readFromURL(url("outside.txt"), &error);
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->isRegularFile());
    EXPECT_EQ(file->preferredFilename(), "outside.txt");
}

TEST_F(FileWrapperTest, RefusesHostileOrOversizedTrees)
{
    Error error;
    EXPECT_FALSE(FileWrapper::readFromURL(url("missing"), &error));
    EXPECT_EQ(error.code(), kFileReadUnknownError);
    EXPECT_EQ(error.fileURL(), url("missing"));

    // A pipe would block a plain read forever.
    ASSERT_TRUE(QDir(m_dir.path()).mkpath("piped"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("piped/fifo")).constData(), 0600), 0);
    EXPECT_FALSE(FileWrapper::readFromURL(url("piped"), &error));
    EXPECT_EQ(error.code(), kFileReadCorruptFileError);
    EXPECT_EQ(error.fileURL(), url("piped/fifo"));
    EXPECT_FALSE(FileWrapper::readFromURL(url("piped/fifo"), &error));

    ASSERT_TRUE(QDir(m_dir.path()).mkpath("deep/a/b/c"));
    writeFile(path("deep/a/b/c/f"), "12345");
    FileWrapper::ReadingLimits limits;
    limits.maxDepth = 3;
    EXPECT_FALSE(FileWrapper::readFromURL(url("deep"), limits, &error));
    limits.maxDepth = 4;
    EXPECT_TRUE(FileWrapper::readFromURL(url("deep"), limits, &error));
    limits.maxEntries = 3;
    EXPECT_FALSE(FileWrapper::readFromURL(url("deep"), limits, &error));
    limits.maxEntries = 4;
    limits.maxTotalBytes = 4;
    EXPECT_FALSE(FileWrapper::readFromURL(url("deep"), limits, &error));
    EXPECT_EQ(error.code(), kFileReadTooLargeError);

    ASSERT_TRUE(QDir(m_dir.path()).mkpath("badname"));
    const QByteArray rawName = QFile::encodeName(path("badname/")) + "\xff\xfe.png";
    const int fd = ::open(rawName.constData(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_FALSE(FileWrapper::readFromURL(url("badname"), &error));
}

TEST(FileWrapperNamesTest, CollidingNamesGetNumberedAndCaseCounts)
{
    auto directory = FileWrapper::makeDirectory();
    EXPECT_EQ(directory->addRegularFile("1", "image.png"), "image.png");
    EXPECT_EQ(directory->addRegularFile("2", "image.png"), "image-2.png");
    EXPECT_EQ(directory->addRegularFile("3", "Image.PNG"), "Image-3.PNG");
    EXPECT_EQ(directory->addRegularFile("4", ".hidden"), ".hidden");
    EXPECT_EQ(directory->addRegularFile("5", ".hidden"), ".hidden-2");
    EXPECT_EQ(directory->addRegularFile("6", "archive.tar.gz"), "archive.tar.gz");
    EXPECT_EQ(directory->addRegularFile("7", "archive.tar.gz"), "archive.tar-2.gz");

    const auto second = directory->fileWrappers().value("image-2.png");
    EXPECT_EQ(second->filename(), "image-2.png");
    EXPECT_EQ(second->preferredFilename(), "image.png");
    EXPECT_EQ(directory->keyForFileWrapper(second.get()), "image-2.png");
    directory->removeFileWrapper(second.get());
    EXPECT_FALSE(directory->fileWrappers().contains("image-2.png"));
    EXPECT_EQ(directory->addRegularFile("8", "image.png"), "image-2.png") << "a freed name is reused";
}

TEST(FileWrapperNamesTest, RefusesNamesThatCouldLeaveTheDirectory)
{
    auto directory = FileWrapper::makeDirectory();
    for (const QString& name :
         {QString(), QStringLiteral("."), QStringLiteral(".."), QStringLiteral("../evil"),
          QStringLiteral("a/b"), QStringLiteral("/etc/passwd"), QStringView(u"a\0b", 3).toString(),
          QString(QChar(0xD800))})
        EXPECT_TRUE(directory->addRegularFile("x", name).isEmpty()) << name.toStdString();
    EXPECT_TRUE(directory->fileWrappers().isEmpty());

    EXPECT_TRUE(FileWrapper::makeRegularFile("x")->addRegularFile("y", "child").isEmpty());

    Error error;
    EXPECT_FALSE(FileWrapper::makeDirectory({{"..", FileWrapper::makeRegularFile("x")}}, &error));
    EXPECT_EQ(error.code(), kFileWriteUnknownError);
    const auto made = FileWrapper::makeDirectory({{"a.txt", FileWrapper::makeRegularFile("x")}}, &error);
    ASSERT_TRUE(made);
    EXPECT_EQ(made->fileWrappers().value("a.txt")->preferredFilename(), "a.txt");

    // A directory placed inside itself would never finish writing.
    auto outer = FileWrapper::makeDirectory();
    auto inner = FileWrapper::makeDirectory();
    inner->setPreferredFilename("inner");
    outer->setPreferredFilename("outer");
    ASSERT_FALSE(outer->addFileWrapper(inner).isEmpty());
    EXPECT_TRUE(inner->addFileWrapper(outer).isEmpty());
    EXPECT_TRUE(outer->addFileWrapper(outer).isEmpty());
}

TEST_F(FileWrapperTest, WritesAndReadsBackAPackageWithNameUpdating)
{
    auto package = makePackage("{\\rtf1 one}");
    auto shared = FileWrapper::makeRegularFile("PNG");
    shared->setPreferredFilename("image.png");
    auto content = package->fileWrappers().value("Content.rtfd");
    content->addFileWrapper(shared);
    content->addFileWrapper(FileWrapper::makeSymbolicLink("TXT.rtf")); // no name: refused
    auto link = FileWrapper::makeSymbolicLink("TXT.rtf");
    link->setPreferredFilename("alias");
    content->addFileWrapper(link);

    Error error;
    ASSERT_TRUE(
        package->writeToURL(url("Script.ovdocument"), FileWrapper::WritingWithNameUpdating, {}, &error))
        << error.localizedFailureReason().toStdString();
    EXPECT_EQ(package->filename(), "Script.ovdocument");
    EXPECT_EQ(entries(m_dir.path()), QStringList{"Script.ovdocument"}) << "no temporary left beside it";
    EXPECT_EQ(readFile(path("Script.ovdocument/Content.rtfd/image.png")), "PNG");

    const auto back = FileWrapper::readFromURL(url("Script.ovdocument"), &error);
    ASSERT_TRUE(back);
    const auto backContent = back->fileWrappers().value("Content.rtfd");
    EXPECT_EQ(backContent->fileWrappers().keys(), (QStringList{"TXT.rtf", "alias", "image.png"}));
    EXPECT_EQ(backContent->fileWrappers().value("alias")->symbolicLinkDestination(), "TXT.rtf");
    EXPECT_EQ(back->fileWrappers().value("Properties.plist")->regularFileContents(), "<plist/>");
}

TEST_F(FileWrapperTest, SavingOverAPackageReplacesItWhole)
{
    Error error;
    ASSERT_TRUE(makePackage("old")->writeToURL(url("Doc.ovdocument"), 0, {}, &error));
    writeFile(path("Doc.ovdocument/stray.txt"), "left from before");
    ASSERT_EQ(::chmod(QFile::encodeName(path("Doc.ovdocument")).constData(), 0750), 0);

    ASSERT_TRUE(makePackage("new")->writeToURL(url("Doc.ovdocument"), 0, url("Doc.ovdocument"), &error));
    EXPECT_EQ(entries(path("Doc.ovdocument")), (QStringList{"Content.rtfd", "Properties.plist"}));
    EXPECT_EQ(readFile(path("Doc.ovdocument/Content.rtfd/TXT.rtf")), "new");
    EXPECT_EQ(entries(m_dir.path()), QStringList{"Doc.ovdocument"});
    struct stat info;
    ASSERT_EQ(::stat(QFile::encodeName(path("Doc.ovdocument")).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0750u) << "the replacement keeps the package's permissions";

    // A file in the way is replaced by a package that can be entered.
    writeFile(path("Plain.ovdocument"), "not a package");
    ASSERT_TRUE(makePackage("new")->writeToURL(url("Plain.ovdocument"), 0, {}, &error));
    EXPECT_EQ(readFile(path("Plain.ovdocument/Content.rtfd/TXT.rtf")), "new");
    ASSERT_EQ(::stat(QFile::encodeName(path("Plain.ovdocument")).constData(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode) && (info.st_mode & S_IXUSR));
}

TEST_F(FileWrapperTest, FailedSaveLeavesThePreviousPackageWhole)
{
    Error error;
    ASSERT_TRUE(makePackage("precious")->writeToURL(url("Doc.ovdocument"), 0, {}, &error));

    // A name longer than any file system allows fails half-way through writing the new tree.
    auto broken = makePackage("replacement");
    broken->fileWrappers().value("Content.rtfd")->addRegularFile("x", QString(300, u'n'));
    EXPECT_FALSE(broken->writeToURL(url("Doc.ovdocument"), 0, {}, &error));
    EXPECT_EQ(error.code(), kFileWriteUnknownError);
    EXPECT_EQ(error.fileURL(), url("Doc.ovdocument"));

    EXPECT_EQ(readFile(path("Doc.ovdocument/Content.rtfd/TXT.rtf")), "precious");
    EXPECT_EQ(entries(path("Doc.ovdocument")), (QStringList{"Content.rtfd", "Properties.plist"}));
    EXPECT_EQ(entries(m_dir.path()), QStringList{"Doc.ovdocument"}) << "the half-built tree is removed";

    EXPECT_FALSE(makePackage("x")->writeToURL(url("no/such/folder/Doc.ovdocument"), 0, {}, &error));
    EXPECT_FALSE(makePackage("x")->writeToURL(QUrl("https://example.com/Doc.ovdocument"), 0, {}, &error));
}

TEST_F(FileWrapperTest, RegularFileWritesAreAtomic)
{
    Error error;
    auto file = FileWrapper::makeRegularFile("version 1");
    ASSERT_TRUE(file->writeToURL(url("notes.txt"), FileWrapper::WritingAtomic, {}, &error));
    ASSERT_TRUE(FileWrapper::makeRegularFile("version 2")->writeToURL(url("notes.txt"), 0, {}, &error));
    EXPECT_EQ(readFile(path("notes.txt")), "version 2");

    ASSERT_TRUE(makePackage("keep")->writeToURL(url("Doc.ovdocument"), 0, {}, &error));
    EXPECT_FALSE(file->writeToURL(url("Doc.ovdocument"), 0, {}, &error)) << "a file never replaces a package";
    EXPECT_EQ(readFile(path("Doc.ovdocument/Content.rtfd/TXT.rtf")), "keep");
    EXPECT_EQ(entries(m_dir.path()), (QStringList{"Doc.ovdocument", "notes.txt"}));
}

namespace {

// The hidden staging folders beside a package.
QStringList savingFolders(const QString& folder)
{
    return entries(folder).filter(QStringLiteral(".saving-"));
}

// Every folder and file of the tree at path made read-only, as a user may protect a script.
void makeReadOnly(const QString& path)
{
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink()) {
        for (const QString& name : entries(path))
            makeReadOnly(path + u'/' + name);
        ::chmod(QFile::encodeName(path).constData(), 0555);
    } else {
        ::chmod(QFile::encodeName(path).constData(), 0444);
    }
}

} // namespace

// Saves over a read-only package as an ordinary user: root may write anywhere, so a root run does
// the saving in a child that has dropped to nobody.
TEST_F(FileWrapperTest, SavesOverAReadOnlyPackageLeaveNoStagingFolderBehind)
{
    ASSERT_EQ(::chmod(QFile::encodeName(m_dir.path()).constData(), 0777), 0);
    const QString script = path("Script.ovdocument");
    ASSERT_TRUE(makePackage("old").get()->writeToURL(url("Script.ovdocument"), 0, QUrl(), nullptr));
    // A staging folder an interrupted save left, read-only inside as the package it copied.
    const QString stale = path(".Script.ovdocument.saving-Ab12Cd");
    ASSERT_TRUE(makePackage("stale").get()->writeToURL(QUrl::fromLocalFile(stale), 0, QUrl(), nullptr));
    makeReadOnly(script);
    makeReadOnly(stale);

    const auto saveTwice = [&] {
        // The outcome of each save may be either; what it leaves beside the package is the point.
        Error error;
        makePackage("new")->writeToURL(url("Script.ovdocument"), 0, QUrl(), &error);
        const int afterFirst = int(savingFolders(m_dir.path()).size());
        makePackage("newer")->writeToURL(url("Script.ovdocument"), 0, QUrl(), &error);
        return afterFirst * 10 + int(savingFolders(m_dir.path()).size());
    };
    int left = 0;
    if (::geteuid() == 0) {
        // The user's own script, saved by that user.
        constexpr uid_t kNobody = 65534;
        for (const QString& tree : {script, stale}) {
            ASSERT_EQ(std::system(QStringLiteral("chown -R %1:%1 '%2'").arg(kNobody).arg(tree).toLocal8Bit()),
                      0);
        }
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
                ::_exit(99);
            ::_exit(saveTwice());
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_NE(WEXITSTATUS(status), 99) << "could not become nobody";
        left = WEXITSTATUS(status);
    } else {
        left = saveTwice();
    }
    // Neither save left a staging folder, and the stale one went with the first.
    EXPECT_EQ(left, 0);
    EXPECT_TRUE(savingFolders(m_dir.path()).isEmpty())
        << savingFolders(m_dir.path()).join(u' ').toStdString();
    EXPECT_EQ(readFile(script + "/Content.rtfd/TXT.rtf"), "newer");
}

namespace {

// A package with more files than a save flushes at once, in folders two deep; every file says which
// version it belongs to, but for the first half of the pictures, the same in every version.
std::shared_ptr<FileWrapper> makeLargePackage(const QByteArray& version)
{
    auto rtfd = FileWrapper::makeDirectory();
    rtfd->setPreferredFilename("Content.rtfd");
    rtfd->addRegularFile(version + " text", "TXT.rtf");
    for (int i = 0; i < 80; ++i)
        rtfd->addRegularFile((i < 40 ? QByteArray("unchanged") : version) + " picture " +
                                 QByteArray::number(i),
                             QStringLiteral("Picture %1.png").arg(i));
    auto deeper = FileWrapper::makeDirectory();
    deeper->setPreferredFilename("Deeper");
    deeper->addRegularFile(version + " deep", "deep.txt");
    auto nested = FileWrapper::makeDirectory();
    nested->setPreferredFilename("Nested");
    nested->addFileWrapper(deeper);
    auto package = FileWrapper::makeDirectory();
    package->addFileWrapper(rtfd);
    package->addFileWrapper(nested);
    package->addRegularFile(version + " properties", "Properties.plist");
    return package;
}

// The version every file of the package at path belongs to, or why there is none.
QByteArray packageVersion(const QString& path)
{
    QStringList files{"Content.rtfd/TXT.rtf", "Nested/Deeper/deep.txt", "Properties.plist"};
    for (int i = 0; i < 80; ++i)
        files << QStringLiteral("Content.rtfd/Picture %1.png").arg(i);
    if (entries(path) != QStringList{"Content.rtfd", "Nested", "Properties.plist"} ||
        entries(path + "/Content.rtfd").size() != 81)
        return "<not whole: " + entries(path).join(u' ').toUtf8() + '>';
    QByteArray version;
    for (const QString& file : files) {
        const QByteArray contents = readFile(path + u'/' + file);
        const QByteArray own = contents.left(contents.indexOf(' '));
        if (own == "unchanged")
            continue;
        if (version.isEmpty())
            version = own;
        if (own != version)
            return "<mixed: " + version + " and " + own + '>';
    }
    for (int i = 0; i < 40; ++i)
        if (readFile(path + QStringLiteral("/Content.rtfd/Picture %1.png").arg(i)) !=
            "unchanged picture " + QByteArray::number(i))
            return "<a picture lost>";
    return version;
}

ino_t inode(const QString& path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}

int openDescriptors()
{
    return int(entries(QStringLiteral("/proc/self/fd")).size());
}

} // namespace

// A save ended at any step, as a crash would end it, leaves the previous package or the new one, whole,
// also where the two share the files that did not change; the next save clears what it left, and a save
// that fails late leaves no descriptor open.
TEST(FileWrapperSaveTest, ASaveOfManyFilesEndedAtAnyStepLeavesOneWholePackage)
{
    constexpr int kCompleted = 100;
    // Ninety saves: in memory where there is a memory file system, so that they take no disk's time.
    QTemporaryDir folder(QDir(QStringLiteral("/dev/shm")).exists()
                             ? QStringLiteral("/dev/shm/orvane-test-XXXXXX")
                             : QString());
    ASSERT_TRUE(folder.isValid());
    const QString package = folder.filePath(QStringLiteral("Doc.ovdocument"));
    const QUrl url = QUrl::fromLocalFile(package);
    Error error;
    const int descriptors = openDescriptors();
    for (int step = 1;; ++step) {
        const QByteArray before = "before" + QByteArray::number(step);
        const QByteArray after = "after" + QByteArray::number(step);
        ASSERT_TRUE(makeLargePackage(before)->writeToURL(url, 0, {}, &error))
            << qPrintable(error.localizedFailureReason());
        EXPECT_EQ(entries(folder.path()), QStringList{"Doc.ovdocument"}) << step;
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            int steps = 0;
            StagingItem::setProgressProbe([&steps, step] {
                if (++steps == step)
                    ::_exit(0);
            });
            makeLargePackage(after)->writeToURL(url, 0, {}, nullptr);
            ::_exit(kCompleted);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        const QByteArray found = packageVersion(package);
        EXPECT_TRUE(found == before || found == after) << step << ' ' << found.constData();
        if (WEXITSTATUS(status) == kCompleted) {
            EXPECT_EQ(found, after);
            break;
        }
        ASSERT_LT(step, 200) << "the save never finished";
    }

    // Unchanged files are the same files, now only in the new package; changed ones are new.
    const QString picture = package + "/Content.rtfd/Picture 0.png";
    const QString text = package + "/Content.rtfd/TXT.rtf";
    const ino_t pictureBefore = inode(picture);
    const ino_t textBefore = inode(text);
    ASSERT_TRUE(makeLargePackage("again")->writeToURL(url, 0, {}, &error));
    EXPECT_EQ(packageVersion(package), "again");
    EXPECT_EQ(inode(picture), pictureBefore);
    EXPECT_NE(inode(text), textBefore);
    struct stat info;
    ASSERT_EQ(::stat(QFile::encodeName(picture).constData(), &info), 0);
    EXPECT_EQ(info.st_nlink, 1u);

    // A name no file system takes, written after every other file was handed over to be flushed.
    auto broken = makeLargePackage("broken");
    broken->addRegularFile("x", QString(300, u'z'));
    EXPECT_FALSE(broken->writeToURL(url, 0, {}, &error));
    EXPECT_EQ(packageVersion(package), "again");
    EXPECT_EQ(entries(folder.path()), QStringList{"Doc.ovdocument"});
    EXPECT_EQ(openDescriptors(), descriptors);
}
