// Quick zoom and the window's small controls in the program as launched: the real start, the
// defaults the program registers, an empty settings folder, and mouse clicks on the toolbar.
#include "app/OVDocumentSession.h"
#include "app/OVDocumentWindowController.h"
#include "app/OVDocumentWindowToolbar.h"
#include "app/OVProgramStart.h"
#include "app/OVSlider.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Document.h"
#include "platform/appkit/DocumentController.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/Clock.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
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

} // namespace
