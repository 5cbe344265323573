#include "tests/prompting/CoreTestSupport.h"

#include "output/OVBlockingWindow.h"
#include "output/OVPromptModeNoticeView.h"
#include "output/OVPromptModeWindows.h"
#include "output/OVPrompterWindow.h"
#include "platform/appkit/Alert.h"
#include "prompting/OVPromptModeNoticeWindow.h"

#include <QTest>
#include <QWidget>

namespace {

// The core with the output layer's windows installed, as the program runs it.
class OutputModeChangeTest : public CoreTest {
protected:
    void SetUp() override
    {
        CoreTest::SetUp();
        OVPrompterWindow::setPromptModeQuery([this] { return core && core->isModePrompt(); });
        controller.window->orderFront();
    }
    void TearDown() override
    {
        OVPromptModeNoticeWindow::removeAllOverlays();
        OVPromptModeNoticeWindow::setContentViewMaker({});
        Alert::setModalOptionsProvider({});
        OVPrompterWindow::setPromptModeQuery({});
        CoreTest::TearDown();
    }
    void makeCoreWithWindows()
    {
        makeCore();
        windows.install(*core);
    }
    OVPromptModeWindows windows;
};

} // namespace

TEST_F(OutputModeChangeTest, FullScreenPromptingShieldsTheOperatorScreenWithABlackWindow)
{
    defaults().setBool(false, "useWindowedPrompting");
    makeCoreWithWindows();
    core->enterPromptMode();
    auto* blocking = dynamic_cast<OVBlockingWindow*>(core->blockingWindow());
    ASSERT_NE(blocking, nullptr);
    EXPECT_TRUE(blocking->isVisible());
    EXPECT_EQ(blocking->frame(), Rect(0, 0, 1280, 800));
    EXPECT_EQ(blocking->backgroundColor(), QColor(Qt::black));
    EXPECT_TRUE(blocking->hostWidget()->windowFlags() & Qt::X11BypassWindowManagerHint);
    EXPECT_EQ(blocking->eventInterpreter(), nullptr);
    EXPECT_NE(Application::shared().keyWindow(), blocking);

    core->enterEditMode();
    EXPECT_FALSE(blocking->isVisible());
    for (int round = 0; round < 3; ++round) {
        core->enterPromptMode();
        core->enterEditMode();
    }
    EXPECT_EQ(windows.blockingWindowsMade(), 1);
    for (Window* window : Application::shared().windows()) {
        if (dynamic_cast<OVBlockingWindow*>(window) || dynamic_cast<OVPromptModeNoticeWindow*>(window)) {
            EXPECT_FALSE(window->isVisible());
        }
    }
}

TEST_F(OutputModeChangeTest, OtherMinimisedDocumentsShowTheNoticeOnceRestored)
{
    OVPrompterWindow other(Rect{{300, 100}, {500, 400}});
    other.orderFront();
    other.miniaturize();
    makeCoreWithWindows();
    core->enterPromptMode();
    OVPromptModeNoticeWindow* overlay = OVPromptModeNoticeWindow::overlayOfWindow(&other);
    ASSERT_NE(overlay, nullptr);
    EXPECT_NE(dynamic_cast<OVPromptModeNoticeView*>(overlay->contentView()), nullptr);
    EXPECT_FALSE(overlay->isVisible());
    // Restored by the user, it shows the notice and cannot take the keyboard.
    other.deminiaturize();
    EXPECT_TRUE(overlay->isVisible());
    EXPECT_EQ(overlay->frame(), other.frame());
    other.makeKeyAndOrderFront();
    EXPECT_NE(Application::shared().keyWindow(), &other);
    // Its own title-bar commands do nothing, but the notice minimises it.
    other.performMiniaturize();
    EXPECT_FALSE(other.isMiniaturized());
    QTest::mouseClick(overlay->hostWidget(), Qt::LeftButton, {}, QPoint(40, 40));
    EXPECT_TRUE(other.isMiniaturized());

    core->enterEditMode();
    EXPECT_EQ(OVPromptModeNoticeWindow::overlayOfWindow(&other), nullptr);
    EXPECT_FALSE(overlay->isVisible());
}
