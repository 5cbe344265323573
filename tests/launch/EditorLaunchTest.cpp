// The editor's ruler and marks in the program as launched: the real start on an empty settings
// folder, driven by key events into the script's window.
#include "app/OVDocumentPrompterView.h"
#include "app/OVDocumentSession.h"
#include "app/OVDocumentWindowController.h"
#include "app/OVFlashWindow.h"
#include "app/OVProgramStart.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Document.h"
#include "platform/appkit/DocumentController.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/ScrollView.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/Clock.h"
#include "platform/textview/RulerView.h"
#include "prompting/OVApplication.h"
#include "prompting/OVCore.h"
#include "text/OVTextView.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "LaunchedScriptTest.h"

namespace {

class LaunchedEditor : public launchtest::LaunchedScriptTest {
protected:
    OVTextView& text() const { return *dynamic_cast<OVTextView*>(controller().textView()); }
    OVCore& core() const { return OVApplication::shared().core(); }
    void key(Qt::Key which, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(controller().window()->hostWidget(), which, modifiers);
        QCoreApplication::processEvents();
    }
    std::vector<Range> marks() const
    {
        std::vector<Range> found;
        text().layoutManager()->enumerateTemporaryAttribute(
            OVMarkedTextAttributeName, {0, text().textStorage().length()}, false,
            [&](const AttributeValue& value, const Range& run, bool&) {
                if (!value.isNull())
                    found.push_back(run);
            });
        return found;
    }
};

TEST_F(LaunchedEditor, TheRulerShortcutShowsTheRulerWhichPromptModeHidesAndEditModeBrings)
{
    EXPECT_FALSE(text().isRulerVisible());
    key(Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(text().isRulerVisible());
    ScrollView* scroll = controller().documentPrompterView()->scrollView();
    EXPECT_EQ(scroll->contentView()->frame().origin.y, RulerView::kThickness);
    // Indents are normalised by default, so the ruler offers the tab stops only.
    for (const RulerMarker& marker : text().rulerView()->markers())
        EXPECT_FALSE(marker.isIndent());

    key(Qt::Key_Return, Qt::ControlModifier);
    ASSERT_TRUE(core().isModePrompt());
    EXPECT_FALSE(text().isRulerVisible());
    EXPECT_EQ(scroll->horizontalRulerThickness(), 0.0);
    key(Qt::Key_Escape);
    ASSERT_TRUE(core().isModeEdit());
    EXPECT_TRUE(text().isRulerVisible());

    key(Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(text().isRulerVisible());
    EXPECT_EQ(scroll->contentView()->frame().origin.y, 0.0);
}

TEST_F(LaunchedEditor, TheMarkKeyMarksWhatShowsWithAFlashThatEditModeTakesAway)
{
    EXPECT_TRUE(marks().empty());
    key(Qt::Key_Return, Qt::ControlModifier);
    ASSERT_TRUE(core().isModePrompt());
    key(Qt::Key_M);
    const std::vector<Range> marked = marks();
    ASSERT_EQ(marked.size(), 1u);
    EXPECT_EQ(marked.front().location, 0);
    EXPECT_GT(marked.front().length, 20);
    EXPECT_LT(marked.front().length, text().textStorage().length());
    OVFlashWindow* flash = controller().flashWindow();
    ASSERT_NE(flash, nullptr);
    EXPECT_EQ(flash->superview(), controller().documentPrompterView());

    key(Qt::Key_Escape);
    ASSERT_TRUE(core().isModeEdit());
    EXPECT_EQ(controller().flashWindow(), nullptr);
    // Marks outlast the change of mode.
    EXPECT_EQ(marks(), marked);
}

} // namespace
