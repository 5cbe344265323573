#include "platform/updates/UpdateChoice.h"

#include "platform/hvkit/HVInterpretedString.h"

#include <limits>

namespace {

const QString kIsPaidUpdateKey = QStringLiteral("isPaidUpdate");

std::optional<HVVersion> displayVersion(const AppcastItem& item)
{
    return HVVersion::versionWithString(item.displayVersionString);
}

void keepNewer(std::optional<AppcastItem>& kept, const AppcastItem& candidate)
{
    // On a tie the earlier item of the feed stays.
    if (!kept || displayVersion(candidate)->isNewerThan(*displayVersion(*kept)))
        kept = candidate;
}

} // namespace

UpdateChoice::RunningApplication UpdateChoice::RunningApplication::current()
{
    return {HVVersion::appVersion(), HVVersion::appBuildVersion().integerValue(),
            HVVersion::operatingSystemVersion()};
}

qint64 UpdateChoice::integerValue(const QString& text)
{
    const QString trimmed = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < trimmed.size() && (trimmed[i] == u'-' || trimmed[i] == u'+'))
        negative = trimmed[i++] == u'-';
    qint64 value = 0;
    for (; i < trimmed.size() && trimmed[i].isDigit() && trimmed[i].unicode() < 128; ++i) {
        const int digit = trimmed[i].unicode() - u'0';
        if (value > (std::numeric_limits<qint64>::max() - digit) / 10)
            return negative ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

bool UpdateChoice::isItemValid(const AppcastItem& item, const RunningApplication& running)
{
    const std::optional<HVVersion> minimumSystem = HVVersion::versionWithString(item.minimumSystemVersion);
    if (!minimumSystem || !running.systemVersion.isNewerThanOrEqualTo(*minimumSystem))
        return false;
    if (!item.maximumSystemVersion.isEmpty()) {
        // A bound that cannot be read is not a bound the system can be shown to meet.
        const std::optional<HVVersion> maximumSystem =
            HVVersion::versionWithString(item.maximumSystemVersion);
        if (!maximumSystem || running.systemVersion.isNewerThan(*maximumSystem))
            return false;
    }
    const std::optional<HVVersion> version = displayVersion(item);
    if (!version || running.version.isNewerThanOrEqualTo(*version))
        return false;
    if (!running.version.isPrereleaseType() && version->isPrereleaseType())
        return false;
    return integerValue(item.versionString) > running.build;
}

bool UpdateChoice::isItemPaid(const AppcastItem& item, const RunningApplication& running)
{
    const auto found = item.propertiesDictionary.constFind(kIsPaidUpdateKey);
    if (found != item.propertiesDictionary.constEnd())
        return HVInterpretedString::boolValue(*found).value_or(false);
    const std::optional<HVVersion> version = displayVersion(item);
    return version && version->majorVersion() > running.version.majorVersion();
}

UpdateChoice UpdateChoice::chooseFromAppcast(const Appcast& appcast, const RunningApplication& running)
{
    UpdateChoice choice;
    for (const AppcastItem& item : appcast.items()) {
        if (!isItemValid(item, running))
            continue;
        keepNewer(isItemPaid(item, running) ? choice.m_paid : choice.m_free, item);
    }
    return choice;
}

std::vector<HVAppUpdate> UpdateChoice::appUpdates() const
{
    std::vector<HVAppUpdate> updates;
    auto add = [&](const std::optional<AppcastItem>& item, HVAppUpdate::Type type) {
        if (!item)
            return;
        const bool paid = type == HVAppUpdate::Type::Paid;
        if (paid ? item->infoURL.isEmpty() : item->fileURL.isEmpty())
            return;
        updates.push_back(HVAppUpdate{type, item->versionString, item->displayVersionString, item->date,
                                      item->infoURL, item->releaseNotesURL, paid});
    };
    add(m_free, HVAppUpdate::Type::Free);
    add(m_paid, HVAppUpdate::Type::Paid);
    return updates;
}
