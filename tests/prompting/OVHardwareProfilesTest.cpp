#include "CoreTestSupport.h"

#include "platform/foundation/Gzip.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "platform/hvkit/HVGPUInfo.h"
#include "prompting/OVHardwareProfiles.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

ArchiveDictionary dictionaryOf(std::initializer_list<std::pair<QString, ArchiveValue>> entries)
{
    ArchiveDictionary dictionary;
    for (const auto& [key, value] : entries)
        dictionary.insert(key, value);
    return dictionary;
}

ArchiveValue profile(ArchiveDictionary condition, qint64 videoMemoryState)
{
    return dictionaryOf({{"Condition", condition},
                         {"Override", dictionaryOf({{"VideoMemoryState", videoMemoryState},
                                                    {"TextureUploadsState", qint64(4)},
                                                    {"CanCaptureDisplays", qint64(1)}})}});
}

QByteArray fileOf(const ArchiveValue& root)
{
    return gzip(KeyedArchiver::archivedData(root));
}

QByteArray listFile(qint64 version, ArchiveArray profiles)
{
    return fileOf(dictionaryOf({{"Version", version}, {"Profiles", profiles}}));
}

const ArchiveDictionary kOldMacBook =
    dictionaryOf({{"HardwareName", "MacBook2,1"}, {"VideoCardName", "GMA 950"}});

OVHardwareFacts oldMacBook()
{
    return {QStringLiteral("MacBook2,1"), {QStringLiteral("Intel GMA 950 Rev 2")}, 64};
}

OVHardwareProfile chosen(const QByteArray& file, const OVHardwareFacts& facts)
{
    QString error;
    const std::optional<OVHardwareProfiles::List> list =
        OVHardwareProfiles::readDownloadedProfiles(file, &error);
    EXPECT_TRUE(list) << error.toStdString();
    return OVHardwareProfiles::firstMatch(
        OVHardwareProfiles::orderedProfiles(OVHardwareProfiles::builtInProfiles(),
                                            list.value_or(OVHardwareProfiles::List{})),
        facts);
}

// A keyed archive whose only array holds itself.
QByteArray cyclicFile()
{
    PlistDictionary arrayEntry;
    arrayEntry.insert("NS.objects", PlistArray{PlistUid{1}});
    arrayEntry.insert("$class", PlistUid{2});
    PlistDictionary classEntry;
    classEntry.insert("$classname", "NSArray");
    classEntry.insert("$classes", PlistArray{"NSArray", "NSObject"});
    PlistDictionary top;
    top.insert("root", PlistUid{1});
    PlistDictionary archive;
    archive.insert("$archiver", "NSKeyedArchiver");
    archive.insert("$objects", PlistArray{"$null", arrayEntry, classEntry});
    archive.insert("$top", top);
    archive.insert("$version", 100000);
    return gzip(
        *PropertyListSerialization::dataWithPropertyList(archive, PropertyListSerialization::Format::Binary));
}

} // namespace

TEST(OVHardwareProfilesTest, TheVersionDecidesWhoseProfileIsTriedFirst)
{
    const QByteArray newer = listFile(2, {profile(kOldMacBook, 2)});
    EXPECT_EQ(chosen(newer, oldMacBook()).videoMemoryState, 2);
    const QByteArray older = listFile(1, {profile(kOldMacBook, 2)});
    EXPECT_EQ(chosen(older, oldMacBook()).videoMemoryState, 0);
    // Without a version the file is not used at all.
    const QByteArray unversioned = fileOf(dictionaryOf({{"Profiles", ArchiveArray{profile({}, 2)}}}));
    EXPECT_EQ(chosen(unversioned, {}).videoMemoryState, -1);
    // Behind a built-in profile that does not hold, a version-1 one still gets its turn.
    EXPECT_EQ(chosen(listFile(1, {profile(dictionaryOf({{"VideoMemoryTotal", qint64(512)}}), 3)}),
                     {QStringLiteral("Desktop"), {}, 512})
                  .videoMemoryState,
              3);
}

TEST(OVHardwareProfilesTest, ConditionsMatchAsTheyAreMeant)
{
    OVHardwareProfile gma;
    gma.videoCardName = QStringLiteral("GMA 950");
    EXPECT_TRUE(OVHardwareProfiles::matches(
        gma, {{}, {QStringLiteral("Mesa"), QStringLiteral("Intel GMA 950 Rev 2")}, 0}));
    EXPECT_FALSE(OVHardwareProfiles::matches(gma, {{}, {QStringLiteral("Intel GMA 900")}, 0}));
    // The built-in profile names a Mac: no Linux machine matches it.
    EXPECT_FALSE(OVHardwareProfiles::matches(
        OVHardwareProfiles::builtInProfiles().front(),
        {QStringLiteral("ThinkPad T480"), {QStringLiteral("Mesa Intel(R) UHD Graphics 620")}, 0}));
    EXPECT_TRUE(OVHardwareProfiles::matches(OVHardwareProfile{}, {}));
}

TEST(OVHardwareProfilesTest, MalformedProfilesAreSkippedAndTheRestKept)
{
    const ArchiveValue wrongField = dictionaryOf(
        {{"Condition", dictionaryOf({{"VideoMemoryTotal", "lots"}})}, {"Override", dictionaryOf({})}});
    const ArchiveValue noCondition =
        dictionaryOf({{"Override", dictionaryOf({{"VideoMemoryState", qint64(1)}})}});
    const ArchiveValue wrongOverride = dictionaryOf(
        {{"Condition", dictionaryOf({})}, {"Override", dictionaryOf({{"VideoMemoryState", 2.5}})}});
    const QByteArray file = listFile(2, {wrongField, noCondition, wrongOverride, "text", profile({}, 3)});
    QString error;
    const auto list = OVHardwareProfiles::readDownloadedProfiles(file, &error);
    ASSERT_TRUE(list);
    ASSERT_EQ(list->profiles.size(), 1u);
    EXPECT_EQ(list->profiles.front().videoMemoryState, 3);
}

TEST(OVHardwareProfilesTest, HostileFilesFallBackToTheBuiltInListWithTheLogLine)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("HardwareProfiles");
    const QByteArray good = listFile(2, {profile({}, 3)});
    QByteArray bomb = gzip(QByteArray(8 << 20, '\0'));
    const QByteArray dataInside =
        fileOf(dictionaryOf({{"Version", qint64(2)}, {"Profiles", QByteArray("x")}}));
    const std::vector<QByteArray> hostile{
        good.left(good.size() / 2),
        bomb,
        fileOf(dictionaryOf({{"Version", "2"}})),
        fileOf(dictionaryOf({{"Version", qint64(2)}, {"Profiles", "none"}})),
        fileOf(ArchiveArray{qint64(1)}),
        dataInside,
        cyclicFile(),
        QByteArray("not gzip at all"),
    };
    for (const QByteArray& bytes : hostile) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        LogCapture log;
        EXPECT_EQ(OVHardwareProfiles::profilesWithDownloadedFile(path),
                  OVHardwareProfiles::builtInProfiles());
        EXPECT_TRUE(log.contains(QStringLiteral("downloadedProfilesData error:  ")))
            << log.lines.join('\n').toStdString();
    }
    // A missing file is no error.
    QFile::remove(path);
    LogCapture quiet;
    EXPECT_EQ(OVHardwareProfiles::profilesWithDownloadedFile(path), OVHardwareProfiles::builtInProfiles());
    EXPECT_TRUE(quiet.lines.isEmpty());
}

class OVCoreHardwareProfileTest : public CoreTest {
protected:
    void SetUp() override
    {
        CoreTest::SetUp();
        facts.info = [] {
            HVGPUInfo info;
            info.renderer = QStringLiteral("Intel GMA 950 Rev 2");
            info.videoMemoryMB = 64;
            return info;
        };
        facts.gpuCount = [] { return 1; };
        facts.modelName = [] { return QStringLiteral("MacBook2,1"); };
        HVGPUInfo::setFacts(&facts);
        writeProfiles(listFile(2, {profile(kOldMacBook, 2)}));
    }
    void TearDown() override
    {
        HVGPUInfo::setFacts(nullptr);
        CoreTest::TearDown();
    }
    void writeProfiles(const QByteArray& bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    void makeProfiledCore()
    {
        makeCore();
        core->setDownloadedHardwareProfilesPath(path);
    }

    HVGPUInfo::Facts facts;
    QTemporaryDir folder;
    QString path = folder.filePath("HardwareProfiles");
};

TEST_F(OVCoreHardwareProfileTest, TheCoreChoosesAndCachesTheFirstMatch)
{
    makeProfiledCore();
    EXPECT_EQ(core->_profileWindowLocationOption(), 2);
    EXPECT_EQ(core->_profileBackingOption(), 4);
    EXPECT_EQ(core->_profileCaptureDisplayState(), 1);
    // Cached: a new file is read only after an update notice.
    writeProfiles(listFile(2, {profile(kOldMacBook, 3)}));
    EXPECT_EQ(core->_profileWindowLocationOption(), 2);
    NotificationCenter::shared().postNotification(OVHardwareProfileDidUpdateNotification);
    EXPECT_EQ(core->_profileWindowLocationOption(), 3);
}

TEST_F(OVCoreHardwareProfileTest, SwitchedOffProfilesOverrideNothing)
{
    defaults().setBool(false, QStringLiteral("enableHardwareProfiles"));
    makeProfiledCore();
    EXPECT_FALSE(core->_hardwareProfile());
    EXPECT_EQ(core->_profileWindowLocationOption(), -1);
    EXPECT_EQ(core->_profileBackingOption(), -1);
    EXPECT_EQ(core->_profileCaptureDisplayState(), -1);
}

TEST_F(OVCoreHardwareProfileTest, AnUpdateDuringPromptModeWaitsForEditMode)
{
    makeProfiledCore();
    EXPECT_EQ(core->_profileWindowLocationOption(), 2);
    core->enterPromptMode();
    writeProfiles(listFile(2, {profile(kOldMacBook, 3)}));
    NotificationCenter::shared().postNotification(OVHardwareProfileDidUpdateNotification);
    EXPECT_EQ(core->_profileWindowLocationOption(), 2);
    core->enterEditMode();
    EXPECT_EQ(core->_profileWindowLocationOption(), 3);
}

TEST_F(OVCoreHardwareProfileTest, RenderingChoicesAreRecordedOnTheViews)
{
    // Both option tags automatic: nothing is touched.
    makeProfiledCore();
    core->enterPromptMode();
    EXPECT_FALSE(controller.scrollView->wantsLayer());
    core->enterEditMode();

    // Layers for the operator asked for: recorded while prompting, given back after.
    defaults().setInteger(2, QStringLiteral("coreAnimationOptionTag"));
    defaults().setInteger(0, QStringLiteral("quartzGLOptionTag"));
    core->enterPromptMode();
    EXPECT_TRUE(controller.scrollView->wantsLayer());
    core->enterEditMode();
    EXPECT_FALSE(controller.scrollView->wantsLayer());
}
