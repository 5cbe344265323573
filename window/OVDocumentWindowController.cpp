// The document window controller's set-up: its window, prompter view, toolbar and observers, the
// document's undo manager and default style for a new script, and the window's live resizing.
#include "window/OVDocumentWindowController.h"

#include "document/OVDocument.h"
#include "output/OVPrompterWindow.h"
#include "output/OVTalentWindowController.h"
#include "platform/appkit/AppKitNotifications.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/ClipView.h"
#include "platform/appkit/Document.h"
#include "platform/appkit/EventTranslation.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Toolbar.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVFontManager.h"
#include "platform/hvkit/HVLocalizedString.h"
#include "platform/text/TextStorage.h"
#include "platform/textview/TextView.h"
#include "prompter_view/OVTimeBar.h"
#include "prompting/OVApplication.h"
#include "prompting/OVCore.h"
#include "prompting/OVTimeInfo.h"
#include "settings/OVSharedPreferencesAccess.h"
#include "text/OVBookmarkController.h"
#include "text/OVTextView.h"
#include "window/OVDocumentPrompterView.h"
#include "window/OVDocumentWindowToolbar.h"

#include <QMenuBar>
#include <QToolBar>

#include <algorithm>

namespace {

const Rect kDefaultWindowFrame{{120, 120}, {720, 540}};
// The smallest script window that can still be used: below its menus and toolbar, a few lines of
// script at the default size; wide enough for the toolbar's first item and the menu of the others.
constexpr double kMinimumWindowWidth = 200;
constexpr double kMinimumScriptHeight = 150;

OVDocumentWindowController::ModifierFlagsProvider& modifierFlagsProvider()
{
    static OVDocumentWindowController::ModifierFlagsProvider provider = ::currentModifierFlags;
    return provider;
}

} // namespace

void OVDocumentWindowController::setModifierFlagsProvider(ModifierFlagsProvider provider)
{
    modifierFlagsProvider() =
        provider ? std::move(provider) : ModifierFlagsProvider(::currentModifierFlags);
}

unsigned long OVDocumentWindowController::currentModifierFlags()
{
    return modifierFlagsProvider()();
}

PlistDictionary OVDocumentWindowController::initialDefaultsDictionary()
{
    PlistDictionary defaults;
    // The toolbar's height on the newest system, which the program behaves as.
    defaults.insert(QStringLiteral("documentToolbarLastHeight"), 52.0);
    defaults.insert(QStringLiteral("documentQuickZoomTargetFontSize"), 15);
    // Quick zoom by the prompter's scale factor, with the automatic scale as found.
    defaults.insert(QStringLiteral("quickZoomUseProportionalZoom"), false);
    defaults.insert(QStringLiteral("quickZoomAutomaticDeltaIndex"), 0);
    // The band the simplified export maps font sizes onto; the print panel's small-size choice.
    defaults.insert(QStringLiteral("printPanelMaximumSmallFontPointSize"), 13.0);
    defaults.insert(QStringLiteral("printPanelMinimumSmallFontPointSize"), 10.0);
    return defaults;
}

OVDocumentWindowController::OVDocumentWindowController(OVCore* core)
    : m_core(core ? core : &OVApplication::shared().core()), m_timeInfo(std::make_unique<OVTimeInfo>())
{
    installActions();
    // The user's default speed is kept as set: the limiter clamps it once the speed control's range
    // is known, not against a range that does not exist yet.
    setPrompterSpeed(UserDefaults::shared().doubleForKey(QStringLiteral("defaultSpeed")));
}

OVDocumentWindowController::~OVDocumentWindowController()
{
    RunLoop::main().cancelPreviousPerformRequests(this);
    OVBookmarkController& bookmarks = OVBookmarkController::sharedBookmarkController();
    bookmarks.removeBindingsObserver(m_bookmarkBindingsToken);
    if (m_bookmarksSegmentMenu)
        bookmarks.removeBookmarksMenuFromUpdateList(m_bookmarksSegmentMenu.get());
    if (TextView* text = textView(); text && text->delegate() == this)
        text->setDelegate(nullptr);
    m_observers.clear();
    releaseCore();
    if (isWindowLoaded())
        window()->setToolBar(nullptr);
    m_toolbar.reset();
}

void OVDocumentWindowController::releaseCore()
{
    if (m_core->controller() == this)
        m_core->configureCoreForController(nullptr);
}

TextView* OVDocumentWindowController::textView() const
{
    return m_prompterView ? m_prompterView->documentTextView() : nullptr;
}

// Window set-up.

std::unique_ptr<Window> OVDocumentWindowController::makeWindow()
{
    auto window = std::make_unique<OVPrompterWindow>(kDefaultWindowFrame);
    // Linux has no menu bar of the screen: each script's window carries the program's menus.
    if (Menu* menu = Menu::mainMenu())
        window->setMenuBar(menu->makeMenuBar(window->hostWidget()));
    auto prompter = std::make_unique<OVDocumentPrompterView>(Rect{{0, 0}, kDefaultWindowFrame.size});
    m_prompterView = prompter.get();
    m_prompterView->setCore(m_core);
    // The time bar counts with the window's own counters, which the core and the toolbar use.
    m_prompterView->timeBar()->setTimeInfo(m_timeInfo.get());
    window->setContentView(std::move(prompter));
    m_toolbar = std::make_unique<OVDocumentWindowToolbar>(*this);
    Toolbar& toolbar = m_toolbar->toolbar();
    QToolBar* bar = toolbar.qToolBar();
    window->setToolBar(bar);
    bar->setVisible(toolbar.isVisible());
    window->toolBarDidChange();
    toolbar.setChangeHandler([this](Toolbar& changed, Toolbar::Change change) {
        toolbarDidChange(changed, int(change));
    });
    // A frame restored from a script or the settings (10 by 10 from a damaged file) is clamped to
    // this, so the window always opens large enough to be used and resized.
    const double menus = window->menuBar() ? window->menuBar()->sizeHint().height() : 0;
    window->setMinSize({kMinimumWindowWidth, menus + window->toolBarHeight() + kMinimumScriptHeight});
    return window;
}

void OVDocumentWindowController::toolbarDidChange(Toolbar& toolbar, int change)
{
    if (!isWindowLoaded())
        return;
    Window* own = window();
    if (QToolBar* bar = own->toolBar(); bar && bar->isHidden() == toolbar.isVisible())
        bar->setVisible(toolbar.isVisible());
    own->toolBarDidChange();
    if (change == int(Toolbar::Change::Items) || toolbar.identifier() != OVDocumentWindowToolbarIdentifier)
        return;
    // The talent window's content inset follows the operator's toolbar. A hidden toolbar has no
    // strip: the height kept is the one it takes when shown.
    if (own->toolBarHeight() > 0)
        UserDefaults::shared().setDouble(own->toolBarHeight(), QStringLiteral("documentToolbarLastHeight"));
    if (OVTalentWindowController::sharedTalentWindowControllerExists())
        OVTalentWindowController::sharedTalentWindowController().updateContentInset();
}

bool OVDocumentWindowController::isToolbarVisible() const
{
    return m_toolbar && m_toolbar->toolbar().isVisible();
}

void OVDocumentWindowController::setToolbarVisible(bool visible)
{
    if (m_toolbar)
        m_toolbar->toolbar().setVisible(visible);
}

void OVDocumentWindowController::setBookmarksVisible(bool visible)
{
    OVBookmarkController::sharedBookmarkController().setBookmarksVisible(visible);
}

double OVDocumentWindowController::toolbarHeight() const
{
    if (!m_toolbar)
        return 0;
    QToolBar* bar = m_toolbar->toolbar().qToolBar();
    return bar ? bar->sizeHint().height() : 0;
}

void OVDocumentWindowController::windowDidLoad()
{
    Window* own = window();
    NotificationCenter& center = NotificationCenter::shared();
    m_observers.emplace_back(center, kWindowDidBecomeMainNotification, own,
                             [this](const Notification&) { windowBecameMain(); });
    m_observers.emplace_back(center, kWindowDidResignMainNotification, own,
                             [this](const Notification&) { windowResignedMain(); });
    m_observers.emplace_back(center, kWindowWillCloseNotification, own,
                             [this](const Notification&) { windowWillClose(); });
    m_observers.emplace_back(center, kWindowWillStartLiveResizeNotification, own,
                             [this](const Notification&) { windowWillStartLiveResize(); });
    m_observers.emplace_back(center, kWindowDidEndLiveResizeNotification, own,
                             [this](const Notification&) { windowDidEndLiveResize(); });
    m_observers.emplace_back(center, kViewBoundsDidChangeNotification,
                             m_prompterView->clipView(),
                             [this](const Notification&) { m_timeRemainingNeedsUpdate = true; });
    m_observers.emplace_back(center, kViewFrameDidChangeNotification, textView(),
                             [this](const Notification&) { m_timeRemainingNeedsUpdate = true; });
    m_observers.emplace_back(center, OVCoreWillRequireSynchronizedTimersUpdateNotification, nullptr,
                             [this](const Notification&) { m_toolbar->updateTimeForTimerItem(); });
    m_observers.emplace_back(center, OVPreferencesControlsSpeedSliderValuesDidChangeNotification, nullptr,
                             [this](const Notification&) { _updateSpeedSliderMinAndMaxValues(); });
    // Whether the talent screen can be blanked changes with the displays and the output chosen.
    for (const QString& name :
         {OVCoreDidChangeDualScreenConfigurationNotification, OVPreviewScreenModeDidChangeNotification}) {
        m_observers.emplace_back(center, name, nullptr, [this](const Notification&) {
            m_toolbar->updateBlankingItem();
            m_toolbar->toolbar().validateVisibleItems();
        });
    }
    m_observers.emplace_back(center, OVPreferencesControlsSpeedLimiterDidChangeNotification, nullptr,
                             [this](const Notification&) { setSpeedSliderRange(m_speedSliderMin, m_speedSliderMax); });
    m_observers.emplace_back(center, OVCoreBlankingDidChangeNotification, nullptr, [this](const Notification&) {
        m_toolbar->updateBlankingItem();
        m_toolbar->toolbar().validateVisibleItems();
        m_prompterView->setShowBlankingNotice(m_core->isBlanking());
    });
    // The operator keeps reading the script while the talent sees the blanking image: a notice says so.
    m_prompterView->setShowBlankingNotice(m_core->isBlanking());
    // Windows that do not control the core still show its mode and status.
    m_observers.emplace_back(center, OVCoreDidChangeModeNotification, nullptr, [this](const Notification&) {
        if (!isCoreController())
            m_toolbar->modeDidChange(m_core->mode());
    });
    auto activeChanged = [this](bool inactive) {
        return [this, inactive](const Notification&) {
            m_applicationInactive = inactive;
            m_toolbar->toolbar().validateVisibleItems();
        };
    };
    m_observers.emplace_back(center, kApplicationDidResignActiveNotification, nullptr, activeChanged(true));
    m_observers.emplace_back(center, kApplicationDidBecomeActiveNotification, nullptr, activeChanged(false));
    _updateSpeedSliderMinAndMaxValues();
    textView()->setDelegate(this);
    // Marks made while prompting show when the operator is back in Edit mode.
    if (OVTextView* text = editorTextView())
        text->setDrawsMarkedText(true);
    m_bookmarkBindingsToken = OVBookmarkController::sharedBookmarkController().addBindingsObserver(
        [this] { _updateBookmarkSegmentsEnabled(); });
    _setEnableMainWindowRequiredControls(Application::shared().mainWindow() == own);
    // The script is what the window is for: keys go to it from the start.
    own->makeFirstResponder(textView());
    adoptDocumentUndoManager();
    startNewScriptInDefaultStyle();
    setUpWindowSizing();
}

void OVDocumentWindowController::setDocument(Document* document)
{
    WindowController::setDocument(document);
    adoptDocumentUndoManager();
    startNewScriptInDefaultStyle();
}

void OVDocumentWindowController::startNewScriptInDefaultStyle()
{
    // A new script starts in the default style, page colour included; one that is read replaces
    // its text and attributes afterwards.
    auto* script = dynamic_cast<OVDocument*>(document());
    OVTextView* text = script && script->useDefaultStyle() && script->fileURL().isEmpty() && isWindowLoaded()
                           ? editorTextView()
                           : nullptr;
    if (!text || text->textStorage().length() > 0)
        return;
    if (const std::optional<AttributeDictionary> style = OVSharedPreferencesAccess::defaultStyleAttributes())
        text->setTypingAttributes(*style);
    if (const std::optional<AttributeDictionary> page =
            OVSharedPreferencesAccess::defaultStyleAttributesWithDocumentAttributes()) {
        if (const auto held = page->value(NSBackgroundColorDocumentAttribute);
            const Color* background = held.color())
            text->setBackgroundColor(HVFontManager::qtColor(*background));
    }
}

QString OVDocumentWindowController::windowTitleForDocumentDisplayName(const QString& displayName) const
{
    const QString title = WindowController::windowTitleForDocumentDisplayName(displayName);
    if (!isContentZoomed())
        return title;
    return QStringLiteral("%1 (%2)").arg(
        title, HVLocalizedString::localizedString(QStringLiteral("zoom-zoomed-out"), QStringLiteral("Zoomed Out")));
}

void OVDocumentWindowController::adoptDocumentUndoManager()
{
    // Edits are the document's changes: its edited state, the question on closing and autosaving
    // all count the groups on this one undo manager.
    if (TextView* text = textView())
        text->setUndoManager(document() ? document()->undoManager() : nullptr);
}

// Live resizing and the front-most window.

void OVDocumentWindowController::windowWillStartLiveResize()
{
    if (TextView* view = textView()) {
        const Range visible = view->visibleCharacterRange();
        if (visible.location != kNotFound)
            m_visibleEditingRangeBeforeResize = visible;
    }
    if (m_prompterView)
        m_prompterView->setTextContainerWidthTracksTextView(false);
}

void OVDocumentWindowController::windowDidEndLiveResize()
{
    if (m_prompterView)
        m_prompterView->setTextContainerWidthTracksTextView(true);
    _updateMenuItems();
    const std::optional<Range> saved = std::exchange(m_visibleEditingRangeBeforeResize, std::nullopt);
    TextView* view = textView();
    if (!saved || !view)
        return;
    // The text may have changed meanwhile: only what still exists is scrolled to.
    const qint64 length = view->textStorage().length();
    if (qint64(saved->location) > length)
        return;
    view->scrollRangeToVisible(
        {saved->location, std::min<qint64>(saved->length, length - qint64(saved->location))});
}

OVDocumentWindowController* OVDocumentWindowController::frontMostPrompterWindowController()
{
    for (Window* window : Application::shared().orderedWindows()) {
        if (!window->isVisible() || window->isMiniaturized())
            continue;
        if (auto* controller = dynamic_cast<OVDocumentWindowController*>(window->windowController()))
            return controller;
    }
    return nullptr;
}

bool OVDocumentWindowController::isFrontMostPrompterWindowController() const
{
    return frontMostPrompterWindowController() == this;
}

OVTextView* OVDocumentWindowController::editorTextView() const
{
    return dynamic_cast<OVTextView*>(textView());
}
