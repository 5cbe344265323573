#include "platform/foundation/DataFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class DataFolderTest : public ::testing::Test {
protected:
    DataFolderTest() : m_previous(qgetenv("XDG_DATA_HOME"))
    {
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.path()));
    }
    ~DataFolderTest() override { qputenv("XDG_DATA_HOME", m_previous); }

    QString dataPath(const QString& relative) const { return m_home.filePath(relative); }
    void write(const QString& relative, const QByteArray& contents) const
    {
        QDir().mkpath(QFileInfo(dataPath(relative)).absolutePath());
        QFile file(dataPath(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }
    QByteArray read(const QString& relative) const
    {
        QFile file(dataPath(relative));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir m_home;
    QByteArray m_previous;
};

} // namespace

TEST_F(DataFolderTest, IsTheApplicationsFolderDirectlyInTheDataHome)
{
    EXPECT_EQ(DataFolder::path(), dataPath("Orvane"));
    const QByteArray previous = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(dataPath("cache")));
    EXPECT_EQ(DataFolder::cachePath(), dataPath("cache/Orvane"));
    qputenv("XDG_CACHE_HOME", previous);
}

TEST_F(DataFolderTest, TheOldNestedFolderMovesUpOnceAndLogsWhatMoved)
{
    write("Orvane/Orvane/Logs/Orvane.log", "old log\n");
    write("Orvane/Orvane/Analytics.plist", "statistics");
    write("Orvane/Orvane/Autosave Information/Script (Autosaved).ovdocument/Content.rtfd/TXT.rtf",
          "{\\rtf1}");
    QFile::link("/nonexistent", dataPath("Orvane/Orvane/link"));

    const QString line = DataFolder::moveContentsOfOldFolder();
    EXPECT_TRUE(line.contains("Analytics.plist, Autosave Information, Logs, link")) << qPrintable(line);
    EXPECT_TRUE(line.contains(dataPath("Orvane/Orvane"))) << qPrintable(line);
    EXPECT_EQ(read("Orvane/Logs/Orvane.log"), "old log\n");
    EXPECT_EQ(read("Orvane/Analytics.plist"), "statistics");
    EXPECT_EQ(read("Orvane/Autosave Information/Script (Autosaved).ovdocument/Content.rtfd/TXT.rtf"),
              "{\\rtf1}");
    EXPECT_EQ(QFileInfo(dataPath("Orvane/link")).symLinkTarget(), "/nonexistent");
    EXPECT_FALSE(QFileInfo::exists(dataPath("Orvane/Orvane")));

    EXPECT_TRUE(DataFolder::moveContentsOfOldFolder().isEmpty());
}

TEST_F(DataFolderTest, WhatTheNewFolderAlreadyHoldsIsNeverReplaced)
{
    write("Orvane/Analytics.plist", "new statistics");
    write("Orvane/Orvane/Analytics.plist", "old statistics");
    write("Orvane/Orvane/SettingsBeforeReset.plist", "snapshot");

    const QString line = DataFolder::moveContentsOfOldFolder();
    EXPECT_TRUE(line.contains("SettingsBeforeReset.plist")) << qPrintable(line);
    EXPECT_TRUE(line.contains("Kept in the old folder")) << qPrintable(line);
    EXPECT_EQ(read("Orvane/Analytics.plist"), "new statistics");
    EXPECT_EQ(read("Orvane/Orvane/Analytics.plist"), "old statistics");
    EXPECT_EQ(read("Orvane/SettingsBeforeReset.plist"), "snapshot");
    // Nothing more can move, so nothing more is logged on later starts.
    EXPECT_TRUE(DataFolder::moveContentsOfOldFolder().isEmpty());
}

TEST_F(DataFolderTest, AnOldFolderThatIsALinkIsLeftAlone)
{
    QTemporaryDir elsewhere;
    QDir().mkpath(dataPath("Orvane"));
    QFile::link(elsewhere.path(), dataPath("Orvane/Orvane"));
    QFile file(elsewhere.filePath("Analytics.plist"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_TRUE(DataFolder::moveContentsOfOldFolder().isEmpty());
    EXPECT_TRUE(QFileInfo::exists(elsewhere.filePath("Analytics.plist")));
}
