#include "quicklook/OVQuickLookContent.h"
#include "tests/support/CompanionPackages.h"
#include "tests/support/HostilePackages.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QRegularExpression>

using namespace companiontest;

namespace {

const QString kThumbnail = QStringLiteral(ORVANE_THUMBNAIL);
const QString kPreview = QStringLiteral(ORVANE_PREVIEW);

class QuickLookProcessTest : public ::testing::Test {
protected:
    QString package(const QString& name, const PackageContents& contents)
    {
        const QString path = dir.filePath(name + QStringLiteral(".ovdocument"));
        EXPECT_TRUE(writePackage(path, contents));
        return path;
    }
    QString output(const QString& name) const { return dir.filePath(name + QStringLiteral(".png")); }

    QTemporaryDir dir;
};

TEST_F(QuickLookProcessTest, ThumbnailsKeepThePageShapeOnTheBackground)
{
    PackageContents white;
    white.backgroundColor = Color::rgb(1, 1, 1);
    white.bookmarks = {0, 11};
    white.images = {QStringLiteral("photo.png")};
    const QString onWhite = package(QStringLiteral("White"), white);
    ASSERT_EQ(runLimited(kThumbnail, {"-s", "256", onWhite, output("white")}).exitCode, 0);
    const QImage whiteImage(output("white"));
    EXPECT_EQ(whiteImage.size(), QSize(205, 256));
    EXPECT_EQ(whiteImage.pixelColor(0, 255), QColor(Qt::white));

    const QString onBlack = package(QStringLiteral("Black"), PackageContents());
    ASSERT_EQ(runLimited(kThumbnail, {"-s", "128", QUrl::fromLocalFile(onBlack).toString(), output("black")})
                  .exitCode,
              0);
    const QImage blackImage(output("black"));
    EXPECT_EQ(blackImage.size(), QSize(102, 128));
    EXPECT_EQ(blackImage.pixelColor(101, 0), QColor(Qt::black));

    ASSERT_EQ(runLimited(kThumbnail, {"-s", "256", QStringLiteral(ORVANE_SAMPLE_SCRIPT), output("sample")})
                  .exitCode,
              0);
    EXPECT_EQ(QImage(output("sample")).size(), QSize(205, 256));
}

TEST_F(QuickLookProcessTest, ThumbnailFailuresWriteNoFile)
{
    EXPECT_EQ(runLimited(kThumbnail, {"-s", "256"}).exitCode, 4);
    const QString gone = package(QStringLiteral("Gone"), PackageContents());
    ASSERT_TRUE(QDir(gone + QStringLiteral("/Content.rtfd")).removeRecursively());
    const ProcessResult unreadable = runLimited(kThumbnail, {"-s", "256", gone, output("gone")});
    EXPECT_NE(unreadable.exitCode, 0);
    EXPECT_FALSE(QFile::exists(output("gone")));
    const QString fine = package(QStringLiteral("Fine"), PackageContents());
    EXPECT_NE(runLimited(kThumbnail, {"-s", "0", fine, output("zero")}).exitCode, 0);
    EXPECT_FALSE(QFile::exists(output("zero")));
}

TEST_F(QuickLookProcessTest, PreviewRendersItsFirstScreenWithVisibleKnobs)
{
    PackageContents dark;
    dark.text = QStringLiteral("A line of the script.\n").repeated(400);
    const QString onBlack = package(QStringLiteral("Dark"), dark);
    const ProcessResult result = runLimited(kPreview, {"--png", output("dark"), onBlack});
    ASSERT_EQ(result.exitCode, 0) << result.standardError.constData();
    const QImage image(output("dark"));
    ASSERT_EQ(image.size(), QSize(640, 800));
    EXPECT_EQ(image.pixelColor(2, 790), QColor(Qt::black));
    // The vertical knob sits at the top of the right edge: light on a black script.
    const QColor knob = image.pixelColor(image.width() - 6, 20);
    EXPECT_GT(knob.lightnessF(), 0.6) << qPrintable(knob.name());

    PackageContents light = dark;
    light.backgroundColor = Color::rgb(1, 1, 1);
    ASSERT_EQ(
        runLimited(kPreview, {"--png", output("light"), package(QStringLiteral("Light"), light)}).exitCode,
        0);
    const QImage lightImage(output("light"));
    EXPECT_EQ(lightImage.pixelColor(2, 790), QColor(Qt::white));
    EXPECT_LT(lightImage.pixelColor(lightImage.width() - 6, 20).lightnessF(), 0.4);

    EXPECT_EQ(
        runLimited(kPreview, {"--png", output("sample"), QStringLiteral(ORVANE_SAMPLE_SCRIPT)}).exitCode, 0);
}

TEST_F(QuickLookProcessTest, PreviewErrorsLeaveNoFile)
{
    const QString notNative = dir.filePath(QStringLiteral("folder"));
    QDir().mkpath(notNative);
    const ProcessResult result = runLimited(kPreview, {"--png", output("none"), notNative});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_FALSE(result.standardError.isEmpty());
    EXPECT_FALSE(QFile::exists(output("none")));
}

TEST_F(QuickLookProcessTest, HostilePackagesFailCleanlyWithinLimitsNamingTheFileAndTheFault)
{
    auto packages = hostiletest::makeAll(QDir(dir.path()));
    // A package that is a link to itself, and one whose text is past the bound (sparse: it costs
    // the disk nothing).
    const QString loop = dir.filePath(QStringLiteral("loop.ovdocument"));
    ASSERT_TRUE(QFile::link(loop, loop));
    packages.emplace_back(QStringLiteral("package a loop of links"), loop);
    const QString large = hostiletest::rawPackage(QDir(dir.path()), QStringLiteral("large"), "{\\rtf1 x}");
    QFile text(large + QStringLiteral("/Content.rtfd/TXT.rtf"));
    ASSERT_TRUE(text.resize(OVQuickLookContent::kMaxContentBytes + 1));
    packages.emplace_back(QStringLiteral("text past the bound"), large);
    for (const auto& [name, path] : packages) {
        for (const QString& program : {kThumbnail, kPreview}) {
            const QString out = output(QStringLiteral("hostile"));
            const QStringList arguments =
                program == kThumbnail ? QStringList{"-s", "256", path, out} : QStringList{"--png", out, path};
            const ProcessResult result = runLimited(program, arguments, 20000, rlim_t(2) << 30);
            EXPECT_TRUE(result.finished) << qPrintable(name) << " " << qPrintable(program);
            EXPECT_FALSE(result.crashed) << qPrintable(name) << " " << qPrintable(program);
            EXPECT_TRUE(result.exitCode == 0 || result.exitCode == 1)
                << qPrintable(name) << " " << qPrintable(program) << " " << result.exitCode;
            if (result.exitCode == 1) {
                // The message names the file and says what is wrong, never a bare error number.
                const QString said = QString::fromUtf8(result.standardError);
                EXPECT_TRUE(said.contains(path)) << qPrintable(name) << ": " << qPrintable(said);
                EXPECT_FALSE(said.contains(QStringLiteral("couldn’t be completed")))
                    << qPrintable(name) << ": " << qPrintable(said);
                EXPECT_FALSE(said.contains(QRegularExpression(QStringLiteral("error \\d"))))
                    << qPrintable(name) << ": " << qPrintable(said);
            }
            QFile::remove(out);
        }
    }
}

} // namespace
