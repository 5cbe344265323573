#include "platform/appkit/View.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

// Fills its bounds with one colour.
class Swatch : public View {
public:
    Swatch(const Rect& frame, QColor color) : View(frame), m_color(color) {}
    void drawRect(QPainter& painter, const Rect& dirty) override
    {
        painter.fillRect(QRectF(dirty.origin.x, dirty.origin.y, dirty.size.width, dirty.size.height),
                         m_color);
    }

private:
    QColor m_color;
};

QImage render(View& root)
{
    return root.imageOfRect(root.bounds());
}

} // namespace

TEST(Drawing, UnflippedViewsDrawFromTheBottomAndFlippedOnesFromTheTop)
{
    Swatch root(Rect(0, 0, 100, 100), Qt::white);
    root.addSubview(std::make_unique<Swatch>(Rect(10, 10, 20, 20), Qt::red));
    QImage image = render(root);
    EXPECT_EQ(image.pixelColor(15, 85), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(15, 15), QColor(Qt::white));

    root.setFlipped(true);
    image = render(root);
    EXPECT_EQ(image.pixelColor(15, 15), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(15, 85), QColor(Qt::white));
}

TEST(Drawing, SubviewsAreClippedToTheirBoundsAndHiddenOnesSkipped)
{
    class Overflow : public View {
    public:
        using View::View;
        void drawRect(QPainter& painter, const Rect&) override
        {
            painter.fillRect(QRectF(-50, -50, 200, 200), Qt::blue);
        }
    };
    Swatch root(Rect(0, 0, 100, 100), Qt::white);
    View* child = root.addSubview(std::make_unique<Overflow>(Rect(40, 40, 20, 20)));
    QImage image = render(root);
    EXPECT_EQ(image.pixelColor(50, 50), QColor(Qt::blue));
    EXPECT_EQ(image.pixelColor(30, 50), QColor(Qt::white));
    child->setHidden(true);
    image = render(root);
    EXPECT_EQ(image.pixelColor(50, 50), QColor(Qt::white));
}

TEST(Drawing, AlphaBlendsAndMagnifiedBoundsScaleTheDrawing)
{
    Swatch root(Rect(0, 0, 100, 100), Qt::white);
    View* half = root.addSubview(std::make_unique<Swatch>(Rect(0, 0, 50, 50), Qt::black));
    half->setAlphaValue(0.5);
    View* magnified = root.addSubview(std::make_unique<Swatch>(Rect(50, 50, 50, 50), Qt::white));
    magnified->addSubview(std::make_unique<Swatch>(Rect(0, 0, 10, 10), Qt::green));
    magnified->setBoundsSize({25, 25}); // twice as large on screen
    const QImage image = render(root);
    EXPECT_NEAR(qGray(image.pixel(25, 75)), 128, 2);
    // The green square covers 20 by 20 device pixels at the magnified view's bottom-left corner.
    EXPECT_EQ(image.pixelColor(55, 45), QColor(Qt::green));
    EXPECT_EQ(image.pixelColor(68, 32), QColor(Qt::green));
    EXPECT_EQ(image.pixelColor(72, 28), QColor(Qt::white));
}

TEST(Drawing, EmptyAndBrokenRectsGiveNoImage)
{
    Swatch root(Rect(0, 0, 0, 0), Qt::white);
    EXPECT_TRUE(root.imageOfRect(root.bounds()).isNull());
    EXPECT_TRUE(root.imageOfRect(Rect(0, 0, NAN, 10)).isNull());
    EXPECT_TRUE(root.imageOfRect(Rect(0, 0, 10, 10), 0).isNull());
}

TEST(Drawing, ALayerTransformMirrorsAboutTheCentre)
{
    Swatch root(Rect(0, 0, 100, 100), Qt::white);
    View* mirrored = root.addSubview(std::make_unique<Swatch>(Rect(0, 0, 100, 100), Qt::white));
    mirrored->addSubview(std::make_unique<Swatch>(Rect(0, 0, 20, 100), Qt::red)); // the left edge
    mirrored->setLayerTransform(QTransform::fromScale(-1, 1));
    const QImage image = render(root);
    EXPECT_EQ(image.pixelColor(90, 50), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(10, 50), QColor(Qt::white));
    mirrored->setLayerTransform(QTransform::fromScale(0, 1)); // refused: nothing could be drawn back
    EXPECT_TRUE(mirrored->layerTransform().isScaling());
    EXPECT_EQ(mirrored->layerTransform().m11(), -1);
}

TEST(Drawing, AViewBehindAnOpaqueSubviewIsNotDrawn)
{
    // Counts its own drawing; opaque when asked to be.
    class Counting : public Swatch {
    public:
        Counting(const Rect& frame, QColor color, bool opaque) : Swatch(frame, color), m_opaque(opaque) {}
        void drawRect(QPainter& painter, const Rect& dirty) override
        {
            ++draws;
            Swatch::drawRect(painter, dirty);
        }
        bool isOpaque() const override { return m_opaque; }
        int draws = 0;

    private:
        bool m_opaque;
    };
    Counting root(Rect(0, 0, 100, 100), Qt::white, false);
    // The cover sits two levels down, behind a transparent container, and is mirrored.
    auto* container = static_cast<Counting*>(root.addSubview(std::make_unique<Counting>(Rect(0, 0, 100, 100), Qt::transparent, false)));
    auto* cover = static_cast<Counting*>(container->addSubview(std::make_unique<Counting>(Rect(0, 0, 100, 100), Qt::green, true)));
    cover->setLayerTransform(QTransform::fromScale(-1, 1));
    QImage image = render(root);
    EXPECT_EQ(root.draws, 0);
    EXPECT_EQ(container->draws, 0);
    EXPECT_EQ(cover->draws, 1);
    EXPECT_EQ(image.pixelColor(50, 50), QColor(Qt::green));

    // A cover that leaves an edge open, lets light through or is turned no longer hides anything.
    cover->setFrame(Rect(0, 0, 100, 90));
    render(root);
    EXPECT_EQ(root.draws, 1);
    cover->setFrame(Rect(0, 0, 100, 100));
    cover->setAlphaValue(0.5);
    render(root);
    EXPECT_EQ(root.draws, 2);
    cover->setAlphaValue(1.0);
    cover->setLayerTransform(QTransform().rotate(10));
    image = render(root);
    EXPECT_EQ(root.draws, 3);
    EXPECT_EQ(image.pixelColor(1, 1), QColor(Qt::white));
}
