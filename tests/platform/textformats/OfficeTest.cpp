// Word, OpenDocument and web-archive files in and out of the text model: our own round trips, LibreOffice as
// the independent reader and writer, and hostile archives and XML.
#include "platform/foundation/FileWrapper.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/text/RtfReader.h"
#include "platform/text/RtfWriter.h"
#include "platform/text/TextAttachment.h"
#include "platform/textformats/Docx.h"
#include "platform/textformats/HtmlReader.h"
#include "platform/textformats/Odt.h"
#include "platform/textformats/WebArchive.h"
#include "platform/textformats/Zip.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using Reader = bool (*)(QByteArrayView, MutableAttributedString&, DocumentAttributes*, Error*);
using Writer = std::optional<QByteArray> (*)(const AttributedString&, const DocumentAttributes&, Error*);

struct Format {
    const char* extension;
    Reader read;
    Writer write;
};

const Format kFormats[] = {{"docx", &Docx::read, &Docx::write}, {"odt", &Odt::read, &Odt::write}};

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

// A script with what these formats hold: fonts, sizes, traits, colours, alignment, spacing,
// indents, runs of spaces and tabs, and an image they do not hold.
MutableAttributedString styledScript()
{
    MutableAttributedString script;
    const Font heading{QStringLiteral("DejaVu Sans"), QStringLiteral("DejaVu Sans"), 28, true, false};
    const Font body{QStringLiteral("DejaVu Serif"), QStringLiteral("DejaVu Serif"), 14.5, false, true};
    ParagraphStyle centred;
    centred.alignment = TextAlignment::Center;
    centred.paragraphSpacing = 12;
    ParagraphStyle indented;
    indented.alignment = TextAlignment::Justified;
    indented.headIndent = 36;
    indented.firstLineHeadIndent = 54;
    indented.tailIndent = -20;
    indented.paragraphSpacingBefore = 3;
    indented.lineHeightMultiple = 1.5;
    ParagraphStyle right;
    right.alignment = TextAlignment::Right;
    script.append(QStringLiteral("TITLE <one> & \"two\"\n"),
                  {{kFontAttributeName, heading},
                   {kParagraphStyleAttributeName, centred},
                   {kForegroundColorAttributeName, Color::fromRgb8(200, 10, 20)}});
    script.append(QStringLiteral("  Read   this\tslowly, "),
                  {{kFontAttributeName, body}, {kParagraphStyleAttributeName, indented}});
    auto attachment = std::make_shared<TextAttachment>(FileWrapper::makeRegularFile(QByteArray("png")));
    script.append(QString(QChar(kAttachmentCharacter)),
                  AttributeDictionary{{kFontAttributeName, body},
                                      {kParagraphStyleAttributeName, indented},
                                      {kAttachmentAttributeName, attachment}});
    script.append(QStringLiteral(u"then louder \u2014 caf\u00E9.\n"),
                  {{kFontAttributeName,
                    Font{QStringLiteral("DejaVu Serif"), QStringLiteral("DejaVu Serif"), 14.5, true, false}},
                   {kParagraphStyleAttributeName, indented},
                   {kUnderlineStyleAttributeName, kUnderlineStyleSingle},
                   {kStrikethroughStyleAttributeName, kUnderlineStyleSingle}});
    script.append(QStringLiteral("last words"),
                  {{kFontAttributeName, body}, {kParagraphStyleAttributeName, right}});
    return script;
}

DocumentAttributes metadata()
{
    return {{NSTitleDocumentAttribute, QStringLiteral("Show <1>")},
            {NSAuthorDocumentAttribute, QStringLiteral("Ana Díaz")},
            {NSSubjectDocumentAttribute, QStringLiteral("Evening news")},
            {NSCommentDocumentAttribute, QStringLiteral("Read slowly")},
            {NSKeywordsDocumentAttribute, QStringList{QStringLiteral("news"), QStringLiteral("evening")}},
            {NSCreationTimeDocumentAttribute, QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9), Qt::UTC)}};
}

MutableAttributedString withoutAttachments(const AttributedString& text)
{
    MutableAttributedString copy(text);
    for (qsizetype i = copy.length() - 1; i >= 0; --i)
        if (copy.characterAtIndex(i) == kAttachmentCharacter)
            copy.deleteCharacters(Range{i, 1});
    return copy;
}

enum Checks : unsigned {
    kFonts = 1,
    kColors = 2,
    kParagraphs = 4,
    kDecorations = 8,
};

void expectSameLook(const AttributedString& got, const AttributedString& want, const unsigned wanted)
{
    ASSERT_EQ(got.string(), want.string());
    for (qsizetype i = 0; i < want.length(); ++i) {
        SCOPED_TRACE(i);
        unsigned checks = wanted;
        // A newline's own look is nothing anyone sees; word processors keep it each their own way.
        if (want.characterAtIndex(i) == u'\n')
            checks &= ~unsigned(kFonts | kColors | kDecorations);
        if (checks & kFonts) {
            EXPECT_EQ(fontAt(got, i).familyName, fontAt(want, i).familyName);
            EXPECT_DOUBLE_EQ(fontAt(got, i).pointSize, fontAt(want, i).pointSize);
            EXPECT_EQ(fontAt(got, i).bold, fontAt(want, i).bold);
            EXPECT_EQ(fontAt(got, i).italic, fontAt(want, i).italic);
        }
        if (checks & kColors) {
            EXPECT_EQ(colorAt(got, kForegroundColorAttributeName, i).value_or(Color::fromRgb8(0, 0, 0)),
                      colorAt(want, kForegroundColorAttributeName, i).value_or(Color::fromRgb8(0, 0, 0)));
        }
        if (checks & kParagraphs) {
            const ParagraphStyle a = paragraphAt(got, i);
            const ParagraphStyle b = paragraphAt(want, i);
            // Left and natural alignment are one thing outside our model.
            const auto aligned = [](TextAlignment t) {
                return t == TextAlignment::Natural ? TextAlignment::Left : t;
            };
            EXPECT_EQ(aligned(a.alignment), aligned(b.alignment));
            EXPECT_NEAR(a.headIndent, b.headIndent, 0.1);
            EXPECT_NEAR(a.firstLineHeadIndent, b.firstLineHeadIndent, 0.1);
            EXPECT_NEAR(a.tailIndent, b.tailIndent, 0.1);
            EXPECT_NEAR(a.paragraphSpacing, b.paragraphSpacing, 0.1);
            EXPECT_NEAR(a.paragraphSpacingBefore, b.paragraphSpacingBefore, 0.1);
            EXPECT_NEAR(a.lineHeightMultiple, b.lineHeightMultiple, 0.01);
        }
        if (checks & kDecorations) {
            EXPECT_EQ(got.attribute(kUnderlineStyleAttributeName, i).integer() != 0,
                      want.attribute(kUnderlineStyleAttributeName, i).integer() != 0);
            EXPECT_EQ(got.attribute(kStrikethroughStyleAttributeName, i).integer() != 0,
                      want.attribute(kStrikethroughStyleAttributeName, i).integer() != 0);
        }
    }
}

MutableAttributedString readBack(const Format& format, const QByteArray& data,
                                 DocumentAttributes* attributes = nullptr)
{
    MutableAttributedString text;
    Error error;
    EXPECT_TRUE(format.read(data, text, attributes, &error)) << qPrintable(error.localizedDescription());
    // Every importer ends the last paragraph with a newline; the window takes it off.
    if (text.length() > 0 && text.string().back() == u'\n')
        text.deleteCharacters(Range{text.length() - 1, 1});
    return text;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A zip archive of named parts, in order.
QByteArray archive(const std::vector<std::pair<QString, QByteArray>>& members)
{
    ZipWriter zip;
    for (const auto& [name, data] : members)
        zip.add(name, data);
    Error error;
    return zip.finish(&error).value_or(QByteArray());
}

QByteArray docxWithBody(const QByteArray& bodyXml, const QByteArray& stylesXml = {})
{
    std::vector<std::pair<QString, QByteArray>> members{
        {QStringLiteral("word/document.xml"),
         "<?xml version=\"1.0\"?><w:document "
         "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
         "<w:body>" +
             bodyXml + "</w:body></w:document>"}};
    if (!stylesXml.isEmpty()) {
        members.push_back({QStringLiteral("word/styles.xml"), stylesXml});
        members.push_back(
            {QStringLiteral("word/_rels/document.xml.rels"),
             "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
             "<Relationship Id=\"r1\" Type=\"http://x/relationships/styles\" Target=\"styles.xml\"/>"
             "</Relationships>"});
    }
    return archive(members);
}

} // namespace

TEST(Office, AStyledScriptComesBackThroughWordAndOpenDocumentInTheSameBytesEachTime)
{
    const MutableAttributedString script = styledScript();
    const MutableAttributedString expected = withoutAttachments(script);
    for (const Format& format : kFormats) {
        SCOPED_TRACE(format.extension);
        Error error;
        const auto bytes = format.write(script, metadata(), &error);
        ASSERT_TRUE(bytes) << qPrintable(error.localizedDescription());
        EXPECT_EQ(format.write(script, metadata(), &error), bytes) << "output is reproducible";
        DocumentAttributes attributes;
        const MutableAttributedString text = readBack(format, *bytes, &attributes);
        expectSameLook(text, expected, kFonts | kColors | kParagraphs | kDecorations);
        EXPECT_EQ(attributes.value(NSTitleDocumentAttribute).toString(), QStringLiteral("Show <1>"));
        EXPECT_EQ(attributes.value(NSAuthorDocumentAttribute).toString(), QStringLiteral("Ana Díaz"));
        EXPECT_EQ(attributes.value(NSSubjectDocumentAttribute).toString(), QStringLiteral("Evening news"));
        EXPECT_EQ(attributes.value(NSCommentDocumentAttribute).toString(), QStringLiteral("Read slowly"));
        EXPECT_EQ(attributes.value(NSKeywordsDocumentAttribute).toStringList(),
                  (QStringList{QStringLiteral("news"), QStringLiteral("evening")}));
        EXPECT_EQ(attributes.value(NSCreationTimeDocumentAttribute).toDateTime(),
                  metadata().value(NSCreationTimeDocumentAttribute).toDateTime());

        // A text ending in a newline keeps it; an empty text stays empty.
        const MutableAttributedString ending(AttributedString(QStringLiteral("one\n")));
        EXPECT_EQ(readBack(format, *format.write(ending, {}, &error)).string(), QStringLiteral("one\n"));
        EXPECT_EQ(readBack(format, *format.write(MutableAttributedString(), {}, &error)).string(), QString());
    }

    // OpenDocument readers find the type in the first bytes: "mimetype" first, stored, no extra field.
    Error error;
    const QByteArray odt = *Odt::write(script, {}, &error);
    ASSERT_GT(odt.size(), 38 + 39);
    EXPECT_EQ(odt.left(4), QByteArray("PK\x03\x04", 4));
    EXPECT_EQ(quint8(odt[8]) | quint8(odt[9]) << 8, 0) << "stored";
    EXPECT_EQ(quint8(odt[26]) | quint8(odt[27]) << 8, 8);
    EXPECT_EQ(quint8(odt[28]) | quint8(odt[29]) << 8, 0) << "no extra field";
    EXPECT_EQ(odt.mid(30, 8), QByteArray("mimetype"));
    EXPECT_EQ(odt.mid(38, 39), QByteArray(Odt::kMimeType));
}

TEST(Office, StylesInheritWithinBoundsAndCyclesEnd)
{
    // Heading inherits its size from Big, which inherits bold from Base; a cycle between two styles
    // and a chain longer than any document's end without hanging.
    QByteArray styles =
        "<w:styles xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
        "<w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:ascii=\"Georgia\"/><w:sz w:val=\"20\"/></w:rPr>"
        "</w:rPrDefault></w:docDefaults>"
        "<w:style w:type=\"paragraph\" w:styleId=\"Base\"><w:rPr><w:b/></w:rPr></w:style>"
        "<w:style w:type=\"paragraph\" w:styleId=\"Big\"><w:basedOn w:val=\"Base\"/><w:rPr><w:sz "
        "w:val=\"48\"/>"
        "</w:rPr></w:style>"
        "<w:style w:type=\"paragraph\" w:styleId=\"Heading\"><w:basedOn w:val=\"Big\"/><w:pPr><w:jc "
        "w:val=\"center\"/>"
        "</w:pPr></w:style>"
        "<w:style w:type=\"paragraph\" w:styleId=\"A\"><w:basedOn w:val=\"B\"/></w:style>"
        "<w:style w:type=\"paragraph\" w:styleId=\"B\"><w:basedOn "
        "w:val=\"A\"/><w:rPr><w:i/></w:rPr></w:style>";
    for (int i = 0; i < 5000; ++i)
        styles += "<w:style w:type=\"paragraph\" w:styleId=\"L" + QByteArray::number(i + 1) +
                  "\"><w:basedOn w:val=\"L" + QByteArray::number(i) + "\"/></w:style>";
    styles += "</w:styles>";
    const QByteArray docx = docxWithBody(
        "<w:p><w:pPr><w:pStyle w:val=\"Heading\"/></w:pPr><w:r><w:t>Big</w:t></w:r></w:p>"
        "<w:p><w:pPr><w:pStyle w:val=\"A\"/></w:pPr><w:r><w:t>Loop</w:t></w:r></w:p>"
        "<w:p><w:pPr><w:pStyle w:val=\"L5000\"/></w:pPr><w:r><w:rPr><w:b w:val=\"0\"/><w:color "
        "w:val=\"00FF00\"/>"
        "</w:rPr><w:t xml:space=\"preserve\">Long </w:t></w:r><w:r><w:tab/><w:t>end</w:t></w:r></w:p>",
        styles);
    QElapsedTimer timer;
    timer.start();
    const MutableAttributedString text = readBack(kFormats[0], docx);
    EXPECT_LT(timer.elapsed(), 2000);
    ASSERT_EQ(text.string(), QStringLiteral("Big\nLoop\nLong \tend"));
    EXPECT_EQ(fontAt(text, 0).familyName, QStringLiteral("Georgia"));
    EXPECT_EQ(fontAt(text, 0).pointSize, 24);
    EXPECT_TRUE(fontAt(text, 0).bold);
    EXPECT_EQ(paragraphAt(text, 0).alignment, TextAlignment::Center);
    EXPECT_TRUE(fontAt(text, 4).italic) << "the cycle still gives what it holds";
    EXPECT_EQ(fontAt(text, 4).pointSize, 10);
    EXPECT_FALSE(fontAt(text, 9).bold);
    EXPECT_EQ(colorAt(text, kForegroundColorAttributeName, 9), Color::fromRgb8(0, 255, 0));
}

TEST(Office, HostileArchivesAndXmlGiveAnErrorOrASaneTextQuickly)
{
    QElapsedTimer timer;
    timer.start();
    const auto rejects = [](const Format& format, const QByteArray& data) {
        MutableAttributedString text;
        Error error;
        const bool read = format.read(data, text, nullptr, &error);
        return !read && !error.isNull();
    };

    // Not archives at all, truncated, and empty.
    const QByteArray good = *Docx::write(styledScript(), {}, nullptr);
    for (const Format& format : kFormats) {
        EXPECT_TRUE(rejects(format, QByteArray()));
        EXPECT_TRUE(rejects(format, QByteArray("PK\x03\x04garbage")));
        EXPECT_TRUE(rejects(format, good.left(good.size() / 2)));
    }

    // A part that inflates a thousandfold stops at the ratio bound, long before memory runs out.
    const QByteArray zeros(64 << 20, '\0');
    EXPECT_TRUE(rejects(kFormats[0], archive({{QStringLiteral("word/document.xml"), zeros}})));
    EXPECT_TRUE(rejects(kFormats[1], archive({{QStringLiteral("content.xml"), zeros}})));

    // Sizes that lie: the CRC check catches a changed byte, and a declared size smaller than the data
    // gives an error, never more bytes than declared.
    QByteArray lying = docxWithBody("<w:p><w:r><w:t>Hello</w:t></w:r></w:p>");
    const qsizetype crcAt = lying.indexOf(QByteArray("PK\x01\x02", 4)) + 16;
    lying[crcAt] = char(lying[crcAt] ^ 0x55);
    EXPECT_TRUE(rejects(kFormats[0], lying));

    // Overlapping members: a second directory entry pointing at the first member's data is refused
    // or counted again, never a way around the bounds.
    QByteArray overlapping =
        archive({{QStringLiteral("word/document.xml"),
                  "<w:document><w:body><w:p><w:r><w:t>one</w:t></w:r></w:p></w:body></w:document>"},
                 {QStringLiteral("word/other.xml"), "x"}});
    const qsizetype secondEntry = overlapping.indexOf(QByteArray("PK\x01\x02", 4),
                                                      overlapping.indexOf(QByteArray("PK\x01\x02", 4)) + 4);
    ASSERT_GT(secondEntry, 0);
    for (int i = 0; i < 4; ++i)
        overlapping[secondEntry + 42 + i] = 0;
    Error error;
    if (auto overlapped = ZipReader::open(overlapping, &error)) {
        EXPECT_FALSE(overlapped->read(QStringLiteral("word/other.xml"), &error));
    }

    // Names that point outside a folder are not members: the document part named with "../" is missing.
    const QByteArray escaping =
        archive({{QStringLiteral("../word/document.xml"), "<x/>"}, {QStringLiteral("/etc/passwd"), "x"}});
    EXPECT_TRUE(rejects(kFormats[0], escaping));
    auto zip = ZipReader::open(escaping, &error);
    ASSERT_TRUE(zip);
    EXPECT_TRUE(zip->names().isEmpty());
    EXPECT_EQ(ZipReader::safeBaseName(QStringLiteral("../../etc/pass:wd")), QStringLiteral("passwd"));
    EXPECT_EQ(ZipReader::safeBaseName(QStringLiteral("..")), QStringLiteral("attachment"));
    EXPECT_EQ(ZipReader::safeBaseName(QStringLiteral("a\\b\\..\\c.png")), QStringLiteral("c.png"));

    // Too many members is refused before anything is read.
    ZipReader::Limits few;
    few.maxMembers = 3;
    EXPECT_FALSE(ZipReader::open(good, &error, few));

    // 100,000-deep XML, an entity bomb and an external entity naming a system file.
    QByteArray deep = "<w:p>";
    for (int i = 0; i < 100000; ++i)
        deep += "<w:r>";
    EXPECT_TRUE(rejects(kFormats[0], docxWithBody(deep)));
    const QByteArray laughs =
        "<?xml version=\"1.0\"?><!DOCTYPE d [<!ENTITY a \"lol\"><!ENTITY b "
        "\"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
        "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">]>"
        "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"><office:body><office:text>"
        "<text:p>&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;</text:p></office:text></office:body>"
        "</office:document-content>";
    EXPECT_TRUE(rejects(kFormats[1], archive({{QStringLiteral("content.xml"), laughs}})));
    QByteArray external = laughs;
    external.replace(external.indexOf("<!DOCTYPE"),
                     external.indexOf("]>") + 2 - external.indexOf("<!DOCTYPE"),
                     "<!DOCTYPE d [<!ENTITY d SYSTEM \"file:///etc/passwd\">]>");
    EXPECT_TRUE(rejects(kFormats[1], archive({{QStringLiteral("content.xml"), external}})));

    // An external relationship is never followed: the document part falls back to its usual name.
    const QByteArray relsOutside =
        archive({{QStringLiteral("_rels/.rels"),
                  "<Relationships><Relationship Type=\"x/officeDocument\" Target=\"file:///etc/passwd\" "
                  "TargetMode=\"External\"/>"
                  "<Relationship Type=\"x/officeDocument\" Target=\"../../etc/passwd\"/></Relationships>"},
                 {QStringLiteral("word/document.xml"),
                  "<w:document "
                  "xmlns:w=\"w\"><w:body><w:p><w:r><w:t>inside</w:t></w:r></w:p></w:body></w:document>"}});
    EXPECT_EQ(readBack(kFormats[0], relsOutside).string(), QStringLiteral("inside"));

    // Huge numbers and wrong values are bounded or ignored.
    const MutableAttributedString huge = readBack(
        kFormats[0],
        docxWithBody(
            "<w:p><w:pPr><w:ind w:left=\"99999999999\" w:hanging=\"-1e308\"/><w:spacing w:line=\"nan\"/>"
            "</w:pPr><w:r><w:rPr><w:sz w:val=\"1e300\"/><w:color w:val=\"zzzzzz\"/></w:rPr>"
            "<w:t>x</w:t></w:r></w:p>"));
    ASSERT_EQ(huge.string(), QStringLiteral("x"));
    EXPECT_LE(paragraphAt(huge, 0).headIndent, 10000);
    EXPECT_LE(fontAt(huge, 0).pointSize, 1638);
    EXPECT_LT(timer.elapsed(), 20000);
}

// LibreOffice as the independent reader and writer. It is installed wherever the suite runs in CI;
// elsewhere the test is skipped.
TEST(OfficeWithLibreOffice, LibreOfficeReadsWhatWeWriteAndWeReadWhatItWrites)
{
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty())
        GTEST_SKIP() << "LibreOffice (soffice) is not installed";
    QTemporaryDir dir;
    dir.setAutoRemove(qEnvironmentVariableIsEmpty("ORVANE_KEEP_TEMP"));
    ASSERT_TRUE(dir.isValid());
    const QString profile = QUrl::fromLocalFile(dir.filePath(QStringLiteral("profile"))).toString();
    const auto convert = [&](const QString& to, const QStringList& files, const QString& outdir) {
        QProcess process;
        QStringList arguments{QStringLiteral("-env:UserInstallation=") + profile,
                              QStringLiteral("--headless"),
                              QStringLiteral("--norestore"),
                              QStringLiteral("--convert-to"),
                              to,
                              QStringLiteral("--outdir"),
                              outdir};
        // LibreOffice leaves files of its own in the folder it runs in.
        process.setWorkingDirectory(dir.path());
        process.start(soffice, arguments + files);
        ASSERT_TRUE(process.waitForFinished(120000)) << "soffice hung";
        ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().constData();
    };
    const MutableAttributedString script = withoutAttachments(styledScript());
    Error error;
    ASSERT_TRUE(
        writeFile(dir.filePath(QStringLiteral("fromdocx.docx")), *Docx::write(script, metadata(), &error)));
    ASSERT_TRUE(
        writeFile(dir.filePath(QStringLiteral("fromodt.odt")), *Odt::write(script, metadata(), &error)));
    DocumentAttributes rtfAttributes = metadata();
    rtfAttributes.insert(NSDocumentTypeDocumentAttribute, NSRTFTextDocumentType);
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("rtf.rtf")), RtfWriter::write(script, rtfAttributes)));

    // Ours, read by LibreOffice and written as OpenDocument and RTF.
    const QStringList ours{dir.filePath(QStringLiteral("fromdocx.docx")),
                           dir.filePath(QStringLiteral("fromodt.odt"))};
    QDir(dir.path()).mkdir(QStringLiteral("odt"));
    QDir(dir.path()).mkdir(QStringLiteral("rtf"));
    convert(QStringLiteral("odt"), ours, dir.filePath(QStringLiteral("odt")));
    convert(QStringLiteral("rtf"), ours, dir.filePath(QStringLiteral("rtf")));
    // Our RTF, written by LibreOffice as Word and OpenDocument and HTML.
    QDir(dir.path()).mkdir(QStringLiteral("fromrtf"));
    for (const QString& to : {QStringLiteral("docx"), QStringLiteral("odt"), QStringLiteral("html")})
        convert(to, {dir.filePath(QStringLiteral("rtf.rtf"))}, dir.filePath(QStringLiteral("fromrtf")));

    const auto trimmed = [](MutableAttributedString text) {
        if (text.length() > 0 && text.string().back() == u'\n')
            text.deleteCharacters(Range{text.length() - 1, 1});
        return text;
    };
    // LibreOffice reads each space of a run in RTF as a six-per-em space and a space.
    const auto withoutSixPerEm = [](MutableAttributedString text) {
        for (qsizetype i = text.length() - 1; i >= 0; --i)
            if (text.characterAtIndex(i) == 0x2006)
                text.deleteCharacters(Range{i, 1});
        return text;
    };
    for (const QString& name : {QStringLiteral("fromdocx"), QStringLiteral("fromodt")}) {
        SCOPED_TRACE(name.toStdString());
        DocumentAttributes attributes;
        const MutableAttributedString text = readBack(
            kFormats[1], fileBytes(dir.filePath(QStringLiteral("odt/") + name + QStringLiteral(".odt"))),
            &attributes);
        expectSameLook(text, script, kFonts | kColors | kParagraphs | kDecorations);
        EXPECT_EQ(attributes.value(NSTitleDocumentAttribute).toString(), QStringLiteral("Show <1>"));
        EXPECT_EQ(attributes.value(NSAuthorDocumentAttribute).toString(), QStringLiteral("Ana Díaz"));

        MutableAttributedString rtf;
        DocumentAttributes rtfRead;
        ASSERT_TRUE(
            RtfReader::read(fileBytes(dir.filePath(QStringLiteral("rtf/") + name + QStringLiteral(".rtf"))),
                            rtf, &rtfRead, &error));
        expectSameLook(trimmed(rtf), script, kFonts | kColors | kDecorations);
        EXPECT_EQ(rtfRead.value(NSTitleDocumentAttribute).toString(), QStringLiteral("Show <1>"));
    }
    {
        SCOPED_TRACE("our RTF through LibreOffice to docx");
        DocumentAttributes attributes;
        const MutableAttributedString text = withoutSixPerEm(
            readBack(kFormats[0], fileBytes(dir.filePath(QStringLiteral("fromrtf/rtf.docx"))), &attributes));
        expectSameLook(text, script, kFonts | kColors | kParagraphs | kDecorations);
        EXPECT_EQ(attributes.value(NSTitleDocumentAttribute).toString(), QStringLiteral("Show <1>"));
    }
    {
        SCOPED_TRACE("our RTF through LibreOffice to odt");
        const MutableAttributedString text = withoutSixPerEm(
            readBack(kFormats[1], fileBytes(dir.filePath(QStringLiteral("fromrtf/rtf.odt")))));
        expectSameLook(text, script, kFonts | kColors | kParagraphs | kDecorations);
    }
    {
        SCOPED_TRACE("our RTF through LibreOffice to html");
        MutableAttributedString text;
        ASSERT_TRUE(HtmlReader::read(fileBytes(dir.filePath(QStringLiteral("fromrtf/rtf.html"))), text,
                                     nullptr, &error));
        EXPECT_EQ(withoutSixPerEm(trimmed(text)).string().simplified(), script.string().simplified());
    }
}

TEST(WebArchiveFiles, PicturesTravelAsSubresourcesAndThePageReadsInItsNamedEncoding)
{
    MutableAttributedString script;
    const AttributeDictionary plain{
        {kFontAttributeName, Font{QStringLiteral("Georgia"), QStringLiteral("Georgia"), 18}}};
    script.append(QStringLiteral(u"Caf\u00E9 "), plain);
    auto picture = FileWrapper::makeRegularFile(QByteArray("\x89PNG\r\n\x1a\n...", 11));
    picture->setPreferredFilename(QStringLiteral("../../logo.png"));
    AttributeDictionary withPicture = plain;
    withPicture.insert(kAttachmentAttributeName, std::make_shared<TextAttachment>(picture));
    script.append(QString(QChar(kAttachmentCharacter)), withPicture);
    script.append(QStringLiteral(" end"), plain);
    Error error;
    const auto archive =
        WebArchive::write(script, {{NSTitleDocumentAttribute, QStringLiteral("Page")}}, &error);
    ASSERT_TRUE(archive);
    EXPECT_TRUE(archive->startsWith("bplist00"));
    MutableAttributedString text;
    DocumentAttributes attributes;
    ASSERT_TRUE(WebArchive::read(*archive, text, &attributes, &error));
    EXPECT_EQ(text.string(), script.string() + u'\n');
    EXPECT_EQ(attributes.value(NSTitleDocumentAttribute).toString(), QStringLiteral("Page"));
    const auto attachment = text.attribute(kAttachmentAttributeName, 5).attachment();
    ASSERT_TRUE(attachment && attachment->fileWrapper());
    EXPECT_EQ(attachment->fileWrapper()->regularFileContents(), picture->regularFileContents());
    EXPECT_EQ(attachment->fileWrapper()->preferredFilename(), QStringLiteral("logo.png"))
        << "a safe base name";
    EXPECT_EQ(fontAt(text, 0).familyName, QStringLiteral("Georgia"));

    // A page in Latin 1, as its archive names it, with a picture by a relative address.
    PlistDictionary main{};
    main.insert(QStringLiteral("WebResourceData"), QByteArray("<p>Caf\xE9 <img src=\"img/a.png\"></p>"));
    main.insert(QStringLiteral("WebResourceMIMEType"), QStringLiteral("text/html"));
    main.insert(QStringLiteral("WebResourceTextEncodingName"), QStringLiteral("ISO-8859-1"));
    main.insert(QStringLiteral("WebResourceURL"), QStringLiteral("http://example.com/news/index.html"));
    PlistDictionary image;
    image.insert(QStringLiteral("WebResourceData"), QByteArray("GIF89a"));
    image.insert(QStringLiteral("WebResourceMIMEType"), QStringLiteral("image/gif"));
    image.insert(QStringLiteral("WebResourceURL"), QStringLiteral("http://example.com/news/img/a.png"));
    PlistDictionary root;
    root.insert(QStringLiteral("WebMainResource"), main);
    root.insert(QStringLiteral("WebSubresources"), PlistArray{image});
    const QByteArray latin =
        *PropertyListSerialization::dataWithPropertyList(root, PropertyListSerialization::Format::Binary);
    ASSERT_TRUE(WebArchive::read(latin, text, nullptr, &error));
    EXPECT_EQ(text.string(), QStringLiteral(u"Caf\u00E9 \uFFFC\n"));

    // Wrong types anywhere are an error, never a crash.
    const auto rejects = [&](const PlistValue& value) {
        MutableAttributedString out;
        Error why;
        return !WebArchive::read(*PropertyListSerialization::dataWithPropertyList(
                                     value, PropertyListSerialization::Format::Binary),
                                 out, nullptr, &why) &&
               !why.isNull();
    };
    EXPECT_TRUE(rejects(PlistArray{}));
    EXPECT_TRUE(rejects(PlistDictionary{}));
    PlistDictionary wrong;
    wrong.insert(QStringLiteral("WebMainResource"), QStringLiteral("text"));
    EXPECT_TRUE(rejects(wrong));
    PlistDictionary noData;
    PlistDictionary mainWithoutData;
    mainWithoutData.insert(QStringLiteral("WebResourceData"), 42);
    noData.insert(QStringLiteral("WebMainResource"), mainWithoutData);
    EXPECT_TRUE(rejects(noData));
    MutableAttributedString out;
    EXPECT_FALSE(WebArchive::read(QByteArray("bplist00\x01\x02"), out, nullptr, &error));
    // Subresources of the wrong type are skipped.
    root.insert(QStringLiteral("WebSubresources"),
                PlistArray{PlistValue(7), PlistValue(QStringLiteral("x"))});
    ASSERT_TRUE(WebArchive::read(
        *PropertyListSerialization::dataWithPropertyList(root, PropertyListSerialization::Format::Binary),
        text, nullptr, &error));
    EXPECT_EQ(text.string(), QStringLiteral(u"Caf\u00E9\n")) << "the missing picture leaves no space behind";
}

TEST(Office, FilesLibreOfficeMadeReadWithTheirStylesAndMetadata)
{
    for (const Format& format : kFormats) {
        SCOPED_TRACE(format.extension);
        DocumentAttributes attributes;
        const MutableAttributedString text =
            readBack(format,
                     fileBytes(QStringLiteral(ORVANE_FIXTURES_DIR "/office/libreoffice.") +
                               QLatin1String(format.extension)),
                     &attributes);
        ASSERT_EQ(text.string(),
                  QStringLiteral("EVENING BULLETIN\nGood evening. Tonight we begin with the weather, then "
                                 "the markets.\nBack after the break."));
        EXPECT_EQ(attributes.value(NSTitleDocumentAttribute).toString(), QStringLiteral("Evening Bulletin"));
        EXPECT_EQ(attributes.value(NSAuthorDocumentAttribute).toString(), QStringLiteral("Ana Diaz"));
        EXPECT_EQ(fontAt(text, 0).familyName, QStringLiteral("DejaVu Sans"));
        EXPECT_EQ(fontAt(text, 0).pointSize, 24);
        EXPECT_TRUE(fontAt(text, 0).bold);
        EXPECT_EQ(colorAt(text, kForegroundColorAttributeName, 0), Color::fromRgb8(200, 10, 20));
        EXPECT_EQ(paragraphAt(text, 0).alignment, TextAlignment::Center);
        EXPECT_NEAR(paragraphAt(text, 0).paragraphSpacing, 12, 0.1);
        const qsizetype weather = text.string().indexOf(QStringLiteral("the weather"));
        EXPECT_TRUE(fontAt(text, weather).bold);
        EXPECT_FALSE(fontAt(text, weather - 2).bold);
        EXPECT_EQ(fontAt(text, weather).familyName, QStringLiteral("DejaVu Serif"));
        EXPECT_EQ(fontAt(text, weather).pointSize, 16);
        EXPECT_TRUE(fontAt(text, text.string().indexOf(QStringLiteral("markets"))).italic);
        const ParagraphStyle body = paragraphAt(text, weather);
        EXPECT_EQ(body.alignment, TextAlignment::Left);
        EXPECT_NEAR(body.headIndent, 36, 0.1);
        EXPECT_NEAR(body.firstLineHeadIndent, 54, 0.1);
        EXPECT_NEAR(body.lineHeightMultiple, 1.5, 0.01);
        const qsizetype back = text.string().indexOf(QStringLiteral("Back"));
        EXPECT_EQ(paragraphAt(text, back).alignment, TextAlignment::Right);
        EXPECT_NE(text.attribute(kUnderlineStyleAttributeName, back).integer(), 0);
    }
}

TEST(WebArchiveFiles, ADamagedArchiveSaysWhatIsWrongInsteadOfAPropertyListCode)
{
    for (const QByteArray& damaged :
         {QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>WebMainResource</key>"),
          QByteArray("bplist00\x01\x02", 10)}) {
        MutableAttributedString text;
        Error error;
        ASSERT_FALSE(WebArchive::read(damaged, text, nullptr, &error));
        EXPECT_EQ(error.code(), kFileReadCorruptFileError);
        EXPECT_TRUE(error.localizedFailureReason().startsWith(
            QStringLiteral("The web archive is not a property list")))
            << error.localizedFailureReason().toStdString();
        error.setUserInfoValue(kURLErrorKey, QUrl::fromLocalFile(QStringLiteral("/tmp/Damaged.webarchive")));
        EXPECT_EQ(
            error.localizedDescription(),
            QStringLiteral(
                "The file “Damaged.webarchive” couldn’t be opened because it isn’t in the correct format."));
    }
}
