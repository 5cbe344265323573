#include "platform/hvkit/HVVersion.h"
#include "platform/hvkit/HVConstants.h"

#include <gtest/gtest.h>

namespace {

HVVersion v(const char* text)
{
    const std::optional<HVVersion> version = HVVersion::versionWithString(QString::fromUtf8(text));
    EXPECT_TRUE(version.has_value()) << text;
    return version.value_or(HVVersion());
}

} // namespace

TEST(HVVersionTest, ComparesComponentByComponentWithMissingOnesAsZero)
{
    EXPECT_EQ(v("3.2"), v("3.2.0"));
    EXPECT_TRUE(v("3.10").isNewerThan(v("3.9")));
    EXPECT_TRUE(v("14.2.0").isNewerThanOrEqualTo(v("14.2")));
    EXPECT_FALSE(v("14.1.9").isNewerThanOrEqualTo(v("14.2")));
    EXPECT_TRUE(v("15").isNewerThan(v("14.9.9")));
}

TEST(HVVersionTest, PrereleaseSortsBeforeItsRelease)
{
    EXPECT_TRUE(v("4.0").isNewerThan(v("4.0rc2")));
    EXPECT_TRUE(v("4.0rc1").isNewerThan(v("4.0b9")));
    EXPECT_TRUE(v("4.0b2").isNewerThan(v("4.0b1")));
    EXPECT_TRUE(v("4.0b1").isNewerThan(v("4.0a5")));
    EXPECT_TRUE(v("4.0a1").isNewerThan(v("4.0d3")));
    EXPECT_TRUE(v("4.0b1").isNewerThan(v("3.9")));
    EXPECT_TRUE(v("4.0-beta.3").isPrereleaseType());
    EXPECT_EQ(v("4.0-beta.3").releaseNumber(), 3);
    EXPECT_FALSE(v("4.0").isPrereleaseType());
}

TEST(HVVersionTest, RejectsTextThatIsNotAVersion)
{
    for (const char* text : {"", " ", "abc", "1..2", "1.2.3.4.5", "1.2x", "1.2 final", "-1.0", "1.0b2c",
                             "99999999999.0", "1.4294967296", "1.0rc99999999999"})
        EXPECT_FALSE(HVVersion::versionWithString(QString::fromUtf8(text)).has_value()) << text;
    EXPECT_FALSE(HVVersion::versionWithString(QString(1000, u'1')).has_value());
}

TEST(HVVersionTest, StringFormats)
{
    EXPECT_EQ(v("3.2.0").stringValueWithFormat(HVVersion::kFormatMajorMinor), "3.2");
    EXPECT_EQ(v("3.2").stringValueWithFormat(HVVersion::kFormatFull), "3.2.0");
    EXPECT_EQ(v(" 3.2b1 ").stringValueWithFormat(HVVersion::kFormatAsWritten), "3.2b1");
    EXPECT_EQ(v("4.0-beta.3").stringValueWithFormat(HVVersion::kFormatFull), "4.0.0b3");
    EXPECT_EQ(v("1234").integerValue(), 1234);
}

TEST(HVVersionTest, AppVersionFollowsWhatStartSets)
{
    HVVersion::setAppVersionStrings("2.5b1", "950");
    EXPECT_TRUE(HVVersion::appVersion().isPrereleaseType());
    EXPECT_EQ(HVVersion::appVersion().majorVersion(), 2);
    EXPECT_EQ(HVVersion::appBuildVersion().integerValue(), 950);
    EXPECT_EQ(HVVersion::appBuildVersion().stringValueWithFormat(HVVersion::kFormatAsWritten), "950");
}

TEST(HVConstantsTest, EverySystemCheckAnswersAsTheNewestSystem)
{
    EXPECT_TRUE(HVConstants::isLionOrNewer());
    EXPECT_TRUE(HVConstants::isMavericksOrNewer());
    EXPECT_TRUE(HVConstants::isBigSurOrNewer());
    EXPECT_TRUE(HVConstants::isMontereyOrNewer());
    EXPECT_TRUE(HVConstants::isSonomaOrNewer());
    EXPECT_TRUE(HVVersion::operatingSystemVersion().isNewerThanOrEqualTo(HVVersion(15, 0)));
}
