#include "platform/textformats/PlainText.h"
#include "platform/text/MutableAttributedString.h"

#include <gtest/gtest.h>

namespace {

const QString kSample = QStringLiteral(u"caf\u00E9 \u201Cq\u201D \u20AC");

QString decoded(QByteArrayView data, TextEncoding* used = nullptr)
{
    return PlainTextCodec::decode(data, used);
}

} // namespace

TEST(PlainTextTest, DetectsTheEncoding)
{
    TextEncoding used{};
    EXPECT_EQ(decoded(kSample.toUtf8(), &used), kSample);
    EXPECT_EQ(used, TextEncoding::UTF8);
    EXPECT_EQ(decoded(QByteArray("\xEF\xBB\xBF") + kSample.toUtf8(), &used), kSample);
    EXPECT_EQ(used, TextEncoding::UTF8);

    const QByteArray utf16 = *PlainTextCodec::encode(kSample, TextEncoding::UTF16);
    EXPECT_TRUE(utf16.startsWith("\xFF\xFE"));
    EXPECT_EQ(decoded(utf16, &used), kSample);
    EXPECT_EQ(used, TextEncoding::UTF16);
    const QByteArray bigEndian =
        QByteArray("\xFE\xFF") + *PlainTextCodec::encode(kSample, TextEncoding::UTF16BigEndian);
    EXPECT_EQ(decoded(bigEndian, &used), kSample);

    // Not UTF-8: Windows Latin 1.
    EXPECT_EQ(decoded("caf\xE9 \x93q\x94 \x80", &used), kSample);
    EXPECT_EQ(used, TextEncoding::WindowsLatin1);
    EXPECT_EQ(decoded("", &used), QString());
    EXPECT_EQ(used, TextEncoding::UTF8);
}

TEST(PlainTextTest, EncodesEachEncodingAndBack)
{
    for (const TextEncoding encoding :
         {TextEncoding::UTF8, TextEncoding::UTF16, TextEncoding::UTF16BigEndian,
          TextEncoding::UTF16LittleEndian, TextEncoding::WindowsLatin1, TextEncoding::MacRoman}) {
        const auto bytes = PlainTextCodec::encode(kSample, encoding);
        ASSERT_TRUE(bytes) << quint32(encoding);
        EXPECT_EQ(PlainTextCodec::decode(*bytes, encoding), kSample) << quint32(encoding);
    }
    EXPECT_EQ(*PlainTextCodec::encode(QStringLiteral(u"\u00E9"), TextEncoding::MacRoman), QByteArray("\x8E"));
    EXPECT_EQ(*PlainTextCodec::encode(QStringLiteral(u"\u00E9"), TextEncoding::WindowsLatin1),
              QByteArray("\xE9"));
}

TEST(PlainTextTest, ReadsIntoTheModelWithAttributes)
{
    MutableAttributedString text;
    DocumentAttributes attributes;
    Font font;
    font.fontName = QStringLiteral("Menlo-Regular");
    PlainText::read("line one\nline \xE9", text, &attributes, {{kFontAttributeName, font}});
    EXPECT_EQ(text.string(), QStringLiteral(u"line one\nline \u00E9"));
    EXPECT_EQ(*text.attribute(kFontAttributeName, 10).font(), font);
    EXPECT_EQ(attributes.value(NSDocumentTypeDocumentAttribute).toString(), NSPlainTextDocumentType);
    EXPECT_EQ(attributes.value(NSCharacterEncodingDocumentAttribute).toUInt(),
              quint32(TextEncoding::WindowsLatin1));

    PlainText::read("\x8E", text, &attributes, {}, TextEncoding::MacRoman);
    EXPECT_EQ(text.string(), QStringLiteral(u"\u00E9"));
    EXPECT_EQ(attributes.value(NSCharacterEncodingDocumentAttribute).toUInt(),
              quint32(TextEncoding::MacRoman));
}

TEST(PlainTextTest, WritingRefusesToLoseCharacters)
{
    const MutableAttributedString text(QStringLiteral(u"\u041F\uFFFCx"));
    Error error;
    EXPECT_FALSE(PlainText::write(text, TextEncoding::WindowsLatin1, &error));
    EXPECT_EQ(error.code(), kFileWriteUnknownError);
    EXPECT_FALSE(PlainText::write(text, TextEncoding::MacRoman, &error));
    const auto utf8 = PlainText::write(text, TextEncoding::UTF8, &error);
    ASSERT_TRUE(utf8);
    EXPECT_EQ(*utf8, QStringLiteral(u"\u041Fx").toUtf8());
}

TEST(PlainTextCodec, DetectionSaysWhenItCannotTellAndHostileBytesDecodeWithoutLoss)
{
    QString why;
    EXPECT_EQ(PlainTextCodec::detect("plain ascii", &why), TextEncoding::UTF8);
    EXPECT_EQ(PlainTextCodec::detect(QByteArray("\xFF\xFE\x00\x00", 4)), TextEncoding::UTF32);
    // A Latin 1 file, or UTF-8 cut inside a character: not detected, and the reason is given.
    EXPECT_FALSE(PlainTextCodec::detect("caf\xE9", &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_FALSE(PlainTextCodec::detect("caf\xC3"));
    TextEncoding used = TextEncoding::UTF8;
    EXPECT_EQ(PlainTextCodec::decode("caf\xE9", &used), QStringLiteral(u"caf\u00E9"));
    EXPECT_EQ(used, TextEncoding::WindowsLatin1);
    // Explicit encodings never drop a bad sequence silently: it becomes U+FFFD.
    EXPECT_EQ(PlainTextCodec::decode("caf\xC3", TextEncoding::UTF8), QStringLiteral(u"caf\uFFFD"));
    EXPECT_EQ(PlainTextCodec::decode(QByteArray("\x41\x00\x42", 3), TextEncoding::UTF16LittleEndian),
              QStringLiteral(u"A\uFFFD"));
    EXPECT_FALSE(
        PlainTextCodec::decode(QByteArray("\xFF\xFF\xFF\x7F\x00\xD8", 6), TextEncoding::UTF32LittleEndian)
            .isEmpty());
    // Round trips through every encoding that holds the sample, by the platform's numbers.
    const QString sample = QStringLiteral(u"Gr\u00FC\u00DFe");
    for (const quint32 number :
         {1u, 4u, 5u, 10u, 12u, 15u, 30u, 0x8C000100u, 0x90000100u, 0x94000100u, 0x98000100u, 0x9C000100u}) {
        ASSERT_TRUE(PlainTextCodec::isKnown(number)) << number;
        const auto bytes = PlainTextCodec::encode(sample, TextEncoding(number));
        if (number == 1u) {
            EXPECT_FALSE(bytes) << "ASCII cannot hold the sample";
            continue;
        }
        ASSERT_TRUE(bytes) << number;
        EXPECT_EQ(PlainTextCodec::decode(*bytes, TextEncoding(number)), sample) << number;
    }
    EXPECT_FALSE(PlainTextCodec::isKnown(999));
    // A lone surrogate is not written as UTF-8: the automatic choice falls to UTF-16, which keeps it.
    const QString lone = QString(QChar(0xD800)) + u'x';
    EXPECT_FALSE(PlainTextCodec::encode(lone, TextEncoding::UTF8));
    EXPECT_EQ(PlainTextCodec::automaticEncodingFor(lone), TextEncoding::UTF16);
    EXPECT_EQ(PlainTextCodec::automaticEncodingFor(sample), TextEncoding::UTF8);
}
