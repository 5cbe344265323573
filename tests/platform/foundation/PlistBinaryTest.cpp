#include "platform/foundation/PropertyListSerialization.h"
#include "tests/platform/foundation/PlistTestSupport.h"

#include <gtest/gtest.h>

namespace {

using Format = PropertyListSerialization::Format;

QByteArray toBinary(const PlistValue& value)
{
    Error error;
    const std::optional<QByteArray> data =
        PropertyListSerialization::dataWithPropertyList(value, Format::Binary, &error);
    EXPECT_TRUE(data) << error.localizedFailureReason().toStdString();
    return data.value_or(QByteArray());
}

std::optional<PlistValue> fromBinary(const QByteArray& data, Error* error = nullptr)
{
    Format format = Format::Xml;
    std::optional<PlistValue> value = PropertyListSerialization::propertyListWithData(data, &format, error);
    if (value) {
        EXPECT_EQ(format, Format::Binary);
    }
    return value;
}

// A hand-made binary property list: header, the given objects, one-byte offsets and references.
QByteArray handMade(const std::vector<QByteArray>& objects, int top = 0)
{
    QByteArray out("bplist00");
    QByteArray table;
    for (const QByteArray& object : objects) {
        table.append(char(out.size()));
        out.append(object);
    }
    const qsizetype tableOffset = out.size();
    out.append(table);
    out.append(6, '\0');
    out.append(char(1)).append(char(1));
    out.append(QByteArray(7, '\0')).append(char(objects.size()));
    out.append(QByteArray(7, '\0')).append(char(top));
    out.append(QByteArray(7, '\0')).append(char(tableOffset));
    return out;
}

} // namespace

TEST(PlistBinaryTest, RoundTripsEveryKindOfValue)
{
    const PlistValue sample = samplePropertyList();
    const QByteArray data = toBinary(sample);
    ASSERT_TRUE(data.startsWith("bplist00"));
    const std::optional<PlistValue> back = fromBinary(data);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, sample);
    EXPECT_EQ(toBinary(*back), data);
}

TEST(PlistBinaryTest, WritesTheSmallestEncodings)
{
    // Root array (1 + 3 refs), "a" twice as one object, 300 as a two-byte integer, then the trailer.
    const QByteArray data = toBinary(PlistArray{PlistValue("a"), PlistValue("a"), PlistValue(300)});
    const QByteArray expectedObjects = QByteArray("bplist00") + "\xa3\x01\x01\x02" +
                                       "\x51"
                                       "a" +
                                       "\x11\x01\x2c";
    EXPECT_EQ(data.left(expectedObjects.size()), expectedObjects);
    EXPECT_EQ(data.size(), expectedObjects.size() + 3 + 32);
    // Trailer: one-byte offsets and references, three objects, top 0, table right after the objects.
    EXPECT_EQ(data.right(32), QByteArray(6, '\0') + "\x01\x01" + QByteArray(7, '\0') + "\x03" +
                                  QByteArray(8, '\0') + QByteArray(7, '\0') + char(expectedObjects.size()));
}

TEST(PlistBinaryTest, WritesAsciiWhenPossibleAndUtf16Otherwise)
{
    const QByteArray ascii = toBinary(QString("plain"));
    EXPECT_EQ(ascii.mid(8, 6), QByteArray("\x55plain"));
    const QByteArray wide = toBinary(QString::fromUtf8("\u00e9t\u00e9"));
    EXPECT_EQ(wide.mid(8, 7), QByteArray("\x63\x00\xe9\x00t\x00\xe9", 7));
    // Counts of 15 and more follow the marker as an integer object.
    const QByteArray longText = toBinary(QString(20, 'x'));
    EXPECT_EQ(longText.mid(8, 3), QByteArray("\x5f\x10\x14"));
    EXPECT_EQ(fromBinary(longText)->string(), QString(20, 'x'));
}

TEST(PlistBinaryTest, ReadsEveryIntegerAndRealWidth)
{
    const std::optional<PlistValue> value = fromBinary(handMade({
        QByteArray("\xa8\x01\x02\x03\x04\x05\x06\x07\x08", 9),
        QByteArray("\x10\xff", 2),
        QByteArray("\x11\xff\xfe", 3),
        QByteArray("\x12\xff\xff\xff\xff", 5),
        QByteArray("\x13\xff\xff\xff\xff\xff\xff\xff\xfe", 9),
        QByteArray("\x14\x00\x00\x00\x00\x00\x00\x00\x00\xff\xff\xff\xff\xff\xff\xff\xff", 17),
        QByteArray("\x14\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xfd", 17),
        QByteArray("\x22\x3f\xc0\x00\x00", 5),
        QByteArray("\x23\x3f\xf8\x00\x00\x00\x00\x00\x00", 9),
    }));
    ASSERT_TRUE(value);
    const PlistArray& items = value->array();
    EXPECT_EQ(items[0].integer(), 255);
    EXPECT_EQ(items[1].integer(), 65534);
    EXPECT_EQ(items[2].integer(), 4294967295LL);
    EXPECT_EQ(items[3].integer(), -2);
    EXPECT_EQ(items[4], PlistValue::unsignedInteger(std::numeric_limits<quint64>::max()));
    EXPECT_EQ(items[5].integer(), -3);
    EXPECT_EQ(items[6].real(), 1.5);
    EXPECT_EQ(items[7].real(), 1.5);
}

TEST(PlistBinaryTest, ReadsSetsAsArraysAndSharedContainersByValue)
{
    // Object 1 is an array referred to twice; a set of one string.
    const std::optional<PlistValue> value = fromBinary(handMade({
        QByteArray("\xa3\x01\x01\x03", 4),
        QByteArray("\xa1\x02", 2),
        QByteArray("\x51x", 2),
        QByteArray("\xc1\x02", 2),
    }));
    ASSERT_TRUE(value);
    const PlistArray expectedInner{PlistValue("x")};
    EXPECT_EQ(*value, PlistValue(PlistArray{PlistValue(expectedInner), PlistValue(expectedInner),
                                            PlistValue(expectedInner)}));
}

TEST(PlistBinaryTest, LargeDictionariesKeepOrderAndFindKeys)
{
    PlistDictionary big;
    for (int i = 999; i >= 0; --i)
        big.insert(QString("key %1").arg(i), i);
    const std::optional<PlistValue> back = fromBinary(toBinary(big));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->dictionary().entries().front().first, "key 999");
    EXPECT_EQ(back->dictionary().value("key 500").integer(), 500);
    PlistDictionary copy = back->dictionary();
    EXPECT_TRUE(copy.remove("key 500"));
    EXPECT_FALSE(copy.contains("key 500"));
    EXPECT_EQ(copy.value("key 499").integer(), 499);
    EXPECT_EQ(copy.size(), 999);
}
