#include "platform/hvkit/HVSettingsController.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVInitialDefaultsProvider.h"
#include "platform/hvkit/HVKit.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct RecordingProvider : HVInitialDefaultsProvider {
    explicit RecordingProvider(QStringList* log, UserDefaults* defaults) : log(log), defaults(defaults) {}
    void defaultsWillReset() override { *log << "will:" + defaults->stringForKey("size"); }
    void defaultsDidReset() override { *log << "did:" + defaults->stringForKey("size"); }
    QStringList* log;
    UserDefaults* defaults;
};

class HVSettingsControllerTest : public ::testing::Test {
protected:
    HVSettingsControllerTest()
    {
        PlistDictionary registered;
        registered.insert("size", 15);
        registered.insert("kept", "registered");
        defaults.registerDefaults(registered);
        controller.setAlwaysPreservedKeys({"CrashReportSender.lastCrashDate"});
    }

    void writeFile(const QString& name, const QByteArray& bytes)
    {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QTemporaryDir dir;
    UserDefaults defaults{dir.filePath("Orvane.plist")};
    HVSettingsController controller{defaults, dir.filePath("Snapshot.plist")};
};

struct SizeProvider {
    static PlistDictionary initialDefaultsDictionary()
    {
        PlistDictionary d;
        d.insert("documentQuickZoomTargetFontSize", 15);
        d.insert("documentToolbarLastHeight", 52.0);
        return d;
    }
};

} // namespace

TEST_F(HVSettingsControllerTest, ResetBringsRegisteredValuesBackAndKeepsPreservedKeys)
{
    QStringList log;
    RecordingProvider provider(&log, &defaults);
    controller.registerDefaultsProviderForResetAll(&provider);
    controller.registerDefaultsProviderForResetAll(&provider);

    defaults.setInteger(20, "size");
    defaults.setObject("mine", "kept");
    defaults.setObject("2026-01-01", "CrashReportSender.lastCrashDate");
    ASSERT_TRUE(controller.resetAllSettingsPreservingKeys({"kept"}));

    EXPECT_EQ(defaults.integerForKey("size"), 15);
    EXPECT_EQ(defaults.stringForKey("kept"), "mine");
    EXPECT_EQ(defaults.stringForKey("CrashReportSender.lastCrashDate"), "2026-01-01");
    EXPECT_EQ(log, (QStringList{"will:20", "did:15"}));

    controller.unregisterDefaultsProviderForResetAll(&provider);
    ASSERT_TRUE(controller.resetAllSettingsPreservingKeys({}));
    EXPECT_EQ(log.size(), 2);
}

TEST_F(HVSettingsControllerTest, RestorePutsBackWhatTheLastResetRemovedOnce)
{
    EXPECT_FALSE(controller.canRestoreSettings());
    defaults.setInteger(20, "size");
    ASSERT_TRUE(controller.resetAllSettingsPreservingKeys({}));
    EXPECT_TRUE(controller.canRestoreSettings());
    defaults.setObject("later", "CrashReportSender.lastCrashDate");

    ASSERT_TRUE(controller.restoreSettingsToOriginalValues());
    EXPECT_EQ(defaults.integerForKey("size"), 20);
    EXPECT_EQ(defaults.stringForKey("CrashReportSender.lastCrashDate"), "later");
    EXPECT_FALSE(controller.canRestoreSettings());
    Error error;
    EXPECT_FALSE(controller.restoreSettingsToOriginalValues(&error));
    EXPECT_FALSE(error.isNull());
}

TEST_F(HVSettingsControllerTest, ImportReplacesStoredValuesAndTellsProviders)
{
    QStringList log;
    RecordingProvider provider(&log, &defaults);
    controller.registerDefaultsProviderForResetAll(&provider);
    defaults.setInteger(20, "size");
    defaults.setObject("mine", "kept");

    PlistDictionary imported;
    imported.insert("size", 30);
    imported.insert("kept", "theirs");
    imported.insert("other", true);
    writeFile("Import.plist", *PropertyListSerialization::dataWithPropertyList(
                                  imported, PropertyListSerialization::Format::Xml));
    ASSERT_TRUE(controller.importSettingsFromURL(dir.filePath("Import.plist"), {"kept"}));

    EXPECT_EQ(defaults.integerForKey("size"), 30);
    EXPECT_EQ(defaults.stringForKey("kept"), "mine");
    EXPECT_TRUE(defaults.boolForKey("other"));
    EXPECT_EQ(log, (QStringList{"will:20", "did:30"}));
    ASSERT_TRUE(controller.restoreSettingsToOriginalValues());
    EXPECT_EQ(defaults.integerForKey("size"), 20);
    EXPECT_FALSE(defaults.hasUserValue("other"));
}

TEST_F(HVSettingsControllerTest, ImportRefusesWhatIsNotASettingsFileAndChangesNothing)
{
    defaults.setInteger(20, "size");
    const QList<QByteArray> files = {"", "garbage", "<plist version=\"1.0\"><array/></plist>",
                                     "<plist version=\"1.0\"><dict><key>a</key>", "bplist00"};
    for (const QByteArray& bytes : files) {
        writeFile("Bad.plist", bytes);
        Error error;
        EXPECT_FALSE(controller.importSettingsFromURL(dir.filePath("Bad.plist"), {}, &error));
        EXPECT_FALSE(error.isNull());
    }
    EXPECT_FALSE(controller.importSettingsFromURL(dir.filePath("Missing.plist"), {}));
    EXPECT_EQ(defaults.integerForKey("size"), 20);
    EXPECT_FALSE(controller.canRestoreSettings());
}

TEST(HVKitTest, SetupRegistersEveryProviderClassInTheSharedDefaults)
{
    HVInitialDefaultsProviderRegistration<SizeProvider> registration("ZZSizeProvider");
    HVKit::setupKit();
    EXPECT_EQ(UserDefaults::shared().integerForKey("documentQuickZoomTargetFontSize"), 15);
    EXPECT_EQ(UserDefaults::shared().doubleForKey("documentToolbarLastHeight"), 52.0);
    EXPECT_FALSE(UserDefaults::shared().hasUserValue("documentQuickZoomTargetFontSize"));
    HVInitialDefaultsRegistry::removeProviderClass("ZZSizeProvider");
}
