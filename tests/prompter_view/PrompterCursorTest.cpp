// While prompting the cursor hides only where the script is: over the toolbar, the rest of the
// window or another application the operator still needs it.
#include "PrompterViewTestSupport.h"

#include "prompter_view/OVPrompterView.h"

#include <QApplication>
#include <QCursor>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

TEST(PrompterCursor, TheMouseCountsAsOverThePrompterOnlyInsideItInTheActiveWindow)
{
    HostWindow host({800, 400});
    OVPrompterView* prompter = host.add(std::make_unique<OVPrompterView>(Rect{0, 0, 400, 400}));
    QWidget* widget = host.window->hostWidget();
    ASSERT_NE(widget, nullptr);
    host.window->makeKeyAndOrderFront();
    QApplication::setActiveWindow(widget);
    ASSERT_TRUE(widget->isActiveWindow());

    QCursor::setPos(widget->mapToGlobal(QPoint(100, 200)));
    EXPECT_TRUE(prompter->isMouseOverPrompter());
    QCursor::setPos(widget->mapToGlobal(QPoint(600, 200)));
    EXPECT_FALSE(prompter->isMouseOverPrompter());

    QCursor::setPos(widget->mapToGlobal(QPoint(100, 200)));
    QApplication::setActiveWindow(nullptr);
    EXPECT_FALSE(prompter->isMouseOverPrompter());
}

} // namespace
