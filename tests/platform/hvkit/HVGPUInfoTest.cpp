#include "platform/hvkit/HVGPUInfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

void write(const QString& path, const QByteArray& contents)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

} // namespace

TEST(HVGPUInfoTest, CountsDrmDevicesButNotTheirConnectors)
{
    QTemporaryDir drm;
    for (const char* entry : {"card0", "card0-HDMI-A-1", "card0-eDP-1", "card1", "renderD128", "version"})
        QDir(drm.path()).mkpath(entry);
    EXPECT_EQ(HVGPUInfo::countDrmCards(drm.path()), 2);
    EXPECT_EQ(HVGPUInfo::countDrmCards(drm.filePath("missing")), 0);
}

TEST(HVGPUInfoTest, VideoMemoryComesFromTheDriverWhereItTellsIt)
{
    QTemporaryDir drm;
    QDir(drm.path()).mkpath("card0/device");
    EXPECT_EQ(HVGPUInfo::videoMemoryMBFromDrm(drm.path()), 0);
    write(drm.filePath("card1/device/mem_info_vram_total"), "8589934592\n");
    EXPECT_EQ(HVGPUInfo::videoMemoryMBFromDrm(drm.path()), 8192);
    write(drm.filePath("card1/device/mem_info_vram_total"), "garbage");
    EXPECT_EQ(HVGPUInfo::videoMemoryMBFromDrm(drm.path()), 0);
}

TEST(HVGPUInfoTest, TheModelNameIsTheDmiProductNameOrUnknown)
{
    QTemporaryDir dmi;
    write(dmi.filePath("product_name"), "ThinkPad T480\n");
    EXPECT_EQ(HVGPUInfo::modelNameFromDmi(dmi.filePath("product_name")), "ThinkPad T480");
    write(dmi.filePath("empty"), "\n");
    EXPECT_EQ(HVGPUInfo::modelNameFromDmi(dmi.filePath("empty")), "unknown");
    EXPECT_EQ(HVGPUInfo::modelNameFromDmi(dmi.filePath("missing")), "unknown");
}

TEST(HVGPUInfoTest, InstalledFactsStandInForTheMachine)
{
    HVGPUInfo::Facts facts;
    facts.info = [] {
        HVGPUInfo info;
        info.renderer = "Test Renderer";
        return info;
    };
    facts.gpuCount = [] { return 3; };
    facts.modelName = [] { return QStringLiteral("Test Model"); };
    HVGPUInfo::setFacts(&facts);
    EXPECT_EQ(HVGPUInfo::infoWithScreen(nullptr).names(), QStringList{"Test Renderer"});
    EXPECT_EQ(HVGPUInfo::numberOfGPUs(), 3);
    EXPECT_EQ(HVGPUInfo::hardwareModelName(), "Test Model");
    HVGPUInfo::setFacts(nullptr);
    EXPECT_TRUE(HVGPUInfo().names().isEmpty());
}
