#include "platform/foundation/Uuid.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

TEST(UuidTest, PrintsUpperCaseHexInPlatformGroups)
{
    static const QRegularExpression form("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$");
    const QString first = uuidString();
    EXPECT_EQ(first.size(), 36);
    EXPECT_TRUE(form.match(first).hasMatch()) << first.toStdString();
    EXPECT_NE(first, uuidString());
}
