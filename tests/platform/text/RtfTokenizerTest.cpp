#include "platform/text/RtfTokenizer.h"
#include "platform/text/CodePages.h"
#include "platform/text/RtfControlWords.h"

#include <QDirIterator>
#include <QFile>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Kind = RtfTokenizer::Kind;

std::vector<RtfTokenizer::Token> tokenize(QByteArrayView input)
{
    RtfTokenizer tokenizer(input);
    std::vector<RtfTokenizer::Token> tokens;
    for (auto token = tokenizer.next(); token.kind != Kind::End; token = tokenizer.next())
        tokens.push_back(token);
    return tokens;
}

} // namespace

TEST(RtfTokenizerTest, SplitsWordsSymbolsTextAndGroups)
{
    const auto tokens = tokenize("{\\rtf1\\b0 bold\\'e9\\~x\\par\r\n}");
    ASSERT_EQ(tokens.size(), 9u);
    EXPECT_EQ(tokens[0].kind, Kind::GroupStart);
    EXPECT_EQ(tokens[1].name, "rtf");
    EXPECT_EQ(tokens[1].parameter, 1);
    EXPECT_EQ(tokens[2].name, "b");
    EXPECT_TRUE(tokens[2].hasParameter);
    EXPECT_EQ(tokens[2].parameter, 0);
    EXPECT_EQ(tokens[3].kind, Kind::Text);
    EXPECT_EQ(tokens[3].name, "bold"); // the space after a control word is its delimiter
    EXPECT_EQ(tokens[4].kind, Kind::HexByte);
    EXPECT_EQ(tokens[4].byte, 0xE9);
    EXPECT_EQ(tokens[5].kind, Kind::ControlSymbol);
    EXPECT_EQ(tokens[5].name, "~");
    EXPECT_EQ(tokens[6].name, "x");
    EXPECT_EQ(tokens[7].name, "par");
    EXPECT_FALSE(tokens[7].hasParameter);
    EXPECT_EQ(tokens[8].kind, Kind::GroupEnd);
}

TEST(RtfTokenizerTest, NegativeAndOverflowingParametersSaturate)
{
    const auto tokens = tokenize("\\fi-720\\li99999999999999999999\\ri-99999999999999999999 ");
    ASSERT_EQ(tokens.size(), 3u);
    EXPECT_EQ(tokens[0].parameter, -720);
    EXPECT_EQ(tokens[1].parameter, 2147483647);
    EXPECT_EQ(tokens[2].parameter, -2147483648);
}

TEST(RtfTokenizerTest, BinaryDataIsBoundedByTheInput)
{
    auto tokens = tokenize("\\bin3 {}\\x}");
    ASSERT_GE(tokens.size(), 1u);
    EXPECT_EQ(tokens[0].kind, Kind::Binary);
    EXPECT_EQ(tokens[0].name, "{}\\");

    tokens = tokenize("\\bin9999999999 abc");
    ASSERT_EQ(tokens.size(), 1u);
    EXPECT_EQ(tokens[0].name, "abc");

    tokens = tokenize("\\bin-5 abc");
    ASSERT_EQ(tokens.size(), 2u);
    EXPECT_EQ(tokens[0].name, "");
    EXPECT_EQ(tokens[1].name, "abc");
}

TEST(RtfTokenizerTest, TruncatedEscapesEndTheInput)
{
    EXPECT_TRUE(tokenize("\\").empty());
    EXPECT_TRUE(tokenize("\\'").empty());
    EXPECT_TRUE(tokenize("\\'4").empty());
    const auto tokens = tokenize("\\'zzok");
    ASSERT_EQ(tokens.size(), 2u);
    EXPECT_EQ(tokens[1].name, "ok");
}

TEST(RtfTokenizerTest, OverlongControlWordsStopAtTheLimit)
{
    const std::string word(100, 'a');
    const auto tokens = tokenize(QByteArray::fromStdString("\\" + word));
    ASSERT_EQ(tokens.size(), 2u);
    EXPECT_EQ(tokens[0].name.size(), 32u);
    EXPECT_EQ(tokens[1].kind, Kind::Text);
}

// Control words far from the end of the input are read sixteen bytes at a time, those within a
// few bytes of it one byte at a time; both must give the same tokens. Each token of a file is read
// again from a copy that ends where the token ends, which takes the bytewise path.
TEST(RtfTokenizerTest, TokensReadTheSameAtTheEndOfTheInputAsBeforeIt)
{
    std::vector<QByteArray> inputs;
    QDirIterator files(QStringLiteral(ORVANE_FIXTURES_DIR "/rtf"), {QStringLiteral("*.rtf")}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
        inputs.push_back(file.readAll());
    }
    ASSERT_GE(inputs.size(), 5u);
    const QByteArray letters15(15, 'q'), letters16(16, 'q'), letters40(40, 'q');
    inputs.push_back("{\\rtf1\\uc0\\u8217 \\u-3999 x\\fs96 \\cf12345678y\\li999999999\\li12345678901"
                     "\\li99999999999999999999\\fi-720\\fi-99999999\\fi- 1\\b-\\ABCdef12 \\\\\\'e9\\u0\\f0\xe9"
                     "\\partightenfactor0\\pardirnatural\\qc\\expandedcolortbl;\\bin3 a}b\\uc1\\u233?"
                     "\\" + letters15 + "5 \\" + letters16 + "-7\\" + letters40 + "12\\bin\\bin-2 \\x\\par\r\n}" +
                     QByteArray(48, ' ') + "\\fs");

    for (const QByteArray& input : inputs) {
        RtfTokenizer whole(input);
        for (;;) {
            const qsizetype start = whole.position();
            const RtfTokenizer::Token token = whole.next();
            if (token.kind == Kind::End)
                break;
            RtfTokenizer alone(QByteArrayView(input).sliced(start, whole.position() - start));
            const RtfTokenizer::Token again = alone.next();
            const auto at = [&] { return input.mid(start, 40).toStdString(); };
            ASSERT_EQ(int(again.kind), int(token.kind)) << at();
            EXPECT_EQ(again.name, token.name) << at();
            EXPECT_EQ(again.hasParameter, token.hasParameter) << at();
            EXPECT_EQ(again.parameter, token.parameter) << at();
            EXPECT_EQ(again.word, token.word) << at();
            EXPECT_EQ(again.byte, token.byte) << at();
            EXPECT_EQ(alone.position(), alone.size()) << at();
        }
    }
}

// Every word the reader knows finds its own number, and a word one letter longer or shorter finds
// only itself, wherever the hash table puts them.
TEST(RtfControlWordsTest, KnownWordsFindTheirNumbersAndNoOtherWordDoes)
{
    const auto findsItselfOrNothing = [](const std::string& word) {
        const int found = RtfControlWords::lookup(word);
        return found == 0 || RtfControlWords::kNames[found] == word;
    };
    for (int i = 1; i < RtfControlWords::kCount; ++i) {
        const std::string name(RtfControlWords::kNames[i]);
        EXPECT_EQ(RtfControlWords::lookup(name), i) << name;
        EXPECT_TRUE(findsItselfOrNothing(name + "x")) << name;
        EXPECT_TRUE(findsItselfOrNothing(name.substr(0, name.size() - 1))) << name;
    }
    EXPECT_EQ(RtfControlWords::lookup(""), 0);
    EXPECT_EQ(RtfControlWords::lookup("PARD"), 0);
    EXPECT_EQ(RtfControlWords::lookup(std::string(32, 'a')), 0);
    EXPECT_EQ(RtfControlWords::lookup("pard"), RtfControlWords::id("pard"));
}

TEST(CodePagesTest, DecodesSingleBytePages)
{
    EXPECT_EQ(CodePages::decode(1252, "\x80\x93\xe9\x81"), QStringLiteral(u"\u20AC\u201C\u00E9\u0081"));
    EXPECT_EQ(CodePages::decode(10000, "\x8e\xd0\xa5"), QStringLiteral(u"\u00E9\u2013\u2022"));
    EXPECT_EQ(CodePages::decode(1251, "\xcf\xf0\xe8"), QStringLiteral(u"\u041F\u0440\u0438"));
    EXPECT_EQ(CodePages::decode(1250, "\x8a"), QStringLiteral(u"\u0160"));
    EXPECT_EQ(CodePages::decode(1253, "\xc1"), QStringLiteral(u"\u0391"));
    EXPECT_EQ(CodePages::decode(1254, "\xd0"), QStringLiteral(u"\u011E"));
    EXPECT_EQ(CodePages::decode(1255, "\xe0"), QStringLiteral(u"\u05D0"));
    EXPECT_EQ(CodePages::decode(1256, "\xc7"), QStringLiteral(u"\u0627"));
    EXPECT_EQ(CodePages::decode(1257, "\xc0"), QStringLiteral(u"\u0104"));
    EXPECT_EQ(CodePages::decode(1258, "\xc3"), QStringLiteral(u"\u0102"));
    // Unknown pages fall back to Windows Latin 1 rather than losing the text.
    EXPECT_EQ(CodePages::decode(437, "a\xe9"), QStringLiteral(u"a\u00E9"));
}

TEST(CodePagesTest, DecodesDoubleBytePages)
{
    EXPECT_EQ(CodePages::decode(932, "\x82\xa0\x93\xfa"), QStringLiteral(u"\u3042\u65E5"));
    EXPECT_EQ(CodePages::decode(936, "\xc4\xe3\xba\xc3"), QStringLiteral(u"\u4F60\u597D"));
    EXPECT_EQ(CodePages::decode(949, "\xc7\xd1"), QStringLiteral(u"\uD55C"));
    EXPECT_EQ(CodePages::decode(950, "\xa4\xa4"), QStringLiteral(u"\u4E2D"));
    EXPECT_TRUE(CodePages::isLeadByte(932, 0x82));
    EXPECT_FALSE(CodePages::isLeadByte(932, 0xA0));
    // A lone lead byte is replaced, not swallowed with what follows.
    EXPECT_FALSE(CodePages::decode(932, "\x82").isEmpty());
}

TEST(CodePagesTest, EncodesSingleBytes)
{
    EXPECT_EQ(CodePages::encodeByte(1252, u'\u20AC'), '\x80');
    EXPECT_EQ(CodePages::encodeByte(10000, u'\u00E9'), '\x8e');
    EXPECT_FALSE(CodePages::encodeByte(1252, u'\u041F').has_value());
    EXPECT_EQ(CodePages::codePageForCharset(128), 932);
    EXPECT_EQ(CodePages::codePageForCharset(0), 0);
}
