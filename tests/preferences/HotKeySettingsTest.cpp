// The Controls pane's hot-key fields, offscreen, with real key and input-method events: what each
// key stores and shows, what is refused (with a beep, and a shake where it helps), the clear button,
// and that every key a field captures is the key the input controller then answers in Prompt mode.
#include "app/OVDefaultsProviderClasses.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/NSViewHVAdditions.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVInitialDefaultsProvider.h"
#include "platform/hvkit/HVSettingsController.h"
#include "preferences/OVControlPreferencesViewController.h"
#include "preferences/OVKeyField.h"
#include "preferences/OVKeyGroup.h"
#include "preferences/OVUnicharToStringTransformer.h"
#include "prompting/OVCore.h"
#include "tests/support/AppTestSupport.h"
#include "window/OVDocumentWindowController.h"
#include "window/OVSlider.h"

#include <QApplication>
#include <QCheckBox>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

class HotKeySettings : public ::testing::Test {
protected:
    void SetUp() override
    {
        OVDefaultsProviderClasses::registerAll();
        defaults().resetUserValues();
        defaults().registerDefaults(HVInitialDefaultsRegistry::initialDefaults());
        OVKeyGroup::setBeeper([this] { ++beeps; });
        NSViewHVAdditions::setShakeObserver([this](QWidget* view) { shaken.push_back(view); });
        window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window.get());
        pane = new OVControlPreferencesViewController(window.get());
        layout->addWidget(pane);
        window->show();
        QApplication::setActiveWindow(window.get());
    }
    void TearDown() override
    {
        window.reset();
        OVKeyGroup::setBeeper({});
        NSViewHVAdditions::setShakeObserver({});
        defaults().resetUserValues();
    }
    static UserDefaults& defaults() { return UserDefaults::shared(); }

    OVKeyField* field(const char* key) const
    {
        return pane->keyFieldForDefaultsKey(QString::fromLatin1(key));
    }
    static qint64 stored(const char* key) { return defaults().integerForKey(QString::fromLatin1(key)); }

    // A key press and release into a field that has the focus, as the keyboard sends them.
    static void type(OVKeyField* into, int key, const QString& text = {},
                     Qt::KeyboardModifiers modifiers = {})
    {
        into->setFocus(Qt::MouseFocusReason);
        QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
        QApplication::sendEvent(into, &press);
        QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
        QApplication::sendEvent(into, &release);
    }
    static void commit(OVKeyField* into, const QString& text)
    {
        into->setFocus(Qt::MouseFocusReason);
        QInputMethodEvent composing(QStringLiteral("e"), {});
        QApplication::sendEvent(into, &composing);
        QInputMethodEvent committed;
        committed.setCommitString(text);
        QApplication::sendEvent(into, &committed);
    }

    std::unique_ptr<QWidget> window;
    OVControlPreferencesViewController* pane = nullptr;
    int beeps = 0;
    std::vector<QWidget*> shaken;
};

TEST_F(HotKeySettings, EachKeyStoresTheCodeTheKeyboardSendsAndShowsItsName)
{
    OVKeyField* start = field("hotkeyToggleStart");
    ASSERT_NE(start, nullptr);
    EXPECT_EQ(start->text(), QStringLiteral("Space"));
    // Escape is the Edit-mode key until that field gives it up.
    field("hotkeyEditMode")->setRepresentedObject(0);
    EXPECT_EQ(stored("hotkeyEditMode"), 0);
    struct Case {
        int key;
        QString text;
        Qt::KeyboardModifiers modifiers;
        qint64 code;
        QString shown;
    };
    const QList<Case> cases = {
        {Qt::Key_Q, QStringLiteral("q"), {}, 81, QStringLiteral("Q")},
        {Qt::Key_Eacute, QStringLiteral("é"), {}, 201, QStringLiteral("É")},
        // The sharp s has no one-letter upper case: it stays itself, never the boost key's 'S'.
        {Qt::Key_ssharp, QStringLiteral("ß"), {}, 223, QStringLiteral("ß")},
        {Qt::Key_PageDown, {}, {}, 63277, QStringLiteral("Page Down")},
        {Qt::Key_Backspace, QStringLiteral("\b"), {}, 127, QStringLiteral("Delete")},
        {Qt::Key_Delete, QStringLiteral("\x7f"), {}, 63272, QStringLiteral("Forward Delete")},
        {Qt::Key_Enter, QStringLiteral("\r"), Qt::KeypadModifier, 3, QStringLiteral("Enter")},
        {Qt::Key_Escape, QStringLiteral("\x1b"), {}, 27, QStringLiteral("Escape")},
        {Qt::Key_Return, QStringLiteral("\r"), {}, 13, QStringLiteral("Return")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown.toStdString());
        type(start, c.key, c.text, c.modifiers);
        EXPECT_EQ(stored("hotkeyToggleStart"), c.code);
        EXPECT_EQ(start->representedObject(), c.code);
        EXPECT_EQ(start->text(), c.shown);
        // An accepted key moves the focus on.
        EXPECT_FALSE(start->hasFocus());
    }
    EXPECT_EQ(beeps, 0);
    EXPECT_TRUE(shaken.empty());

    // Committed input-method text gives its last character; one beyond 16 bits is refused.
    commit(start, QStringLiteral("xé"));
    EXPECT_EQ(stored("hotkeyToggleStart"), 201);
    commit(start, QString::fromUtf8("\xF0\x9F\x98\x80"));
    EXPECT_EQ(stored("hotkeyToggleStart"), 201);
    EXPECT_EQ(beeps, 1);

    // Shift-Tab moves back and stores nothing.
    OVKeyField* edit = field("hotkeyEditMode");
    type(edit, Qt::Key_Backtab, {}, Qt::ShiftModifier);
    EXPECT_EQ(stored("hotkeyEditMode"), 0);
    EXPECT_TRUE(start->hasFocus());
    EXPECT_EQ(stored("hotkeyToggleStart"), 201);
}

TEST_F(HotKeySettings, RefusedKeysBeepAndShakeWhereTheReasonIs)
{
    OVKeyField* start = field("hotkeyToggleStart");
    // Tab and 'L' are never hot keys: a beep, and nothing shakes.
    type(start, Qt::Key_Tab, QStringLiteral("\t"));
    type(start, Qt::Key_L, QStringLiteral("l"));
    EXPECT_EQ(beeps, 2);
    EXPECT_TRUE(shaken.empty());
    EXPECT_EQ(stored("hotkeyToggleStart"), 32);
    EXPECT_EQ(start->text(), QStringLiteral("Space"));

    // While the number keys set the speed, a digit is refused and their check box shakes.
    type(start, Qt::Key_5, QStringLiteral("5"));
    EXPECT_EQ(beeps, 3);
    ASSERT_EQ(shaken.size(), 1u);
    EXPECT_EQ(shaken.back(), pane->userNumberKeysToAdjustSpeedButton());
    pane->userNumberKeysToAdjustSpeedButton()->click();
    EXPECT_FALSE(defaults().boolForKey(QStringLiteral("hotkeyUseNumberKeysToSetSpeed")));
    type(start, Qt::Key_5, QStringLiteral("5"));
    EXPECT_EQ(stored("hotkeyToggleStart"), 53);
    // Switching them on again takes the digit from the field and its setting.
    pane->userNumberKeysToAdjustSpeedButton()->click();
    EXPECT_EQ(start->representedObject(), 0);
    EXPECT_EQ(stored("hotkeyToggleStart"), 0);
    EXPECT_EQ(start->text(), QString());

    // A key another field holds shakes that field and changes neither.
    type(start, Qt::Key_S, QStringLiteral("s"));
    ASSERT_EQ(shaken.size(), 2u);
    EXPECT_EQ(shaken.back(), field("hotkeySpeedBoost"));
    EXPECT_EQ(stored("hotkeyToggleStart"), 0);
    EXPECT_EQ(stored("hotkeySpeedBoost"), 83);
    EXPECT_EQ(beeps, 4);
}

TEST_F(HotKeySettings, TheClearButtonEmptiesTheFieldItStandsBeside)
{
    OVKeyField* mark = field("hotkeyMarkText");
    QToolButton* clear = pane->keyGroup()->clearFieldButton();
    mark->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(clear->isVisible());
    EXPECT_EQ(clear->size(), QSize(14, 20));
    EXPECT_EQ(clear->x(), mark->geometry().right() + 1 + 6);
    EXPECT_EQ(clear->geometry().center().y(), mark->geometry().center().y());
    QTest::mouseClick(clear, Qt::LeftButton);
    EXPECT_EQ(stored("hotkeyMarkText"), 0);
    EXPECT_EQ(mark->text(), QString());
    EXPECT_FALSE(clear->isVisible());
    // A field without a key shows no button.
    mark->clearFocus();
    mark->setFocus(Qt::MouseFocusReason);
    EXPECT_FALSE(clear->isVisible());
    // A reset gives the key back.
    ASSERT_TRUE(HVSettingsController::shared().resetAllSettingsPreservingKeys({}));
    EXPECT_EQ(mark->representedObject(), 77);
    EXPECT_EQ(mark->text(), QStringLiteral("M"));
}

TEST_F(HotKeySettings, TheTransformerNamesKeysAndReadsNamesSymbolsAndCommands)
{
    using namespace OVUnicharToStringTransformer;
    EXPECT_EQ(transformedValue(0), QString());
    EXPECT_EQ(transformedValue(0x2603), QStringLiteral("☃"));
    EXPECT_EQ(transformedValue(63276), QStringLiteral("Page Up"));
    EXPECT_EQ(reverseTransformedValue(QStringLiteral("insertNewline:")), 13);
    EXPECT_EQ(reverseTransformedValue(QStringLiteral("↩")), 13);
    EXPECT_EQ(reverseTransformedValue(QStringLiteral("Page Up")), 63276);
    EXPECT_EQ(reverseTransformedValue(QString()), 0);
    // A second group for a field is refused; the field keeps its first.
    OVKeyGroup other;
    field("hotkeyScriptEnd")->setKeyGroup(&other);
    EXPECT_EQ(field("hotkeyScriptEnd")->keyGroup(), pane->keyGroup());
}

TEST_F(HotKeySettings, SlidersStepInTenthsAndTheSpeedSwitchesAnnounceThemselves)
{
    pane->speedIncrementSlider()->setValue(5);
    EXPECT_DOUBLE_EQ(defaults().doubleForKey(QStringLiteral("speedIncrement")), 0.5);
    EXPECT_EQ(pane->speedIncrementLabel()->text(), QStringLiteral("0.5"));
    defaults().setDouble(-2.3, QStringLiteral("pauseSpeed"));
    EXPECT_DOUBLE_EQ(pane->pauseSpeedSlider()->doubleValue(), -2.3);
    EXPECT_EQ(pane->pauseSpeedLabel()->text(), QStringLiteral("-2.3"));
    int posted = 0;
    NotificationObserver observer(NotificationCenter::shared(),
                                  OVPreferencesControlsSpeedLimiterDidChangeNotification, nullptr,
                                  [&posted](const Notification&) { ++posted; });
    pane->findChild<QCheckBox*>(QStringLiteral("speedLimiterRestrictsToSpeedSlider"))->click();
    EXPECT_TRUE(defaults().boolForKey(QStringLiteral("speedLimiterRestrictsToSpeedSlider")));
    EXPECT_EQ(posted, 1);
}

// Every key a field captures, pressed in Prompt mode, runs the action it was captured for: the
// field and the input controller share one translation of the keyboard.
class CapturedKeysInPromptMode : public HotKeySettings {};

TEST_F(CapturedKeysInPromptMode, EveryCapturableKeyStartsThePrompterOnceCapturedAsTheStartKey)
{
    apptest::ClockAndScreen scopes;
    defaults().setInteger(1, QStringLiteral("updateTimingTag"));
    // The number keys set the speed unless they are hot keys; here they may be captured.
    pane->userNumberKeysToAdjustSpeedButton()->click();
    auto core = std::make_unique<OVCore>();
    auto controller = std::make_unique<OVDocumentWindowController>(core.get());
    Window* documentWindow = controller->window();
    documentWindow->orderFront();
    Application::shared().setMainWindow(documentWindow);
    Application::shared().setKeyWindow(documentWindow);
    struct Case {
        int key;
        QString text;
        Qt::KeyboardModifiers modifiers;
        const char* holder; // the field that holds the key by default, emptied first
    };
    const QList<Case> cases = {
        {Qt::Key_K, QStringLiteral("k"), {}, nullptr},
        {Qt::Key_Eacute, QStringLiteral("é"), {}, nullptr},
        {Qt::Key_7, QStringLiteral("7"), {}, nullptr},
        {Qt::Key_Comma, QStringLiteral(","), {}, nullptr},
        {Qt::Key_Return, QStringLiteral("\r"), {}, nullptr},
        {Qt::Key_Enter, QStringLiteral("\r"), Qt::KeypadModifier, nullptr},
        {Qt::Key_Backspace, QStringLiteral("\b"), {}, nullptr},
        {Qt::Key_Delete, QStringLiteral("\x7f"), {}, nullptr},
        {Qt::Key_PageUp, {}, {}, nullptr},
        {Qt::Key_PageDown, {}, {}, nullptr},
        {Qt::Key_Escape, QStringLiteral("\x1b"), {}, "hotkeyEditMode"},
        {Qt::Key_Home, {}, {}, "hotkeyScriptStart"},
        {Qt::Key_End, {}, {}, "hotkeyScriptEnd"},
        {Qt::Key_Left, {}, {}, "hotkeyDecreaseSpeed"},
        {Qt::Key_Right, {}, {}, "hotkeyIncreaseSpeed"},
        {Qt::Key_Up, {}, {}, "hotkeyScrollUp"},
        {Qt::Key_Down, {}, {}, "hotkeyScrollDown"},
        {Qt::Key_BracketRight, QStringLiteral("]"), {}, "hotkeyNextBookmark"},
    };
    OVKeyField* start = field("hotkeyToggleStart");
    for (const Case& c : cases) {
        SCOPED_TRACE(QKeySequence(c.key).toString().toStdString());
        if (c.holder)
            field(c.holder)->setRepresentedObject(0);
        type(start, c.key, c.text, c.modifiers);
        ASSERT_NE(stored("hotkeyToggleStart"), 32);
        core->enterPromptMode();
        ASSERT_TRUE(core->isModePrompt());
        ASSERT_FALSE(core->isStatusStarted());
        QKeyEvent press(QEvent::KeyPress, c.key, c.modifiers, c.text);
        QApplication::sendEvent(documentWindow->hostWidget(), &press);
        QKeyEvent release(QEvent::KeyRelease, c.key, c.modifiers, c.text);
        QApplication::sendEvent(documentWindow->hostWidget(), &release);
        EXPECT_TRUE(core->isStatusStarted());
        core->enterEditMode();
        core->pausePrompter();
        // The key goes back to the start field's default holder's neighbour: Space again.
        type(start, Qt::Key_Space, QStringLiteral(" "));
    }
    Application::shared().setKeyWindow(nullptr);
    Application::shared().setMainWindow(nullptr);
    controller.reset();
    core.reset();
}

} // namespace
