#include "textutil/NSAttributedStringHVAdditions.h"
#include "textutil/NSMutableAttributedStringHVAdditions.h"
#include "textutil/NSStringHVAdditions.h"

#include "platform/text/TextAttachment.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

using namespace NSStringHVAdditions;
namespace AS = NSAttributedStringHVAdditions;
namespace MAS = NSMutableAttributedStringHVAdditions;

const Font kHelvetica{"Helvetica", "Helvetica", 12};
const Font kTimes{"Times", "Times-Roman", 14};
const Font kBoldHelvetica{"Helvetica", "Helvetica-Bold", 12, true};

TEST(NSStringHVAdditions, RunKeysKeepTheirFixedStrings)
{
    EXPECT_EQ(HVAttributedStringRangeName, QStringLiteral("HVAttributedStringRangeName"));
    EXPECT_EQ(HVAttributedStringAttributeValueName, QStringLiteral("HVAttributedStringAttributeValueName"));
    EXPECT_EQ(HVAttributedStringAttributeDictionaryName,
              QStringLiteral("HVAttributedStringAttributeDictionaryAttributeName"));
}

TEST(NSStringHVAdditions, AttachmentRangesListEachAttachmentCharacter)
{
    QString text = QStringLiteral("a") + stringWithAttachmentCharacter() + QStringLiteral("b") +
                   stringWithAttachmentCharacter();
    std::optional<std::vector<Range>> ranges = attachmentRanges(text);
    ASSERT_TRUE(ranges);
    EXPECT_EQ(*ranges, (std::vector<Range>{{1, 1}, {3, 1}}));
    EXPECT_FALSE(attachmentRanges(QStringLiteral("plain")));
    EXPECT_FALSE(attachmentRanges(QString()));
}

TEST(NSStringHVAdditions, LinesSplitAtEveryKindOfLineEnd)
{
    EXPECT_EQ(linesFromString(QStringLiteral("a\r\nb\rc\n")),
              (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QString()}));
    EXPECT_EQ(linesFromString(QString()), QStringList{QString()});
    EXPECT_EQ(linesFromString(QStringLiteral("\r\r\n")), (QStringList{QString(), QString(), QString()}));
}

TEST(NSStringHVAdditions, TrimmingKeepsInnerWhiteSpace)
{
    EXPECT_EQ(stringByTrimmingString(QStringLiteral(" \t\n word \n")), QStringLiteral("word"));
    EXPECT_EQ(stringByTrimmingString(QStringLiteral("\u00a0two  words\u2029")), QStringLiteral("two  words"));
    EXPECT_EQ(stringByTrimmingString(QStringLiteral(" \r\n ")), QString());
}

TEST(NSStringHVAdditions, UUIDStringsAreUpperCaseAndFresh)
{
    QRegularExpression form(QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"));
    QString first = stringWithUUID();
    EXPECT_TRUE(form.match(first).hasMatch()) << first.toStdString();
    EXPECT_NE(first, stringWithUUID());
}

TEST(NSStringHVAdditions, FindReplaceLeavesTheStringAloneForAnEmptySearch)
{
    EXPECT_EQ(find(QStringLiteral("a-b--c"), QStringLiteral("-"), QStringLiteral("+")),
              QStringLiteral("a+b++c"));
    EXPECT_EQ(find(QStringLiteral("abc"), QString(), QStringLiteral("+")), QStringLiteral("abc"));
    EXPECT_EQ(find(QStringLiteral("abab"), QStringLiteral("ab"), QString()), QString());
}

TEST(NSStringHVAdditions, StrippingTurnsSeparatorRunsIntoSingleSpaces)
{
    auto comma = [](char16_t c) { return c == u','; };
    EXPECT_EQ(stripCharacterSet(QStringLiteral(",a,,b,,"), comma), QStringLiteral("a b "));
    EXPECT_EQ(stripCharacterSet(QStringLiteral("a,"), comma), QStringLiteral("a"));
    EXPECT_EQ(stripCharacterSet(QStringLiteral(",,,"), comma), QString());
    EXPECT_EQ(stripCharacterSet(QString(), comma), QString());
}

TEST(NSStringHVAdditions, WordsKeepApostrophesAndTrimAllButTheFirst)
{
    EXPECT_EQ(words(QStringLiteral("Don't stop, it's 10:30!")),
              (QStringList{QStringLiteral("Don't"), QStringLiteral("stop"), QStringLiteral("it's"),
                           QStringLiteral("10:30")}));
    EXPECT_EQ(words(QStringLiteral("single")), QStringList{QStringLiteral("single")});
    // The first element is never trimmed, so a leading blank stays as an empty first word.
    EXPECT_EQ(words(QStringLiteral(" lead\ttab")),
              (QStringList{QString(), QStringLiteral("lead"), QStringLiteral("tab")}));
}

TEST(NSStringHVAdditions, TypeLookUpsByExtension)
{
    EXPECT_EQ(UTIForExtension(QStringLiteral("PNG")), QStringLiteral("public.png"));
    EXPECT_EQ(MIMETypeForExtension(QStringLiteral("jpeg")), QStringLiteral("image/jpeg"));
    EXPECT_EQ(MIMETypeForUTI(QStringLiteral("com.adobe.pdf")), QStringLiteral("application/pdf"));
    EXPECT_TRUE(UTIForExtension(QStringLiteral("nosuchtype")).isEmpty());
    EXPECT_TRUE(MIMETypeForUTI(QStringLiteral("com.apple.rtfd")).isEmpty());
    EXPECT_TRUE(UTIForExtension(QString()).isEmpty());
}

TEST(NSAttributedStringHVAdditions, NamedRunsAreNothingWhenTheAttributeNeverOccurs)
{
    MutableAttributedString text(QStringLiteral("no fonts here"));
    EXPECT_FALSE(AS::allAttributesNamed(text, kFontAttributeName));
    EXPECT_FALSE(AS::allAttributes(MutableAttributedString()));
}

TEST(NSAttributedStringHVAdditions, NamedRunsListEachRunInTextOrder)
{
    MutableAttributedString text(QStringLiteral("aaabbbccc"));
    text.addAttribute(kFontAttributeName, kHelvetica, Range{0, 3});
    text.addAttribute(kFontAttributeName, kTimes, Range{3, 3});
    text.addAttribute(kFontAttributeName, kHelvetica, Range{6, 3});
    // A colour change inside a font run does not split the font's run.
    text.addAttribute(kForegroundColorAttributeName, Color::gray(0), Range{1, 1});
    AttributedStringRuns runs = AS::allAttributesNamed(text, kFontAttributeName);
    ASSERT_TRUE(runs);
    ASSERT_EQ(runs->size(), 3u);
    EXPECT_EQ((*runs)[0].range, (Range{0, 3}));
    EXPECT_EQ(*(*runs)[1].value->font(), kTimes);
    EXPECT_EQ((*runs)[2].range, (Range{6, 3}));
    EXPECT_FALSE((*runs)[0].attributes);

    AttributedStringRuns all = AS::allAttributes(text);
    ASSERT_TRUE(all);
    EXPECT_EQ(all->size(), 5u);
    EXPECT_FALSE(all->front().value);
}

TEST(NSAttributedStringHVAdditions, RangesAreRelativeOrAbsoluteAsAsked)
{
    MutableAttributedString text(QString(20, u'x'), {{kFontAttributeName, kHelvetica}});
    AttributedStringRuns relative = AS::allAttributesNamed(text, kFontAttributeName, Range{5, 10}, false);
    ASSERT_TRUE(relative);
    ASSERT_EQ(relative->size(), 1u);
    EXPECT_EQ(relative->front().range, (Range{0, 10}));
    AttributedStringRuns absolute = AS::allAttributesNamed(text, kFontAttributeName, Range{5, 10});
    ASSERT_TRUE(absolute);
    EXPECT_EQ(absolute->front().range, (Range{5, 10}));
    AttributedStringRuns dictionaries = AS::allAttributesFromRange(text, Range{5, 10});
    ASSERT_TRUE(dictionaries);
    EXPECT_EQ(dictionaries->front().range, (Range{5, 10}));
    EXPECT_TRUE(dictionaries->front().attributes->contains(kFontAttributeName));
    // A range past the end lists nothing rather than failing.
    EXPECT_FALSE(AS::allAttributesFromRange(text, Range{30, 5}));
}

TEST(NSMutableAttributedStringHVAdditions, AppendingAtTheEndTakesTheLastCharactersAttributes)
{
    MutableAttributedString text(QStringLiteral("bold"), {{kFontAttributeName, kBoldHelvetica}});
    MAS::appendAttributedString(text, MutableAttributedString(QStringLiteral("!")), true);
    EXPECT_EQ(text.string(), QStringLiteral("bold!"));
    EXPECT_EQ(*text.attribute(kFontAttributeName, 4).font(), kBoldHelvetica);
    MAS::appendAttributedString(text, MutableAttributedString(QStringLiteral("?")), false);
    EXPECT_TRUE(text.attribute(kFontAttributeName, 5).isNull());
}

TEST(NSMutableAttributedStringHVAdditions, OwnAttributesWinEverywhereAndAttachmentsNeverCarry)
{
    QString receiverText = QStringLiteral("ab") + QChar(kAttachmentCharacter);
    MutableAttributedString receiver(receiverText);
    receiver.addAttribute(kFontAttributeName, kHelvetica, Range{0, 3});
    receiver.addAttribute(kForegroundColorAttributeName, Color::rgb(1, 0, 0), Range{0, 3});
    receiver.addAttribute(kAttachmentAttributeName, std::make_shared<TextAttachment>(), Range{2, 1});

    // The incoming text has a font on part of it only: no character takes the receiver's font.
    MutableAttributedString incoming(QStringLiteral("xyz"));
    incoming.addAttribute(kFontAttributeName, kTimes, Range{1, 1});
    ASSERT_TRUE(MAS::insertAttributedString(receiver, incoming, 3, true));
    EXPECT_TRUE(receiver.attribute(kFontAttributeName, 3).isNull());
    EXPECT_EQ(*receiver.attribute(kFontAttributeName, 4).font(), kTimes);
    EXPECT_EQ(*receiver.attribute(kForegroundColorAttributeName, 3).color(), Color::rgb(1, 0, 0));
    EXPECT_TRUE(receiver.attribute(kAttachmentAttributeName, 3).isNull());
    EXPECT_TRUE(receiver.attribute(kAttachmentAttributeName, 5).isNull());
}

TEST(NSMutableAttributedStringHVAdditions, ReplacingTakesTheAttributesAtTheRangesStart)
{
    MutableAttributedString receiver(QStringLiteral("redblue"));
    receiver.addAttribute(kForegroundColorAttributeName, Color::rgb(1, 0, 0), Range{0, 3});
    receiver.addAttribute(kForegroundColorAttributeName, Color::rgb(0, 0, 1), Range{3, 4});
    ASSERT_TRUE(MAS::replaceCharactersInRange(receiver, Range{3, 4},
                                              MutableAttributedString(QStringLiteral("BLUE")), true));
    EXPECT_EQ(receiver.string(), QStringLiteral("redBLUE"));
    EXPECT_EQ(*receiver.attribute(kForegroundColorAttributeName, 4).color(), Color::rgb(0, 0, 1));
}

TEST(NSMutableAttributedStringHVAdditions, EmptyReceiverTakesTheStringUnchanged)
{
    MutableAttributedString receiver;
    MutableAttributedString incoming(QStringLiteral("new"), {{kFontAttributeName, kTimes}});
    ASSERT_TRUE(MAS::insertAttributedString(receiver, incoming, 0, true));
    EXPECT_TRUE(receiver == incoming);
}

TEST(NSMutableAttributedStringHVAdditions, IndexesOutsideTheReceiverAreRefused)
{
    MutableAttributedString receiver(QStringLiteral("abc"));
    MutableAttributedString incoming(QStringLiteral("x"));
    EXPECT_FALSE(MAS::insertAttributedString(receiver, incoming, 4, true));
    EXPECT_FALSE(MAS::insertAttributedString(receiver, incoming, -1, false));
    EXPECT_FALSE(MAS::replaceCharactersInRange(receiver, Range{2, 2}, incoming, true));
    EXPECT_FALSE(MAS::replaceCharactersInRange(receiver, Range{1, kNotFound}, incoming, false));
    EXPECT_EQ(receiver.string(), QStringLiteral("abc"));
    EXPECT_EQ(MAS::_attributedString(receiver, incoming, 99).string(), QStringLiteral("x"));
}

} // namespace
