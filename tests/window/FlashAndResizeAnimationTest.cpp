// The mark flash on the shared clock, and windows that resize at once while the prompter changes mode.
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/Clock.h"
#include "window/NSWindowOVResizeAnimationAdditions.h"
#include "window/OVFlashWindow.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace {

class ClockScope {
public:
    ClockScope() { Clock::setShared(&clock); }
    ~ClockScope() { Clock::setShared(nullptr); }
    ManualClock clock;
};

TEST(FlashWindow, AFlashDuringAFlashRestartsTheFadeAndOnlyTheLastCompletes)
{
    ClockScope time;
    std::unique_ptr<OVFlashWindow> flash = OVFlashWindow::window();
    int began = 0;
    int completed = 0;
    double completedAt = 0;
    flash->setFlashDidBegin([&began](OVFlashWindow&) { ++began; });
    flash->setFlashDidComplete([&](OVFlashWindow&) {
        ++completed;
        completedAt = time.clock.now();
    });
    const double start = time.clock.now();
    flash->flash();
    EXPECT_DOUBLE_EQ(flash->alphaValue(), OVFlashWindow::kDefaultIntensity);
    RunLoop::main().advanceManualClock(time.clock, 0.1);
    EXPECT_LT(flash->alphaValue(), OVFlashWindow::kDefaultIntensity);
    flash->flash();
    EXPECT_DOUBLE_EQ(flash->alphaValue(), OVFlashWindow::kDefaultIntensity);
    RunLoop::main().advanceManualClock(time.clock, 0.4);
    EXPECT_EQ(began, 2);
    EXPECT_EQ(completed, 0);
    RunLoop::main().advanceManualClock(time.clock, 0.1);
    EXPECT_EQ(completed, 1);
    EXPECT_NEAR(completedAt - start, 0.1 + OVFlashWindow::kDefaultDuration, 0.02);
    EXPECT_FALSE(flash->isFlashing());
    EXPECT_DOUBLE_EQ(flash->alphaValue(), 0.0);
    // Clicks and the keyboard pass it by.
    EXPECT_EQ(flash->hitTest(Point{10, 10}), nullptr);
    EXPECT_FALSE(flash->acceptsFirstResponder());
}

TEST(FlashWindow, AFlashFrameDrawsWellWithinAFrameTime)
{
    std::unique_ptr<OVFlashWindow> flash = OVFlashWindow::window();
    QImage image(640, 480, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    QElapsedTimer timer;
    timer.start();
    constexpr int kFrames = 200;
    for (int i = 0; i < kFrames; ++i) {
        QPainter painter(&image);
        painter.setOpacity(0.5);
        flash->drawRect(painter, flash->bounds());
    }
    // Generous for a loaded machine; the benchmark gives the real figure.
    EXPECT_LT(double(timer.nsecsElapsed()) / kFrames, 5e6);
    // White at half strength over black.
    image.fill(Qt::black);
    {
        QPainter painter(&image);
        painter.setOpacity(0.5);
        flash->drawRect(painter, flash->bounds());
    }
    EXPECT_NEAR(QColor(image.pixel(320, 240)).red(), 128, 1);
}

TEST(ResizeAnimation, AMarkedWindowResizesAtOnceAndAnUnmarkedOneAnimates)
{
    ClockScope time;
    const bool wasOn = NSWindowOVResizeAnimationAdditions::isAnimationResizeTimeOverridden();
    if (!wasOn)
        NSWindowOVResizeAnimationAdditions::toggleAnimationResizeOverride();
    Window marked(Rect(100, 100, 400, 300));
    Window unmarked(Rect(100, 100, 400, 300));
    NSWindowOVResizeAnimationAdditions::setUsesInstantAnimationResizeTime(marked, true);
    const Rect target(100, 100, 600, 500);
    EXPECT_EQ(NSWindowOVResizeAnimationAdditions::customAnimationResizeTime(marked, target), 0.0);
    EXPECT_GT(NSWindowOVResizeAnimationAdditions::customAnimationResizeTime(unmarked, target), 0.0);

    bool markedDone = false;
    marked.animateFrame(target, 0.3, [&markedDone](bool finished) { markedDone = finished; });
    unmarked.animateFrame(target, 0.3);
    EXPECT_EQ(marked.frame(), target);
    EXPECT_TRUE(markedDone);
    EXPECT_NE(unmarked.frame(), target);
    RunLoop::main().advanceManualClock(time.clock, 0.35);
    EXPECT_EQ(unmarked.frame(), target);

    // Switched off again, the mark means nothing.
    NSWindowOVResizeAnimationAdditions::toggleAnimationResizeOverride();
    EXPECT_GT(NSWindowOVResizeAnimationAdditions::customAnimationResizeTime(marked, target), 0.0);
    marked.animateFrame(Rect(100, 100, 400, 300), 0.3);
    EXPECT_EQ(marked.frame(), target);
    RunLoop::main().advanceManualClock(time.clock, 0.35);
    if (wasOn)
        NSWindowOVResizeAnimationAdditions::toggleAnimationResizeOverride();
}

} // namespace
