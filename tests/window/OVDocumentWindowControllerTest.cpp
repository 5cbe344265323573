// The document window as the prompting core's controller: speed rules, number keys, actions, which
// window the core works for, and a whole session on the shipped sample script.
#include "app/sample/SampleScript.h"
#include "document/OVDocument.h"
#include "document/OVDocumentPackageReader.h"
#include "document/OVDocumentPackageWriter.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/ClipView.h"
#include "platform/appkit/DocumentController.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/FakeScreenProvider.h"
#include "platform/appkit/ScreenProvider.h"
#include "platform/appkit/ScrollView.h"
#include "platform/appkit/UndoManager.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/TextStorage.h"
#include "platform/textview/TextView.h"
#include "prompting/OVCore.h"
#include "tests/support/AppTestSupport.h"
#include "text/NSAttributedStringOVBookmarkAdditions.h"
#include "window/OVDocumentPrompterView.h"
#include "window/OVDocumentWindowController.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

namespace {

using Scopes = apptest::ClockAndScreen;

class DocumentWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        UserDefaults::shared().resetUserValues();
        defaults().setInteger(0, QStringLiteral("speedScaleTypeTag"));
        // Ticks run by hand, so each sees exactly the time the test gives it.
        defaults().setInteger(1, QStringLiteral("updateTimingTag"));
        defaults().setDouble(0.5, QStringLiteral("speedIncrement"));
        core = std::make_unique<OVCore>();
        OVDocumentWindowController::setModifierFlagsProvider([this] { return modifierFlags; });
    }
    void TearDown() override
    {
        OVDocumentWindowController::setModifierFlagsProvider({});
        Application::shared().setMainWindow(nullptr);
        controllers.clear();
        core.reset();
        UserDefaults::shared().resetUserValues();
    }
    static UserDefaults& defaults() { return UserDefaults::shared(); }

    OVDocumentWindowController& makeController(bool load = true)
    {
        controllers.push_back(std::make_unique<OVDocumentWindowController>(core.get()));
        if (load)
            controllers.back()->window();
        return *controllers.back();
    }

    void act(OVDocumentWindowController& controller, const QString& action, const QVariant& sender = {})
    {
        ASSERT_TRUE(controller.tryToPerform(action, sender)) << action.toStdString();
    }

    Scopes scopes;
    std::unique_ptr<OVCore> core;
    std::vector<std::unique_ptr<OVDocumentWindowController>> controllers;
    unsigned long modifierFlags = 0;
};

TEST_F(DocumentWindowTest, SpeedsNearZeroAreZeroAndRepeatsChangeNothing)
{
    auto& controller = makeController();
    controller.setPrompterSpeed(0.000004);
    EXPECT_EQ(controller.prompterSpeed(), 0.0);
    controller.setPrompterSpeed(-0.00002);
    EXPECT_EQ(controller.prompterSpeed(), -0.00002);
    controller.setPrompterSpeed(3);
    const int updates = controller.speedControlUpdateCount();
    controller.setPrompterSpeed(3);
    EXPECT_EQ(controller.speedControlUpdateCount(), updates);
    act(controller, QStringLiteral("switchDirection:"));
    EXPECT_EQ(controller.prompterSpeed(), -3.0);
    controller.setPrompterSpeed(0);
    const int atZero = controller.speedControlUpdateCount();
    act(controller, QStringLiteral("switchDirection:"));
    EXPECT_EQ(controller.speedControlUpdateCount(), atZero);
}

TEST_F(DocumentWindowTest, TheLimiterClampsToTheSliderAndCappedStepsStopAtItsEnds)
{
    defaults().setBool(true, QStringLiteral("speedLimiterRestrictsToSpeedSlider"));
    defaults().setDouble(0.2, QStringLiteral("speedIncrement"));
    auto& controller = makeController();
    EXPECT_EQ(controller.minSpeedUIValue(), -10.0);
    EXPECT_EQ(controller.maxSpeedUIValue(), 10.0);
    controller.setPrompterSpeed(14);
    EXPECT_EQ(controller.prompterSpeed(), 10.0);
    controller.setPrompterSpeed(-9.9);
    act(controller, QStringLiteral("decreaseSpeedWithMinCap:"));
    EXPECT_DOUBLE_EQ(controller.prompterSpeed(), -10.0);

    defaults().setBool(false, QStringLiteral("speedLimiterRestrictsToSpeedSlider"));
    controller.setPrompterSpeed(9.9);
    act(controller, QStringLiteral("increaseSpeed:"));
    EXPECT_DOUBLE_EQ(controller.prompterSpeed(), 10.1);
    act(controller, QStringLiteral("increaseSpeedWithMaxCap:"));
    EXPECT_DOUBLE_EQ(controller.prompterSpeed(), 10.0);
}

TEST_F(DocumentWindowTest, ANewDocumentKeepsTheDefaultSpeedWithTheLimiterOn)
{
    defaults().setBool(true, QStringLiteral("speedLimiterRestrictsToSpeedSlider"));
    defaults().setDouble(4, QStringLiteral("defaultSpeed"));
    auto& controller = makeController(false);
    EXPECT_EQ(controller.prompterSpeed(), 4.0);
    controller.window();
    EXPECT_EQ(controller.prompterSpeed(), 4.0);

    // Outside the range the speed is clamped once the range is known.
    defaults().setDouble(14, QStringLiteral("defaultSpeed"));
    auto& fast = makeController(false);
    EXPECT_EQ(fast.prompterSpeed(), 14.0);
    fast.window();
    EXPECT_EQ(fast.prompterSpeed(), 10.0);
}

TEST_F(DocumentWindowTest, NumberKeysSetTheSpeed)
{
    auto& controller = makeController();
    act(controller, QStringLiteral("setSpeedFromHotKeyValueNumber:"), QVariant(int(u'0')));
    EXPECT_EQ(controller.prompterSpeed(), 10.0);
    modifierFlags = kNumericPadKeyMask;
    act(controller, QStringLiteral("setSpeedFromHotKeyValueNumber:"), QVariant(int(u'0')));
    EXPECT_EQ(controller.prompterSpeed(), 0.0);
    modifierFlags = kOptionKeyMask;
    act(controller, QStringLiteral("setSpeedFromHotKeyValueNumber:"), QVariant(int(u'4')));
    EXPECT_EQ(controller.prompterSpeed(), -4.0);
    modifierFlags = 0;
    act(controller, QStringLiteral("setSpeedFromHotKeyValueNumber:"), QVariant(int(u'`')));
    EXPECT_EQ(controller.prompterSpeed(), 0.0);
    controller.setPrompterSpeed(2);
    act(controller, QStringLiteral("setSpeedFromHotKeyValueNumber:"), QVariant(int(u'a')));
    act(controller, QStringLiteral("setSpeedFromHotKeyValueNumber:"), QVariant(QStringLiteral("5")));
    act(controller, QStringLiteral("setSpeedFromHotKeyValueNumber:"), QVariant(0x10035));
    act(controller, QStringLiteral("setSpeedFromHotKeyValueNumber:"), QVariant());
    EXPECT_EQ(controller.prompterSpeed(), 2.0);
}

TEST_F(DocumentWindowTest, TheMainWindowIsTheCoresControllerOutsidePromptMode)
{
    auto& a = makeController();
    auto& b = makeController();
    Application::shared().setMainWindow(a.window());
    EXPECT_EQ(core->controller(), &a);
    EXPECT_TRUE(a.isCoreController());
    Application::shared().setMainWindow(b.window());
    EXPECT_EQ(core->controller(), &b);

    // Closing a window that is not the core's controller leaves the controller alone.
    a.close();
    EXPECT_EQ(core->controller(), &b);
}

TEST_F(DocumentWindowTest, InPromptModeTheCoreKeepsItsControllerAndClosingItEndsPromptMode)
{
    auto& a = makeController();
    auto& b = makeController();
    a.window()->orderFront();
    Application::shared().setMainWindow(a.window());
    core->enterPromptMode();
    ASSERT_TRUE(core->isModePrompt());
    Application::shared().setMainWindow(b.window());
    EXPECT_EQ(core->controller(), &a);

    a.close();
    EXPECT_TRUE(core->isModeEdit());
    EXPECT_EQ(core->controller(), nullptr);
    // The controller may go now; the core holds nothing of it.
    controllers.erase(controllers.begin());
    core->_prompterTimerAction();
}

TEST_F(DocumentWindowTest, EventsFromTheBlockingWindowReachTheTextOnlyInPromptMode)
{
    auto& controller = makeController();
    Event key;
    key.type = Event::Type::KeyDown;
    key.characters = QStringLiteral("x");
    EXPECT_FALSE(controller.interpretEvent(key, nullptr));
    Application::shared().setMainWindow(controller.window());
    core->enterPromptMode();
    ASSERT_TRUE(core->isModePrompt());
    const QString before = controller.textView()->string();
    EXPECT_TRUE(controller.interpretEvent(key, nullptr));
    EXPECT_EQ(controller.textView()->string(), before);
    core->enterEditMode();
}

TEST_F(DocumentWindowTest, TheFrontMostPrompterWindowSkipsMinimisedOnes)
{
    auto& back = makeController();
    auto& front = makeController();
    Window other(Rect{{0, 0}, {100, 100}});
    EXPECT_EQ(OVDocumentWindowController::frontMostPrompterWindowController(), nullptr);
    other.orderFront();
    back.window()->orderFront();
    front.window()->orderFront();
    EXPECT_EQ(OVDocumentWindowController::frontMostPrompterWindowController(), &front);
    front.window()->miniaturize();
    EXPECT_EQ(OVDocumentWindowController::frontMostPrompterWindowController(), &back);
    EXPECT_TRUE(back.isFrontMostPrompterWindowController());
}

TEST_F(DocumentWindowTest, StartedScrollUpAddsTwoLinesOfDelta)
{
    auto& controller = makeController();
    Application::shared().setMainWindow(controller.window());
    controller.setPrompterSpeed(0);
    core->startPrompter();
    const double line = controller.documentPrompterView()->scrollView()->verticalLineScroll();
    act(controller, QStringLiteral("scrollUp:"));
    act(controller, QStringLiteral("scrollDown:"));
    act(controller, QStringLiteral("scrollDown:"));
    EXPECT_GT(line, 0);
    core->pausePrompter();
}

// A whole session: open the shipped sample, prompt it, pause, save it elsewhere and reopen it.
class SampleSessionTest : public DocumentWindowTest {
protected:
    void SetUp() override
    {
        DocumentWindowTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        scripts = std::make_unique<apptest::ScriptDocuments>(*core, dir);
    }
    void TearDown() override
    {
        scripts.reset();
        DocumentWindowTest::TearDown();
    }
    static OVDocumentWindowController& controllerOf(Document* document)
    {
        return apptest::ScriptDocuments::controllerOf(document);
    }
    void tickAfter(double seconds)
    {
        scopes.clock.advance(seconds);
        core->_prompterTimerAction();
    }

    QTemporaryDir dir;
    std::unique_ptr<apptest::ScriptDocuments> scripts;
};

TEST_F(SampleSessionTest, PromptTheSampleThenSaveAndReopenWithSpeedAndPositionKept)
{
    const QString sample = QStringLiteral(ORVANE_SOURCE_DIR "/") + samplescript::kSampleRelativePath;
    Error error;
    Document* document = scripts->documents.openDocumentWithContentsOfURL(QUrl::fromLocalFile(sample), true, &error);
    ASSERT_NE(document, nullptr) << error.localizedDescription().toStdString();
    auto& controller = controllerOf(document);
    EXPECT_EQ(controller.textView()->string(), samplescript::makeSampleText().string());
    const auto bookmarks =
        NSAttributedStringOVBookmarkAdditions::bookmarkCharacterRanges(controller.textView()->textStorage());
    ASSERT_TRUE(bookmarks);
    EXPECT_EQ(bookmarks->size(), 2u);

    Application::shared().setMainWindow(controller.window());
    ASSERT_EQ(core->controller(), &controller);
    controller.setPrompterSpeed(2);
    core->enterPromptMode();
    ASSERT_TRUE(core->isModePrompt());
    // Opening anything now is refused as cancelled: no document, no error to show.
    const QString other = dir.filePath(QStringLiteral("Other.ovdocument"));
    ASSERT_TRUE(QDir().mkpath(other));
    EXPECT_EQ(scripts->documents.openDocumentWithContentsOfURL(QUrl::fromLocalFile(other), true, &error), nullptr);
    EXPECT_TRUE(error.isUserCancelled());

    ClipView* clip = controller.documentPrompterView()->scrollView()->contentView();
    const double start = clip->bounds().origin.y;
    // What the Start hot key sends: the toggle through the responder chain to the front document.
    ASSERT_TRUE(Application::shared().sendAction(QStringLiteral("toggleStatus:"), nullptr, {}));
    ASSERT_TRUE(core->isStatusStarted());
    tickAfter(0.5);
    // Speed 2 on the linear scale is 140 points a second.
    EXPECT_NEAR(clip->bounds().origin.y - start, 70.0, 1.0);
    tickAfter(0.5);
    EXPECT_NEAR(clip->bounds().origin.y - start, 140.0, 1.0);
    ASSERT_TRUE(Application::shared().sendAction(QStringLiteral("toggleStatus:"), nullptr, {}));
    EXPECT_TRUE(core->isStatusPaused());
    const double paused = clip->bounds().origin.y;
    tickAfter(0.5);
    EXPECT_EQ(clip->bounds().origin.y, paused);
    // While prompting, the document reports nothing to autosave.
    auto* script = dynamic_cast<OVDocument*>(document);
    EXPECT_TRUE(script->isDocumentInPrompter());
    EXPECT_TRUE(script->autosavingFileType().isEmpty());
    core->enterEditMode();
    ASSERT_TRUE(core->isModeEdit());
    const double ratio = controller.documentPrompterView()->positionRatio();
    EXPECT_GT(ratio, 0.0);
    const double editPosition = clip->bounds().origin.y;

    const QString copy = dir.filePath(QStringLiteral("Mine.ovdocument"));
    ASSERT_TRUE(document->saveToURL(QUrl::fromLocalFile(copy), OVDocumentUTI, Document::SaveOperation::SaveAs,
                                    &error))
        << error.localizedDescription().toStdString();
    document->close();
    Application::shared().setMainWindow(nullptr);

    Document* reopened = scripts->documents.openDocumentWithContentsOfURL(QUrl::fromLocalFile(copy), true, &error);
    ASSERT_NE(reopened, nullptr) << error.localizedDescription().toStdString();
    auto& again = controllerOf(reopened);
    EXPECT_EQ(again.prompterSpeed(), 2.0);
    EXPECT_NEAR(again.documentPrompterView()->positionRatio(), ratio, 1e-6);
    EXPECT_NEAR(again.documentPrompterView()->scrollView()->contentView()->bounds().origin.y, editPosition, 1.0);
    EXPECT_EQ(again.textView()->string(), samplescript::makeSampleText().string());
}

// The shipped sample is written by orvane-write-sample from the same generator; it must still hold
// the generator's script.
TEST(SampleScript, ShippedSampleHoldsTheGeneratorsScript)
{
    const QString sample = QStringLiteral(ORVANE_SOURCE_DIR "/") + samplescript::kSampleRelativePath;
    OVLoadedDocumentInfo info;
    Error error;
    ASSERT_TRUE(OVDocumentPackageReader::readPackage(QUrl::fromLocalFile(sample), {}, &info, &error))
        << error.localizedDescription().toStdString();
    EXPECT_EQ(info.content->string(), samplescript::makeSampleText().string());
    EXPECT_EQ(info.speed(), 2.0);
}

// Files of a package by their path inside it, with their bytes.
std::map<QString, QByteArray> packageFiles(const QString& package)
{
    std::map<QString, QByteArray> files;
    QDirIterator it(package, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            files[QDir(package).relativeFilePath(path)] = file.readAll();
    }
    return files;
}

// What orvane-write-sample writes now is the shipped package, byte for byte.
TEST(SampleScript, GeneratorWritesTheShippedPackage)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString written = dir.filePath(QStringLiteral("Sample Script.ovdocument"));
    Error error;
    ASSERT_TRUE(samplescript::writeSample(written, &error)) << error.localizedDescription().toStdString();
    const QString shipped = QStringLiteral(ORVANE_SOURCE_DIR "/") + samplescript::kSampleRelativePath;
    const std::map<QString, QByteArray> expected = packageFiles(shipped);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(packageFiles(written), expected);
}

} // namespace

// Talent adjustments scale and invert the text on screen while prompting; the file and the text
// that comes back in Edit mode are the script as written, and nothing is left to undo.
TEST_F(SampleSessionTest, SavingWhilePromptingWritesTheScriptAsWritten)
{
    const QString sample = QStringLiteral(ORVANE_SOURCE_DIR "/") + samplescript::kSampleRelativePath;
    Error error;
    Document* document = scripts->documents.openDocumentWithContentsOfURL(QUrl::fromLocalFile(sample), true, &error);
    ASSERT_NE(document, nullptr) << error.localizedDescription().toStdString();
    auto& controller = controllerOf(document);
    MutableAttributedString script;
    AttributeDictionary plain;
    plain.insert(kFontAttributeName, Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica"), 20});
    AttributeDictionary red = plain;
    red.insert(kForegroundColorAttributeName, Color::rgb(1, 0, 0, 1));
    script.append(QStringLiteral("Without a colour of its own. "), plain);
    script.append(QStringLiteral("Red.\n"), red);
    controller.setAttributedString(script);
    const AttributedString written = controller.textView()->textStorage();
    document->undoManager()->removeAllActions();

    defaults().setBool(true, QStringLiteral("enableTalentContentAdjustments"));
    defaults().setDouble(1.5, QStringLiteral("contentTextMagnificationFactor"));
    defaults().setBool(true, QStringLiteral("contentInvertTextAndBackgroundColor"));
    Application::shared().setMainWindow(controller.window());
    core->enterPromptMode();
    ASSERT_TRUE(core->isModePrompt());
    const TextStorage& shown = controller.textView()->textStorage();
    EXPECT_EQ(shown.attributesAtIndex(0).find(kFontAttributeName)->font()->pointSize, 30);
    EXPECT_TRUE(shown.attributesAtIndex(0).contains(kForegroundColorAttributeName));

    const QString copy = dir.filePath(QStringLiteral("Prompted.ovdocument"));
    ASSERT_TRUE(document->saveToURL(QUrl::fromLocalFile(copy), OVDocumentUTI, Document::SaveOperation::SaveTo,
                                    &error))
        << error.localizedDescription().toStdString();
    EXPECT_FALSE(document->undoManager()->canUndo());
    OVLoadedDocumentInfo saved;
    ASSERT_TRUE(OVDocumentPackageReader::readPackage(QUrl::fromLocalFile(copy), OVDocumentPackageReader::Options(),
                                                     &saved, &error));
    ASSERT_TRUE(saved.content);
    EXPECT_EQ(saved.content->attributesAtIndex(0).find(kFontAttributeName)->font()->pointSize, 20);
    EXPECT_FALSE(saved.content->attributesAtIndex(0).contains(kForegroundColorAttributeName));
    EXPECT_EQ(*saved.content->attributesAtIndex(30).find(kForegroundColorAttributeName)->color(),
              Color::rgb(1, 0, 0, 1));

    core->enterEditMode();
    EXPECT_TRUE(controller.textView()->textStorage() == written);
    EXPECT_FALSE(document->undoManager()->canUndo());
}
