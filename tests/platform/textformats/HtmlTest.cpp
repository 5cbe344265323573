// HTML in and out of the text model: what documents from other programs hold, what our own writer
// makes, and hostile input.
#include "platform/foundation/FileWrapper.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/text/TextAttachment.h"
#include "platform/textformats/HtmlReader.h"
#include "platform/textformats/HtmlWriter.h"
#include "platform/textformats/PlainText.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

namespace {

MutableAttributedString readHtml(const QByteArray& html, DocumentAttributes* attributes = nullptr)
{
    MutableAttributedString text;
    Error error;
    EXPECT_TRUE(HtmlReader::read(html, text, attributes, &error));
    return text;
}

Font fontAt(const AttributedString& text, qsizetype index)
{
    const AttributeValue value = text.attribute(kFontAttributeName, index);
    return value.font() ? *value.font() : Font();
}

ParagraphStyle paragraphAt(const AttributedString& text, qsizetype index)
{
    const AttributeValue value = text.attribute(kParagraphStyleAttributeName, index);
    return value.paragraphStyle() ? *value.paragraphStyle() : ParagraphStyle();
}

std::optional<Color> colorAt(const AttributedString& text, const QString& name, qsizetype index)
{
    const AttributeValue value = text.attribute(name, index);
    return value.color() ? std::optional<Color>(*value.color()) : std::nullopt;
}

} // namespace

TEST(Html, ReadsStylesFromElementsAttributesAndStyleSheetsWithEntitiesAndMetadata)
{
    const QByteArray html = R"(<!DOCTYPE html>
<html><head>
<meta charset="utf-8">
<title>Evening &amp; News</title>
<meta name="author" content="Ana">
<meta name="keywords" content="news, evening">
<link rel="stylesheet" href="/etc/passwd">
<style>
/* a comment */
body { background-color: #102030; font-family: "Georgia", serif; font-size: 14pt }
p.lead { text-align: center; margin: 6pt 0 12pt 18pt; text-indent: 9pt; line-height: 1.5 }
.loud { font-weight: bold; color: rgb(255, 0, 0) }
div > p { color: blue }
@media print { p { color: green } }
</style>
</head>
<body>
<p class="lead">Good   evening,
  <span class="loud">tonight</span> &ldquo;caf&eacute;&rdquo;&#x2014;&#8217;</p>
<h1>Head<i>line</i></h1>
<p style="background-color: yellow; text-decoration: underline"><font face="Courier" size="5" color="#00ff00">mono</font>x<sup>2</sup><img src="file:///etc/passwd"></p>
<ul><li>one<li>two</ul>
</body></html>)";
    DocumentAttributes attributes;
    const MutableAttributedString text = readHtml(html, &attributes);
    const QString expected =
        QStringLiteral(u"Good evening, tonight \u201Ccaf\u00E9\u201D\u2014\u2019\nHeadline\nmonox2\n"
                       u"\t\u2022\tone\n\t\u2022\ttwo\n");
    EXPECT_EQ(text.string(), expected);

    EXPECT_EQ(attributes.value(NSDocumentTypeDocumentAttribute).toString(), NSHTMLTextDocumentType);
    EXPECT_EQ(attributes.value(NSTitleDocumentAttribute).toString(), QStringLiteral("Evening & News"));
    EXPECT_EQ(attributes.value(NSAuthorDocumentAttribute).toString(), QStringLiteral("Ana"));
    EXPECT_EQ(attributes.value(NSKeywordsDocumentAttribute).toStringList(),
              (QStringList{QStringLiteral("news"), QStringLiteral("evening")}));
    EXPECT_EQ(attributes.value(NSBackgroundColorDocumentAttribute).value<Color>(),
              Color::fromRgb8(0x10, 0x20, 0x30));

    // The body's font through the type selector, the class rule on the paragraph.
    EXPECT_EQ(fontAt(text, 0).familyName, QStringLiteral("Georgia"));
    EXPECT_EQ(fontAt(text, 0).pointSize, 14);
    EXPECT_FALSE(fontAt(text, 0).bold);
    const ParagraphStyle lead = paragraphAt(text, 0);
    EXPECT_EQ(lead.alignment, TextAlignment::Center);
    EXPECT_EQ(lead.paragraphSpacingBefore, 6);
    EXPECT_EQ(lead.paragraphSpacing, 12);
    EXPECT_EQ(lead.headIndent, 18);
    EXPECT_EQ(lead.firstLineHeadIndent, 27);
    EXPECT_EQ(lead.lineHeightMultiple, 1.5);
    // Only simple selectors apply: "div > p" and @media rules do not.
    EXPECT_FALSE(colorAt(text, kForegroundColorAttributeName, 0));
    const qsizetype loud = text.string().indexOf(QStringLiteral("tonight"));
    EXPECT_TRUE(fontAt(text, loud).bold);
    EXPECT_EQ(colorAt(text, kForegroundColorAttributeName, loud), Color::fromRgb8(255, 0, 0));

    const qsizetype headline = text.string().indexOf(QStringLiteral("Head"));
    EXPECT_TRUE(fontAt(text, headline).bold);
    EXPECT_EQ(fontAt(text, headline).pointSize, 24);
    EXPECT_TRUE(fontAt(text, headline + 4).italic);

    const qsizetype mono = text.string().indexOf(QStringLiteral("mono"));
    EXPECT_EQ(fontAt(text, mono).familyName, QStringLiteral("Courier"));
    EXPECT_EQ(fontAt(text, mono).pointSize, 18);
    EXPECT_EQ(colorAt(text, kForegroundColorAttributeName, mono), Color::fromRgb8(0, 255, 0));
    EXPECT_EQ(colorAt(text, kBackgroundColorAttributeName, mono), Color::fromRgb8(255, 255, 0));
    EXPECT_EQ(text.attribute(kUnderlineStyleAttributeName, mono).integer(), kUnderlineStyleSingle);
    EXPECT_EQ(text.attribute(kSuperscriptAttributeName, mono + 5).integer(), 1);
    // The image is dropped: HTML holds no attachments here, and nothing was opened for it.
    EXPECT_FALSE(text.string().contains(QChar(kAttachmentCharacter)));
}

TEST(Html, TheDeclaredEncodingAndAByteOrderMarkChooseHowBytesRead)
{
    const MutableAttributedString latin = readHtml("<meta http-equiv=\"Content-Type\" content=\"text/html; "
                                                   "charset=iso-8859-1\"><p>caf\xE9 \x93quoted\x94</p>");
    EXPECT_EQ(latin.string(), QStringLiteral(u"caf\u00E9 \u201Cquoted\u201D\n"));
    const MutableAttributedString utf8 =
        readHtml("\xEF\xBB\xBF<meta charset=windows-1252><p>caf\xC3\xA9</p>");
    EXPECT_EQ(utf8.string(), QStringLiteral(u"caf\u00E9\n"));
    // Undeclared: valid UTF-8 is UTF-8, anything else Windows Latin 1.
    EXPECT_EQ(readHtml("<p>\xC3\xA9</p>").string(), QStringLiteral(u"\u00E9\n"));
    EXPECT_EQ(readHtml("<p>\xE9</p>").string(), QStringLiteral(u"\u00E9\n"));
}

TEST(Html, AStyledScriptComesBackThroughHtmlAndPlainText)
{
    MutableAttributedString script;
    Font heading{QStringLiteral("Helvetica"), QStringLiteral("Helvetica"), 28, true, false};
    Font body{QStringLiteral("Times New Roman"), QStringLiteral("Times New Roman"), 14.5, false, true};
    ParagraphStyle centred;
    centred.alignment = TextAlignment::Center;
    centred.paragraphSpacing = 12;
    ParagraphStyle indented;
    indented.alignment = TextAlignment::Justified;
    indented.headIndent = 36;
    indented.firstLineHeadIndent = 54;
    indented.tailIndent = -20;
    indented.paragraphSpacingBefore = 3;
    indented.lineHeightMultiple = 1.25;
    script.append(QStringLiteral("TITLE <one> & \"two\"\n"),
                  {{kFontAttributeName, heading},
                   {kParagraphStyleAttributeName, centred},
                   {kForegroundColorAttributeName, Color::fromRgb8(200, 10, 20)}});
    script.append(QStringLiteral("Read   this\tslowly, "),
                  {{kFontAttributeName, body},
                   {kParagraphStyleAttributeName, indented},
                   {kBackgroundColorAttributeName, Color::fromRgb8(255, 255, 0)}});
    auto attachment = std::make_shared<TextAttachment>(FileWrapper::makeRegularFile(QByteArray("png")));
    script.append(QString(QChar(kAttachmentCharacter)),
                  AttributeDictionary{{kFontAttributeName, body},
                                      {kParagraphStyleAttributeName, indented},
                                      {kAttachmentAttributeName, attachment}});
    script.append(QStringLiteral(u"then louder \u2014 caf\u00E9.\n"),
                  {{kFontAttributeName, Font{QStringLiteral("Times New Roman"),
                                             QStringLiteral("Times New Roman"), 14.5, true, false}},
                   {kParagraphStyleAttributeName, indented},
                   {kUnderlineStyleAttributeName, kUnderlineStyleSingle},
                   {kStrikethroughStyleAttributeName, kUnderlineStyleSingle}});
    script.append(QStringLiteral("\nlast"),
                  {{kFontAttributeName, body}, {kParagraphStyleAttributeName, ParagraphStyle()}});

    DocumentAttributes metadata{
        {NSTitleDocumentAttribute, QStringLiteral("Show <1>")},
        {NSAuthorDocumentAttribute, QStringLiteral("A \"quoted\" author")},
        {NSBackgroundColorDocumentAttribute, QVariant::fromValue(Color::fromRgb8(0, 0, 0))}};
    const QByteArray html = HtmlWriter::write(script, metadata);
    EXPECT_FALSE(html.contains("\xEF\xBF\xBC")) << "no attachment character is written";
    DocumentAttributes readBack;
    MutableAttributedString text = readHtml(html, &readBack);

    // Every importer ends the text with a newline; the window takes it off again.
    QString expected = script.string();
    expected.remove(QChar(kAttachmentCharacter));
    ASSERT_EQ(text.string(), expected + u'\n');
    EXPECT_EQ(readBack.value(NSTitleDocumentAttribute).toString(), QStringLiteral("Show <1>"));
    EXPECT_EQ(readBack.value(NSAuthorDocumentAttribute).toString(), QStringLiteral("A \"quoted\" author"));
    EXPECT_EQ(readBack.value(NSBackgroundColorDocumentAttribute).value<Color>(), Color::fromRgb8(0, 0, 0));
    MutableAttributedString withoutAttachment(script);
    withoutAttachment.deleteCharacters(Range{script.string().indexOf(QChar(kAttachmentCharacter)), 1});
    for (qsizetype i = 0; i < withoutAttachment.length(); ++i) {
        SCOPED_TRACE(i);
        const Font want = fontAt(withoutAttachment, i);
        const Font got = fontAt(text, i);
        EXPECT_EQ(got.familyName, want.familyName);
        EXPECT_EQ(got.pointSize, want.pointSize);
        EXPECT_EQ(got.bold, want.bold);
        EXPECT_EQ(got.italic, want.italic);
        EXPECT_EQ(paragraphAt(text, i), paragraphAt(withoutAttachment, i));
        EXPECT_EQ(colorAt(text, kForegroundColorAttributeName, i),
                  colorAt(withoutAttachment, kForegroundColorAttributeName, i));
        EXPECT_EQ(colorAt(text, kBackgroundColorAttributeName, i),
                  colorAt(withoutAttachment, kBackgroundColorAttributeName, i));
        EXPECT_EQ(text.attribute(kUnderlineStyleAttributeName, i).integer(),
                  withoutAttachment.attribute(kUnderlineStyleAttributeName, i).integer());
        EXPECT_EQ(text.attribute(kStrikethroughStyleAttributeName, i).integer(),
                  withoutAttachment.attribute(kStrikethroughStyleAttributeName, i).integer());
    }

    // A text ending in a newline keeps it once the importer's own newline is taken off.
    MutableAttributedString ending(AttributedString(QStringLiteral("one\n\n")));
    EXPECT_EQ(readHtml(HtmlWriter::write(ending, {})).string(), QStringLiteral("one\n\n\n"));

    // Plain text: the characters, no attachment character, and the encoding's limits are errors.
    Error error;
    const auto utf8 = PlainText::write(script, TextEncoding::UTF8, &error);
    ASSERT_TRUE(utf8);
    MutableAttributedString plain;
    PlainText::read(*utf8, plain, nullptr);
    EXPECT_EQ(plain.string(), expected);
    EXPECT_FALSE(PlainText::write(script, TextEncoding::ISOLatin1, &error)) << "U+2014 is not Latin 1";
    EXPECT_EQ(error.code(), kFileWriteUnknownError);
}

TEST(Html, HostileDocumentsGiveASaneTextQuickly)
{
    const QByteArray deepDivs =
        QByteArray("<div>").repeated(100000) + "deep" + QByteArray("</div>").repeated(100000);
    const QByteArray deepSpans = QByteArray("<span style=\"font-size: 200%\"><b>").repeated(100000) + "deep" +
                                 QByteArray("</i>").repeated(100000);
    const QByteArray manyClasses = "<style>" + QByteArray(".c{color:red}").repeated(50000) +
                                   "</style><p class=\"" + QByteArray("c ").repeated(5000) + "\">x</p>";
    const struct {
        const char* name;
        QByteArray html;
        QString text; // empty: anything sane
    } cases[] = {
        {"unclosed tags", "<p><b><i>open <span>and <div>never closed",
         QStringLiteral("open and\nnever closed\n")},
        {"unclosed comment", "<p>before<!-- and never ends", QStringLiteral("before\n")},
        {"unclosed attribute", "<p title=\"oops>text", QString()},
        {"lone brackets", "a < b > c <", QStringLiteral("a < b > c <\n")},
        {"100,000 nested blocks", deepDivs, QStringLiteral("deep\n")},
        {"100,000 nested spans that grow", deepSpans, QStringLiteral("deep\n")},
        {"outside Unicode", "&#x110000;&#1114112;&#xD800;&#0;",
         QStringLiteral(u"\uFFFD\uFFFD\uFFFD\uFFFD\n")},
        {"huge numbers", "&#99999999999999999999999999999999;&#xFFFFFFFFFFFFFFFFFFFFFFFF;",
         QStringLiteral(u"\uFFFD\uFFFD\n")},
        {"bad entities", "&unknown; &amp &#; &#x; &", QStringLiteral("&unknown; & &#; &#x; &\n")},
        {"Windows numbers", "&#150;&#x93;", QStringLiteral(u"\u2013\u201C\n")},
        {"bad CSS",
         "<style>p { color: ; font-size: 1e999px; margin: -1e308pt nan inf; } } { @media { {{{ "
         "</style><p style=\"font-size: -5pt; line-height: 1e308; color: rgb(1e999, -4, x); "
         "text-indent: 99999999999999in\">css</p>",
         QStringLiteral("css\n")},
        {"many classes", manyClasses, QStringLiteral("x\n")},
        {"truncated UTF-8", "<p>caf\xC3", QStringLiteral(u"caf\u00C3\n")},
        {"declared UTF-8 truncated", "<meta charset=utf-8><p>caf\xC3", QStringLiteral(u"caf\uFFFD\n")},
        {"UTF-16 odd length", "\xFF\xFE<\0p\0>\0x\0\0", QString()},
        {"script and images",
         "<script>document.write('<p>x</p>')</script><img src=x onerror=alert(1)>"
         "<style>@import url(/etc/passwd);</style>text",
         QStringLiteral("text\n")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QElapsedTimer timer;
        timer.start();
        MutableAttributedString text;
        Error error;
        EXPECT_TRUE(HtmlReader::read(c.html, text, nullptr, &error));
        if (!c.text.isNull()) {
            EXPECT_EQ(text.string(), c.text);
        }
        EXPECT_LE(text.length(), c.html.size() + 1);
        // A generous bound, far above the milliseconds these take: only a runaway fails it.
        EXPECT_LT(timer.elapsed(), 5000);
        for (qsizetype i = 0; i < text.length(); ++i) {
            const Font font = fontAt(text, i);
            ASSERT_TRUE(font.pointSize >= 1 && font.pointSize <= 1638) << font.pointSize;
            const ParagraphStyle style = paragraphAt(text, i);
            ASSERT_TRUE(std::isfinite(style.firstLineHeadIndent) && std::isfinite(style.lineHeightMultiple));
        }
    }
}
