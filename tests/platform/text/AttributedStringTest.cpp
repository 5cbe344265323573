#include "platform/text/MutableAttributedString.h"

#include <gtest/gtest.h>

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

} // namespace
