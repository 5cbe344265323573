#include "PrompterViewTestSupport.h"

#include "platform/foundation/KeyedArchiver.h"
#include "platform/hvkit/HVSettingsController.h"

#include <QAction>
#include <QMenu>

#include <cmath>
#include <limits>

namespace {

class FocusArrowTest : public PrompterViewTest {
protected:
    static QAction* actionTitled(QMenu& menu, const QString& title)
    {
        for (QAction* action : menu.actions())
            if (action->text() == title)
                return action;
        return nullptr;
    }
    static PlistDictionary storedSettings()
    {
        return UserDefaults::shared().dictionaryForKey(QStringLiteral("focusArrowSettings"));
    }
};

TEST_F(FocusArrowTest, GeometryScalesTheImageToTheWidthAndPlacesItByRatio)
{
    const auto g = OVFocusArrowView::geometryFor({100, 600}, {50, 40}, 0.75, false, false);
    EXPECT_EQ(g.k, 2);
    EXPECT_EQ(g.drawnWidth, 100);
    EXPECT_EQ(g.drawnHeight, 80);
    EXPECT_EQ(g.y, 410);
    EXPECT_EQ(g.arrowCenterFromOrigin, -150);
    EXPECT_EQ(g.scaledImageBounds, Rect(0, 410, 100, 81));

    const auto top = OVFocusArrowView::geometryFor({100, 600}, {50, 40}, 1.0, false, false);
    EXPECT_EQ(top.y + top.drawnHeight, 600);
    const auto bottom = OVFocusArrowView::geometryFor({100, 600}, {50, 40}, 0.0, false, false);
    EXPECT_EQ(bottom.y, 0);
}

TEST_F(FocusArrowTest, MirroredGeometryPutsTheTrackingRectangleAtTheMirrorImage)
{
    const auto plain = OVFocusArrowView::geometryFor({50, 600}, {50, 40}, 0.75, false, false);
    const auto both = OVFocusArrowView::geometryFor({50, 600}, {50, 40}, 0.75, true, true);
    EXPECT_EQ(both.scaledImageBounds.origin.x, 50 - plain.scaledImageBounds.maxX());
    EXPECT_EQ(both.scaledImageBounds.origin.y, 600 - plain.scaledImageBounds.maxY());
    EXPECT_EQ(both.arrowCenterFromOrigin, plain.arrowCenterFromOrigin);
    // An image too narrow to scale draws nothing rather than dividing by zero.
    EXPECT_EQ(OVFocusArrowView::geometryFor({50, 600}, {0.5, 40}, 0.5, false, false).k, 0);
}

TEST_F(FocusArrowTest, TablesOfSizesColoursAndStyles)
{
    for (int size = 0; size < 5; ++size)
        EXPECT_EQ(OVFocusArrowView::widthForArrowSize(size), 50.0 * (size + 1));
    EXPECT_EQ(OVFocusArrowView::widthForArrowSize(-5), 50);
    EXPECT_EQ(OVFocusArrowView::widthForArrowSize(17), 50);

    EXPECT_EQ(*OVFocusArrowView::colorForFocusArrowColor(7), QColor::fromRgbF(0.0f, 0.7f, 1.0f, 1.0f));
    EXPECT_EQ(*OVFocusArrowView::colorForFocusArrowColor(2), QColor::fromRgbF(1.0f, 0.0f, 0.2f, 1.0f));
    EXPECT_FALSE(OVFocusArrowView::colorForFocusArrowColor(9));
    EXPECT_FALSE(OVFocusArrowView::colorForFocusArrowColor(-1));

    EXPECT_EQ(OVFocusArrowView::imageStringForStyle(0), ">");
    EXPECT_EQ(OVFocusArrowView::imageStringForStyle(1), QString(QChar(0x25B6)));
    EXPECT_EQ(OVFocusArrowView::imageStringForStyle(2), QString(QChar(0x25B8)));
    EXPECT_EQ(OVFocusArrowView::imageStringForStyle(3), QString(QChar(0x27A4)));
    EXPECT_TRUE(OVFocusArrowView::imageStringForStyle(4).isNull());
}

TEST_F(FocusArrowTest, ANewArrowTakesTheInitialDefaultsAndAResetReturnsToThem)
{
    OVFocusArrowView arrow(Rect{0, 0, 0, 600});
    EXPECT_EQ(arrow.imageTintColor(), *OVFocusArrowView::colorForFocusArrowColor(7));
    EXPECT_EQ(arrow.locationRatio(), 0.75);
    EXPECT_EQ(arrow.arrowStyle(), 1);
    EXPECT_EQ(arrow.arrowSize(), 0);
    EXPECT_FALSE(arrow.isPositionLocked());
    EXPECT_EQ(arrow.frame().size.width, 50);
    EXPECT_EQ(arrow.properties(), OVFocusArrowView::initialDefaultProperties());

    arrow.setArrowSize(4);
    arrow.setLocationRatio(0.1);
    arrow.setPositionLocked(true);
    arrow.setImageTintColor(Qt::red);
    ASSERT_TRUE(HVSettingsController::shared().resetAllSettingsPreservingKeys({}));
    EXPECT_EQ(arrow.properties(), OVFocusArrowView::initialDefaultProperties());
    EXPECT_EQ(arrow.frame().size.width, 50);
}

TEST_F(FocusArrowTest, SettingsOutOfRangeFromTheDefaultsAreIgnoredKeyByKey)
{
    PlistDictionary damaged;
    damaged.insert("arrowSize", PlistValue(qint64(-5)));
    damaged.insert("arrowStyle", PlistValue(qint64(17)));
    damaged.insert("locationRatio", PlistValue(std::numeric_limits<double>::quiet_NaN()));
    damaged.insert("imageTintColor", PlistValue(QByteArray("not an archive")));
    damaged.insert("positionLocked", PlistValue(QString("maybe")));
    UserDefaults::shared().setObject(PlistValue(damaged), "focusArrowSettings");
    OVFocusArrowView arrow(Rect{0, 0, 0, 600});
    EXPECT_EQ(arrow.arrowSize(), 0);
    EXPECT_EQ(arrow.arrowStyle(), 1);
    EXPECT_EQ(arrow.locationRatio(), 0.75);
    EXPECT_EQ(arrow.imageTintColor(), *OVFocusArrowView::colorForFocusArrowColor(7));
    EXPECT_FALSE(arrow.isPositionLocked());
    EXPECT_EQ(arrow.frame().size.width, 50);

    PlistDictionary partly;
    partly.insert("locationRatio", PlistValue(3.0));
    partly.insert("arrowSize", PlistValue(2.5));
    partly.insert("arrowStyle", PlistValue(qint64(3)));
    arrow.loadProperties(partly);
    EXPECT_EQ(arrow.locationRatio(), 0.75);
    EXPECT_EQ(arrow.arrowSize(), 0);
    EXPECT_EQ(arrow.arrowStyle(), 3);
    arrow.loadProperties(std::nullopt);
    EXPECT_EQ(arrow.arrowStyle(), 3);
}

TEST_F(FocusArrowTest, SynchronisedChangesReachEveryArrowWithoutEchoAndWriteOnce)
{
    OVFocusArrowView::enableGlobalSynchronizedPropertyChanges();
    OVFocusArrowView a(Rect{0, 0, 0, 600}), b(Rect{0, 0, 0, 400}), c(Rect{0, 0, 0, 300});
    NotificationCounter internal(OVFocusArrowInternalDidChangePropertiesNotification);
    NotificationCounter published(OVFocusArrowDidChangePropertiesNotification);
    DefaultsWriteCounter writes("focusArrowSettings");

    std::unique_ptr<QMenu> menu = a.menuForEvent(mouseEvent(Event::Type::RightMouseDown, 1, 1));
    ASSERT_TRUE(menu);
    EXPECT_FALSE(actionTitled(*menu, "Use Focus Arrow as Default"));
    QAction* large = actionTitled(*menu, "Large");
    ASSERT_TRUE(large);
    large->trigger();
    a.setLocationRatio(0.5);

    for (OVFocusArrowView* arrow : {&a, &b, &c}) {
        EXPECT_EQ(arrow->frame().size.width, 200);
        EXPECT_EQ(arrow->locationRatio(), 0.5);
    }
    EXPECT_EQ(internal.count, 2);
    EXPECT_EQ(published.count, 2);
    EXPECT_EQ(writes.count, 0);
    runLoopOnce();
    EXPECT_EQ(writes.count, 1);
    EXPECT_EQ(storedSettings().value("arrowSize").integer(), 3);
    EXPECT_EQ(storedSettings().value("locationRatio").real(), 0.5);
}

TEST_F(FocusArrowTest, WithoutSynchronisationAChangeStaysInItsArrowUntilSavedAsDefault)
{
    OVFocusArrowView a(Rect{0, 0, 0, 600}), b(Rect{0, 0, 0, 600});
    NotificationCounter internal(OVFocusArrowInternalDidChangePropertiesNotification);
    DefaultsWriteCounter writes("focusArrowSettings");
    a.setArrowSize(2);
    runLoopOnce();
    EXPECT_EQ(b.arrowSize(), 0);
    EXPECT_EQ(internal.count, 0);
    EXPECT_EQ(writes.count, 0);

    std::unique_ptr<QMenu> menu = a.menuForEvent(mouseEvent(Event::Type::RightMouseDown, 1, 1));
    QAction* save = actionTitled(*menu, "Use Focus Arrow as Default");
    ASSERT_TRUE(save);
    EXPECT_EQ(save->data().toInt(), -1);
    save->trigger();
    EXPECT_EQ(writes.count, 1);
    EXPECT_EQ(storedSettings().value("arrowSize").integer(), 2);
    EXPECT_EQ(OVFocusArrowView(Rect{0, 0, 0, 100}).arrowSize(), 2);
}

TEST_F(FocusArrowTest, MenuTitleColoursLockAndWhichEventsOpenIt)
{
    OVFocusArrowView arrow(Rect{0, 0, 0, 600});
    EXPECT_FALSE(arrow.menuForEvent(mouseEvent(Event::Type::LeftMouseDown, 1, 1)));
    std::unique_ptr<QMenu> menu =
        arrow.menuForEvent(mouseEvent(Event::Type::LeftMouseDown, 1, 1, kControlKeyMask));
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->title(), "Focus Arrow Settings");
    QAction* blue = actionTitled(*menu, "Blue");
    ASSERT_TRUE(blue);
    EXPECT_TRUE(blue->isChecked());
    actionTitled(*menu, "Red")->trigger();
    EXPECT_EQ(arrow.imageTintColor(), *OVFocusArrowView::colorForFocusArrowColor(2));
    QAction* lock = actionTitled(*menu, "Lock Position");
    ASSERT_TRUE(lock);
    lock->trigger();
    EXPECT_TRUE(arrow.isPositionLocked());

    arrow.setEnabled(false);
    EXPECT_FALSE(arrow.menuForEvent(mouseEvent(Event::Type::RightMouseDown, 1, 1)));
}

TEST_F(FocusArrowTest, DraggingSetsTheRatioClampedAndIgnoresAViewWithoutHeight)
{
    HostWindow host;
    auto* arrow = host.add(std::make_unique<OVFocusArrowView>(Rect{0, 0, 0, 400}));
    host.send(mouseEvent(Event::Type::LeftMouseDown, 10, 100));
    EXPECT_EQ(arrow->locationRatio(), 0.25);
    host.send(mouseEvent(Event::Type::LeftMouseDragged, 10, 900));
    EXPECT_EQ(arrow->locationRatio(), 1.0);
    host.send(mouseEvent(Event::Type::LeftMouseDragged, 10, -50));
    EXPECT_EQ(arrow->locationRatio(), 0.0);
    host.send(mouseEvent(Event::Type::LeftMouseUp, 10, -50));

    // Mirrored top to bottom, the pointer near the bottom asks for an arrow near the top.
    arrow->setFlippedVertically(true);
    host.send(mouseEvent(Event::Type::LeftMouseDown, 10, 100));
    EXPECT_EQ(arrow->locationRatio(), 0.75);
    host.send(mouseEvent(Event::Type::LeftMouseUp, 10, 100));

    arrow->setFrameSize({50, 0});
    const double before = arrow->locationRatio();
    arrow->mouseDragged(*std::make_unique<Event>(mouseEvent(Event::Type::LeftMouseDragged, 10, 0)));
    EXPECT_EQ(arrow->locationRatio(), before);
    EXPECT_TRUE(std::isfinite(arrow->arrowCenterFromOrigin()));
}

TEST_F(FocusArrowTest, ALockedArrowIgnoresDragsAndDrawsDimmedWithItsBadge)
{
    HostWindow host;
    auto* arrow = host.add(std::make_unique<OVFocusArrowView>(Rect{0, 0, 0, 400}));
    arrow->setPositionLocked(true);
    const Rect image = arrow->scaledImageBounds();
    host.send(mouseEvent(Event::Type::LeftMouseDown, image.midX(), image.midY()));
    EXPECT_TRUE(arrow->drawLocked());
    host.send(mouseEvent(Event::Type::LeftMouseDragged, 10, 20));
    EXPECT_EQ(arrow->locationRatio(), 0.75);
    host.send(mouseEvent(Event::Type::LeftMouseUp, 10, 20));
    EXPECT_FALSE(arrow->drawLocked());

    // The pointer entering the arrow shows the lock; leaving hides it.
    host.send(mouseEvent(Event::Type::MouseMoved, image.midX(), image.midY()));
    EXPECT_TRUE(arrow->drawLocked());
    const QImage dimmed = arrow->imageOfRect(arrow->bounds());
    // The padlock stands upright: down its middle, the shackle, the hole under it, then the body.
    const auto white = [&dimmed](int x, int y) {
        const QColor c = dimmed.pixelColor(x, y);
        return c.alphaF() > 0.8 && c.redF() > 0.9 && c.greenF() > 0.9 && c.blueF() > 0.9;
    };
    int left = dimmed.width(), right = -1;
    for (int y = 0; y < dimmed.height(); ++y)
        for (int x = 0; x < dimmed.width(); ++x)
            if (white(x, y))
                left = std::min(left, x), right = std::max(right, x);
    ASSERT_GE(right, left);
    int runs = 0;
    for (int y = 0, middle = (left + right) / 2; y < dimmed.height(); ++y)
        if (white(middle, y) && (y == 0 || !white(middle, y - 1)))
            ++runs;
    EXPECT_EQ(runs, 2) << "shackle above the body, apart from it";
    host.send(mouseEvent(Event::Type::MouseMoved, 10, 5));
    EXPECT_FALSE(arrow->drawLocked());
    const QImage plain = arrow->imageOfRect(arrow->bounds());
    // The arrow's tip is tint only; dimmed it lets the (absent) background show through.
    const int tipX = int(image.maxX()) - 8;
    const int tipY = int(400 - image.midY());
    EXPECT_GT(plain.pixelColor(tipX, tipY).alphaF(), dimmed.pixelColor(tipX, tipY).alphaF());
}

TEST_F(FocusArrowTest, OverlappingWidthAnimationsRestoreWidthTrackingAfterTheLast)
{
    OVFocusArrowView arrow(Rect{0, 0, 0, 400});
    bool tracking = true;
    OVFocusArrowView::WidthTracking hooks{[&] { return tracking; }, [&](bool flag) { tracking = flag; }};
    arrow.animateToWidth(50, 0.2, hooks);
    EXPECT_FALSE(tracking);
    RunLoop::main().advanceManualClock(clockScope.clock, 0.1);
    arrow.animateToWidth(0, 0.2, hooks);
    EXPECT_TRUE(arrow.isAnimatingWidth());
    EXPECT_FALSE(tracking);
    RunLoop::main().advanceManualClock(clockScope.clock, 0.3);
    EXPECT_FALSE(arrow.isAnimatingWidth());
    EXPECT_TRUE(tracking);
    EXPECT_EQ(arrow.frame().size.width, 0);
}

TEST_F(FocusArrowTest, LocationAnimationRunsOnTheClock)
{
    OVFocusArrowView arrow(Rect{0, 0, 0, 400});
    arrow.animateLocationRatio(0.25, 0.5);
    EXPECT_EQ(arrow.locationRatio(), 0.75);
    RunLoop::main().advanceManualClock(clockScope.clock, 0.25);
    EXPECT_GT(arrow.locationRatio(), 0.25);
    EXPECT_LT(arrow.locationRatio(), 0.75);
    RunLoop::main().advanceManualClock(clockScope.clock, 0.5);
    EXPECT_EQ(arrow.locationRatio(), 0.25);
}

} // namespace
