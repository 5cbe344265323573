#include "text/OVBookmarkCell.h"

#include "../support/IsolatedSettings.h"
#include "platform/foundation/FileWrapper.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/TextAttachment.h"
#include "platform/textlayout/LayoutManager.h"
#include "text/OVBookmark.h"
#include "text/OVTextView.h"

#include <QImage>

#include <gtest/gtest.h>

#include <limits>

namespace {

[[maybe_unused]] const auto* kIsolated = ::testing::AddGlobalTestEnvironment(new IsolatedSettings);

class OVBookmarkCellTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        OVBookmarkCell::installArtwork();
        OVBookmarkCell::setDisplayMode(1);
    }
    void TearDown() override
    {
        OVBookmarkCell::setImageSource({});
        OVBookmarkCell::setDisplayMode(1);
    }
    static std::shared_ptr<OVBookmarkCell> cellOf(const std::shared_ptr<TextAttachment>& attachment)
    {
        return std::dynamic_pointer_cast<OVBookmarkCell>(attachment->attachmentCell());
    }
};

TEST_F(OVBookmarkCellTest, TheIconIsScaledTo34PointsOnItsLongerSideAndDrawn)
{
    EXPECT_EQ(OVBookmarkCell::scaledToLongerSide({64, 48}, 34), QSizeF(34, 26));
    EXPECT_EQ(OVBookmarkCell::scaledToLongerSide({48, 64}, 34), QSizeF(26, 34));

    auto attachment = OVBookmark::bookmarkWithName(QStringLiteral("Intro"))->textAttachment();
    const auto cell = cellOf(attachment);
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->cellSize(), QSizeF(34, 26));

    OVTextView view(Rect(0, 0, 200, 60));
    view.setBackgroundColor(Qt::white);
    view.textStorage().setAttributedString(
        AttributedString(QString(QChar(0xFFFC)) + QStringLiteral("Intro"),
                         {{kAttachmentAttributeName, AttributeValue(attachment)}}));
    view.textStorage().removeAttribute(kAttachmentAttributeName, {1, 5});
    const QImage image = view.imageOfRect(view.bounds());
    const Rect frame = view.layoutManager()->boundingRectForGlyphRange({0, 1});
    const Point origin = view.textContainerOrigin();
    int red = 0;
    for (int y = int(frame.minY() + origin.y); y < int(frame.maxY() + origin.y); ++y)
        for (int x = int(frame.minX() + origin.x); x < int(frame.maxX() + origin.x); ++x)
            red += qRed(image.pixel(x, y)) > 150 && qGreen(image.pixel(x, y)) < 120;
    EXPECT_GT(red, 200);
}

TEST_F(OVBookmarkCellTest, OtherDisplayModesDrawNothingAndHiddenCellsShowTheAtom)
{
    auto attachment = OVBookmark::bookmarkWithName(QStringLiteral("Intro"))->textAttachment();
    const auto cell = cellOf(attachment);
    OVBookmarkCell::setDisplayMode(2);
    cell->updateImage();
    EXPECT_TRUE(cell->image().isNull());
    EXPECT_EQ(cell->cellSize(), QSizeF());

    cell->setVisible(false);
    cell->updateImage();
    ASSERT_TRUE(cell->image().canConvert<QImage>());
    EXPECT_EQ(cell->image().value<QImage>().size(), QSize(2, 2));
    EXPECT_EQ(attachment->fileWrapper()->icon().value<QImage>(), cell->image().value<QImage>());
}

TEST_F(OVBookmarkCellTest, MagnifiedPromptersShrinkTheFrameAndBrokenScalesLeaveItAlone)
{
    EXPECT_EQ(OVBookmarkCell::cellFrameSizeForScaleFactor({34, 26}, 2), QSizeF(17, 13));
    EXPECT_EQ(OVBookmarkCell::cellFrameSizeForScaleFactor({34, 26}, 1.5), QSizeF(23, 18));
    for (double broken :
         {0.0, -2.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()})
        EXPECT_EQ(OVBookmarkCell::cellFrameSizeForScaleFactor({34, 26}, broken), QSizeF(34, 26)) << broken;

    const auto cell = cellOf(OVBookmark::bookmarkWithName(QStringLiteral("A"))->textAttachment());
    EXPECT_EQ(cell->cellSizeInView(2.0), QSizeF(17, 13));
    EXPECT_EQ(cell->cellSize(), QSizeF(34, 26));
}

} // namespace
