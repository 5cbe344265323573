// Quick zoom and the window's small controls in the program as launched: the real start, the
// defaults the program registers, an empty settings folder, and mouse clicks on the toolbar.
#include "app/OVAppDelegate.h"
#include "app/OVDocumentSession.h"
#include "app/OVProgramStart.h"
#include "output/OVPreviewWindowController.h"
#include "output/OVScreen.h"
#include "output/OVTalentWindowController.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/Document.h"
#include "platform/appkit/DocumentController.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Screen.h"
#include "platform/appkit/View.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/GeometryStrings.h"
#include "platform/foundation/PlistValue.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/TextAttachment.h"
#include "platform/text/TextAttachmentCell.h"
#include "platform/text/TextStorage.h"
#include "platform/textlayout/LayoutManager.h"
#include "platform/textview/TextView.h"
#include "prompter_view/OVPrompterView.h"
#include "prompting/OVApplication.h"
#include "prompting/OVCore.h"
#include "text/OVTextView.h"
#include "window/OVDocumentWindowController.h"
#include "window/OVDocumentWindowToolbar.h"
#include "window/OVSlider.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include "LaunchedScriptTest.h"

namespace {

class LaunchedWindowSizing : public launchtest::LaunchedScriptTest {
protected:
    QToolButton* toolbarButton(const QString& label) const
    {
        QToolBar* bar = controller().window()->toolBar();
        for (QAction* action : bar->actions()) {
            if (action->text() == label)
                return qobject_cast<QToolButton*>(bar->widgetForAction(action));
        }
        return nullptr;
    }
};

TEST_F(LaunchedWindowSizing, TheQuickZoomButtonZoomsOutAndBackWithTheTitleSaying)
{
    Window* window = controller().window();
    const QString title = window->title();
    QToolButton* zoom = toolbarButton(QStringLiteral("Quick Zoom"));
    ASSERT_NE(zoom, nullptr);
    const int width = zoom->width();

    QTest::mouseClick(zoom, Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_TRUE(controller().isContentZoomed());
    EXPECT_LT(controller().contentZoomScale(), 1.0);
    EXPECT_EQ(window->title(), title + QStringLiteral(" (Zoomed Out)"));
    QToolButton* back = toolbarButton(QStringLiteral("Default Zoom"));
    ASSERT_EQ(back, zoom);
    // The item keeps its width whichever label it shows.
    EXPECT_EQ(back->width(), width);

    QTest::mouseClick(back, Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_FALSE(controller().isContentZoomed());
    EXPECT_EQ(window->title(), title);
}

TEST_F(LaunchedWindowSizing, TheSpeedSliderShowsWhereTheSpeedIsZero)
{
    OVSlider* slider = controller().documentToolbar()->speedSlider();
    ASSERT_NE(slider, nullptr);
    // The registered range runs backwards as well as forwards.
    EXPECT_LT(slider->minDoubleValue(), 0);
    const QRectF mark = slider->zeroMarkRect();
    ASSERT_FALSE(mark.isEmpty());
    EXPECT_NEAR(mark.center().x(), slider->cellGeometry().bar.center().x(), 1.0);
}

// Pixels of the drawn read-out that are plainly red, as the eye sees them.
int redPixels(QWidget& widget)
{
    const QImage image = widget.grab().toImage();
    int red = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            red += pixel.red() > 160 && pixel.green() < 110 && pixel.blue() < 110;
        }
    return red;
}

TEST_F(LaunchedWindowSizing, ABackwardSpeedIsDrawnRed)
{
    QLabel* readout = controller().documentToolbar()->speedTextField();
    ASSERT_NE(readout, nullptr);
    ASSERT_TRUE(readout->isVisible());
    const auto show = [&](double speed) {
        clock.advance(1.0);
        controller().setPrompterSpeed(speed);
        QCoreApplication::processEvents();
    };
    show(2);
    EXPECT_EQ(readout->text(), QStringLiteral("2.0"));
    EXPECT_EQ(redPixels(*readout), 0);
    show(-2);
    EXPECT_EQ(readout->text(), QStringLiteral("-2.0"));
    EXPECT_GT(redPixels(*readout), 10);
    show(-0.04);
    EXPECT_EQ(redPixels(*readout), 0);
}

// A frame of the script window is as usable as it is stored: below the menus and the toolbar, lines
// of the script; and on the screen.
void expectUsable(Window& window)
{
    const Rect frame = window.frame();
    EXPECT_GE(frame.size.width, 200);
    const double content = window.contentView()->frame().size.height;
    EXPECT_GE(content, 100) << "frame " << frame.size.width << " x " << frame.size.height;
    ASSERT_TRUE(window.menuBar());
    EXPECT_GE(window.hostWidget()->height(),
              window.menuBar()->sizeHint().height() + window.toolBarHeight() + 100);
    const std::optional<Screen> screen = Screen::screenForRect(frame);
    ASSERT_TRUE(screen);
    EXPECT_LE(frame.size.width, screen->visibleFrame().size.width);
    EXPECT_LE(frame.size.height, screen->visibleFrame().size.height);
}

TEST(LaunchedWindowFrames, AStoredFrameTooSmallToUseOpensTheSmallestUsableWindow)
{
    ManualClock clock;
    Clock::setShared(&clock);
    QTemporaryDir folder;
    const QString script = folder.filePath(QStringLiteral("Tiny.ovdocument"));
    ASSERT_TRUE(launchtest::copyFolder(launchtest::kSample, script));
    QFile properties(script + QStringLiteral("/Properties.plist"));
    ASSERT_TRUE(properties.open(QIODevice::ReadOnly));
    QByteArray plist = properties.readAll();
    properties.close();
    ASSERT_TRUE(plist.contains("{{120, 120}, {900, 600}}"));
    plist.replace("{{120, 120}, {900, 600}}", "{{300, 300}, {10, 10}}");
    ASSERT_TRUE(properties.open(QIODevice::WriteOnly | QIODevice::Truncate));
    properties.write(plist);
    properties.close();

    std::unique_ptr<OVDocumentSession> session = OVProgramStart::launch({script});
    QCoreApplication::processEvents();
    ASSERT_EQ(session->documentController().documents().size(), 1u);
    Window* opened = session->documentController().documents().front()->primaryWindowController()->window();
    expectUsable(*opened);

    // A new script takes the stored position of new windows, clamped the same way; so is one far
    // larger than the screen.
    for (const char* stored : {"{{40, 40}, {10, 10}}", "{{0, 0}, {90000, 90000}}"}) {
        UserDefaults::shared().setObject(PlistValue(QString::fromLatin1(stored)),
                                         QStringLiteral("documentWindowFrame"));
        QTest::keyClick(opened->hostWidget(), Qt::Key_N, Qt::ControlModifier);
        QCoreApplication::processEvents();
        Document* made = session->documentController().documents().back();
        ASSERT_EQ(session->documentController().documents().size(), 2u);
        expectUsable(*made->primaryWindowController()->window());
        made->close();
        QCoreApplication::processEvents();
    }

    AlertPresenterScope discard([](Alert&) { return Alert::kThirdButtonReturn; });
    session.reset();
    Clock::setShared(nullptr);
}

TEST_F(LaunchedWindowSizing, NewWindowsOpenOnTheOperatorScreenBesideThePreviewPanel)
{
    OVPreviewWindowController& preview = OVPreviewWindowController::sharedPreviewWindowController();
    if (!preview.window()->isVisible()) {
        ASSERT_TRUE(Application::shared().sendAction(QStringLiteral("togglePreviewWindow:"), nullptr, {}));
    }
    QCoreApplication::processEvents();
    ASSERT_TRUE(preview.window()->isVisible());
    const Rect panel = preview.window()->frame();
    const std::optional<Screen> operatorDisplay = OVScreen::operatorScreen();
    ASSERT_TRUE(operatorDisplay.has_value());
    const Rect area = operatorDisplay->visibleFrame();
    QWidget* first = controller().window()->hostWidget();

    // Twice, so the cascade from a window beside the panel is placed by the same rule.
    for (int made = 2; made <= 3; ++made) {
        QTest::keyClick(first, Qt::Key_N, Qt::ControlModifier);
        QCoreApplication::processEvents();
        ASSERT_EQ(documents().size(), size_t(made));
        const Rect frame = documents().back()->primaryWindowController()->window()->frame();
        EXPECT_TRUE(area.contains(frame)) << stringFromRect(frame).toStdString();
        EXPECT_FALSE(frame.intersects(panel))
            << stringFromRect(frame).toStdString() << " under " << stringFromRect(panel).toStdString();
    }

    QTest::keyClick(first, Qt::Key_Comma, Qt::ControlModifier);
    QCoreApplication::processEvents();
    QWidget* settings = session->appDelegate().settingsWindow();
    ASSERT_TRUE(settings && settings->isVisible());
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect panelOnScreen = preview.window()->hostWidget()->frameGeometry();
    EXPECT_TRUE(available.contains(settings->frameGeometry())) << settings->frameGeometry().x();
    EXPECT_FALSE(settings->frameGeometry().intersects(panelOnScreen))
        << settings->frameGeometry().x() << " " << settings->frameGeometry().width() << " panel "
        << panelOnScreen.x();
}

TEST_F(LaunchedWindowSizing, BookmarksKeepTheirSizeOnScreenUnderQuickZoomWhileTheTalentCopyIsUntouched)
{
    TextView* editor = controller().textView();
    const QString script = editor->textStorage().string();
    const qsizetype marker = script.indexOf(QChar(0xFFFC));
    ASSERT_GE(marker, 0) << "the sample script has bookmarks";
    const auto cellAt = [](const TextStorage& storage, qsizetype index) {
        const auto attachment = storage.attribute(kAttachmentAttributeName, index).attachment();
        return attachment ? attachment->attachmentCell() : nullptr;
    };
    const auto cell = cellAt(editor->textStorage(), marker);
    ASSERT_NE(cell, nullptr);
    const double natural = cell->cellSize().width();
    ASSERT_GT(natural, 0);
    const auto laidWidth = [](LayoutManager& layout, qsizetype index) {
        layout.ensureLayoutForCharacterRange({0, index + 1});
        return layout.boundingRectForGlyphRange({index, 1}).width();
    };
    TextView* talent =
        OVTalentWindowController::sharedTalentWindowController().prompterView()->prompterTextView();
    ASSERT_NE(talent, nullptr);
    const qsizetype talentMarker = talent->textStorage().string().indexOf(QChar(0xFFFC));
    ASSERT_GE(talentMarker, 0);
    const double talentWidth = laidWidth(*talent->layoutManager(), talentMarker);
    EXPECT_NEAR(laidWidth(*editor->layoutManager(), marker), natural, 1);

    QToolButton* zoom = toolbarButton(QStringLiteral("Quick Zoom"));
    ASSERT_NE(zoom, nullptr);
    QTest::mouseClick(zoom, Qt::LeftButton);
    QCoreApplication::processEvents();
    const double scale = controller().contentZoomScale();
    ASSERT_LT(scale, 1.0);
    // Laid out larger by the zoom, so the text's shrinking leaves the icon as large as it was.
    EXPECT_NEAR(laidWidth(*editor->layoutManager(), marker) * scale, natural, 1);
    EXPECT_NEAR(laidWidth(*talent->layoutManager(), talentMarker), talentWidth, 0.01);

    QTest::mouseClick(zoom, Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_NEAR(laidWidth(*editor->layoutManager(), marker), natural, 1);
}

// The lock keeps the user from resizing, never the program: Prompt mode still gives a locked window
// the whole screen, and Edit mode gives it back its own size, still locked.
TEST_F(LaunchedWindowSizing, ALockedWindowFillsTheScreenWhilePromptingAndStaysLockedAfter)
{
    Window* window = controller().window();
    QWidget* host = window->hostWidget();
    const std::optional<Screen> screen = window->screen();
    ASSERT_TRUE(screen);
    const Rect edit{{screen->visibleFrame().origin.x + 40, screen->visibleFrame().origin.y + 40}, {520, 380}};
    window->setFrame(edit);
    QCoreApplication::processEvents();

    QMenu* menu =
        Menu::mainMenu()->itemWithAction(QStringLiteral("toggleLockWindowResizing:"))->menu()->qMenu();
    menu->popup(host->mapToGlobal(QPoint(20, 20)));
    QCoreApplication::processEvents();
    QAction* lock = nullptr;
    for (QAction* action : menu->actions())
        if (action->text() == QStringLiteral("Lock Window Resizing"))
            lock = action;
    ASSERT_NE(lock, nullptr);
    const QPoint at = menu->actionGeometry(lock).center();
    QTest::mouseMove(menu, at);
    QTest::mouseClick(menu, Qt::LeftButton, {}, at);
    QCoreApplication::processEvents();
    ASSERT_TRUE(controller().isWindowResizingLocked());
    EXPECT_EQ(host->minimumSize(), QSize(520, 380));
    EXPECT_EQ(host->maximumSize(), QSize(520, 380));

    // Prompting full screen, as the Prompt settings pane's choice sets it.
    UserDefaults::shared().setBool(false, QStringLiteral("useWindowedPrompting"));
    // The mode change runs its steps through the run loop, as it would on screen.
    const auto settle = [this] {
        for (int step = 0; step < 40; ++step) {
            RunLoop::main().advanceManualClock(clock, 0.05);
            QCoreApplication::processEvents();
        }
    };
    QTest::keyClick(host, Qt::Key_Return, Qt::ControlModifier);
    settle();
    ASSERT_TRUE(OVApplication::shared().core().isModePrompt());
    // The whole screen, and the strip a title bar would take above it.
    const Rect prompting = window->frame();
    EXPECT_EQ(prompting.origin.x, screen->frame().origin.x) << stringFromRect(prompting).toStdString();
    EXPECT_EQ(prompting.size.width, screen->frame().size.width);
    EXPECT_GE(prompting.size.height, screen->frame().size.height);
    EXPECT_LE(prompting.minY(), screen->frame().minY());
    EXPECT_EQ(host->size(), QSize(int(prompting.size.width), int(prompting.size.height)));

    QTest::keyClick(host, Qt::Key_Escape);
    settle();
    ASSERT_FALSE(OVApplication::shared().core().isModePrompt());
    EXPECT_EQ(window->frame(), edit) << stringFromRect(window->frame()).toStdString();
    EXPECT_TRUE(controller().isWindowResizingLocked());
    EXPECT_EQ(host->maximumSize(), QSize(520, 380));
}

// Zoom and the cascade of new windows keep every window on the screen, however many there are.
TEST_F(LaunchedWindowSizing, ZoomAndManyNewWindowsStayOnTheScreen)
{
    Window* window = controller().window();
    const Rect visible = window->screen()->visibleFrame();
    Application::shared().sendAction(QStringLiteral("performZoom:"), nullptr, {});
    QCoreApplication::processEvents();
    EXPECT_TRUE(visible.contains(window->frame())) << stringFromRect(window->frame()).toStdString();

    QWidget* first = window->hostWidget();
    std::vector<Rect> frames;
    for (int made = 2; made <= 14; ++made) {
        QTest::keyClick(first, Qt::Key_N, Qt::ControlModifier);
        QCoreApplication::processEvents();
        ASSERT_EQ(documents().size(), size_t(made));
        const Rect frame = documents().back()->primaryWindowController()->window()->frame();
        EXPECT_TRUE(visible.contains(frame)) << made << ": " << stringFromRect(frame).toStdString();
        frames.push_back(frame);
    }
    // Still a cascade: each new window a step off the one before, not all on one place.
    EXPECT_NE(frames[0].origin, frames[1].origin);
}

} // namespace
