#include "platform/text/RtfReader.h"
#include "platform/foundation/FileWrapper.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/text/Rtfd.h"
#include "platform/text/TextAttachment.h"

#include <QDateTime>
#include <QFile>
#include <QSizeF>

#include <gtest/gtest.h>

namespace {

QByteArray fixture(const QString& name)
{
    QFile file(QStringLiteral(ORVANE_FIXTURES_DIR "/rtf/") + name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    return file.readAll();
}

struct Read {
    MutableAttributedString text;
    DocumentAttributes attributes;
};

Read readRtf(QByteArrayView rtf, const FileWrapper* directory = nullptr)
{
    Read read;
    Error error;
    EXPECT_TRUE(RtfReader::read(rtf, read.text, &read.attributes, &error, directory))
        << error.localizedDescription().toStdString();
    return read;
}

qsizetype indexOf(const Read& read, const QString& needle)
{
    const qsizetype index = read.text.string().indexOf(needle);
    EXPECT_GE(index, 0) << needle.toStdString();
    return index;
}

Font fontAt(const Read& read, qsizetype index)
{
    const AttributeValue value = read.text.attribute(kFontAttributeName, index);
    return value.font() ? *value.font() : Font{};
}

ParagraphStyle paragraphAt(const Read& read, qsizetype index)
{
    const AttributeValue value = read.text.attribute(kParagraphStyleAttributeName, index);
    EXPECT_NE(value.paragraphStyle(), nullptr);
    return value.paragraphStyle() ? *value.paragraphStyle() : ParagraphStyle{};
}

std::optional<Color> colorAt(const Read& read, const QString& name, qsizetype index)
{
    const AttributeValue value = read.text.attribute(name, index);
    return value.color() ? std::optional<Color>(*value.color()) : std::nullopt;
}

const QString kNonAscii =
    QStringLiteral(u"\u00E9 \u00FCber \u2014 \u201Cquoted\u201D \u041F\u0440\u0438\u0432\u0435\u0442 "
                   u"\u65E5\u672C\u8A9E");
const QString kEmoji = QStringLiteral(u"\U0001F600");

// The reader builds its runs in one pass; applying each run in turn, as a general attribute edit,
// must give the very same text, runs and attributes.
MutableAttributedString readRunByRun(QByteArrayView rtf, const FileWrapper* directory)
{
    std::optional<RtfReader::Result> result = RtfReader::parse(rtf, directory, nullptr);
    EXPECT_TRUE(result);
    if (!result)
        return {};
    MutableAttributedString text(result->text, result->runs.empty() ? AttributeDictionary()
                                                                    : result->runs.front().attributes);
    for (size_t i = 1; i < result->runs.size(); ++i) {
        const qsizetype start = result->runs[i].start;
        const qsizetype end = i + 1 < result->runs.size() ? result->runs[i + 1].start : result->text.size();
        text.setAttributes(result->runs[i].attributes, Range{start, end - start});
    }
    return text;
}

// Attachments compare by identity and each reading makes its own: they are compared by their files,
// then left out of the comparison of everything else.
void expectSameReading(MutableAttributedString read, MutableAttributedString reference)
{
    ASSERT_EQ(read.string(), reference.string());
    EXPECT_EQ(read.runCount(), reference.runCount());
    const Range all{0, read.length()};
    for (qsizetype i = 0; i < read.length(); ++i) {
        Range readRun;
        Range referenceRun;
        const auto attachment = read.attribute(kAttachmentAttributeName, i, &readRun).attachment();
        const auto expected = reference.attribute(kAttachmentAttributeName, i, &referenceRun).attachment();
        ASSERT_EQ(readRun, referenceRun) << "at " << i;
        ASSERT_EQ(bool(attachment), bool(expected)) << "at " << i;
        if (attachment) {
            EXPECT_EQ(attachment->bounds(), expected->bounds());
            EXPECT_EQ(attachment->fileWrapper()->regularFileContents(),
                      expected->fileWrapper()->regularFileContents());
        }
        i = readRun.end() - 1;
    }
    read.removeAttribute(kAttachmentAttributeName, all);
    reference.removeAttribute(kAttachmentAttributeName, all);
    EXPECT_TRUE(read == reference);
}

} // namespace

TEST(RtfReaderTest, ReadsThePlatformsOwnStyle)
{
    const Read read = readRtf(fixture(QStringLiteral("handwritten.rtf")));
    const QString& text = read.text.string();
    EXPECT_TRUE(
        text.startsWith(QStringLiteral("EVENING NEWS\nRight aligned line\nGood evening. Bold, italic")));
    EXPECT_TRUE(text.contains(kNonAscii + u' ' + kEmoji + u'\n'));
    EXPECT_TRUE(text.contains(QStringLiteral("words.\tcentred\tright\n")));

    const Font title = fontAt(read, 0);
    EXPECT_EQ(title.fontName, QStringLiteral("Times-Bold"));
    EXPECT_EQ(title.familyName, QStringLiteral("Times"));
    EXPECT_EQ(title.pointSize, 18);
    EXPECT_TRUE(title.bold);
    EXPECT_EQ(paragraphAt(read, 0).alignment, TextAlignment::Center);
    EXPECT_EQ(paragraphAt(read, indexOf(read, QStringLiteral("Right aligned"))).alignment,
              TextAlignment::Right);

    EXPECT_TRUE(fontAt(read, indexOf(read, QStringLiteral("Bold,"))).bold);
    EXPECT_TRUE(fontAt(read, indexOf(read, QStringLiteral("italic"))).italic);
    EXPECT_EQ(read.text.attribute(kUnderlineStyleAttributeName, indexOf(read, QStringLiteral("underlined")))
                  .integer(),
              kUnderlineStyleSingle);
    EXPECT_EQ(read.text.attribute(kStrikethroughStyleAttributeName, indexOf(read, QStringLiteral("struck")))
                  .integer(),
              kUnderlineStyleSingle);
    EXPECT_TRUE(
        read.text.attribute(kUnderlineStyleAttributeName, indexOf(read, QStringLiteral(" words"))).isNull());

    const ParagraphStyle indented = paragraphAt(read, indexOf(read, QStringLiteral("Good evening")));
    EXPECT_EQ(indented.alignment, TextAlignment::Natural);
    EXPECT_EQ(indented.headIndent, 72);
    EXPECT_EQ(indented.firstLineHeadIndent, 108);
    EXPECT_EQ(indented.tailIndent, -36);
    EXPECT_EQ(indented.paragraphSpacingBefore, 6);
    EXPECT_EQ(indented.paragraphSpacing, 12);
    EXPECT_EQ(indented.lineHeightMultiple, 1.5);
    EXPECT_EQ(indented.tabStops, (QList<TextTab>{{TextTabType::Center, 216}, {TextTabType::Right, 432}}));

    EXPECT_EQ(colorAt(read, kForegroundColorAttributeName, indexOf(read, QStringLiteral("Red text"))),
              Color::rgb(1, 0, 0));
    EXPECT_EQ(colorAt(read, kBackgroundColorAttributeName, indexOf(read, QStringLiteral("highlighted"))),
              Color::rgb(1, 1, 0));
    EXPECT_FALSE(colorAt(read, kBackgroundColorAttributeName, indexOf(read, QStringLiteral("Escaped"))));
    EXPECT_EQ(
        read.text.attribute(kSuperscriptAttributeName, indexOf(read, QStringLiteral("2 and"))).integer(), 1);
    EXPECT_EQ(
        read.text.attribute(kSuperscriptAttributeName, indexOf(read, QStringLiteral("3 and"))).integer(), -1);
    EXPECT_EQ(
        read.text.attribute(kBaselineOffsetAttributeName, indexOf(read, QStringLiteral("raised"))).number(),
        3);
    EXPECT_EQ(read.text.attribute(kKernAttributeName, indexOf(read, QStringLiteral("spaced"))).number(), 0.5);
    EXPECT_NE(read.text.attribute(kShadowAttributeName, indexOf(read, QStringLiteral("shadow"))).shadow(),
              nullptr);
    EXPECT_EQ(fontAt(read, indexOf(read, QStringLiteral("raised"))).fontName, QStringLiteral("Courier"));
    EXPECT_TRUE(fontAt(read, indexOf(read, QStringLiteral("raised"))).fixedPitch);
    EXPECT_EQ(fontAt(read, indexOf(read, QStringLiteral("raised"))).pointSize, 10);
}

TEST(RtfReaderTest, ReadsDocumentAttributes)
{
    const Read read = readRtf(fixture(QStringLiteral("handwritten.rtf")));
    const DocumentAttributes& a = read.attributes;
    EXPECT_EQ(a.value(NSDocumentTypeDocumentAttribute).toString(), NSRTFTextDocumentType);
    EXPECT_EQ(a.value(NSPaperSizeDocumentAttribute).toSizeF(), QSizeF(595, 842));
    EXPECT_EQ(a.value(NSLeftMarginDocumentAttribute).toDouble(), 72);
    EXPECT_EQ(a.value(NSRightMarginDocumentAttribute).toDouble(), 72);
    EXPECT_EQ(a.value(NSTopMarginDocumentAttribute).toDouble(), 54);
    EXPECT_EQ(a.value(NSBottomMarginDocumentAttribute).toDouble(), 54);
    EXPECT_EQ(a.value(NSViewSizeDocumentAttribute).toSizeF(), QSizeF(576, 420));
    EXPECT_EQ(a.value(NSViewModeDocumentAttribute).toInt(), 1);
    EXPECT_EQ(a.value(NSViewZoomDocumentAttribute).toDouble(), 150);
    EXPECT_EQ(a.value(NSBackgroundColorDocumentAttribute).value<Color>(), Color::fromRgb8(0x33, 0x33, 0x33));
    EXPECT_EQ(a.value(NSTitleDocumentAttribute).toString(), QStringLiteral("Evening News"));
    EXPECT_EQ(a.value(NSAuthorDocumentAttribute).toString(), QStringLiteral("Ana Author"));
    EXPECT_EQ(a.value(NSCompanyDocumentAttribute).toString(), QStringLiteral("Orvane Test"));
    EXPECT_EQ(a.value(NSCopyrightDocumentAttribute).toString(), QStringLiteral("2026 Ana Author"));
    EXPECT_EQ(a.value(NSSubjectDocumentAttribute).toString(), QStringLiteral("Fixtures"));
    EXPECT_EQ(a.value(NSKeywordsDocumentAttribute).toStringList(),
              (QStringList{QStringLiteral("news"), QStringLiteral("evening")}));
    EXPECT_EQ(a.value(NSCommentDocumentAttribute).toString(), QStringLiteral("Hand written"));
    const QDateTime created = a.value(NSCreationTimeDocumentAttribute).toDateTime().toLocalTime();
    EXPECT_EQ(created.date(), QDate(2026, 3, 14));
    EXPECT_EQ(created.time(), QTime(9, 5, 30));
    EXPECT_TRUE(a.value(NSModificationTimeDocumentAttribute).toDateTime().isValid());
}

TEST(RtfReaderTest, ReadsLibreOfficeRtf)
{
    const Read read = readRtf(fixture(QStringLiteral("libreoffice.rtf")));
    EXPECT_TRUE(read.text.string().startsWith(QStringLiteral("EVENING NEWS\nRight aligned line\n")));
    EXPECT_TRUE(read.text.string().contains(QStringLiteral("Caf") + kNonAscii + u' ' + kEmoji));
    EXPECT_EQ(fontAt(read, 0).fontName, QStringLiteral("Liberation Serif"));
    EXPECT_EQ(fontAt(read, 0).pointSize, 18);
    EXPECT_TRUE(fontAt(read, 0).bold);
    EXPECT_EQ(fontAt(read, indexOf(read, QStringLiteral("Right"))).fontName,
              QStringLiteral("Liberation Sans"));
    EXPECT_EQ(paragraphAt(read, 0).alignment, TextAlignment::Center);
    EXPECT_EQ(paragraphAt(read, indexOf(read, QStringLiteral("Right"))).alignment, TextAlignment::Right);
    const ParagraphStyle indented = paragraphAt(read, indexOf(read, QStringLiteral("Good evening")));
    EXPECT_EQ(indented.headIndent, 72);
    EXPECT_EQ(indented.firstLineHeadIndent, 108);
    EXPECT_EQ(colorAt(read, kForegroundColorAttributeName, indexOf(read, QStringLiteral("Red text"))),
              Color::rgb(1, 0, 0));
    EXPECT_EQ(colorAt(read, kBackgroundColorAttributeName, indexOf(read, QStringLiteral("highlighted"))),
              Color::rgb(1, 1, 0));

    // The PNG comes once, from the picture group; the metafile alternative is not read.
    const qsizetype picture = indexOf(read, QString(QChar(kAttachmentCharacter)));
    EXPECT_EQ(read.text.string().count(QChar(kAttachmentCharacter)), 1);
    const auto attachment = read.text.attribute(kAttachmentAttributeName, picture).attachment();
    ASSERT_TRUE(attachment && attachment->fileWrapper());
    EXPECT_TRUE(attachment->fileWrapper()->regularFileContents().startsWith("\x89PNG"));
    EXPECT_EQ(attachment->fileWrapper()->regularFileContents(), fixture(QStringLiteral("sources/dot.png")));
    EXPECT_EQ(attachment->bounds().size(), QSizeF(3, 2.25));
    EXPECT_EQ(read.attributes.value(NSTitleDocumentAttribute).toString(), QStringLiteral("Evening News"));
    EXPECT_EQ(read.attributes.value(NSAuthorDocumentAttribute).toString(), QStringLiteral("Ana Author"));
}

TEST(RtfReaderTest, ReadsAbiWordRtf)
{
    const Read read = readRtf(fixture(QStringLiteral("abiword.rtf")));
    EXPECT_TRUE(read.text.string().startsWith(QStringLiteral("EVENING NEWS\nRight aligned line\n")));
    EXPECT_TRUE(read.text.string().contains(QStringLiteral("Caf\u00E9 \u00FCber \u2014 \u201Cquoted\u201D")));
    EXPECT_EQ(fontAt(read, 0).fontName, QStringLiteral("Liberation Serif"));
    EXPECT_EQ(paragraphAt(read, 0).alignment, TextAlignment::Center);
    EXPECT_EQ(paragraphAt(read, indexOf(read, QStringLiteral("Right"))).alignment, TextAlignment::Right);
    EXPECT_TRUE(fontAt(read, indexOf(read, QStringLiteral("Bold,"))).bold);
    EXPECT_EQ(colorAt(read, kForegroundColorAttributeName, indexOf(read, QStringLiteral("Red text"))),
              Color::rgb(1, 0, 0));
    const qsizetype picture = indexOf(read, QString(QChar(kAttachmentCharacter)));
    const auto attachment = read.text.attribute(kAttachmentAttributeName, picture).attachment();
    ASSERT_TRUE(attachment && attachment->fileWrapper());
    EXPECT_EQ(attachment->fileWrapper()->regularFileContents(), fixture(QStringLiteral("sources/dot.png")));
    EXPECT_EQ(read.attributes.value(NSPaperSizeDocumentAttribute).toSizeF(), QSizeF(595.25, 841.85));
}

TEST(RtfReaderTest, ReadsPandocRtf)
{
    const Read read = readRtf(fixture(QStringLiteral("pandoc.rtf")));
    EXPECT_TRUE(read.text.string().startsWith(QStringLiteral("Evening News\n Ana Author\n\nEVENING NEWS\n")));
    EXPECT_TRUE(read.text.string().contains(QStringLiteral("Caf") + kNonAscii + u' ' + kEmoji));
    EXPECT_EQ(fontAt(read, 0).fontName, QStringLiteral("Helvetica"));
    EXPECT_EQ(fontAt(read, 0).pointSize, 18);
    EXPECT_EQ(paragraphAt(read, 0).alignment, TextAlignment::Center);
    EXPECT_EQ(paragraphAt(read, indexOf(read, QStringLiteral("Good evening"))).paragraphSpacing, 9);
    EXPECT_EQ(read.text.attribute(kUnderlineStyleAttributeName, indexOf(read, QStringLiteral("underlined")))
                  .integer(),
              kUnderlineStyleSingle);
    const qsizetype picture = indexOf(read, QString(QChar(kAttachmentCharacter)));
    const auto attachment = read.text.attribute(kAttachmentAttributeName, picture).attachment();
    ASSERT_TRUE(attachment && attachment->fileWrapper());
    EXPECT_EQ(attachment->fileWrapper()->regularFileContents(), fixture(QStringLiteral("sources/dot.png")));
    EXPECT_EQ(attachment->bounds().size(), QSizeF(4, 3));
}

TEST(RtfReaderTest, ResolvesAttachmentGroupsInTheRtfdDirectory)
{
    MutableAttributedString text;
    DocumentAttributes attributes;
    Error error;
    ASSERT_TRUE(
        Rtfd::readFromURL(QUrl::fromLocalFile(QStringLiteral(ORVANE_FIXTURES_DIR "/rtf/handwritten.rtfd")),
                          text, &attributes, &error));
    EXPECT_EQ(text.string(), QStringLiteral(u"Before the picture \uFFFC after the picture.\n"));
    const auto attachment = text.attribute(kAttachmentAttributeName, 19).attachment();
    ASSERT_TRUE(attachment && attachment->fileWrapper());
    EXPECT_EQ(attachment->fileWrapper()->regularFileContents(), fixture(QStringLiteral("sources/dot.png")));
    EXPECT_EQ(attachment->bounds().size(), QSizeF(4, 3));
    EXPECT_EQ(attributes.value(NSDocumentTypeDocumentAttribute).toString(), NSRTFDTextDocumentType);
}

TEST(RtfReaderTest, DecodesCodePages)
{
    EXPECT_EQ(readRtf("{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8}").text.string(),
              QStringLiteral(u"\u041F\u0440\u0438"));
    EXPECT_EQ(readRtf("{\\rtf1\\mac \\'8e}").text.string(), QStringLiteral(u"\u00E9"));
    // The two bytes of one character arrive as two escapes.
    EXPECT_EQ(readRtf("{\\rtf1\\ansi\\ansicpg932 \\'82\\'a0\\'93\\'fa}").text.string(),
              QStringLiteral(u"\u3042\u65E5"));
    EXPECT_EQ(readRtf("{\\rtf1\\ansi\\ansicpg936 \\'c4\\'e3}").text.string(), QStringLiteral(u"\u4F60"));
    EXPECT_EQ(readRtf("{\\rtf1\\ansi\\ansicpg949 \\'c7\\'d1}").text.string(), QStringLiteral(u"\uD55C"));
    EXPECT_EQ(readRtf("{\\rtf1\\ansi\\ansicpg950 \\'a4\\'a4}").text.string(), QStringLiteral(u"\u4E2D"));
    // A font's character set overrides the document's code page.
    EXPECT_EQ(
        readRtf("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset238 Arial CE;}}\\f1 \\'8c\\f0 \\'8c}")
            .text.string(),
        QStringLiteral(u"\u015A\u0152"));
}

TEST(RtfReaderTest, SkipsUnicodeFallbacks)
{
    EXPECT_EQ(readRtf("{\\rtf1 a\\u8220\\'93b}").text.string(), QStringLiteral(u"a\u201Cb"));
    EXPECT_EQ(readRtf("{\\rtf1\\uc2 a\\u8220 xyb\\uc0\\u8221 c}").text.string(),
              QStringLiteral(u"a\u201Cb\u201Dc"));
    EXPECT_EQ(readRtf("{\\rtf1 \\u-3913 ?}").text.string(), QStringLiteral(u"\uF0B7"));
    // A group end stops the skipping.
    EXPECT_EQ(readRtf("{\\rtf1\\uc3 {\\u233}ok}").text.string(), QStringLiteral(u"\u00E9ok"));
}

TEST(RtfReaderTest, ReadsSpecialCharacters)
{
    EXPECT_EQ(
        readRtf("{\\rtf1 a\\tab b\\line c\\~d\\_e\\-f\\emdash\\endash\\lquote\\rquote\\ldblquote\\rdblquote"
                "\\bullet\\{\\}\\\\\\\ng\\par h}")
            .text.string(),
        QStringLiteral(u"a\tb\u2028c\u00A0d\u2011ef\u2014\u2013\u2018\u2019\u201C\u201D\u2022{}\\\ng\nh"));
}

TEST(RtfReaderTest, SkipsUnknownDestinationsWhole)
{
    const Read read = readRtf("{\\rtf1{\\*\\unknown {nested {deeper}} text}A{\\stylesheet{\\s0 Normal;}}B"
                              "{\\header H}{\\*\\generator G;}C}");
    EXPECT_EQ(read.text.string(), QStringLiteral("ABC"));
}

TEST(RtfReaderTest, ReadsLinkFields)
{
    const Read read = readRtf("{\\rtf1 see {\\field{\\*\\fldinst{HYPERLINK \"https://example.org/a\"}}"
                              "{\\fldrslt here}} now}");
    EXPECT_EQ(read.text.string(), QStringLiteral("see here now"));
    EXPECT_EQ(read.text.attribute(kLinkAttributeName, 4).url(),
              QUrl(QStringLiteral("https://example.org/a")));
    EXPECT_TRUE(read.text.attribute(kLinkAttributeName, 9).isNull());
}

TEST(RtfReaderTest, ReadsPicturesGivenAsBinary)
{
    QByteArray rtf("{\\rtf1 a{\\pict\\jpegblip\\picwgoal200\\pichgoal100\\bin4 ");
    rtf.append(QByteArray("\xff\xd8{}", 4));
    rtf.append("}b}");
    const Read read = readRtf(rtf);
    EXPECT_EQ(read.text.string(), QStringLiteral(u"a\uFFFCb"));
    const auto attachment = read.text.attribute(kAttachmentAttributeName, 1).attachment();
    ASSERT_TRUE(attachment);
    EXPECT_EQ(attachment->fileWrapper()->regularFileContents(), QByteArray("\xff\xd8{}", 4));
    EXPECT_EQ(attachment->bounds().size(), QSizeF(10, 5));
}

TEST(RtfReaderTest, RefusesDataThatIsNotRtf)
{
    MutableAttributedString text;
    Error error;
    EXPECT_FALSE(RtfReader::read("hello", text, nullptr, &error));
    EXPECT_EQ(error.code(), kFileReadCorruptFileError);
    EXPECT_FALSE(RtfReader::read("", text, nullptr, &error));
    EXPECT_TRUE(RtfReader::read("\xEF\xBB\xBF {\\rtf1 ok}", text, nullptr, &error));
    EXPECT_EQ(text.string(), QStringLiteral("ok"));
}

TEST(RtfReaderTest, SurvivesHostileInput)
{
    // Unbalanced braces: text so far is kept, extra closing braces end the document.
    EXPECT_EQ(readRtf("{\\rtf1 open {\\b bold").text.string(), QStringLiteral("open bold"));
    EXPECT_EQ(readRtf("{\\rtf1 a}}}} b").text.string(), QStringLiteral("a"));

    // Deep nesting neither recurses nor grows the state without bound.
    QByteArray deep("{\\rtf1 ");
    deep.append(QByteArray(100000, '{'));
    deep.append("x");
    deep.append(QByteArray(100000, '}'));
    deep.append("y}");
    EXPECT_EQ(readRtf(deep).text.string(), QStringLiteral("xy"));
    QByteArray deepSkipped("{\\rtf1 {\\*\\x ");
    deepSkipped.append(QByteArray(100000, '{'));
    EXPECT_EQ(readRtf(deepSkipped).text.string(), QString());

    // Numbers that overflow saturate instead of wrapping.
    const Read huge =
        readRtf("{\\rtf1\\fs99999999999999999999\\li-99999999999999999999\\paperw99999999999999 x}");
    EXPECT_EQ(huge.text.string(), QStringLiteral("x"));
    EXPECT_GT(fontAt(huge, 0).pointSize, 0);

    // Escapes cut off at the end of the data.
    EXPECT_EQ(readRtf("{\\rtf1 a\\bin").text.string(), QStringLiteral("a"));
    EXPECT_EQ(readRtf("{\\rtf1 a\\bin5").text.string(), QStringLiteral("a"));
    EXPECT_EQ(readRtf("{\\rtf1 a\\'").text.string(), QStringLiteral("a"));
    EXPECT_EQ(readRtf("{\\rtf1 a\\'4").text.string(), QStringLiteral("a"));
    EXPECT_EQ(readRtf("{\\rtf1 a\\").text.string(), QStringLiteral("a"));
    EXPECT_EQ(readRtf("{\\rtf1\\ansicpg932 a\\'82").text.string().size(), 2);

    // A picture claiming gigabytes holds only what the data has.
    const Read claim = readRtf("{\\rtf1 a{\\pict\\pngblip\\bin9999999999 \x89PNG}");
    EXPECT_EQ(claim.text.string(), QStringLiteral(u"a\uFFFC"));
    EXPECT_EQ(
        claim.text.attribute(kAttachmentAttributeName, 1).attachment()->fileWrapper()->regularFileContents(),
        QByteArray("\x89PNG}"));

    // Attachment names that try to leave the directory find nothing.
    auto directory = FileWrapper::makeDirectory();
    directory->addRegularFile("secret", QStringLiteral("a.png"));
    for (const char* rtf :
         {"{\\rtf1 {{\\NeXTGraphic ../a.png \\width20 \\height20}\xac}x}",
          "{\\rtf1 {{\\NeXTGraphic /etc/passwd}\xac}x}", "{\\rtf1 {{\\NeXTGraphic sub/a.png}\xac}x}"}) {
        const Read read = readRtf(rtf, directory.get());
        EXPECT_EQ(read.text.string(), QStringLiteral("x")) << rtf;
    }
}

TEST(RtfReaderTest, BuildsTheSameRunsAsApplyingEachRunInTurn)
{
    for (const char* name : {"libreoffice.rtf", "abiword.rtf", "pandoc.rtf", "handwritten.rtf"}) {
        SCOPED_TRACE(name);
        const QByteArray rtf = fixture(QString::fromLatin1(name));
        expectSameReading(readRtf(rtf).text, readRunByRun(rtf, nullptr));
    }
    auto directory = FileWrapper::makeDirectory();
    directory->addRegularFile(fixture(QStringLiteral("handwritten.rtfd/dot.png")), QStringLiteral("dot.png"));
    const QByteArray rtfd = fixture(QStringLiteral("handwritten.rtfd/TXT.rtf"));
    expectSameReading(readRtf(rtfd, directory.get()).text, readRunByRun(rtfd, directory.get()));

    // A long script whose runs fill many blocks, with styles that come back paragraph after paragraph,
    // hundreds of formats, and two colour entries of one colour, whose formats read as one.
    QByteArray script("{\\rtf1\\ansi{\\fonttbl\\f0\\fswiss Helvetica;\\f1\\froman Times-Roman;}"
                      "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;\\red255\\green0\\blue0;}");
    for (int i = 0; i < 3000; ++i) {
        script.append(i % 7 == 0 ? "\\pard\\qc " : i % 7 == 1 ? "\\pard\\li720 " : "");
        script.append(QByteArray("\\f") + QByteArray::number(i % 2) + "\\cf" + QByteArray::number(i % 4) +
                      "\\fs" + QByteArray::number(20 + 2 * (i % 37)) +
                      (i % 5 == 0 ? "\\b " : "\\b0 ") + "Line " + QByteArray::number(i) + " of the script" +
                      (i % 4 == 1 ? "\\cf3  in red\\cf1  and red again" : ""));
        script.append(i % 4 == 0 ? "\\i  emphasis\\i0  and more\\par\n" : " \\'e9t\\'e9 \\u8212\\'3f\\par\n");
    }
    script.append("}");
    const Read long_ = readRtf(script);
    EXPECT_GT(long_.text.runCount(), 3000);
    expectSameReading(long_.text, readRunByRun(script, nullptr));
}

TEST(RtfReaderTest, ReplacesTheWholeTextAsOneEdit)
{
    // Reading into a text that already holds something leaves nothing of it behind.
    MutableAttributedString text(QStringLiteral("previous contents that are longer"),
                                 AttributeDictionary{{kKernAttributeName, 1.0}});
    ASSERT_TRUE(RtfReader::read("{\\rtf1 {\\b new} text}", text, nullptr, nullptr));
    EXPECT_EQ(text.string(), QStringLiteral("new text"));
    EXPECT_FALSE(text.attribute(kKernAttributeName, 7).number());
    EXPECT_TRUE(fontAt(Read{text, {}}, 0).bold);
    EXPECT_FALSE(fontAt(Read{text, {}}, 4).bold);
}
