#include "platform/text/RtfWriter.h"
#include "platform/foundation/FileWrapper.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/text/RtfReader.h"
#include "platform/text/TextAttachment.h"

#include <QDateTime>
#include <QFile>
#include <QSizeF>

#include <gtest/gtest.h>

namespace {

Font font(const QString& name, double size, bool bold = false, bool italic = false)
{
    Font f;
    f.fontName = name;
    f.familyName = name.section(u'-', 0, 0);
    f.pointSize = size;
    f.bold = bold;
    f.italic = italic;
    return f;
}

AttributeDictionary base(const Font& f = font(QStringLiteral("Helvetica"), 12),
                         const ParagraphStyle& style = ParagraphStyle())
{
    return AttributeDictionary{{kFontAttributeName, f}, {kParagraphStyleAttributeName, style}};
}

void append(MutableAttributedString& text, const QString& string, const AttributeDictionary& attributes)
{
    text.append(AttributedString(string, attributes));
}

// A script that uses every attribute the writer knows.
MutableAttributedString richScript()
{
    ParagraphStyle centred;
    centred.alignment = TextAlignment::Center;
    ParagraphStyle body;
    body.alignment = TextAlignment::Justified;
    body.headIndent = 36;
    body.firstLineHeadIndent = 54;
    body.tailIndent = -18.5;
    body.paragraphSpacingBefore = 6;
    body.paragraphSpacing = 12;
    body.lineHeightMultiple = 1.25;
    body.lineSpacing = 2;
    body.minimumLineHeight = 10;
    body.maximumLineHeight = 40;
    body.defaultTabInterval = 36;
    body.baseWritingDirection = WritingDirection::LeftToRight;
    body.tabStops = {{TextTabType::Left, 28.35},
                     {TextTabType::Center, 200},
                     {TextTabType::Right, 400},
                     {TextTabType::Decimal, 450}};
    ParagraphStyle rtl;
    rtl.baseWritingDirection = WritingDirection::RightToLeft;
    rtl.alignment = TextAlignment::Right;

    MutableAttributedString text;
    append(text, QStringLiteral("TITLE\n"), base(font(QStringLiteral("Times-Bold"), 24, true), centred));
    append(text, QStringLiteral("Plain {braces} \\ back\tslash "),
           base(font(QStringLiteral("Helvetica"), 12), body));
    AttributeDictionary styled = base(font(QStringLiteral("Helvetica"), 12.5, true, true), body);
    styled.insert(kForegroundColorAttributeName, Color::rgb(1, 0, 0));
    styled.insert(kBackgroundColorAttributeName, Color::fromRgb8(10, 200, 30, 128));
    styled.insert(kUnderlineStyleAttributeName, kUnderlineStyleDouble);
    styled.insert(kStrikethroughStyleAttributeName, kUnderlineStyleSingle);
    styled.insert(kUnderlineColorAttributeName, Color::rgb(0, 1, 0));
    styled.insert(kStrikethroughColorAttributeName, Color::gray(0.5, 0.5));
    append(text, QStringLiteral("styled"), styled);
    AttributeDictionary more = base(font(QStringLiteral("Courier"), 10), body);
    more.insert(kForegroundColorAttributeName, Color::gray(0.25));
    more.insert(kSuperscriptAttributeName, qint64(1));
    more.insert(kBaselineOffsetAttributeName, 2.5);
    more.insert(kKernAttributeName, 1.5);
    more.insert(kShadowAttributeName, Shadow{1, -2, 3, Color::rgb(0, 0, 1)});
    append(text, QStringLiteral("more"), more);
    AttributeDictionary link = base(font(QStringLiteral("Helvetica"), 12), body);
    link.insert(kLinkAttributeName, QUrl(QStringLiteral("https://example.org/x?a=1")));
    append(text, QStringLiteral("a link"), link);
    append(text, QStringLiteral(u"\n\u00E9\u2014\u201Cq\u201D \u041F \u65E5 \U0001F600\u2028line\n"),
           base(font(QStringLiteral("Helvetica"), 12), body));
    append(text, QStringLiteral(u"\u05E9\u05DC\u05D5\u05DD"), base(font(QStringLiteral("Arial"), 14), rtl));
    return text;
}

MutableAttributedString readBack(const QByteArray& rtf, DocumentAttributes* attributes = nullptr)
{
    MutableAttributedString text;
    Error error;
    EXPECT_TRUE(RtfReader::read(rtf, text, attributes, &error));
    return text;
}

} // namespace

TEST(RtfWriterTest, WritesThePlatformsHeader)
{
    MutableAttributedString text(QStringLiteral("Hello"), base());
    const QByteArray rtf = RtfWriter::write(text, {});
    EXPECT_TRUE(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1252\\cocoartf2761\n\\cocoatextscaling0\\cocoaplatform0"
                               "{\\fonttbl\\f0\\fswiss\\fcharset0 Helvetica;\n}\n"
                               "{\\colortbl;\\red255\\green255\\blue255;}\n{\\*\\expandedcolortbl;;}\n"))
        << rtf.constData();
    EXPECT_TRUE(
        rtf.contains("\\pard\\tx560\\tx1120\\tx1680\\tx2240\\tx2800\\tx3360\\tx3920\\tx4480\\tx5040\\tx5600"
                     "\\tx6160\\tx6720\\pardirnatural\\partightenfactor0\n\n\\f0\\fs24 Hello}"))
        << rtf.constData();
}

TEST(RtfWriterTest, ListsFontsAndColoursInOrderOfFirstUse)
{
    MutableAttributedString text;
    AttributeDictionary blue = base(font(QStringLiteral("Menlo-Regular"), 12));
    blue.insert(kForegroundColorAttributeName, Color::rgb(0, 0, 1));
    append(text, QStringLiteral("a"), blue);
    AttributeDictionary grey = base(font(QStringLiteral("Helvetica"), 12));
    grey.insert(kForegroundColorAttributeName, Color::gray(0.5));
    append(text, QStringLiteral("b"), grey);
    append(text, QStringLiteral("c"), blue);
    const QByteArray rtf = RtfWriter::write(text, {});
    EXPECT_TRUE(
        rtf.contains("{\\fonttbl\\f0\\fswiss\\fcharset0 Menlo-Regular;\\f1\\fswiss\\fcharset0 Helvetica;\n}"))
        << rtf.constData();
    EXPECT_TRUE(rtf.contains(
        "{\\colortbl;\\red255\\green255\\blue255;\\red0\\green0\\blue255;\\red128\\green128\\blue128;}"))
        << rtf.constData();
    EXPECT_TRUE(rtf.contains("{\\*\\expandedcolortbl;;\\cssrgb\\c0\\c0\\c100000;\\csgray\\c50000;}"))
        << rtf.constData();
}

TEST(RtfWriterTest, WritesNonAsciiAsUnicodeEscapes)
{
    MutableAttributedString text(QStringLiteral(u"caf\u00E9 \U0001F600"), base());
    const QByteArray rtf = RtfWriter::write(text, {});
    EXPECT_TRUE(rtf.contains("caf\\uc0\\u233  \\u55357\\u56832}")) << rtf.constData();
    for (const char c : rtf)
        EXPECT_LT(static_cast<unsigned char>(c), 0x80);
}

TEST(RtfWriterTest, WritesACharacterBackgroundForEveryReader)
{
    MutableAttributedString text;
    append(text, QStringLiteral("plain "), base());
    AttributeDictionary highlighted = base();
    highlighted.insert(kBackgroundColorAttributeName, Color::rgb(1, 1, 0));
    append(text, QStringLiteral("marked"), highlighted);
    append(text, QStringLiteral(" plain"), base());
    const QByteArray rtf = RtfWriter::write(text, {});
    // The platform reads \cb; LibreOffice and Word read only the character shading.
    EXPECT_TRUE(rtf.contains("\\cb2\\chcbpat2 marked\\cb0\\chcbpat0  plain}")) << rtf.constData();

    const MutableAttributedString back = readBack(rtf);
    EXPECT_TRUE(back == text);
    Range range;
    const AttributeValue background = back.attribute(kBackgroundColorAttributeName, 6, &range);
    ASSERT_TRUE(background.color());
    EXPECT_EQ(*background.color(), Color::rgb(1, 1, 0));
    EXPECT_EQ(range, (Range{6, 6}));
}

// The fixture is LibreOffice's rewrite of this writer's output (see the fixtures' README).
TEST(RtfWriterTest, BackgroundSurvivesARoundTripThroughLibreOffice)
{
    QFile converted(QStringLiteral(ORVANE_FIXTURES_DIR "/rtf/libreoffice-highlight.rtf"));
    ASSERT_TRUE(converted.open(QIODevice::ReadOnly));
    const MutableAttributedString back = readBack(converted.readAll());
    const qsizetype marked = back.string().indexOf(QStringLiteral("highlighted"));
    ASSERT_GE(marked, 0);
    Range range;
    const AttributeValue background = back.attribute(kBackgroundColorAttributeName, marked, &range);
    ASSERT_TRUE(background.color());
    EXPECT_EQ(*background.color(), Color::rgb(1, 1, 0));
    EXPECT_EQ(range, (Range{marked, 11}));
}

TEST(RtfWriterTest, IsDeterministic)
{
    const MutableAttributedString text = richScript();
    EXPECT_EQ(RtfWriter::write(text, {}), RtfWriter::write(text, {}));
    EXPECT_EQ(RtfWriter::write(text, {}), RtfWriter::write(readBack(RtfWriter::write(text, {})), {}));
}

TEST(RtfWriterTest, ModelToRtfToModelIsTheIdentity)
{
    const MutableAttributedString text = richScript();
    const MutableAttributedString back = readBack(RtfWriter::write(text, {}));
    EXPECT_EQ(back.string(), text.string());
    EXPECT_EQ(back.runCount(), text.runCount());
    for (qsizetype i = 0; i < text.length(); ++i) {
        ASSERT_EQ(back.attributesAtIndex(i), text.attributesAtIndex(i)) << "at " << i;
    }
    EXPECT_TRUE(back == text);
}

TEST(RtfWriterTest, DocumentAttributesRoundTrip)
{
    DocumentAttributes attributes;
    attributes.insert(NSPaperSizeDocumentAttribute, QSizeF(612, 792));
    attributes.insert(NSLeftMarginDocumentAttribute, 90.0);
    attributes.insert(NSRightMarginDocumentAttribute, 91.5);
    attributes.insert(NSTopMarginDocumentAttribute, 72.0);
    attributes.insert(NSBottomMarginDocumentAttribute, 36.0);
    attributes.insert(NSViewSizeDocumentAttribute, QSizeF(800, 600));
    attributes.insert(NSViewZoomDocumentAttribute, 125.0);
    attributes.insert(NSViewModeDocumentAttribute, 1);
    attributes.insert(NSBackgroundColorDocumentAttribute, QVariant::fromValue(Color::fromRgb8(12, 34, 56)));
    attributes.insert(NSTitleDocumentAttribute, QStringLiteral(u"T\u00EFtle {x}"));
    attributes.insert(NSAuthorDocumentAttribute, QStringLiteral("Ana"));
    attributes.insert(NSCompanyDocumentAttribute, QStringLiteral("Orvane"));
    attributes.insert(NSCopyrightDocumentAttribute, QStringLiteral("(c) 2026"));
    attributes.insert(NSSubjectDocumentAttribute, QStringLiteral("News"));
    attributes.insert(NSKeywordsDocumentAttribute,
                      QStringList{QStringLiteral("a"), QStringLiteral(u"b\u00E9")});
    attributes.insert(NSCommentDocumentAttribute, QStringLiteral("Said \\ so"));
    attributes.insert(NSEditorDocumentAttribute, QStringLiteral("Ed"));
    attributes.insert(NSCreationTimeDocumentAttribute, QDateTime(QDate(2025, 1, 2), QTime(3, 4, 5)).toUTC());
    attributes.insert(NSModificationTimeDocumentAttribute,
                      QDateTime(QDate(2026, 7, 8), QTime(9, 10, 11)).toUTC());

    DocumentAttributes back;
    readBack(RtfWriter::write(MutableAttributedString(QStringLiteral("x"), base()), attributes), &back);
    attributes.insert(NSDocumentTypeDocumentAttribute, NSRTFTextDocumentType);
    for (auto it = attributes.cbegin(); it != attributes.cend(); ++it)
        EXPECT_EQ(back.value(it.key()), it.value()) << it.key().toStdString();
    EXPECT_EQ(back.size(), attributes.size());
}

TEST(RtfWriterTest, PlainRtfLeavesAttachmentsOut)
{
    MutableAttributedString text(QStringLiteral(u"a\uFFFCb"), base());
    auto attachment = std::make_shared<TextAttachment>(FileWrapper::makeRegularFile("png"));
    text.addAttribute(kAttachmentAttributeName, attachment, Range{1, 1});
    const QByteArray rtf = RtfWriter::write(text, {});
    EXPECT_EQ(readBack(rtf).string(), QStringLiteral("ab"));
}

TEST(RtfWriterTest, WritesAnEmptyText)
{
    const MutableAttributedString back = readBack(RtfWriter::write(MutableAttributedString(), {}));
    EXPECT_EQ(back.length(), 0);
}
