#pragma once

#include <QtGlobal>

// Dates of the proleptic Gregorian calendar as days from 1970-01-01, which the XML property-list
// reader and writer turn into and out of the platform's date text.
namespace PlistCalendar {

inline constexpr qint64 kSecondsPerDay = 86400;
// Days from 0000-03-01 to 1970-01-01 in the proleptic Gregorian calendar.
inline constexpr qint64 kDaysToUnixEpoch = 719468;

inline qint64 daysFromCivil(int year, int month, int day)
{
    year -= month <= 2;
    const qint64 era = (year >= 0 ? year : year - 399) / 400;
    const qint64 yearOfEra = year - era * 400;
    const qint64 dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const qint64 dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - kDaysToUnixEpoch;
}

inline void civilFromDays(qint64 days, int* year, int* month, int* day)
{
    days += kDaysToUnixEpoch;
    const qint64 era = (days >= 0 ? days : days - 146096) / 146097;
    const qint64 dayOfEra = days - era * 146097;
    const qint64 yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const qint64 dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const qint64 monthIndex = (5 * dayOfYear + 2) / 153;
    *day = int(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    *month = int(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    *year = int(yearOfEra + era * 400 + (*month <= 2));
}

inline bool isLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

inline int daysInMonth(int year, int month)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

} // namespace PlistCalendar
