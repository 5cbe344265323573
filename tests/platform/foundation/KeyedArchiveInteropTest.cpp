#include "platform/foundation/ArchiveObject.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

// Runs the Python peer; its output comes back in the failure message.
bool runPeer(const QString& command, const QString& path, QString* output)
{
#ifdef ORVANE_PYTHON3
    QProcess python;
    python.setProcessChannelMode(QProcess::MergedChannels);
    python.start(ORVANE_PYTHON3,
                 {QStringLiteral(ORVANE_SOURCE_DIR "/tests/platform/foundation/keyed_archive_peer.py"),
                  command, path});
    const bool finished = python.waitForFinished(60000);
    *output = QString::fromUtf8(python.readAll());
    return finished && python.exitStatus() == QProcess::NormalExit && python.exitCode() == 0;
#else
    Q_UNUSED(command);
    Q_UNUSED(path);
    Q_UNUSED(output);
    return false;
#endif
}

ArchiveObject bookmark(const ArchiveValue& name, qint64 type)
{
    ArchiveObject object("OVBookmark");
    object.encodeObject("name", name);
    object.encodeInteger("type", type);
    return object;
}

} // namespace

TEST(KeyedArchiveInteropTest, PythonReadsOurArchive)
{
#ifndef ORVANE_PYTHON3
    GTEST_SKIP() << "no Python interpreter was found at configure time";
#endif
    ArchiveDictionary root;
    root.insert("bookmarks", ArchiveArray{bookmark("Intro", 0), bookmark(ArchiveValue(), 0)});
    root.insert("Version", 2);
    root.insert("ratio", 0.75);
    root.insert("enabled", true);
    root.insert("bytes", QByteArray("\x00\x01\xff", 3));
    root.insert("text", QString::fromUtf8("Grüße \xF0\x9F\x98\x80"));
    root.insert("colour", ArchivedColor::rgb(1, 0.5, 0));

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("ours.archive");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(KeyedArchiver::archivedData(root));
    file.close();

    QString output;
    EXPECT_TRUE(runPeer("check", path, &output)) << output.toStdString();
}

TEST(KeyedArchiveInteropTest, WeReadPythonsArchive)
{
#ifndef ORVANE_PYTHON3
    GTEST_SKIP() << "no Python interpreter was found at configure time";
#endif
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("theirs.archive");
    QString output;
    ASSERT_TRUE(runPeer("write", path, &output)) << output.toStdString();

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    Error error;
    const auto decoded = KeyedUnarchiver::unarchivedRootObject(file.readAll(), {"OVBookmark"}, &error);
    ASSERT_TRUE(decoded) << error.localizedFailureReason().toStdString();
    ASSERT_TRUE(decoded->object());
    EXPECT_EQ(*decoded->object(), bookmark(QString::fromUtf8("Written by Python – 日本"), 7));
}
