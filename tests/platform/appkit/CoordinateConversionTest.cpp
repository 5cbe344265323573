#include "platform/appkit/GlobalCoordinates.h"
#include "platform/appkit/QtScreenProvider.h"
#include "platform/appkit/View.h"
#include "platform/appkit/Window.h"

#include "TestSupport.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

void expectPoint(const Point& actual, double x, double y)
{
    EXPECT_NEAR(actual.x, x, 1e-9);
    EXPECT_NEAR(actual.y, y, 1e-9);
}

const QRect kPrimary(0, 0, 1280, 800);

Rect convertedFrame(const QRect& geometry)
{
    return QtScreenProvider::screenFromQtGeometry("S", {}, geometry, geometry, kPrimary, 1.0, 60.0).frame();
}

} // namespace

TEST(ViewCoordinates, UnflippedChildInUnflippedParent)
{
    View root(Rect(0, 0, 400, 300));
    View* child = root.addSubview(std::make_unique<View>(Rect(50, 20, 100, 80)));
    expectPoint(child->convertPointToView({10, 10}, &root), 60, 30);
    expectPoint(child->convertPointFromView({60, 30}, &root), 10, 10);
}

TEST(ViewCoordinates, FlippedChildCountsFromItsTopEdge)
{
    View root(Rect(0, 0, 400, 300));
    auto flipped = std::make_unique<View>(Rect(50, 20, 100, 80));
    flipped->setFlipped(true);
    View* child = root.addSubview(std::move(flipped));
    // The flipped child's (0, 0) is its top-left: y 100 in the unflipped parent.
    expectPoint(child->convertPointToView({0, 0}, &root), 50, 100);
    expectPoint(child->convertPointToView({10, 80}, &root), 60, 20);
    expectPoint(child->convertPointFromView({60, 90}, &root), 10, 10);
}

TEST(ViewCoordinates, UnflippedChildInsideFlippedParent)
{
    View root(Rect(0, 0, 400, 300));
    root.setFlipped(true);
    View* child = root.addSubview(std::make_unique<View>(Rect(50, 20, 100, 80)));
    // The child's origin is its bottom-left, which in the flipped parent lies at y 20 + 80.
    expectPoint(child->convertPointToView({0, 0}, &root), 50, 100);
    expectPoint(child->convertPointToView({0, 80}, &root), 50, 20);
}

TEST(ViewCoordinates, BoundsOriginAndScaleMoveTheContent)
{
    View root(Rect(0, 0, 400, 300));
    View* child = root.addSubview(std::make_unique<View>(Rect(0, 0, 200, 200)));
    child->setBounds(Rect(10.5, 100.25, 100, 100)); // magnified twice, scrolled fractionally
    expectPoint(child->convertPointToView({10.5, 100.25}, &root), 0, 0);
    expectPoint(child->convertPointToView({20.5, 110.25}, &root), 20, 20);
    const Rect inRoot = child->convertRectToView(Rect(10.5, 100.25, 50, 50), &root);
    EXPECT_DOUBLE_EQ(inRoot.size.width, 100);
}

TEST(ViewCoordinates, ConversionBetweenSiblingsGoesThroughTheWindow)
{
    View root(Rect(0, 0, 400, 300));
    View* a = root.addSubview(std::make_unique<View>(Rect(10, 10, 50, 50)));
    auto flipped = std::make_unique<View>(Rect(100, 100, 50, 50));
    flipped->setFlipped(true);
    View* b = root.addSubview(std::move(flipped));
    const Point p = a->convertPointToView({5, 5}, b);
    expectPoint(b->convertPointToView(p, a), 5, 5);
}

TEST(ViewCoordinates, ZeroSizedViewsNeitherCrashNorHit)
{
    View root(Rect(0, 0, 100, 100));
    View* empty = root.addSubview(std::make_unique<View>(Rect(10, 10, 0, 0)));
    EXPECT_EQ(root.hitTest({10, 10}), &root);
    const Point converted = empty->convertPointFromView({10, 10}, &root);
    EXPECT_TRUE(std::isfinite(converted.x));
    empty->setBoundsSize({0, 0});
    EXPECT_EQ(empty->visibleRect().size.width, 0);
}

TEST(ViewCoordinates, RefusesFramesAndBoundsThatAreNotFinite)
{
    View view(Rect(0, 0, 100, 100));
    view.setFrame(Rect(NAN, 0, 10, 10));
    view.setFrame(Rect(0, 0, INFINITY, 10));
    view.setBoundsOrigin({0, NAN});
    view.setFrameSize({-5, 10});
    EXPECT_EQ(view.frame(), Rect(0, 0, 100, 100));
    EXPECT_EQ(view.bounds(), Rect(0, 0, 100, 100));
}

TEST(GlobalCoordinates, QtRectsFlipAroundThePrimaryScreen)
{
    const QPointF primaryTopLeft(0, 0);
    const QRectF qt = qtRectFromGlobal(Rect(100, 50, 300, 200), primaryTopLeft, 800);
    EXPECT_EQ(qt, QRectF(100, 550, 300, 200));
    EXPECT_EQ(globalRectFromQt(qt, primaryTopLeft, 800), Rect(100, 50, 300, 200));
    EXPECT_EQ(qtPointFromGlobal({0, 0}, primaryTopLeft, 800), QPointF(0, 800));
    expectPoint(globalPointFromQt(QPointF(0, 0), primaryTopLeft, 800), 0, 800);
}

TEST(GlobalCoordinates, PrimaryScreenAwayFromQtsOrigin)
{
    // An X11 layout with the primary output right of another one.
    const QPointF primaryTopLeft(1920, 0);
    EXPECT_EQ(globalRectFromQt(QRectF(1920, 0, 1280, 800), primaryTopLeft, 800), Rect(0, 0, 1280, 800));
    EXPECT_EQ(globalRectFromQt(QRectF(0, 0, 1920, 1080), primaryTopLeft, 800), Rect(-1920, -280, 1920, 1080));
}

TEST(GlobalCoordinates, SecondScreenRightOfLeftOfAndAboveThePrimary)
{
    // Top-aligned to the right: its bottom is 280 points below the primary's.
    EXPECT_EQ(convertedFrame(QRect(1280, 0, 1920, 1080)), Rect(1280, -280, 1920, 1080));
    EXPECT_EQ(convertedFrame(QRect(-1920, 0, 1920, 1080)), Rect(-1920, -280, 1920, 1080));
    // Above: Qt's negative y becomes y above the primary's height.
    EXPECT_EQ(convertedFrame(QRect(0, -1080, 1920, 1080)), Rect(0, 800, 1920, 1080));
    EXPECT_EQ(convertedFrame(kPrimary), Rect(0, 0, 1280, 800));
}

TEST(Screens, TheTwoScreenLayoutIsSeenThroughQt)
{
    const std::vector<Screen> screens = ScreenProvider::shared().screens();
    if (QGuiApplication::screens().size() < 2)
        GTEST_SKIP() << "run with the two-screen offscreen configuration";
    ASSERT_EQ(screens.size(), 2u);
    EXPECT_EQ(screens[0].name(), "Operator");
    EXPECT_EQ(screens[0].frame(), Rect(0, 0, 1280, 800));
    EXPECT_EQ(screens[1].name(), "Talent");
    EXPECT_EQ(screens[1].frame(), Rect(1280, -280, 1920, 1080));
    EXPECT_DOUBLE_EQ(screens[1].refreshRate(), 60.0);
    EXPECT_NE(screens[0].displayID(), screens[1].displayID());
    EXPECT_EQ(Screen::primaryScreen()->name(), "Operator");
}

TEST(Screens, AWindowOnTheSecondScreenKnowsItsScreenAndGlobalPoints)
{
    if (QGuiApplication::screens().size() < 2)
        GTEST_SKIP() << "run with the two-screen offscreen configuration";
    Window window(Rect(1500, 0, 400, 300), Window::Borderless);
    window.orderFront();
    ASSERT_TRUE(window.screen().has_value());
    EXPECT_EQ(window.screen()->name(), "Talent");
    // Qt's geometry is the y-up frame flipped around the primary screen's height.
    EXPECT_EQ(window.hostWidget()->geometry(), QRect(1500, 500, 400, 300));
    EXPECT_EQ(window.hostWidget()->screen()->name(), "Talent");
    expectPoint(window.convertPointToScreen({10, 20}), 1510, 20);
    expectPoint(window.convertPointFromScreen({1510, 20}), 10, 20);
    window.orderOut();
}
