#include "platform/text/MutableAttributedString.h"
#include "platform/text/TextAttachment.h"

#include <gtest/gtest.h>

#include <random>

namespace {

const AttributeDictionary kBold{{kFontAttributeName, Font{"Helvetica", "Helvetica-Bold", 12, true}}};
const AttributeDictionary kRed{{kForegroundColorAttributeName, Color::rgb(1, 0, 0)}};

TEST(AttributedString, EqualNeighbouringRunsMerge)
{
    MutableAttributedString text(QStringLiteral("hello world"));
    text.setAttributes(kBold, Range{0, 5});
    text.setAttributes(kBold, Range{5, 3});
    Range range;
    EXPECT_EQ(text.attributesAtIndex(2, &range), kBold);
    EXPECT_EQ(range, (Range{0, 8}));
    EXPECT_EQ(text.runCount(), 2);
    text.setAttributes(kBold, Range{8, 3});
    EXPECT_EQ(text.runCount(), 1);
}

TEST(AttributedString, ValuesEqualByContentMergeEvenWhenBuiltSeparately)
{
    MutableAttributedString text(QStringLiteral("abcd"));
    text.addAttribute(kForegroundColorAttributeName, Color::rgb(1, 0, 0), Range{0, 2});
    text.addAttribute(kForegroundColorAttributeName, Color::rgb(1, 0, 0), Range{2, 2});
    EXPECT_EQ(text.runCount(), 1);
    // An integer 1 and a real 1.0 are the same underline style, whatever integer type gave it.
    EXPECT_EQ(AttributeValue(qsizetype(1)), AttributeValue(1.0));
    EXPECT_EQ(AttributeValue(1u).integer(), 1);
    text.addAttribute(kUnderlineStyleAttributeName, 1, Range{0, 2});
    text.addAttribute(kUnderlineStyleAttributeName, 1.0, Range{2, 2});
    EXPECT_EQ(text.runCount(), 1);
}

TEST(AttributedString, AttachmentsCompareByIdentity)
{
    auto first = std::make_shared<TextAttachment>();
    auto second = std::make_shared<TextAttachment>();
    EXPECT_EQ(AttributeValue(first), AttributeValue(first));
    EXPECT_FALSE(AttributeValue(first) == AttributeValue(second));
    QString two(2, QChar(kAttachmentCharacter));
    MutableAttributedString text(two);
    text.addAttribute(kAttachmentAttributeName, first, Range{0, 1});
    text.addAttribute(kAttachmentAttributeName, second, Range{1, 1});
    EXPECT_EQ(text.runCount(), 2);
}

TEST(AttributedString, LongestEffectiveRangeSpansRunsThatDifferElsewhere)
{
    MutableAttributedString text(QStringLiteral("0123456789"));
    text.addAttribute(kForegroundColorAttributeName, Color::gray(0), Range{0, 10});
    text.addAttribute(kUnderlineStyleAttributeName, 1, Range{3, 2});
    Range effective;
    text.attribute(kForegroundColorAttributeName, 6, &effective);
    EXPECT_EQ(effective, (Range{5, 5}));
    Range longest;
    text.attribute(kForegroundColorAttributeName, 6, &longest, Range{1, 8});
    EXPECT_EQ(longest, (Range{1, 8}));
    text.attributesAtIndex(6, &longest, Range{0, 10});
    EXPECT_EQ(longest, (Range{5, 5}));
    // An absent attribute has a longest range too.
    EXPECT_TRUE(text.attribute(kLinkAttributeName, 0, &longest, Range{0, 10}).isNull());
    EXPECT_EQ(longest, (Range{0, 10}));
}

TEST(AttributedString, OutOfRangeQueriesAnswerNothing)
{
    MutableAttributedString text(QStringLiteral("abc"), kBold);
    Range range{7, 7};
    EXPECT_TRUE(text.attributesAtIndex(3, &range).isEmpty());
    EXPECT_EQ(range, (Range{3, 0}));
    EXPECT_TRUE(text.attributesAtIndex(-5).isEmpty());
    EXPECT_EQ(text.characterAtIndex(3), 0);
    EXPECT_EQ(text.attributedSubstring(Range{2, 100}).string(), QStringLiteral("c"));
    text.deleteCharacters(Range{1, 1000});
    EXPECT_EQ(text.string(), QStringLiteral("a"));
    text.replaceCharacters(Range{50, 3}, QStringLiteral("z"));
    EXPECT_EQ(text.string(), QStringLiteral("az"));
}

TEST(AttributedString, PlainReplacementInheritsFromTheFirstReplacedOrPrecedingCharacter)
{
    MutableAttributedString text(QStringLiteral("abcd"));
    text.setAttributes(kBold, Range{0, 2});
    text.setAttributes(kRed, Range{2, 2});
    text.replaceCharacters(Range{2, 1}, QStringLiteral("XY"));
    EXPECT_EQ(text.attributesAtIndex(3), kRed);
    text.replaceCharacters(Range{2, 0}, QStringLiteral("i"));
    EXPECT_EQ(text.attributesAtIndex(2), kBold);
    text.replaceCharacters(Range{0, 0}, QStringLiteral("s"));
    EXPECT_EQ(text.attributesAtIndex(0), kBold);
    EXPECT_EQ(text.string(), QStringLiteral("sabiXYd"));
}

TEST(AttributedString, AttributedReplacementKeepsItsOwnRuns)
{
    MutableAttributedString text(QStringLiteral("hello"), kRed);
    MutableAttributedString piece(QStringLiteral("BIG"), kBold);
    text.insert(piece, 2);
    EXPECT_EQ(text.string(), QStringLiteral("heBIGllo"));
    Range range;
    EXPECT_EQ(text.attributesAtIndex(3, &range), kBold);
    EXPECT_EQ(range, (Range{2, 3}));
    text.append(MutableAttributedString(QStringLiteral("!"), kRed));
    EXPECT_EQ(text.attributesAtIndex(5, &range), kRed);
    EXPECT_EQ(range, (Range{5, 4}));
    // Replacing with a substring of itself works on a copy.
    text.replaceCharacters(Range{0, 2}, text.attributedSubstring(Range{2, 3}));
    EXPECT_EQ(text.string(), QStringLiteral("BIGBIGllo!"));
    EXPECT_EQ(text.runCount(), 2);
}

TEST(AttributedString, AppendingPlainTextWithAttributesMergesWithAnEqualEnd)
{
    MutableAttributedString text;
    text.append(QStringLiteral("ab"), kBold);
    text.append(QStringLiteral("cd"), kBold);
    text.append(QStringLiteral("ef"), kRed);
    text.replaceCharacters(Range{0, 1}, QStringLiteral("A"), kRed);
    EXPECT_EQ(text.string(), QStringLiteral("Abcdef"));
    Range range;
    EXPECT_EQ(text.attributesAtIndex(2, &range), kBold);
    EXPECT_EQ(range, (Range{1, 3}));
    EXPECT_EQ(text.runCount(), 3);
}

TEST(AttributedString, SurrogatePairsCountAsTwoUnits)
{
    QString text = QStringLiteral("a") + QString::fromUcs4(U"\U0001F600") + QStringLiteral("b");
    MutableAttributedString string(text);
    ASSERT_EQ(string.length(), 4);
    string.addAttribute(kForegroundColorAttributeName, Color::gray(0.5), Range{1, 2});
    Range range;
    string.attributesAtIndex(2, &range);
    EXPECT_EQ(range, (Range{1, 2}));
    EXPECT_EQ(string.characterAtIndex(1), 0xD83D);
    EXPECT_EQ(string.attributedSubstring(Range{1, 2}).string(), QString::fromUcs4(U"\U0001F600"));
}

TEST(AttributedString, EnumeratesRunsOfOneAttribute)
{
    MutableAttributedString text(QStringLiteral("aaabbbccc"));
    text.addAttribute(kForegroundColorAttributeName, Color::gray(0), Range{0, 6});
    text.addAttribute(kUnderlineStyleAttributeName, 1, Range{3, 3});
    std::vector<Range> ranges;
    text.enumerateAttribute(
        kForegroundColorAttributeName, Range{1, 8}, 0,
        [&](const AttributeValue&, const Range& range, bool&) { ranges.push_back(range); });
    EXPECT_EQ(ranges, (std::vector<Range>{{1, 5}, {6, 3}}));
    ranges.clear();
    text.enumerateAttribute(
        kForegroundColorAttributeName, Range{0, 9},
        AttributedString::EnumerationLongestEffectiveRangeNotRequired,
        [&](const AttributeValue&, const Range& range, bool&) { ranges.push_back(range); });
    EXPECT_EQ(ranges, (std::vector<Range>{{0, 3}, {3, 3}, {6, 3}}));
    ranges.clear();
    text.enumerateAttribute(kForegroundColorAttributeName, Range{0, 9}, AttributedString::EnumerationReverse,
                            [&](const AttributeValue&, const Range& range, bool& stop) {
                                ranges.push_back(range);
                                stop = true;
                            });
    EXPECT_EQ(ranges, (std::vector<Range>{{6, 3}}));
}

TEST(AttributedString, ParagraphRangesIncludeTheirTerminators)
{
    MutableAttributedString text(QStringLiteral("ab\r\ncd\nef"));
    EXPECT_EQ(text.paragraphRange(Range{1, 0}), (Range{0, 4}));
    EXPECT_EQ(text.paragraphRange(Range{3, 0}), (Range{0, 4}));
    EXPECT_EQ(text.paragraphRange(Range{4, 1}), (Range{4, 3}));
    EXPECT_EQ(text.paragraphRange(Range{2, 3}), (Range{0, 7}));
    EXPECT_EQ(text.paragraphRange(Range{9, 0}), (Range{7, 2}));
    MutableAttributedString ending(QStringLiteral("ab\n"));
    EXPECT_EQ(ending.paragraphRange(Range{3, 0}), (Range{3, 0}));
}

TEST(AttributedString, ParagraphsLongerThanAStorageBlockAreFoundWhole)
{
    QString text =
        QStringLiteral("head\n") + QString(20000, u'x') + QStringLiteral("\r\n") + QString(9000, u'y');
    MutableAttributedString string(text);
    // Edits in the middle split and rebuild the blocks the paragraph spans.
    for (int i = 0; i < 50; ++i)
        string.replaceCharacters(Range{5 + i * 397, 1}, QStringLiteral("zz"));
    qsizetype second = 5 + 20000 + 50 + 2;
    EXPECT_EQ(string.paragraphRange(Range{12000, 3}), (Range{5, second - 5}));
    EXPECT_EQ(string.paragraphRange(Range{second - 1, 0}), (Range{5, second - 5}));
    EXPECT_EQ(string.paragraphRange(Range{second + 10, 0}), (Range{second, 9000}));
    EXPECT_EQ(string.string().size(), string.length());
}

TEST(AttributedString, EnumeratesWholeDictionariesForwardAndBackward)
{
    MutableAttributedString text(QStringLiteral("aabbcc"));
    text.setAttributes(kBold, Range{2, 2});
    std::vector<std::pair<AttributeDictionary, Range>> forward;
    text.enumerateAttributes(Range{1, 4}, 0,
                             [&](const AttributeDictionary& attributes, const Range& range, bool&) {
                                 forward.emplace_back(attributes, range);
                             });
    ASSERT_EQ(forward.size(), 3u);
    EXPECT_EQ(forward[0].second, (Range{1, 1}));
    EXPECT_EQ(forward[1], std::make_pair(kBold, Range{2, 2}));
    EXPECT_EQ(forward[2].second, (Range{4, 1}));
    std::vector<Range> backward;
    text.enumerateAttributes(
        Range{0, 6}, AttributedString::EnumerationReverse,
        [&](const AttributeDictionary&, const Range& range, bool&) { backward.push_back(range); });
    EXPECT_EQ(backward, (std::vector<Range>{{4, 2}, {2, 2}, {0, 2}}));
}

TEST(AttributedString, FixingSpreadsEachParagraphsStyle)
{
    ParagraphStyle centred;
    centred.alignment = TextAlignment::Center;
    ParagraphStyle right;
    right.alignment = TextAlignment::Right;
    MutableAttributedString text(QStringLiteral("one\ntwo\nthree"));
    text.addAttribute(kParagraphStyleAttributeName, centred, Range{0, 2});
    text.addAttribute(kParagraphStyleAttributeName, right, Range{5, 1});
    text.fixAttributes(Range{1, 5});
    Range range;
    EXPECT_EQ(*text.attribute(kParagraphStyleAttributeName, 0, &range).paragraphStyle(), centred);
    EXPECT_EQ(range, (Range{0, 4}));
    // The second paragraph's first character has no style: the first style found in it wins.
    EXPECT_EQ(*text.attribute(kParagraphStyleAttributeName, 4, &range).paragraphStyle(), right);
    EXPECT_EQ(range, (Range{4, 4}));
    EXPECT_TRUE(text.attribute(kParagraphStyleAttributeName, 9).isNull());
}

TEST(AttributedString, FixingKeepsAttachmentsOnAttachmentCharactersOnly)
{
    auto attachment = std::make_shared<TextAttachment>();
    QString string = QStringLiteral("a") + QChar(kAttachmentCharacter) + QStringLiteral("bc");
    MutableAttributedString text(string);
    text.addAttribute(kAttachmentAttributeName, attachment, Range{0, 4});
    text.fixAttributes(Range{0, 4});
    EXPECT_TRUE(text.attribute(kAttachmentAttributeName, 0).isNull());
    EXPECT_EQ(text.attribute(kAttachmentAttributeName, 1).attachment(), attachment);
    EXPECT_TRUE(text.attribute(kAttachmentAttributeName, 2).isNull());
    EXPECT_TRUE(text.attribute(kAttachmentAttributeName, 3).isNull());
}

// Every operation checked against a plain per-character model, over long random sequences, so block
// splits, merges across block edges and run merging are all exercised.
class CharacterModel {
public:
    QString text;
    std::vector<AttributeDictionary> attributes;

    void replace(Range r, const QString& string, const std::vector<AttributeDictionary>& with)
    {
        text.replace(r.location, r.length, string);
        attributes.erase(attributes.begin() + r.location, attributes.begin() + r.end());
        attributes.insert(attributes.begin() + r.location, with.begin(), with.end());
    }
};

void expectSame(const MutableAttributedString& string, const CharacterModel& model)
{
    ASSERT_EQ(string.string(), model.text);
    qsizetype index = 0;
    while (index < string.length()) {
        Range run;
        AttributeDictionary attributes = string.attributesAtIndex(index, &run);
        ASSERT_EQ(run.location, index);
        ASSERT_GT(run.length, 0);
        for (qsizetype i = run.location; i < run.end(); ++i)
            ASSERT_EQ(model.attributes[i], attributes) << "at " << i;
        if (run.end() < string.length()) {
            ASSERT_FALSE(model.attributes[run.end()] == attributes) << "unmerged runs at " << run.end();
        }
        index = run.end();
    }
}

TEST(AttributedString, RandomEditsMatchAPerCharacterModel)
{
    std::mt19937 random(1234);
    std::vector<AttributeDictionary> palette{{},
                                             kBold,
                                             kRed,
                                             {{kUnderlineStyleAttributeName, 1}},
                                             {{kFontAttributeName, Font{"Courier", "Courier", 10}}}};
    MutableAttributedString string;
    CharacterModel model;
    auto pick = [&](int n) { return int(random() % unsigned(n)); };
    for (int step = 0; step < 6000; ++step) {
        qsizetype length = model.text.size();
        qsizetype location = pick(int(length) + 1);
        qsizetype span = pick(int(std::min<qsizetype>(length - location, 300)) + 1);
        Range r{location, span};
        int op = pick(6);
        if (op == 0 || step % 50 == 0 || length < 3000) {
            r.length = std::min<qsizetype>(r.length, 30);
            int count = step % 50 == 0 ? 1000 : pick(40);
            QString piece;
            std::vector<AttributeDictionary> with;
            MutableAttributedString insertion;
            for (int i = 0; i < count; ++i) {
                piece.append(QChar(u'a' + pick(26)));
                with.push_back(palette[step % 7 < 3 ? 1 : pick(5)]);
            }
            for (int i = 0; i < count;) {
                int j = i;
                while (j < count && with[j] == with[i])
                    ++j;
                insertion.append(MutableAttributedString(piece.mid(i, j - i), with[i]));
                i = j;
            }
            string.replaceCharacters(r, insertion);
            model.replace(r, piece, with);
        } else if (op == 1) {
            r.length = std::min<qsizetype>(r.length, 30);
            string.deleteCharacters(r);
            model.replace(r, QString(), {});
        } else if (op == 2) {
            const AttributeDictionary& attributes = palette[pick(5)];
            string.setAttributes(attributes, r);
            for (qsizetype i = r.location; i < r.end(); ++i)
                model.attributes[i] = attributes;
        } else if (op == 3) {
            string.addAttribute(kKernAttributeName, 2.0, r);
            for (qsizetype i = r.location; i < r.end(); ++i)
                model.attributes[i].insert(kKernAttributeName, 2.0);
        } else if (op == 4) {
            string.removeAttribute(kKernAttributeName, r);
            for (qsizetype i = r.location; i < r.end(); ++i)
                model.attributes[i].remove(kKernAttributeName);
        } else {
            r.length = std::min<qsizetype>(r.length, 30);
            QString piece(pick(3), QChar(u'z'));
            AttributeDictionary inherited;
            if (r.length > 0)
                inherited = model.attributes[r.location];
            else if (r.location > 0)
                inherited = model.attributes[r.location - 1];
            else if (length > 0)
                inherited = model.attributes[0];
            string.replaceCharacters(r, piece);
            model.replace(r, piece, std::vector<AttributeDictionary>(piece.size(), inherited));
        }
        if (step % 97 == 0) {
            ASSERT_NO_FATAL_FAILURE(expectSame(string, model)) << "step " << step;
        }
    }
    expectSame(string, model);
    EXPECT_GT(string.length(), 10000);
}

TEST(AttributedString, BuildingFromRunsMatchesApplyingEachRun)
{
    std::mt19937 random(99);
    const std::vector<AttributeDictionary> palette{{},
                                                   kBold,
                                                   kRed,
                                                   {{kUnderlineStyleAttributeName, 1}},
                                                   {{kFontAttributeName, Font{"Courier", "Courier", 10}}}};
    QString text;
    std::vector<AttributeRun> runs;
    CharacterModel model;
    // Enough runs for many blocks, with equal neighbours (which must merge) and empty runs.
    for (int i = 0; i < 5000; ++i) {
        const qsizetype length = qsizetype(random() % 40);
        const AttributeDictionary& attributes = palette[random() % palette.size()];
        runs.push_back(AttributeRun{length, attributes});
        for (qsizetype j = 0; j < length; ++j) {
            text.append(QChar(u'a' + char16_t(random() % 26)));
            model.attributes.push_back(attributes);
        }
    }
    model.text = text;
    MutableAttributedString built = AttributedString::withRuns(text, runs);
    expectSame(built, model);

    MutableAttributedString applied(text);
    qsizetype position = 0;
    for (const AttributeRun& run : runs) {
        applied.setAttributes(run.attributes, Range{position, run.length});
        position += run.length;
    }
    EXPECT_EQ(built, applied);
    EXPECT_EQ(built.runCount(), applied.runCount());

    // Edits after building work on the blocks it made.
    built.replaceCharacters(Range{100, 50}, QStringLiteral("edited"));
    applied.replaceCharacters(Range{100, 50}, QStringLiteral("edited"));
    EXPECT_EQ(built, applied);
}

TEST(AttributedString, BuildingFromRunsFitsThemToTheString)
{
    // Runs past the end are cut; a shortfall takes the last run's attributes; no runs, no attributes.
    const AttributedString longRuns = AttributedString::withRuns(
        QStringLiteral("abcd"), {AttributeRun{3, kBold}, AttributeRun{5, kRed}, AttributeRun{2, kBold}});
    EXPECT_EQ(longRuns, AttributedString::withRuns(QStringLiteral("abcd"), {{3, kBold}, {1, kRed}}));
    EXPECT_EQ(longRuns.runCount(), 2);

    const AttributedString shortRuns =
        AttributedString::withRuns(QStringLiteral("abcd"), {AttributeRun{1, kBold}, AttributeRun{-4, kRed}});
    EXPECT_TRUE(shortRuns.attributesAtIndex(3) == kRed);
    EXPECT_TRUE(shortRuns.attributesAtIndex(0) == kBold);
    EXPECT_EQ(shortRuns.runCount(), 2);

    const AttributedString noRuns = AttributedString::withRuns(QStringLiteral("abcd"), {});
    EXPECT_EQ(noRuns, AttributedString(QStringLiteral("abcd")));
    EXPECT_EQ(AttributedString::withRuns(QString(), {AttributeRun{3, kBold}}), AttributedString());
    EXPECT_EQ(AttributedString::withRuns(QString(), {AttributeRun{3, kBold}}).runCount(), 0);
}

TEST(AttributedString, CopiesAreIndependentAndCompareEqual)
{
    MutableAttributedString text(QStringLiteral("shared"), kBold);
    AttributedString copy = text;
    EXPECT_EQ(copy, text);
    text.addAttribute(kForegroundColorAttributeName, Color::gray(1), Range{0, 1});
    EXPECT_FALSE(copy == text);
    EXPECT_TRUE(copy.attributesAtIndex(0) == kBold);
}

} // namespace
