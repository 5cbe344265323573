// The program as a user meets it: started through the same code as main(), with the defaults it
// registers itself and an empty settings folder, and driven by key events into its window. Nothing
// here sets a setting or calls a responder directly.
#include "app/OVDocumentSession.h"
#include "app/OVProgramStart.h"
#include "document/OVDocument.h"
#include "document/OVDocumentPackageReader.h"
#include "output/OVEnvironment.h"
#include "output/OVPreviewWindowController.h"
#include "output/OVTalentWindowController.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/ClipView.h"
#include "platform/appkit/Document.h"
#include "platform/appkit/DocumentController.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/ScrollView.h"
#include "platform/appkit/Toolbar.h"
#include "platform/appkit/ToolbarItem.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVAnalytics.h"
#include "platform/hvkit/HVAppServices.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/TextStorage.h"
#include "platform/textview/TextView.h"
#include "prompter_view/OVFocusArrowView.h"
#include "prompter_view/OVScrollView.h"
#include "prompter_view/OVTimeBar.h"
#include "prompting/OVApplication.h"
#include "prompting/OVCore.h"
#include "prompting/OVTimeInfo.h"
#include "window/OVDocumentPrompterView.h"
#include "window/OVDocumentWindowController.h"
#include "window/OVDocumentWindowToolbar.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include "LaunchedScriptTest.h"

namespace {

using launchtest::copyFolder;
using launchtest::kSample;

class LaunchedProgram : public launchtest::LaunchedScriptTest {
protected:
    OVCore& core() const { return OVApplication::shared().core(); }
    QWidget* host() const { return controller().window()->hostWidget(); }
    TextView& text() const { return *controller().textView(); }
    double scrollY() const
    {
        return controller().documentPrompterView()->scrollView()->contentView()->bounds().origin.y;
    }

    // Each key is followed by the event loop's pass, as it is for a person at the keyboard: undo
    // groups close and posted work runs there.
    void key(Qt::Key which, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(host(), which, modifiers);
        QCoreApplication::processEvents();
    }
    void type(const QString& characters)
    {
        QTest::keyClicks(host(), characters);
        QCoreApplication::processEvents();
    }
    void advance(double seconds) { RunLoop::main().advanceManualClock(clock, seconds); }
};

TEST_F(LaunchedProgram, TypingUndoAndSaveReachTheDocument)
{
    const TextStorage& storage = text().textStorage();
    const qsizetype length = storage.length();
    // Straight after opening, typing goes in where loading left the caret, looking like the text
    // around it (on the sample's black page, not black on black).
    type(QStringLiteral("Hi "));
    EXPECT_EQ(storage.length(), length + 3);
    const AttributeValue* typed = storage.attributesAtIndex(0).find(kForegroundColorAttributeName);
    const AttributeValue* written = storage.attributesAtIndex(length / 2).find(kForegroundColorAttributeName);
    ASSERT_TRUE(typed && typed->color() && written && written->color());
    EXPECT_EQ(*typed->color(), *written->color());
    EXPECT_TRUE(document().isDocumentEdited());

    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(storage.length(), length);

    key(Qt::Key_End, Qt::ControlModifier);
    type(QStringLiteral(" Fin"));
    key(Qt::Key_S, Qt::ControlModifier);
    EXPECT_FALSE(document().isDocumentEdited());
    OVLoadedDocumentInfo loaded;
    Error error;
    ASSERT_TRUE(OVDocumentPackageReader::readPackage(QUrl::fromLocalFile(script),
                                                     OVDocumentPackageReader::Options(), &loaded, &error))
        << error.localizedDescription().toStdString();
    ASSERT_TRUE(loaded.content);
    EXPECT_TRUE(loaded.content->string().trimmed().endsWith(QStringLiteral("Fin")));
}

TEST_F(LaunchedProgram, ShiftHomeSelectsToTheStartOfTheLine)
{
    for (int line = 0; line < 12; ++line) {
        key(Qt::Key_End);
        const qsizetype end = text().selectedRange().location;
        key(Qt::Key_Home, Qt::ShiftModifier);
        const Range selected = text().selectedRange();
        EXPECT_EQ(selected.location + selected.length, end) << "line " << line;
        // The selection starts on the caret's own line, never at the line break before it.
        EXPECT_FALSE(text().string().mid(selected.location, selected.length).contains(u'\n'))
            << "line " << line;
        key(Qt::Key_Down);
    }
}

TEST_F(LaunchedProgram, PromptModeRunsOnTheKeyboardAlone)
{
    const double defaultSpeed = controller().prompterSpeed();
    EXPECT_GT(defaultSpeed, 0);
    key(Qt::Key_Return, Qt::ControlModifier);
    ASSERT_TRUE(core().isModePrompt());
    OVDocumentPrompterView& prompter = *controller().documentPrompterView();
    EXPECT_TRUE(prompter.isFocusArrowVisible());
    EXPECT_TRUE(prompter.prompterScrollView()->tracksVerticalInset());
    EXPECT_FALSE(text().isEditable());

    // The first line starts on the reading line, below a screen of padding.
    const double start = scrollY();
    EXPECT_GT(text().textContainerInset().height, 100);
    const double firstLineMiddle = text().textContainerInset().height + 10 - start;
    const double arrow = std::abs(prompter.focusArrowView()->arrowCenterFromOrigin());
    EXPECT_NEAR(firstLineMiddle, arrow, 30);

    key(Qt::Key_Space);
    ASSERT_TRUE(core().isStatusStarted());
    advance(1.0);
    const double moved = scrollY() - start;
    EXPECT_GT(moved, 10);

    QTest::keyPress(host(), Qt::Key_Right);
    QTest::keyRelease(host(), Qt::Key_Right);
    const double increment = UserDefaults::shared().doubleForKey(QStringLiteral("speedIncrement"));
    EXPECT_DOUBLE_EQ(increment, 0.2);
    EXPECT_NEAR(controller().prompterSpeed(), defaultSpeed + increment, 1e-9);

    key(Qt::Key_5);
    EXPECT_EQ(controller().prompterSpeed(), 5);

    key(Qt::Key_Space);
    ASSERT_TRUE(core().isStatusPaused());
    const double beforePage = scrollY();
    key(Qt::Key_PageDown);
    EXPECT_GT(scrollY(), beforePage + 50);

    const qsizetype length = text().textStorage().length();
    type(QStringLiteral("x"));
    EXPECT_EQ(text().textStorage().length(), length) << "the prompter is not edited while prompting";

    key(Qt::Key_Escape);
    ASSERT_TRUE(core().isModeEdit());
    EXPECT_TRUE(text().isEditable());
    // Back in Edit mode the editor shows the prompter's settings, as the registered setting asks:
    // the arrow shows exactly when the prompter uses one.
    EXPECT_TRUE(controller().showsPrompterInDocument());
    EXPECT_EQ(prompter.isFocusArrowVisible(),
              UserDefaults::shared().boolForKey(QStringLiteral("useFocusArrow")));
}

TEST_F(LaunchedProgram, TheToolbarsModeSwitchAndStartPromptTheScript)
{
    Toolbar& toolbar = controller().documentToolbar()->toolbar();
    const QStringList order = toolbar.itemIdentifiers();
    auto button = [&](const QString& identifier) {
        return toolbar.widgetForItem(toolbar.itemWithIdentifier(identifier));
    };
    auto click = [&](const QString& identifier) {
        QWidget* widget = button(identifier);
        ASSERT_TRUE(widget && widget->isVisible()) << identifier.toStdString();
        QTest::mouseClick(widget, Qt::LeftButton);
        QCoreApplication::processEvents();
    };
    EXPECT_EQ(toolbar.itemWithIdentifier(OVToolbarItemModesIdentifier)->label(), QStringLiteral("Prompt Mode"));
    click(OVToolbarItemModesIdentifier);
    ASSERT_TRUE(core().isModePrompt());
    EXPECT_EQ(toolbar.itemWithIdentifier(OVToolbarItemModesIdentifier)->label(), QStringLiteral("Edit Mode"));
    EXPECT_FALSE(text().isEditable());

    click(OVToolbarItemStartPauseIdentifier);
    ASSERT_TRUE(core().isStatusStarted());
    EXPECT_EQ(toolbar.itemWithIdentifier(OVToolbarItemStartPauseIdentifier)->label(), QStringLiteral("Pause"));
    const double start = scrollY();
    advance(1.0);
    EXPECT_GT(scrollY() - start, 10);
    click(OVToolbarItemStartPauseIdentifier);
    EXPECT_TRUE(core().isStatusPaused());

    key(Qt::Key_Escape);
    ASSERT_TRUE(core().isModeEdit());
    EXPECT_EQ(toolbar.itemIdentifiers(), order);
    EXPECT_EQ(toolbar.itemWithIdentifier(OVToolbarItemModesIdentifier)->label(), QStringLiteral("Prompt Mode"));
}

TEST_F(LaunchedProgram, HoldingDownNeverScrollsPastTheEnd)
{
    key(Qt::Key_Return, Qt::ControlModifier);
    ASSERT_TRUE(core().isModePrompt());
    QTest::keyPress(host(), Qt::Key_Down);
    for (int i = 0; i < 600; ++i)
        advance(0.1);
    QTest::keyRelease(host(), Qt::Key_Down);
    ClipView* clip = controller().documentPrompterView()->scrollView()->contentView();
    const double bottom = text().frame().size.height - clip->bounds().size.height;
    // The end of the padding is as far as it goes: the last line has passed the reading line.
    EXPECT_NEAR(scrollY(), bottom, 0.5);
}

TEST_F(LaunchedProgram, EscapeReturnsToTheTextThatWasShowing)
{
    key(Qt::Key_Return, Qt::ControlModifier);
    ASSERT_TRUE(core().isModePrompt());
    key(Qt::Key_Space);
    advance(1.5);
    key(Qt::Key_Space);
    const OVVisiblePrompterContent shown = controller().documentPrompterView()->recordVisibleContent(false);
    ASSERT_GE(shown.characterRange.location, 0);
    key(Qt::Key_Escape);
    ASSERT_TRUE(core().isModeEdit());
    const OVVisiblePrompterContent after = controller().documentPrompterView()->recordVisibleContent(false);
    EXPECT_LE(std::abs(after.characterRange.location - shown.characterRange.location), 80);
}

TEST_F(LaunchedProgram, ClosingAnEditedWindowAsksAndCancelKeepsIt)
{
    type(QStringLiteral("edit"));
    int asked = 0;
    {
        AlertPresenterScope cancel([&asked](Alert& alert) {
            ++asked;
            EXPECT_TRUE(alert.messageText().startsWith(QStringLiteral("Do you want to save the changes")));
            EXPECT_EQ(alert.buttonTitles(), QStringList({QStringLiteral("Save"), QStringLiteral("Cancel"),
                                                         QStringLiteral("Don’t Save")}));
            return Alert::kSecondButtonReturn;
        });
        key(Qt::Key_W, Qt::ControlModifier);
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(asked, 1);
    ASSERT_EQ(documents().size(), 1u);
    EXPECT_TRUE(controller().window()->isVisible());
    EXPECT_TRUE(document().isDocumentEdited());
}

TEST_F(LaunchedProgram, WhilePromptingTheWindowCannotBeClosedOrMinimised)
{
    type(QStringLiteral("edit"));
    int asked = 0;
    AlertPresenterScope count([&asked](Alert&) {
        ++asked;
        return Alert::kSecondButtonReturn;
    });
    key(Qt::Key_Return, Qt::ControlModifier);
    ASSERT_TRUE(core().isModePrompt());
    key(Qt::Key_W, Qt::ControlModifier);
    EXPECT_FALSE(host()->close()) << "the title bar's close button";
    host()->showMinimized();
    QCoreApplication::processEvents();
    EXPECT_EQ(asked, 0);
    ASSERT_EQ(documents().size(), 1u);
    EXPECT_TRUE(controller().window()->isVisible());
    EXPECT_FALSE(controller().window()->isMiniaturized());
    EXPECT_TRUE(core().isModePrompt());

    // Back in Edit mode, closing asks about the change again.
    key(Qt::Key_Escape);
    ASSERT_TRUE(core().isModeEdit());
    key(Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(host()->close());
    EXPECT_EQ(asked, 2);
    ASSERT_EQ(documents().size(), 1u);
}

TEST_F(LaunchedProgram, QuittingWithUnsavedChangesAsksAndCancelKeepsThem)
{
    type(QStringLiteral("keep "));
    int asked = 0;
    {
        AlertPresenterScope cancel([&asked](Alert&) {
            ++asked;
            return Alert::kSecondButtonReturn;
        });
        key(Qt::Key_Q, Qt::ControlModifier);
    }
    EXPECT_EQ(asked, 1);
    ASSERT_EQ(documents().size(), 1u);
    EXPECT_TRUE(document().isDocumentEdited());
    EXPECT_TRUE(text().string().startsWith(QStringLiteral("keep ")));
}

// However the toggle arrives (sent by another program, repeated by the keyboard, pressed again
// without a release), one press is one mode change.
TEST_F(LaunchedProgram, EachWayOfDeliveringTheModeToggleChangesModeOnce)
{
    HVAnalytics& statistics = HVAppServices::shared().analytics();
    int changes = 0;
    NotificationObserver counter(NotificationCenter::shared(), OVCoreDidChangeModeNotification, nullptr,
                                 [&changes](const Notification&) { ++changes; });
    quint64 time = 1000;
    auto send = [&](QEvent::Type type, bool autoRepeat, bool spontaneous) {
        QKeyEvent event(type, Qt::Key_Return, Qt::ControlModifier, QStringLiteral("\r"), autoRepeat);
        event.setTimestamp(time);
        if (spontaneous)
            QCoreApplication::instance()->notify(host(), &event);
        else
            QCoreApplication::sendEvent(host(), &event);
        QCoreApplication::processEvents();
    };
    const qint64 before = statistics.integerForKeyPath(QStringLiteral("modeChanges"));

    // Sent by another program: a press and a release that did not come from the keyboard.
    send(QEvent::KeyPress, false, false);
    send(QEvent::KeyRelease, false, false);
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(core().isModePrompt());

    // Held down: the press, then the keyboard's repeats, flagged and unflagged.
    time += 1000;
    send(QEvent::KeyPress, false, true);
    for (int i = 0; i < 20; ++i) {
        time += 40;
        send(QEvent::KeyRelease, true, true);
        send(QEvent::KeyPress, true, true);
        send(QEvent::KeyRelease, false, true);
        send(QEvent::KeyPress, false, true);
    }
    send(QEvent::KeyRelease, false, true);
    EXPECT_EQ(changes, 2);
    EXPECT_TRUE(core().isModeEdit());

    // Pressed again and again with no release ever arriving.
    for (int i = 0; i < 10; ++i) {
        time += 700;
        send(QEvent::KeyPress, false, true);
    }
    EXPECT_EQ(changes, 3);
    EXPECT_TRUE(core().isModePrompt());
    EXPECT_EQ(statistics.integerForKeyPath(QStringLiteral("modeChanges")) - before, 3);
}

// The operator's, the preview's and the talent's time bars count with the toolbar's timer and show
// the clock.
TEST_F(LaunchedProgram, TheTimeBarsCountWhilePrompting)
{
    // The preview panel opens with the program; the toolbar's button brings it back when it does not.
    OVPreviewWindowController& preview = OVPreviewWindowController::sharedPreviewWindowController();
    if (!preview.window()->isVisible()) {
        Toolbar& toolbar = controller().documentToolbar()->toolbar();
        QTest::mouseClick(toolbar.widgetForItem(toolbar.itemWithIdentifier(OVToolbarItemPreviewIdentifier)),
                          Qt::LeftButton);
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(preview.window()->isVisible());
    QCheckBox* timeBarBox = nullptr;
    for (QCheckBox* box : preview.window()->hostWidget()->findChildren<QCheckBox*>())
        if (box->text() == QStringLiteral("Time Bar"))
            timeBarBox = box;
    ASSERT_TRUE(timeBarBox && timeBarBox->isVisible());
    QTest::mouseClick(timeBarBox, Qt::LeftButton);
    QCoreApplication::processEvents();
    ASSERT_TRUE(timeBarBox->isChecked());

    key(Qt::Key_Return, Qt::ControlModifier);
    ASSERT_TRUE(core().isModePrompt());
    key(Qt::Key_Space);
    ASSERT_TRUE(core().isStatusStarted());
    for (int second = 0; second < 4; ++second)
        advance(1.0);

    OVTimeBar* operatorBar = controller().documentPrompterView()->timeBar();
    OVTimeBar* previewBar = preview.prompterView()->timeBar();
    OVTimeBar* talentBar = OVTalentWindowController::sharedTalentWindowController().prompterView()->timeBar();
    const QString elapsed = controller().timeInfo()->elapsedTimeString();
    EXPECT_GE(controller().timeInfo()->elapsedSeconds(), 3);
    EXPECT_TRUE(elapsed.startsWith(QStringLiteral("00:0"))) << elapsed.toStdString();
    OVTimeInfo clockOnly;
    const QString clockNow = clockOnly.clockTimeString();
    for (OVTimeBar* bar : {operatorBar, previewBar}) {
        ASSERT_TRUE(bar->isTimerShown());
        EXPECT_EQ(bar->component(OVTimeBar::kElapsedTime).string(), elapsed);
        EXPECT_EQ(bar->component(OVTimeBar::kRemainingTime).string(),
                  controller().timeInfo()->remainingTimeString());
        EXPECT_EQ(bar->component(OVTimeBar::kClockTime).string(), clockNow);
    }
    // The talent window has no screen of its own here; its bar counts with the same counters.
    EXPECT_EQ(talentBar->timeInfo(), controller().timeInfo());

    key(Qt::Key_Space);
    key(Qt::Key_Escape);
    ASSERT_TRUE(core().isModeEdit());
    EXPECT_EQ(operatorBar->timeInfo(), controller().timeInfo());
}

// The preview lays the script out at the size the operator prompts in: the window without the
// toolbar it shows while prompting (the menu bar gives its strip back then).
TEST_F(LaunchedProgram, TheOutputSizeIsTheOperatorsPromptArea)
{
    ASSERT_EQ(OVEnvironment::prompterOutputTarget(), OVEnvironment::kWindowed);
    const Size expected = OVEnvironment::prompterOutputSize();
    key(Qt::Key_Return, Qt::ControlModifier);
    ASSERT_TRUE(core().isModePrompt());
    EXPECT_TRUE(controller().isToolbarVisible());
    EXPECT_EQ(controller().documentPrompterView()->frame().size, expected);
    EXPECT_EQ(OVEnvironment::prompterOutputSize(), expected);
    key(Qt::Key_Escape);
}

TEST_F(LaunchedProgram, NoSettingIsReadWithoutARegisteredDefault)
{
    key(Qt::Key_Return, Qt::ControlModifier);
    key(Qt::Key_Space);
    advance(0.5);
    key(Qt::Key_Space);
    key(Qt::Key_Escape);
    EXPECT_EQ(UserDefaults::shared().unregisteredReadCount(), 0)
        << UserDefaults::shared().unregisteredKeysRead().join(QStringLiteral(", ")).toStdString();
}

// A program without a window cannot be reached on Linux: a start whose only file fails shows a new
// document, and closing the last window ends the program.
TEST(LaunchedProgramWindows, AFailedOnlyFileOpensANewDocumentAndTheLastWindowEndsTheProgram)
{
    ManualClock clock;
    Clock::setShared(&clock);
    QStringList presented;
    Application::shared().setErrorPresenter([&presented](const Error& error) {
        presented << error.localizedDescription();
        return true;
    });
    QTemporaryDir folder;
    std::unique_ptr<OVDocumentSession> session =
        OVProgramStart::launch({folder.filePath(QStringLiteral("Missing.ovdocument"))});
    EXPECT_EQ(presented.size(), 1);
    ASSERT_EQ(session->documentController().documents().size(), 1u);
    Document* untitled = session->documentController().documents().front();
    EXPECT_TRUE(untitled->fileURL().isEmpty());
    Window* window = untitled->primaryWindowController()->window();
    EXPECT_TRUE(window->isVisible());

    bool quit = false;
    // The connection and the timers end with this test: a later test's event loop must not be
    // ended by this one's guard, nor write to this test's variables.
    QObject scope;
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, &scope,
                     [&quit] { quit = true; });
    // The event loop runs until the program ends itself; the long timer only stops a failing test.
    QTimer::singleShot(0, &scope,
                       [window] { QTest::keyClick(window->hostWidget(), Qt::Key_W, Qt::ControlModifier); });
    QTimer::singleShot(10000, &scope, [] { QCoreApplication::exit(1); });
    EXPECT_EQ(Application::shared().run(), 0);
    EXPECT_TRUE(quit);
    EXPECT_TRUE(session->documentController().documents().empty());
    Application::shared().setErrorPresenter({});
    session.reset();
    Clock::setShared(nullptr);
}

// Two scripts open side by side: the talent output shows whichever window the operator works in,
// follows typing there, and the core estimates times for both windows.
TEST(LaunchedProgramTwoDocuments, TheTalentCopyFollowsTheWindowThatBecomesMain)
{
    ManualClock clock;
    Clock::setShared(&clock);
    QTemporaryDir folder;
    const QString first = folder.filePath(QStringLiteral("First.ovdocument"));
    const QString second = folder.filePath(QStringLiteral("Second.ovdocument"));
    ASSERT_TRUE(copyFolder(kSample, first));
    ASSERT_TRUE(copyFolder(kSample, second));
    std::unique_ptr<OVDocumentSession> session = OVProgramStart::launch({first, second});
    QCoreApplication::processEvents();
    const std::vector<Document*> documents = session->documentController().documents();
    ASSERT_EQ(documents.size(), 2u);
    auto windowOf = [](Document* document) { return document->primaryWindowController()->window(); };
    auto textOf = [](Document* document) {
        return dynamic_cast<OVDocumentWindowController*>(document->primaryWindowController())
            ->textView()
            ->string();
    };
    auto activate = [&windowOf](Document* document) {
        QWidget* host = windowOf(document)->hostWidget();
        host->activateWindow();
        QApplication::setActiveWindow(host);
        QCoreApplication::processEvents();
    };
    const TextStorage& talent = OVTalentWindowController::sharedTalentWindowController().talentTextStorage();
    EXPECT_EQ(OVApplication::shared().core()._allCoreControllers().size(), 2u);

    // The last file named opens in front; typing into it reaches the talent copy as it happens.
    ASSERT_EQ(Application::shared().mainWindow(), windowOf(documents[1]));
    QTest::keyClicks(windowOf(documents[1])->hostWidget(), QStringLiteral("Bravo "));
    QCoreApplication::processEvents();
    ASSERT_TRUE(textOf(documents[1]).startsWith(QStringLiteral("Bravo ")));
    EXPECT_EQ(talent.string(), textOf(documents[1]));

    activate(documents[0]);
    ASSERT_EQ(Application::shared().mainWindow(), windowOf(documents[0]));
    EXPECT_EQ(session->documentController().frontMostDocument(), documents[0]);
    EXPECT_EQ(talent.string(), textOf(documents[0]));
    EXPECT_FALSE(talent.string().startsWith(QStringLiteral("Bravo")));

    activate(documents[1]);
    EXPECT_EQ(talent.string(), textOf(documents[1]));

    AlertPresenterScope discard([](Alert&) { return Alert::kThirdButtonReturn; });
    session.reset();
    Clock::setShared(nullptr);
}

} // namespace
