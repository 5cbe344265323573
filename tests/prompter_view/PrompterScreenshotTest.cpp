#include "PrompterViewTestSupport.h"

#include "platform/appkit/RectFunctions.h"
#include "prompter_view/OVPrompterTileGeometry.h"
#include "prompter_view/OVScrollView.h"

#include <QPainter>

namespace {

constexpr double kLineHeight = 20;

// A script whose first line is a black band across the top.
class FirstLineDocument : public View {
public:
    explicit FirstLineDocument(const Rect& frame) : View(frame) { setFlipped(true); }
    void drawRect(QPainter& painter, const Rect&) override
    {
        painter.fillRect(QRectF(0, 0, bounds().size.width, kLineHeight), Qt::black);
    }
};

bool isArrowBlue(const QColor& c)
{
    return c.alpha() > 200 && c.blue() > 200 && c.red() < 80 && c.green() > 120 && c.green() < 220;
}

bool isInk(const QColor& c)
{
    return c.alpha() > 200 && c.red() < 40 && c.green() < 40 && c.blue() < 40;
}

// Image rows run top down; the views' rectangles are y-up.
QRect imageRect(const Rect& rect, double height)
{
    return QRect(int(rect.origin.x), int(height - rect.maxY()), int(rect.size.width), int(rect.size.height));
}

class PrompterScreenshotTest : public PrompterViewTest {
protected:
    // Lays a text, an arrow and a bar out by the tile geometry, as a prompter view does.
    void lay(bool horizontally, bool vertically)
    {
        container = std::make_unique<View>(Rect{0, 0, 800, 400});
        scroll = container->addSubview(std::make_unique<OVScrollView>(
            Rect{0, 0, 800, 400}, std::make_unique<FirstLineDocument>(Rect{0, 0, 800, 2000})));
        arrow = container->addSubview(std::make_unique<OVFocusArrowView>(Rect{0, 0, 0, 400}));
        bar = container->addSubview(std::make_unique<OVTimeBar>(Rect{0, 0, 800, 0}));
        input.size = {800, 400};
        input.timeBarVisible = true;
        input.timeBarHeight = bar->frameHeight();
        input.timeBarPosition = OVTimeBar::kPositionTop;
        input.focusArrowVisible = true;
        input.focusArrowWidth = arrow->frame().size.width;
        input.reservedScrollerWidth = Scroller::scrollerWidth(Scroller::Style::Overlay);
        input.horizontallyFlipped = horizontally;
        input.verticallyFlipped = vertically;
        geometry = OVPrompterTileGeometry::tile(input);
        scroll->setFrame(geometry.content);
        arrow->setFrame(geometry.focusArrow);
        bar->setFrame(geometry.timeBar);
        arrow->setFlippedHorizontally(horizontally);
        arrow->setFlippedVertically(vertically);
        bar->setFlippedHorizontally(horizontally);
        bar->setFlippedVertically(vertically);
        // The text mirrors as a whole, the way the prompter view flips it.
        scroll->setLayerTransform(QTransform::fromScale(horizontally ? -1 : 1, vertically ? -1 : 1));
        image = container->imageOfRect(container->bounds());
    }

    std::unique_ptr<View> container;
    OVScrollView* scroll = nullptr;
    OVFocusArrowView* arrow = nullptr;
    OVTimeBar* bar = nullptr;
    OVPrompterTileGeometry::Input input;
    OVPrompterTileGeometry::Result geometry;
    QImage image;
};

TEST_F(PrompterScreenshotTest, AHorizontallyFlippedArrowLandsRightOfTheTextPointingBack)
{
    lay(true, false);
    const QRect arrowArea = imageRect(geometry.focusArrow, 400);
    const QRect blue = pixelBounds(image, isArrowBlue);
    ASSERT_FALSE(blue.isEmpty());
    EXPECT_TRUE(arrowArea.contains(blue))
        << blue.x() << "," << blue.y() << " " << blue.width() << "x" << blue.height();
    EXPECT_GE(geometry.focusArrow.minX(), geometry.content.maxX());
    // The arrow's centre row is where the engine reads it: arrowCenterFromOrigin below the arrow's top.
    const double centre = (blue.top() + blue.bottom() + 1) / 2.0;
    EXPECT_NEAR(centre, arrowArea.top() - arrow->arrowCenterFromOrigin(), 3.0);
    // Mirrored, the tip points left, at the text: the leftmost blue pixels sit on the centre row.
    const QRect tip = pixelBounds(image.copy(blue.left(), blue.top(), 3, blue.height()), isArrowBlue);
    EXPECT_NEAR(blue.top() + (tip.top() + tip.bottom() + 1) / 2.0, centre, 3.0);

    // The first line fills the top of the text area, and nothing of it leaks under the arrow or bar.
    const QRect textArea = imageRect(geometry.content, 400);
    const QRect ink = pixelBounds(image.copy(textArea), isInk);
    EXPECT_EQ(ink, QRect(0, 0, textArea.width(), int(kLineHeight)));
}

TEST_F(PrompterScreenshotTest, AVerticallyFlippedPrompterShowsTheArrowAndFirstLineUpsideDown)
{
    lay(false, false);
    const QRect straightBlue = pixelBounds(image, isArrowBlue);
    const QRect straightArea = imageRect(geometry.focusArrow, 400);
    lay(false, true);
    const QRect blue = pixelBounds(image, isArrowBlue);
    ASSERT_FALSE(blue.isEmpty());
    const QRect arrowArea = imageRect(geometry.focusArrow, 400);
    EXPECT_TRUE(arrowArea.contains(blue));
    // The bar went to the bottom and the arrow's strip to the top; in it the arrow is the mirror image
    // of the straight one, its centre arrowCenterFromOrigin above the strip's bottom.
    EXPECT_EQ(arrowArea.top(), 0);
    EXPECT_EQ(arrowArea.height(), straightArea.height());
    EXPECT_EQ(blue.top() - arrowArea.top(), straightArea.bottom() - straightBlue.bottom());
    EXPECT_EQ(blue.height(), straightBlue.height());
    EXPECT_NEAR((blue.top() + blue.bottom() + 1) / 2.0,
                arrowArea.bottom() + 1 + arrow->arrowCenterFromOrigin(), 3.0);

    const QRect textArea = imageRect(geometry.content, 400);
    const QRect ink = pixelBounds(image.copy(textArea), isInk);
    EXPECT_EQ(ink, QRect(0, textArea.height() - int(kLineHeight), textArea.width(), int(kLineHeight)));
}

} // namespace
