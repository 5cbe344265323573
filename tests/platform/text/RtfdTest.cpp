#include "platform/text/Rtfd.h"
#include "platform/foundation/FileWrapper.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/text/RtfReader.h"
#include "platform/text/TextAttachment.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

namespace {

const QByteArray kPng("\x89PNG\r\n\x1a\n-one", 12);
const QByteArray kOtherPng("\x89PNG\r\n\x1a\n-two", 12);

AttributeDictionary base()
{
    Font font;
    font.fontName = font.familyName = QStringLiteral("Helvetica");
    return AttributeDictionary{{kFontAttributeName, font}, {kParagraphStyleAttributeName, ParagraphStyle()}};
}

std::shared_ptr<TextAttachment> picture(const QByteArray& contents, const QString& name,
                                        QSizeF size = {40, 30})
{
    auto wrapper = FileWrapper::makeRegularFile(contents);
    wrapper->setPreferredFilename(name);
    auto attachment = std::make_shared<TextAttachment>(wrapper);
    attachment->setBounds(QRectF(QPointF(0, 0), size));
    return attachment;
}

// "a" picture "b" picture "c" picture "d", with the pictures given.
MutableAttributedString textWith(const std::vector<std::shared_ptr<TextAttachment>>& attachments)
{
    QString string = QStringLiteral("a");
    for (size_t i = 0; i < attachments.size(); ++i) {
        string += QChar(kAttachmentCharacter);
        string += QChar(char16_t(u'b' + i));
    }
    MutableAttributedString text(string, base());
    for (size_t i = 0; i < attachments.size(); ++i)
        text.addAttribute(kAttachmentAttributeName, attachments[i], Range{qsizetype(1 + 2 * i), 1});
    return text;
}

void expectSameAttachments(const AttributedString& a, const AttributedString& b)
{
    ASSERT_EQ(a.string(), b.string());
    for (qsizetype i = 0; i < a.length(); ++i) {
        const auto first = a.attribute(kAttachmentAttributeName, i).attachment();
        const auto second = b.attribute(kAttachmentAttributeName, i).attachment();
        ASSERT_EQ(bool(first), bool(second)) << "at " << i;
        if (!first)
            continue;
        EXPECT_EQ(first->fileWrapper()->regularFileContents(), second->fileWrapper()->regularFileContents());
        EXPECT_EQ(first->bounds(), second->bounds());
    }
}

// A serialised directory wrapper as the platform lays one out; type 3 is a directory record.
QByteArray stream(const std::vector<std::pair<QByteArray, QByteArray>>& files, quint32 type = 3)
{
    QByteArray out("rtfd");
    const auto word = [&](quint32 value) {
        char bytes[4];
        qToLittleEndian(value, bytes);
        out.append(bytes, 4);
    };
    word(0);
    word(type);
    word(quint32(files.size()));
    for (const auto& file : files) {
        word(quint32(file.first.size()));
        out.append(file.first);
    }
    for (const auto& file : files)
        word(quint32(file.second.size() + 8));
    for (const auto& file : files) {
        word(1);
        word(quint32(file.second.size()));
        out.append(file.second);
    }
    return out;
}

} // namespace

TEST(RtfdTest, DirectoryHoldsTheTextAndOneFilePerAttachment)
{
    const MutableAttributedString text =
        textWith({picture(kPng, QStringLiteral("dot.png")), picture(kOtherPng, QStringLiteral("dot.png"))});
    const auto directory = Rtfd::fileWrapper(text, {});
    EXPECT_EQ(
        directory->fileWrappers().keys(),
        (QStringList{QStringLiteral("TXT.rtf"), QStringLiteral("dot-2.png"), QStringLiteral("dot.png")}));
    const QByteArray rtf = directory->fileWrappers().value(QStringLiteral("TXT.rtf"))->regularFileContents();
    EXPECT_TRUE(rtf.contains("{{\\NeXTGraphic dot.png \\width800 \\height600 \\appleattachmentpadding0 "
                             "\\appleembedtype0 \\appleaqc\n}\\'ac}"))
        << rtf.constData();
    for (const char c : rtf)
        ASSERT_LT(static_cast<unsigned char>(c), 0x80) << "RTF is 7-bit";

    MutableAttributedString back;
    DocumentAttributes attributes;
    Error error;
    ASSERT_TRUE(Rtfd::read(*directory, back, &attributes, &error));
    expectSameAttachments(text, back);
    EXPECT_EQ(attributes.value(NSDocumentTypeDocumentAttribute).toString(), NSRTFDTextDocumentType);
}

TEST(RtfdTest, EqualAttachmentsShareOneFile)
{
    const MutableAttributedString text =
        textWith({picture(kPng, QStringLiteral("a.png")), picture(kPng, QStringLiteral("b.png"), {10, 10})});
    const auto directory = Rtfd::fileWrapper(text, {});
    EXPECT_EQ(directory->fileWrappers().size(), 2);
    MutableAttributedString back;
    ASSERT_TRUE(Rtfd::read(*directory, back, nullptr, nullptr));
    EXPECT_EQ(back.string().count(QChar(kAttachmentCharacter)), 2);
    expectSameAttachments(text, back);
}

TEST(RtfdTest, AttachmentNamesAreSanitised)
{
    const MutableAttributedString text = textWith(
        {picture(kPng, QStringLiteral("../../etc/passwd")), picture(kOtherPng, QStringLiteral("..")),
         picture("x", QStringLiteral("TXT.rtf")), picture("y", QStringLiteral(u"caf\u00E9 {1}.png"))});
    const auto directory = Rtfd::fileWrapper(text, {});
    for (const QString& name : directory->fileWrappers().keys()) {
        EXPECT_FALSE(name.contains(u'/')) << name.toStdString();
        EXPECT_FALSE(name.startsWith(u'.')) << name.toStdString();
    }
    EXPECT_EQ(directory->fileWrappers().size(), 5);
    EXPECT_TRUE(directory->fileWrappers()
                    .value(QStringLiteral("TXT.rtf"))
                    ->regularFileContents()
                    .startsWith("{\\rtf1"));
    MutableAttributedString back;
    ASSERT_TRUE(Rtfd::read(*directory, back, nullptr, nullptr));
    expectSameAttachments(text, back);
}

TEST(RtfdTest, WritesAndReadsTheDirectoryOnDisk)
{
    QTemporaryDir temporary;
    ASSERT_TRUE(temporary.isValid());
    const QString path = temporary.filePath(QStringLiteral("Content.rtfd"));
    const MutableAttributedString text = textWith({picture(kPng, QStringLiteral("../escape.png"))});
    Error error;
    ASSERT_TRUE(Rtfd::writeToURL(QUrl::fromLocalFile(path), text,
                                 {{NSTitleDocumentAttribute, QStringLiteral("T")}}, &error))
        << error.localizedDescription().toStdString();
    QStringList written;
    for (QDirIterator it(temporary.path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                         QDirIterator::Subdirectories);
         it.hasNext();)
        written.append(QDir(temporary.path()).relativeFilePath(it.next()));
    written.sort();
    EXPECT_EQ(written, (QStringList{QStringLiteral("Content.rtfd"), QStringLiteral("Content.rtfd/TXT.rtf"),
                                    QStringLiteral("Content.rtfd/_._escape.png")}));

    MutableAttributedString back;
    DocumentAttributes attributes;
    ASSERT_TRUE(Rtfd::readFromURL(QUrl::fromLocalFile(path), back, &attributes, &error));
    expectSameAttachments(text, back);
    EXPECT_EQ(attributes.value(NSTitleDocumentAttribute).toString(), QStringLiteral("T"));
}

TEST(RtfdTest, RefusesDirectoriesWithoutText)
{
    auto directory = FileWrapper::makeDirectory();
    directory->addRegularFile(kPng, QStringLiteral("a.png"));
    MutableAttributedString text;
    Error error;
    EXPECT_FALSE(Rtfd::read(*directory, text, nullptr, &error));
    EXPECT_EQ(error.code(), kFileReadCorruptFileError);
    EXPECT_FALSE(Rtfd::read(*FileWrapper::makeRegularFile("{\\rtf1 x}"), text, nullptr, &error));
}

TEST(RtfdTest, SingleStreamRoundTrips)
{
    const MutableAttributedString text =
        textWith({picture(kPng, QStringLiteral("a.png")), picture(kOtherPng, QStringLiteral("b.png"))});
    const QByteArray data = Rtfd::data(text, {{NSAuthorDocumentAttribute, QStringLiteral("Ana")}});
    EXPECT_TRUE(data.startsWith("rtfd"));
    EXPECT_EQ(data, Rtfd::data(text, {{NSAuthorDocumentAttribute, QStringLiteral("Ana")}}));
    MutableAttributedString back;
    DocumentAttributes attributes;
    Error error;
    ASSERT_TRUE(Rtfd::readData(data, back, &attributes, &error));
    expectSameAttachments(text, back);
    EXPECT_EQ(attributes.value(NSAuthorDocumentAttribute).toString(), QStringLiteral("Ana"));
    EXPECT_EQ(attributes.value(NSDocumentTypeDocumentAttribute).toString(), NSRTFDTextDocumentType);
}

TEST(RtfdTest, SingleStreamRefusesDamagedData)
{
    const QByteArray good = stream({{"TXT.rtf", "{\\rtf1 hi}"}, {"a.png", kPng}});
    MutableAttributedString text;
    ASSERT_TRUE(Rtfd::readData(good, text, nullptr, nullptr));
    EXPECT_EQ(text.string(), QStringLiteral("hi"));

    Error error;
    for (qsizetype cut = 0; cut < good.size(); ++cut) {
        if (cut == 0 || Rtfd::readData(good.left(cut), text, nullptr, &error)) {
            continue;
        }
        EXPECT_EQ(error.code(), kFileReadCorruptFileError);
    }
    EXPECT_FALSE(Rtfd::readData(good.left(good.size() - 1), text, nullptr, nullptr));
    EXPECT_FALSE(Rtfd::readData(stream({{"TXT.rtf", "{\\rtf1 hi}"}}, 99), text, nullptr, nullptr));
    EXPECT_FALSE(Rtfd::readData(QByteArray("rtfd\0\0\0\0\x03\0\0\0\xff\xff\xff\xff", 16), text, nullptr, nullptr));
    QByteArray hugeLength = stream({{"TXT.rtf", "{\\rtf1 hi}"}});
    qToLittleEndian(quint32(0xFFFFFFF0), hugeLength.data() + 16);
    EXPECT_FALSE(Rtfd::readData(hugeLength, text, nullptr, nullptr));
    EXPECT_FALSE(Rtfd::readData("{\\rtf1 not a stream}", text, nullptr, nullptr));
}

TEST(RtfdTest, SingleStreamDropsNamesOutsideTheDirectory)
{
    const QByteArray data = stream({{"TXT.rtf", "{\\rtf1 {{\\NeXTGraphic ../a.png}\xac}x}"},
                                    {"../a.png", kPng},
                                    {"sub/a.png", kPng},
                                    {"..", kPng},
                                    {"", kPng}});
    const auto directory = Rtfd::deserialize(data, nullptr);
    ASSERT_TRUE(directory);
    EXPECT_EQ(directory->fileWrappers().keys(), QStringList{QStringLiteral("TXT.rtf")});
    MutableAttributedString text;
    ASSERT_TRUE(Rtfd::read(*directory, text, nullptr, nullptr));
    EXPECT_EQ(text.string(), QStringLiteral("x"));
}

TEST(RtfdTest, SingleStreamSkipsTheWrappersOwnName)
{
    const QByteArray data = stream({{"__@PreferredName@__", "Script.rtfd"},
                                    {"__@UTF8PreferredName@__", "Script.rtfd"},
                                    {"TXT.rtf", "{\\rtf1 hi}"}});
    const auto directory = Rtfd::deserialize(data, nullptr);
    ASSERT_TRUE(directory);
    EXPECT_EQ(directory->fileWrappers().keys(), QStringList{QStringLiteral("TXT.rtf")});
}

TEST(RtfdTest, FuzzFindingsStayFixed)
{
    const QDir dir(QStringLiteral(ORVANE_FIXTURES_DIR "/rtf/fuzz"));
    for (const QString& name : dir.entryList(QDir::Files)) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray data = file.readAll();
        MutableAttributedString text;
        RtfReader::read(data, text, nullptr, nullptr);
        Rtfd::readData(data, text, nullptr, nullptr);
    }
}
