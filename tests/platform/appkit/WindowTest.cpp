#include "platform/appkit/Window.h"
#include "platform/appkit/AppKitNotifications.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/Cursor.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/FloatingWindows.h"
#include "platform/appkit/View.h"

#include "TestSupport.h"
#include "platform/foundation/NotificationCenter.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <QWindow>
#include <gtest/gtest.h>

namespace {

const Rect kPrimaryFrame(0, 0, 1280, 800);

struct WindowTest : ::testing::Test {
    FakeScreensScope screens{{Screen(1, "Operator", kPrimaryFrame, Rect(0, 0, 1280, 770)),
                              FakeScreenProvider::makeScreen(2, Rect(1280, 0, 1920, 1080))}};
};

// Counts the mouse events it receives and where.
class MouseView : public View {
public:
    using View::View;
    void mouseDown(Event& event) override
    {
        downs++;
        lastLocation = convertPointFromView(event.locationInWindow, nullptr);
        lastClickCount = event.clickCount;
    }
    void mouseDragged(Event&) override { drags++; }
    void mouseUp(Event&) override { ups++; }
    void mouseEntered(Event& event) override { crossings << "entered " + event.trackingUserInfo; }
    void mouseExited(Event& event) override { crossings << "exited " + event.trackingUserInfo; }
    bool isFlipped() const override { return true; }
    int downs = 0;
    int drags = 0;
    int ups = 0;
    int lastClickCount = 0;
    Point lastLocation;
    QStringList crossings;
};

} // namespace

TEST_F(WindowTest, FrameIsGlobalYUpAndQtGeometryIsFlipped)
{
    Window window(Rect(100, 50, 400, 300), Window::Borderless);
    EXPECT_EQ(window.hostWidget()->geometry(), QRect(100, 450, 400, 300));
    EXPECT_EQ(window.contentView()->frame(), Rect(0, 0, 400, 300));
    window.setFrameTopLeftPoint({200, 800});
    EXPECT_EQ(window.frame(), Rect(200, 500, 400, 300));
    EXPECT_EQ(window.hostWidget()->geometry(), QRect(200, 0, 400, 300));
}

TEST_F(WindowTest, RefusesBrokenFramesAndAcceptsZeroSizedOnes)
{
    Window window(Rect(NAN, 0, 10, 10));
    EXPECT_EQ(window.frame(), Rect());
    window.setFrame(Rect(10, 10, 0, 0));
    EXPECT_EQ(window.frame(), Rect(10, 10, 0, 0));
    window.setFrame(Rect(10, 10, INFINITY, 5));
    window.setFrame(Rect(10, 10, -1, 5));
    EXPECT_EQ(window.frame(), Rect(10, 10, 0, 0));
    window.orderFront();
    window.display();
    window.orderOut();
}

TEST_F(WindowTest, MinAndMaxSizesBoundTheFrame)
{
    Window window(Rect(0, 0, 400, 300));
    window.setMinSize({300, 200});
    window.setMaxSize({500, 400});
    window.setFrame(Rect(0, 0, 100, 900));
    EXPECT_EQ(window.frame().size, Size(300, 400));
}

TEST_F(WindowTest, ConstrainingKeepsTitledWindowsBelowTheTopOfTheVisibleFrame)
{
    Window titled(Rect(0, 0, 400, 300));
    const std::optional<Screen> primary = Screen::primaryScreen();
    EXPECT_EQ(titled.constrainFrameRect(Rect(10, 700, 400, 300), primary), Rect(10, 470, 400, 300));
    EXPECT_EQ(titled.constrainFrameRect(Rect(10, 0, 400, 2000), primary), Rect(10, 0, 400, 770));
    EXPECT_EQ(titled.constrainFrameRect(Rect(10, 700, 400, 300), std::nullopt), Rect(10, 700, 400, 300));
    Window borderless(Rect(0, 0, 400, 300), Window::Borderless);
    EXPECT_EQ(borderless.constrainFrameRect(Rect(10, 700, 400, 300), primary), Rect(10, 700, 400, 300));
}

TEST_F(WindowTest, LevelsOrderWindowsAheadOfRecency)
{
    Window normal(Rect(0, 0, 100, 100));
    Window floating(Rect(0, 0, 100, 100));
    Window later(Rect(0, 0, 100, 100));
    floating.setLevel(Window::kFloatingWindowLevel);
    EXPECT_TRUE(floating.hostWidget()->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(normal.hostWidget()->windowFlags() & Qt::WindowStaysOnTopHint);
    floating.orderFront();
    normal.orderFront();
    later.orderFront();
    EXPECT_EQ(Application::shared().orderedWindows(), (std::vector<Window*>{&floating, &later, &normal}));
    later.orderBack();
    EXPECT_EQ(Application::shared().orderedWindows(), (std::vector<Window*>{&floating, &normal, &later}));
    normal.orderOut();
    EXPECT_EQ(Application::shared().orderedWindows(), (std::vector<Window*>{&floating, &later}));
    EXPECT_FALSE(normal.isVisible());
}

TEST_F(WindowTest, WhileAFloatingWindowShowsWhatOpensOpensAboveItAndInsideTheScreen)
{
    Window floating(Rect(100, 100, 200, 200));
    floating.setLevel(Window::kFloatingWindowLevel);
    QWidget dialog;
    FloatingWindows::openAbove(dialog);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowStaysOnTopHint) << "nothing floats yet";

    floating.orderFront();
    ASSERT_EQ(FloatingWindows::visibleFloatingWindow(), &floating);
    // Placed by the program half off the screen's right edge.
    const QRect area = floating.hostWidget()->screen()->availableGeometry();
    dialog.setGeometry(area.right() - 100, area.top() + 50, 300, 200);
    FloatingWindows::openAbove(dialog);
    EXPECT_TRUE(dialog.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(area.contains(dialog.geometry())) << dialog.geometry().x();

    // Opened again once the floating window has gone, it is an ordinary window again.
    floating.orderOut();
    FloatingWindows::openAbove(dialog);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowStaysOnTopHint);
}

TEST_F(WindowTest, KeyAndMainStatusFollowThePlatformRules)
{
    Window document(Rect(0, 0, 100, 100));
    Window other(Rect(0, 0, 100, 100));
    Window overlay(Rect(0, 0, 100, 100), Window::Borderless);
    document.makeKeyAndOrderFront();
    EXPECT_TRUE(document.isKeyWindow());
    EXPECT_TRUE(document.isMainWindow());
    overlay.makeKeyAndOrderFront();
    EXPECT_FALSE(overlay.isKeyWindow());
    EXPECT_TRUE(document.isKeyWindow());
    other.makeKeyAndOrderFront();
    EXPECT_TRUE(other.isKeyWindow());
    other.orderOut();
    EXPECT_TRUE(document.isKeyWindow());
    EXPECT_TRUE(document.isMainWindow());
}

TEST_F(WindowTest, SheetsAreWindowModalAndReportTheirReturnCode)
{
    Window parent(Rect(100, 100, 600, 400));
    parent.makeKeyAndOrderFront();
    Window sheet(Rect(0, 0, 300, 200));
    std::optional<int> returned;
    parent.beginSheet(&sheet, [&](int code) { returned = code; });
    EXPECT_EQ(parent.attachedSheet(), &sheet);
    EXPECT_EQ(sheet.sheetParent(), &parent);
    EXPECT_EQ(sheet.hostWidget()->windowModality(), Qt::WindowModal);
    EXPECT_EQ(sheet.frame(), Rect(250, 300, 300, 200));
    EXPECT_TRUE(sheet.isKeyWindow());
    Window another(Rect(0, 0, 10, 10));
    parent.beginSheet(&another); // one sheet at a time
    EXPECT_EQ(parent.attachedSheet(), &sheet);
    parent.endSheet(&sheet, 1001);
    EXPECT_EQ(returned, 1001);
    EXPECT_FALSE(sheet.isVisible());
    EXPECT_EQ(parent.attachedSheet(), nullptr);
    EXPECT_TRUE(parent.isKeyWindow());
}

TEST_F(WindowTest, ASheetDestroyedWhileAttachedEndsCleanly)
{
    Window parent(Rect(100, 100, 600, 400));
    bool ended = false;
    {
        Window sheet(Rect(0, 0, 300, 200));
        parent.beginSheet(&sheet, [&](int) { ended = true; });
    }
    EXPECT_TRUE(ended);
    EXPECT_EQ(parent.attachedSheet(), nullptr);
}

TEST_F(WindowTest, FullScreenCoversTheScreenAndComesBack)
{
    Window window(Rect(100, 100, 400, 300));
    window.orderFront();
    window.toggleFullScreen();
    EXPECT_TRUE(window.isFullScreen());
    EXPECT_EQ(window.frame(), kPrimaryFrame);
    window.toggleFullScreen();
    EXPECT_FALSE(window.isFullScreen());
    EXPECT_EQ(window.frame(), Rect(100, 100, 400, 300));
    window.orderOut();
}

TEST_F(WindowTest, MouseEventsReachTheViewUnderThePointerInItsCoordinates)
{
    Window window(Rect(0, 0, 400, 300), Window::Borderless);
    auto* target = window.contentView()->addSubview(std::make_unique<MouseView>(Rect(100, 100, 200, 100)));
    window.orderFront();
    QWidget* host = window.hostWidget();
    // Qt y 150 is window y 150; the flipped view's top edge is at window y 200.
    QTest::mousePress(host, Qt::LeftButton, Qt::NoModifier, QPoint(110, 150));
    QTest::mouseMove(host, QPoint(120, 150));
    QTest::mouseRelease(host, Qt::LeftButton, Qt::NoModifier, QPoint(120, 150));
    EXPECT_EQ(target->downs, 1);
    EXPECT_EQ(target->ups, 1);
    EXPECT_EQ(target->lastLocation, Point(10, 50));
    EXPECT_EQ(target->lastClickCount, 1);
    QTest::mousePress(host, Qt::LeftButton, Qt::NoModifier, QPoint(110, 150));
    EXPECT_EQ(target->lastClickCount, 2);
    QTest::mouseRelease(host, Qt::LeftButton, Qt::NoModifier, QPoint(110, 150));
    // Outside the view: the content view gets it.
    QTest::mouseClick(host, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    EXPECT_EQ(target->downs, 2);
    window.orderOut();
}

TEST_F(WindowTest, TrackingAreasReportEnteringAndLeaving)
{
    Window window(Rect(0, 0, 400, 300), Window::Borderless);
    auto* target = window.contentView()->addSubview(std::make_unique<MouseView>(Rect(100, 100, 200, 100)));
    TrackingArea strip;
    strip.rect = Rect(180, 0, 20, 100); // the right edge, in the flipped view's coordinates
    strip.userInfo = "overlayTrackingKey";
    target->addTrackingArea(strip);
    auto moveTo = [&](double x, double y) {
        Event event;
        event.type = Event::Type::MouseMoved;
        event.locationInWindow = {x, y};
        window.sendEvent(event);
    };
    moveTo(150, 150);
    moveTo(290, 150);
    moveTo(295, 160);
    moveTo(350, 150);
    EXPECT_EQ(target->crossings, QStringList({"entered overlayTrackingKey", "exited overlayTrackingKey"}));
}

TEST_F(WindowTest, CursorRectsSetTheCursorOverTheirArea)
{
    Window window(Rect(0, 0, 400, 300), Window::Borderless);
    View* view = window.contentView()->addSubview(std::make_unique<View>(Rect(0, 0, 100, 100)));
    view->addCursorRect(Rect(0, 0, 100, 100), Cursor::iBeamCursor());
    Event event;
    event.type = Event::Type::MouseMoved;
    event.locationInWindow = {50, 50};
    window.sendEvent(event);
    EXPECT_EQ(window.hostWidget()->cursor().shape(), Qt::IBeamCursor);
    event.locationInWindow = {250, 250};
    window.sendEvent(event);
    EXPECT_EQ(window.hostWidget()->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(WindowTest, EventMonitorsSeeEventsFirstAndMaySwallowThem)
{
    Window window(Rect(0, 0, 400, 300), Window::Borderless);
    auto* target = window.contentView()->addSubview(std::make_unique<MouseView>(Rect(0, 0, 400, 300)));
    window.orderFront();
    QStringList seen;
    bool swallow = true;
    const int monitor = Application::shared().addLocalMonitorForEvents(
        Application::maskForType(Event::Type::LeftMouseDown) | Application::maskForType(Event::Type::KeyDown),
        [&](Event& event) {
            seen << QString::number(int(event.type));
            return !swallow;
        });
    QTest::mousePress(window.hostWidget(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    QTest::mouseRelease(window.hostWidget(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    EXPECT_EQ(target->downs, 0);
    swallow = false;
    QTest::mousePress(window.hostWidget(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    QTest::keyClick(window.hostWidget(), Qt::Key_Space);
    EXPECT_EQ(target->downs, 1);
    Application::shared().removeMonitor(monitor);
    EXPECT_EQ(seen, QStringList({"1", "1", "10"}));
    window.orderOut();
}

TEST_F(WindowTest, ErrorsGoToTheInstalledPresenter)
{
    std::optional<Error> presented;
    Application::shared().setErrorPresenter([&](const Error& error) {
        presented = error;
        return false;
    });
    Application::shared().presentError(Error::cocoa(kFileWriteUnknownError));
    Application::shared().setErrorPresenter({});
    ASSERT_TRUE(presented.has_value());
    EXPECT_EQ(presented->code(), kFileWriteUnknownError);
}

TEST_F(WindowTest, ModalSessionsReturnTheStopCode)
{
    Window panel(Rect(0, 0, 200, 100));
    QMetaObject::invokeMethod(
        qApp,
        [&] {
            EXPECT_EQ(Application::shared().modalWindow(), &panel);
            Application::shared().stopModalWithCode(7);
        },
        Qt::QueuedConnection);
    EXPECT_EQ(Application::shared().runModalForWindow(&panel), 7);
    EXPECT_FALSE(Application::shared().isRunningModal());
    panel.orderOut();
}

TEST(Cursor, HiddenUntilTheMouseMoves)
{
    Cursor::setHiddenUntilMouseMoves(true);
    EXPECT_TRUE(Cursor::isHidden());
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::BlankCursor);
    QWidget widget;
    widget.show();
    QMouseEvent move(QEvent::MouseMove, QPointF(6, 6), QPointF(6, 6), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &move);
    EXPECT_FALSE(Cursor::isHidden());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(Cursor, PushPopAndCountedHides)
{
    Cursor::iBeamCursor().push();
    Cursor::pointingHandCursor().push();
    EXPECT_EQ(Cursor::currentCursor(), Cursor::pointingHandCursor());
    Cursor::hide();
    Cursor::hide();
    Cursor::unhide();
    EXPECT_TRUE(Cursor::isHidden());
    Cursor::unhide();
    Cursor::unhide(); // extra unhides do not underflow
    EXPECT_FALSE(Cursor::isHidden());
    Cursor::pop();
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::IBeamCursor);
    Cursor::pop();
    Cursor::pop();
    EXPECT_EQ(Cursor::stackDepth(), 0);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(WindowTest, FrameKeyAndScreenChangesArePostedOnTheCentre)
{
    Window window(Rect(100, 100, 400, 300));
    QStringList heard;
    NotificationObserver any(NotificationCenter::shared(), {}, &window,
                             [&](const Notification& note) { heard << note.name; });
    window.setFrameOrigin({200, 100});
    window.setFrame(Rect(200, 100, 500, 300));
    window.setFrameOrigin({1400, 100}); // onto the second screen
    window.makeKeyAndOrderFront();
    window.close();
    EXPECT_EQ(heard, QStringList({kWindowDidMoveNotification, kWindowDidResizeNotification,
                                  kWindowDidMoveNotification, kWindowDidChangeScreenNotification,
                                  kWindowDidBecomeKeyNotification, kWindowDidBecomeMainNotification,
                                  kWindowWillCloseNotification, kWindowDidResignKeyNotification,
                                  kWindowDidResignMainNotification}));
}

TEST_F(WindowTest, ARemovedScreenTellsTheWindowsOnIt)
{
    Window window(Rect(1400, 100, 400, 300), Window::Borderless);
    int changes = 0;
    NotificationObserver observer(NotificationCenter::shared(), kWindowDidChangeScreenNotification, &window,
                                  [&](const Notification&) { ++changes; });
    screens.provider.setScreens({screens.provider.screens().front()});
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(window.screen(), std::nullopt);
}

TEST_F(WindowTest, ChildWindowsMoveWithTheirParent)
{
    Window parent(Rect(100, 100, 400, 300));
    Window child(Rect(120, 120, 100, 50), Window::Borderless);
    parent.addChildWindow(&child);
    EXPECT_EQ(child.parentWindow(), &parent);
    parent.setFrameOrigin({300, 150});
    EXPECT_EQ(child.frame(), Rect(320, 170, 100, 50));
    parent.removeChildWindow(&child);
    parent.setFrameOrigin({0, 0});
    EXPECT_EQ(child.frame(), Rect(320, 170, 100, 50));
    {
        Window shortLived(Rect(0, 0, 10, 10), Window::Borderless);
        parent.addChildWindow(&shortLived);
    }
    EXPECT_TRUE(parent.childWindows().empty());
}

TEST_F(WindowTest, ZoomTogglesBetweenTheStandardAndTheUserFrame)
{
    Window window(Rect(100, 100, 400, 300));
    window.zoom();
    EXPECT_EQ(window.frame(), Rect(0, 0, 1280, 770));
    window.zoom();
    EXPECT_EQ(window.frame(), Rect(100, 100, 400, 300));
    window.setMaxSize({1000, 600});
    window.performZoom();
    EXPECT_EQ(window.frame(), Rect(0, 0, 1000, 600));
}

TEST(ViewNotifications, BoundsChangesReachTheCentreWhenAskedFor)
{
    View view(Rect(0, 0, 100, 100));
    int posted = 0;
    NotificationObserver observer(NotificationCenter::shared(), kViewBoundsDidChangeNotification, &view,
                                  [&](const Notification&) { ++posted; });
    view.setBoundsOrigin({0, 1});
    view.setPostsBoundsChangedNotifications(true);
    view.setBoundsOrigin({0, 2});
    view.setFrameOrigin({5, 5});
    EXPECT_EQ(posted, 1);
}

TEST_F(WindowTest, MonitorsSeeAnEventOnceAsItPropagatesToParentWidgets)
{
    QWidget parent;
    QWidget* child = new QWidget(&parent);
    parent.show();
    int keys = 0;
    const int monitor = Application::shared().addLocalMonitorForEvents(
        Application::maskForType(Event::Type::KeyDown), [&](Event&) {
            ++keys;
            return true;
        });
    // Neither widget accepts the key, so Qt offers it to the child and then to the parent.
    for (int i = 0; i < 3; ++i) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
        QCoreApplication::sendEvent(child, &press);
    }
    Application::shared().removeMonitor(monitor);
    EXPECT_EQ(keys, 3);
}

TEST_F(WindowTest, MonitorsSeeEveryEventOfAWidgetWithoutParentEvenAtOneAddress)
{
    QWidget top;
    top.show();
    int releases = 0;
    const int monitor = Application::shared().addLocalMonitorForEvents(
        Application::maskForType(Event::Type::KeyUp), [&](Event&) {
            ++releases;
            return true;
        });
    // Two keys let go one after the other: Qt's events may share an address and a type.
    for (int key : {Qt::Key_Left, Qt::Key_Right}) {
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
        QCoreApplication::sendEvent(&top, &release);
    }
    Application::shared().removeMonitor(monitor);
    EXPECT_EQ(releases, 2);
}

TEST_F(WindowTest, AnErrorTurnedIntoUserCancelledIsNeverShown)
{
    int shown = 0;
    Application::shared().setErrorPresenter([&](const Error&) {
        ++shown;
        return false;
    });
    Application::shared().setWillPresentError([](const Error&) { return Error::userCancelled(); });
    EXPECT_FALSE(Application::shared().presentError(Error::cocoa(kFileWriteUnknownError)));
    Application::shared().setWillPresentError({});
    Application::shared().presentError(Error::cocoa(kFileWriteUnknownError));
    Application::shared().setErrorPresenter({});
    EXPECT_EQ(shown, 1);
}

TEST_F(WindowTest, ASheetLetsObserversMoveItsWindowFirst)
{
    Window parent(Rect(1400, 100, 600, 400)); // on the second screen
    NotificationObserver mover(NotificationCenter::shared(), kWindowWillBeginSheetNotification, &parent,
                               [&](const Notification&) {
                                   parent.setFrameOrigin({100, 100});
                               });
    Window sheet(Rect(0, 0, 300, 200));
    parent.beginSheet(&sheet);
    EXPECT_EQ(sheet.frame(), Rect(250, 300, 300, 200));
    parent.endSheet(&sheet);
}

TEST_F(WindowTest, TheModalHookRunsBeforeTheSessionsLoop)
{
    Window panel(Rect(0, 0, 200, 100));
    std::vector<Window*> hooked;
    Application::shared().setModalSessionHook([&](Window* window) {
        hooked.push_back(window);
        EXPECT_TRUE(Application::shared().isRunningModal());
        Application::shared().stopModalWithCode(3);
    });
    EXPECT_EQ(Application::shared().runModalForWindow(&panel), 3);
    Application::shared().beginModalSessionForWindow(&panel);
    EXPECT_EQ(Application::shared().modalWindow(), &panel);
    EXPECT_EQ(panel.hostWidget()->windowModality(), Qt::ApplicationModal);
    Application::shared().endModalSession(&panel);
    Application::shared().setModalSessionHook({});
    EXPECT_FALSE(Application::shared().isRunningModal());
    EXPECT_EQ(hooked, (std::vector<Window*>{&panel, &panel}));
    panel.orderOut();
}

TEST_F(WindowTest, ASessionThatEndsWithItsWindowShownLeavesTheOtherWindowsFree)
{
    // Qt blocks input to every other window while it lists a modal one.
    auto panel = std::make_unique<Window>(Rect(0, 0, 200, 100));
    Application::shared().beginModalSessionForWindow(panel.get());
    EXPECT_EQ(QGuiApplication::modalWindow(), panel->hostWidget()->windowHandle());
    Application::shared().endModalSession(panel.get());
    EXPECT_TRUE(panel->hostWidget()->isVisible());
    EXPECT_EQ(QGuiApplication::modalWindow(), nullptr);

    // The same after a session with its own loop; the window is then deleted while shown, and a
    // window shown afterwards must not meet it in Qt's list.
    Application::shared().setModalSessionHook([](Window*) { Application::shared().stopModalWithCode(1); });
    EXPECT_EQ(Application::shared().runModalForWindow(panel.get()), 1);
    Application::shared().setModalSessionHook({});
    EXPECT_TRUE(panel->hostWidget()->isVisible());
    EXPECT_EQ(QGuiApplication::modalWindow(), nullptr);
    panel.reset();
    Window later(Rect(0, 0, 200, 100));
    later.orderFront();
    EXPECT_TRUE(later.hostWidget()->isVisible());
}

namespace {

// Counts the times Qt hides and shows the window's native window.
class ShowCounter : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Show)
            ++shows;
        else if (event->type() == QEvent::Hide)
            ++hides;
        return false;
    }
    int shows = 0;
    int hides = 0;
};

} // namespace

TEST_F(WindowTest, AShownWindowChangesItsLookWithoutBeingHidden)
{
    Window window(Rect(100, 100, 400, 300), Window::kStandardStyle);
    window.orderFront();
    QWidget* host = window.hostWidget();
    ShowCounter counter;
    host->installEventFilter(&counter);
    {
        Window::FlagChanges together(window);
        window.setLevel(Window::kFloatingWindowLevel);
        window.setStyleMask(window.styleMask() & ~unsigned(Window::Closable));
        EXPECT_TRUE(host->windowFlags() & Qt::WindowCloseButtonHint) << "not yet applied";
    }
    // The resizable bit and the decorations change on their own as well.
    window.setStyleMask(window.styleMask() & ~unsigned(Window::Resizable));
    window.setStyleMask(Window::Borderless);
    EXPECT_EQ(counter.hides, 0);
    EXPECT_EQ(counter.shows, 0);
    EXPECT_TRUE(host->isVisible());
    // The widget and its native window agree, so whoever reads the flags later reads the truth.
    const Qt::WindowFlags flags = host->windowFlags();
    EXPECT_EQ(host->windowHandle()->flags(), flags);
    EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(flags & Qt::FramelessWindowHint);
    EXPECT_FALSE(flags & (Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint));

    // A new kind of window is read as the window is mapped: hidden and shown again, once.
    window.setStyleMask(Window::Titled | Window::UtilityWindow);
    EXPECT_EQ(counter.hides, 1);
    EXPECT_EQ(counter.shows, 1);
    EXPECT_TRUE(host->isVisible());
    EXPECT_EQ(host->windowFlags() & Qt::WindowType_Mask, Qt::Tool);

    // A hidden window takes its flags at once and stays hidden.
    window.orderOut();
    window.setLevel(Window::kNormalWindowLevel);
    EXPECT_FALSE(host->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(host->isVisible());
}
