// Picture cells in the script: drawing, and clicks that reach the text view's delegate in Edit mode
// only.
#include "text/OVTextAttachmentCell.h"

#include "platform/appkit/Event.h"
#include "platform/foundation/FileWrapper.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/text/TextAttachment.h"
#include "text/OVBookmark.h"
#include "text/OVBookmarkCell.h"
#include "text/OVTextView.h"

#include <QPainter>

#include <gtest/gtest.h>

namespace {

// Counts what the text view tells it about cells; handles them only when asked to.
class CellDelegate : public TextViewDelegate {
public:
    bool textViewClickedOnCell(TextView&, TextAttachmentCell& cell, const Rect& frame,
                               qsizetype index) override
    {
        ++clicks;
        lastCell = &cell;
        lastFrame = frame;
        lastIndex = index;
        return handles;
    }
    bool textViewDoubleClickedOnCell(TextView&, TextAttachmentCell&, const Rect&, qsizetype) override
    {
        ++doubleClicks;
        return handles;
    }
    bool textViewDraggedCell(TextView&, TextAttachmentCell&, const Rect&, const Event&, qsizetype) override
    {
        ++drags;
        return handles;
    }
    int clicks = 0;
    int doubleClicks = 0;
    int drags = 0;
    bool handles = true;
    TextAttachmentCell* lastCell = nullptr;
    Rect lastFrame;
    qsizetype lastIndex = -1;
};

class OVTextAttachmentCellTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QImage picture(40, 20, QImage::Format_ARGB32);
        picture.fill(Qt::red);
        // A picture the script may hold: the view keeps attachments of image types only.
        auto wrapper = FileWrapper::makeRegularFile("png bytes");
        wrapper->setPreferredFilename(QStringLiteral("picture.png"));
        attachment = std::make_shared<TextAttachment>(wrapper);
        cell = OVTextAttachmentCell::attachmentCellWithImage(picture, attachment);
        attachment->setAttachmentCell(cell);
        view = std::make_unique<OVTextView>(Rect{0, 0, 400, 200});
        view->setString(QStringLiteral("ab") + QChar(kAttachmentCharacter) + QStringLiteral("cd"));
        view->textStorage().addAttribute(kAttachmentAttributeName, attachment, {2, 1});
        view->setDelegate(&delegate);
        OVTextAttachmentCell::setContentEditableQuery([this] { return editable; });
    }
    void TearDown() override { OVTextAttachmentCell::setContentEditableQuery({}); }

    Event on(Event::Type type, int clickCount, qsizetype index = 2)
    {
        const Rect glyph = view->layoutManager()->boundingRectForGlyphRange({index, 1});
        const Point origin = view->textContainerOrigin();
        Event event;
        event.type = type;
        event.clickCount = clickCount;
        event.locationInWindow =
            view->convertPointToView({glyph.midX() + origin.x, glyph.midY() + origin.y}, nullptr);
        return event;
    }

    bool editable = true;
    std::shared_ptr<TextAttachment> attachment;
    std::shared_ptr<OVTextAttachmentCell> cell;
    std::unique_ptr<OVTextView> view;
    CellDelegate delegate;
};

} // namespace

TEST_F(OVTextAttachmentCellTest, InEditModeClicksDoubleClicksAndDragsReachTheDelegate)
{
    Event click = on(Event::Type::LeftMouseDown, 1);
    view->mouseDown(click);
    EXPECT_EQ(delegate.clicks, 1);
    EXPECT_EQ(delegate.lastCell, cell.get());
    EXPECT_EQ(delegate.lastIndex, 2);
    EXPECT_EQ(delegate.lastFrame.size.width, 40);
    EXPECT_GE(delegate.lastFrame.size.height, 20);
    Event drag = on(Event::Type::LeftMouseDragged, 1);
    view->mouseDragged(drag);
    EXPECT_EQ(delegate.drags, 1);
    Event up = on(Event::Type::LeftMouseUp, 1);
    view->mouseUp(up);

    Event doubleClick = on(Event::Type::LeftMouseDown, 2);
    view->mouseDown(doubleClick);
    EXPECT_EQ(delegate.doubleClicks, 1);
    EXPECT_EQ(delegate.clicks, 1);
    // Handled by the delegate, the click selects nothing.
    EXPECT_EQ(view->selectedRange(), Range(0, 0));
}

TEST_F(OVTextAttachmentCellTest, InPromptModeTheCellLeavesTheMouseToTheText)
{
    editable = false;
    EXPECT_FALSE(cell->wantsToTrackMouse());
    Event doubleClick = on(Event::Type::LeftMouseDown, 2);
    view->mouseDown(doubleClick);
    Event drag = on(Event::Type::LeftMouseDragged, 2);
    view->mouseDragged(drag);
    EXPECT_EQ(delegate.clicks + delegate.doubleClicks + delegate.drags, 0);
}

TEST_F(OVTextAttachmentCellTest, WithoutAnAnswerTheTextViewHandlesTheClickAsUsual)
{
    delegate.handles = false;
    Event click = on(Event::Type::LeftMouseDown, 1);
    view->mouseDown(click);
    EXPECT_EQ(delegate.clicks, 1);
    EXPECT_NE(view->selectedRange(), Range(0, 0));
    // Without a delegate at all nothing is asked and the text takes the click.
    view->setDelegate(nullptr);
    Event other = on(Event::Type::LeftMouseDown, 1, 4);
    EXPECT_FALSE(cell->trackMouse(other, {}, *view, 2));
    view->mouseDown(other);
    EXPECT_EQ(delegate.clicks, 1);
}

TEST_F(OVTextAttachmentCellTest, TheCellDrawsItsImageAndDoesNotKeepItsAttachmentAlive)
{
    EXPECT_EQ(cell->cellSize(), QSizeF(40, 20));
    EXPECT_EQ(cell->cellFrameForTextContainer({}, {}, 2), Rect(0, 0, 40, 20));
    QImage canvas(60, 30, QImage::Format_ARGB32);
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        cell->drawWithFrame(painter, QRectF(10, 5, 40, 20), 2, *view->layoutManager());
    }
    EXPECT_EQ(canvas.pixelColor(30, 15), QColor(Qt::red));
    EXPECT_EQ(canvas.pixelColor(5, 15), QColor(Qt::white));

    auto owner = std::make_shared<TextAttachment>();
    auto owned = OVTextAttachmentCell::attachmentCellWithImage(QImage(), owner);
    owner->setAttachmentCell(owned);
    std::weak_ptr<TextAttachment> watched = owner;
    EXPECT_EQ(owned->attachment(), owner);
    owner.reset();
    EXPECT_TRUE(watched.expired());
}

TEST_F(OVTextAttachmentCellTest, BookmarkCellsArePictureCellsAndAnswerClicksTheSameWay)
{
    auto marker = std::make_shared<TextAttachment>();
    auto bookmarkCell = OVBookmarkCell::cellWithBookmark(nullptr, marker);
    EXPECT_TRUE(std::dynamic_pointer_cast<OVTextAttachmentCell>(
        std::static_pointer_cast<TextAttachmentCell>(bookmarkCell)));
    EXPECT_EQ(bookmarkCell->textAttachment(), marker);
    editable = false;
    EXPECT_FALSE(bookmarkCell->wantsToTrackMouse());

    // A cell given another bookmark takes its picture again.
    int asked = 0;
    OVBookmarkCell::setImageSource([&asked](bool) {
        ++asked;
        return OVBookmarkCell::Image{QVariant(QStringLiteral("Flag")), QSizeF(34, 20)};
    });
    bookmarkCell->setBookmark(std::make_shared<OVBookmark>());
    OVBookmarkCell::setImageSource({});
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(bookmarkCell->cellSize(), QSizeF(34, 20));
}
