#include "platform/appkit/Workspace.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

struct WorkspaceHelpers : ::testing::Test {
    WorkspaceHelpers()
    {
        Workspace::shared().setURLOpener([this](const QUrl& url) {
            opened << url;
            return true;
        });
    }
    ~WorkspaceHelpers() override
    {
        Workspace::shared().setURLOpener({});
        Workspace::shared().setFileManagerCall({});
    }

    QTemporaryDir folder;
    QList<QUrl> opened;
};

} // namespace

TEST_F(WorkspaceHelpers, RevealingFallsBackToOpeningEachFolderOnce)
{
    QList<QUrl> shown;
    Workspace::shared().setFileManagerCall([&](const QList<QUrl>& urls) {
        shown = urls;
        return false;
    });
    const QUrl a = QUrl::fromLocalFile(folder.filePath("a.txt"));
    const QUrl b = QUrl::fromLocalFile(folder.filePath("b.txt"));
    Workspace::shared().activateFileViewerSelectingURLs({a, b, QUrl("https://example.org")});
    EXPECT_EQ(shown, QList<QUrl>({a, b}));
    EXPECT_EQ(opened, QList<QUrl>{QUrl::fromLocalFile(folder.path())});

    opened.clear();
    Workspace::shared().setFileManagerCall([](const QList<QUrl>&) { return true; });
    Workspace::shared().activateFileViewerSelectingURLs({a});
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(WorkspaceHelpers, OpeningRefusesAnEmptyAddress)
{
    EXPECT_FALSE(Workspace::shared().openURL(QUrl()));
    EXPECT_TRUE(Workspace::shared().openURL(QUrl("https://example.org/help")));
    EXPECT_EQ(opened.size(), 1);
}

TEST_F(WorkspaceHelpers, RecyclingReportsWhatCouldNotBeMoved)
{
    // The trash lives under the data home; keep it inside the test's folder.
    const QByteArray previous = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(folder.filePath("data")));
    QFile file(folder.filePath("old.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    QList<QUrl> moved;
    Error error;
    const bool all = Workspace::shared().recycleURLs({QUrl::fromLocalFile(folder.filePath("old.txt")),
                                                      QUrl::fromLocalFile(folder.filePath("missing.txt"))},
                                                     &moved, &error);
    if (previous.isEmpty())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", previous);
    EXPECT_FALSE(all);
    ASSERT_EQ(moved.size(), 2);
    EXPECT_FALSE(QFileInfo::exists(folder.filePath("old.txt")));
    // In the trash of the data folder, made as needed, and nowhere else.
    EXPECT_TRUE(moved[0].toLocalFile().startsWith(folder.filePath("data/Trash/files/"))) << moved[0].toString().toStdString();
    EXPECT_TRUE(moved[1].isEmpty());
    EXPECT_EQ(error.localizedDescription(), "“missing.txt” couldn’t be moved to the trash.");
}
