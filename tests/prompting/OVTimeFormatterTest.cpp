#include "prompting/OVTimeFormatter.h"
#include "platform/foundation/Clock.h"
#include "prompting/NSDateFormatterOVAdditions.h"
#include "prompting/OVTimeInfo.h"

#include <QDateTime>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

using Patterns = OVTimeFormatter::LocalePatterns;

Patterns englishPatterns()
{
    Patterns p;
    p.shortTimeFormat = "h:mm a";
    p.mediumTimeFormat = "h:mm:ss a";
    p.amSymbol = "AM";
    p.pmSymbol = "PM";
    p.minusSign = "-";
    p.minusPosition = Patterns::MinusPosition::BeforeNumber;
    return p;
}

// Every test starts from a known locale and a 12-hour clock, and leaves the system's locale back.
class OVTimeFormatterTest : public ::testing::Test {
protected:
    void SetUp() override { use(englishPatterns()); }
    void TearDown() override
    {
        OVTimeFormatter::setLocalePatterns(std::nullopt);
        Clock::setShared(nullptr);
    }

    void use(const Patterns& patterns, bool twentyFour = false)
    {
        OVTimeFormatter::setLocalePatterns(patterns);
        formatter().setUses24HourClock(twentyFour);
    }
    static OVTimeFormatter& formatter() { return OVTimeFormatter::sharedTimeFormatter(); }

    QString elapsed(qint64 seconds)
    {
        OVTimeInfo info;
        info.setElapsedSeconds(seconds);
        return info.elapsedTimeString();
    }
    QString clockAt(int hours, int minutes)
    {
        QString s;
        return formatter().timeFormattedFor(s, formatter().clockFormatArray(), hours, minutes, 0);
    }
};

} // namespace

TEST_F(OVTimeFormatterTest, RunTimesUseHoursOnlyWhenThereAreAny)
{
    EXPECT_EQ(elapsed(3725), "1:02:05");
    EXPECT_EQ(elapsed(59), "00:59");
    EXPECT_EQ(elapsed(0), "00:00");
    EXPECT_EQ(elapsed(100000), "23:59:59");
    EXPECT_EQ(elapsed(-100000), "-23:59:59");
}

TEST_F(OVTimeFormatterTest, NegativeRemainingTimeCarriesTheLocaleMinusSign)
{
    OVTimeInfo info;
    info.setRemainingSeconds(-90);
    EXPECT_EQ(info.remainingTimeString(), "-01:30");

    Patterns after = englishPatterns();
    after.minusSign = QString(QChar(0x2212));
    after.minusPosition = Patterns::MinusPosition::AfterNumber;
    use(after);
    EXPECT_EQ(info.remainingTimeString(), "01:30" + QString(QChar(0x2212)));
}

TEST_F(OVTimeFormatterTest, OverrunKeepsASignWhereTheLocaleGivesNoPosition)
{
    Patterns unknown = englishPatterns();
    unknown.minusSign.clear();
    unknown.minusPosition = Patterns::MinusPosition::Unknown;
    use(unknown);
    OVTimeInfo info;
    info.setRemainingSeconds(-5);
    EXPECT_EQ(info.remainingTimeString(), "-00:05");
}

TEST_F(OVTimeFormatterTest, ClockFollowsTheTwelveOrTwentyFourHourSetting)
{
    EXPECT_EQ(clockAt(0, 0), "12:00 AM");
    EXPECT_EQ(clockAt(13, 5), "1:05 PM");
    EXPECT_EQ(clockAt(12, 30), "12:30 PM");
    formatter().setUses24HourClock(true);
    EXPECT_TRUE(formatter().uses24HourClock());
    EXPECT_EQ(clockAt(13, 5), "13:05");
    EXPECT_EQ(clockAt(0, 7), "0:07");
    formatter().setUses24HourClock(false);
    EXPECT_FALSE(formatter().uses24HourClock());
}

TEST_F(OVTimeFormatterTest, ClockOfTheCurrentTimeComesFromTheSharedClock)
{
    const QDateTime localNoonish(QDate(2026, 3, 4), QTime(15, 42, 10), Qt::LocalTime);
    ManualClock clock(double(localNoonish.toSecsSinceEpoch()) - kReferenceDateUnixOffset);
    Clock::setShared(&clock);
    OVTimeInfo info;
    EXPECT_EQ(info.clockTimeString(), "3:42 PM");
    EXPECT_EQ(info.clockTimeStringForSeconds(9 * 3600 + 60), "9:01 AM");
}

TEST_F(OVTimeFormatterTest, TwentyFourHourLocalePatterns)
{
    Patterns german;
    german.shortTimeFormat = "HH:mm";
    german.mediumTimeFormat = "HH:mm:ss";
    german.minusSign = "-";
    german.minusPosition = Patterns::MinusPosition::BeforeNumber;
    use(german);
    EXPECT_EQ(clockAt(9, 5), "09:05");
    EXPECT_EQ(elapsed(3725), "01:02:05");
    EXPECT_EQ(elapsed(65), "01:05");
}

TEST_F(OVTimeFormatterTest, HourFieldsMapAsTheirLettersSay)
{
    EXPECT_EQ(OVTimeFormatter::_adjustHours(0, OVTimeFormatter::kSymbolHour11), 0);
    EXPECT_EQ(OVTimeFormatter::_adjustHours(0, OVTimeFormatter::kSymbolHour24), 24);
    EXPECT_EQ(OVTimeFormatter::_adjustHours(13, OVTimeFormatter::kSymbolHour11), 1);
    EXPECT_EQ(OVTimeFormatter::_adjustHours(13, OVTimeFormatter::kSymbolHour24), 13);
    EXPECT_EQ(OVTimeFormatter::_adjustHours(0, OVTimeFormatter::kSymbolHour12), 12);
    EXPECT_EQ(OVTimeFormatter::_adjustHours(12, OVTimeFormatter::kSymbolHour12), 12);
    EXPECT_EQ(OVTimeFormatter::_adjustHours(23, OVTimeFormatter::kSymbolHour12), 11);
    EXPECT_EQ(OVTimeFormatter::_adjustHours(5, OVTimeFormatter::kSymbolMinute), -1);
}

TEST_F(OVTimeFormatterTest, SplitsNegativeTotalsIntoNegativeParts)
{
    qint64 days = 9, hours = 9, minutes = 9, seconds = 9;
    OVTimeFormatter::convertTotalSeconds(-3725, &days, &hours, &minutes, &seconds);
    EXPECT_EQ(days, 0);
    EXPECT_EQ(hours, -1);
    EXPECT_EQ(minutes, -2);
    EXPECT_EQ(seconds, -5);
    OVTimeFormatter::convertTotalSeconds(90061, &days, nullptr, nullptr, &seconds);
    EXPECT_EQ(days, 1);
    EXPECT_EQ(seconds, 1);
}

TEST_F(OVTimeFormatterTest, FormatArraysKeepLiteralsAndPadWidths)
{
    using E = OVTimeFormatter::FormatElement;
    const auto array =
        OVTimeFormatter::timeFormatArrayForDateFormat("h:mm:ss a", "hHKkms", "GyYuQqMLwWdDFgEecaSAzZv", 1);
    const OVTimeFormatter::FormatArray expected = {E::field(1, 1), E::text(":"), E::field(4, 2), E::text(":"),
                                                   E::field(5, 2)};
    EXPECT_EQ(array, expected);

    const auto clock = OVTimeFormatter::timeFormatArrayForDateFormat("'at' h.mm a", "ahHKkm", "s", 0);
    const OVTimeFormatter::FormatArray expectedClock = {E::text("at "), E::field(0, 1), E::text("."),
                                                        E::field(4, 2), E::text(" "),   E::field(6, 1)};
    EXPECT_EQ(clock, expectedClock);

    const auto none = OVTimeFormatter::timeFormatArrayForDateFormat("xyz", "ms", "", 0);
    ASSERT_EQ(none.size(), 1u);
    EXPECT_EQ(none[0], E::text("xyz"));
}

TEST_F(OVTimeFormatterTest, QuotedLettersStayLiteralText)
{
    Patterns canadianFrench = englishPatterns();
    canadianFrench.shortTimeFormat = "HH 'h' mm";
    canadianFrench.mediumTimeFormat = "HH 'h' mm 'min' ss 's'";
    use(canadianFrench);
    EXPECT_EQ(clockAt(9, 5), "09 h 05");
    EXPECT_EQ(elapsed(3725), "01 h 02 min 05 s");
}

TEST_F(OVTimeFormatterTest, PercentSignsInLocaleTextAreCopiedNotInterpreted)
{
    Patterns odd = englishPatterns();
    odd.mediumTimeFormat = "'%s%n' mm:ss";
    use(odd);
    EXPECT_EQ(elapsed(61), "%s%n 01:01");
}

TEST_F(OVTimeFormatterTest, LocatesFieldsOutsideQuotesWithTheirSeparators)
{
    using R = OVTimeFormatter::FormatRange;
    const auto ranges = OVTimeFormatter::locationsOfIdentifier(u'h', "h:mm 'hh' h", true);
    ASSERT_TRUE(ranges);
    EXPECT_EQ(*ranges, (OVTimeFormatter::FormatRanges{R{0, 2}, R{9, 2}}));
    EXPECT_FALSE(OVTimeFormatter::locationsOfIdentifier(u's', "h:mm", true));
    EXPECT_EQ(OVTimeFormatter::stripLocationsOfIdentifier(u'a', "a h:mm"), "h:mm");
    EXPECT_EQ(OVTimeFormatter::stripLocationsOfIdentifier(u's', "HH.mm.ss"), "HH.mm");
    EXPECT_EQ(OVTimeFormatter::replaceStringsInLocations(OVTimeFormatter::FormatRanges{R{0, 1}, R{2, 2}}, "X",
                                                         "h:mm"),
              "X:X");
    EXPECT_EQ(OVTimeFormatter::replaceStringsInLocations(std::nullopt, "X", "h:mm"), "h:mm");
}

TEST_F(OVTimeFormatterTest, StandardizingRemovesQuoting)
{
    EXPECT_EQ(standardizeDateFormat("h 'o''clock'"), "h o'clock");
    EXPECT_EQ(standardizeDateFormat("''"), "'");
    EXPECT_EQ(standardizeDateFormat("HH:mm"), "HH:mm");
}

TEST_F(OVTimeFormatterTest, QtFormatsBecomeDatePatternLetters)
{
    EXPECT_EQ(unicodeDateFormatFromQtFormat("h:mm AP"), "h:mm a");
    EXPECT_EQ(unicodeDateFormatFromQtFormat("h:mm:ss AP t"), "h:mm:ss a z");
    EXPECT_EQ(unicodeDateFormatFromQtFormat("hh:mm:ss"), "HH:mm:ss");
    EXPECT_EQ(unicodeDateFormatFromQtFormat("HH 'h' mm.zzz"), "HH 'h' mm.SSS");
    const Patterns us = Patterns::fromLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(us.shortTimeFormat, "h:mm a");
    EXPECT_FALSE(us.uses24HourClock);
    EXPECT_EQ(us.minusPosition, Patterns::MinusPosition::BeforeNumber);
    EXPECT_TRUE(Patterns::fromLocale(QLocale(QLocale::German, QLocale::Germany)).uses24HourClock);
}

TEST_F(OVTimeFormatterTest, ResetOfAllSettingsRereadsTheClockSetting)
{
    formatter().setUses24HourClock(true);
    EXPECT_TRUE(formatter().uses24HourClock());
    formatter().defaultsDidReset();
    EXPECT_TRUE(formatter().uses24HourClock());
    EXPECT_TRUE(OVTimeFormatter::initialDefaultsDictionary().contains("use24HourClock"));
}

TEST(OVTimeInfoTest, ResettingAZeroCounterTellsNoObserver)
{
    OVTimeInfo info;
    QSignalSpy spy(&info, &OVTimeInfo::elapsedSecondsChanged);
    info.resetElapsedTime();
    EXPECT_EQ(spy.count(), 0);
    info.setElapsedSeconds(5);
    info.resetElapsedTime();
    EXPECT_EQ(spy.count(), 2);
    EXPECT_EQ(info.elapsedSeconds(), 0);
}

TEST(OVTimeInfoTest, DescriptionNamesBothCounters)
{
    OVTimeInfo info;
    info.setElapsedSeconds(59);
    info.setRemainingSeconds(-3);
    const QString text = info.description();
    EXPECT_TRUE(text.startsWith("<OVTimeInfo: 0x"));
    EXPECT_TRUE(text.contains("\n\tElapsed Time:  "));
    EXPECT_TRUE(text.contains("    (59)\n\tRemaining Time:  "));
    EXPECT_TRUE(text.endsWith("    (-3)"));
}
