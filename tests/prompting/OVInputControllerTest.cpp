#include "CoreTestSupport.h"

#include "platform/appkit/AppKitNotifications.h"
#include "platform/appkit/Cursor.h"
#include "platform/hvkit/HVCursorAdditions.h"
#include "platform/hvkit/HVInputMonitor.h"
#include "platform/hvkit/HVMouseMovementController.h"
#include "prompting/OVInputController.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

namespace {

// Stands in for the front document's window controller: answers every prompting action and
// records it with its sender.
class RecordingWindowController final : public Responder {
public:
    RecordingWindowController()
    {
        for (const char* action :
             {"toggleStatus:", "enterEditMode:", "increaseSpeed:", "decreaseSpeed:", "scrollToNextLine:",
              "scrollToPreviousLine:", "switchDirection:", "markText:", "toggleBlanking:",
              "resetElapsedTimer:", "previousBookmark:", "nextBookmark:", "scriptStart:", "scriptEnd:",
              "prompterScrollPageUp:", "prompterScrollPageDown:", "setSpeedFromHotKeyValueNumber:"}) {
            const QString name = QString::fromLatin1(action);
            setActionHandler(name, [this, name](const QVariant& sender) {
                actions << name;
                senders << sender;
            });
        }
    }
    QStringList actions;
    QVariantList senders;
};

class InputControllerTest : public CoreTest {
protected:
    void SetUp() override
    {
        CoreTest::SetUp();
        controller.window->orderFront();
        controller.window->setDelegate(&windowController);
        Application::shared().setKeyWindow(controller.window.get());
    }

    void TearDown() override
    {
        Application::shared().setKeyWindow(nullptr);
        CoreTest::TearDown();
        Cursor::setHiddenUntilMouseMoves(false);
    }

    // A core with the real input controller, as the core makes it, in Prompt mode.
    void enterPromptMode()
    {
        makeCore();
        core->setInputController(nullptr);
        core->enterPromptMode();
        input = dynamic_cast<OVInputController*>(core->inputController());
        ASSERT_NE(input, nullptr);
        input->setApplicationActiveProvider([] { return true; });
    }

    void key(QEvent::Type type, int qtKey, Qt::KeyboardModifiers modifiers = {}, const QString& text = {},
             bool autoRepeat = false)
    {
        QKeyEvent event(type, qtKey, modifiers, text, autoRepeat);
        QCoreApplication::sendEvent(controller.window->hostWidget(), &event);
    }
    void press(int qtKey, Qt::KeyboardModifiers modifiers = {}, const QString& text = {},
               bool autoRepeat = false)
    {
        key(QEvent::KeyPress, qtKey, modifiers, text, autoRepeat);
    }
    void release(int qtKey, Qt::KeyboardModifiers modifiers = {}, const QString& text = {})
    {
        key(QEvent::KeyRelease, qtKey, modifiers, text);
    }
    void tap(int qtKey, Qt::KeyboardModifiers modifiers = {}, const QString& text = {})
    {
        press(qtKey, modifiers, text);
        release(qtKey, modifiers, text);
    }
    // Window coordinates are y-up; Qt's widget coordinates y-down.
    void mouse(QEvent::Type type, Qt::MouseButton button, QPointF position = {200, 150})
    {
        const Qt::MouseButtons held =
            type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::NoButton;
        QWidget* host = controller.window->hostWidget();
        QMouseEvent event(type, position, host->mapToGlobal(position), button, held, Qt::NoModifier);
        QCoreApplication::sendEvent(host, &event);
    }
    void click(Qt::MouseButton button)
    {
        mouse(QEvent::MouseButtonPress, button);
        mouse(QEvent::MouseButtonRelease, button);
    }
    static qint64 uses(const QString& key)
    {
        return HVAppServices::shared().analytics().integerForKeyPath(key);
    }

    RecordingWindowController windowController;
    OVInputController* input = nullptr;
};

TEST_F(InputControllerTest, EveryDefaultHotKeySendsItsActionOnceThroughTheResponderChain)
{
    enterPromptMode();
    struct Case {
        int key;
        Qt::KeyboardModifiers modifiers;
        QString text;
        QString action;
        QString statistic;
    };
    const QList<Case> cases = {
        {Qt::Key_Space, {}, " ", "toggleStatus:", "hotkeys.toggleStartUses"},
        {Qt::Key_Space, Qt::AltModifier, " ", "toggleStatus:", "hotkeys.toggleStartUses"},
        {Qt::Key_Escape, {}, "\x1b", "enterEditMode:", "hotkeys.editModeUses"},
        {Qt::Key_I, {}, "i", "switchDirection:", "hotkeys.switchDirectionUses"},
        {Qt::Key_M, {}, "m", "markText:", "hotkeys.markTextUses"},
        {Qt::Key_B, Qt::ShiftModifier, "B", "toggleBlanking:", "hotkeys.toggleBlankingUses"},
        {Qt::Key_R, {}, "r", "resetElapsedTimer:", "hotkeys.resetTimerUses"},
        {Qt::Key_BracketLeft, {}, "[", "previousBookmark:", "hotkeys.previousBookmarkUses"},
        {Qt::Key_BracketRight, {}, "]", "nextBookmark:", "hotkeys.nextBookmarkUses"},
        {Qt::Key_Home, {}, {}, "scriptStart:", "hotkeys.scriptStartUses"},
        {Qt::Key_End, {}, {}, "scriptEnd:", "hotkeys.scriptEndUses"},
        {Qt::Key_PageUp, {}, {}, "prompterScrollPageUp:", {}},
        {Qt::Key_PageDown, {}, {}, "prompterScrollPageDown:", {}},
        {Qt::Key_5, {}, "5", "setSpeedFromHotKeyValueNumber:", "hotkeys.numberKeySpeedAdjustments"},
        {Qt::Key_QuoteLeft, {}, "`", "setSpeedFromHotKeyValueNumber:", "hotkeys.numberKeySpeedAdjustments"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.action.toStdString());
        windowController.actions.clear();
        const qint64 before = c.statistic.isEmpty() ? 0 : uses(c.statistic);
        tap(c.key, c.modifiers, c.text);
        EXPECT_EQ(windowController.actions, QStringList({c.action}));
        if (!c.statistic.isEmpty()) {
            EXPECT_EQ(uses(c.statistic), before + 1);
        }
    }
    // The number keys send their own character.
    EXPECT_EQ(windowController.senders.last().toUInt(), 96u);
    EXPECT_TRUE(input->isStarted());
}

TEST_F(InputControllerTest, OnePressSendsOneActionHoweverItRepeats)
{
    enterPromptMode();
    press(Qt::Key_Escape, {}, "\x1b");
    press(Qt::Key_Escape, {}, "\x1b", true);
    // A second press without a release in between is the same press.
    press(Qt::Key_Escape, {}, "\x1b");
    release(Qt::Key_Escape, {}, "\x1b");
    EXPECT_EQ(windowController.actions, QStringList({"enterEditMode:"}));
    EXPECT_EQ(uses("hotkeys.editModeUses"), 1);
    // A release without a press sends nothing.
    release(Qt::Key_Escape, {}, "\x1b");
    EXPECT_EQ(windowController.actions.size(), 1);
}

TEST_F(InputControllerTest, KeysDoNothingOutsidePromptMode)
{
    makeCore();
    core->setInputController(nullptr);
    tap(Qt::Key_Space, {}, " ");
    core->enterPromptMode();
    tap(Qt::Key_Space, {}, " ");
    core->enterEditMode();
    tap(Qt::Key_Space, {}, " ");
    press(Qt::Key_Down);
    EXPECT_EQ(windowController.actions, QStringList({"toggleStatus:"}));
    EXPECT_FALSE(core->inputController()->scrollDown());
    // The core made one controller and keeps it for the next entry.
    OVCoreInputController* first = core->inputController();
    core->enterPromptMode();
    EXPECT_EQ(core->inputController(), first);
    tap(Qt::Key_Space, {}, " ");
    EXPECT_EQ(windowController.actions.size(), 2);
}

TEST_F(InputControllerTest, EscapeFallsBackToEditModeOnlyWhenFree)
{
    defaults().setInteger(0, kHotkeyEditModeKey);
    enterPromptMode();
    tap(Qt::Key_Escape, {}, "\x1b");
    EXPECT_EQ(windowController.actions, QStringList({"enterEditMode:"}));
    EXPECT_EQ(uses("hotkeys.editModeUses"), 1);
    core->enterEditMode();

    windowController.actions.clear();
    defaults().setInteger(27, kHotkeyToggleStartKey);
    core->enterPromptMode();
    tap(Qt::Key_Escape, {}, "\x1b");
    tap(Qt::Key_Space, {}, " ");
    EXPECT_EQ(windowController.actions, QStringList({"toggleStatus:"}));
}

TEST_F(InputControllerTest, OptionSpaceIsTheAlternativeToggleKey)
{
    defaults().setInteger(0, kHotkeyToggleStartKey);
    enterPromptMode();
    tap(Qt::Key_Space, {}, " ");
    EXPECT_TRUE(windowController.actions.isEmpty());
    tap(Qt::Key_Space, Qt::AltModifier, " ");
    EXPECT_EQ(windowController.actions, QStringList({"toggleStatus:"}));
    EXPECT_EQ(uses("hotkeys.toggleStartUses"), 1);
}

TEST_F(InputControllerTest, AnActionNobodyHandlesIsNotCounted)
{
    controller.window->setDelegate(nullptr);
    enterPromptMode();
    tap(Qt::Key_M, {}, "m");
    EXPECT_EQ(uses("hotkeys.markTextUses"), 0);
}

TEST_F(InputControllerTest, PageKeysAndNumberKeysTakeOnlyWhatIsFree)
{
    defaults().setInteger(0xF72D, kHotkeyNextBookmarkKey);
    defaults().setInteger('1', kHotkeyMarkTextKey);
    enterPromptMode();
    tap(Qt::Key_PageDown);
    tap(Qt::Key_PageUp);
    tap(Qt::Key_5, {}, "5");
    tap(Qt::Key_1, {}, "1");
    EXPECT_EQ(windowController.actions, QStringList({"nextBookmark:", "markText:"}));
}

TEST_F(InputControllerTest, TheFirstRowOfTheTableWinsAKeyTwoSettingsHold)
{
    defaults().setInteger(0xF701, kHotkeyToggleStartKey);
    // Boost comes before switching direction in the table, though its responder is made last.
    defaults().setInteger('i', kHotkeySpeedBoostKey);
    enterPromptMode();
    tap(Qt::Key_Down);
    EXPECT_FALSE(input->scrollDown());
    press(Qt::Key_I, {}, "i");
    EXPECT_TRUE(input->boostSpeed());
    release(Qt::Key_I, {}, "i");
    EXPECT_EQ(windowController.actions, QStringList({"toggleStatus:"}));
}

TEST_F(InputControllerTest, SettingsThatNameNoKeyMapNothing)
{
    defaults().setObject(PlistValue(QStringLiteral("space")), kHotkeyToggleStartKey);
    defaults().setInteger(32 + 0x10000, kHotkeyMarkTextKey);
    defaults().setDouble(73.5, kHotkeySwitchDirectionKey);
    EXPECT_EQ(OVInputController::hotKeyValue(kHotkeyToggleStartKey), 0);
    EXPECT_EQ(OVInputController::hotKeyValue(kHotkeyMarkTextKey), 0);
    EXPECT_EQ(OVInputController::hotKeyValue(kHotkeySwitchDirectionKey), 0);
    EXPECT_EQ(OVInputController::hotKeyValue(kHotkeyScriptEndKey), 0xF72B);
    EXPECT_EQ(OVInputController::hotKeyValue(QStringLiteral("hotkeyNoSuchThing")), 0);
    enterPromptMode();
    tap(Qt::Key_Space, {}, " ");
    tap(Qt::Key_I, {}, "i");
    EXPECT_TRUE(windowController.actions.isEmpty());
}

TEST_F(InputControllerTest, CommandAndControlCombinationsAreLeftToTheMenus)
{
    enterPromptMode();
    press(Qt::Key_S, Qt::ControlModifier, "\x13");
    EXPECT_FALSE(input->boostSpeed());
    release(Qt::Key_S, Qt::ControlModifier, "\x13");
    tap(Qt::Key_Space, Qt::MetaModifier, " ");
    EXPECT_TRUE(windowController.actions.isEmpty());
    // Option is no menu's: with a number it sets the speed backwards.
    tap(Qt::Key_5, Qt::AltModifier, "5");
    EXPECT_EQ(windowController.actions, QStringList({"setSpeedFromHotKeyValueNumber:"}));
}

TEST_F(InputControllerTest, HeldScrollKeysChangeTheNextTicksOffset)
{
    enterPromptMode();
    core->startPrompter();
    controller.setSpeed(1);
    advance(0.1);
    const double start = controller.y();
    advance(0.1);
    const double plain = controller.y() - start;

    press(Qt::Key_Down);
    EXPECT_TRUE(input->scrollDown());
    EXPECT_EQ(input->lastScrollDownTime(), now());
    press(Qt::Key_Down, {}, {}, true);
    EXPECT_EQ(input->lastScrollDownTime(), now());
    advance(0.1);
    const double before = controller.y();
    advance(0.1);
    EXPECT_GT(controller.y() - before, plain);

    advance(1);
    release(Qt::Key_Down);
    EXPECT_FALSE(input->scrollDown());
    EXPECT_EQ(input->lastScrollDownTime(), now());
    EXPECT_EQ(uses("hotkeys.scrollDownUses"), 1);

    advance(1);
    const double beforeUp = controller.y();
    press(Qt::Key_Up);
    EXPECT_TRUE(input->scrollUp());
    advance(0.2);
    EXPECT_LT(core->adjustedSpeed(), 0);
    EXPECT_LT(controller.y(), beforeUp);
    release(Qt::Key_Up);
    EXPECT_EQ(uses("hotkeys.scrollUpUses"), 1);
}

TEST_F(InputControllerTest, OptionWithAScrollKeyMovesOneLine)
{
    enterPromptMode();
    press(Qt::Key_Down, Qt::AltModifier);
    EXPECT_EQ(windowController.actions, QStringList({"scrollToNextLine:"}));
    EXPECT_EQ(windowController.senders.last().value<OVInputController*>(), input);
    EXPECT_FALSE(input->scrollDown());
    release(Qt::Key_Down, Qt::AltModifier);
    EXPECT_EQ(uses("hotkeys.scrollLineDownUses"), 1);
    EXPECT_EQ(uses("hotkeys.scrollDownUses"), 0);
    tap(Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(windowController.actions.last(), "scrollToPreviousLine:");

    // Option pressed while the key is held ends the held state, and the easing starts then.
    press(Qt::Key_Down);
    clockScope.clock.advance(0.5);
    release(Qt::Key_Down, Qt::AltModifier);
    EXPECT_FALSE(input->scrollDown());
    EXPECT_EQ(input->lastScrollDownTime(), now());
}

TEST_F(InputControllerTest, BoostHoldsWhileTheKeyIsDownInEitherCase)
{
    enterPromptMode();
    press(Qt::Key_S, {}, "s");
    EXPECT_TRUE(input->boostSpeed());
    press(Qt::Key_S, {}, "s", true);
    release(Qt::Key_S, Qt::ShiftModifier, "S");
    EXPECT_FALSE(input->boostSpeed());
    EXPECT_EQ(uses("hotkeys.speedBoost"), 1);

    core->startPrompter();
    controller.setSpeed(2);
    press(Qt::Key_S, Qt::ShiftModifier, "S");
    advance(0.1);
    EXPECT_DOUBLE_EQ(core->adjustedSpeed(), (20.0 - 2.0) * 0.3 + 2.0);
    release(Qt::Key_S, {}, "s");
}

TEST_F(InputControllerTest, HeldSpeedKeysRepeatTheirActionOnTheClock)
{
    enterPromptMode();
    const double interval = OVInputController::autoRepeatInterval();
    ASSERT_GT(interval, 0);
    ASSERT_LE(interval, 0.25);

    press(Qt::Key_Right);
    EXPECT_EQ(windowController.actions, QStringList({"increaseSpeed:"}));
    EXPECT_EQ(windowController.senders.last().value<OVInputController*>(), input);
    advance(interval * 3 + interval / 2);
    EXPECT_EQ(windowController.actions.size(), 4);
    // Holding both keys sends nothing.
    press(Qt::Key_Left);
    advance(interval * 2);
    EXPECT_EQ(windowController.actions.size(), 4);
    release(Qt::Key_Right);
    EXPECT_TRUE(input->hasAutoRepeatTimer());
    advance(interval);
    EXPECT_EQ(windowController.actions.last(), "decreaseSpeed:");
    release(Qt::Key_Left);
    EXPECT_FALSE(input->hasAutoRepeatTimer());
    const qsizetype sent = windowController.actions.size();
    advance(interval * 4);
    EXPECT_EQ(windowController.actions.size(), sent);
    EXPECT_EQ(uses("hotkeys.increaseSpeedUses"), 1);
    EXPECT_EQ(uses("hotkeys.decreaseSpeedUses"), 1);
}

TEST_F(InputControllerTest, TheRepeatStopsWhenPromptModeOrTheApplicationDoes)
{
    enterPromptMode();
    bool active = true;
    input->setApplicationActiveProvider([&active] { return active; });
    press(Qt::Key_Right);
    active = false;
    advance(1.0);
    EXPECT_EQ(windowController.actions.size(), 1);
    active = true;

    // Leaving Prompt mode with the key down leaves no repeat behind for the next entry.
    core->enterEditMode();
    EXPECT_FALSE(input->hasAutoRepeatTimer());
    EXPECT_FALSE(input->increaseSpeed());
    core->enterPromptMode();
    advance(1.0);
    EXPECT_EQ(windowController.actions.size(), 1);
}

TEST_F(InputControllerTest, AHeldKeyIsLetGoWhenTheApplicationResignsActive)
{
    enterPromptMode();
    press(Qt::Key_Down);
    press(Qt::Key_Right);
    NotificationCenter::shared().postNotification(kApplicationDidResignActiveNotification,
                                                  &Application::shared());
    EXPECT_FALSE(input->scrollDown());
    EXPECT_FALSE(input->increaseSpeed());
    EXPECT_FALSE(input->hasAutoRepeatTimer());
}

TEST_F(InputControllerTest, ClicksOverThePrompterStartAndReverseIt)
{
    enterPromptMode();
    click(Qt::LeftButton);
    click(Qt::RightButton);
    click(Qt::MiddleButton);
    EXPECT_EQ(windowController.actions, QStringList({"toggleStatus:", "switchDirection:"}));
    EXPECT_EQ(windowController.senders.first().value<OVInputController*>(), input);
    // A release hides the pointer again after a while.
    EXPECT_TRUE(HVCursorAdditions::isHideAfterDelayPending());

    // Clicks elsewhere in the window are the window's.
    windowController.actions.clear();
    input->setPrompterViewFilter([](const View*) { return false; });
    click(Qt::LeftButton);
    EXPECT_TRUE(windowController.actions.isEmpty());
}

TEST_F(InputControllerTest, AClickWithAnotherBehaviourSendsNothingButShowsThePointer)
{
    defaults().setInteger(1, QStringLiteral("leftClickBehaviorTag"));
    defaults().setInteger(1, QStringLiteral("rightClickBehaviorTag"));
    enterPromptMode();
    Cursor::setHiddenUntilMouseMoves(true);
    mouse(QEvent::MouseButtonPress, Qt::LeftButton);
    EXPECT_FALSE(Cursor::isHiddenUntilMouseMoves());
    EXPECT_FALSE(HVCursorAdditions::isHideAfterDelayPending());
    mouse(QEvent::MouseButtonRelease, Qt::LeftButton);
    click(Qt::RightButton);
    EXPECT_TRUE(windowController.actions.isEmpty());
}

TEST_F(InputControllerTest, MouseMovementRenewsTheDelayedHiding)
{
    enterPromptMode();
    HVCursorAdditions::cancelHideAfterDelay();
    mouse(QEvent::MouseMove, Qt::NoButton, {50, 50});
    EXPECT_TRUE(HVCursorAdditions::isHideAfterDelayPending());
    advance(2.0);
    EXPECT_TRUE(Cursor::isHiddenUntilMouseMoves());
}

TEST_F(InputControllerTest, MousePromptingTurnsMovementIntoSpeed)
{
    defaults().setBool(true, QStringLiteral("cursorMovementAdjustsSpeed"));
    defaults().setDouble(0.2, QStringLiteral("speedIncrement"));
    enterPromptMode();
    core->startPrompter();
    controller.setSpeed(3.0);
    ASSERT_TRUE(core->isMousePrompting());
    ASSERT_NE(core->mouseMovementController(), nullptr);
    EXPECT_TRUE(core->mouseMovementController()->isStarted());
    EXPECT_EQ(core->mouseMovementController()->referenceView(), controller.clipView());

    // Widget y grows downwards: 50 points down the screen.
    mouse(QEvent::MouseMove, Qt::NoButton, {100, 100});
    mouse(QEvent::MouseMove, Qt::NoButton, {100, 150});
    EXPECT_DOUBLE_EQ(controller.speed(), 3.1);
    core->_mousePromptingMoved(1e9);
    EXPECT_EQ(controller.speed(), controller.maxSpeedUIValue());

    core->pausePrompter();
    EXPECT_FALSE(core->isMousePrompting());
    EXPECT_FALSE(core->mouseMovementController()->isStarted());
    EXPECT_EQ(core->mouseMovementController()->referenceView(), nullptr);
}

TEST_F(InputControllerTest, ReversedMousePromptingAndAnIncrementThatIsNoNumber)
{
    defaults().setBool(true, QStringLiteral("cursorMovementAdjustsSpeed"));
    defaults().setBool(true, QStringLiteral("mouseReverseMovementAdjustsSpeed"));
    defaults().setDouble(0.2, QStringLiteral("speedIncrement"));
    enterPromptMode();
    core->startPrompter();
    controller.setSpeed(3.0);
    core->_mousePromptingMoved(50);
    EXPECT_DOUBLE_EQ(controller.speed(), 2.9);
    core->pausePrompter();

    // An increment that is no number reads as the registered one, so the mouse still changes speed.
    defaults().setDouble(std::numeric_limits<double>::quiet_NaN(), QStringLiteral("speedIncrement"));
    core->startPrompter();
    core->_mousePromptingMoved(50);
    EXPECT_DOUBLE_EQ(controller.speed(), 2.8);
}

} // namespace
