#include "platform/hvkit/HVLogger.h"
#include "platform/hvkit/HVVersion.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Redirects for one test and puts everything back afterwards.
class RedirectedLogs {
public:
    RedirectedLogs()
    {
        HVLogger::setLogFilePath({});
        HVLogger::setSink([this](const QString& line) { lines << line; });
        HVLogger::redirectLogs();
    }
    ~RedirectedLogs()
    {
        HVLogger::restoreLogs();
        HVLogger::setSink({});
    }
    QStringList lines;
};

} // namespace

TEST(HVLoggerTest, QtMessagesGoThroughTheLoggerOnceRedirected)
{
    RedirectedLogs logs;
    HVLogger::redirectLogs(); // a second call changes nothing
    qWarning("%s error = %s", "+[OVSomething doIt:]", "bad");
    ASSERT_EQ(logs.lines.size(), 1);
    EXPECT_TRUE(logs.lines[0].endsWith("<warning> +[OVSomething doIt:] error = bad"))
        << logs.lines[0].toStdString();
    EXPECT_TRUE(HVLogger::isRedirectingLogs());
}

TEST(HVLoggerTest, LaunchInformationNamesVersionAndBuild)
{
    HVVersion::setAppVersionStrings("3.1", "1234");
    RedirectedLogs logs;
    HVLogger::logAppLaunchInformation();
    ASSERT_EQ(logs.lines.size(), 1);
    EXPECT_TRUE(logs.lines[0].contains("3.1 (1234) launched on"));
}

TEST(HVLoggerTest, RestoringStopsTheRedirection)
{
    QStringList lines;
    HVLogger::setSink([&](const QString& line) { lines << line; });
    HVLogger::redirectLogs();
    HVLogger::restoreLogs();
    qDebug("not for the logger");
    EXPECT_TRUE(lines.isEmpty());
    EXPECT_FALSE(HVLogger::isRedirectingLogs());
    HVLogger::setSink({});
}

TEST(HVLoggerTest, WritesLinesToTheLogFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Logs/Orvane.log");
    HVLogger::setLogFilePath(path);
    HVLogger::redirectLogs();
    qInfo("first line");
    qInfo("second line");
    HVLogger::restoreLogs();
    HVLogger::setLogFilePath({});

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.contains("first line\n"));
    EXPECT_TRUE(text.contains("second line\n"));
}
