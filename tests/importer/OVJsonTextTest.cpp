#include "importer/OVJsonText.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>

TEST(OVJsonTextTest, WritesWhatTheJsonParserReadsBack)
{
    const QString awkward = QStringLiteral("quote \" backslash \\ tab \t newline \n bell \a é ✓ 😀");
    const QJsonArray values{awkward, qint64(42), QJsonArray{QStringLiteral("a"), QStringLiteral("b")},
                            QJsonArray()};
    for (const QJsonValue& value : values) {
        const QByteArray text = OVJsonText::write(value);
        EXPECT_TRUE(OVJsonText::isValue(text)) << text.constData();
        const QJsonDocument parsed = QJsonDocument::fromJson("[" + text + "]");
        ASSERT_TRUE(parsed.isArray()) << text.constData();
        EXPECT_EQ(parsed.array().first(), value);
    }
}

TEST(OVJsonTextTest, RefusesAnythingButOneWellFormedValue)
{
    for (const char* bad : {"", "\"open", "\"a\" \"b\"", "[1,]", "[1 2]", "{\"a\":1}", "\"\\x\"", "\"\\u12\"",
                            "\"raw\x01\"", "\"\xff\xfe\"", "[[[[[[1]]]]]]", "true", "-", "[", "1]"})
        EXPECT_FALSE(OVJsonText::isValue(QByteArrayView(bad))) << bad;
    EXPECT_TRUE(OVJsonText::isValue("[\"a\",[\"b\"],-3]"));
}
