#include "platform/hvkit/HVSettingsController.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVInitialDefaultsProvider.h"
#include "platform/hvkit/HVKit.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

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
    // A key the program does not register is no setting, whatever it holds: it could name a
    // command or an address the program would follow.
    imported.insert("other", true);
    imported.insert("OrvaneDisplaySettingsCommand", "touch /tmp/ran");
    writeFile("Import.plist", *PropertyListSerialization::dataWithPropertyList(
                                  imported, PropertyListSerialization::Format::Xml));
    QStringList leftOut;
    ASSERT_TRUE(controller.importSettingsFromURL(dir.filePath("Import.plist"), {"kept"}, nullptr, &leftOut));

    EXPECT_EQ(defaults.integerForKey("size"), 30);
    EXPECT_EQ(defaults.stringForKey("kept"), "mine");
    EXPECT_FALSE(defaults.hasUserValue("other"));
    EXPECT_FALSE(defaults.hasUserValue("OrvaneDisplaySettingsCommand"));
    leftOut.sort();
    EXPECT_EQ(leftOut, (QStringList{"OrvaneDisplaySettingsCommand", "other"}));
    EXPECT_EQ(log, (QStringList{"will:20", "did:30"}));
    ASSERT_TRUE(controller.restoreSettingsToOriginalValues());
    EXPECT_EQ(defaults.integerForKey("size"), 20);

    // A file of nothing but such keys is refused and changes nothing.
    PlistDictionary foreign;
    foreign.insert("OrvaneDisplaySettingsCommand", "touch /tmp/ran");
    writeFile("Foreign.plist", *PropertyListSerialization::dataWithPropertyList(
                                   foreign, PropertyListSerialization::Format::Xml));
    Error error;
    EXPECT_FALSE(controller.importSettingsFromURL(dir.filePath("Foreign.plist"), {}, &error));
    EXPECT_EQ(error.localizedFailureReason(), "The file holds no settings this program can use.");
    EXPECT_EQ(defaults.integerForKey("size"), 20);
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
    // A pipe in a settings file's place is refused at once, naming the file, instead of holding
    // the program.
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("Pipe.plist")).constData(), 0600), 0);
    Error pipe;
    EXPECT_FALSE(controller.importSettingsFromURL(dir.filePath("Pipe.plist"), {}, &pipe));
    EXPECT_EQ(pipe.localizedDescription(), "The file “Pipe.plist” couldn’t be opened.");
    EXPECT_EQ(pipe.localizedFailureReason(), "It is a named pipe, not a file.");
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
