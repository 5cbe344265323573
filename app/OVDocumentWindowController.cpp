#include "app/OVDocumentWindowController.h"

#include "document/OVDocument.h"
#include "platform/hvkit/HVFontManager.h"

#include "platform/appkit/EventTranslation.h"

#include "app/OVDocumentPrompterView.h"
#include "app/OVDocumentWindowToolbar.h"
#include "app/OVStyleSimplifiedStorage.h"
#include "app/OVTimerTextField.h"
#include "textutil/NSMutableAttributedStringHVAdditions.h"
#include "textutil/NSStringHVAdditions.h"
#include "output/OVEnvironment.h"
#include "output/OVPrompterWindow.h"
#include "output/OVTalentWindowController.h"
#include "platform/appkit/AppKitNotifications.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/ClipView.h"
#include "platform/appkit/Document.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Screen.h"
#include "platform/appkit/Toolbar.h"
#include "platform/appkit/ToolbarItem.h"
#include "platform/appkit/UndoManager.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/GeometryStrings.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVLocalizedString.h"
#include "platform/hvkit/NSColorHVAdditions.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/text/TextStorage.h"
#include "platform/textview/TextView.h"
#include "prompter_view/OVFocusArrowView.h"
#include "prompter_view/OVScrollView.h"
#include "prompter_view/OVTimeBar.h"
#include "prompting/OVApplication.h"
#include "prompting/OVCore.h"
#include "prompting/OVTimeInfo.h"
#include "settings/OVConstants.h"
#include "settings/OVSharedPreferencesAccess.h"
#include "text/NSMutableAttributedStringOVBookmarkAdditions.h"
#include "text/OVBookmarkController.h"
#include "text/OVTextView.h"

#include <QApplication>
#include <QColor>
#include <QGuiApplication>
#include <QMenuBar>
#include <QToolBar>

#include <algorithm>
#include <cmath>

namespace {

const Rect kDefaultWindowFrame{{120, 120}, {720, 540}};
// The smallest script window that can still be used: below its menus and toolbar, a few lines of
// script at the default size; wide enough for the toolbar's first item and the menu of the others.
constexpr double kMinimumWindowWidth = 200;
constexpr double kMinimumScriptHeight = 150;
// Speeds this close to zero are zero: a slider dragged back to the middle stops the prompter.
constexpr double kZeroSpeedThreshold = 0.00001;

OVDocumentWindowController::ModifierFlagsProvider& modifierFlagsProvider()
{
    static OVDocumentWindowController::ModifierFlagsProvider provider = ::currentModifierFlags;
    return provider;
}

bool boolDefault(const QString& key)
{
    return UserDefaults::shared().boolForKey(key);
}

QColor qColor(const Color& color)
{
    return QColor::fromRgbF(float(color.red), float(color.green), float(color.blue), float(color.alpha));
}

const QString kPrintPanelMaximumSmallFontPointSizeKey = QStringLiteral("printPanelMaximumSmallFontPointSize");
const QString kPrintPanelMinimumSmallFontPointSizeKey = QStringLiteral("printPanelMinimumSmallFontPointSize");

// The newline characters of the platform's newline set.
bool isNewline(char16_t c)
{
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

// The style a selection shows: the attributes of its first character that is not an attachment
// (a picture or a bookmark has no text style to take); nothing when it has none.
AttributeDictionary displayableAttributesInRange(const AttributedString& text, const Range& range)
{
    const QString& characters = text.string();
    for (qsizetype i = range.location; i < range.end() && i < text.length(); ++i) {
        if (characters.at(i) == QChar(kAttachmentCharacter))
            continue;
        AttributeDictionary attributes = text.attributesAtIndex(i);
        attributes.remove(kAttachmentAttributeName);
        attributes.remove(kLinkAttributeName);
        return attributes;
    }
    return {};
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
    defaults.insert(kPrintPanelMaximumSmallFontPointSizeKey, 13.0);
    defaults.insert(kPrintPanelMinimumSmallFontPointSizeKey, 10.0);
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
    _updateBookmarkSegmentsEnabled();
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

// Core controller.

Window* OVDocumentWindowController::controllerWindow() const
{
    return isWindowLoaded() ? const_cast<OVDocumentWindowController*>(this)->window() : nullptr;
}

OVCorePrompterView* OVDocumentWindowController::prompterView() const
{
    return m_prompterView;
}

bool OVDocumentWindowController::isCoreController() const
{
    return m_core->controller() == this;
}

void OVDocumentWindowController::updateSpeedControl()
{
    ++m_speedControlUpdates;
    if (m_toolbar)
        m_toolbar->updateSpeedControl();
    else
        m_speedControlNeedsUpdate = false;
}

void OVDocumentWindowController::forceModeChange(unsigned mode)
{
    tryToPerform(mode != OVCore::kModeEdit ? QStringLiteral("enterPromptMode:")
                                           : QStringLiteral("enterEditMode:"),
                 {});
}

void OVDocumentWindowController::coreModeWillChange(unsigned mode)
{
    Window* own = controllerWindow();
    if (own && Application::shared().mainWindow() != own)
        Application::shared().setMainWindow(own);
    // The script is prompted at its own size, never zoomed out.
    if (mode == OVCore::kModePrompt && boolDefault(QStringLiteral("enableQuickZoom")))
        standardZoomContent();
    if (mode == OVCore::kModePrompt && own && textView())
        own->makeFirstResponder(textView());
    if (mode != OVCore::kModePrompt)
        removeFlashWindow();
    // Leaving Prompt mode pauses the prompter hard; the clock of an editor stands still without a
    // pulse, which would otherwise redraw the field for as long as the program runs.
    m_timerMayPulse = mode == OVCore::kModePrompt;
    if (mode != OVCore::kModePrompt && m_toolbar && m_toolbar->timerField())
        m_toolbar->timerField()->stopPulsateAnimation();
    if (m_toolbar)
        m_toolbar->modeWillChange(mode);
}

void OVDocumentWindowController::coreModeDidChange(unsigned mode)
{
    if (m_toolbar)
        m_toolbar->modeDidChange(mode);
}

void OVDocumentWindowController::coreStatusWillChange(unsigned status)
{
    Q_UNUSED(status);
    if (m_toolbar)
        m_toolbar->updateStartPauseItem();
}

void OVDocumentWindowController::coreStatusDidChange(unsigned status)
{
    if (!m_toolbar)
        return;
    m_toolbar->updateStartPauseItem();
    // A clock that stands still because the prompter is paused hard says so by pulsing.
    OVTimerTextField* timer = m_toolbar->timerField();
    if (!timer)
        return;
    if (status != OVCore::kStatusPausedHard || !m_timerMayPulse)
        timer->stopPulsateAnimation();
    else if (isToolbarVisible())
        timer->startPulsateAnimation();
}

void OVDocumentWindowController::enableActivity(bool enable, Window* window)
{
    if (!window || window != controllerWindow())
        return;
    if (textView())
        textView()->layoutManager()->setBackgroundLayoutEnabled(enable);
    m_prompterView->prompterScrollView()->setSuspendReTile(!enable);
}

bool OVDocumentWindowController::interpretEvent(Event& event, Window* forwardedFromWindow)
{
    Q_UNUSED(forwardedFromWindow);
    if (!m_core->isModePrompt())
        return false;
    TextView* text = textView();
    if (!text)
        return true;
    switch (event.type) {
    case Event::Type::LeftMouseDown:
        text->mouseDown(event);
        break;
    case Event::Type::LeftMouseUp:
        text->mouseUp(event);
        break;
    case Event::Type::RightMouseDown:
        text->rightMouseDown(event);
        break;
    case Event::Type::RightMouseUp:
        text->rightMouseUp(event);
        break;
    case Event::Type::LeftMouseDragged:
        text->mouseDragged(event);
        break;
    case Event::Type::RightMouseDragged:
        text->rightMouseDragged(event);
        break;
    case Event::Type::FlagsChanged:
        text->flagsChanged(event);
        break;
    case Event::Type::ScrollWheel:
        text->scrollWheel(event);
        break;
    case Event::Type::OtherMouseDown:
        text->otherMouseDown(event);
        break;
    case Event::Type::OtherMouseUp:
        text->otherMouseUp(event);
        break;
    case Event::Type::OtherMouseDragged:
        text->otherMouseDragged(event);
        break;
    default:
        // Keys and everything else are swallowed: the prompter is not edited in Prompt mode.
        break;
    }
    return true;
}

// Speed.

void OVDocumentWindowController::setPrompterSpeed(double speed)
{
    if (!std::isfinite(speed))
        return;
    if (m_hasSpeedSliderRange && boolDefault(QStringLiteral("speedLimiterRestrictsToSpeedSlider")))
        speed = std::clamp(speed, std::min(m_speedSliderMin, m_speedSliderMax),
                           std::max(m_speedSliderMin, m_speedSliderMax));
    if (speed == m_prompterSpeed)
        return;
    m_prompterSpeed = std::abs(speed) <= kZeroSpeedThreshold ? 0 : speed;
    m_timeRemainingNeedsUpdate = true;
    if (m_core->controller() == this)
        m_core->speedDidUpdate(m_prompterSpeed);
    updateSpeedControl();
}

void OVDocumentWindowController::setSpeedSliderRange(double minimum, double maximum)
{
    m_speedSliderMin = minimum;
    m_speedSliderMax = maximum;
    m_hasSpeedSliderRange = true;
    if (m_toolbar)
        m_toolbar->setSpeedSliderRange(minimum, maximum);
    // The current speed goes through the limiter again, so the new range takes effect.
    setPrompterSpeed(m_prompterSpeed);
}

void OVDocumentWindowController::_updateSpeedSliderMinAndMaxValues()
{
    setSpeedSliderRange(boolDefault(QStringLiteral("speedSliderOnlyUsesPositiveValues")) ? 0 : -10, 10);
}

void OVDocumentWindowController::stepSpeed(double delta, bool capped)
{
    double speed = m_prompterSpeed + delta;
    if (capped)
        speed = delta > 0 ? std::min(speed, m_speedSliderMax) : std::max(speed, m_speedSliderMin);
    setPrompterSpeed(speed);
}

void OVDocumentWindowController::setSpeedFromHotKeyValueNumber(const QVariant& number)
{
    if (!number.isValid())
        return;
    const QMetaType type = number.metaType();
    const bool isNumber = type == QMetaType::fromType<int>() || type == QMetaType::fromType<uint>() ||
                          type == QMetaType::fromType<qlonglong>() ||
                          type == QMetaType::fromType<qulonglong>() ||
                          type == QMetaType::fromType<ushort>() || type == QMetaType::fromType<short>();
    if (!isNumber)
        return;
    const qlonglong code = number.toLongLong();
    const QList<quint16>& characters = OVConstants::numberCharactersArray();
    const qsizetype index = characters.indexOf(quint16(code));
    if (code < 0 || code > 0xFFFF || index < 0)
        return;
    if (index == characters.size() - 1) {
        setPrompterSpeed(0);
        return;
    }
    // The keys that sent the number, not the keyboard as it is now: the keypad is a property of the
    // key pressed, and Option may be let go before the action arrives.
    const Event* event = Application::shared().currentEvent();
    const unsigned long flags =
        event && event->isKeyEvent() ? event->modifierFlags : modifierFlagsProvider()();
    double value = 0;
    if (code == u'0')
        value = (flags & kNumericPadKeyMask) ? 0 : 10;
    else
        value = double(code - u'0');
    if (flags & kOptionKeyMask)
        value = -value;
    setPrompterSpeed(value);
}

void OVDocumentWindowController::setLooping(bool looping)
{
    m_looping = looping;
}

// Actions.

void OVDocumentWindowController::installActions()
{
    auto on = [this](const QString& action, std::function<void(const QVariant&)> handler) {
        setActionHandler(action, std::move(handler));
    };
    on(QStringLiteral("toggleStatus:"), [this](const QVariant&) { m_core->toggleStatus(); });
    on(QStringLiteral("startPrompter:"), [this](const QVariant&) { m_core->startPrompter(); });
    on(QStringLiteral("pausePrompter:"), [this](const QVariant&) { m_core->pausePrompter(); });
    on(QStringLiteral("toggleMode:"), [this](const QVariant&) { m_core->toggleMode(); });
    on(QStringLiteral("enterEditMode:"), [this](const QVariant&) { m_core->enterEditMode(); });
    on(QStringLiteral("enterPromptMode:"), [this](const QVariant&) { m_core->enterPromptMode(); });
    auto increment = [] { return UserDefaults::shared().doubleForKey(QStringLiteral("speedIncrement")); };
    on(QStringLiteral("increaseSpeed:"),
       [this, increment](const QVariant&) { stepSpeed(increment(), false); });
    on(QStringLiteral("decreaseSpeed:"),
       [this, increment](const QVariant&) { stepSpeed(-increment(), false); });
    on(QStringLiteral("increaseSpeedWithMaxCap:"),
       [this, increment](const QVariant&) { stepSpeed(increment(), true); });
    on(QStringLiteral("decreaseSpeedWithMinCap:"),
       [this, increment](const QVariant&) { stepSpeed(-increment(), true); });
    on(QStringLiteral("switchDirection:"), [this](const QVariant&) { setPrompterSpeed(-m_prompterSpeed); });
    on(QStringLiteral("setSpeedFromHotKeyValueNumber:"),
       [this](const QVariant& sender) { setSpeedFromHotKeyValueNumber(sender); });
    auto lineScroll = [this] { return 2 * m_prompterView->scrollView()->verticalLineScroll(); };
    on(QStringLiteral("scrollUp:"), [this, lineScroll](const QVariant&) {
        if (!m_prompterView)
            return;
        if (m_core->isStatusStarted())
            m_core->addScrollingDeltaAnimated(-lineScroll());
        else
            textView()->doCommandBySelector(QStringLiteral("scrollLineUp:"));
    });
    on(QStringLiteral("scrollDown:"), [this, lineScroll](const QVariant&) {
        if (!m_prompterView)
            return;
        if (m_core->isStatusStarted())
            m_core->addScrollingDeltaAnimated(lineScroll());
        else
            textView()->doCommandBySelector(QStringLiteral("scrollLineDown:"));
    });
    auto command = [this](const QString& selector) {
        return [this, selector](const QVariant&) {
            if (TextView* text = textView())
                text->doCommandBySelector(selector);
        };
    };
    on(QStringLiteral("scriptStart:"), command(QStringLiteral("moveToBeginningOfDocument:")));
    on(QStringLiteral("scriptEnd:"), command(QStringLiteral("moveToEndOfDocument:")));
    on(QStringLiteral("prompterScrollPageUp:"), command(QStringLiteral("scrollPageUp:")));
    on(QStringLiteral("prompterScrollPageDown:"), command(QStringLiteral("scrollPageDown:")));
    on(QStringLiteral("resetElapsedTimer:"), [this](const QVariant&) {
        if (isWindowLoaded() && Application::shared().mainWindow() == window())
            m_core->resetTimer();
    });
    on(QStringLiteral("toggleLooping:"), [this](const QVariant&) { setLooping(!m_looping); });
    on(QStringLiteral("toggleBlanking:"), [this](const QVariant&) {
        if (m_core->canBlankScreen())
            m_core->toggleBlanking();
    });
    on(QStringLiteral("speedSliderChanged:"), [this](const QVariant& sender) {
        bool ok = false;
        const double value = sender.toDouble(&ok);
        if (ok)
            setPrompterSpeed(value);
    });
    on(QStringLiteral("runToolbarCustomizationPalette:"), [this](const QVariant&) {
        if (m_toolbar)
            m_toolbar->runCustomization();
    });
    on(QStringLiteral("toggleToolbarShown:"), [this](const QVariant&) {
        if (m_toolbar)
            m_toolbar->toolbar().setVisible(!m_toolbar->toolbar().isVisible());
    });
    // Kept for the toolbar's bare items, which have nothing to do yet.
    for (const char* empty : {"showBookmarksButtonPressed:", "showPlaylistsButtonPressed:", "formatBarButtonPressed:"})
        on(QString::fromLatin1(empty), [](const QVariant&) {});
    on(QStringLiteral("applyDefaultStyle:"), [this](const QVariant&) { applyDefaultStyle(); });
    on(QStringLiteral("applyDefaultStyleWithoutBackground:"),
       [this](const QVariant&) { applyDefaultStyleWithoutBackground(); });
    on(QStringLiteral("setSelectionAsDefaultStyle:"),
       [this](const QVariant&) { setSelectionAsDefaultStyle(); });
    on(QStringLiteral("togglePositionLock:"), [this](const QVariant&) {
        if (m_prompterView && m_prompterView->focusArrowView())
            m_prompterView->focusArrowView()->togglePositionLock();
    });
    installTextSizeActions();
    installEditorActions();
    installSizingActions();
    installPDFAndPrintActions();
}

void OVDocumentWindowController::installTextSizeActions()
{
    auto onText = [this](const char* action, std::function<void(OVTextView&)> perform) {
        setActionHandler(QString::fromLatin1(action), [this, perform](const QVariant&) {
            window();
            if (OVTextView* text = editorTextView())
                perform(*text);
        });
    };
    onText("makeDocumentTextBigger:", [](OVTextView& text) { text.increaseTextSize(); });
    onText("makeDocumentTextSmaller:", [](OVTextView& text) { text.decreaseTextSize(); });
    onText("makeDocumentTextBigger10x:",
           [](OVTextView& text) { text.adjustTextSizeByFactor(1.0, kDocumentTextSizeStep); });
    onText("makeDocumentTextSmaller10x:",
           [](OVTextView& text) { text.adjustTextSizeByFactor(1.0, -kDocumentTextSizeStep); });
    onText("invertColors:", [](OVTextView& text) { text.invertColors(); });
    setActionHandler(QStringLiteral("documentIncreaseTextSize:"),
                     [this](const QVariant&) { _documentChangeTextSize(0); });
    setActionHandler(QStringLiteral("documentDecreaseTextSize:"),
                     [this](const QVariant&) { _documentChangeTextSize(1); });
}

void OVDocumentWindowController::_documentChangeTextSize(int direction)
{
    window();
    OVTextView* text = editorTextView();
    if (!text)
        return;
    const double size = direction == 0 ? kDocumentTextSizeStep : -kDocumentTextSizeStep;
    text->adjustTextSizeByFactor(1.0, size, {{0, text->textStorage().length()}},
                                 OVTextView::TextSizeKeepSelection | OVTextView::TextSizeKeepVisibleRange);
}

// Validation.

bool OVDocumentWindowController::respondsToAction(const QString& action) const
{
    // Blanking that cannot happen is not offered at all: a menu item bound to it finds nobody.
    if (action == QLatin1String("toggleBlanking:") && !m_core->canBlankScreen())
        return false;
    return WindowController::respondsToAction(action);
}

bool OVDocumentWindowController::shouldEnableModeChangingControls() const
{
    // Linux has no version browser and no documents in viewing mode: only an inactive program
    // keeps the prompter from being started or its mode changed from a window.
    return !m_applicationInactive;
}

bool OVDocumentWindowController::canResetElapsedTimer() const
{
    return isWindowLoaded() && Application::shared().mainWindow() == controllerWindow();
}

bool OVDocumentWindowController::validateMenuItem(const UserInterfaceItem& item) const
{
    _updateMenuItems();
    return validateUserInterfaceItem(item);
}

void OVDocumentWindowController::_updateMenuItems() const
{
    Menu* menu = Menu::mainMenu();
    if (!menu || !isWindowLoaded())
        return;
    auto state = [menu](const char* action, bool on) {
        if (MenuItem* item = menu->itemWithAction(QString::fromLatin1(action)))
            item->setState(on ? MenuItem::On : MenuItem::Off);
    };
    state("toggleLooping:", m_looping);
    state("togglePositionLock:",
          m_prompterView && m_prompterView->focusArrowView() && m_prompterView->focusArrowView()->isPositionLocked());
    state("toggleBlanking:", m_core->isBlanking());
    state("toggleMarkedTextVisible:", editorTextView() && editorTextView()->drawsMarkedText());
    state("toggleRuler:", textView() && textView()->isRulerVisible());
    updateSizingMenuItems(*menu);
}

bool OVDocumentWindowController::validateUserInterfaceItem(const UserInterfaceItem& item) const
{
    static const QStringList modeChanging{QStringLiteral("toggleStatus:"),   QStringLiteral("startPrompter:"),
                                          QStringLiteral("pausePrompter:"),  QStringLiteral("toggleMode:"),
                                          QStringLiteral("enterEditMode:"),  QStringLiteral("enterPromptMode:")};
    static const QStringList needsEditable{
        QStringLiteral("insertImagesFromOpenPanel:"),
        QStringLiteral("addBookmark:"),
        QStringLiteral("addQuickBookmark:"),
        QStringLiteral("removeBookmark:"),
        QStringLiteral("applyDefaultStyle:"),
        QStringLiteral("invertColors:"),
        QStringLiteral("documentIncreaseTextSize:"),
        QStringLiteral("documentDecreaseTextSize:"),
        QStringLiteral("toggleShowsPrompterInDocument:"),
        QStringLiteral("toggleShowsPrompterInAllDocuments:"),
        QStringLiteral("toggleLockWindowResizing:"),
        QStringLiteral("toggleLockAllWindowResizing:"),
        QStringLiteral("resizeDocumentPrompterContentForMenuItem:"),
        QStringLiteral("resizeAllDocumentPrompterContentForMenuItem:"),
        QStringLiteral("toggleMarkedTextVisible:")};
    const QString& action = item.action;
    const TextView* text = textView();
    const bool editable = text && text->isEditable();
    if (item.tag == OVDocumentWindowToolbar::kModeChangingTag || modeChanging.contains(action))
        return shouldEnableModeChangingControls();
    if (action == QLatin1String("saveWindowPosition:"))
        return true;
    if (action == QLatin1String("toggleQuickZoomContent:"))
        return m_core->isModeEdit() && editable;
    if (action == QLatin1String("toggleBlanking:"))
        return m_core->canBlankScreen();
    if (action == QLatin1String("markText:"))
        return m_core->isModePrompt();
    if (bool enabled = false; validateEditorAction(item, &enabled))
        return enabled;
    if (action == QLatin1String("resetElapsedTimer:"))
        return canResetElapsedTimer();
    if (needsEditable.contains(action))
        return editable;
    if (action.startsWith(QLatin1String("makeDocumentText")))
        return editable;
    if (action == QLatin1String("applyDefaultStyleWithoutBackground:") ||
        action == QLatin1String("setSelectionAsDefaultStyle:"))
        return text && text->isSelectable() && text->isRichText() && text->selectedRange().length > 0;
    return WindowController::validateUserInterfaceItem(item);
}

// Main-window tracking.

void OVDocumentWindowController::windowBecameMain()
{
    if (!m_core->isModePrompt())
        m_core->configureCoreForController(this);
}

void OVDocumentWindowController::windowResignedMain()
{
    if (!m_core->isModePrompt() && m_core->controller() == this)
        m_core->configureCoreForController(nullptr);
}

void OVDocumentWindowController::windowWillClose()
{
    if (m_core->controller() != this)
        return;
    // The prompted window going away ends Prompt mode first, so the core never keeps scrolling a
    // window that no longer exists; then the core lets go of this controller.
    if (m_core->isModePrompt())
        m_core->enterEditMode();
    m_core->configureCoreForController(nullptr);
}

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

// Exchange with the document.

void OVDocumentWindowController::suspendUndo()
{
    if (m_undoSuspensions++ != 0 || !textView())
        return;
    textView()->setAllowsUndo(false);
    m_suspendedUndoManager = textView()->undoManager();
    if (m_suspendedUndoManager)
        m_suspendedUndoManager->disableUndoRegistration();
}

void OVDocumentWindowController::restoreUndo()
{
    if (m_undoSuspensions == 0 || --m_undoSuspensions != 0 || !textView())
        return;
    if (m_suspendedUndoManager)
        m_suspendedUndoManager->enableUndoRegistration();
    m_suspendedUndoManager = nullptr;
    textView()->setAllowsUndo(true);
}

void OVDocumentWindowController::setAttributedString(const AttributedString& string)
{
    window();
    MutableAttributedString text(string);
    NSMutableAttributedStringOVBookmarkAdditions::prepareBookmarksForLoading(text);
    if (boolDefault(QStringLiteral("alwaysUseAutomaticWhitespacePadding"))) {
        const Range kept = NSStringHVAdditions::rangeOfTrimmedString(text.string());
        text.deleteCharacters(Range{kept.end(), text.length() - kept.end()});
        text.deleteCharacters(Range{0, kept.location});
    }
    TextStorage& storage = textView()->textStorage();
    storage.beginEditing();
    if (text.length() > 0)
        storage.setAttributedString(std::move(text));
    else
        storage.deleteCharacters(Range{0, storage.length()});
    storage.endEditing();
    if (storage.length() == 0)
        textView()->setTypingAttributes(
            OVSharedPreferencesAccess::defaultStyleAttributes().value_or(AttributeDictionary()));
    textView()->setSelectedRange(Range{0, 0});
}

void OVDocumentWindowController::setSelectedRangesStringArray(const QStringList& ranges)
{
    window();
    const qsizetype length = textView()->textStorage().length();
    const Range whole{0, length};
    std::vector<Range> selected;
    for (const QString& text : ranges) {
        const Range range = rangeFromString(text);
        // Checked without adding location and length, which a file can make overflow.
        if (range.isWithinLength(length))
            selected.push_back(range);
        else
            qWarning("range %s is not within document range %s", qUtf8Printable(text),
                     qUtf8Printable(stringFromRange(whole)));
    }
    if (selected.empty())
        selected.push_back(Range{0, 0});
    textView()->setSelectedRanges(selected);
}

void OVDocumentWindowController::setWindowFrame(const Rect& requested)
{
    if (!(requested.size.width > 0) || !(requested.size.height > 0))
        return;
    Window* own = window();
    Rect frame = requested;
    const Size minimum = own->minSize();
    const Size maximum = own->maxSize();
    frame.size.width = std::min(std::max(frame.size.width, minimum.width), maximum.width);
    frame.size.height = std::min(std::max(frame.size.height, minimum.height), maximum.height);
    // A frame saved on a display that is gone would open the window where nobody can reach it: it
    // goes to the middle of the primary screen. Nor is a window made larger than its screen.
    const std::optional<Screen> onScreen = Screen::screenForRect(frame);
    const std::optional<Screen> screen = onScreen ? onScreen : Screen::primaryScreen();
    if (screen) {
        const Rect area = screen->visibleFrame();
        frame.size.width = std::max(std::min(frame.size.width, area.size.width), minimum.width);
        frame.size.height = std::max(std::min(frame.size.height, area.size.height), minimum.height);
        if (!onScreen)
            frame.origin = {area.origin.x + (area.size.width - frame.size.width) / 2,
                            area.origin.y + (area.size.height - frame.size.height) / 2};
    }
    own->setFrame(frame, true);
}

void OVDocumentWindowController::setPrompterPositionRatio(double ratio)
{
    window();
    m_prompterView->setPositionRatio(ratio);
}

bool OVDocumentWindowController::setPrompterScrollbarAnchor(const OVScrollbarAnchor& anchor)
{
    window();
    // The text as loaded is the saved text, lines ending in "\n": its indexes are the anchor's.
    return m_prompterView->setLineAtTop(qsizetype(anchor.characterIndex), anchor.lineOffset);
}

void OVDocumentWindowController::setBackgroundColor(const Color& color)
{
    window();
    m_backgroundColor = color;
    textView()->setBackgroundColor(qColor(color));
}

void OVDocumentWindowController::removeUnnecessaryNewlineAtEnd()
{
    window();
    TextStorage& storage = textView()->textStorage();
    const qsizetype length = storage.length();
    if (length == 0 || !isNewline(storage.characterAtIndex(length - 1)))
        return;
    // A CR LF pair is one newline: taking its LF alone would leave a lone CR behind.
    const bool pair = length >= 2 && storage.characterAtIndex(length - 1) == u'\n' &&
                      storage.characterAtIndex(length - 2) == u'\r';
    const qsizetype count = pair ? 2 : 1;
    storage.deleteCharacters(Range{length - count, count});
}

void OVDocumentWindowController::documentLoadingFinished()
{
    // The scroller shows the restored position once the window has settled, on the next pass.
    RunLoop::main().performAfterDelay(0, this, QStringLiteral("documentLoadingFinished"), [this] {
        if (m_prompterView)
            m_prompterView->scrollView()->reflectScrolledClipView(
                m_prompterView->scrollView()->contentView());
    });
}

std::unique_ptr<MutableAttributedString> OVDocumentWindowController::coreTextViewTextStorage() const
{
    if (!textView())
        return nullptr;
    // While prompting, the text on screen may be scaled and inverted for the talent; the file gets
    // the script as written.
    const AttributedString* unadjusted = m_prompterView->unadjustedContent();
    auto copy =
        std::make_unique<MutableAttributedString>(unadjusted ? *unadjusted : textView()->textStorage());
    NSMutableAttributedStringOVBookmarkAdditions::recreateBookmarkAttachments(*copy);
    return copy;
}

std::unique_ptr<MutableAttributedString> OVDocumentWindowController::textViewTextStorage() const
{
    std::unique_ptr<MutableAttributedString> copy = coreTextViewTextStorage();
    if (!copy)
        return nullptr;
    if (NSStringHVAdditions::containsUnsupportedLineEndingStrings(copy->string()))
        NSMutableAttributedStringHVAdditions::unifyLineEndings(*copy);
    NSMutableAttributedStringOVBookmarkAdditions::prepareBookmarksForLoading(*copy);
    return copy;
}

std::unique_ptr<MutableAttributedString> OVDocumentWindowController::exportableTextStorage() const
{
    std::unique_ptr<MutableAttributedString> copy = textViewTextStorage();
    if (copy)
        NSMutableAttributedStringOVBookmarkAdditions::prepareBookmarksForSaving(*copy);
    return copy;
}

std::unique_ptr<MutableAttributedString> OVDocumentWindowController::exportableStyleSimplifiedStorage() const
{
    std::unique_ptr<MutableAttributedString> copy = exportableTextStorage();
    if (!copy)
        return nullptr;
    const UserDefaults& defaults = UserDefaults::shared();
    OVStyleSimplifiedStorage::simplify(*copy, defaults.doubleForKey(kPrintPanelMinimumSmallFontPointSizeKey),
                                       defaults.doubleForKey(kPrintPanelMaximumSmallFontPointSizeKey));
    return copy;
}

Color OVDocumentWindowController::styleSimplifiedBackgroundColor() const
{
    return NSColorHVAdditions::RGBWhiteColor();
}

std::optional<Color> OVDocumentWindowController::backgroundColor() const
{
    const TextView* text = textView();
    if (!text)
        return m_backgroundColor;
    // While prompting, the operator may see the colours inverted; the file gets the page as written.
    const QColor shown = m_prompterView->unadjustedContent() ? m_prompterView->unadjustedBackgroundColor()
                                                             : text->backgroundColor();
    // The colour as set keeps its exact components and space, as long as the view still shows it.
    if (m_backgroundColor && qColor(*m_backgroundColor) == shown)
        return m_backgroundColor;
    return Color::rgb(shown.redF(), shown.greenF(), shown.blueF(), shown.alphaF());
}

QStringList OVDocumentWindowController::selectedRangesStringArray() const
{
    QStringList strings;
    const TextView* text = textView();
    if (!text)
        return strings;
    std::vector<Range> ranges = text->selectedRanges();
    const QString& characters = text->textStorage().string();
    // The saved text ends its lines in "\n": the ranges count in that text.
    if (NSStringHVAdditions::containsUnsupportedLineEndingStrings(characters)) {
        MutableAttributedString unified(characters);
        NSMutableAttributedStringHVAdditions::unifyLineEndingsInRange(unified, Range{0, unified.length()},
                                                                      &ranges);
    }
    for (const Range& range : ranges)
        strings.append(stringFromRange(range));
    return strings;
}

std::optional<double> OVDocumentWindowController::prompterPositionRatioNumber() const
{
    if (!m_prompterView)
        return std::nullopt;
    return m_prompterView->positionRatio();
}

std::optional<OVScrollbarAnchor> OVDocumentWindowController::prompterScrollbarAnchor() const
{
    if (!m_prompterView)
        return std::nullopt;
    const auto line = m_prompterView->lineAtTop();
    if (!line)
        return std::nullopt;
    OVScrollbarAnchor anchor;
    anchor.characterIndex = line->first;
    anchor.lineOffset = line->second;
    // The saved text ends its lines in "\n": the index counts in that text.
    const QString& characters = textView()->textStorage().string();
    if (NSStringHVAdditions::containsUnsupportedLineEndingStrings(characters)) {
        MutableAttributedString unified(characters);
        std::vector<Range> ranges{Range{line->first, 0}};
        NSMutableAttributedStringHVAdditions::unifyLineEndingsInRange(unified, Range{0, unified.length()},
                                                                      &ranges);
        anchor.characterIndex = ranges.front().location;
    }
    return anchor;
}

std::optional<double> OVDocumentWindowController::prompterSpeedNumber() const
{
    return m_prompterSpeed;
}

std::optional<QString> OVDocumentWindowController::windowFrameString() const
{
    if (!isWindowLoaded())
        return std::nullopt;
    return stringFromRect(controllerWindow()->frame());
}

void OVDocumentWindowController::breakUndoCoalescing()
{
    if (TextView* text = textView())
        text->breakUndoCoalescing();
}

std::unique_ptr<OVTextView> OVDocumentWindowController::printableTextView()
{
    window();
    auto printable = std::make_unique<OVTextView>(textView()->frame());
    printable->setDisableContentNotifications(true);
    OVEnvironment::createTemporaryPromptModeEnvironmentWithPrompterContent(
        m_prompterView, Size{}, [&printable](Window&, OVPrompterView& temporary) {
            OVTextView* shown = temporary.prompterTextView();
            printable->setFrame(shown->frame());
            printable->setBackgroundColor(shown->backgroundColor());
            NSMutableAttributedStringOVBookmarkAdditions::removeAllBookmarks(shown->textStorage());
            printable->textStorage().setAttributedString(shown->textStorage());
        });
    return printable;
}

// Default style.

OVTextView* OVDocumentWindowController::editorTextView() const
{
    return dynamic_cast<OVTextView*>(textView());
}

void OVDocumentWindowController::applyDefaultStyle()
{
    window();
    if (OVTextView* text = editorTextView())
        text->applyDefaultStyle();
}

void OVDocumentWindowController::applyDefaultStyleWithoutUndo()
{
    window();
    OVTextView* text = editorTextView();
    if (!text)
        return;
    UndoManager* undo = text->undoManager();
    if (undo)
        undo->disableUndoRegistration();
    text->applyDefaultStyle();
    if (undo)
        undo->enableUndoRegistration();
}

void OVDocumentWindowController::applyDefaultStyleWithoutBackground()
{
    window();
    if (OVTextView* text = editorTextView())
        text->applyDefaultStyleWithoutBackground();
}

void OVDocumentWindowController::setSelectionAsDefaultStyle()
{
    window();
    TextView* text = textView();
    const Range selection = text->selectedRange();
    const TextStorage& storage = text->textStorage();
    const AttributeDictionary attributes =
        selection.length > 0 ? displayableAttributesInRange(storage, selection) : AttributeDictionary();
    if (selection.length == 0 ||
        !OVSharedPreferencesAccess::isDefaultStyleAttributeDictionaryValid(attributes)) {
        QApplication::beep();
        return;
    }
    const AttributedString sample(QStringLiteral("Indeed"), attributes);
    const QColor background = text->backgroundColor();
    OVSharedPreferencesAccess::setDefaultStyleData(OVSharedPreferencesAccess::styleDataFromAttributedString(
        &sample,
        Color::rgb(background.redF(), background.greenF(), background.blueF(), background.alphaF())));
}
