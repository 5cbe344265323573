#include "platform/foundation/WriteAll.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

TEST(WriteAllTest, WritesEveryByteOfALargeBuffer)
{
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("data")));
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    QByteArray data(3 * 1024 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < data.size(); ++i)
        data[i] = char(i * 31);
    EXPECT_TRUE(writeAll(fd, data));
    ::close(fd);
    QFile written(QString::fromLocal8Bit(path));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), data);
}

TEST(WriteAllTest, AnEmptyBufferWritesNothingAndSucceeds)
{
    EXPECT_TRUE(writeAll(-1, QByteArray()));
}

TEST(WriteAllTest, FailsWithTheSystemsReasonOnADescriptorOpenForReading)
{
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("data")));
    QFile create(QString::fromLocal8Bit(path));
    ASSERT_TRUE(create.open(QIODevice::WriteOnly));
    create.close();
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    errno = 0;
    EXPECT_FALSE(writeAll(fd, QByteArrayLiteral("words")));
    EXPECT_EQ(errno, EBADF);
    ::close(fd);
}
