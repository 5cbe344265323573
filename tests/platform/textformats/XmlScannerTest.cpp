// The XML reader under the Word and OpenDocument importers: what documents hold reads as a general
// reader would read it, and anything else ends in an error, never a crash, a hang or a guess.
#include "platform/textformats/XmlScanner.h"

#include <QStringEncoder>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

// The tokens of a document as one line each, or the error it ends with.
QStringList tokens(const QByteArray& data, int maximumDepth = 256)
{
    XmlScanner xml(data, maximumDepth);
    QStringList out;
    for (int guard = 0; guard < 100000; ++guard) {
        switch (xml.readNext()) {
        case XmlScanner::StartElement: {
            QString line = QStringLiteral("<") + xml.name().toString() + u'@' + xml.namespaceUri().toString();
            for (const char* name : {"val", "a", "b"})
                if (const QStringView value = xml.attribute(QString::fromLatin1(name)); !value.isNull())
                    line += u' ' + QString::fromLatin1(name) + u'=' + value.toString();
            out << line;
            break;
        }
        case XmlScanner::EndElement:
            out << QStringLiteral("/") + xml.name().toString() + u'@' + xml.namespaceUri().toString();
            break;
        case XmlScanner::Characters:
            out << QStringLiteral("'") + xml.text().toString();
            break;
        case XmlScanner::EndDocument:
            return out;
        default:
            out << QStringLiteral("error %1").arg(int(xml.error()));
            EXPECT_TRUE(xml.hasError());
            EXPECT_FALSE(xml.errorString().isEmpty());
            return out;
        }
    }
    ADD_FAILURE() << "no end";
    return out;
}

XmlScanner::ErrorKind errorOf(const QByteArray& data, int maximumDepth = 256)
{
    XmlScanner xml(data, maximumDepth);
    for (int guard = 0; guard < 1000000 && !xml.atEnd(); ++guard)
        xml.readNext();
    EXPECT_TRUE(xml.atEnd());
    return xml.error();
}

} // namespace

TEST(XmlScanner, ReadsNamespacesAttributesReferencesAndSectionsAsDocumentsHoldThem)
{
    const QByteArray document =
        "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
        "<!-- a comment --><w:doc xmlns:w=\"urn:w\" xmlns=\"urn:default\">"
        "<w:p w:val=\"a &amp; b&#10;c\tx\" b = 'q&quot;'><plain/><?pi data?>"
        "x&lt;y &#x1F600;&#233;\r\nz<![CDATA[<raw> & ]]></w:p>"
        "<w:q xmlns:w=\"urn:inner\"><w:r/></w:q><w:s/></w:doc>\n<!-- trailing -->\n";
    EXPECT_EQ(tokens(document),
              (QStringList{QStringLiteral("<doc@urn:w"), QStringLiteral("<p@urn:w val=a & b\nc x b=q\""),
                           QStringLiteral("<plain@urn:default"), QStringLiteral("/plain@urn:default"),
                           QStringLiteral("'x<y ") + QString::fromUtf8("\xF0\x9F\x98\x80\xC3\xA9") +
                               QStringLiteral("\nz"),
                           QStringLiteral("'<raw> & "), QStringLiteral("/p@urn:w"), QStringLiteral("<q@urn:inner"),
                           QStringLiteral("<r@urn:inner"), QStringLiteral("/r@urn:inner"),
                           QStringLiteral("/q@urn:inner"), QStringLiteral("<s@urn:w"), QStringLiteral("/s@urn:w"),
                           QStringLiteral("/doc@urn:w")}));

    // Other encodings are read through their declaration or byte order mark.
    const QString text = QString::fromUtf8("<a val=\"caf\xC3\xA9\">na\xC3\xAFve</a>");
    const QStringList expected{QStringLiteral("<a@ val=caf\u00e9"), QStringLiteral("'na\u00efve"),
                               QStringLiteral("/a@")};
    QStringEncoder utf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
    EXPECT_EQ(tokens(utf16.encode(text)), expected);
    EXPECT_EQ(tokens("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" + text.toLatin1()), expected);

    // Element text, with or without what child elements hold.
    XmlScanner xml("<a>one<b>two</b>three</a>");
    xml.readNext();
    EXPECT_EQ(xml.readElementText(XmlScanner::IncludeChildElements), QStringLiteral("onetwothree"));
    EXPECT_TRUE(xml.isEndElement());
    XmlScanner skipping("<a>one<b>two</b>three</a>");
    skipping.readNext();
    EXPECT_EQ(skipping.readElementText(XmlScanner::SkipChildElements), QStringLiteral("onethree"));
}

TEST(XmlScanner, HostileOrMalformedInputEndsInAnError)
{
    const std::pair<const char*, XmlScanner::ErrorKind> cases[] = {
        {"", XmlScanner::PrematureEnd},
        {"   ", XmlScanner::PrematureEnd},
        {"<a>", XmlScanner::PrematureEnd},
        {"<a b=\"1", XmlScanner::PrematureEnd},
        {"<a><!-- open", XmlScanner::PrematureEnd},
        {"<a><![CDATA[ open", XmlScanner::PrematureEnd},
        {"<a>&amp", XmlScanner::PrematureEnd},
        {"<!DOCTYPE a [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><a>&e;</a>", XmlScanner::DocumentType},
        {"<a>&e;</a>", XmlScanner::UndeclaredEntity},
        {"<a>&#x110000;</a>", XmlScanner::NotWellFormed},
        {"<a>&#99999999999999999999999999;</a>", XmlScanner::NotWellFormed},
        {"<a>&#0;</a>", XmlScanner::NotWellFormed},
        {"<a>&#xD800;</a>", XmlScanner::NotWellFormed},
        {"<a>&#x;</a>", XmlScanner::NotWellFormed},
        {"<a>& b;</a>", XmlScanner::UndeclaredEntity},
        {"<a>&aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa;</a>", XmlScanner::NotWellFormed},
        {"<a>\x01</a>", XmlScanner::NotWellFormed},
        {"<a>\xC3</a>", XmlScanner::NotWellFormed},
        {"<a>\xC0\xAF</a>", XmlScanner::NotWellFormed},
        {"<a>\xED\xA0\x80</a>", XmlScanner::NotWellFormed},
        {"<a>\xF4\x90\x80\x80</a>", XmlScanner::NotWellFormed},
        {"<a>\xEF\xBF\xBF</a>", XmlScanner::NotWellFormed},
        {"<a></b>", XmlScanner::NotWellFormed},
        {"<a></ab>", XmlScanner::NotWellFormed},
        {"</a>", XmlScanner::NotWellFormed},
        {"<a/><b/>", XmlScanner::NotWellFormed},
        {"<a/>text", XmlScanner::NotWellFormed},
        {"text<a/>", XmlScanner::NotWellFormed},
        {"<a b=\"<\"/>", XmlScanner::NotWellFormed},
        {"<a b=1/>", XmlScanner::NotWellFormed},
        {"<a b\"1\"/>", XmlScanner::NotWellFormed},
        {"<a b=\"1\"c=\"2\"/>", XmlScanner::NotWellFormed},
        {"<a/ >", XmlScanner::NotWellFormed},
        {"<1a/>", XmlScanner::NotWellFormed},
        {"<a><!ELEMENT x></a>", XmlScanner::NotWellFormed},
        {"<![CDATA[x]]><a/>", XmlScanner::NotWellFormed},
        {"<?xml version=\"1.0\" encoding=\"no-such-encoding\"?><a/>", XmlScanner::NotWellFormed},
    };
    for (const auto& [input, kind] : cases)
        EXPECT_EQ(errorOf(QByteArray(input)), kind) << input;

    // Nesting stops at the bound, however deep the input goes.
    EXPECT_EQ(errorOf(QByteArray("<a>").repeated(100000)), XmlScanner::TooDeep);
    EXPECT_EQ(errorOf(QByteArray("<a>").repeated(5) + QByteArray("</a>").repeated(5), 4), XmlScanner::TooDeep);
    EXPECT_EQ(errorOf(QByteArray("<a>").repeated(4) + QByteArray("</a>").repeated(4), 4), XmlScanner::NoError);

    // Every truncation of a document that reads ends in an error, never a crash or a hang.
    const QByteArray whole = "<?xml version=\"1.0\"?><w:d xmlns:w=\"urn:w\"><w:p w:val=\"x&amp;y\">t&#233;"
                             "\xC3\xA9<![CDATA[c]]><!--n--><e/></w:p></w:d>";
    ASSERT_EQ(errorOf(whole), XmlScanner::NoError);
    for (qsizetype length = 0; length < whole.size(); ++length)
        EXPECT_NE(errorOf(whole.left(length)), XmlScanner::NoError) << length;
}
