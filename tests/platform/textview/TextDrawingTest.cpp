#include "platform/appkit/ClipView.h"
#include "platform/textview/TextView.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

namespace {

enum class Hue { Red, Blue, Selection };

bool matches(QRgb pixel, Hue hue)
{
    const int r = qRed(pixel);
    const int g = qGreen(pixel);
    const int b = qBlue(pixel);
    switch (hue) {
    case Hue::Red:
        return r > 150 && g < 110 && b < 110;
    case Hue::Blue:
        return b > 150 && r < 110 && g < 110;
    case Hue::Selection:
        return std::abs(r - 0xB3) < 6 && std::abs(g - 0xD7) < 6 && std::abs(b - 0xFF) < 6;
    }
    return false;
}

// How many pixels of the hue lie inside rect (image pixels).
int countIn(const QImage& image, const QRectF& rect, Hue hue)
{
    int count = 0;
    const QRect area = rect.toAlignedRect() & image.rect();
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += matches(image.pixel(x, y), hue);
    return count;
}

AttributeDictionary colored(const Color& color)
{
    return {
        {kFontAttributeName, Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica-Bold"), 24, true}},
        {kForegroundColorAttributeName, color}};
}

std::unique_ptr<TextView> styledView()
{
    auto view = std::make_unique<TextView>(Rect(0, 0, 300, 100));
    view->setVerticallyResizable(false);
    TextStorage& storage = view->textStorage();
    storage.append(QStringLiteral("HHHH "), colored(Color::rgb(1, 0, 0)));
    storage.append(QStringLiteral("MMMM"), colored(Color::rgb(0, 0, 1)));
    return view;
}

QRectF rectOf(const TextView& view, const Range& range)
{
    const Rect rect = view.layoutManager()->boundingRectForGlyphRange(range);
    const Point origin = view.textContainerOrigin();
    return QRectF(rect.minX() + origin.x, rect.minY() + origin.y, rect.width(), rect.height());
}

} // namespace

TEST(TextDrawingTest, GlyphsOfEachColourLandWhereTheLayoutSays)
{
    auto view = styledView();
    const QImage image = view->imageOfRect(view->bounds());
    const QRectF red = rectOf(*view, {0, 4});
    const QRectF blue = rectOf(*view, {5, 4});
    EXPECT_GT(countIn(image, red, Hue::Red), 50);
    EXPECT_EQ(countIn(image, red, Hue::Blue), 0);
    EXPECT_GT(countIn(image, blue, Hue::Blue), 50);
    EXPECT_EQ(countIn(image, blue, Hue::Red), 0);
    // Nothing coloured below the line.
    EXPECT_EQ(countIn(image, QRectF(0, red.bottom() + 2, 300, 40), Hue::Red), 0);
}

TEST(TextDrawingTest, SelectionAndTemporaryBackgroundsAreDrawnUnderTheGlyphs)
{
    auto view = styledView();
    view->setForcesActive(true);
    view->setSelectedRange({5, 4});
    view->layoutManager()->addTemporaryAttribute(kTemporaryBackgroundColorAttributeName, Color::rgb(0, 1, 0),
                                                 {0, 2});
    const QImage image = view->imageOfRect(view->bounds());
    const QRectF selected = rectOf(*view, {5, 4});
    EXPECT_GT(countIn(image, selected, Hue::Selection), 100);
    EXPECT_GT(countIn(image, selected, Hue::Blue), 50);
    const QRectF marked = rectOf(*view, {0, 2});
    int green = 0;
    const QRect area = marked.toAlignedRect() & image.rect();
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            green += qGreen(image.pixel(x, y)) > 200 && qRed(image.pixel(x, y)) < 60;
    EXPECT_GT(green, 100);
    // Inactive, the selection takes the inactive colour.
    view->setForcesActive(false);
    const QImage inactive = view->imageOfRect(view->bounds());
    EXPECT_EQ(countIn(inactive, selected, Hue::Selection), 0);
}

TEST(TextDrawingTest, ScrolledByAFractionScaledAndMirroredTheGlyphsFollow)
{
    ClipView clip(Rect(0, 0, 300, 60));
    auto* view = static_cast<TextView*>(clip.setDocumentView(styledView()));
    view->setFrameSize({300, 200});
    clip.scrollToPoint({0, 10.5});
    const QImage scrolled = clip.imageOfRect(clip.bounds());
    const QRectF red = rectOf(*view, {0, 4}).translated(0, -10.5);
    EXPECT_GT(countIn(scrolled, red, Hue::Red), 30);
    EXPECT_EQ(countIn(scrolled, red, Hue::Blue), 0);

    // Twice the magnification: the clip view shows half as many points.
    clip.setBoundsSize({150, 30});
    clip.scrollToPoint({0, 0});
    const QImage scaled = clip.imageOfRect(clip.bounds(), 1.0);
    const QRectF base = rectOf(*view, {5, 4});
    const QRectF doubled(base.x() * 2, base.y() * 2, base.width() * 2, base.height() * 2);
    // The image covers the bounds (150 x 30 points), so map back: the test renders the clip view's
    // own frame instead through its superview-free drawing.
    QImage frameImage(300, 60, QImage::Format_ARGB32_Premultiplied);
    frameImage.fill(Qt::white);
    {
        QPainter painter(&frameImage);
        // The clip view's superview space is y-up: the device transform turns it over.
        clip.drawTree(painter, QTransform(1, 0, 0, -1, 0, 60), QRectF(0, 0, 300, 60));
    }
    EXPECT_GT(countIn(frameImage, doubled.intersected(QRectF(0, 0, 300, 60)), Hue::Blue), 50);
    EXPECT_GT(scaled.width(), 0);

    // Mirrored by the painter, as the talent view draws: red lands on the right.
    clip.setBoundsSize({300, 60});
    QImage mirrored(300, 60, QImage::Format_ARGB32_Premultiplied);
    mirrored.fill(Qt::white);
    {
        QPainter painter(&mirrored);
        clip.drawTree(painter, QTransform(-1, 0, 0, -1, 300, 60), QRectF(0, 0, 300, 60));
    }
    const QRectF redBox = rectOf(*view, {0, 4});
    const QRectF flipped(300 - redBox.right(), redBox.top(), redBox.width(), redBox.height());
    EXPECT_GT(countIn(mirrored, flipped, Hue::Red), 30);
    EXPECT_EQ(countIn(mirrored, redBox, Hue::Red), 0);
}

TEST(TextDrawingTest, TheCaretIsDrawnInItsColourOnlyWhenShown)
{
    auto view = styledView();
    view->setForcesActive(true);
    view->setSelectedRange({9, 0});
    view->setInsertionPointColor(QColor(255, 0, 0));
    ASSERT_TRUE(view->insertionPointIsShown());
    const Rect caret = view->insertionPointRect();
    const QRectF caretBox(caret.minX() - 1, caret.minY(), 3, caret.height());
    EXPECT_GT(countIn(view->imageOfRect(view->bounds()), caretBox, Hue::Red), 5);
    view->setEditable(false);
    EXPECT_EQ(countIn(view->imageOfRect(view->bounds()), caretBox, Hue::Red), 0);
}

TEST(TextDrawingTest, TwoViewsDrawOneLayoutManagerAlike)
{
    auto first = styledView();
    TextView second(Rect(0, 0, 300, 100));
    second.setVerticallyResizable(false);
    second.setLayoutManager(first->layoutManager());
    EXPECT_EQ(second.string(), first->string());
    EXPECT_EQ(first->layoutManager()->firstTextView(), first.get());
    EXPECT_EQ(first->layoutManager()->textViews().size(), 2u);
    EXPECT_EQ(first->imageOfRect(first->bounds()), second.imageOfRect(second.bounds()));
    // An edit through one shows in both.
    first->textStorage().addAttribute(kForegroundColorAttributeName, Color::rgb(0, 0, 1), {0, 4});
    const QImage again = second.imageOfRect(second.bounds());
    EXPECT_EQ(countIn(again, rectOf(second, {0, 4}), Hue::Red), 0);
    EXPECT_EQ(first->imageOfRect(first->bounds()), again);
    // A view that goes away leaves the shared layout manager to the other.
    const std::shared_ptr<LayoutManager> shared = first->layoutManager();
    first.reset();
    EXPECT_EQ(shared->firstTextView(), &second);
}

TEST(TextDrawingTest, LinesDeepInLaterParagraphsAreDrawn)
{
    // Wrapped lines of a first paragraph, then a red one: every line must reach the screen, not only
    // those of the first paragraph's first line.
    TextView view(Rect(0, 0, 200, 300));
    view.setVerticallyResizable(false);
    view.textStorage().append(QStringLiteral("one two three four five six seven eight nine ten\n"),
                              colored(Color::gray(0)));
    view.textStorage().append(QStringLiteral("HHHH HHHH"), colored(Color::rgb(1, 0, 0)));
    view.textStorage().append(QStringLiteral("\nMMMM"), colored(Color::rgb(0, 0, 1)));
    ASSERT_GT(view.layoutManager()->numberOfLines(), 3);
    const QImage image = view.imageOfRect(view.bounds());
    const qsizetype redStart = view.string().indexOf(QLatin1Char('H'));
    EXPECT_GT(countIn(image, rectOf(view, {redStart, 4}), Hue::Red), 50);
    EXPECT_GT(countIn(image, rectOf(view, {view.string().size() - 4, 4}), Hue::Blue), 50);
    // Drawing only a strip in the middle still draws the lines inside it.
    QImage strip(200, 300, QImage::Format_ARGB32_Premultiplied);
    strip.fill(Qt::white);
    {
        QPainter painter(&strip);
        const QRectF red = rectOf(view, {redStart, 4});
        view.displayRectIgnoringOpacity(Rect(0, red.top(), 200, red.height()), painter);
    }
    EXPECT_GT(countIn(strip, QRectF(0, 0, 200, rectOf(view, {redStart, 4}).height()), Hue::Red), 50);
}
