#include "services/OVUserStats.h"

#include "platform/appkit/Screen.h"
#include "platform/hvkit/HVAnalytics.h"
#include "platform/hvkit/HVAppServices.h"
#include "platform/hvkit/HVLocalizedString.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/MutableAttributedString.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>

#include <cmath>

namespace {

QString localized(const char* key, const char* english)
{
    return HVLocalizedString::localizedString(QString::fromLatin1(key), QString::fromLatin1(english));
}

QString replacingTag(QString text, const QString& tag, const QString& value)
{
    return text.replace(QLatin1Char('<') + tag + QLatin1Char('>'), value);
}

QString unitText(qint64 count, const char* singular, const char* plural)
{
    return QStringLiteral("%1 %2").arg(count).arg(QString::fromLatin1(count == 1 ? singular : plural));
}

} // namespace

QString OVUserStats::localizedStatisticsTitle()
{
    return localized("usage-stats-title-statistics", "Statistics");
}

QString OVUserStats::localizedTimeStringFromDuration(double seconds)
{
    const qint64 whole = std::isfinite(seconds) && seconds > 0 ? qint64(seconds) : 0;
    const qint64 hours = whole / 3600;
    const qint64 minutes = whole / 60 % 60;
    if (hours > 0)
        return minutes > 0 ? unitText(hours, "hour", "hours") + QStringLiteral(", ") +
                                 unitText(minutes, "minute", "minutes")
                           : unitText(hours, "hour", "hours");
    if (minutes > 0)
        return unitText(minutes, "minute", "minutes");
    return unitText(whole, "second", "seconds");
}

std::optional<qint64> OVUserStats::screensScrolled(double pixels, double firstScreenHeight)
{
    if (!(pixels > 0) || !(firstScreenHeight > 0) || !std::isfinite(pixels / firstScreenHeight))
        return std::nullopt;
    return qint64(std::floor(pixels / firstScreenHeight));
}

QString OVUserStats::mediumDateString(const QDate& date, const QLocale& locale)
{
    // Qt knows a short and a long form only. The medium one is the long form without the weekday
    // and with the month abbreviated: "Jan 5, 2026", "5 janv. 2026".
    QString format = locale.dateFormat(QLocale::LongFormat);
    static const QRegularExpression weekday(QStringLiteral("d{4}[,.]?\\s*|\\s*[,.]?\\s*d{4}"));
    format.remove(weekday);
    format.replace(QStringLiteral("MMMM"), QStringLiteral("MMM"));
    format = format.trimmed();
    if (format.isEmpty())
        return locale.toString(date, QLocale::ShortFormat);
    return locale.toString(date, format);
}

std::optional<std::vector<OVUserStats::LabeledString>>
OVUserStats::labeledStringsWithOptions(unsigned options)
{
    const HVAnalytics& statistics = HVAppServices::shared().analytics();
    if (!statistics.isEnabled())
        return std::nullopt;
    std::vector<LabeledString> strings;
    const auto add = [&strings](const QString& label, const QString& string) {
        strings.push_back({label, string});
    };
    if (options & (kLaunchCount | kLaunchCountSinceDate)) {
        const qint64 launches = statistics.appLaunchCount();
        const QString label = launches == 1 ? localized("usage-stats-label-app-launch", "App Launch")
                                            : localized("usage-stats-label-app-launches", "App Launches");
        QString text;
        if (options & kLaunchCount) {
            text = localized("usage-stats-launch-count", "<LAUNCH_COUNT>");
        } else {
            QDateTime since = statistics.metaInitialDate();
            if (!since.isValid())
                since = QDateTime::currentDateTime();
            text =
                replacingTag(localized("usage-stats-launch-count-since-date", "<LAUNCH_COUNT> since <DATE>"),
                             QStringLiteral("DATE"), mediumDateString(since.date(), QLocale()));
        }
        add(label,
            replacingTag(text, QStringLiteral("LAUNCH_COUNT"), QString::number(qMax<qint64>(0, launches))));
    }
    if (options & kTimeActive)
        add(localized("usage-stats-label-time-active", "Time Active"),
            localizedTimeStringFromDuration(statistics.appActiveTime()));
    if (options & kTimePrompted)
        add(localized("usage-stats-label-time-prompted", "Time Prompted"),
            localizedTimeStringFromDuration(statistics.doubleForKeyPath(QStringLiteral("promptMode.time"))));
    if (options & kScrolled) {
        const std::vector<Screen> screens = Screen::screens();
        const double pixels = statistics.doubleForKeyPath(QStringLiteral("promptMode.pixelsScrolled"));
        if (!screens.empty()) {
            if (const std::optional<qint64> count =
                    screensScrolled(pixels, screens.front().frame().size.height))
                add(localized("usage-stats-label-scrolled", "Scrolled"),
                    replacingTag(localized("usage-stats-number-of-screens", "<COUNT> screens"),
                                 QStringLiteral("COUNT"), QString::number(*count)));
        }
    }
    if (options & kBookmarkJumps) {
        const qint64 jumps = statistics.integerForKeyPath(QStringLiteral("bookmarks.directJumpActions")) +
                             statistics.integerForKeyPath(QStringLiteral("bookmarks.previousNextActions"));
        if (jumps != 0)
            add(localized("usage-stats-label-bookmark-jumps", "Bookmark Jumps"), QString::number(jumps));
    }
    if (options & kMarkedTextUses) {
        const qint64 uses = statistics.integerForKeyPath(QStringLiteral("hotkeys.markTextUses"));
        if (uses > 0)
            add(localized("usage-stats-label-marked-text-uses", "Marked Text Uses"), QString::number(uses));
    }
    if (options & kHotKeyUses) {
        const quint64 uses =
            statistics.unsignedIntegerSumForDictionaryObjectForKeyPath(QStringLiteral("hotkeys"));
        if (uses != 0)
            add(localized("usage-stats-label-hot-key-uses", "Hot Key Uses"), QString::number(uses));
    }
    if (options & kDocumentsOpened) {
        const quint64 opened =
            statistics.unsignedIntegerSumForDictionaryObjectForKeyPath(QStringLiteral("documents.opened"));
        if (opened != 0)
            add(localized("usage-stats-label-documents-opened", "Documents Opened"), QString::number(opened));
    }
    if (strings.empty())
        return std::nullopt;
    return strings;
}

AttributedString OVUserStats::attributedStringWithOptions(unsigned options,
                                                          const AttributeDictionary& attributes)
{
    MutableAttributedString text;
    const std::optional<std::vector<LabeledString>> strings = labeledStringsWithOptions(options);
    if (!strings)
        return text;
    AttributeDictionary labelAttributes = attributes;
    if (const AttributeValue* value = attributes.find(kFontAttributeName); value && value->font()) {
        Font bold = *value->font();
        bold.bold = true;
        labelAttributes.insert(kFontAttributeName, bold);
    }
    for (std::size_t index = 0; index < strings->size(); ++index) {
        const LabeledString& line = (*strings)[index];
        text.append(line.label + QStringLiteral(": "), labelAttributes);
        text.append(line.string + (index + 1 < strings->size() ? QStringLiteral("\n") : QString()),
                    attributes);
    }
    return text;
}
