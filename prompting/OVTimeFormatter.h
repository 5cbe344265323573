#pragma once

#include "platform/foundation/PlistValue.h"
#include "platform/hvkit/HVInitialDefaultsProvider.h"

#include <QLocale>
#include <QString>

#include <optional>
#include <vector>

// Formats run times and the time of day in the user's locale without a date formatter per call:
// the locale's short and medium time patterns are reduced once to compact format arrays, and
// hours, minutes and seconds are written through them.
class OVTimeFormatter : public HVInitialDefaultsProvider {
public:
    // The symbol types of a format element.
    enum SymbolType : int {
        kSymbolOther = -1,
        kSymbolHour12 = 0, // h, 1-12
        kSymbolHour23 = 1, // H, 0-23
        kSymbolHour11 = 2, // K, 0-11
        kSymbolHour24 = 3, // k, 1-24
        kSymbolMinute = 4,
        kSymbolSecond = 5,
        kSymbolAmPm = 6,
    };

    // One element of a format array: literal text, or a field with its type and the number of
    // digits it pads to (1 for no padding). Literal text is only ever copied, never used as a format.
    struct FormatElement {
        bool isLiteral = true;
        QString literal;
        int type = kSymbolOther;
        int width = 1;

        static FormatElement text(QString literal) { return {true, std::move(literal), kSymbolOther, 1}; }
        static FormatElement field(int type, int width) { return {false, {}, type, width}; }
        bool operator==(const FormatElement&) const = default;
    };
    using FormatArray = std::vector<FormatElement>;

    struct FormatRange {
        qsizetype location = 0;
        qsizetype length = 0;
        bool operator==(const FormatRange&) const = default;
    };
    using FormatRanges = std::vector<FormatRange>;

    // What the formatter takes from the locale, in Unicode date-pattern letters.
    struct LocalePatterns {
        enum class MinusPosition { Unknown, BeforeNumber, AfterNumber };

        QString shortTimeFormat;  // e.g. "h:mm a"
        QString mediumTimeFormat; // e.g. "h:mm:ss a"
        QString amSymbol;
        QString pmSymbol;
        QString minusSign;
        MinusPosition minusPosition = MinusPosition::Unknown;
        bool uses24HourClock = false;

        static LocalePatterns fromLocale(const QLocale& locale);
    };

    // The options bit of timeFormatArrayForDateFormat() that reads h and K as run-time hours.
    static constexpr unsigned kRunTimeHoursOption = 1;

    static OVTimeFormatter& sharedTimeFormatter();
    static PlistDictionary initialDefaultsDictionary();

    // The locale the format arrays come from: the system's unless one was set. Setting one
    // rebuilds the arrays; the program never does, tests do so their results hold on any machine.
    static void setLocalePatterns(std::optional<LocalePatterns> patterns);
    const LocalePatterns& localePatterns();

    // The three arrays every run-time and clock string is written through.
    const FormatArray& runTimeWithHoursFormatArray();
    const FormatArray& runTimeWithoutHoursFormatArray();
    const FormatArray& clockFormatArray();

    // Splits seconds into parts; division truncates toward zero, so negative totals give
    // negative parts. Null outputs are skipped.
    static void convertTotalSeconds(qint64 totalSeconds, qint64* days, qint64* hours, qint64* minutes,
                                    qint64* seconds);

    bool uses24HourClock();
    void setUses24HourClock(bool uses24HourClock);
    void defaultsDidReset() override;

    static bool isAMForHours(qint64 hours) { return hours < 12; }

    static FormatArray timeFormatArrayForDateFormat(const QString& dateFormat, const QString& useIdentifiers,
                                                    const QString& ignoreIdentifiers, unsigned options);

    // Each writes into string and answers it.
    QString& timeFormattedFor(QString& string, const FormatArray& formatArray, qint64 seconds);
    QString& timeFormattedFor(QString& string, const FormatArray& formatArray, qint64 hours, qint64 minutes,
                              qint64 seconds);
    QString& currentTimeFormattedFor(QString& string, const FormatArray& formatArray);

    static std::optional<FormatRanges> locationsOfIdentifier(QChar identifier, const QString& dateFormat,
                                                             bool includeNearbySeparators = true);
    static QString stripLocationsOfIdentifier(QChar identifier, const QString& dateFormat);
    static QString stripLocations(const std::optional<FormatRanges>& locations, const QString& dateFormat);
    static QString replaceStringsInLocations(const std::optional<FormatRanges>& locations,
                                             const QString& replacement, const QString& dateFormat);

    // The hour as a field of the given type shows it; -1 for a type that is not an hour.
    static qint64 _adjustHours(qint64 hours, int formatterSymbolType);
    static bool _formatterSymbolTypeHasValue(int formatterSymbolType)
    {
        return formatterSymbolType >= 0 && formatterSymbolType < 6;
    }

    // The letters of every date-pattern field.
    static const QString& identifierSet();

private:
    OVTimeFormatter() = default;
    void buildFormatArraysIfNeeded();

    enum class CachedBool { Unknown, No, Yes };
    CachedBool m_uses24HourClock = CachedBool::Unknown;
    std::optional<LocalePatterns> m_patterns;
    bool m_haveFormatArrays = false;
    FormatArray m_withHours;
    FormatArray m_withoutHours;
    FormatArray m_clock;
};
