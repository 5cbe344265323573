#include "app/OVDefaultsMigration.h"

#include "platform/foundation/PlistValue.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/updates/SUConstants.h"

#include <cmath>
#include <limits>

namespace {

const QString kAppVersionKey = QStringLiteral("appVersion");
const QString kAppBuildNumberKey = QStringLiteral("appBuildNumber");
const QString kHighestLaunchedAppBuildNumberKey = QStringLiteral("highestLaunchedAppBuildNumber");
const QString kLastLaunchedSystemVersionKey = QStringLiteral("lastLaunchedMacOSVersion");

// The last build whose speed control was a pop-up of four increments, stored by tag.
constexpr unsigned long long kLastBuildWithSpeedIncrementTag = 687;

std::optional<double> storedNumber(const UserDefaults& defaults, const QString& key)
{
    if (!defaults.hasUserValue(key))
        return std::nullopt;
    const PlistValue value = defaults.objectForKey(key);
    if (value.isInteger())
        return double(value.integer());
    if (value.isReal() && std::isfinite(value.real()))
        return value.real();
    return std::nullopt;
}

// Older builds stored switches as booleans; a number is read as the platform reads it.
std::optional<bool> storedBool(const UserDefaults& defaults, const QString& key)
{
    if (!defaults.hasUserValue(key))
        return std::nullopt;
    const PlistValue value = defaults.objectForKey(key);
    if (value.isBoolean())
        return value.boolean();
    if (value.isInteger())
        return value.integer() != 0;
    if (value.isReal())
        return value.real() != 0;
    return std::nullopt;
}

void copyStoredValue(UserDefaults& defaults, const QString& from, const QString& to)
{
    if (defaults.hasUserValue(from))
        defaults.setObject(defaults.objectForKey(from), to);
}

void removeKeys(UserDefaults& defaults, std::initializer_list<QString> keys)
{
    for (const QString& key : keys)
        defaults.removeObjectForKey(key);
}

void runStep(unsigned long long bound, UserDefaults& defaults, const OVDefaultsMigration::Services& services)
{
    switch (bound) {
    case 346:
        if (services.resetAllSettings)
            services.resetAllSettings();
        break;
    case 415:
        removeKeys(defaults, {QStringLiteral("frameRateTag")});
        break;
    case 624:
        removeKeys(defaults, {SUSendProfileInfoKey, QStringLiteral("enableAnalytics")});
        break;
    case 672:
        if (services.importStatisticsFromUserDefaultsKey)
            services.importStatisticsFromUserDefaultsKey(QStringLiteral("userStats"));
        break;
    case 689:
        if (storedBool(defaults, QStringLiteral("showToolbarInPromptMode")) == false &&
            services.setPromptModeToolbarState)
            services.setPromptModeToolbarState(2);
        copyStoredValue(defaults, QStringLiteral("alwaysUseFullScreenPrompting"),
                        QStringLiteral("alwaysCoverTheDesktop"));
        break;
    case 731:
        copyStoredValue(defaults, QStringLiteral("snowLeopardShowScrollBarInPromptMode"),
                        QStringLiteral("showScrollBarInPromptMode"));
        break;
    case 774:
        removeKeys(defaults, {QStringLiteral("OVDocumentToolbarState")});
        break;
    case 781: {
        removeKeys(defaults, {QStringLiteral("useSpecialAboutWindow")});
        if (const auto value = storedNumber(defaults, QStringLiteral("speedSliderIncrementValue"))) {
            if (const auto increment = OVDefaultsMigration::speedIncrementFromSliderValue(*value))
                defaults.setDouble(*increment, QStringLiteral("speedIncrement"));
        }
        if (const auto alters = storedBool(defaults, QStringLiteral("speedChangesAlterPrompterStatus")))
            defaults.setBool(*alters, QStringLiteral("changingSpeedStartsPrompter"));
        if (storedBool(defaults, QStringLiteral("pauseSetsZeroSpeed")) == true) {
            defaults.setBool(true, QStringLiteral("setPauseSpeedOnPause"));
            defaults.setDouble(0.0, QStringLiteral("pauseSpeed"));
        }
        break;
    }
    case 789:
        removeKeys(defaults, {QStringLiteral("NSApplicationCrashOnExceptions")});
        break;
    case 829:
        removeKeys(defaults, {QStringLiteral("NSFullScreenMenuItemEverywhere"),
                              QStringLiteral("NSViewBackingLayerTileSize"),
                              QStringLiteral("NSViewMaxNonTiledBackingLayerSize"),
                              QStringLiteral("NSViewMaxResidentTiles")});
        break;
    case 890:
        removeKeys(defaults, {QStringLiteral("analytics"), QStringLiteral("SULastProfileSubmissionDate"),
                              QStringLiteral("enableAnalyticsSubmission")});
        if (services.resetStatistics)
            services.resetStatistics();
        break;
    default:
        break;
    }
}

} // namespace

const std::vector<unsigned long long>& OVDefaultsMigration::stepBounds()
{
    static const std::vector<unsigned long long> bounds = {346, 415, 624, 672, 689, 731,
                                                           774, 781, 789, 829, 890};
    return bounds;
}

std::optional<unsigned long long> OVDefaultsMigration::storedBuildNumber(const UserDefaults& defaults,
                                                                         const QString& key)
{
    if (!defaults.hasUserValue(key))
        return std::nullopt;
    const PlistValue value = defaults.objectForKey(key);
    if (value.isInteger()) {
        if (value.isUnsignedInteger())
            return static_cast<unsigned long long>(value.integer());
        if (value.integer() >= 0)
            return static_cast<unsigned long long>(value.integer());
        return std::nullopt;
    }
    if (value.isReal()) {
        const double number = value.real();
        if (std::isfinite(number) && number >= 0 && number == std::floor(number) && number < 9.0e18)
            return static_cast<unsigned long long>(number);
    }
    return std::nullopt;
}

std::optional<double> OVDefaultsMigration::speedIncrementFromSliderValue(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double rounded = std::round(value * 10.0) / 10.0;
    if (rounded < 0.1 || rounded > 1.001)
        return std::nullopt;
    return rounded;
}

double OVDefaultsMigration::speedIncrementFromTag(long long tag)
{
    switch (tag) {
    case 0:
        return 0.1;
    case 1:
        return 0.2;
    case 2:
        return 0.5;
    case 3:
        return 1.0;
    default:
        return 0.2;
    }
}

OVDefaultsMigration::Outcome OVDefaultsMigration::migrate(UserDefaults& defaults,
                                                          unsigned long long currentBuild,
                                                          const Services& services)
{
    Outcome outcome;
    // Both are read before any step runs: the oldest step resets every setting, these included.
    const std::optional<unsigned long long> stored = storedBuildNumber(defaults, kAppBuildNumberKey);
    const std::optional<unsigned long long> highestStored =
        storedBuildNumber(defaults, kHighestLaunchedAppBuildNumberKey);
    outcome.highestLaunchedBuildNumber = highestStored ? highestStored : stored;
    std::optional<long long> incrementTag;
    if (const auto tag = storedNumber(defaults, QStringLiteral("speedSliderIncrementTag")))
        incrementTag = *tag >= double(std::numeric_limits<long long>::min()) &&
                               *tag <= double(std::numeric_limits<long long>::max())
                           ? std::optional<long long>(static_cast<long long>(*tag))
                           : std::optional<long long>(-1);

    if (stored)
        outcome.lastLaunchedBuildNumber = *stored;
    if (stored && *stored < currentBuild) {
        for (const unsigned long long bound : stepBounds()) {
            if (*stored > bound)
                continue;
            if (!outcome.firstStepBound)
                outcome.firstStepBound = bound;
            runStep(bound, defaults, services);
        }
    }

    const std::optional<unsigned long long>& highest = outcome.highestLaunchedBuildNumber;
    if (highest && *highest < currentBuild && *highest <= kLastBuildWithSpeedIncrementTag) {
        defaults.setDouble(speedIncrementFromTag(incrementTag.value_or(0)), QStringLiteral("speedIncrement"));
        outcome.synchronized = defaults.synchronize();
    } else if (outcome.firstStepBound) {
        outcome.synchronized = defaults.synchronize();
    }
    return outcome;
}

void OVDefaultsMigration::writeVersionKeys(UserDefaults& defaults, const Outcome& outcome,
                                           unsigned long long currentBuild, const QString& appVersion,
                                           const QString& systemVersion)
{
    const auto asStored = [](unsigned long long number) {
        return qint64(std::min<unsigned long long>(number, std::numeric_limits<qint64>::max()));
    };
    defaults.setObject(PlistValue(appVersion), kAppVersionKey);
    defaults.setInteger(asStored(currentBuild), kAppBuildNumberKey);
    const unsigned long long highest = std::max(currentBuild, outcome.highestLaunchedBuildNumber.value_or(0));
    defaults.setInteger(asStored(highest), kHighestLaunchedAppBuildNumberKey);
    if (!systemVersion.isEmpty())
        defaults.setObject(PlistValue(systemVersion), kLastLaunchedSystemVersionKey);
}
