#include "platform/hvkit/HVAnalytics.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/UserDefaults.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <limits>

namespace {

class HVAnalyticsTest : public ::testing::Test {
protected:
    void SetUp() override { Clock::setShared(&clock); }
    void TearDown() override { Clock::setShared(nullptr); }

    QString path() const { return dir.filePath("Analytics.plist"); }

    QTemporaryDir dir;
    ManualClock clock{1000.0};
};

} // namespace

TEST_F(HVAnalyticsTest, CountersSurviveReloadingFromDisk)
{
    {
        HVAnalytics store(path());
        store.incrementIntegerForKeyPath("documents.propertyEdits");
        EXPECT_EQ(store.incrementIntegerForKeyPath("documents.propertyEdits"), 2);
        store.incrementIntegerForKeyPath("bookmarks.bookmarksAdded", 3);
    }
    HVAnalytics reloaded(path());
    ASSERT_TRUE(reloaded.load());
    EXPECT_EQ(reloaded.integerForKeyPath("documents.propertyEdits"), 2);
    EXPECT_EQ(reloaded.integerForKeyPath("bookmarks.bookmarksAdded"), 3);
    EXPECT_EQ(reloaded.integerForKeyPath("never.counted"), 0);
}

TEST_F(HVAnalyticsTest, RaisesOnlyWhenLarger)
{
    HVAnalytics store;
    store.raiseIntegerForKeyPath("promptMode.largestPromptedDocumentCharacterCount", 500);
    store.raiseIntegerForKeyPath("promptMode.largestPromptedDocumentCharacterCount", 200);
    EXPECT_EQ(store.integerForKeyPath("promptMode.largestPromptedDocumentCharacterCount"), 500);
    store.raiseDoubleForKeyPath("promptMode.fastestSpeedPrompted", 2.5);
    store.raiseDoubleForKeyPath("promptMode.fastestSpeedPrompted", std::numeric_limits<double>::quiet_NaN());
    store.raiseDoubleForKeyPath("promptMode.fastestSpeedPrompted", 1.0);
    EXPECT_DOUBLE_EQ(store.doubleForKeyPath("promptMode.fastestSpeedPrompted"), 2.5);
}

TEST_F(HVAnalyticsTest, TimesAccumulateFromTheClock)
{
    HVAnalytics store;
    store.startTimeForKeyPath("promptMode.time");
    clock.advance(90);
    EXPECT_DOUBLE_EQ(store.stopTimeForKeyPath("promptMode.time"), 90);
    store.startTimeForKeyPath("promptMode.time");
    clock.advance(30);
    store.stopTimeForKeyPath("promptMode.time");
    EXPECT_DOUBLE_EQ(store.doubleForKeyPath("promptMode.time"), 120);
    EXPECT_DOUBLE_EQ(store.stopTimeForKeyPath("promptMode.time"), 0); // not running

    store.applicationDidBecomeActive();
    clock.advance(15);
    EXPECT_DOUBLE_EQ(store.appActiveTime(), 15);
    store.applicationDidResignActive();
    clock.advance(15);
    EXPECT_DOUBLE_EQ(store.appActiveTime(), 15);
}

TEST_F(HVAnalyticsTest, SwitchedOffStoreCountsNothing)
{
    HVAnalytics store;
    store.setEnabled(false);
    store.incrementIntegerForKeyPath("modeChanges");
    store.setObjectForKeyPath("Screen", "promptMode.screens.operator.name");
    EXPECT_EQ(store.integerForKeyPath("modeChanges"), 0);
    EXPECT_FALSE(store.objectForKeyPath("promptMode.screens.operator.name").isValid());
}

TEST_F(HVAnalyticsTest, HeldChangesAreWrittenWhenPersistingResumes)
{
    HVAnalytics store(path());
    store.setPersistsChanges(false);
    store.incrementIntegerForKeyPath("modeChanges");
    EXPECT_FALSE(QFile::exists(path()));
    store.setPersistsChanges(true);
    HVAnalytics reloaded(path());
    ASSERT_TRUE(reloaded.load());
    EXPECT_EQ(reloaded.integerForKeyPath("modeChanges"), 1);
}

TEST_F(HVAnalyticsTest, SumsADictionaryAndIgnoresWhatIsNotACount)
{
    HVAnalytics store;
    store.incrementIntegerForKeyPath("hotkeys.toggleStart", 4);
    store.incrementIntegerForKeyPath("hotkeys.scroll.lineDown", 2);
    store.setObjectForKeyPath("text", "hotkeys.name");
    store.incrementIntegerForKeyPath("hotkeys.negative", -5);
    EXPECT_EQ(store.unsignedIntegerSumForDictionaryObjectForKeyPath("hotkeys"), 6u);
    EXPECT_EQ(store.unsignedIntegerSumForDictionaryObjectForKeyPath("hotkeys.toggleStart"), 0u);
}

TEST_F(HVAnalyticsTest, CountersSaturateAndBadKeyPathsChangeNothing)
{
    HVAnalytics store;
    store.incrementIntegerForKeyPath("big", std::numeric_limits<qint64>::max());
    EXPECT_EQ(store.incrementIntegerForKeyPath("big"), std::numeric_limits<qint64>::max());
    for (const char* bad : {"", ".", "a..b", "a.", "1.2.3.4.5.6.7.8.9"})
        EXPECT_EQ(store.incrementIntegerForKeyPath(bad), 0) << bad;
    store.incrementDocumentOpenedForFileExtension("tar.gz");
    EXPECT_EQ(store.integerForKeyPath("documents.opened.tar_gz"), 1);
}

TEST_F(HVAnalyticsTest, ResetStartsANewRecord)
{
    HVAnalytics store;
    store.recordAppLaunch();
    store.recordAppLaunch();
    EXPECT_EQ(store.appLaunchCount(), 2);
    const QString uuid = store.metaUUID();
    EXPECT_FALSE(uuid.isEmpty());
    EXPECT_TRUE(store.metaInitialDate().isValid());
    store.reset();
    EXPECT_EQ(store.appLaunchCount(), 0);
    EXPECT_NE(store.metaUUID(), uuid);
}

TEST_F(HVAnalyticsTest, TheLaunchesBeforeThisOneStayKnownOnceItIsCounted)
{
    {
        HVAnalytics first(path());
        EXPECT_EQ(first.earlierAppLaunchCount(), 0);
        first.recordAppLaunch();
        EXPECT_EQ(first.appLaunchCount(), 1);
        EXPECT_EQ(first.earlierAppLaunchCount(), 0);
    }
    HVAnalytics second(path());
    ASSERT_TRUE(second.load());
    EXPECT_EQ(second.earlierAppLaunchCount(), 1);
    second.recordAppLaunch();
    EXPECT_EQ(second.appLaunchCount(), 2);
    EXPECT_EQ(second.earlierAppLaunchCount(), 1);
}

TEST_F(HVAnalyticsTest, RejectsMalformedFiles)
{
    const QList<QByteArray> files = {
        "", "{", "[1,2]", "\"text\"", QByteArray(5 * 1024 * 1024, ' '), QByteArray(100000, '[')};
    for (const QByteArray& bytes : files) {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        HVAnalytics store(path());
        Error error;
        EXPECT_FALSE(store.load(&error)) << bytes.left(20).toStdString();
        EXPECT_FALSE(error.isNull());
        EXPECT_EQ(store.integerForKeyPath("anything"), 0);
    }
}

TEST_F(HVAnalyticsTest, WrongTypesInTheFileReadAsZero)
{
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>modeChanges</key><string>many</string>
<key>promptMode</key><integer>3</integer>
<key>big</key><real>1e300</real>
<key>when</key><date>2026-01-01T00:00:00Z</date>
<key>huge</key><integer>18446744073709551615</integer>
</dict></plist>)");
    file.close();
    HVAnalytics store(path());
    ASSERT_TRUE(store.load());
    EXPECT_EQ(store.integerForKeyPath("modeChanges"), 0);
    EXPECT_EQ(store.integerForKeyPath("promptMode.time"), 0);
    EXPECT_EQ(store.incrementIntegerForKeyPath("modeChanges"), 1);
    EXPECT_EQ(store.incrementIntegerForKeyPath("promptMode.sessions.singleScreen"), 1);
    EXPECT_EQ(store.integerForKeyPath("big"), std::numeric_limits<qint64>::max());
    EXPECT_EQ(store.integerForKeyPath("huge"), std::numeric_limits<qint64>::max());
    EXPECT_FALSE(store.objectForKeyPath("when").isValid());
}

TEST_F(HVAnalyticsTest, TextTheFileCannotHoldIsCleanedBeforeStoring)
{
    HVAnalytics store(path());
    store.setObjectForKeyPath(QString("Built-in\x01 Display") + QChar(0xD800),
                              "promptMode.screens.operator.name");
    store.incrementIntegerForKeyPath("modeChanges");
    HVAnalytics reloaded(path());
    ASSERT_TRUE(reloaded.load());
    EXPECT_EQ(reloaded.objectForKeyPath("promptMode.screens.operator.name").toString(), "Built-in Display");
    EXPECT_EQ(reloaded.integerForKeyPath("modeChanges"), 1);
}

TEST_F(HVAnalyticsTest, OldStatisticsFromTheUserDefaultsAreAddedOnce)
{
    UserDefaults defaults(dir.filePath("Orvane.plist"));
    PlistDictionary promptMode;
    promptMode.insert("statusChanges", 7);
    PlistDictionary old;
    old.insert("promptMode", promptMode);
    old.insert("modeChanges", 3);
    old.insert("note", "kept");
    defaults.setObject(old, "userStats");

    HVAnalytics store;
    store.incrementIntegerForKeyPath("modeChanges", 2);
    store.setObjectForKeyPath("mine", "note");
    ASSERT_TRUE(store.migrateFromUserDefaultsKey(defaults, "userStats"));
    EXPECT_EQ(store.integerForKeyPath("modeChanges"), 5);
    EXPECT_EQ(store.integerForKeyPath("promptMode.statusChanges"), 7);
    EXPECT_EQ(store.objectForKeyPath("note").toString(), "mine");
    EXPECT_FALSE(defaults.hasUserValue("userStats"));
    EXPECT_FALSE(store.migrateFromUserDefaultsKey(defaults, "userStats"));
}
