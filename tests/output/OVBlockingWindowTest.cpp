#include "TalentTestSupport.h"

#include "output/NSAlertOVAdditions.h"
#include "output/OVBlockingView.h"
#include "output/OVBlockingWindow.h"
#include "output/OVPromptModeNoticeView.h"
#include "output/OVPromptModeWindows.h"
#include "output/OVPrompterWindow.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/GlobalCoordinates.h"
#include "prompting/OVCore.h"
#include "prompting/OVEventInterpreter.h"
#include "prompting/OVPromptModeNoticeWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QImage>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

// Records every event that reaches it, by type.
class RecordingView : public View {
public:
    using View::View;
    void mouseDown(Event&) override { received << "mouseDown"; }
    void mouseDragged(Event&) override { received << "mouseDragged"; }
    void mouseUp(Event&) override { received << "mouseUp"; }
    void rightMouseDown(Event&) override { received << "rightMouseDown"; }
    void rightMouseDragged(Event&) override { received << "rightMouseDragged"; }
    void rightMouseUp(Event&) override { received << "rightMouseUp"; }
    void otherMouseDown(Event&) override { received << "otherMouseDown"; }
    void otherMouseDragged(Event&) override { received << "otherMouseDragged"; }
    void otherMouseUp(Event&) override { received << "otherMouseUp"; }
    void mouseMoved(Event&) override { received << "mouseMoved"; }
    void scrollWheel(Event&) override { received << "scrollWheel"; }
    void keyDown(Event&) override { received << "keyDown"; }
    void keyUp(Event&) override { received << "keyUp"; }
    void flagsChanged(Event&) override { received << "flagsChanged"; }
    QStringList received;
};

class Interpreter final : public OVEventInterpreter {
public:
    bool interpretEvent(Event& event, Window* window) override
    {
        types << event.type;
        from = window;
        return answer;
    }
    bool answer = true;
    QList<Event::Type> types;
    Window* from = nullptr;
};

const QList<Event::Type> kEveryEventKind{
    Event::Type::LeftMouseDown,  Event::Type::LeftMouseDragged,  Event::Type::LeftMouseUp,
    Event::Type::RightMouseDown, Event::Type::RightMouseDragged, Event::Type::RightMouseUp,
    Event::Type::OtherMouseDown, Event::Type::OtherMouseDragged, Event::Type::OtherMouseUp,
    Event::Type::MouseMoved,     Event::Type::ScrollWheel,       Event::Type::KeyDown,
    Event::Type::KeyUp,          Event::Type::FlagsChanged};

// Clicks the button titled title in the dialog that is showing, once the event loop runs, and
// records how the dialog was shown.
struct DialogWatch {
    void clickWhenShown(const QString& title)
    {
        QTimer::singleShot(0, [this, title] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            staysOnTop = box->windowFlags() & Qt::WindowStaysOnTopHint;
            geometry = box->geometry();
            for (QAbstractButton* button : box->buttons()) {
                if (button->text() == title)
                    button->click();
            }
        });
    }
    bool staysOnTop = false;
    QRect geometry;
};

} // namespace

TEST(BlockingWindowTest, CoversTheFirstScreenOrGoesToTheFallbackFrame)
{
    {
        ScopedScreens none({});
        std::unique_ptr<OVBlockingWindow> window = OVBlockingWindow::blockingWindow();
        EXPECT_EQ(window->frame(), Rect(-8000, -8000, 1, 1));
    }
    ScopedScreens screens({operatorScreen1440(), talentScreen1920()});
    std::unique_ptr<OVBlockingWindow> window = OVBlockingWindow::blockingWindow();
    EXPECT_EQ(window->frame(), Rect(0, 0, 1440, 900));
    EXPECT_EQ(window->backgroundColor(), QColor(Qt::black));
    EXPECT_TRUE(window->isOpaque());
    EXPECT_FALSE(window->hasShadow());
    EXPECT_FALSE(window->isMovable());
    EXPECT_TRUE(window->isExcludedFromWindowsMenu());
    const Qt::WindowFlags flags = window->hostWidget()->windowFlags();
    EXPECT_TRUE(flags & Qt::FramelessWindowHint);
    EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(flags & Qt::X11BypassWindowManagerHint);
    EXPECT_TRUE(flags & Qt::WindowDoesNotAcceptFocus);
    // Levels change the flags; the bypass stays.
    window->setLevel(Window::kNormalWindowLevel + 1);
    EXPECT_TRUE(window->hostWidget()->windowFlags() & Qt::X11BypassWindowManagerHint);
    // It may cover what the desktop reserves.
    EXPECT_EQ(window->constrainFrameRect(Rect(0, 0, 1440, 900), operatorScreen1440()), Rect(0, 0, 1440, 900));

    std::unique_ptr<OVBlockingWindow> clear = OVBlockingWindow::transparentBlockingWindow();
    EXPECT_FALSE(clear->isOpaque());
    EXPECT_FALSE(clear->ignoresMouseEvents());
}

TEST(BlockingWindowTest, NeverBecomesKeyAndHandsEventsToItsInterpreter)
{
    ScopedScreens screens({operatorScreen1440()});
    Window document(Rect{{100, 100}, {400, 300}});
    document.makeKeyAndOrderFront();
    std::unique_ptr<OVBlockingWindow> window = OVBlockingWindow::blockingWindow();
    window->makeKeyAndOrderFront();
    window->makeMainWindow();
    EXPECT_EQ(Application::shared().keyWindow(), &document);
    EXPECT_NE(Application::shared().mainWindow(), window.get());
    EXPECT_FALSE(window->makeFirstResponder(window->contentView()));

    Interpreter interpreter;
    window->setEventInterpreter(&interpreter);
    QTest::mouseClick(window->hostWidget(), Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(interpreter.types, QList<Event::Type>({Event::Type::LeftMouseDown, Event::Type::LeftMouseUp}));
    EXPECT_EQ(interpreter.from, window.get());

    // An interpreter that declines leaves the event to the window: its content swallows it.
    interpreter.answer = false;
    auto recorder = std::make_unique<RecordingView>(window->contentView()->bounds());
    RecordingView* behind = recorder.get();
    window->setContentView(std::move(recorder));
    QTest::mouseClick(window->hostWidget(), Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(behind->received, QStringList({"mouseDown", "mouseUp"}));
    window->setEventInterpreter(nullptr);
    Application::shared().setKeyWindow(nullptr);
    Application::shared().setMainWindow(nullptr);
}

TEST(BlockingWindowTest, TheBlockingViewEatsEveryEventKind)
{
    RecordingView parent(Rect{{0, 0}, {400, 300}});
    auto plain = std::make_unique<View>(Rect{{0, 0}, {400, 30}});
    View* passing = parent.addSubview(std::move(plain));
    OVBlockingView* blocking = parent.addSubview(std::make_unique<OVBlockingView>(Rect{{0, 270}, {400, 30}}));

    for (Event::Type type : kEveryEventKind) {
        Event event;
        event.type = type;
        blocking->dispatchEvent(event);
    }
    EXPECT_TRUE(parent.received.isEmpty());
    // A plain view hands the same events on: the right and middle buttons included.
    for (Event::Type type : kEveryEventKind) {
        Event event;
        event.type = type;
        passing->dispatchEvent(event);
    }
    EXPECT_EQ(parent.received.size(), kEveryEventKind.size());

    // Real presses of every button and the wheel, through a window.
    Window window(Rect{{0, 0}, {400, 300}}, Window::Borderless);
    auto content = std::make_unique<RecordingView>(Rect{{0, 0}, {400, 300}});
    RecordingView* below = content.get();
    window.setContentView(std::move(content));
    below->addSubview(std::make_unique<OVBlockingView>(Rect{{0, 0}, {400, 300}}));
    window.orderFront();
    for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton})
        QTest::mouseClick(window.hostWidget(), button, {}, QPoint(50, 50));
    QWheelEvent wheel(QPointF(50, 50), window.hostWidget()->mapToGlobal(QPointF(50, 50)), {}, {0, 120},
                      Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QApplication::sendEvent(window.hostWidget(), &wheel);
    EXPECT_TRUE(below->received.isEmpty()) << below->received.join(", ").toStdString();

    EXPECT_FALSE(blocking->drawDebugColor());
    blocking->setDrawDebugColor(true);
    const QImage image = blocking->imageOfRect(blocking->bounds());
    EXPECT_EQ(image.pixelColor(10, 10).red(), 255);
    EXPECT_NEAR(image.pixelColor(10, 10).alphaF(), 0.5, 0.01);
}

TEST(NoticeViewTest, PaintsWhiteTextOnATranslucentRoundedPanel)
{
    std::unique_ptr<OVPromptModeNoticeView> view = OVPromptModeNoticeView::contentView();
    EXPECT_EQ(view->frame().size, (Size{300, 100}));
    EXPECT_EQ(view->text(), QStringLiteral("Debug:  Replace this with real text."));
    EXPECT_EQ(view->textRect(), Rect(10, 10, 280, 80));
    EXPECT_EQ(view->autoresizingMask(), unsigned(View::WidthSizable | View::HeightSizable));

    view->setText(QString());
    const QImage panel = view->imageOfRect(view->bounds());
    const QColor inside = panel.pixelColor(150, 50);
    EXPECT_NEAR(inside.alphaF(), 0.8, 0.01);
    EXPECT_EQ(inside.red(), 0);
    // The border: white along the edge, not in the rounded corner.
    EXPECT_GT(panel.pixelColor(150, 0).lightness(), 200);
    EXPECT_LT(panel.pixelColor(0, 0).alphaF(), 0.5);

    view->setText(QStringLiteral("WWWW"));
    const QImage text = view->imageOfRect(view->bounds());
    int lit = 0;
    for (int x = 10; x < 290; ++x)
        lit += text.pixelColor(x, 50).lightness() > 200;
    EXPECT_GT(lit, 10);
    // Clicks anywhere inside are the notice's.
    EXPECT_EQ(view->hitTest({150, 50}), view.get());
    EXPECT_FALSE(view->resignFirstResponder());
    Event key;
    key.type = Event::Type::KeyDown;
    EXPECT_TRUE(view->performKeyEquivalent(key));
    view->setHidden(true);
    EXPECT_FALSE(view->performKeyEquivalent(key));
}

TEST(NoticeViewTest, OverlaysShowTheNoticeOverTheirWindow)
{
    ScopedScreens screens({operatorScreen1440()});
    OVCore core;
    OVPromptModeWindows windows;
    windows.install(core);
    Window document(Rect{{100, 100}, {640, 480}});
    document.orderFront();
    OVPromptModeNoticeWindow* overlay = OVPromptModeNoticeWindow::addOverlayToWindow(&document);
    ASSERT_NE(overlay, nullptr);
    auto* notice = dynamic_cast<OVPromptModeNoticeView*>(overlay->contentView());
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(notice->text(), QStringLiteral("This document cannot be used while in Prompt mode."));
    EXPECT_EQ(notice->frame().size, (Size{640, 480}));
    document.setFrame(Rect{{100, 100}, {800, 500}});
    EXPECT_EQ(notice->frame().size, (Size{800, 500}));
    OVPromptModeNoticeWindow::removeAllOverlays();
    OVPromptModeNoticeWindow::setContentViewMaker({});
    Alert::setModalOptionsProvider({});
}

TEST(AlertRunnerTest, RunsAboveEverythingOnTheOperatorScreenWithABeep)
{
    ScopedScreens screens({operatorScreen1440(), talentScreen1920()});
    int beeps = 0;
    Alert::setBeeper([&beeps] { ++beeps; });
    auto alert =
        Alert::alertWithTitle(QStringLiteral("The display could not be changed."), QString(),
                              {QStringLiteral("OK"), QStringLiteral("Displays…"), QStringLiteral("Other")});
    DialogWatch watch;
    watch.clickWhenShown(QStringLiteral("Displays…"));
    EXPECT_EQ(
        NSAlertOVAdditions::runModalWithOptions(*alert, NSAlertOVAdditions::kCenterOnOperatorScreenOption),
        Alert::kSecondButtonReturn);
    EXPECT_EQ(beeps, 1);
    EXPECT_TRUE(watch.staysOnTop);
    const Rect placed = globalRectFromQt(QRectF(watch.geometry));
    EXPECT_TRUE(operatorScreen1440().frame().contains(placed));
    EXPECT_NEAR(placed.midX(), 720, 1);

    watch.clickWhenShown(QStringLiteral("Other"));
    EXPECT_EQ(NSAlertOVAdditions::runModalWithOptions(*alert, 0), Alert::kThirdButtonReturn);
    watch.clickWhenShown(QStringLiteral("OK"));
    EXPECT_EQ(NSAlertOVAdditions::runModalWithOptions(*alert, 0), Alert::kFirstButtonReturn);
    EXPECT_EQ(beeps, 3);
    Alert::setBeeper({});
}

TEST(AlertRunnerTest, EveryAlertRunsThatWayWhilePrompting)
{
    ScopedScreens screens({operatorScreen1440()});
    bool prompting = true;
    OVPrompterWindow::setPromptModeQuery([&prompting] { return prompting; });
    NSAlertOVAdditions::installPromptModeAlertOptions();
    int beeps = 0;
    Alert::setBeeper([&beeps] { ++beeps; });
    auto alert = Alert::alertWithTitle(QStringLiteral("Quit?"), QString(),
                                       {QStringLiteral("Quit"), QStringLiteral("Cancel")});
    DialogWatch watch;
    watch.clickWhenShown(QStringLiteral("Cancel"));
    EXPECT_EQ(alert->runModal(), Alert::kSecondButtonReturn);
    EXPECT_TRUE(watch.staysOnTop);
    EXPECT_EQ(beeps, 1);

    prompting = false;
    watch.clickWhenShown(QStringLiteral("Quit"));
    EXPECT_EQ(alert->runModal(), Alert::kFirstButtonReturn);
    EXPECT_FALSE(watch.staysOnTop);
    EXPECT_EQ(beeps, 1);

    Alert::setBeeper({});
    Alert::setModalOptionsProvider({});
    OVPrompterWindow::setPromptModeQuery({});
}
