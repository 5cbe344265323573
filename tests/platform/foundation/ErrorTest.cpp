#include "platform/foundation/Error.h"
#include "platform/foundation/PlistValue.h"

#include <gtest/gtest.h>

TEST(ErrorTest, CocoaErrorCarriesFileAndReason)
{
    const QUrl url = QUrl::fromLocalFile("/tmp/Script.ovdocument");
    const Error error = Error::cocoa(kFileReadCorruptFileError, url, "bad plist");
    EXPECT_EQ(error.domain(), "NSCocoaErrorDomain");
    EXPECT_EQ(error.code(), 259);
    EXPECT_EQ(error.fileURL(), url);
    EXPECT_EQ(error.localizedFailureReason(), "bad plist");
    EXPECT_TRUE(error.localizedDescription().contains("Script.ovdocument"));
    EXPECT_FALSE(error.isUserCancelled());
    EXPECT_TRUE(Error::userCancelled().isUserCancelled());
}

TEST(PlistValueTest, DictionaryKeepsOrderButComparesByContent)
{
    PlistDictionary a;
    a.insert("b", 1);
    a.insert("a", "x");
    a.insert("b", 2);
    ASSERT_EQ(a.size(), 2);
    EXPECT_EQ(a.entries()[0].first, "b");
    EXPECT_EQ(a.value("b").integer(), 2);

    PlistDictionary b;
    b.insert("a", "x");
    b.insert("b", 2);
    EXPECT_EQ(PlistValue(a), PlistValue(b));
    EXPECT_TRUE(a.remove("a"));
    EXPECT_FALSE(a.contains("a"));
}

TEST(PlistValueTest, TypedAccessOfWrongTypeAnswersEmpty)
{
    const PlistValue s("text");
    EXPECT_EQ(s.integer(), 0);
    EXPECT_TRUE(s.array().empty());
    EXPECT_TRUE(s.dictionary().isEmpty());
    EXPECT_NE(PlistValue(1), PlistValue(1.0));
    EXPECT_EQ(PlistValue::unsignedInteger(~0ull).unsignedValue(), ~0ull);
    EXPECT_TRUE(PlistValue::unsignedInteger(~0ull).isUnsignedInteger());
    EXPECT_FALSE(PlistValue::unsignedInteger(5).isUnsignedInteger());
}
