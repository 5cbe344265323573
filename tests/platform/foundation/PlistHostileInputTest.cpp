#include "platform/foundation/PropertyListSerialization.h"
#include "tests/platform/foundation/PlistTestSupport.h"

#include <gtest/gtest.h>

namespace {

using Format = PropertyListSerialization::Format;

// Reading must fail cleanly, with the property-list error code and a reason.
void expectRejected(const QByteArray& data, const char* what)
{
    Error error;
    EXPECT_FALSE(PropertyListSerialization::propertyListWithData(data, nullptr, &error)) << what;
    EXPECT_EQ(error.domain(), kCocoaErrorDomain) << what;
    EXPECT_EQ(error.code(), kPropertyListReadCorruptError) << what;
    EXPECT_FALSE(error.localizedFailureReason().isEmpty()) << what;
}

QByteArray bigEndian(quint64 value, int width)
{
    QByteArray out;
    for (int i = width - 1; i >= 0; --i)
        out.append(char((value >> (8 * i)) & 0xFF));
    return out;
}

// A binary property list of the given objects with two-byte offsets and references.
QByteArray binaryList(const std::vector<QByteArray>& objects, quint64 top = 0, quint64 countOverride = 0)
{
    QByteArray out("bplist00");
    QByteArray table;
    for (const QByteArray& object : objects) {
        table.append(bigEndian(quint64(out.size()), 2));
        out.append(object);
    }
    const quint64 tableOffset = quint64(out.size());
    out.append(table);
    out.append(6, '\0');
    out.append(char(2)).append(char(2));
    out.append(bigEndian(countOverride ? countOverride : objects.size(), 8));
    out.append(bigEndian(top, 8));
    out.append(bigEndian(tableOffset, 8));
    return out;
}

QByteArray ref(quint64 index)
{
    return bigEndian(index, 2);
}

QByteArray xmlDocument(const QByteArray& body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">" + body + "</plist>\n";
}

} // namespace

TEST(PlistHostileInputTest, RejectsEveryTruncationOfABinaryList)
{
    const QByteArray data =
        *PropertyListSerialization::dataWithPropertyList(samplePropertyList(), Format::Binary);
    for (qsizetype size = 0; size < data.size(); ++size)
        EXPECT_FALSE(PropertyListSerialization::propertyListWithData(data.left(size))) << size;
}

TEST(PlistHostileInputTest, RejectsEveryTruncationOfAnXmlList)
{
    const QByteArray data =
        *PropertyListSerialization::dataWithPropertyList(samplePropertyList(), Format::Xml);
    // Cutting after "</dict>\n" leaves a complete value without its closing </plist>: still refused.
    for (qsizetype size = 0; size < data.size() - 1; ++size)
        EXPECT_FALSE(PropertyListSerialization::propertyListWithData(data.left(size))) << size;
}

TEST(PlistHostileInputTest, RejectsBadBinaryStructure)
{
    const QByteArray valid = binaryList({QByteArray("\x51x", 2)});
    ASSERT_TRUE(PropertyListSerialization::propertyListWithData(valid));

    expectRejected("bplist01" + valid.mid(8), "other version");
    expectRejected("bplist", "magic only");
    expectRejected("nothing like a plist", "wrong magic");
    expectRejected(binaryList({QByteArray("\x51x", 2)}, 1), "top object past the count");
    expectRejected(binaryList({QByteArray("\x51x", 2)}, 0, 1000), "count past the offset table");
    expectRejected(binaryList({QByteArray("\x51x", 2)}, 0, 0x2000000000000000ULL),
                   "count overflowing the table size");

    QByteArray offsetPastEnd = valid;
    offsetPastEnd[10] = char(0x7F); // the only offset entry now points past the objects
    expectRejected(offsetPastEnd, "offset past the end");

    QByteArray zeroWidth = valid;
    zeroWidth[zeroWidth.size() - 26] = 0; // offset entry width
    expectRejected(zeroWidth, "offset entries of width zero");

    QByteArray tablePastEnd = valid;
    tablePastEnd[tablePastEnd.size() - 1] = char(0xF0);
    expectRejected(tablePastEnd, "offset table past the end");
}

TEST(PlistHostileInputTest, RejectsBadBinaryObjects)
{
    expectRejected(binaryList({QByteArray("\x5f\x10\x40"
                                          "abc",
                                          6)}),
                   "string longer than the data");
    expectRejected(binaryList({QByteArray("\x4f\x13\x7f\xff\xff\xff\xff\xff\xff\xff", 10)}),
                   "huge data count");
    expectRejected(binaryList({QByteArray("\x6f\x13\x7f\xff\xff\xff\xff\xff\xff\xff", 10)}),
                   "count that overflows when doubled");
    expectRejected(binaryList({QByteArray("\xdf\x13\x7f\xff\xff\xff\xff\xff\xff\xff", 10)}),
                   "dictionary count that overflows");
    expectRejected(binaryList({QByteArray("\xaf\x13\xff\xff\xff\xff\xff\xff\xff\xff", 10)}),
                   "negative count");
    expectRejected(binaryList({QByteArray("\xaf\x23\x00", 3)}), "count that is not an integer");
    expectRejected(binaryList({QByteArray("\x61\xd8\x00", 3)}), "lone high surrogate");
    expectRejected(binaryList({QByteArray("\x62\xdc\x00\x00\x41", 5)}), "lone low surrogate");
    expectRejected(binaryList({QByteArray("\x51\xe9", 2)}), "non-ASCII byte in an ASCII string");
    expectRejected(binaryList({QByteArray("\x15", 1) + QByteArray(32, '\x01')}),
                   "integer wider than 16 bytes");
    expectRejected(binaryList({QByteArray("\x14", 1) + QByteArray(16, '\x01')}), "integer beyond 64 bits");
    expectRejected(binaryList({QByteArray("\x21\x00\x00", 3)}), "two-byte real");
    expectRejected(binaryList({QByteArray("\x33\x00\x00", 3)}), "truncated date");
    expectRejected(binaryList({QByteArray("\x70", 1)}), "unknown type");
    expectRejected(binaryList({QByteArray("\x88\x00", 2)}), "nine-byte UID");
    expectRejected(binaryList({QByteArray("\xa1", 1) + ref(5)}), "reference past the object count");
    expectRejected(binaryList({QByteArray("\xd1", 1) + ref(1) + ref(1), QByteArray("\x10\x01", 2)}),
                   "dictionary key that is not a string");
}

TEST(PlistHostileInputTest, RejectsBinaryReferenceCycles)
{
    expectRejected(binaryList({QByteArray("\xa1", 1) + ref(0)}), "array containing itself");
    expectRejected(binaryList({QByteArray("\xd1", 1) + ref(1) + ref(2), QByteArray("\x51k", 2),
                               QByteArray("\xa1", 1) + ref(0)}),
                   "dictionary reached again through an array");
}

TEST(PlistHostileInputTest, RejectsSharedContainersThatMultiply)
{
    // Each array holds the next one twice: 2^40 values from a few hundred bytes.
    std::vector<QByteArray> objects;
    for (int i = 0; i < 40; ++i)
        objects.push_back(QByteArray("\xa2", 1) + ref(i + 1) + ref(i + 1));
    objects.push_back(QByteArray("\x51x", 2));
    expectRejected(binaryList(objects), "exponential sharing");
}

TEST(PlistHostileInputTest, RejectsNestingTooDeep)
{
    const int depth = kPropertyListMaximumDepth + 50;
    std::vector<QByteArray> objects;
    for (int i = 0; i < depth; ++i)
        objects.push_back(QByteArray("\xa1", 1) + ref(i + 1));
    objects.push_back(QByteArray("\x09", 1));
    expectRejected(binaryList(objects), "binary arrays nested too deep");
    expectRejected(xmlDocument(QByteArray("<array>").repeated(depth) + "<true/>" +
                               QByteArray("</array>").repeated(depth)),
                   "XML arrays nested too deep");
    expectRejected(xmlDocument(QByteArray("<dict><key>k</key>").repeated(depth) + "<true/>" +
                               QByteArray("</dict>").repeated(depth)),
                   "XML dictionaries nested too deep");

    // Deep but within the limit is fine, and the writers refuse what the readers would.
    PlistValue nested(true);
    for (int i = 0; i < kPropertyListMaximumDepth; ++i)
        nested = PlistValue(PlistArray{nested});
    for (Format format : {Format::Xml, Format::Binary}) {
        const std::optional<QByteArray> data =
            PropertyListSerialization::dataWithPropertyList(nested, format);
        ASSERT_TRUE(data);
        EXPECT_TRUE(PropertyListSerialization::propertyListWithData(*data));
        Error error;
        EXPECT_FALSE(PropertyListSerialization::dataWithPropertyList(PlistArray{nested}, format, &error));
        EXPECT_EQ(error.code(), kPropertyListWriteInvalidError);
    }
}

TEST(PlistHostileInputTest, RejectsBadXmlText)
{
    expectRejected(xmlDocument("<string>\xc3\x28</string>"), "invalid UTF-8");
    expectRejected(xmlDocument("<string>\xed\xa0\x80</string>"), "UTF-8 encoded surrogate");
    expectRejected(xmlDocument("<string>\xc0\xaf</string>"), "overlong UTF-8");
    expectRejected(xmlDocument("<string>a\x01</string>"), "control character");
    expectRejected(xmlDocument("<string>&undefined;</string>"), "undeclared entity");
    expectRejected(xmlDocument("<string>unclosed"), "unclosed element");
    expectRejected(xmlDocument("<integer>99999999999999999999999999</integer>"), "huge integer");
    expectRejected(xmlDocument("<string>a</string>") + "<string>b</string>", "second root value");
    expectRejected("<plist><dict></plist>", "mismatched tags");
}

TEST(PlistHostileInputTest, DoesNotExpandEntitiesWithoutBound)
{
    QByteArray dtd = "<?xml version=\"1.0\"?>\n<!DOCTYPE plist [\n<!ENTITY a0 \"xxxxxxxxxxxxxxxx\">\n";
    for (int i = 1; i < 20; ++i)
        dtd += QStringLiteral("<!ENTITY a%1 \"&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;\">\n")
                   .arg(i)
                   .arg(i - 1)
                   .toUtf8();
    dtd += "]>\n<plist version=\"1.0\"><string>&a19;</string></plist>\n";
    expectRejected(dtd, "entity expansion bomb");
}

TEST(PlistHostileInputTest, RejectsNeitherForm)
{
    expectRejected(QByteArray(), "empty input");
    expectRejected(QByteArray("   "), "whitespace only");
    expectRejected(QByteArray("{ a = b; }"), "text form");
    expectRejected(QByteArray("<?xml version=\"1.0\"?><!-- nothing -->"), "XML without a value");
}
