#include "platform/hvkit/HVAnalytics.h"
#include "platform/hvkit/HVKit.h"
#include "platform/hvkit/HVLogger.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

QString dataFolder()
{
    return qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/Orvane");
}

} // namespace

TEST(DataFolderPlaces, StatisticsAndSupportFilesLiveDirectlyInTheDataFolder)
{
    EXPECT_EQ(HVAnalytics::defaultFilePath(), dataFolder() + "/Analytics.plist");
    EXPECT_EQ(HVKit::appSupportFolderURL().toLocalFile(), dataFolder());
}

TEST(DataFolderPlaces, StartingTheLogMovesAnOlderVersionsFolderUpAndSaysSo)
{
    const QString logName = QStringLiteral("Logs/") + QCoreApplication::applicationName() + ".log";
    if (HVLogger::logFilePath() != dataFolder() + u'/' + logName)
        GTEST_SKIP() << "another test in this process chose a log file of its own";
    const QString old = dataFolder() + "/Orvane/";
    ASSERT_TRUE(QDir().mkpath(old + "Logs"));
    QFile previous(old + logName);
    ASSERT_TRUE(previous.open(QIODevice::WriteOnly));
    previous.write("a line from before\n");
    previous.close();

    QStringList lines;
    HVLogger::setSink([&](const QString& line) { lines << line; });
    HVLogger::redirectLogs();
    HVLogger::restoreLogs();
    HVLogger::setSink({});

    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].contains("Moved the data folder's contents (Logs)")) << qPrintable(lines[0]);
    QFile moved(dataFolder() + u'/' + logName);
    ASSERT_TRUE(moved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(moved.readAll().startsWith("a line from before\n"));
    EXPECT_FALSE(QFileInfo::exists(dataFolder() + "/Orvane"));
}
