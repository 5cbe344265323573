// The document window's view and window sizing as the operator meets it: quick zoom and its title,
// the prompter settings shown while editing, size presets, resizing locks, Zoom, and the saved place
// of new windows.
#include "app/OVMainMenu.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/ClipView.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/GeometryStrings.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVEventBlocker.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/Font.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/text/ParagraphStyle.h"
#include "platform/textview/TextView.h"
#include "prompter_view/OVScrollView.h"
#include "prompting/OVCore.h"
#include "settings/OVSharedPreferencesAccess.h"
#include "tests/support/AppTestSupport.h"
#include "window/OVDocumentPrompterView.h"
#include "window/OVDocumentWindowController.h"
#include "window/OVDocumentWindowToolbar.h"
#include "window/OVQuickZoom.h"
#include "window/OVScreenGeometryProvider.h"

#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

class FixedScreens final : public OVScreenGeometryProvider {
public:
    std::optional<Rect> visible;
    std::optional<Size> talent;
    std::optional<Rect> operatorVisibleFrame() const override { return visible; }
    std::optional<Size> talentContentSize() const override { return talent; }
};

AttributedString textIn(double points, int characters = 200)
{
    AttributeDictionary attributes;
    attributes.insert(kFontAttributeName,
                      Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica"), points});
    MutableAttributedString text;
    text.append(QString(characters, u'w'), attributes);
    return text;
}

class DocumentWindowSizingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        UserDefaults::shared().resetUserValues();
        UserDefaults::shared().registerDefaults(OVDocumentWindowController::initialDefaultsDictionary());
        UserDefaults::shared().setBool(true, QStringLiteral("enableQuickZoom"));
        core = std::make_unique<OVCore>();
        mainMenu = OVMainMenu::makeMainMenu();
        Menu::setMainMenu(mainMenu.get());
        OVDocumentWindowController::setBeepHandler([this] { ++beeps; });
        OVScreenGeometryProvider::setShared(&screens);
    }
    void TearDown() override
    {
        scripts.reset();
        controllers.clear();
        OVScreenGeometryProvider::setShared(nullptr);
        OVDocumentWindowController::setBeepHandler({});
        Application::shared().setMainWindow(nullptr);
        Menu::setMainMenu(nullptr);
        core.reset();
        UserDefaults::shared().resetUserValues();
    }

    OVDocumentWindowController& makeController()
    {
        controllers.push_back(std::make_unique<OVDocumentWindowController>(core.get()));
        controllers.back()->window()->orderFront();
        return *controllers.back();
    }
    OVDocumentWindowController& newDocument()
    {
        if (!scripts)
            scripts = std::make_unique<apptest::ScriptDocuments>(*core, folder);
        Error error;
        Document* document = scripts->documents.openUntitledDocumentAndDisplay(true, &error);
        EXPECT_NE(document, nullptr);
        return apptest::ScriptDocuments::controllerOf(document);
    }
    void advance(double seconds) { RunLoop::main().advanceManualClock(scopes.clock, seconds); }
    static Size contentSize(OVDocumentWindowController& controller)
    {
        return controller.window()->contentView()->frame().size;
    }
    static QString titleOf(const char* action)
    {
        return Menu::mainMenu()->itemWithAction(QString::fromLatin1(action))->title();
    }
    static MenuItem* addPreset(const QString& preset)
    {
        Menu* window = Menu::mainMenu()->itemWithAction(QStringLiteral("performZoom:"))->menu();
        Menu* presets = window->itemWithTag(OVMainMenu::kResizeDocumentPrompterTag)->submenu();
        MenuItem* item =
            presets->addItemWithTitle(preset, QStringLiteral("resizeDocumentPrompterContentForMenuItem:"));
        item->setRepresentedObject(preset);
        return item;
    }

    apptest::ClockAndScreen scopes;
    QTemporaryDir folder;
    FixedScreens screens;
    std::unique_ptr<OVCore> core;
    std::unique_ptr<Menu> mainMenu;
    std::vector<std::unique_ptr<OVDocumentWindowController>> controllers;
    std::unique_ptr<apptest::ScriptDocuments> scripts;
    int beeps = 0;
};

TEST_F(DocumentWindowSizingTest, QuickZoomToggledTwiceReturnsToScaleOneAndTheTitle)
{
    OVDocumentWindowController& controller = newDocument();
    controller.setAttributedString(textIn(60));
    const QString plainTitle = controller.window()->title();
    ASSERT_FALSE(plainTitle.contains(QStringLiteral("Zoomed Out")));

    ASSERT_TRUE(Application::shared().sendAction(QStringLiteral("toggleQuickZoomContent:"), &controller, {}));
    EXPECT_DOUBLE_EQ(controller.contentZoomScale(), 0.25);
    EXPECT_DOUBLE_EQ(controller.documentPrompterView()->scaleFactor(), 0.25);
    EXPECT_EQ(controller.window()->title(), plainTitle + QStringLiteral(" (Zoomed Out)"));
    controller._updateMenuItems();
    EXPECT_EQ(titleOf("toggleQuickZoomContent:"), QStringLiteral("Default Zoom"));

    controller.toggleQuickZoomContent();
    EXPECT_DOUBLE_EQ(controller.contentZoomScale(), 1.0);
    EXPECT_EQ(controller.window()->title(), plainTitle);
    EXPECT_EQ(titleOf("toggleQuickZoomContent:"), QStringLiteral("Quick Zoom"));
    EXPECT_EQ(beeps, 0);
}

TEST_F(DocumentWindowSizingTest, QuickZoomUsesTheFixedScaleOrTheDeltaAndBeepsWhenNothingChanges)
{
    OVDocumentWindowController& controller = makeController();
    controller.setAttributedString(textIn(60));
    UserDefaults::shared().setInteger(1, QStringLiteral("quickZoomAutomaticDeltaIndex"));
    EXPECT_DOUBLE_EQ(controller.quickZoomScale(), 1.0 / 3.0);
    UserDefaults::shared().setDouble(0.9505, QStringLiteral("quickZoomScale"));
    EXPECT_DOUBLE_EQ(controller.quickZoomScale(), 0.95);

    // An empty script goes by the larger of the typing size and the default style's size.
    UserDefaults::shared().setDouble(0, QStringLiteral("quickZoomScale"));
    UserDefaults::shared().setInteger(0, QStringLiteral("quickZoomAutomaticDeltaIndex"));
    AttributeDictionary style = textIn(30).attributesAtIndex(0);
    style.insert(kForegroundColorAttributeName, Color::rgb(1, 1, 1, 1));
    style.insert(kParagraphStyleAttributeName, ParagraphStyle());
    const AttributedString sample(QStringLiteral("Indeed"), style);
    OVSharedPreferencesAccess::setDefaultStyleData(
        OVSharedPreferencesAccess::styleDataFromAttributedString(&sample, Color::rgb(0, 0, 0, 1)));
    ASSERT_TRUE(OVSharedPreferencesAccess::defaultStyleAttributes().has_value());
    controller.setAttributedString(AttributedString());
    controller.textView()->setTypingAttributes({});
    EXPECT_DOUBLE_EQ(controller.quickZoomScale(), 0.5);
    controller.textView()->setTypingAttributes(textIn(60).attributesAtIndex(0));
    EXPECT_DOUBLE_EQ(controller.quickZoomScale(), 0.25);
    OVSharedPreferencesAccess::setDefaultStyleData(std::nullopt);
    OVSharedPreferencesAccess::triggerDefaultStyleUpdate();

    // Nothing to go by: the scale would stay 1, so the toggle only beeps and changes nothing.
    controller.textView()->setTypingAttributes({});
    if (!OVSharedPreferencesAccess::defaultStyleAttributes()) {
        ASSERT_DOUBLE_EQ(controller.quickZoomScale(), 1.0);
        controller.toggleQuickZoomContent();
        EXPECT_EQ(beeps, 1);
        EXPECT_FALSE(controller.isContentZoomed());
    }
}

TEST_F(DocumentWindowSizingTest, PromptModeLeavesQuickZoomAndAScaleChangeIsFollowed)
{
    OVDocumentWindowController& controller = makeController();
    controller.setAttributedString(textIn(60));
    controller.quickZoomContent();
    ASSERT_DOUBLE_EQ(controller.contentZoomScale(), 0.25);

    UserDefaults::shared().setDouble(0.5, QStringLiteral("quickZoomScale"));
    NotificationCenter::shared().postNotification(OVPreferencesGeneralQuickZoomScaleDidChangeNotification,
                                                  nullptr);
    EXPECT_DOUBLE_EQ(controller.contentZoomScale(), 0.5);

    Application::shared().setMainWindow(controller.window());
    core->enterPromptMode();
    EXPECT_TRUE(core->isModePrompt());
    EXPECT_FALSE(controller.isContentZoomed());
    core->enterEditMode();

    // A window that is not zoomed stays so when the scale changes.
    NotificationCenter::shared().postNotification(OVPreferencesGeneralQuickZoomScaleDidChangeNotification,
                                                  nullptr);
    EXPECT_FALSE(controller.isContentZoomed());
}

TEST_F(DocumentWindowSizingTest, ProportionalZoomIsATransformThatKeepsTheLineBreaks)
{
    UserDefaults::shared().setBool(true, QStringLiteral("quickZoomUseProportionalZoom"));
    OVDocumentWindowController& controller = newDocument();
    controller.setAttributedString(textIn(60, 3000));
    TextView* text = controller.textView();
    const double width = text->frame().size.width;
    ClipView* clip = controller.documentPrompterView()->scrollView()->contentView();
    const double clipWidth = clip->frame().size.width;

    controller.toggleQuickZoomContent();
    EXPECT_DOUBLE_EQ(controller.documentPrompterView()->prompterScrollView()->magnification(), 0.25);
    EXPECT_DOUBLE_EQ(controller.documentPrompterView()->scaleFactor(), 1.0);
    EXPECT_DOUBLE_EQ(text->frame().size.width, width);
    EXPECT_NEAR(clip->bounds().size.width, clipWidth * 4, 1e-6);
    // The script narrower than the view stands in its middle.
    const Rect shown = clip->bounds();
    EXPECT_NEAR(shown.midX(), text->frame().midX(), 1);
    EXPECT_TRUE(controller.window()->title().endsWith(QStringLiteral("(Zoomed Out)")));

    controller.toggleQuickZoomContent();
    EXPECT_NEAR(clip->bounds().size.width, clipWidth, 1e-6);
    EXPECT_NEAR(clip->bounds().origin.x, text->frame().origin.x, 1e-6);
    EXPECT_FALSE(controller.isContentZoomed());
}

TEST_F(DocumentWindowSizingTest, ShowingThePrompterInAllDocumentsOnlyHappensInEditMode)
{
    OVDocumentWindowController& first = makeController();
    OVDocumentWindowController& second = makeController();
    first._updateMenuItems();
    EXPECT_EQ(titleOf("toggleShowsPrompterInAllDocuments:"),
              QStringLiteral("Show Prompter in All Documents"));

    Application::shared().sendAction(QStringLiteral("toggleShowsPrompterInAllDocuments:"), &first, {});
    EXPECT_TRUE(first.showsPrompterInDocument());
    EXPECT_TRUE(second.showsPrompterInDocument());
    EXPECT_EQ(titleOf("toggleShowsPrompterInAllDocuments:"),
              QStringLiteral("Hide Prompter in All Documents"));
    EXPECT_EQ(titleOf("toggleShowsPrompterInDocument:"), QStringLiteral("Hide Prompter in Document"));

    Application::shared().sendAction(QStringLiteral("toggleShowsPrompterInDocument:"), &second, {});
    EXPECT_TRUE(first.showsPrompterInDocument());
    EXPECT_FALSE(second.showsPrompterInDocument());

    Application::shared().setMainWindow(first.window());
    core->enterPromptMode();
    ASSERT_TRUE(core->isModePrompt());
    first.setShowsPrompterInDocument(false, OVDocumentWindowController::openWindowControllers());
    second.setShowsPrompterInDocument(true);
    EXPECT_TRUE(first.showsPrompterInDocument());
    EXPECT_FALSE(second.showsPrompterInDocument());
    core->enterEditMode();
}

TEST_F(DocumentWindowSizingTest, ResizingAllToAPresetGivesEveryWindowThatContentSizeWithoutAnAlert)
{
    int alerts = 0;
    AlertPresenterScope presenter([&alerts](Alert&) {
        ++alerts;
        return Alert::kSecondButtonReturn;
    });
    OVDocumentWindowController& first = makeController();
    OVDocumentWindowController& second = makeController();
    second.window()->setFrame({{300, 20}, {700, 500}});
    // The front window already has the size: it keeps its frame, and the others still change.
    first.window()->setFrame(first.window()->frameRectForContentRect({{0, 0}, {1280, 720}}));
    const Rect firstFrame = first.window()->frame();
    const double secondTop = second.window()->frame().maxY();
    ASSERT_EQ(contentSize(first), (Size{1280, 720}));

    addPreset(QStringLiteral("1280 × 720"));
    first._updateMenuItems();
    MenuItem* resizeAll =
        Menu::mainMenu()->itemWithAction(QStringLiteral("resizeDocumentPrompterContentForMenuItem:"));
    resizeAll->setAction(QStringLiteral("resizeAllDocumentPrompterContentForMenuItem:"));
    Application::shared().sendAction(QStringLiteral("resizeAllDocumentPrompterContentForMenuItem:"), &first,
                                     QVariant::fromValue(resizeAll));
    // Animated over 0.23 s.
    advance(0.1);
    EXPECT_NE(contentSize(second), (Size{1280, 720}));
    advance(0.2);
    EXPECT_EQ(contentSize(second), (Size{1280, 720}));
    EXPECT_EQ(second.window()->frame().maxY(), secondTop);
    EXPECT_EQ(first.window()->frame(), firstFrame);
    EXPECT_EQ(alerts, 0);
}

TEST_F(DocumentWindowSizingTest, APresetLargerThanTheScreenAsksAndDecliningKeepsTheFrame)
{
    int alerts = 0;
    int answer = Alert::kSecondButtonReturn;
    AlertPresenterScope presenter([&](Alert& alert) {
        ++alerts;
        EXPECT_EQ(alert.messageText(),
                  QStringLiteral("Do you want to resize the window larger than the screen?"));
        EXPECT_EQ(alert.informativeText(),
                  QStringLiteral(
                      "The window may shrink if moved or resized. Use Window ‣︎ Lock Window Resizing "
                      "in the menu bar to prevent it from being resized."));
        return answer;
    });
    OVDocumentWindowController& controller = makeController();
    const Rect before = controller.window()->frame();
    controller.resizeToPrompterContentResolution({1920, 1080}, {&controller});
    EXPECT_EQ(alerts, 1);
    EXPECT_EQ(controller.window()->frame(), before);

    answer = Alert::kFirstButtonReturn;
    controller.resizeToPrompterContentResolution({1920, 1080}, {&controller});
    EXPECT_EQ(alerts, 2);
    EXPECT_EQ(contentSize(controller), (Size{1920, 1080}));
    EXPECT_EQ(controller.window()->frame().maxY(), before.maxY());

    // A preset that fits asks nothing.
    controller.resizeToPrompterContentResolution({640, 480}, {&controller});
    EXPECT_EQ(alerts, 2);
    EXPECT_EQ(contentSize(controller), (Size{640, 480}));
}

TEST_F(DocumentWindowSizingTest, PresetCheckMarksFollowTheContentSize)
{
    OVDocumentWindowController& controller = makeController();
    MenuItem* hd = addPreset(QStringLiteral("1280 × 720"));
    MenuItem* vga = addPreset(QStringLiteral("640 x 480"));
    controller.resizeToPrompterContentResolution({640, 480}, {&controller});
    EXPECT_EQ(vga->state(), MenuItem::On);
    EXPECT_EQ(hd->state(), MenuItem::Off);
    controller.window()->setFrame({{10, 10}, {900, 600}});
    controller._updateMenuItems();
    EXPECT_EQ(vga->state(), MenuItem::Off);
    EXPECT_EQ(hd->state(), MenuItem::Off);
}

TEST_F(DocumentWindowSizingTest, LockOneLockAllAndUnlockAllKeepEveryOtherWindowSetting)
{
    OVDocumentWindowController& first = makeController();
    OVDocumentWindowController& second = makeController();
    first.window()->setMinSize({200, 150});
    const unsigned style = first.window()->styleMask();
    const Qt::WindowFlags flags = first.window()->hostWidget()->windowFlags();

    Application::shared().sendAction(QStringLiteral("toggleLockWindowResizing:"), &first, {});
    EXPECT_TRUE(first.isWindowResizingLocked());
    EXPECT_FALSE(second.isWindowResizingLocked());
    EXPECT_EQ(titleOf("toggleLockWindowResizing:"), QStringLiteral("Unlock Window Resizing"));
    EXPECT_EQ(titleOf("toggleLockAllWindowResizing:"), QStringLiteral("Unlock All Window Resizing"));
    const Rect locked = first.window()->frame();
    EXPECT_FALSE(first.window()->styleMask() & Window::Resizable);
    // The window manager hears of the lock through the host's limits, which follow the program's
    // own frames: the lock stops the user only.
    EXPECT_EQ(first.window()->hostWidget()->minimumSize(), first.window()->hostWidget()->maximumSize());
    first.window()->setFrame({locked.origin, {locked.size.width + 100, locked.size.height + 50}});
    EXPECT_EQ(first.window()->frame().size.width, locked.size.width + 100);
    EXPECT_EQ(first.window()->hostWidget()->maximumSize(), first.window()->hostWidget()->size());
    EXPECT_EQ(first.window()->hostWidget()->minimumSize(), first.window()->hostWidget()->size());
    EXPECT_TRUE(first.isWindowResizingLocked());
    first.window()->setFrame(locked);

    second.setLockWindowResizing(true, OVDocumentWindowController::openWindowControllers());
    EXPECT_TRUE(second.isWindowResizingLocked());
    Application::shared().sendAction(QStringLiteral("toggleLockAllWindowResizing:"), &second, {});
    EXPECT_FALSE(first.isWindowResizingLocked());
    EXPECT_FALSE(second.isWindowResizingLocked());
    EXPECT_EQ(first.window()->minSize(), (Size{200, 150}));
    EXPECT_EQ(first.window()->maxSize(), (Size{1e7, 1e7}));
    EXPECT_EQ(first.window()->styleMask(), style);
    EXPECT_EQ(first.window()->hostWidget()->windowFlags(), flags);
    first.window()->setFrame({locked.origin, {locked.size.width + 100, locked.size.height + 50}});
    EXPECT_EQ(first.window()->frame().size.width, locked.size.width + 100);
    first._updateMenuItems();
    EXPECT_EQ(titleOf("toggleLockWindowResizing:"), QStringLiteral("Lock Window Resizing"));
}

TEST_F(DocumentWindowSizingTest, APresetStillResizesALockedWindowAndKeepsItLocked)
{
    OVDocumentWindowController& controller = makeController();
    controller.setLockWindowResizing(true, {&controller});
    controller.resizeToPrompterContentResolution({640, 480}, {&controller});
    EXPECT_EQ(contentSize(controller), (Size{640, 480}));
    EXPECT_TRUE(controller.isWindowResizingLocked());
    EXPECT_EQ(controller.window()->hostWidget()->minimumSize(), controller.window()->hostWidget()->size());
    EXPECT_EQ(controller.window()->hostWidget()->maximumSize(), controller.window()->hostWidget()->size());
}

TEST_F(DocumentWindowSizingTest, ZoomGivesTheTalentSizeWithinTheOperatorScreenAndGoesBack)
{
    OVDocumentWindowController& controller = makeController();
    Window* window = controller.window();
    window->setFrame({{100, 100}, {600, 400}});
    screens.visible = Rect{{120, 0}, {1160, 800}};
    screens.talent = Size{640, 360};

    Application::shared().sendAction(QStringLiteral("performZoom:"), &controller, {});
    EXPECT_EQ(contentSize(controller), (Size{640, 360}));
    EXPECT_GE(window->frame().minX(), 120);
    EXPECT_LE(window->frame().maxX(), 1280);

    Application::shared().sendAction(QStringLiteral("performZoom:"), &controller, {});
    EXPECT_EQ(window->frame(), (Rect{{100, 100}, {600, 400}}));

    // Without a talent window the window takes the screen's default frame.
    screens.talent.reset();
    controller.zoomWindow();
    EXPECT_EQ(window->frame(), window->standardFrame());
}

TEST_F(DocumentWindowSizingTest, SavedPositionPlacesNewDocumentsAndTheSaveBlinksWithClicksHeldBack)
{
    OVDocumentWindowController& first = newDocument();
    first.window()->setFrame({{100, 50}, {700, 500}});
    first.saveWindowPosition();
    EXPECT_EQ(UserDefaults::shared().stringForKey(QStringLiteral("documentWindowFrame")),
              stringFromRect(Rect{{100, 50}, {700, 500}}));
    QWidget* host = first.window()->hostWidget();
    EXPECT_TRUE(HVEventBlocker::sharedBlocker().isWindowBlocked(host));
    advance(0.2);
    EXPECT_NEAR(first.window()->alphaValue(), 0.75, 1e-9);
    EXPECT_TRUE(HVEventBlocker::sharedBlocker().isWindowBlocked(host));
    advance(0.19);
    EXPECT_TRUE(HVEventBlocker::sharedBlocker().isWindowBlocked(host));
    advance(0.02);
    EXPECT_FALSE(HVEventBlocker::sharedBlocker().isWindowBlocked(host));
    EXPECT_NEAR(first.window()->alphaValue(), 1.0, 1e-9);

    // The next new script opens there: one cascade step from the window in front, which is there.
    OVDocumentWindowController& second = newDocument();
    const Rect front = first.window()->frame();
    EXPECT_EQ(second.window()->frame().minX(), front.minX() + 22);
    EXPECT_EQ(second.window()->frame().maxY(), front.maxY() - 22);
    EXPECT_EQ(second.window()->frame().size, front.size);
}

TEST_F(DocumentWindowSizingTest, TheFirstNewDocumentOpensAtTheSavedFrame)
{
    UserDefaults::shared().setObject(PlistValue(stringFromRect(Rect{{140, 60}, {760, 520}})),
                                     QStringLiteral("documentWindowFrame"));
    OVDocumentWindowController& controller = newDocument();
    EXPECT_EQ(controller.window()->frame(), (Rect{{140, 60}, {760, 520}}));
}

TEST_F(DocumentWindowSizingTest, ADelayedRestoreOfAClosedWindowDoesNothing)
{
    auto doomed = std::make_unique<OVDocumentWindowController>(core.get());
    OVDocumentWindowController& survivor = makeController();
    doomed->window()->orderFront();
    doomed->setLockWindowResizing(true, {doomed.get()});
    survivor.resizeToPrompterContentResolution({640, 480}, {&survivor, doomed.get()});
    doomed.reset();
    advance(0.5);
    EXPECT_EQ(contentSize(survivor), (Size{640, 480}));

    OVDocumentWindowController& saved = makeController();
    saved.saveWindowPosition();
    controllers.pop_back();
    advance(0.5);
    SUCCEED();
}

} // namespace
