#include "platform/hvkit/HVInterpretedString.h"

#include <gtest/gtest.h>

TEST(HVInterpretedStringTest, ReadsLooseBooleans)
{
    EXPECT_EQ(HVInterpretedString::boolValue(QString("YES")), true);
    EXPECT_EQ(HVInterpretedString::boolValue(QString(" true ")), true);
    EXPECT_EQ(HVInterpretedString::boolValue(QString("0")), false);
    EXPECT_EQ(HVInterpretedString::boolValue(QString("No")), false);
    EXPECT_EQ(HVInterpretedString::boolValue(2), true);
    EXPECT_EQ(HVInterpretedString::boolValue(false), false);
    EXPECT_FALSE(HVInterpretedString::boolValue(QString("maybe")).has_value());
    EXPECT_FALSE(HVInterpretedString::boolValue(QVariant()).has_value());
}
