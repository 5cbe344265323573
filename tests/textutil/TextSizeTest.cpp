// Text size scaling and paragraph-indent normalisation, without a display.
#include "textutil/NSMutableAttributedStringOVTextSize.h"
#include "textutil/NSParagraphStyleOVIndentAdditions.h"
#include "platform/foundation/FileWrapper.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/TextAttachment.h"
#include "platform/text/TextStorage.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

namespace Size = NSMutableAttributedStringOVBookmarkAdditions;

Font fontOfSize(double size)
{
    Font font;
    font.familyName = font.fontName = QStringLiteral("Helvetica");
    font.pointSize = size;
    return font;
}

double sizeAt(const AttributedString& text, qsizetype index)
{
    const AttributeValue value = text.attribute(kFontAttributeName, index);
    return value.font() ? value.font()->pointSize : -1;
}

// Counts the storage's processing phases: a refused or empty change must open no edit at all.
struct EditCounter {
    explicit EditCounter(TextStorage& storage)
    {
        storage.addObserver(TextStorage::Phase::WillProcessEditing,
                            [this](TextStorage&, const TextStorageEdit&) { ++willProcess; });
        storage.addObserver(TextStorage::Phase::DidProcessEditing,
                            [this](TextStorage&, const TextStorageEdit&) { ++didProcess; });
    }
    int willProcess = 0;
    int didProcess = 0;
};

// "ab", a picture, "cd": the picture carries a 12-point font like the letters around it.
std::shared_ptr<TextAttachment> picture()
{
    auto wrapper = FileWrapper::makeRegularFile(QByteArray("png"));
    wrapper->setPreferredFilename(QStringLiteral("pic.png"));
    return std::make_shared<TextAttachment>(wrapper);
}

void appendPictureBetweenAbAndCd(MutableAttributedString& text)
{
    const AttributeDictionary letters{{kFontAttributeName, fontOfSize(12)}};
    text.append(QStringLiteral("ab"), letters);
    AttributeDictionary withPicture = letters;
    withPicture.insert(kAttachmentAttributeName, picture());
    text.append(QString(QChar(kAttachmentCharacter)), withPicture);
    text.append(QStringLiteral("cd"), letters);
}

TEST(TextSize, FactorAndSizeGiveTheNewPointSize)
{
    MutableAttributedString text(QStringLiteral("twelve"), {{kFontAttributeName, fontOfSize(12)}});
    EXPECT_TRUE(Size::adjustTextSizeByFactor(text, 2, 0));
    EXPECT_EQ(sizeAt(text, 0), 24);
    EXPECT_TRUE(Size::adjustTextSizeByFactor(text, 1, -2));
    EXPECT_EQ(sizeAt(text, 0), 22);
    EXPECT_TRUE(Size::adjustTextSizeByFactor(text, 0.5, -1, {{0, 3}}));
    EXPECT_EQ(sizeAt(text, 0), 10);
    EXPECT_EQ(sizeAt(text, 3), 22);
}

TEST(TextSize, NoChangeOpensNoEdit)
{
    TextStorage storage(QStringLiteral("twelve"), {{kFontAttributeName, fontOfSize(12)}});
    EditCounter counter(storage);
    EXPECT_FALSE(Size::adjustTextSizeByFactor(storage, 1, 0));
    EXPECT_FALSE(Size::adjustTextSizeByFactor(storage, 1.00005, 0)) << "below the threshold";
    EXPECT_FALSE(Size::adjustTextSizeByFactor(storage, 2, 0, {})) << "no ranges";
    EXPECT_EQ(counter.willProcess, 0);
    EXPECT_EQ(counter.didProcess, 0);
    EXPECT_EQ(sizeAt(storage, 0), 12);

    EXPECT_TRUE(Size::adjustTextSizeByFactor(storage, 1.0002, 0));
    EXPECT_EQ(counter.willProcess, 1);
    EXPECT_EQ(counter.didProcess, 1);
}

TEST(TextSize, ScalingIsRefusedAsAWholeBelowOnePointOrForABadFactor)
{
    TextStorage storage(QStringLiteral("small large"), {{kFontAttributeName, fontOfSize(30)}});
    storage.addAttribute(kFontAttributeName, fontOfSize(2), {0, 5});
    EditCounter counter(storage);
    EXPECT_FALSE(Size::adjustTextSizeByFactor(storage, 1, -2)) << "the small run would reach 0";
    EXPECT_FALSE(Size::adjustTextSizeByFactor(storage, 0, 12));
    EXPECT_FALSE(Size::adjustTextSizeByFactor(storage, -1, 0));
    EXPECT_FALSE(Size::adjustTextSizeByFactor(storage, std::numeric_limits<double>::quiet_NaN(), 0));
    EXPECT_FALSE(Size::adjustTextSizeByFactor(storage, std::numeric_limits<double>::infinity(), 0));
    EXPECT_FALSE(Size::adjustTextSizeByFactor(storage, 1, std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(Size::adjustTextSizeByFactor(storage, 1e308, 0)) << "a size past every finite one";
    EXPECT_EQ(counter.willProcess, 0);
    EXPECT_EQ(sizeAt(storage, 0), 2);
    EXPECT_EQ(sizeAt(storage, 6), 30);
    // Exactly one point is still allowed.
    EXPECT_TRUE(Size::adjustTextSizeByFactor(storage, 1, -1));
    EXPECT_EQ(sizeAt(storage, 0), 1);
}

TEST(TextSize, ThePictureKeepsItsAttributes)
{
    MutableAttributedString text;
    appendPictureBetweenAbAndCd(text);
    const AttributeDictionary before = text.attributesAtIndex(2);
    EXPECT_TRUE(Size::adjustTextSizeByFactor(text, 2, 0));
    for (qsizetype index : {0, 1, 3, 4})
        EXPECT_EQ(sizeAt(text, index), 24) << index;
    EXPECT_EQ(text.attributesAtIndex(2), before);
    EXPECT_EQ(text.characterAtIndex(2), kAttachmentCharacter);
}

TEST(TextSize, SmallestSizeLeavesOutAttachmentsAndTextWithoutFonts)
{
    MutableAttributedString text(QStringLiteral("nine fourteen"), {{kFontAttributeName, fontOfSize(14)}});
    text.addAttribute(kFontAttributeName, fontOfSize(9), {0, 4});
    EXPECT_EQ(Size::smallestAvailableFontSize(text), 9);
    EXPECT_EQ(Size::smallestAvailableFontSizeInRanges(text, {{5, 8}}), 14);
    EXPECT_EQ(Size::smallestAvailableFontSizeInRanges(text, {{kNotFound, 0}}),
              std::numeric_limits<double>::max());

    EXPECT_EQ(Size::smallestAvailableFontSize(MutableAttributedString()), std::numeric_limits<double>::max());
    EXPECT_EQ(Size::smallestAvailableFontSize(MutableAttributedString(QStringLiteral("bare"))),
              std::numeric_limits<double>::max());

    MutableAttributedString pictures;
    AttributeDictionary tiny{{kFontAttributeName, fontOfSize(0.5)}, {kAttachmentAttributeName, picture()}};
    pictures.append(QString(2, QChar(kAttachmentCharacter)), tiny);
    EXPECT_EQ(Size::smallestAvailableFontSize(pictures), std::numeric_limits<double>::max());
    EXPECT_FALSE(Size::adjustTextSizeByFactor(pictures, 2, 0)) << "nothing to scale";
}

TEST(TextSize, AttachmentsAreCutOutOfRanges)
{
    MutableAttributedString text;
    appendPictureBetweenAbAndCd(text);
    const std::vector<Range> expected{{0, 2}, {3, 2}};
    EXPECT_EQ(Size::_rangeValueArrayIgnoringAttachments(text, {{0, 5}}), expected);
    EXPECT_TRUE(Size::_rangeValueArrayIgnoringAttachments(text, {}).empty());
    EXPECT_TRUE(Size::_rangeValueArrayIgnoringAttachments(text, {{2, 1}}).empty());
}

ParagraphStyle styleAt(const AttributedString& text, qsizetype index)
{
    const AttributeValue value = text.attribute(kParagraphStyleAttributeName, index);
    return value.paragraphStyle() ? *value.paragraphStyle() : ParagraphStyle{};
}

ParagraphStyle indented(double firstLine, double head)
{
    ParagraphStyle style;
    style.firstLineHeadIndent = firstLine;
    style.headIndent = head;
    return style;
}

TEST(ParagraphIndents, EachParagraphIsJudgedByItsFirstStyle)
{
    // Paragraph one starts with default indents and goes on with an indented run; paragraph two
    // starts indented.
    MutableAttributedString text(QStringLiteral("first para\nsecond para\n"),
                                 {{kParagraphStyleAttributeName, ParagraphStyle{}}});
    text.addAttribute(kParagraphStyleAttributeName, indented(0, 36), {6, 5});
    text.addAttribute(kParagraphStyleAttributeName, indented(36, 18), {11, 12});
    Size::normalizeParagraphIndents(text);
    EXPECT_EQ(styleAt(text, 7).headIndent, 36);
    const ParagraphStyle second = styleAt(text, 11);
    EXPECT_TRUE(NSParagraphStyleOVIndentAdditions::usesDefaultIndents(second));
    EXPECT_EQ(styleAt(text, 22), second);
}

TEST(ParagraphIndents, HalfAParagraphChangesOnlyThatHalf)
{
    MutableAttributedString text(QStringLiteral("one paragraph\n"),
                                 {{kParagraphStyleAttributeName, indented(36, 18)}});
    Size::normalizeParagraphIndentsInRange(text, {4, 10});
    EXPECT_EQ(styleAt(text, 0), indented(36, 18));
    EXPECT_TRUE(NSParagraphStyleOVIndentAdditions::usesDefaultIndents(styleAt(text, 4)));

    const MutableAttributedString before = text;
    Size::normalizeParagraphIndentsInRange(text, {10, 10});
    Size::normalizeParagraphIndentsInRange(text, {-1, 2});
    EXPECT_EQ(text, before) << "a range outside the text does nothing";
}

TEST(ParagraphIndents, DefaultIndentsAreThePlatformDefaults)
{
    EXPECT_EQ(NSParagraphStyleOVIndentAdditions::defaultFirstLineHeadIndent(), 0);
    EXPECT_EQ(NSParagraphStyleOVIndentAdditions::defaultHeadIndent(), 0);
    EXPECT_EQ(NSParagraphStyleOVIndentAdditions::defaultTailIndent(), 0);
    ParagraphStyle style = indented(10, 20);
    style.tailIndent = -5;
    EXPECT_FALSE(NSParagraphStyleOVIndentAdditions::usesDefaultIndents(style));
    NSMutableParagraphStyleOVIndentAdditions::normalizeIndents(style);
    EXPECT_TRUE(NSParagraphStyleOVIndentAdditions::usesDefaultIndents(style));
}

} // namespace
