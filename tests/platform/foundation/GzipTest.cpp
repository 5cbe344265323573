#include "platform/foundation/Gzip.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

#include <zlib.h>

namespace {

QByteArray sample()
{
    QByteArray text;
    for (int i = 0; i < 2000; ++i)
        text += "Line " + QByteArray::number(i) + " of a script that compresses well.\n";
    return text;
}

std::optional<QByteArray> inflated(const QByteArray& data, qsizetype cap = 1 << 24, Error* error = nullptr)
{
    return gunzip(data, cap, error);
}

} // namespace

TEST(GzipTest, RoundTripsAndWritesAPlainGzipMember)
{
    const QByteArray text = sample();
    const QByteArray packed = gzip(text);
    ASSERT_GE(packed.size(), 18);
    EXPECT_EQ(quint8(packed[0]), 0x1f);
    EXPECT_EQ(quint8(packed[1]), 0x8b);
    // No time stamp in the header, so equal data give equal bytes.
    EXPECT_EQ(packed.mid(4, 4), QByteArray(4, '\0'));
    EXPECT_EQ(packed, gzip(text));
    EXPECT_LT(packed.size(), text.size() / 4);
    EXPECT_EQ(inflated(packed), text);

    EXPECT_EQ(inflated(gzip(QByteArray())), QByteArray());
    QByteArray noise(100000, '\0');
    for (char& c : noise)
        c = char(QRandomGenerator::global()->generate());
    EXPECT_EQ(inflated(gzip(noise)), noise);
}

TEST(GzipTest, ReadsZlibStreamsAndConcatenatedMembers)
{
    const QByteArray text = sample();
    QByteArray zlibStream(qsizetype(compressBound(uLong(text.size()))), '\0');
    uLongf length = uLongf(zlibStream.size());
    ASSERT_EQ(compress(reinterpret_cast<Bytef*>(zlibStream.data()), &length,
                       reinterpret_cast<const Bytef*>(text.constData()), uLong(text.size())),
              Z_OK);
    zlibStream.resize(qsizetype(length));
    EXPECT_EQ(inflated(zlibStream), text);

    EXPECT_EQ(inflated(gzip("first ") + gzip("second")), QByteArray("first second"));
    EXPECT_EQ(inflated(gzip("padded") + QByteArray(512, '\0')), QByteArray("padded"));
}

TEST(GzipTest, RefusesTruncatedDamagedAndTrailingData)
{
    const QByteArray packed = gzip(sample());
    for (qsizetype length = 0; length < packed.size(); ++length) {
        Error error;
        EXPECT_FALSE(inflated(packed.left(length), 1 << 24, &error)) << length;
        EXPECT_EQ(error.code(), kFileReadCorruptFileError) << length;
    }

    QByteArray badChecksum = packed;
    badChecksum[badChecksum.size() - 6] = char(badChecksum[badChecksum.size() - 6] ^ 0x55);
    EXPECT_FALSE(inflated(badChecksum));
    QByteArray badMagic = packed;
    badMagic[0] = 'x';
    EXPECT_FALSE(inflated(badMagic));
    EXPECT_FALSE(inflated(packed + "garbage"));
    EXPECT_FALSE(inflated(packed + QByteArray("\x1f")));
    EXPECT_FALSE(inflated("plain text, not compressed"));
}

TEST(GzipTest, StopsAtTheSizeCap)
{
    // 16 MB of zeros packs into about 16 kB: a bomb for a reader without a cap.
    const QByteArray bomb = gzip(QByteArray(16 << 20, '\0'));
    ASSERT_LT(bomb.size(), 100 << 10);
    Error error;
    EXPECT_FALSE(inflated(bomb, 1 << 20, &error));
    EXPECT_EQ(error.code(), kFileReadTooLargeError);

    const QByteArray text = sample();
    EXPECT_EQ(inflated(gzip(text), text.size()), text);
    EXPECT_FALSE(inflated(gzip(text), text.size() - 1));
    EXPECT_FALSE(inflated(gzip("x"), 0));
    EXPECT_EQ(inflated(gzip(QByteArray()), 0), QByteArray());
    // The cap holds across concatenated members too.
    EXPECT_FALSE(inflated(gzip(text) + gzip(text), text.size() + 10));
}
