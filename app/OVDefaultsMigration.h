#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <vector>

class UserDefaults;

// Brings the settings an older build stored up to this build's keys and meanings, and writes the
// version keys every launch. Only values stored for the user count: a registered default is never
// mistaken for something an older build left behind.
class OVDefaultsMigration {
public:
    // What the migration reaches beyond the user defaults; a missing service skips its part.
    struct Services {
        // Removes every stored value but the keys kept through a reset of all settings.
        std::function<void()> resetAllSettings;
        std::function<void(const QString& key)> importStatisticsFromUserDefaultsKey;
        std::function<void()> resetStatistics;
        std::function<void(unsigned long long state)> setPromptModeToolbarState;
    };

    // What the previous launches left, read before anything is changed.
    struct Outcome {
        // The build the previous launch stored; 0 when there was none.
        unsigned long long lastLaunchedBuildNumber = 0;
        // The highest build launched before this launch; empty when neither build key was stored.
        std::optional<unsigned long long> highestLaunchedBuildNumber;
        // The bound of the first table step that ran; empty when none did.
        std::optional<unsigned long long> firstStepBound;
        bool synchronized = false;
    };

    // The bounds of the table, rising; a stored build runs every step whose bound it does not exceed.
    static const std::vector<unsigned long long>& stepBounds();

    static Outcome migrate(UserDefaults& defaults, unsigned long long currentBuild, const Services& services);
    // appVersion, appBuildNumber, highestLaunchedAppBuildNumber (never lowered) and, when known,
    // lastLaunchedMacOSVersion.
    static void writeVersionKeys(UserDefaults& defaults, const Outcome& outcome,
                                 unsigned long long currentBuild, const QString& appVersion,
                                 const QString& systemVersion);

    // The stored old speed increment taken to one decimal, rounded half away from zero; empty when
    // the result lies outside what the speed control offers.
    static std::optional<double> speedIncrementFromSliderValue(double value);
    // The speed increment of the old pop-up's tag.
    static double speedIncrementFromTag(long long tag);

    // A stored build key; empty when it is not stored or not a whole non-negative number.
    static std::optional<unsigned long long> storedBuildNumber(const UserDefaults& defaults,
                                                               const QString& key);
};
