#include "tests/support/CompanionPackages.h"
#include "tests/support/HostilePackages.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace companiontest;

namespace {

const QString kMdimport = QStringLiteral(ORVANE_MDIMPORT);

std::vector<QJsonObject> lines(const QByteArray& output)
{
    std::vector<QJsonObject> objects;
    for (const QByteArray& line : output.split('\n')) {
        if (!line.isEmpty())
            objects.push_back(QJsonDocument::fromJson(line).object());
    }
    return objects;
}

TEST(MdimportProcessTest, PrintsOneObjectPerFileAndFailsWhenAnyFileFails)
{
    QTemporaryDir dir;
    const QString good = dir.filePath(QStringLiteral("Good.ovdocument"));
    PackageContents contents;
    contents.bookmarks = {0, 11};
    contents.backgroundColor = Color::rgb(1, 1, 1);
    contents.extendedMetadata.insert(QStringLiteral("director"), PlistValue(QStringLiteral("Dee")));
    ASSERT_TRUE(writePackage(good, contents));
    const QString missing = dir.filePath(QStringLiteral("Missing.ovdocument"));

    const ProcessResult both = runLimited(kMdimport, {good, missing});
    ASSERT_TRUE(both.finished);
    EXPECT_EQ(both.exitCode, 1);
    const auto objects = lines(both.standardOutput);
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(objects[0].value(QStringLiteral("path")).toString(), good);
    EXPECT_TRUE(objects[0].value(QStringLiteral("imported")).toBool());
    const QJsonObject attributes = objects[0].value(QStringLiteral("attributes")).toObject();
    EXPECT_EQ(attributes.value(QStringLiteral("kMDItemTextContent")).toString(),
              QStringLiteral("Hello world"));
    EXPECT_EQ(attributes.value(QStringLiteral("kMDItemDirector")).toString(), QStringLiteral("Dee"));
    EXPECT_EQ(attributes.value(QStringLiteral("org_orvane_orvane_ovdocument_bookmarkcount")).toInt(), 2);
    EXPECT_FALSE(objects[1].value(QStringLiteral("imported")).toBool());
    EXPECT_FALSE(objects[1].contains(QStringLiteral("attributes")));

    const ProcessResult one = runLimited(kMdimport, {good});
    EXPECT_EQ(one.exitCode, 0);
}

TEST(MdimportProcessTest, ReadsTheSampleScript)
{
    const ProcessResult result = runLimited(kMdimport, {QStringLiteral(ORVANE_SAMPLE_SCRIPT)});
    ASSERT_TRUE(result.finished);
    ASSERT_EQ(result.exitCode, 0) << result.standardError.constData();
    const auto objects = lines(result.standardOutput);
    ASSERT_EQ(objects.size(), 1u);
    const QJsonObject attributes = objects[0].value(QStringLiteral("attributes")).toObject();
    EXPECT_FALSE(attributes.value(QStringLiteral("kMDItemTextContent")).toString().isEmpty());
    EXPECT_FALSE(attributes.value(QStringLiteral("kMDItemTextContent")).toString().contains(QChar(0xFFFC)));
    EXPECT_FALSE(attributes.value(QStringLiteral("kMDItemFonts")).toArray().isEmpty());
}

TEST(MdimportProcessTest, HostilePackagesFailCleanlyWithinLimits)
{
    QTemporaryDir dir;
    for (const auto& [name, path] : hostiletest::makeAll(QDir(dir.path()))) {
        const ProcessResult result = runLimited(kMdimport, {path}, 20000, rlim_t(1) << 30);
        EXPECT_TRUE(result.finished) << qPrintable(name);
        EXPECT_FALSE(result.crashed) << qPrintable(name);
        EXPECT_TRUE(result.exitCode == 0 || result.exitCode == 1)
            << qPrintable(name) << " " << result.exitCode;
        EXPECT_FALSE(result.standardOutput.contains("root:")) << qPrintable(name);
    }
}

TEST(MdimportProcessTest, WithoutFilesItExplainsItsUse)
{
    const ProcessResult result = runLimited(kMdimport, {});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(result.standardError.contains("usage"));
}

} // namespace
