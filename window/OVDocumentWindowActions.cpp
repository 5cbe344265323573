// The actions the document window answers and the validation of its menu and toolbar items, with
// the editor's text-size and default-style actions.
#include "window/OVDocumentWindowController.h"

#include "platform/appkit/Application.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/UndoManager.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/text/AttributedString.h"
#include "platform/text/TextStorage.h"
#include "platform/textview/TextView.h"
#include "prompter_view/OVFocusArrowView.h"
#include "prompter_view/OVScrollView.h"
#include "prompting/OVCore.h"
#include "settings/OVSharedPreferencesAccess.h"
#include "text/OVTextView.h"
#include "window/OVDocumentPrompterView.h"
#include "window/OVDocumentWindowToolbar.h"

#include <QApplication>
#include <QColor>

namespace {

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
    for (const char* empty :
         {"showBookmarksButtonPressed:", "showPlaylistsButtonPressed:", "formatBarButtonPressed:"})
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
    installPropertiesActions();
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
    onText("orderFrontSpacingPanel:", [](OVTextView& text) { text.orderFrontSpacingPanel(); });
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
    state("togglePositionLock:", m_prompterView && m_prompterView->focusArrowView() &&
                                     m_prompterView->focusArrowView()->isPositionLocked());
    state("toggleBlanking:", m_core->isBlanking());
    state("toggleMarkedTextVisible:", editorTextView() && editorTextView()->drawsMarkedText());
    state("toggleRuler:", textView() && textView()->isRulerVisible());
    updateSizingMenuItems(*menu);
}

bool OVDocumentWindowController::validateUserInterfaceItem(const UserInterfaceItem& item) const
{
    static const QStringList modeChanging{
        QStringLiteral("toggleStatus:"),  QStringLiteral("startPrompter:"),
        QStringLiteral("pausePrompter:"), QStringLiteral("toggleMode:"),
        QStringLiteral("enterEditMode:"), QStringLiteral("enterPromptMode:")};
    static const QStringList needsEditable{QStringLiteral("insertImagesFromOpenPanel:"),
                                           QStringLiteral("addBookmark:"),
                                           QStringLiteral("addQuickBookmark:"),
                                           QStringLiteral("removeBookmark:"),
                                           QStringLiteral("applyDefaultStyle:"),
                                           QStringLiteral("invertColors:"),
                                           QStringLiteral("orderFrontSpacingPanel:"),
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
    if (action == QLatin1String("runToolbarCustomizationPalette:"))
        return m_toolbar && m_toolbar->canRunCustomization();
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

// Default style.
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
