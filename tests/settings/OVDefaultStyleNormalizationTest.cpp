#include "platform/text/AttributeNames.h"
#include "settings/OVSharedPreferencesAccess.h"

#include <gtest/gtest.h>

namespace {

AttributeValue normalized(const QString& name, const AttributeValue& value)
{
    return OVSharedPreferencesAccess::_normalizedDefaultStyleValue(name, value);
}

double normalizedSize(double size)
{
    Font font;
    font.fontName = "Helvetica";
    font.pointSize = size;
    const AttributeValue value = normalized(kFontAttributeName, font);
    return value.font()->pointSize;
}

} // namespace

TEST(OVDefaultStyleNormalizationTest, WhiteTextAndBlackBackgroundBecomeExact)
{
    EXPECT_EQ(*normalized(kForegroundColorAttributeName, Color::gray(1)).color(), Color::rgb(1, 1, 1, 1));
    EXPECT_EQ(*normalized(kForegroundColorAttributeName, Color::rgb(1, 1, 1, 0.5)).color(),
              Color::rgb(1, 1, 1, 1));
    EXPECT_EQ(*normalized(kForegroundColorAttributeName, Color::rgb(0.999, 1, 1)).color(),
              Color::rgb(0.999, 1, 1));
    EXPECT_EQ(*normalized(NSBackgroundColorDocumentAttribute, Color::gray(0, 0.2)).color(),
              Color::rgb(0, 0, 0, 1));
    // Black text and a white background are not special.
    EXPECT_EQ(*normalized(kForegroundColorAttributeName, Color::gray(0)).color(), Color::rgb(0, 0, 0));
    EXPECT_EQ(*normalized(NSBackgroundColorDocumentAttribute, Color::gray(1, 0.5)).color(),
              Color::rgb(1, 1, 1, 0.5));
}

TEST(OVDefaultStyleNormalizationTest, FontSizesKeepTenthsOfAPoint)
{
    EXPECT_DOUBLE_EQ(normalizedSize(12.345), 12.3);
    EXPECT_DOUBLE_EQ(normalizedSize(12.3), 12.3);
    EXPECT_DOUBLE_EQ(normalizedSize(12.25), 12.3);
    EXPECT_DOUBLE_EQ(normalizedSize(48), 48);
}

TEST(OVDefaultStyleNormalizationTest, ParagraphStyleKeepsOnlyMultipleAlignmentAndDirection)
{
    ParagraphStyle style;
    style.tabStops = {TextTab{TextTabType::Right, 100}};
    style.headIndent = 20;
    style.firstLineHeadIndent = 30;
    style.paragraphSpacing = 12;
    style.lineHeightMultiple = 1.25;
    style.alignment = TextAlignment::Center;
    style.baseWritingDirection = WritingDirection::RightToLeft;

    ParagraphStyle expected;
    expected.lineHeightMultiple = 1.3;
    expected.alignment = TextAlignment::Center;
    expected.baseWritingDirection = WritingDirection::RightToLeft;
    EXPECT_EQ(*normalized(kParagraphStyleAttributeName, style).paragraphStyle(), expected);
}

TEST(OVDefaultStyleNormalizationTest, ValidStyleNeedsTheThreeAttributesAndNoAttachment)
{
    AttributeDictionary attributes = {{kFontAttributeName, Font{}},
                                      {kForegroundColorAttributeName, Color::gray(0)},
                                      {kParagraphStyleAttributeName, ParagraphStyle{}}};
    EXPECT_TRUE(OVSharedPreferencesAccess::isDefaultStyleAttributeDictionaryValid(attributes));
    attributes.insert(kAttachmentAttributeName, AttributeValue(QStringLiteral("stand-in")));
    EXPECT_FALSE(OVSharedPreferencesAccess::isDefaultStyleAttributeDictionaryValid(attributes));
    attributes.remove(kAttachmentAttributeName);
    attributes.remove(kForegroundColorAttributeName);
    EXPECT_FALSE(OVSharedPreferencesAccess::isDefaultStyleAttributeDictionaryValid(attributes));
}
