// A document window too narrow for its toolbar, and a document window the user resizes.
#include "app/sample/SampleScript.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/ClipView.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/ScrollView.h"
#include "platform/appkit/Toolbar.h"
#include "platform/appkit/ToolbarItem.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/textview/TextView.h"
#include "prompting/OVCore.h"
#include "tests/support/AppTestSupport.h"
#include "window/OVDocumentPrompterView.h"
#include "window/OVDocumentWindowController.h"
#include "window/OVDocumentWindowToolbar.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QToolBar>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

class NarrowWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        UserDefaults::shared().resetUserValues();
        UserDefaults::shared().setPersistentDomain({});
        core = std::make_unique<OVCore>();
    }
    void TearDown() override
    {
        Application::shared().setMainWindow(nullptr);
        scripts.reset();
        core.reset();
        UserDefaults::shared().resetUserValues();
        UserDefaults::shared().setPersistentDomain({});
    }

    OVDocumentWindowController& openSample()
    {
        scripts = std::make_unique<apptest::ScriptDocuments>(*core, folder);
        const QString sample = QStringLiteral(ORVANE_SOURCE_DIR "/") + samplescript::kSampleRelativePath;
        Error error;
        Document* document =
            scripts->documents.openDocumentWithContentsOfURL(QUrl::fromLocalFile(sample), true, &error);
        EXPECT_NE(document, nullptr);
        auto& controller = apptest::ScriptDocuments::controllerOf(document);
        Application::shared().setMainWindow(controller.window());
        return controller;
    }

    void resizeByUser(Window& window, int width, int height)
    {
        window.hostWidget()->resize(width, height);
        QApplication::processEvents();
    }

    apptest::ClockAndScreen scopes;
    QTemporaryDir folder;
    std::unique_ptr<OVCore> core;
    std::unique_ptr<apptest::ScriptDocuments> scripts;
};

QStringList titles(const Menu& menu)
{
    QStringList result;
    for (MenuItem* item : menu.items())
        result << item->title();
    return result;
}

} // namespace

TEST_F(NarrowWindowTest, TheItemsThatDoNotFitAreOfferedAsMenusThatAct)
{
    auto& controller = openSample();
    Window& window = *controller.window();
    window.orderFront();
    resizeByUser(window, 1600, 700);
    Toolbar& toolbar = controller.documentToolbar()->toolbar();
    EXPECT_TRUE(toolbar.overflowItems().empty());

    // Narrower than the speed control itself: only the first item of the highest priority stays.
    resizeByUser(window, 150, 700);
    RunLoop::main().advanceManualClock(scopes.clock, 0.2);
    std::vector<ToolbarItem*> hidden = toolbar.overflowItems();
    ASSERT_FALSE(hidden.empty());
    Menu& menu = toolbar.overflowMenu();
    menu.prepareToOpen();
    const QStringList shown = titles(menu);
    // The view items come as their menu forms: speed steps, the timer's reset, bookmark navigation.
    ASSERT_TRUE(shown.contains(QStringLiteral("Speed"))) << shown.join(", ").toStdString();
    ASSERT_TRUE(shown.contains(QStringLiteral("Reset Timer")));
    ASSERT_TRUE(shown.contains(QStringLiteral("Bookmarks")));
    MenuItem* speed = menu.itemWithTitle(QStringLiteral("Speed"));
    ASSERT_TRUE(speed->hasSubmenu());
    EXPECT_EQ(titles(*speed->submenu()),
              (QStringList{QStringLiteral("Increase Speed"), QStringLiteral("Decrease Speed")}));
    EXPECT_EQ(menu.itemWithTitle(QStringLiteral("Bookmarks"))->submenu()->numberOfItems(), 2);

    UserDefaults::shared().setDouble(0.5, QStringLiteral("speedIncrement"));
    controller.setPrompterSpeed(2);
    speed->submenu()->prepareToOpen();
    EXPECT_TRUE(speed->submenu()->performActionForItem(speed->submenu()->itemAtIndex(0)));
    EXPECT_DOUBLE_EQ(controller.prompterSpeed(), 2.5);
}

TEST_F(NarrowWindowTest, ResizingKeepsTheTextThatWasShownInView)
{
    auto& controller = openSample();
    Window& window = *controller.window();
    window.orderFront();
    resizeByUser(window, 900, 600);
    RunLoop::main().advanceManualClock(scopes.clock, 0.2);
    TextView* text = controller.textView();
    ASSERT_NE(text, nullptr);
    ClipView* clip = controller.documentPrompterView()->scrollView()->contentView();
    clip->scrollToPoint({0, text->frame().size.height / 2});
    const Range before = text->visibleCharacterRange();
    ASSERT_GT(before.location, 0);

    // A drag to a much narrower window: the lines are not rewrapped while it goes on.
    resizeByUser(window, 700, 600);
    resizeByUser(window, 450, 600);
    EXPECT_TRUE(window.inLiveResize());
    RunLoop::main().advanceManualClock(scopes.clock, Window::kLiveResizeEndDelay + 0.01);
    EXPECT_FALSE(window.inLiveResize());
    // Rewrapped at the new width, the text that was at the top is still in view.
    const Range after = text->visibleCharacterRange();
    EXPECT_TRUE(after.contains(before.location))
        << before.location << " not in " << after.location << "+" << after.length;
}
