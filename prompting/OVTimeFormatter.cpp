#include "prompting/OVTimeFormatter.h"

#include "platform/foundation/Clock.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVSettingsController.h"
#include "prompting/NSDateFormatterOVAdditions.h"

#include <QDateTime>
#include <QDebug>

#include <algorithm>

namespace {

const HVInitialDefaultsProviderRegistration<OVTimeFormatter> kRegistration("OVTimeFormatter");

const QString kUse24HourClockKey = QStringLiteral("use24HourClock");

constexpr qint64 kSecondsPerDay = 86400;
constexpr qint64 kLargestRunTime = kSecondsPerDay - 1;

std::optional<OVTimeFormatter::LocalePatterns>& injectedPatterns()
{
    static std::optional<OVTimeFormatter::LocalePatterns> patterns;
    return patterns;
}

bool isSeparator(QChar c)
{
    return c == u':' || c == u'.' || c == u'-';
}

// The identifiers outside the use set, in the order of the identifier set.
QString identifiersWithout(const QString& use)
{
    QString ignore;
    for (QChar c : OVTimeFormatter::identifierSet()) {
        if (!use.contains(c))
            ignore += c;
    }
    return ignore;
}

int symbolTypeForLetter(QChar letter, unsigned options)
{
    const bool runTimeHours = options & OVTimeFormatter::kRunTimeHoursOption;
    switch (letter.unicode()) {
    case u'h':
        return runTimeHours ? OVTimeFormatter::kSymbolHour23 : OVTimeFormatter::kSymbolHour12;
    case u'H':
        return OVTimeFormatter::kSymbolHour23;
    case u'K':
        return runTimeHours ? OVTimeFormatter::kSymbolHour24 : OVTimeFormatter::kSymbolHour11;
    case u'k':
        return OVTimeFormatter::kSymbolHour24;
    case u'm':
        return OVTimeFormatter::kSymbolMinute;
    case u's':
        return OVTimeFormatter::kSymbolSecond;
    case u'a':
        return OVTimeFormatter::kSymbolAmPm;
    default:
        return OVTimeFormatter::kSymbolOther;
    }
}

QString trimString(const QString& string)
{
    return string.trimmed();
}

} // namespace

OVTimeFormatter::LocalePatterns OVTimeFormatter::LocalePatterns::fromLocale(const QLocale& locale)
{
    LocalePatterns patterns;
    patterns.shortTimeFormat = unicodeDateFormatFromQtFormat(locale.timeFormat(QLocale::ShortFormat));
    // Qt has no medium style; its long one adds the time zone, which the ignore set strips.
    patterns.mediumTimeFormat = unicodeDateFormatFromQtFormat(locale.timeFormat(QLocale::LongFormat));
    patterns.amSymbol = locale.amText();
    patterns.pmSymbol = locale.pmText();
    patterns.minusSign = locale.negativeSign();
    if (!patterns.minusSign.isEmpty()) {
        const QString minusOne = locale.toString(-1);
        if (minusOne.startsWith(patterns.minusSign))
            patterns.minusPosition = MinusPosition::BeforeNumber;
        else if (minusOne.endsWith(patterns.minusSign))
            patterns.minusPosition = MinusPosition::AfterNumber;
    }
    patterns.uses24HourClock = !patterns.shortTimeFormat.contains(u'a');
    return patterns;
}

OVTimeFormatter& OVTimeFormatter::sharedTimeFormatter()
{
    static OVTimeFormatter formatter;
    static const bool registered = [] {
        HVSettingsController::shared().registerDefaultsProviderForResetAll(&formatter);
        return true;
    }();
    Q_UNUSED(registered);
    return formatter;
}

PlistDictionary OVTimeFormatter::initialDefaultsDictionary()
{
    PlistDictionary defaults;
    defaults.insert(kUse24HourClockKey, LocalePatterns::fromLocale(QLocale::system()).uses24HourClock);
    return defaults;
}

void OVTimeFormatter::setLocalePatterns(std::optional<LocalePatterns> patterns)
{
    injectedPatterns() = std::move(patterns);
    OVTimeFormatter& formatter = sharedTimeFormatter();
    formatter.m_patterns.reset();
    formatter.m_haveFormatArrays = false;
}

const OVTimeFormatter::LocalePatterns& OVTimeFormatter::localePatterns()
{
    if (!m_patterns)
        m_patterns = injectedPatterns() ? *injectedPatterns() : LocalePatterns::fromLocale(QLocale::system());
    return *m_patterns;
}

const QString& OVTimeFormatter::identifierSet()
{
    static const QString identifiers = QStringLiteral("GyYuQqMLwWdDFgEecahHKkmsSAzZv");
    return identifiers;
}

void OVTimeFormatter::buildFormatArraysIfNeeded()
{
    if (m_haveFormatArrays)
        return;
    const LocalePatterns& patterns = localePatterns();
    const QString withHours = QStringLiteral("hHKkms");
    const QString withoutHours = QStringLiteral("ms");
    const QString clock = QStringLiteral("ahHKkm");
    m_withHours = timeFormatArrayForDateFormat(patterns.mediumTimeFormat, withHours,
                                               identifiersWithout(withHours), kRunTimeHoursOption);
    m_withoutHours = timeFormatArrayForDateFormat(patterns.mediumTimeFormat, withoutHours,
                                                  identifiersWithout(withoutHours), 0);
    m_clock = timeFormatArrayForDateFormat(patterns.shortTimeFormat, clock, identifiersWithout(clock), 0);
    m_haveFormatArrays = true;
}

const OVTimeFormatter::FormatArray& OVTimeFormatter::runTimeWithHoursFormatArray()
{
    buildFormatArraysIfNeeded();
    return m_withHours;
}

const OVTimeFormatter::FormatArray& OVTimeFormatter::runTimeWithoutHoursFormatArray()
{
    buildFormatArraysIfNeeded();
    return m_withoutHours;
}

const OVTimeFormatter::FormatArray& OVTimeFormatter::clockFormatArray()
{
    buildFormatArraysIfNeeded();
    return m_clock;
}

void OVTimeFormatter::convertTotalSeconds(qint64 totalSeconds, qint64* days, qint64* hours, qint64* minutes,
                                          qint64* seconds)
{
    const qint64 rest = totalSeconds % kSecondsPerDay;
    if (days)
        *days = totalSeconds / kSecondsPerDay;
    if (hours)
        *hours = rest / 3600;
    if (minutes)
        *minutes = (rest % 3600) / 60;
    if (seconds)
        *seconds = (rest % 3600) % 60;
}

bool OVTimeFormatter::uses24HourClock()
{
    if (m_uses24HourClock == CachedBool::Unknown)
        m_uses24HourClock =
            UserDefaults::shared().boolForKey(kUse24HourClockKey) ? CachedBool::Yes : CachedBool::No;
    return m_uses24HourClock == CachedBool::Yes;
}

void OVTimeFormatter::setUses24HourClock(bool uses24HourClock)
{
    UserDefaults::shared().setBool(uses24HourClock, kUse24HourClockKey);
    m_uses24HourClock = CachedBool::Unknown;
}

void OVTimeFormatter::defaultsDidReset()
{
    m_uses24HourClock = CachedBool::Unknown;
}

OVTimeFormatter::FormatArray OVTimeFormatter::timeFormatArrayForDateFormat(const QString& dateFormat,
                                                                           const QString& useIdentifiers,
                                                                           const QString& ignoreIdentifiers,
                                                                           unsigned options)
{
    QString format = dateFormat;
    for (QChar identifier : ignoreIdentifiers)
        format = stripLocationsOfIdentifier(identifier, format);

    // Fields are located while the quoting still marks literal text, and only the literal pieces
    // lose their quotes: a locale's "HH 'h' mm" must not turn its quoted h into an hour field.
    FormatRanges ranges;
    for (QChar identifier : useIdentifiers) {
        if (const std::optional<FormatRanges> found = locationsOfIdentifier(identifier, format, false))
            ranges.insert(ranges.end(), found->begin(), found->end());
    }
    if (ranges.empty())
        return {FormatElement::text(standardizeDateFormat(format))};
    std::sort(ranges.begin(), ranges.end(),
              [](const FormatRange& a, const FormatRange& b) { return a.location < b.location; });

    FormatArray array;
    qsizetype position = 0;
    for (const FormatRange& range : ranges) {
        if (range.location > position)
            array.push_back(
                FormatElement::text(standardizeDateFormat(format.mid(position, range.location - position))));
        array.push_back(
            FormatElement::field(symbolTypeForLetter(format[range.location], options), int(range.length)));
        position = range.location + range.length;
    }
    if (position < format.size())
        array.push_back(FormatElement::text(standardizeDateFormat(format.mid(position))));
    return array;
}

qint64 OVTimeFormatter::_adjustHours(qint64 hours, int formatterSymbolType)
{
    switch (formatterSymbolType) {
    case kSymbolHour12:
        if (hours == 0)
            return 12;
        return hours > 12 ? hours - 12 : hours;
    case kSymbolHour23:
        return hours;
    case kSymbolHour11:
        return hours % 12;
    case kSymbolHour24:
        return hours == 0 ? 24 : hours;
    default:
        qWarning("%s error. unknown formatterSymbolType provided (%ld). returning -1",
                 "-[OVTimeFormatter _adjustHours:formatterSymbolType:]", long(formatterSymbolType));
        return -1;
    }
}

QString& OVTimeFormatter::timeFormattedFor(QString& string, const FormatArray& formatArray, qint64 seconds)
{
    const qint64 clamped = std::clamp(seconds, -kLargestRunTime, kLargestRunTime);
    qint64 hours = 0;
    qint64 minutes = 0;
    qint64 secs = 0;
    convertTotalSeconds(clamped, nullptr, &hours, &minutes, &secs);
    return timeFormattedFor(string, formatArray, hours, minutes, secs);
}

QString& OVTimeFormatter::timeFormattedFor(QString& string, const FormatArray& formatArray, qint64 hours,
                                           qint64 minutes, qint64 seconds)
{
    string.clear();
    const bool negative = hours < 0 || minutes < 0 || seconds < 0;
    // Values beyond a day never reach here from the program; the clamp keeps abs() defined.
    hours = std::abs(std::clamp<qint64>(hours, -kLargestRunTime, kLargestRunTime));
    minutes = std::abs(std::clamp<qint64>(minutes, -kLargestRunTime, kLargestRunTime));
    seconds = std::abs(std::clamp<qint64>(seconds, -kLargestRunTime, kLargestRunTime));
    const bool twentyFour = uses24HourClock();

    for (const FormatElement& element : formatArray) {
        if (element.isLiteral) {
            string += element.literal;
            continue;
        }
        if (_formatterSymbolTypeHasValue(element.type)) {
            qint64 value = 0;
            if (element.type == kSymbolMinute)
                value = minutes;
            else if (element.type == kSymbolSecond)
                value = seconds;
            else
                value = _adjustHours(hours, element.type == kSymbolHour12 && twentyFour ? kSymbolHour23
                                                                                        : element.type);
            string += QStringLiteral("%1").arg(value, element.width, 10, QLatin1Char('0'));
        } else if (element.type == kSymbolAmPm && !twentyFour) {
            const LocalePatterns& patterns = localePatterns();
            string += isAMForHours(hours) ? patterns.amSymbol : patterns.pmSymbol;
        }
    }

    if (negative) {
        // A locale that gives no usable sign position still needs a sign: an overrun shown
        // without one reads as time left.
        const LocalePatterns& patterns = localePatterns();
        const QString minus = patterns.minusSign.isEmpty() ? QStringLiteral("-") : patterns.minusSign;
        if (patterns.minusPosition == LocalePatterns::MinusPosition::AfterNumber)
            string += minus;
        else
            string.prepend(minus);
    }
    string = trimString(string);
    return string;
}

QString& OVTimeFormatter::currentTimeFormattedFor(QString& string, const FormatArray& formatArray)
{
    const QDateTime now = QDateTime::fromMSecsSinceEpoch(
        qint64((Clock::shared().now() + kReferenceDateUnixOffset) * 1000.0), Qt::LocalTime);
    const QTime time = now.time();
    return timeFormattedFor(string, formatArray, time.hour(), time.minute(), time.second());
}

std::optional<OVTimeFormatter::FormatRanges>
OVTimeFormatter::locationsOfIdentifier(QChar identifier, const QString& dateFormat,
                                       bool includeNearbySeparators)
{
    FormatRanges ranges;
    qsizetype quotesBefore = 0;
    qsizetype scanned = 0; // quotes are counted up to here
    qsizetype start = 0;
    while (true) {
        const qsizetype hit = dateFormat.indexOf(identifier, start);
        if (hit < 0)
            break;
        quotesBefore += QStringView(dateFormat).mid(scanned, hit - scanned).count(u'\'');
        scanned = hit;
        qsizetype end = hit + 1;
        while (end < dateFormat.size() && dateFormat[end] == identifier)
            ++end;
        if (quotesBefore % 2 != 0) {
            // Inside a quoted literal: the run is text, not a field.
            start = end;
            continue;
        }
        FormatRange range{hit, end - hit};
        if (includeNearbySeparators) {
            const bool hasPrevious = range.location > 0;
            const bool hasNext = end < dateFormat.size();
            if (hasPrevious && isSeparator(dateFormat[range.location - 1])) {
                --range.location;
                ++range.length;
            } else if (hasNext && isSeparator(dateFormat[end])) {
                ++range.length;
            } else if (hasPrevious && dateFormat[range.location - 1] == u' ') {
                --range.location;
                ++range.length;
            } else if (hasNext && dateFormat[end] == u' ') {
                ++range.length;
            }
        }
        ranges.push_back(range);
        start = range.location + range.length;
    }
    if (ranges.empty())
        return std::nullopt;
    return ranges;
}

QString OVTimeFormatter::stripLocationsOfIdentifier(QChar identifier, const QString& dateFormat)
{
    return stripLocations(locationsOfIdentifier(identifier, dateFormat, true), dateFormat);
}

QString OVTimeFormatter::stripLocations(const std::optional<FormatRanges>& locations,
                                        const QString& dateFormat)
{
    return trimString(replaceStringsInLocations(locations, QString(), dateFormat));
}

QString OVTimeFormatter::replaceStringsInLocations(const std::optional<FormatRanges>& locations,
                                                   const QString& replacement, const QString& dateFormat)
{
    if (!locations || locations->empty())
        return dateFormat;
    QString result = dateFormat;
    for (auto range = locations->rbegin(); range != locations->rend(); ++range) {
        if (range->location < 0 || range->length < 0 || range->location + range->length > result.size())
            continue;
        result.replace(range->location, range->length, replacement);
    }
    return result;
}
