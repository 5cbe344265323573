#include "platform/foundation/Clock.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "tests/platform/foundation/PlistTestSupport.h"

#include <gtest/gtest.h>

namespace {

using Format = PropertyListSerialization::Format;

QByteArray toXml(const PlistValue& value)
{
    Error error;
    const std::optional<QByteArray> data =
        PropertyListSerialization::dataWithPropertyList(value, Format::Xml, &error);
    EXPECT_TRUE(data) << error.localizedFailureReason().toStdString();
    return data.value_or(QByteArray());
}

std::optional<PlistValue> fromXml(const QByteArray& xml, Error* error = nullptr)
{
    Format format = Format::Binary;
    std::optional<PlistValue> value = PropertyListSerialization::propertyListWithData(xml, &format, error);
    if (value) {
        EXPECT_EQ(format, Format::Xml);
    }
    return value;
}

QByteArray document(const QByteArray& body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n" + body + "\n</plist>\n";
}

} // namespace

TEST(PlistXmlTest, WritesThePlatformLayout)
{
    PlistDictionary root;
    root.insert("name", "A & B");
    root.insert("count", 3);
    root.insert("ratio", 0.5);
    root.insert("on", true);
    root.insert("when", PlistDate{0});
    root.insert("bytes", QByteArray("abc"));
    root.insert("items",
                PlistArray{PlistValue(PlistDictionary()), PlistValue(PlistArray()), PlistValue(false)});
    root.insert("ref", PlistUid{7});

    const QByteArray expected = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                                "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                                "<plist version=\"1.0\">\n"
                                "<dict>\n"
                                "\t<key>name</key>\n"
                                "\t<string>A &amp; B</string>\n"
                                "\t<key>count</key>\n"
                                "\t<integer>3</integer>\n"
                                "\t<key>ratio</key>\n"
                                "\t<real>0.5</real>\n"
                                "\t<key>on</key>\n"
                                "\t<true/>\n"
                                "\t<key>when</key>\n"
                                "\t<date>2001-01-01T00:00:00Z</date>\n"
                                "\t<key>bytes</key>\n"
                                "\t<data>\n"
                                "\tYWJj\n"
                                "\t</data>\n"
                                "\t<key>items</key>\n"
                                "\t<array>\n"
                                "\t\t<dict/>\n"
                                "\t\t<array/>\n"
                                "\t\t<false/>\n"
                                "\t</array>\n"
                                "\t<key>ref</key>\n"
                                "\t<dict>\n"
                                "\t\t<key>CF$UID</key>\n"
                                "\t\t<integer>7</integer>\n"
                                "\t</dict>\n"
                                "</dict>\n"
                                "</plist>\n";
    EXPECT_EQ(toXml(root), expected);
}

TEST(PlistXmlTest, RoundTripsEveryKindOfValue)
{
    const PlistValue sample = samplePropertyList();
    const std::optional<PlistValue> back = fromXml(toXml(sample));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, sample);
    // Key order survives too, which content equality alone would not show.
    EXPECT_EQ(toXml(*back), toXml(sample));
}

TEST(PlistXmlTest, WritesShortestRoundTrippingReals)
{
    const QByteArray xml =
        toXml(PlistArray{PlistValue(0.1), PlistValue(3.0), PlistValue(-0.0), PlistValue(1e-7),
                         PlistValue(std::numeric_limits<double>::infinity()),
                         PlistValue(std::numeric_limits<double>::quiet_NaN())});
    EXPECT_TRUE(xml.contains("<real>0.1</real>"));
    EXPECT_TRUE(xml.contains("<real>3</real>"));
    EXPECT_TRUE(xml.contains("<real>-0</real>"));
    EXPECT_TRUE(xml.contains("<real>1e-07</real>"));
    EXPECT_TRUE(xml.contains("<real>+infinity</real>"));
    EXPECT_TRUE(xml.contains("<real>nan</real>"));
    const std::optional<PlistValue> back = fromXml(xml);
    ASSERT_TRUE(back);
    EXPECT_TRUE(std::isnan(back->array()[5].real()));
    EXPECT_EQ(back->array()[4].real(), std::numeric_limits<double>::infinity());
}

TEST(PlistXmlTest, WritesDatesInWholeUtcSeconds)
{
    // 2024-02-29 12:34:56.75 UTC
    const double seconds = 1709210096.75 - kReferenceDateUnixOffset;
    const QByteArray xml = toXml(PlistDate{seconds});
    EXPECT_TRUE(xml.contains("<date>2024-02-29T12:34:56Z</date>")) << xml.toStdString();
    EXPECT_EQ(fromXml(xml)->date().secondsSinceReferenceDate, seconds - 0.75);
    EXPECT_TRUE(toXml(PlistDate{-1}).contains("<date>2000-12-31T23:59:59Z</date>"));
    Error error;
    EXPECT_FALSE(PropertyListSerialization::dataWithPropertyList(PlistDate{1e300}, Format::Xml, &error));
}

TEST(PlistXmlTest, LaysOutLongDataInNarrowingLines)
{
    const QByteArray bytes(200, 'x');
    const QByteArray top = toXml(bytes);
    const QByteArray nested = toXml(PlistArray{PlistValue(PlistArray{PlistValue(bytes)})});
    const QList<QByteArray> topLines = top.split('\n');
    const QList<QByteArray> nestedLines = nested.split('\n');
    // At the top, 76 characters a line; two levels down, 76 less two tabs of eight columns.
    EXPECT_EQ(topLines[4].size(), 76);
    EXPECT_EQ(nestedLines[6], QByteArray("\t\t") + bytes.toBase64().left(60));
    EXPECT_EQ(fromXml(nested)->array()[0].array()[0].data(), bytes);
}

TEST(PlistXmlTest, ReadsWhatOtherWritersProduce)
{
    const std::optional<PlistValue> value =
        fromXml("\xef\xbb\xbf<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                "<plist version=\"1.0\"><!-- comment --><dict>"
                "<key>hex</key><integer> 0x1F </integer>"
                "<key>neg</key><integer>-42</integer>"
                "<key>big</key><integer>18446744073709551615</integer>"
                "<key>cdata</key><string><![CDATA[<not markup>]]></string>"
                "<key>entity</key><string>&#x263A;&lt;</string>"
                "<key>empty</key><string/>"
                "<key>data</key><data>YW\n  Jj</data>"
                "<key>inf</key><real>-inf</real>"
                "<key>overflow</key><real>1e999</real>"
                "<key>dup</key><integer>1</integer><key>dup</key><integer>2</integer>"
                "<key>notUid</key><dict><key>CF$UID</key><string>1</string></dict>"
                "</dict></plist>");
    ASSERT_TRUE(value);
    const PlistDictionary& root = value->dictionary();
    EXPECT_EQ(root.value("hex").integer(), 31);
    EXPECT_EQ(root.value("neg").integer(), -42);
    EXPECT_TRUE(root.value("big").isUnsignedInteger());
    EXPECT_EQ(root.value("cdata").string(), "<not markup>");
    EXPECT_EQ(root.value("entity").string(), QString::fromUtf8("\u263a<"));
    EXPECT_TRUE(root.value("empty").isString());
    EXPECT_EQ(root.value("data").data(), "abc");
    EXPECT_EQ(root.value("inf").real(), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(root.value("dup").integer(), 2);
    EXPECT_EQ(root.value("overflow").real(), std::numeric_limits<double>::infinity());
    EXPECT_EQ(root.size(), 11);
    EXPECT_TRUE(root.value("notUid").isDictionary());

    const std::optional<PlistValue> bare = fromXml("<array><true/></array>");
    ASSERT_TRUE(bare);
    EXPECT_EQ(*bare, PlistValue(PlistArray{PlistValue(true)}));
}

TEST(PlistXmlTest, ReadsTheSameValuesWhicheverWayTheXmlIsSpelt)
{
    // Plain documents are read straight from their bytes; any other spelling goes through the general
    // XML reader. Both must give the same values.
    const PlistValue sample = samplePropertyList();
    const QByteArray plain = toXml(sample);
    EXPECT_EQ(*fromXml(plain), sample);

    QByteArray crlf = plain;
    EXPECT_EQ(*fromXml(crlf.replace("\n", "\r\n")), sample);
    QByteArray commented = plain;
    EXPECT_EQ(*fromXml(commented.replace("<dict>", "<dict><!-- note -->")), sample);
    QByteArray spaced = plain;
    EXPECT_EQ(*fromXml(spaced.replace("<array>", "<array >").replace("</key>", "</key >")), sample);
    QByteArray declared = plain;
    EXPECT_EQ(*fromXml(declared.replace(" encoding=\"UTF-8\"", " encoding=\"UTF-8\" standalone=\"yes\"")),
              sample);

    const QByteArray references =
        document("<dict><key>k&amp;&#x41;</key>"
                 "<string>&#x263A;&lt;&gt;&quot;&apos;&#13;&#65;\u00e9</string></dict>");
    PlistDictionary expected;
    expected.insert("k&A", QString::fromUtf8("\u263a<>\"'\rA\u00e9"));
    EXPECT_EQ(*fromXml(references), PlistValue(expected));

    // A byte-order mark inside text is a character, not an encoding mark to drop.
    PlistDictionary marks;
    marks.insert(QString::fromUtf8("\ufeffkey"), QString::fromUtf8("\ufeff\ufeffvalue"));
    marks.insert("after an entity", QString::fromUtf8("&\ufeff<"));
    EXPECT_EQ(*fromXml(toXml(marks)), PlistValue(marks));

    // What the general reader refuses stays refused.
    for (const QByteArray& refused :
         {QByteArray("\n<?xml version=\"1.0\"?><plist><true/></plist>"), document("<string>a]]>b</string>"),
          document("<string>&#0;</string>"), document("<string>\xef\xbf\xbe</string>"),
          document("<integer>1</string>"), document("<array><true/></dict>")}) {
        Error error;
        EXPECT_FALSE(fromXml(refused, &error)) << refused.toStdString();
        EXPECT_EQ(error.code(), kPropertyListReadCorruptError) << refused.toStdString();
    }
}

TEST(PlistXmlTest, PreservesCarriageReturnsAndRefusesUnwritableText)
{
    const PlistValue text(QString("line\r\nbreak\ttab"));
    EXPECT_EQ(*fromXml(toXml(text)), text);

    Error error;
    EXPECT_FALSE(PropertyListSerialization::dataWithPropertyList(QString("bell\a"), Format::Xml, &error));
    EXPECT_EQ(error.code(), kPropertyListWriteInvalidError);
    EXPECT_FALSE(
        PropertyListSerialization::dataWithPropertyList(QString(QChar(0xD800)), Format::Xml, &error));
    EXPECT_FALSE(
        PropertyListSerialization::dataWithPropertyList(PlistArray{PlistValue()}, Format::Xml, &error));
}

TEST(PlistXmlTest, RejectsMalformedValues)
{
    const char* bodies[] = {
        "<integer>12a</integer>",
        "<integer>18446744073709551616</integer>",
        "<integer>-9223372036854775809</integer>",
        "<integer></integer>",
        "<real>1.5x</real>",
        "<real>+-1</real>",
        "<date>2001-02-30T00:00:00Z</date>",
        "<date>2001-01-01 00:00:00</date>",
        "<data>@@@@</data>",
        "<true>yes</true>",
        "<dict><string>no key</string></dict>",
        "<dict><key>a</key></dict>",
        "<array><key>a</key></array>",
        "<color/>",
        "<string>a<b/></string>",
        "<array>stray</array>",
        "",
    };
    for (const char* body : bodies) {
        Error error;
        EXPECT_FALSE(fromXml(document(body), &error)) << body;
        EXPECT_EQ(error.code(), kPropertyListReadCorruptError) << body;
        EXPECT_FALSE(error.localizedFailureReason().isEmpty()) << body;
    }
    EXPECT_FALSE(fromXml(document("<true/><true/>")));
    EXPECT_FALSE(fromXml(document("<true/>") + "<true/>"));
}
