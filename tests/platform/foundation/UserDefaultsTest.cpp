#include "platform/foundation/UserDefaults.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "platform/foundation/StagingItem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

class UserDefaultsTest : public ::testing::Test {
protected:
    QString path() const { return m_dir.filePath("config/Orvane/Orvane.plist"); }

    PlistDictionary storedOnDisk() const
    {
        QFile file(path());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        const std::optional<PlistValue> value =
            PropertyListSerialization::propertyListWithData(file.readAll());
        EXPECT_TRUE(value);
        return value ? value->dictionary() : PlistDictionary();
    }

    void writeFile(const QByteArray& data) const
    {
        QDir().mkpath(QFileInfo(path()).absolutePath());
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(UserDefaultsTest, StoredValuesOverrideRegisteredOnesAndAreToldApart)
{
    UserDefaults defaults(path());
    PlistDictionary registered;
    registered.insert("enableQuickZoom", true);
    registered.insert("speedIncrement", 0.2);
    defaults.registerDefaults(registered);

    EXPECT_TRUE(defaults.boolForKey("enableQuickZoom"));
    EXPECT_FALSE(defaults.hasUserValue("enableQuickZoom"));
    defaults.setBool(false, "enableQuickZoom");
    EXPECT_FALSE(defaults.boolForKey("enableQuickZoom"));
    EXPECT_TRUE(defaults.hasUserValue("enableQuickZoom"));
    EXPECT_TRUE(defaults.registeredDefaults().value("enableQuickZoom").boolean());

    defaults.setInteger(890, "appBuildNumber");
    const PlistDictionary all = defaults.dictionaryRepresentation();
    EXPECT_EQ(all.size(), 3);
    EXPECT_FALSE(all.value("enableQuickZoom").boolean());
    EXPECT_EQ(all.value("speedIncrement").real(), 0.2);
    EXPECT_EQ(defaults.persistentDomain().size(), 2);

    defaults.removeObjectForKey("enableQuickZoom");
    EXPECT_TRUE(defaults.boolForKey("enableQuickZoom"));
    EXPECT_TRUE(defaults.objectForKey("absent").isNull());
    EXPECT_TRUE(defaults.stringForKey("absent").isNull());
}

TEST_F(UserDefaultsTest, ConvertsAsThePlatformDoes)
{
    UserDefaults defaults(path());
    const struct {
        PlistValue value;
        bool asBool;
        qint64 asInteger;
        double asDouble;
        const char* asString;
    } cases[] = {
        {PlistValue("YES"), true, 0, 0, "YES"},
        {PlistValue("yes"), true, 0, 0, "yes"},
        {PlistValue("true"), true, 0, 0, "true"},
        {PlistValue("NO"), false, 0, 0, "NO"},
        {PlistValue(" 1"), true, 1, 1, " 1"},
        {PlistValue("-007"), true, -7, -7, "-007"},
        {PlistValue("0"), false, 0, 0, "0"},
        {PlistValue("12.7px"), true, 12, 12.7, "12.7px"},
        {PlistValue("99999999999999999999"), true, std::numeric_limits<qint64>::max(), 1e20,
         "99999999999999999999"},
        {PlistValue(3.9), true, 3, 3.9, "3.9"},
        {PlistValue(-3.9), true, -3, -3.9, "-3.9"},
        {PlistValue(2.0), true, 2, 2, "2"},
        {PlistValue(0.0), false, 0, 0, "0"},
        {PlistValue(42), true, 42, 42, "42"},
        {PlistValue(true), true, 1, 1, "1"},
        {PlistValue(false), false, 0, 0, "0"},
        {PlistValue(QByteArray("YES")), false, 0, 0, nullptr},
        {PlistValue(PlistArray{PlistValue(1)}), false, 0, 0, nullptr},
    };
    for (const auto& c : cases) {
        defaults.setObject(c.value, "key");
        const QString label = defaults.stringForKey("key");
        EXPECT_EQ(defaults.boolForKey("key"), c.asBool) << label.toStdString();
        EXPECT_EQ(defaults.integerForKey("key"), c.asInteger) << label.toStdString();
        EXPECT_DOUBLE_EQ(defaults.doubleForKey("key"), c.asDouble) << label.toStdString();
        if (c.asString)
            EXPECT_EQ(defaults.stringForKey("key"), QString(c.asString));
        else
            EXPECT_TRUE(defaults.stringForKey("key").isNull());
    }
    defaults.setObject("1e999", "key");
    EXPECT_EQ(defaults.doubleForKey("key"), std::numeric_limits<double>::infinity());
    defaults.setObject("-1e-999", "key");
    EXPECT_EQ(defaults.doubleForKey("key"), 0.0);
    defaults.setDouble(1e300, "key");
    EXPECT_EQ(defaults.integerForKey("key"), std::numeric_limits<qint64>::max());
    defaults.setObject(PlistArray{PlistValue("a")}, "key");
    EXPECT_EQ(defaults.arrayForKey("key").size(), 1u);
    EXPECT_TRUE(defaults.dictionaryForKey("key").isEmpty());
    defaults.setObject(QByteArray("\x01\x02"), "key");
    EXPECT_EQ(defaults.dataForKey("key"), QByteArray("\x01\x02"));
}

TEST_F(UserDefaultsTest, PersistsStoredValuesOnlyAsAnXmlPropertyList)
{
    {
        UserDefaults defaults(path());
        PlistDictionary registered;
        registered.insert("registeredOnly", 1);
        defaults.registerDefaults(registered);
        defaults.setObject("2.5", "appVersion");
        defaults.setInteger(900, "appBuildNumber");
        Error error;
        ASSERT_TRUE(defaults.synchronize(&error)) << error.localizedFailureReason().toStdString();
    }
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist"));
    const PlistDictionary stored = storedOnDisk();
    EXPECT_EQ(stored.size(), 2);
    EXPECT_FALSE(stored.contains("registeredOnly"));

    UserDefaults reopened(path());
    EXPECT_EQ(reopened.stringForKey("appVersion"), "2.5");
    EXPECT_EQ(reopened.integerForKey("appBuildNumber"), 900);
    EXPECT_TRUE(reopened.hasUserValue("appBuildNumber"));
}

TEST_F(UserDefaultsTest, WritesOnTheNextPassOfTheEventLoop)
{
    UserDefaults defaults(path());
    defaults.setBool(true, "a");
    defaults.setBool(true, "b");
    EXPECT_FALSE(QFile::exists(path()));
    QCoreApplication::processEvents();
    EXPECT_EQ(storedOnDisk().size(), 2);
}

TEST_F(UserDefaultsTest, AFailedWriteLeavesThePreviousFileWhole)
{
    UserDefaults defaults(path());
    defaults.setObject("first", "name");
    ASSERT_TRUE(defaults.synchronize());
    // XML cannot carry a bell character: the write fails and the file keeps its old content.
    defaults.setObject(QString("ring \a"), "name");
    Error error;
    EXPECT_FALSE(defaults.synchronize(&error));
    EXPECT_EQ(error.code(), kFileWriteUnknownError);
    EXPECT_EQ(storedOnDisk().value("name").string(), "first");
    EXPECT_EQ(QDir(QFileInfo(path()).absolutePath()).entryList(QDir::Files), QStringList{"Orvane.plist"});
    defaults.setObject("second", "name");
    EXPECT_TRUE(defaults.synchronize());
    EXPECT_EQ(storedOnDisk().value("name").string(), "second");
}

TEST_F(UserDefaultsTest, TemporariesOfInterruptedWritesAreRemovedOnStartAndLiveOnesKept)
{
    writeFile("<plist><dict><key>kept</key><true/></dict></plist>");
    const QDir folder = QFileInfo(path()).absoluteDir();
    auto touch = [&](const QString& name) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("<plist><dict/></plist>");
    };
    touch("Orvane.plist.Ab12Cd");
    touch("Orvane.plist.damaged");
    touch("Orvane.plist.Ab12Cd7");
    QFile::link(folder.filePath("Orvane.plist.damaged"), folder.filePath("Orvane.plist.Lnk123"));
    // Another running program writing its settings at this moment.
    const auto live = StagingItem::make(QFile::encodeName(path() + ".XXXXXX"), StagingItem::Kind::File);
    ASSERT_TRUE(live);

    UserDefaults defaults(path());
    EXPECT_TRUE(defaults.boolForKey("kept"));
    QStringList expected{"Orvane.plist", "Orvane.plist.Ab12Cd7", "Orvane.plist.Lnk123",
                         "Orvane.plist.damaged", QFileInfo(QFile::decodeName(live->path())).fileName()};
    expected.sort();
    EXPECT_EQ(folder.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name), expected);

    // Saving goes through a locked temporary of its own and leaves none behind.
    defaults.setBool(true, "more");
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_EQ(folder.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name), expected);
    EXPECT_TRUE(storedOnDisk().value("more").boolean());
}

TEST_F(UserDefaultsTest, SetsADamagedFileAsideInsteadOfLosingIt)
{
    writeFile("<?xml version=\"1.0\"?><plist><dict><key>a</key>");
    {
        UserDefaults defaults(path());
        EXPECT_TRUE(defaults.persistentDomain().isEmpty());
        defaults.setBool(true, "fresh");
        ASSERT_TRUE(defaults.synchronize());
    }
    QFile aside(path() + ".damaged");
    ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
    EXPECT_EQ(aside.readAll(), "<?xml version=\"1.0\"?><plist><dict><key>a</key>");
    EXPECT_TRUE(storedOnDisk().value("fresh").boolean());

    // A second damaged file does not overwrite the first one set aside; nor does a non-dictionary.
    writeFile("<plist><array/></plist>");
    UserDefaults again(path());
    EXPECT_TRUE(QFile::exists(path() + ".damaged-2"));
}

TEST_F(UserDefaultsTest, ReadsABinarySettingsFile)
{
    PlistDictionary values;
    values.insert("speedIncrement", 0.5);
    writeFile(
        *PropertyListSerialization::dataWithPropertyList(values, PropertyListSerialization::Format::Binary));
    UserDefaults defaults(path());
    EXPECT_EQ(defaults.doubleForKey("speedIncrement"), 0.5);
}

TEST_F(UserDefaultsTest, ResetKeepsTheNamedKeysAndReplacementImportsWholesale)
{
    UserDefaults defaults(path());
    defaults.setObject("2020-01-01", "CrashReportSender.lastCrashDate");
    defaults.setBool(true, "moveToApplicationsFolderAlertSuppress");
    defaults.setInteger(5, "frameRateTag");
    defaults.resetUserValues({"CrashReportSender.lastCrashDate", "moveToApplicationsFolderAlertSuppress"});
    EXPECT_FALSE(defaults.hasUserValue("frameRateTag"));
    EXPECT_TRUE(defaults.hasUserValue("CrashReportSender.lastCrashDate"));
    EXPECT_TRUE(defaults.hasUserValue("moveToApplicationsFolderAlertSuppress"));

    PlistDictionary imported;
    imported.insert("defaultSpeed", 4.0);
    defaults.setPersistentDomain(imported);
    EXPECT_EQ(defaults.persistentDomain(), imported);
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_EQ(storedOnDisk(), imported);
}

TEST_F(UserDefaultsTest, ObserversHearEffectiveChangesOnly)
{
    UserDefaults defaults(path());
    QStringList heard;
    defaults.addObserver("speed",
                         [&](const QString& key) { heard.append(key + "=" + defaults.stringForKey(key)); });
    defaults.addObserver("other", [&](const QString& key) { heard.append(key); });

    PlistDictionary registered;
    registered.insert("speed", 3.0);
    defaults.registerDefaults(registered); // 3 appears
    defaults.setDouble(3.0, "speed");      // stored, but the value read is still 3
    defaults.setDouble(4.0, "speed");
    defaults.removeObjectForKey("speed"); // back to the registered 3
    defaults.setDouble(5.0, "speed");
    defaults.resetUserValues();
    PlistDictionary imported;
    imported.insert("speed", 6.0);
    defaults.setPersistentDomain(imported);
    EXPECT_EQ(heard, QStringList({"speed=3", "speed=4", "speed=3", "speed=5", "speed=3", "speed=6"}));

    // Another file read in place of this one is a change like any other, both ways.
    ASSERT_TRUE(defaults.synchronize());
    const QString elsewhere = QFileInfo(path()).absolutePath() + "/Other.plist";
    {
        UserDefaults other(elsewhere);
        other.setDouble(6.0, "speed");
        other.setBool(true, "other");
        ASSERT_TRUE(other.synchronize());
    }
    heard.clear();
    defaults.reopen(elsewhere); // speed stays 6; other appears
    defaults.reopen(path() + ".missing");
    EXPECT_EQ(heard, QStringList({"other", "speed=3", "other"}));
}

TEST_F(UserDefaultsTest, CountsReadsOfKeysNeitherStoredNorRegistered)
{
    UserDefaults defaults(path());
    PlistDictionary registered;
    registered.insert("speed", 3.0);
    defaults.registerDefaults(registered);
    defaults.setBool(true, "stored");
    // Watching a key makes every change compare values, which must not count as a reader's read.
    defaults.addObserver("missing", [](const QString&) {});
    defaults.setBool(true, "missing");
    defaults.removeObjectForKey("missing");

    EXPECT_EQ(defaults.doubleForKey("speed"), 3.0);
    EXPECT_TRUE(defaults.boolForKey("stored"));
    EXPECT_FALSE(defaults.hasUserValue("other"));
    EXPECT_EQ(defaults.unregisteredReadCount(), 0u);

    EXPECT_FALSE(defaults.boolForKey("missing"));
    EXPECT_EQ(defaults.integerForKey("missing"), 0);
    EXPECT_TRUE(defaults.dataForKey("alsoMissing").isEmpty());
    EXPECT_EQ(defaults.unregisteredReadCount(), 3u);
    EXPECT_EQ(defaults.unregisteredKeysRead(), QStringList({"alsoMissing", "missing"}));

    defaults.resetUnregisteredReads();
    EXPECT_EQ(defaults.unregisteredReadCount(), 0u);
    EXPECT_TRUE(defaults.unregisteredKeysRead().isEmpty());
}

TEST_F(UserDefaultsTest, AnObserverMayRemoveItselfOrOthersWhileCalled)
{
    UserDefaults defaults(path());
    int firstCalls = 0;
    int secondCalls = 0;
    int thirdCalls = 0;
    UserDefaults::ObserverToken first = 0;
    UserDefaults::ObserverToken third = 0;
    first = defaults.addObserver("k", [&](const QString&) {
        ++firstCalls;
        defaults.removeObserver(first);
    });
    defaults.addObserver("k", [&](const QString&) {
        ++secondCalls;
        defaults.removeObserver(third);
    });
    third = defaults.addObserver("k", [&](const QString&) { ++thirdCalls; });

    defaults.setInteger(1, "k");
    defaults.setInteger(2, "k");
    EXPECT_EQ(firstCalls, 1);
    EXPECT_EQ(secondCalls, 2);
    EXPECT_EQ(thirdCalls, 0);
}

TEST_F(UserDefaultsTest, SharedInstanceLivesInTheConfigFolder)
{
    // Keeps the test away from the real settings of whoever runs it, and only this test: the tests
    // run after it in the same process read the folders their environment names.
    QStandardPaths::setTestModeEnabled(true);
    EXPECT_TRUE(UserDefaults::defaultFilePath().endsWith("/Orvane/Orvane.plist"));
    EXPECT_EQ(&UserDefaults::shared(), &UserDefaults::shared());
    EXPECT_EQ(UserDefaults::shared().filePath(), UserDefaults::defaultFilePath());
    QStandardPaths::setTestModeEnabled(false);
}

TEST_F(UserDefaultsTest, APipeADeviceOrAHugeFileIsSetAsideWithoutBlockingOrReadingIt)
{
    QDir().mkpath(QFileInfo(path()).absolutePath());
    const QByteArray file = QFile::encodeName(path());
    const auto expectSetAside = [&](const char* what) {
        UserDefaults defaults(path());
        EXPECT_TRUE(defaults.persistentDomain().isEmpty()) << what;
        EXPECT_FALSE(defaults.setAsideFilePath().isEmpty()) << what;
        EXPECT_FALSE(QFileInfo::exists(path()) || QFileInfo(path()).isSymLink()) << what;
        // The program goes on with its settings and can write them again.
        defaults.setBool(true, "fresh");
        EXPECT_TRUE(defaults.synchronize()) << what;
        EXPECT_TRUE(QFile::remove(path())) << what;
        EXPECT_TRUE(QFile::remove(defaults.setAsideFilePath())) << what;
    };

    // Nobody ever writes into the pipe: a blocking open or read would hang here.
    ASSERT_EQ(::mkfifo(file.constData(), 0600), 0);
    expectSetAside("a pipe");

    // An endless device: a read without a limit would take all memory.
    ASSERT_EQ(::symlink("/dev/zero", file.constData()), 0);
    expectSetAside("a link to /dev/zero");

    // Past the limit, without costing the disk anything: a sparse file.
    QFile huge(path());
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    ASSERT_TRUE(huge.resize(qint64(50) << 20));
    huge.close();
    expectSetAside("a 50 MB file");

    // A readable file is read, and nothing is said about it.
    writeFile("<plist><dict><key>kept</key><true/></dict></plist>");
    UserDefaults defaults(path());
    EXPECT_TRUE(defaults.boolForKey("kept"));
    EXPECT_TRUE(defaults.setAsideFilePath().isEmpty());
}

TEST_F(UserDefaultsTest, StoredValuesTheProgramCannotUseReadAsRegisteredAndStayInTheFile)
{
    writeFile(R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>defaultSpeed</key><string>fast</string>
<key>speedIncrement</key><real>nan</real>
<key>useFocusArrow</key><data>AAEC</data>
<key>previewWindowTopFrameCoordinate</key><dict><key>y</key><real>5</real></dict>
<key>useWindowedPrompting</key><string>maybe</string>
<key>pauseSpeed</key><real>1e300</real>
<key>arrowSize</key><integer>3</integer>
<key>setPauseSpeedOnPause</key><integer>1</integer>
<key>useTimeBar</key><real>3.5</real>
<key>useMarginGuides</key><integer>-1</integer>
<key>unregistered</key><real>-inf</real>
</dict></plist>)");
    UserDefaults defaults(path());
    PlistDictionary registered;
    registered.insert("defaultSpeed", 3.0);
    registered.insert("speedIncrement", 0.2);
    registered.insert("useFocusArrow", true);
    registered.insert("previewWindowTopFrameCoordinate", 100.0);
    registered.insert("useWindowedPrompting", true);
    registered.insert("pauseSpeed", 3.0);
    registered.insert("arrowSize", qint64(2));
    registered.insert("setPauseSpeedOnPause", false);
    registered.insert("useTimeBar", false);
    registered.insert("useMarginGuides", false);
    defaults.registerDefaults(registered);
    defaults.registerRange("pauseSpeed", -1000, 1000);

    EXPECT_EQ(defaults.doubleForKey("defaultSpeed"), 3.0);
    EXPECT_EQ(defaults.doubleForKey("speedIncrement"), 0.2);
    EXPECT_TRUE(defaults.boolForKey("useFocusArrow"));
    EXPECT_EQ(defaults.doubleForKey("previewWindowTopFrameCoordinate"), 100.0);
    EXPECT_TRUE(defaults.boolForKey("useWindowedPrompting"));
    EXPECT_EQ(defaults.doubleForKey("pauseSpeed"), 3.0);
    EXPECT_EQ(defaults.objectForKey("unregistered"), PlistValue());
    EXPECT_EQ(defaults.dictionaryRepresentation().value("defaultSpeed"), PlistValue(3.0));
    // Numbers and booleans stand for each other, as they always did.
    EXPECT_EQ(defaults.integerForKey("arrowSize"), 3);
    EXPECT_TRUE(defaults.boolForKey("setPauseSpeedOnPause"));
    // But a switch stored as another number is damage, read as the registered value.
    EXPECT_FALSE(defaults.boolForKey("useTimeBar"));
    EXPECT_FALSE(defaults.boolForKey("useMarginGuides"));

    // The file keeps what it held, through a write of another setting, until the user changes it.
    defaults.setBool(true, "other");
    ASSERT_TRUE(defaults.synchronize());
    const PlistDictionary stored = storedOnDisk();
    EXPECT_EQ(stored.value("defaultSpeed"), PlistValue("fast"));
    EXPECT_TRUE(stored.value("useFocusArrow").isData());
    EXPECT_TRUE(stored.value("previewWindowTopFrameCoordinate").isDictionary());
    EXPECT_EQ(stored.value("useWindowedPrompting"), PlistValue("maybe"));
    EXPECT_EQ(stored.value("pauseSpeed"), PlistValue(1e300));
    defaults.setDouble(4.5, "defaultSpeed");
    EXPECT_EQ(defaults.doubleForKey("defaultSpeed"), 4.5);
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_EQ(storedOnDisk().value("defaultSpeed"), PlistValue(4.5));
}

TEST_F(UserDefaultsTest, ForgottenRegistrationsLeaveTheStoredValuesAndAreHeard)
{
    UserDefaults defaults(path());
    QStringList heard;
    defaults.addObserver("speed",
                         [&](const QString& key) { heard.append(key + "=" + defaults.stringForKey(key)); });
    PlistDictionary registered;
    registered.insert("speed", 3.0);
    registered.insert("enableQuickZoom", true);
    defaults.registerDefaults(registered);
    defaults.registerRange("speed", 0, 10);
    defaults.setDouble(20.0, "speed"); // out of the range: read as the registered 3
    defaults.setBool(false, "enableQuickZoom");
    EXPECT_EQ(defaults.doubleForKey("speed"), 3.0);

    defaults.resetRegistrations();
    EXPECT_TRUE(defaults.registeredDefaults().isEmpty());
    // With no range left the stored value reads as it stands.
    EXPECT_EQ(defaults.doubleForKey("speed"), 20.0);
    EXPECT_FALSE(defaults.boolForKey("enableQuickZoom"));
    EXPECT_TRUE(defaults.hasUserValue("enableQuickZoom"));
    defaults.removeObjectForKey("speed");
    EXPECT_TRUE(defaults.objectForKey("speed").isNull());
    EXPECT_EQ(heard, QStringList({"speed=3", "speed=20", "speed="}));
}
