#include "quicklook/ThumbnailProvider.h"
#include "tests/support/CompanionPackages.h"

#include <gtest/gtest.h>

using namespace companiontest;

namespace {

TEST(ThumbnailProviderTest, FitsThePageInsideTheSizeKeepingItsShape)
{
    EXPECT_EQ(ThumbnailProvider::contextSizeForMaximumSize({256, 256}), QSize(205, 256));
    EXPECT_EQ(ThumbnailProvider::contextSizeForMaximumSize({128, 128}), QSize(102, 128));
    EXPECT_EQ(ThumbnailProvider::contextSizeForMaximumSize({640, 100}), QSize(80, 100));
    EXPECT_EQ(ThumbnailProvider::contextSizeForMaximumSize({64, 1000}), QSize(64, 80));
    EXPECT_EQ(ThumbnailProvider::contextSizeForMaximumSize({1, 1}), QSize(1, 1));
    EXPECT_TRUE(ThumbnailProvider::contextSizeForMaximumSize({0, 256}).isEmpty());
    EXPECT_TRUE(ThumbnailProvider::contextSizeForMaximumSize({256, -3}).isEmpty());
}

TEST(ThumbnailProviderTest, DrawsOnTheBackgroundOrBlack)
{
    QTemporaryDir dir;
    PackageContents contents;
    contents.backgroundColor = Color::rgb(1, 1, 1);
    const QString white = dir.filePath(QStringLiteral("White.ovdocument"));
    ASSERT_TRUE(writePackage(white, contents));
    const QString black = dir.filePath(QStringLiteral("Black.ovdocument"));
    ASSERT_TRUE(writePackage(black, PackageContents()));

    const QImage onWhite = ThumbnailProvider::provideThumbnailForFile(white, {256, 256}, nullptr);
    ASSERT_EQ(onWhite.size(), QSize(205, 256));
    EXPECT_EQ(onWhite.pixelColor(204, 255), QColor(Qt::white));
    const QImage onBlack = ThumbnailProvider::provideThumbnailForFile(black, {256, 256}, nullptr);
    EXPECT_EQ(onBlack.pixelColor(204, 255), QColor(Qt::black));
}

TEST(ThumbnailProviderTest, ShowsOnlyTheStartOfALongScript)
{
    AttributedString longText(
        QStringLiteral("word ").repeated(200000),
        {{kFontAttributeName, Font{QStringLiteral("DejaVu Sans"), QStringLiteral("DejaVuSans"), 24}},
         {kForegroundColorAttributeName, Color::rgb(1, 1, 1)}});
    const QImage page = ThumbnailProvider::drawPage(longText, Color::rgb(0, 0, 0));
    ASSERT_EQ(page.size(), QSize(640, 800));
    // Text reaches the bottom of the page, so some pixel of its last rows is not background.
    bool inked = false;
    for (int x = 0; x < page.width() && !inked; ++x)
        for (int y = 760; y < 800 && !inked; ++y)
            inked = page.pixelColor(x, y) != QColor(Qt::black);
    EXPECT_TRUE(inked);
}

TEST(ThumbnailProviderTest, AMissingContentDrawsNothing)
{
    QTemporaryDir dir;
    const QString package = dir.filePath(QStringLiteral("Gone.ovdocument"));
    ASSERT_TRUE(writePackage(package, PackageContents()));
    ASSERT_TRUE(QDir(package + QStringLiteral("/Content.rtfd")).removeRecursively());
    Error error;
    EXPECT_TRUE(ThumbnailProvider::provideThumbnailForFile(package, {256, 256}, &error).isNull());
    EXPECT_EQ(error.code(), 260);
}

} // namespace
