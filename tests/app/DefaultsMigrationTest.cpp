// Settings an older build left behind, migrated on a settings file of the test's own: which steps
// each stored build runs, what they write, and what the version keys become.
#include "app/OVDefaultsMigration.h"
#include "platform/foundation/PlistValue.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVSettingsController.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr unsigned long long kCurrentBuild = 1000;

// Keys each step leaves a mark on, stored before the migration runs.
void storeOldSettings(UserDefaults& defaults)
{
    defaults.setInteger(2, QStringLiteral("frameRateTag"));
    defaults.setBool(true, QStringLiteral("SUSendProfileInfo"));
    defaults.setBool(true, QStringLiteral("enableAnalytics"));
    defaults.setBool(false, QStringLiteral("showToolbarInPromptMode"));
    defaults.setBool(true, QStringLiteral("snowLeopardShowScrollBarInPromptMode"));
    defaults.setObject(PlistDictionary(), QStringLiteral("OVDocumentToolbarState"));
    defaults.setBool(true, QStringLiteral("NSApplicationCrashOnExceptions"));
    defaults.setInteger(256, QStringLiteral("NSViewBackingLayerTileSize"));
    defaults.setInteger(1, QStringLiteral("analytics"));
}

class Migration : public ::testing::Test {
protected:
    void SetUp() override { reopen(); }

    void reopen()
    {
        defaults.reset();
        defaults = std::make_unique<UserDefaults>(path());
    }
    QString path() const { return folder.filePath(QStringLiteral("Orvane.plist")); }

    OVDefaultsMigration::Outcome migrateFrom(std::optional<unsigned long long> storedBuild)
    {
        if (storedBuild)
            defaults->setInteger(qint64(*storedBuild), QStringLiteral("appBuildNumber"));
        return migrate();
    }
    OVDefaultsMigration::Outcome migrate()
    {
        OVDefaultsMigration::Services services;
        services.resetAllSettings = [this] {
            ++resets;
            defaults->resetUserValues({QStringLiteral("CrashReportSender.lastCrashDate")});
        };
        services.importStatisticsFromUserDefaultsKey = [this](const QString& key) { imported << key; };
        services.resetStatistics = [this] { ++statisticsResets; };
        services.setPromptModeToolbarState = [this](unsigned long long state) { toolbarState = state; };
        return OVDefaultsMigration::migrate(*defaults, kCurrentBuild, services);
    }

    QTemporaryDir folder;
    std::unique_ptr<UserDefaults> defaults;
    int resets = 0;
    int statisticsResets = 0;
    QStringList imported;
    std::optional<unsigned long long> toolbarState;
};

TEST_F(Migration, EachStoredBuildEntersAtTheFirstBoundItDoesNotExceed)
{
    const std::vector<unsigned long long>& bounds = OVDefaultsMigration::stepBounds();
    for (size_t i = 0; i < bounds.size(); ++i) {
        for (const unsigned long long stored : {bounds[i], bounds[i] + 1}) {
            SCOPED_TRACE(stored);
            QTemporaryDir own;
            UserDefaults isolated(own.filePath(QStringLiteral("Orvane.plist")));
            isolated.setInteger(qint64(stored), QStringLiteral("appBuildNumber"));
            // The speed step from the old tag belongs to builds up to 687 alone; keep it out.
            isolated.setInteger(qint64(kCurrentBuild), QStringLiteral("highestLaunchedAppBuildNumber"));
            const auto outcome = OVDefaultsMigration::migrate(isolated, kCurrentBuild, {});
            const std::optional<unsigned long long> expected =
                stored == bounds[i] ? std::optional(bounds[i])
                                    : (i + 1 < bounds.size() ? std::optional(bounds[i + 1]) : std::nullopt);
            EXPECT_EQ(outcome.firstStepBound, expected);
            EXPECT_EQ(outcome.synchronized, expected.has_value());
            EXPECT_EQ(outcome.lastLaunchedBuildNumber, stored);
        }
    }
}

TEST_F(Migration, AStoredBuildOf700RunsTheStepsFrom731On)
{
    storeOldSettings(*defaults);
    migrateFrom(700);
    EXPECT_TRUE(defaults->hasUserValue(QStringLiteral("frameRateTag")));
    EXPECT_TRUE(defaults->hasUserValue(QStringLiteral("SUSendProfileInfo")));
    EXPECT_FALSE(toolbarState.has_value());
    EXPECT_TRUE(imported.isEmpty());
    EXPECT_EQ(defaults->objectForKey(QStringLiteral("showScrollBarInPromptMode")), PlistValue(true));
    // The copying steps leave the old key where it was.
    EXPECT_TRUE(defaults->hasUserValue(QStringLiteral("snowLeopardShowScrollBarInPromptMode")));
    for (const char* removed : {"OVDocumentToolbarState", "NSApplicationCrashOnExceptions",
                                "NSViewBackingLayerTileSize", "analytics"})
        EXPECT_FALSE(defaults->hasUserValue(QString::fromLatin1(removed))) << removed;
    EXPECT_EQ(statisticsResets, 1);
    EXPECT_EQ(resets, 0);
}

TEST_F(Migration, TheOldestBuildResetsEverythingAndThenRunsEveryStep)
{
    storeOldSettings(*defaults);
    defaults->setObject(PlistValue("2020"), QStringLiteral("CrashReportSender.lastCrashDate"));
    const auto outcome = migrateFrom(346);
    EXPECT_EQ(outcome.firstStepBound, 346u);
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(imported, QStringList{QStringLiteral("userStats")});
    EXPECT_EQ(statisticsResets, 1);
    EXPECT_EQ(defaults->objectForKey(QStringLiteral("CrashReportSender.lastCrashDate")), PlistValue("2020"));
    EXPECT_FALSE(defaults->hasUserValue(QStringLiteral("frameRateTag")));
    // The build keys were read before the reset wiped them.
    EXPECT_EQ(outcome.lastLaunchedBuildNumber, 346u);
    EXPECT_EQ(outcome.highestLaunchedBuildNumber, 346u);
}

TEST_F(Migration, TheSettingsResetKeepsItsPreservedKeys)
{
    HVSettingsController settings(*defaults, folder.filePath(QStringLiteral("snapshot.plist")));
    settings.setAlwaysPreservedKeys({QStringLiteral("CrashReportSender.lastCrashDate"),
                                     QStringLiteral("moveToApplicationsFolderAlertSuppress")});
    defaults->setObject(PlistValue("2020"), QStringLiteral("CrashReportSender.lastCrashDate"));
    defaults->setBool(true, QStringLiteral("moveToApplicationsFolderAlertSuppress"));
    defaults->setInteger(7, QStringLiteral("defaultSpeed"));
    defaults->setInteger(300, QStringLiteral("appBuildNumber"));
    OVDefaultsMigration::Services services;
    services.resetAllSettings = [&settings] { settings.resetAllSettingsPreservingKeys({}); };
    OVDefaultsMigration::migrate(*defaults, kCurrentBuild, services);
    EXPECT_FALSE(defaults->hasUserValue(QStringLiteral("defaultSpeed")));
    EXPECT_EQ(defaults->objectForKey(QStringLiteral("CrashReportSender.lastCrashDate")), PlistValue("2020"));
    EXPECT_EQ(defaults->objectForKey(QStringLiteral("moveToApplicationsFolderAlertSuppress")),
              PlistValue(true));
}

TEST_F(Migration, AFirstLaunchRunsNothingAndWritesNothingUntilTheVersionKeys)
{
    storeOldSettings(*defaults);
    ASSERT_TRUE(defaults->synchronize());
    const QDateTime written = QFileInfo(path()).lastModified();
    PlistDictionary registered;
    registered.insert(QStringLiteral("appBuildNumber"), qint64(12));
    defaults->registerDefaults(registered);
    const auto outcome = migrateFrom(std::nullopt);
    EXPECT_FALSE(outcome.firstStepBound.has_value());
    EXPECT_FALSE(outcome.synchronized);
    EXPECT_EQ(outcome.lastLaunchedBuildNumber, 0u);
    EXPECT_FALSE(outcome.highestLaunchedBuildNumber.has_value());
    EXPECT_TRUE(defaults->hasUserValue(QStringLiteral("frameRateTag")));
    EXPECT_EQ(QFileInfo(path()).lastModified(), written);

    OVDefaultsMigration::writeVersionKeys(*defaults, outcome, kCurrentBuild, QStringLiteral("0.1.0"),
                                          QStringLiteral("Debian GNU/Linux 12"));
    EXPECT_EQ(defaults->objectForKey(QStringLiteral("appVersion")), PlistValue("0.1.0"));
    EXPECT_EQ(defaults->objectForKey(QStringLiteral("appBuildNumber")), PlistValue(qint64(kCurrentBuild)));
    EXPECT_EQ(defaults->objectForKey(QStringLiteral("highestLaunchedAppBuildNumber")),
              PlistValue(qint64(kCurrentBuild)));
    EXPECT_EQ(defaults->objectForKey(QStringLiteral("lastLaunchedMacOSVersion")),
              PlistValue("Debian GNU/Linux 12"));
}

TEST_F(Migration, TheSameBuildRunsNothingAndADowngradeKeepsTheHighestBuild)
{
    storeOldSettings(*defaults);
    EXPECT_FALSE(migrateFrom(kCurrentBuild).firstStepBound.has_value());
    EXPECT_TRUE(defaults->hasUserValue(QStringLiteral("analytics")));

    defaults->setInteger(1200, QStringLiteral("highestLaunchedAppBuildNumber"));
    const auto outcome = migrateFrom(1100);
    EXPECT_FALSE(outcome.firstStepBound.has_value());
    OVDefaultsMigration::writeVersionKeys(*defaults, outcome, kCurrentBuild, QStringLiteral("0.1.0"), {});
    EXPECT_EQ(defaults->integerForKey(QStringLiteral("appBuildNumber")), qint64(kCurrentBuild));
    EXPECT_EQ(defaults->integerForKey(QStringLiteral("highestLaunchedAppBuildNumber")), 1200);
    EXPECT_FALSE(defaults->hasUserValue(QStringLiteral("lastLaunchedMacOSVersion")));
}

TEST_F(Migration, TheOldSpeedIncrementIsRoundedToOneDecimalWithinTheControlsRange)
{
    EXPECT_EQ(OVDefaultsMigration::speedIncrementFromSliderValue(0.25), 0.3);
    EXPECT_EQ(OVDefaultsMigration::speedIncrementFromSliderValue(0.04), std::nullopt);
    EXPECT_EQ(OVDefaultsMigration::speedIncrementFromSliderValue(1.0), 1.0);
    EXPECT_EQ(OVDefaultsMigration::speedIncrementFromSliderValue(1.04), 1.0);
    EXPECT_EQ(OVDefaultsMigration::speedIncrementFromSliderValue(1.06), std::nullopt);
    EXPECT_EQ(OVDefaultsMigration::speedIncrementFromSliderValue(std::nan("")), std::nullopt);

    defaults->setDouble(0.25, QStringLiteral("speedSliderIncrementValue"));
    defaults->setBool(false, QStringLiteral("speedChangesAlterPrompterStatus"));
    defaults->setBool(true, QStringLiteral("pauseSetsZeroSpeed"));
    defaults->setInteger(kCurrentBuild, QStringLiteral("highestLaunchedAppBuildNumber"));
    migrateFrom(780);
    EXPECT_EQ(defaults->objectForKey(QStringLiteral("speedIncrement")), PlistValue(0.3));
    EXPECT_EQ(defaults->objectForKey(QStringLiteral("changingSpeedStartsPrompter")), PlistValue(false));
    EXPECT_EQ(defaults->objectForKey(QStringLiteral("setPauseSpeedOnPause")), PlistValue(true));
    EXPECT_EQ(defaults->objectForKey(QStringLiteral("pauseSpeed")), PlistValue(0.0));

    reopen();
    defaults->setDouble(0.04, QStringLiteral("speedSliderIncrementValue"));
    defaults->removeObjectForKey(QStringLiteral("speedIncrement"));
    migrateFrom(780);
    EXPECT_FALSE(defaults->hasUserValue(QStringLiteral("speedIncrement")));
}

TEST_F(Migration, TheSpeedIncrementTagOfBuildsBefore688)
{
    const std::pair<std::optional<qint64>, double> cases[] = {
        {2, 0.5}, {7, 0.2}, {std::nullopt, 0.1}, {3, 1.0}};
    for (const auto& [tag, increment] : cases) {
        QTemporaryDir own;
        UserDefaults isolated(own.filePath(QStringLiteral("Orvane.plist")));
        isolated.setInteger(900, QStringLiteral("appBuildNumber"));
        isolated.setInteger(687, QStringLiteral("highestLaunchedAppBuildNumber"));
        if (tag)
            isolated.setInteger(*tag, QStringLiteral("speedSliderIncrementTag"));
        const auto outcome = OVDefaultsMigration::migrate(isolated, kCurrentBuild, {});
        EXPECT_EQ(isolated.objectForKey(QStringLiteral("speedIncrement")), PlistValue(increment))
            << tag.value_or(-1);
        EXPECT_TRUE(outcome.synchronized);
    }
    // 688 and later kept the increment itself.
    defaults->setInteger(688, QStringLiteral("appBuildNumber"));
    defaults->setInteger(2, QStringLiteral("speedSliderIncrementTag"));
    migrate();
    EXPECT_FALSE(defaults->hasUserValue(QStringLiteral("speedIncrement")));
}

TEST_F(Migration, BuildKeysOfTheWrongKindCountAsAbsent)
{
    storeOldSettings(*defaults);
    defaults->setObject(PlistValue("346"), QStringLiteral("appBuildNumber"));
    defaults->setObject(PlistValue(PlistArray{}), QStringLiteral("highestLaunchedAppBuildNumber"));
    defaults->setObject(PlistValue("two"), QStringLiteral("speedSliderIncrementTag"));
    auto outcome = migrate();
    EXPECT_FALSE(outcome.firstStepBound.has_value());
    EXPECT_EQ(outcome.lastLaunchedBuildNumber, 0u);
    EXPECT_FALSE(outcome.highestLaunchedBuildNumber.has_value());
    EXPECT_EQ(resets, 0);
    EXPECT_FALSE(defaults->hasUserValue(QStringLiteral("speedIncrement")));

    defaults->setInteger(-5, QStringLiteral("appBuildNumber"));
    EXPECT_FALSE(migrate().firstStepBound.has_value());
    defaults->setDouble(1e300, QStringLiteral("appBuildNumber"));
    EXPECT_FALSE(migrate().firstStepBound.has_value());
    // A tag of the wrong kind reads as no tag at all.
    defaults->setInteger(600, QStringLiteral("appBuildNumber"));
    migrate();
    EXPECT_EQ(defaults->objectForKey(QStringLiteral("speedIncrement")), PlistValue(0.1));
}

} // namespace
