// The Controls pane's hot keys in the program as launched, on an empty settings folder, with real
// mouse and key events: a key captured for Start drives the prompter, Space no longer does, and a
// reset of all settings from the Advanced pane gives Space back.
#include "app/OVAppDelegate.h"
#include "output/OVPreviewWindowController.h"
#include "platform/appkit/ClipView.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/ScrollView.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/UserDefaults.h"
#include "preferences/OVAdvancedPreferencesViewController.h"
#include "preferences/OVControlPreferencesViewController.h"
#include "preferences/OVKeyField.h"
#include "prompting/OVApplication.h"
#include "prompting/OVCore.h"
#include "window/OVDocumentPrompterView.h"

#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "LaunchedScriptTest.h"

namespace {

class LaunchedHotKeys : public launchtest::LaunchedScriptTest {
protected:
    OVCore& core() const { return OVApplication::shared().core(); }
    QWidget* host() const { return controller().window()->hostWidget(); }
    double scrollY() const
    {
        return controller().documentPrompterView()->scrollView()->contentView()->bounds().origin.y;
    }
    void key(QWidget* target, Qt::Key which, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(target, which, modifiers);
        QCoreApplication::processEvents();
    }
    void advance(double seconds) { RunLoop::main().advanceManualClock(clock, seconds); }
    QWidget* openSettings()
    {
        key(host(), Qt::Key_Comma, Qt::ControlModifier);
        QWidget* settings = session->appDelegate().settingsWindow();
        EXPECT_TRUE(settings && settings->isVisible());
        return settings;
    }
    template <class Pane> Pane* showPane(QWidget* settings, const char* identifier)
    {
        auto* toolbar = settings->findChild<QToolBar*>();
        QAction* action = toolbar ? toolbar->findChild<QAction*>(QString::fromLatin1(identifier)) : nullptr;
        QWidget* button = action ? toolbar->widgetForAction(action) : nullptr;
        EXPECT_NE(button, nullptr);
        if (!button)
            return nullptr;
        QTest::mouseClick(button, Qt::LeftButton);
        QCoreApplication::processEvents();
        auto* pane = dynamic_cast<Pane*>(settings->findChild<QWidget*>(QString::fromLatin1(identifier)));
        EXPECT_TRUE(pane && pane->isVisible());
        return pane;
    }
    // Enters Prompt mode, presses the key, lets a second pass and answers whether the script moved;
    // leaves Prompt mode paused.
    bool keyStartsThePrompter(Qt::Key which)
    {
        key(host(), Qt::Key_Return, Qt::ControlModifier);
        EXPECT_TRUE(core().isModePrompt());
        if (core().isStatusStarted())
            core().pausePrompter();
        const double before = scrollY();
        key(host(), which);
        for (int step = 0; step < 30; ++step)
            advance(1.0 / 30);
        const bool moved = core().isStatusStarted() && scrollY() > before;
        if (core().isStatusStarted())
            core().pausePrompter();
        key(host(), Qt::Key_Escape);
        EXPECT_TRUE(core().isModeEdit());
        return moved;
    }
};

TEST_F(LaunchedHotKeys, KCapturedForStartDrivesThePrompterUntilAResetGivesSpaceBack)
{
    QWidget* settings = openSettings();
    ASSERT_NE(settings, nullptr);
    auto* controls = showPane<OVControlPreferencesViewController>(settings, "controls");
    ASSERT_NE(controls, nullptr);
    OVKeyField* start = controls->keyFieldForDefaultsKey(QStringLiteral("hotkeyToggleStart"));
    ASSERT_NE(start, nullptr);
    EXPECT_EQ(start->text(), QStringLiteral("Space"));
    QTest::mouseClick(start, Qt::LeftButton);
    QCoreApplication::processEvents();
    ASSERT_TRUE(start->hasFocus());
    key(start, Qt::Key_K);
    EXPECT_EQ(start->text(), QStringLiteral("K"));
    EXPECT_EQ(UserDefaults::shared().integerForKey(QStringLiteral("hotkeyToggleStart")), 75);
    settings->close();
    QCoreApplication::processEvents();

    EXPECT_TRUE(keyStartsThePrompter(Qt::Key_K));
    EXPECT_FALSE(keyStartsThePrompter(Qt::Key_Space));

    // Reset from the Advanced pane's pull-down: the menu and the confirmation answered by keys. The
    // preview panel, put away first, comes forward with it.
    OVPreviewWindowController& preview = OVPreviewWindowController::sharedPreviewWindowController();
    preview.window()->orderOut();
    ASSERT_FALSE(preview.window()->isVisible());
    settings = openSettings();
    auto* advanced = showPane<OVAdvancedPreferencesViewController>(settings, "advanced");
    ASSERT_NE(advanced, nullptr);
    bool menuSeen = false;
    bool alertSeen = false;
    std::function<void()> answerAlert;
    int alertTries = 0;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        menuSeen = menu != nullptr;
        if (!menu)
            return;
        // The confirmation comes up from within the menu's command; it is answered once it shows.
        answerAlert = [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal) {
                if (++alertTries < 200)
                    QTimer::singleShot(5, answerAlert);
                return;
            }
            alertSeen = true;
            QTest::keyClick(modal, Qt::Key_Return);
        };
        QTimer::singleShot(0, answerAlert);
        QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    QTest::mouseClick(advanced->settingsPullDownButton(), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_TRUE(menuSeen);
    EXPECT_TRUE(alertSeen);
    EXPECT_FALSE(UserDefaults::shared().hasUserValue(QStringLiteral("hotkeyToggleStart")));
    EXPECT_EQ(UserDefaults::shared().integerForKey(QStringLiteral("hotkeyToggleStart")), 32);
    EXPECT_TRUE(
        advanced->settingsMenuItem(OVAdvancedPreferencesViewController::kRestoreSettingsTag)->isEnabled());
    settings->close();
    QCoreApplication::processEvents();

    EXPECT_TRUE(keyStartsThePrompter(Qt::Key_Space));
    EXPECT_FALSE(keyStartsThePrompter(Qt::Key_K));
}

} // namespace
