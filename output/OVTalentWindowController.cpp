#include "output/OVTalentWindowController.h"

#include "document/OVDocument.h"
#include "output/OVBoxView.h"
#include "output/OVScreen.h"
#include "output/OVTalentWindow.h"
#include "platform/appkit/AppKitNotifications.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/ClipView.h"
#include "platform/appkit/DocumentController.h"
#include "platform/appkit/GlobalCoordinates.h"
#include "platform/appkit/NSViewHVAdditions.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/WindowController.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/NSColorHVAdditions.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/ParagraphStyle.h"
#include "platform/textlayout/LayoutConversions.h"
#include "prompter_view/OVPrompterView.h"
#include "prompter_view/OVScrollView.h"
#include "prompter_view/OVTimeBar.h"
#include "prompter_view/OVViewDrawing.h"
#include "prompting/OVCore.h"
#include "prompting/OVCoreController.h"
#include "settings/OVSharedPreferencesAccess.h"
#include "text/NSAttributedStringOVBookmarkAdditions.h"
#include "text/NSMutableAttributedStringOVBookmarkAdditions.h"
#include "text/OVTextView.h"
#include "textutil/NSMutableAttributedStringOVColorInversion.h"

#include <QCursor>
#include <QEvent>
#include <QWidget>
#include <QWindow>
#include <QDebug>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {

const QString kFullCopySelector = QStringLiteral("_configureForTextView:");
const QString kRestoreBackgroundSelector = QStringLiteral("_restoreDefaultBackgroundColor");
const QString kDeferredContentInsetSelector = QStringLiteral("_deferredUpdateContentInsetFromNotification:");

OVTalentWindowController*& sharedInstance()
{
    static OVTalentWindowController* instance = nullptr;
    return instance;
}

bool boolDefault(const QString& key)
{
    return UserDefaults::shared().boolForKey(key);
}

// Text without a colour of its own counts as black, as the whole-text inversion treats it; only
// black, white and the greys swap.
void invertColorsInRange(MutableAttributedString& string, const Range& range)
{
    NSMutableAttributedStringOVBookmarkAdditions::blackenUncolouredText(string, range);
    NSMutableAttributedStringOVBookmarkAdditions::invertColorsIgnoringModifiersInRange(string, range);
}

void magnifyRange(MutableAttributedString& string, const Range& range, double factor)
{
    std::vector<std::pair<Range, Font>> fonts;
    string.enumerateAttribute(kFontAttributeName, range, 0,
                              [&](const AttributeValue& value, const Range& run, bool&) {
                                  if (const Font* font = value.font())
                                      fonts.emplace_back(run, font->withPointSize(font->pointSize * factor));
                              });
    for (const auto& [run, font] : fonts)
        string.addAttribute(kFontAttributeName, font, run);
}

// The highlight the platform draws for a selection on this background: the light blue on light
// backgrounds, a dark blue on dark ones, so the text stays readable either way.
QColor selectedTextBackgroundColorForBackgroundColor(const QColor& background)
{
    return background.lightnessF() < 0.5 ? QColor(0x3F, 0x63, 0x8B) : QColor(0xB3, 0xD7, 0xFF);
}

bool isNewline(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar(0x0085) || c == QChar(0x2028) || c == QChar(0x2029);
}

bool isRightToLeftAt(const TextStorage& storage, qsizetype index)
{
    const AttributeValue value = storage.attribute(kParagraphStyleAttributeName, index, nullptr);
    const ParagraphStyle* style = value.paragraphStyle();
    return style && style->baseWritingDirection == WritingDirection::RightToLeft;
}

// Atoms are invisible; where one starts a line it takes the font of the text beside it so the line
// keeps the height of its words. rightToLeft: every atom is fixed, as in a text that runs right to
// left; otherwise the atoms of right-to-left paragraphs, and those that begin the text or a line.
void fixAtomFonts(TextStorage& storage, bool rightToLeft)
{
    const std::optional<std::vector<Range>> atoms = NSAttributedStringOVBookmarkAdditions::atomCharacterRanges(storage);
    if (!atoms)
        return;
    const QString& text = storage.string();
    for (const Range& atom : *atoms) {
        if (atom.length < 2)
            continue;
        if (!rightToLeft && atom.location != 0 && !isNewline(text.at(atom.location - 1)) &&
            !isRightToLeftAt(storage, atom.location))
            continue;
        const qsizetype neighbour = atom.location + atom.length < storage.length() ? atom.location + atom.length
                                    : atom.location > 0                            ? atom.location - 1
                                                                                   : -1;
        if (neighbour < 0)
            continue;
        const AttributeValue font = storage.attribute(kFontAttributeName, neighbour, nullptr);
        if (font.font())
            storage.addAttribute(kFontAttributeName, font, atom);
    }
}

} // namespace

OVTalentWindowController& OVTalentWindowController::sharedTalentWindowController()
{
    // Never freed, like the core: its window must not outlive the Qt application at exit.
    static auto* instance = new OVTalentWindowController(OVCore::sharedCore());
    return *instance;
}

bool OVTalentWindowController::sharedTalentWindowControllerExists()
{
    return sharedInstance() != nullptr;
}

bool OVTalentWindowController::isTalentWindowUtilized()
{
    const OVTalentWindowController* instance = sharedInstance();
    return instance && instance->m_window->isVisible();
}

OVTalentWindowController::OVTalentWindowController(OVCore& core) : m_core(core)
{
    const std::optional<Screen> talent = OVScreen::talentScreen();
    Rect frame{{0, 0}, {1, 1}};
    if (talent && !talent->frame().isEmpty())
        frame = talent->frame();
    m_window = std::make_unique<OVTalentWindow>(frame);
    auto prompter = std::make_unique<OVPrompterView>(Rect{{0, 0}, frame.size});
    prompter->setAutoresizingMask(View::WidthSizable | View::HeightSizable);
    m_prompterView = prompter.get();
    m_window->contentView()->addSubview(std::move(prompter));
    disableAnimation();
    m_prompterView->configureForPreviewOrTalent();
    // Its text container's width around animations is kept here, with the preview's.
    m_prompterView->setKeepsTextContainerWidthDuringArrowAnimation(false);
    talentTextStorage().deleteCharacters({0, talentTextStorage().length()});

    const bool adjustments = boolDefault(QStringLiteral("enableTalentContentAdjustments"));
    if (adjustments) {
        m_contentInvert = m_lastContentInvert = boolDefault(QStringLiteral("contentInvertTextAndBackgroundColor"));
        if (m_contentInvert)
            m_prompterView->invertColors();
        m_contentTextMagnificationFactor = m_lastContentTextMagnificationFactor = adjustedFactor();
    }
    m_prompterView->setUsesAnimation(false);
    m_prompterView->setTracksVerticalInset(false);
    textView()->setAllowsUndo(false);

    if (!sharedInstance())
        sharedInstance() = this;
    observeNotifications();
    m_core._updateDualScreenStatusIfNecessary();
    _updateTalentWindowSettings();
    _updateBoxColors();
    updateContentInset();
    RunLoop::main().performAfterDelay(0, this, QStringLiteral("beginInitialDocumentWatching"),
                                      [this] { beginInitialDocumentWatching(); });
    enableAnimation();
    m_core.setTalentWindowController(this);
}

OVTalentWindowController::~OVTalentWindowController()
{
    delete m_firstFrameWatcher;
    if (m_core.talentWindowController() == this)
        m_core.setTalentWindowController(nullptr);
    RunLoop::main().cancelPreviousPerformRequests(this);
    UserDefaults::shared().removeObserver(m_toolbarStateObserver);
    m_observers.clear();
    m_documentObservers.clear();
    if (sharedInstance() == this)
        sharedInstance() = nullptr;
}

OVScrollView* OVTalentWindowController::scrollView() const
{
    return m_prompterView->prompterScrollView();
}

OVTextView* OVTalentWindowController::textView() const
{
    return m_prompterView->prompterTextView();
}

TextStorage& OVTalentWindowController::talentTextStorage() const
{
    return textView()->textStorage();
}

bool OVTalentWindowController::isTalentWindowInUse() const
{
    return m_window->isVisible();
}

OVCorePrompterView* OVTalentWindowController::talentPrompterView() const
{
    return m_prompterView;
}

Window* OVTalentWindowController::talentWindow() const
{
    return m_window.get();
}

double OVTalentWindowController::adjustedFactor() const
{
    // Every scaling rule assumes magnification only enlarges; a stored factor below 1 (or not a
    // number) would make them disagree about what the copy holds.
    const double factor = UserDefaults::shared().doubleForKey(QStringLiteral("contentTextMagnificationFactor"));
    return std::isfinite(factor) ? std::max(1.0, factor) : 1.0;
}

bool OVTalentWindowController::tracksEdits() const
{
    return m_trackingOverride || boolDefault(QStringLiteral("enableTalentScreenTracksEdits"));
}

void OVTalentWindowController::observeNotifications()
{
    NotificationCenter& center = NotificationCenter::shared();
    m_observers.emplace_back(center, OVDocumentControllerDidChangeFrontMostDocumentNotification, nullptr,
                             [this](const Notification& n) { frontMostDocumentDidChange(n); });
    m_observers.emplace_back(center, kTextStorageDidProcessEditingNotification, nullptr,
                             [this](const Notification& n) {
                                 if (m_documentTextStorage && n.object == m_documentTextStorage.get())
                                     replayEdit(*m_documentTextStorage);
                             });
    m_observers.emplace_back(center, kTextViewDidChangeSelectionNotification, nullptr,
                             [this](const Notification& n) {
                                 if (m_documentTextView && n.object == m_documentTextView)
                                     documentSelectionDidChange();
                             });
    m_observers.emplace_back(center, OVTextViewDidChangeBackgroundColorNotification, nullptr,
                             [this](const Notification& n) {
                                 if (m_documentTextView && n.object == m_documentTextView)
                                     documentBackgroundDidChange();
                                 else if (n.object == textView())
                                     _updateBoxColors();
                             });
    m_observers.emplace_back(center, OVTextViewDidChangeAllowsHighlightColorPassthroughNotification, nullptr,
                             [this](const Notification& n) {
                                 if (m_documentTextView && n.object == m_documentTextView)
                                     _updateSelectionColor(selectedTextBackgroundColorForBackgroundColor(
                                                               textView()->backgroundColor()),
                                                           {});
                             });
    // A text-size change kept the document's shown text in view: the outputs show it too.
    m_observers.emplace_back(
        center, OVTextViewDidScrollForTextSizeChangeNotification, nullptr, [this](const Notification& n) {
            const bool fromDocument = m_documentTextView && n.object == m_documentTextView;
            if (!fromDocument || !tracksEdits() || !m_previewPrompterView)
                return;
            const QVariantList shown = n.userInfo.value(OVTextViewDisplayRange).toList();
            if (shown.size() != 2 || shown[0].toLongLong() == kNotFound)
                return;
            const Range range = Range{shown[0].toLongLong(), shown[1].toLongLong()}.intersection(
                {0, talentTextStorage().length()});
            if (range.isEmpty())
                return;
            m_previewPrompterView->prompterTextView()->scrollRangeToVisible(range);
            m_core.synchronizeTalentLocationToPreviewLocation();
        });
    // While the talent's arrow or time bar slides in or out (the preview's go with it), both outputs
    // keep their text's line breaks; once over, each takes its view's width and is laid out again.
    m_observers.emplace_back(center, kViewDidBeginAnimationNotification, nullptr, [this](const Notification&) {
        if (m_prompterView->isAnimating())
            setTextContainerWidthTracksTextView(false);
    });
    m_observers.emplace_back(center, kViewDidEndAnimationNotification, nullptr,
                             [this](const Notification&) { _restoreTextContainerWidthAfterAnimation(); });
    m_observers.emplace_back(center, OVPreferencesGeneralDidChangeSecondDisplayTracksEditsNotification, nullptr,
                             [this](const Notification&) { trackingDidChange(); });
    m_observers.emplace_back(center, OVCoreDidChangeDualScreenConfigurationNotification, nullptr,
                             [this](const Notification&) { _updateTalentWindowSettings(); });
    m_observers.emplace_back(center, OVCoreBlankingDidChangeNotification, nullptr,
                             [this](const Notification&) { _updateBoxColors(); });
    // The preview lays out in the background while editing only: prompting, every pass is the tick's.
    m_observers.emplace_back(center, OVCoreWillChangeModeNotification, nullptr, [this](const Notification&) {
        if (m_previewPrompterView)
            m_previewPrompterView->prompterTextView()->layoutManager()->setBackgroundLayoutEnabled(
                m_core.isModePrompt());
    });
    m_observers.emplace_back(center, OVCoreDidChangeModeNotification, nullptr, [this](const Notification&) {
        if (m_core.isModeEdit())
            m_window->contentView()->setNeedsDisplay(true);
    });
    m_observers.emplace_back(
        center, OVPreferencesGeneralDidChangeDefaultStyleNotification, nullptr,
        [this](const Notification&) { restoreDefaultBackgroundColorIfNoScriptIsOpen(); });
    m_observers.emplace_back(center, kApplicationDidChangeScreenParametersNotification, nullptr,
                             [this](const Notification&) {
                                 _updateTalentWindowFrameIfNecessary();
                                 updateContentInset();
                             });
    // Whether the operator's window shows its toolbar while prompting, and how tall it is, moves
    // the operator's reading line: the talent's follows.
    m_toolbarStateObserver = UserDefaults::shared().addObserver(
        kPromptModeToolbarStateKey, [this](const QString&) { updateContentInset(); });
    m_observers.emplace_back(center, kWindowDidResizeNotification, nullptr, [this](const Notification& n) {
        // Prompt mode sizes the operator's window itself; the inset was settled before it began.
        if (!m_core.isModeEdit())
            return;
        const auto& windows = Application::shared().windows();
        const auto found = std::find(windows.begin(), windows.end(), n.object);
        Window* window = found != windows.end() ? *found : nullptr;
        if (!window || !dynamic_cast<OVCoreController*>(window->windowController()) ||
            !(window->isKeyWindow() || window->isMainWindow()))
            return;
        RunLoop::main().cancelPreviousPerformRequests(this, kDeferredContentInsetSelector);
        RunLoop::main().performAfterDelay(0, this, kDeferredContentInsetSelector,
                                          [this] { updateContentInset(); });
    });
    m_observers.emplace_back(center, kWindowDidChangeScreenNotification, nullptr, [this](const Notification& n) {
        Window* window = nullptr;
        for (Window* candidate : Application::shared().windows()) {
            if (candidate == n.object)
                window = candidate;
        }
        if (!window || window == m_window.get() || !(window->styleMask() & Window::Titled) || !window->isMovable())
            return;
        const QString selector = QStringLiteral("_moveWindowAwayFromTalentScreen:%1").arg(quintptr(window));
        RunLoop::main().cancelPreviousPerformRequests(this, selector);
        RunLoop::main().performAfterDelay(0, this, selector, [this, window] {
            const auto& windows = Application::shared().windows();
            if (std::find(windows.begin(), windows.end(), window) != windows.end())
                _moveWindowAwayFromTalentScreen(window);
        });
    });
}

void OVTalentWindowController::beginInitialDocumentWatching()
{
    if (isDocumentWatching() || m_didBeginInitialWatching)
        return;
    m_didBeginInitialWatching = true;
    m_documentWatchCount = 0;
    updateContent();
    m_core.autoBlankToHideEditsIfNecessary();
}

void OVTalentWindowController::setFrontMostDocumentProvider(std::function<const void*()> provider)
{
    m_frontMostDocumentProvider = std::move(provider);
}

void OVTalentWindowController::updateContent()
{
    const void* document = nullptr;
    if (m_frontMostDocumentProvider)
        document = m_frontMostDocumentProvider();
    else if (OVDocumentController::sharedControllerExists())
        document = static_cast<const Document*>(OVDocumentController::shared().frontMostDocument());
    frontMostDocumentDidChange({OVDocumentControllerDidChangeFrontMostDocumentNotification, document, {}});
}

void OVTalentWindowController::frontMostDocumentDidChange(const Notification& notification)
{
    if (!isDocumentWatching())
        return;
    // The poster's contract: the object is the front document, a Document.
    const auto* document = static_cast<const Document*>(notification.object);
    const auto* script = dynamic_cast<const OVDocument*>(document);
    const bool lastScriptLeft =
        !document && notification.userInfo.value(OVDocumentControllerPreviousFrontMostDocumentClassNameKey)
                             .toString() == QLatin1String("OVDocument");
    if (!script && !lastScriptLeft && document)
        return;
    OVTextView* watched = nullptr;
    OVTimeInfo* timeInfo = nullptr;
    if (script) {
        for (WindowController* controller : script->windowControllers()) {
            auto* coreController = dynamic_cast<OVCoreController*>(controller);
            if (!coreController || !coreController->prompterView())
                continue;
            watched = dynamic_cast<OVTextView*>(coreController->prompterView()->textView());
            timeInfo = coreController->timeInfo();
            break;
        }
    }
    // The talent's and the preview's time bars count with the front script's.
    _setTimeInfo(timeInfo);
    _setDocumentTextView(watched);
    updateContentInset();
    RunLoop::main().cancelPreviousPerformRequests(this, kRestoreBackgroundSelector);
    if (!document) {
        RunLoop::main().performAfterDelay(0, this, kRestoreBackgroundSelector,
                                          [this] { restoreDefaultBackgroundColorIfNoScriptIsOpen(); });
    }
}

void OVTalentWindowController::restoreDefaultBackgroundColorIfNoScriptIsOpen()
{
    for (Document* document : DocumentController::shared().documents()) {
        for (WindowController* controller : document->windowControllers()) {
            if (dynamic_cast<OVCoreController*>(controller))
                return;
        }
    }
    const std::optional<AttributeDictionary> style =
        OVSharedPreferencesAccess::defaultStyleAttributesWithDocumentAttributes();
    const AttributeValue* value = style ? style->find(NSBackgroundColorDocumentAttribute) : nullptr;
    if (!value || !value->color())
        return;
    const QColor background = textlayout::qtColor(*value->color());
    std::vector<TextView*> views{textView()};
    if (m_previewPrompterView)
        views.push_back(m_previewPrompterView->prompterTextView());
    for (TextView* view : views) {
        if (view->backgroundColor() != background)
            view->setBackgroundColor(background);
    }
}

void OVTalentWindowController::_setDocumentTextView(OVTextView* view)
{
    if (view == m_documentTextView)
        return;
    m_documentTextView = view;
    m_documentTextStorage = view ? view->layoutManager()->textStorage() : nullptr;
    delete m_firstFrameWatcher;
    if (!_copyAfterFirstFrame(view))
        _configureForTextView(view);
}

namespace {

// Below this many characters a script is copied at once: copying and laying out the copy takes a
// few milliseconds.
constexpr qsizetype kLongestScriptCopiedBeforeItsFirstFrame = 1 << 16;
// A window that is shown but never drawn (on a workspace nobody looks at) does not hold the copy
// back for longer than this.
constexpr double kLongestWaitForFirstFrame = 1.0;

// Calls back when its window is exposed: the window draws that frame as the expose is handled, so
// work the callback puts on the run loop comes after the frame.
class FirstFrameWatcher final : public QObject {
public:
    FirstFrameWatcher(QWindow* window, std::function<void()> drawn)
        : QObject(window), m_drawn(std::move(drawn))
    {
        window->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed() && m_drawn) {
            std::exchange(m_drawn, {})();
            deleteLater();
        }
        return false;
    }

private:
    std::function<void()> m_drawn;
};

} // namespace

bool OVTalentWindowController::_copyAfterFirstFrame(OVTextView* view)
{
    if (!view || view->textStorage().length() <= kLongestScriptCopiedBeforeItsFirstFrame)
        return false;
    Window* shown = view->window();
    QWidget* host = shown ? shown->hostWidget() : nullptr;
    QWindow* handle = host ? host->windowHandle() : nullptr;
    if (!handle || !handle->isVisible() || handle->isExposed())
        return false;
    // The talent and the preview, where they show, show the script a frame later than its window.
    // Until the copy, the talent storage holds what it held: an edit replayed on it is found not to
    // fit and asks for the same copy (scheduleRepairingCopy).
    RunLoop::main().cancelPreviousPerformRequests(this, kFullCopySelector);
    const auto copy = [this] { _configureForTextView(m_documentTextView); };
    RunLoop::main().performAfterDelay(kLongestWaitForFirstFrame, this, kFullCopySelector, copy);
    m_firstFrameWatcher = new FirstFrameWatcher(handle, [this, copy] {
        RunLoop::main().cancelPreviousPerformRequests(this, kFullCopySelector);
        RunLoop::main().performAfterDelay(0, this, kFullCopySelector, copy);
    });
    return true;
}

void OVTalentWindowController::_configureForTextView(OVTextView* view)
{
    RunLoop::main().cancelPreviousPerformRequests(this, kFullCopySelector);
    TextStorage& talent = talentTextStorage();
    if (!view) {
        talent.setAttributedString(AttributedString());
        return;
    }
    // The atoms go in before the copy reaches the talent storage: replaced there, each bookmark
    // would be an edit of a laid-out text, and a long script would be laid out twice.
    MutableAttributedString copy(view->textStorage());
    NSMutableAttributedStringOVBookmarkAdditions::replaceBookmarksWithAtoms(copy);
    talent.setAttributedString(std::move(copy));
    if (textView()->backgroundColor() != view->backgroundColor())
        textView()->setBackgroundColor(view->backgroundColor());
    if (m_previewPrompterView && m_previewPrompterView->prompterTextView()->backgroundColor() != view->backgroundColor())
        m_previewPrompterView->prompterTextView()->setBackgroundColor(view->backgroundColor());
    if (boolDefault(QStringLiteral("enableTalentContentAdjustments"))) {
        if (m_contentInvert) {
            m_prompterView->invertColors();
            if (m_previewPrompterView)
                m_previewPrompterView->prompterTextView()->setBackgroundColor(textView()->backgroundColor());
        }
        if (m_contentTextMagnificationFactor > 1.0)
            m_prompterView->adjustTextSizeByFactor(m_contentTextMagnificationFactor);
    }
    // A shorter script than the last one shown: the talent's origin comes back inside it, and the
    // preview to the talent, instead of both showing the page past its end. The rest of the copy is
    // laid out in the background, so bringing a long script to front does not wait for it.
    if (ClipView* clip = m_prompterView->prompterScrollView()->contentView()) {
        clip->scrollToPoint(clip->bounds().origin);
        scrollView()->reflectScrolledClipView(clip);
    }
    _selectRanges(view->selectedRanges(), true);
    if (m_core.isModeEdit())
        m_core._synchronizePreviewLocationToTalentLocation(true);
}

void OVTalentWindowController::scheduleRepairingCopy(const QString& reason)
{
    if (boolDefault(QStringLiteral("logTrackedIssues")))
        qWarning().noquote() << QStringLiteral("OVTalentWindowController: %1; copying the script again").arg(reason);
    RunLoop::main().cancelPreviousPerformRequests(this, kFullCopySelector);
    RunLoop::main().performAfterDelay(0, this, kFullCopySelector, [this] { _configureForTextView(m_documentTextView); });
}

void OVTalentWindowController::replayEdit(TextStorage& storage)
{
    if (m_documentTextView->disableContentNotifications())
        return;
    const unsigned mask = storage.editedMask();
    if (!(mask & (TextStorageEditedAttributes | TextStorageEditedCharacters)))
        return;
    // The document view's edit diagnostics, which hear what the replay did with the edit.
    OVTextTransactionLogging* logger = boolDefault(QStringLiteral("logTrackedIssues"))
                                           ? m_documentTextView->textTransactionLogger()
                                           : nullptr;
    m_replayLogger = logger;
    if (logger) {
        logger->logDocumentCount();
        logger->logBackgroundLayoutForDocumentTextView(*m_documentTextView);
        logger->logBackgroundLayoutForTalentTextView(*textView());
        logger->logOpeningSecondaryTextStorageLength(talentTextStorage().length());
    }
    const bool tracking = tracksEdits();
    bool forcedSync = false;
    if (tracking) {
        const Range edited = storage.editedRange();
        const qsizetype length = talentTextStorage().length();
        const qsizetype location = std::min(edited.location, length);
        textView()->scrollRangeToVisible({location, std::min(edited.length, length - location)});
    } else {
        forcedSync = m_prompterView->isVerticallyFlipped() && m_core.isModeEdit();
        m_core.syncScrolling().disable();
        m_prompterView->setPreventScrolling(true);
        if (m_previewPrompterView)
            m_previewPrompterView->setPreventScrolling(true);
    }
    try {
        replayEditInBracket(storage, forcedSync);
    } catch (const std::exception& error) {
        if (logger)
            logger->logException(error);
        scheduleRepairingCopy(QStringLiteral("replay failed: %1").arg(QString::fromUtf8(error.what())));
    } catch (...) {
        if (logger)
            logger->logException(std::runtime_error("unknown exception"));
        scheduleRepairingCopy(QStringLiteral("replay failed"));
    }
    m_replayLogger = nullptr;
    if (logger)
        logger->logClosingSecondaryTextStorageLength(talentTextStorage().length());
    if (talentTextStorage().length() != storage.length()) {
        if (logger)
            logger->logCriticalProblem(QStringLiteral("TextStorage lengths are not equal"));
        scheduleRepairingCopy(QStringLiteral("TextStorage lengths are not equal"));
    }
    if (logger)
        logger->closeLog();
    if ((mask & TextStorageEditedAttributes) && !(mask & TextStorageEditedCharacters))
        _selectRanges(m_documentTextView->selectedRanges(), true);
    if (!tracking) {
        m_core.syncScrolling().enable();
        m_prompterView->setPreventScrolling(false);
        if (m_previewPrompterView)
            m_previewPrompterView->setPreventScrolling(false);
        // Upside down the talent's origin counts from the script's end, which the edit moved.
        if (forcedSync)
            m_core.noTrackFixSynchronizeTalentLocationToPreviewLocationAndForceSync(true);
    }
}

void OVTalentWindowController::replayEditInBracket(TextStorage& storage, bool& forcedSync)
{
    Q_UNUSED(forcedSync);
    TextStorage& talent = talentTextStorage();
    const qsizetype location = storage.editedRange().location;
    const qsizetype length = storage.editedRange().length;
    const qsizetype delta = storage.changeInLength();
    // Old characters still in the copy: what the replacement took away (length - delta).
    const qsizetype replaced = length - delta;
    if (location < 0 || replaced < 0 || location + replaced > talent.length() ||
        location + length > storage.length())
        throw std::out_of_range("edited range outside the talent storage");
    talent.beginEditing();
    // However the replay ends, the copy leaves its editing bracket, so its observers and layout run.
    struct Bracket {
        TextStorage& storage;
        ~Bracket() { storage.endEditing(); }
    } bracket{talent};
    OVTextTransactionLogging* logger = m_replayLogger;
    const auto breadcrumb = [logger](const char* step) {
        if (logger)
            logger->logBreadcrumb(QString::fromLatin1(step));
    };
    if (length > 0) {
        if (logger)
            logger->logActionInsert();
        talent.insert(storage.attributedSubstring({location, length}), location);
        const Range inserted{location, length};
        if (NSAttributedStringOVBookmarkAdditions::containsBookmarkAttachmentInRange(talent, inserted)) {
            breadcrumb("strip bookmarks");
            NSMutableAttributedStringOVBookmarkAdditions::replaceBookmarksWithAtomsInRange(talent, inserted);
        }
        if (m_contentInvert) {
            breadcrumb("invert colors");
            invertColorsInRange(talent, inserted);
        }
        if (m_contentTextMagnificationFactor > 1.0) {
            breadcrumb("magnify");
            magnifyRange(talent, inserted, m_contentTextMagnificationFactor);
        }
    }
    if (replaced > 0) {
        if (logger)
            logger->logActionDelete();
        talent.deleteCharacters({location + length, replaced});
    }
    // An atom beside the edit changes too: a line break typed before it makes it begin a line.
    const qsizetype from = std::max<qsizetype>(0, location - 1);
    const qsizetype to = std::min(talent.length(), location + length + 1);
    if (to > from &&
        NSAttributedStringOVBookmarkAdditions::containsAtomAttachmentInRange(talent, {from, to - from}))
        fixAtomFonts(talent, false);
}

void OVTalentWindowController::_selectRanges(std::vector<Range> ranges, bool scroll)
{
    if (!tracksEdits())
        return;
    if (ranges.empty())
        ranges.push_back({0, 0});
    if (scroll) {
        if (isTalentWindowInUse())
            textView()->scrollRangeToVisible(ranges.front());
        else if (m_previewPrompterView)
            m_previewPrompterView->prompterTextView()->scrollRangeToVisible(ranges.front());
    }
    _updateSelectionColor(selectedTextBackgroundColorForBackgroundColor(textView()->backgroundColor()), ranges);
}

void OVTalentWindowController::_updateSelectionColor(const std::optional<QColor>& color,
                                                     const std::vector<Range>& ranges)
{
    std::vector<LayoutManager*> managers{textView()->layoutManager().get()};
    if (m_previewPrompterView && m_previewPrompterView->prompterTextView()->layoutManager() != textView()->layoutManager())
        managers.push_back(m_previewPrompterView->prompterTextView()->layoutManager().get());
    const qsizetype length = talentTextStorage().length();
    for (LayoutManager* manager : managers)
        manager->removeTemporaryAttribute(kTemporaryBackgroundColorAttributeName, {0, length});
    if (!color || !m_documentTextView || m_documentTextView->allowsHighlightColorPassthrough())
        return;
    const Color highlight = Color::rgb(color->redF(), color->greenF(), color->blueF(), color->alphaF());
    const std::vector<Range>& chosen = ranges.empty() ? m_documentTextView->selectedRanges() : ranges;
    for (const Range& range : chosen) {
        const Range clipped = range.intersection({0, length});
        if (clipped.length == 0)
            continue;
        for (LayoutManager* manager : managers)
            manager->addTemporaryAttribute(kTemporaryBackgroundColorAttributeName, highlight, clipped);
    }
}

void OVTalentWindowController::documentSelectionDidChange()
{
    bool scroll = !m_core.isModeChanging();
    const std::vector<Range>& selected = m_documentTextView->selectedRanges();
    if (scroll) {
        Rect bounds = scrollView()->contentView()->bounds();
        const double band = bounds.size.height * kSelectionVisibilityBand;
        bounds.origin.y += band;
        bounds.size.height -= 2 * band;
        const Range visible = textView()->layoutManager()->characterRangeForBounds(bounds);
        for (const Range& range : selected) {
            if (range.intersection(visible).length > 0 || (range.length == 0 && visible.contains(range.location)))
                scroll = false;
        }
    }
    _selectRanges(selected, scroll);
}

void OVTalentWindowController::trackingDidChange()
{
    if (!m_documentTextView)
        return;
    const bool on = boolDefault(QStringLiteral("enableTalentScreenTracksEdits"));
    m_trackingOverride = true;
    _selectRanges(on ? m_documentTextView->selectedRanges() : std::vector<Range>{{0, 0}}, false);
    m_trackingOverride = false;
}

void OVTalentWindowController::documentBackgroundDidChange()
{
    QColor color = m_documentTextView->backgroundColor();
    // A coloured page keeps its colour, as the inverted copy's coloured words do.
    if (m_contentInvert && NSColorHVAdditions::isGrayscale(
                               Color::rgb(color.redF(), color.greenF(), color.blueF(), color.alphaF())))
        color = OVViewDrawing::inverseColor(color);
    if (textView()->backgroundColor() != color)
        textView()->setBackgroundColor(color);
    if (m_previewPrompterView && m_previewPrompterView->prompterTextView()->backgroundColor() != color)
        m_previewPrompterView->prompterTextView()->setBackgroundColor(color);
    _updateBoxColors();
}

void OVTalentWindowController::setPreviewPrompterView(OVPrompterView* previewPrompterView,
                                                      OVBoxView* previewBoxView)
{
    m_previewBoxView = previewPrompterView ? previewBoxView : nullptr;
    if (previewPrompterView == m_previewPrompterView) {
        _updateBoxColors();
        return;
    }
    m_previewObservers.clear();
    if (m_previewPrompterView)
        m_previewPrompterView->setKeepsTextContainerWidthDuringArrowAnimation(true);
    if (m_previewPrompterView && m_previewOwnLayoutManager) {
        // A view handed back gets its own layout again, of an empty text like any view set free.
        m_previewPrompterView->prompterTextView()->setLayoutManager(m_previewOwnLayoutManager);
    }
    m_previewOwnLayoutManager.reset();
    m_previewPrompterView = previewPrompterView;
    if (!previewPrompterView)
        return;
    previewPrompterView->configureForPreviewOrTalent();
    previewPrompterView->setKeepsTextContainerWidthDuringArrowAnimation(false);
    TextView* preview = previewPrompterView->prompterTextView();
    m_previewOwnLayoutManager = preview->layoutManager();
    NotificationCenter& center = NotificationCenter::shared();
    for (TextView* view : {static_cast<TextView*>(textView()), preview}) {
        view->setPostsFrameChangedNotifications(true);
        m_previewObservers.emplace_back(center, kViewFrameDidChangeNotification, view,
                                        [this](const Notification&) { _updatePreviewLayoutSharing(); });
    }
    _updatePreviewLayoutSharing();
    _updateBoxColors();
    previewPrompterView->timeBar()->setTimeInfo(m_prompterView->timeBar()->timeInfo());
}

void OVTalentWindowController::_setTimeInfo(OVTimeInfo* timeInfo)
{
    m_prompterView->timeBar()->setTimeInfo(timeInfo);
    if (m_previewPrompterView)
        m_previewPrompterView->timeBar()->setTimeInfo(timeInfo);
}

void OVTalentWindowController::_updatePreviewLayoutSharing()
{
    if (!m_previewPrompterView || !m_previewOwnLayoutManager)
        return;
    TextView* talent = textView();
    TextView* preview = m_previewPrompterView->prompterTextView();
    const bool alike = talent->frame().size.width == preview->frame().size.width &&
                       talent->textContainerInset() == preview->textContainerInset();
    const std::shared_ptr<LayoutManager>& wanted = alike ? talent->layoutManager() : m_previewOwnLayoutManager;
    const std::shared_ptr<TextStorage>& storage = talent->layoutManager()->textStorage();
    // The preview's own layout manager only follows the talent storage while it is in use: one
    // left observing it would lay out every edit for nobody.
    if (!alike && m_previewOwnLayoutManager->textStorage() != storage)
        m_previewOwnLayoutManager->replaceTextStorage(storage);
    if (preview->layoutManager() != wanted)
        preview->setLayoutManager(wanted);
    if (alike && m_previewOwnLayoutManager->textStorage() == storage)
        m_previewOwnLayoutManager->replaceTextStorage(std::make_shared<TextStorage>());
}

QColor OVTalentWindowController::contentBackgroundColor() const
{
    return textView()->backgroundColor();
}

void OVTalentWindowController::debugLog() const
{
    qDebug().noquote() << QStringLiteral("%1 _documentTextView:  %2")
                              .arg(QStringLiteral("OVTalentWindowController"))
                              .arg(quintptr(m_documentTextView), 0, 16);
    qDebug().noquote() << QStringLiteral("%1 _documentTextStorage:  %2")
                              .arg(QStringLiteral("OVTalentWindowController"))
                              .arg(quintptr(m_documentTextStorage.get()), 0, 16);
}

void OVTalentWindowController::updateContentTextMagnificationFactor(double factor)
{
    factor = std::isfinite(factor) ? std::max(1.0, factor) : 1.0;
    if (factor == m_contentTextMagnificationFactor)
        return;
    m_contentTextMagnificationFactor = factor;
    const double ratio = factor / m_lastContentTextMagnificationFactor;
    if (std::abs(ratio - 1.0) < kMagnificationRatioThreshold)
        return;
    const PreviewShownLine shown = previewShownLine();
    m_prompterView->adjustTextSizeByFactor(ratio);
    m_lastContentTextMagnificationFactor = factor;
    // Scaled, the text is as tall as it is only once laid out: before that the views would agree
    // on an origin in a script of the old height.
    textView()->layoutManager()->ensureLayoutForTextContainer();
    if (m_previewPrompterView)
        m_previewPrompterView->prompterTextView()->layoutManager()->ensureLayoutForTextContainer();
    // While prompting the operator's view leads and must not jump. In Edit mode the preview keeps
    // the line it showed, and the talent (upside down or not) comes to it.
    if (m_core.isModePrompt()) {
        m_core._synchronizeTalentLocationToOperatorLocation(true);
    } else {
        restorePreviewShownLine(shown);
        m_core.noTrackFixSynchronizeTalentLocationToPreviewLocationAndForceSync(true);
    }
}

OVTalentWindowController::PreviewShownLine OVTalentWindowController::previewShownLine() const
{
    if (!m_previewPrompterView)
        return {};
    OVTextView* preview = m_previewPrompterView->prompterTextView();
    auto* clip = dynamic_cast<ClipView*>(preview->superview());
    if (!clip || preview->textStorage().length() == 0)
        return {};
    const Point origin = preview->textContainerOrigin();
    const Point top = preview->convertPointFromView(clip->bounds().origin, clip);
    const qsizetype character = preview->layoutManager()->characterIndexForPoint({0, top.y - origin.y});
    if (character < 0 || character >= preview->textStorage().length())
        return {};
    const Rect line = preview->layoutManager()->lineFragmentRectForGlyphAtIndex(character);
    return {character, top.y - (line.origin.y + origin.y), line.size.height};
}

void OVTalentWindowController::restorePreviewShownLine(const PreviewShownLine& shown)
{
    if (!m_previewPrompterView || shown.character < 0 ||
        shown.character >= m_previewPrompterView->prompterTextView()->textStorage().length())
        return;
    OVTextView* preview = m_previewPrompterView->prompterTextView();
    auto* clip = dynamic_cast<ClipView*>(preview->superview());
    if (!clip)
        return;
    const Rect line = preview->layoutManager()->lineFragmentRectForGlyphAtIndex(shown.character);
    // The part of the line above the view's top scales with the line.
    const double into = shown.lineHeight > 0 ? shown.offset * line.size.height / shown.lineHeight : 0;
    const Point top{0, line.origin.y + preview->textContainerOrigin().y + into};
    const Point target = preview->convertPointToView(top, clip);
    clip->scrollToPoint({clip->bounds().origin.x, target.y});
    if (ScrollView* scroll = m_previewPrompterView->prompterScrollView())
        scroll->reflectScrolledClipView(clip);
}

void OVTalentWindowController::updateContentInvertTextAndBackgroundColor(bool flag)
{
    if (flag == m_contentInvert)
        return;
    m_contentInvert = flag;
    if (flag == m_lastContentInvert)
        return;
    m_prompterView->invertColors();
    if (m_previewPrompterView)
        m_previewPrompterView->prompterTextView()->setBackgroundColor(textView()->backgroundColor());
    m_lastContentInvert = flag;
}

bool OVTalentWindowController::canDisplayTalentWindow() const
{
    return m_core.dualScreenStatus() == OVCore::kDualScreenStatusAvailable;
}

void OVTalentWindowController::showTalentWindow(bool flag)
{
    if (flag == m_window->isVisible())
        return;
    if (!flag) {
        m_window->orderOut();
        return;
    }
    if (!canDisplayTalentWindow())
        return;
    _prepareTalentWindowForOrderFront();
    m_window->orderFront();
}

void OVTalentWindowController::_updateTalentWindowSettings()
{
    if (canDisplayTalentWindow()) {
        if (OVScreen::isTalentScreenDistinctFromOperatorScreen() &&
            UserDefaults::shared().integerForKey(QStringLiteral("screenMode")) == 1) {
            if (!OVTalentWindow::platformPlacesWindows() && !m_loggedPlacementUnavailable) {
                m_loggedPlacementUnavailable = true;
                qWarning().noquote() << QStringLiteral(
                    "OVTalentWindowController: this windowing system does not let programs place windows; "
                    "run under X11 (QT_QPA_PLATFORM=xcb) for the talent window to cover the second display");
            }
            _prepareTalentWindowForOrderFront();
            m_window->orderFront();
        }
    } else {
        const int behavior = m_window->animationBehavior();
        m_window->setAnimationBehavior(0);
        m_window->orderOut();
        m_window->setAnimationBehavior(behavior);
    }
    if (!m_window->isVisible())
        _updateTalentWindowFrameIfNecessary();
}

void OVTalentWindowController::_prepareTalentWindowForOrderFront()
{
    _updateTalentWindowFrameIfNecessary();
    _moveAllWindowsAwayFromTalentScreen();
}

void OVTalentWindowController::_updateTalentWindowFrameIfNecessary()
{
    const std::optional<Screen> talent = OVScreen::talentScreen();
    if (!talent || talent->frame() == m_window->frame())
        return;
    m_window->setForceFrame(talent->frame());
    NotificationCenter::shared().postNotification(OVTalentWindowControllerDidChangeScreenOrInsetNotification, this);
}

double OVTalentWindowController::contentInsetForScreenHeights(double operatorHeight, double talentHeight,
                                                              double toolbarHeight)
{
    const double value = std::ceil(std::max(0.0, toolbarHeight) / 2.0);
    // Strictly smaller: with equal heights the two displays already line up.
    return operatorHeight - 2 * value < talentHeight ? value : 0.0;
}

void OVTalentWindowController::setPromptModeToolbarHeightProvider(std::function<double()> provider)
{
    m_toolbarHeightProvider = std::move(provider);
}

void OVTalentWindowController::updateContentInset()
{
    if (!m_usesContentInset || !OVScreen::isTalentScreenDistinctFromOperatorScreen())
        return;
    const double toolbar = m_toolbarHeightProvider ? m_toolbarHeightProvider() : 0.0;
    const Size inset{0, contentInsetForScreenHeights(OVScreen::operatorScreen()->frame().size.height,
                                                     OVScreen::talentScreen()->frame().size.height, toolbar)};
    if (inset == m_contentInset)
        return;
    m_contentInset = inset;
    Rect frame{{0, 0}, m_window->contentView()->bounds().size};
    frame.size.height = std::max(0.0, frame.size.height - 2 * inset.height);
    frame.origin.y = inset.height;
    m_prompterView->setFrame(frame);
    NotificationCenter::shared().postNotification(OVTalentWindowControllerDidChangeScreenOrInsetNotification, this);
}

void OVTalentWindowController::_updateBoxColors()
{
    // Blanked, the talent monitor is dark edge to edge: the strips around the page too.
    const QColor color =
        m_prompterView->isStandbyViewVisible() ? QColor(Qt::black) : textView()->backgroundColor();
    if (m_previewBoxView)
        m_previewBoxView->setFillColor(color, true);
    if (m_boxColor == color)
        return;
    m_boxColor = color;
    m_window->setBackgroundColor(color);
}

void OVTalentWindowController::updateStandbyViewVisible(bool flag)
{
    if (m_prompterView->isStandbyViewVisible() != flag) {
        m_prompterView->setStandbyViewVisible(flag);
        if (m_previewPrompterView)
            m_previewPrompterView->setStandbyViewVisible(flag);
    }
    _updateBoxColors();
}

void OVTalentWindowController::updateHorizontalMarginIndentFactor(double factor)
{
    if (m_prompterView->horizontalMarginIndentFactor() == factor)
        return;
    m_prompterView->setHorizontalMarginIndentFactor(factor);
    if (m_previewPrompterView)
        m_previewPrompterView->setHorizontalMarginIndentFactor(factor);
}

void OVTalentWindowController::updateVerticalMarginIndentFactor(double factor)
{
    if (m_prompterView->verticalMarginIndentFactor() == factor)
        return;
    m_prompterView->setVerticalMarginIndentFactor(factor);
    if (m_previewPrompterView)
        m_previewPrompterView->setVerticalMarginIndentFactor(factor);
}

void OVTalentWindowController::updateFocusArrowVisible(bool flag)
{
    if (m_prompterView->isFocusArrowVisible() == flag)
        return;
    m_prompterView->setFocusArrowVisible(flag);
    if (m_previewPrompterView)
        m_previewPrompterView->setFocusArrowVisible(flag);
}

void OVTalentWindowController::updateTimeBarVisible(bool flag)
{
    if (m_prompterView->isTimeBarVisible() == flag)
        return;
    m_prompterView->setTimeBarVisible(flag);
    if (m_previewPrompterView)
        m_previewPrompterView->setTimeBarVisible(flag);
}

void OVTalentWindowController::updateHasContentBorder(bool flag)
{
    if (m_prompterView->hasContentBorder() == flag)
        return;
    m_prompterView->setHasContentBorder(flag);
    if (m_previewPrompterView)
        m_previewPrompterView->setHasContentBorder(flag);
}

void OVTalentWindowController::restoreDefaultHasContentBorder()
{
    updateHasContentBorder(m_prompterView->defaultHasContentBorder());
}

void OVTalentWindowController::updateHorizontallyFlipped(bool flag)
{
    if (m_prompterView->isHorizontallyFlipped() == flag)
        return;
    const bool animation = m_prompterView->usesAnimation();
    m_prompterView->setUsesAnimation(usesAnimation());
    m_prompterView->setHorizontallyFlipped(flag);
    m_prompterView->setUsesAnimation(animation);
}

void OVTalentWindowController::updateVerticallyFlipped(bool flag)
{
    if (m_prompterView->isVerticallyFlipped() == flag)
        return;
    const bool animation = m_prompterView->usesAnimation();
    m_prompterView->setUsesAnimation(usesAnimation());
    m_prompterView->setVerticallyFlipped(flag);
    m_prompterView->setUsesAnimation(animation);
    // Upside down the talent's origin counts from the script's end: the same origin would show
    // another part of the script, so the talent goes back to the line the others show.
    if (m_core.isModePrompt())
        m_core._synchronizeTalentLocationToOperatorLocation(true);
    else
        m_core.noTrackFixSynchronizeTalentLocationToPreviewLocationAndForceSync(true);
}

void OVTalentWindowController::setTextContainerWidthTracksTextView(bool flag)
{
    m_prompterView->setTextContainerWidthTracksTextView(flag);
    if (m_previewPrompterView)
        m_previewPrompterView->setTextContainerWidthTracksTextView(flag);
}

void OVTalentWindowController::_restoreTextContainerWidthAfterAnimation()
{
    // Another view's animation ending while the outputs' own still run leaves them be: the last of
    // theirs to end restores both, so overlapping animations never re-wrap the text half-way.
    if (m_prompterView->isAnimating() || (m_previewPrompterView && m_previewPrompterView->isAnimating()))
        return;
    m_prompterView->restoreTextContainerWidthTracking();
    if (m_previewPrompterView)
        m_previewPrompterView->restoreTextContainerWidthTracking();
}

void OVTalentWindowController::_moveWindowAwayFromTalentScreen(Window* only)
{
    if (only && !isTalentWindowInUse())
        return;
    const std::optional<Screen> operatorDisplay = OVScreen::operatorScreen();
    const std::optional<Screen> talentDisplay = OVScreen::talentScreen();
    if (!OVScreen::isTalentScreenDistinctFromOperatorScreen())
        return;
    // Front to back, so the cursor lands on the frontmost window that was moved.
    std::vector<Window*> windows = only ? std::vector<Window*>{only} : Application::shared().orderedWindows();
    bool warped = false;
    for (Window* window : windows) {
        if (window == m_window.get() || window->parentWindow() || window->isSheet())
            continue;
        const std::optional<Screen> screen = window->screen();
        if (!screen || screen->displayID() != talentDisplay->displayID())
            continue;
        const bool movable = window->isMovable();
        window->setMovable(false);
        const Rect visible = operatorDisplay->visibleFrame();
        Rect frame = window->frame();
        frame.size.width = std::min(frame.size.width, visible.size.width);
        frame.size.height = std::min(frame.size.height, visible.size.height);
        if (!only || window->level() >= Window::kModalPanelWindowLevel) {
            frame.origin.x = visible.origin.x + (visible.size.width - frame.size.width) / 2;
            frame.origin.y = visible.origin.y + (visible.size.height - frame.size.height) / 2;
        } else {
            frame.origin.x = std::clamp(frame.origin.x, visible.origin.x, visible.maxX() - frame.size.width);
            frame.origin.y = std::clamp(frame.origin.y, visible.origin.y, visible.maxY() - frame.size.height);
        }
        window->setFrame(frame);
        window->setMovable(movable);
        if (warped)
            continue;
        warped = true;
        const Point target{frame.origin.x + 2, frame.maxY() - 2};
        const QPoint qtPoint = qtPointFromGlobal(target).toPoint();
        if (!operatorDisplay->frame().contains(globalPointFromQt(QPointF(QCursor::pos())))) {
            QCursor::setPos(qtPoint);
            if (QCursor::pos() != qtPoint)
                qWarning().noquote() << QStringLiteral("%1 could not position at point {%2, %3}")
                                            .arg(QStringLiteral("-[OVTalentWindowController _moveWindowAwayFromTalentScreen:]"))
                                            .arg(target.x)
                                            .arg(target.y);
        }
    }
}
