// The document window as the prompting core's controller: which window the core prompts, the mode
// and status changes it reports to the toolbar, and the events the prompter takes in Prompt mode.
#include "window/OVDocumentWindowController.h"

#include "platform/appkit/Application.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/textview/TextView.h"
#include "prompter_view/OVScrollView.h"
#include "prompting/OVCore.h"
#include "window/OVDocumentPrompterView.h"
#include "window/OVDocumentWindowToolbar.h"
#include "window/OVTimerTextField.h"

namespace {

bool boolDefault(const QString& key)
{
    return UserDefaults::shared().boolForKey(key);
}

} // namespace

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

// Main-window tracking.

void OVDocumentWindowController::windowBecameMain()
{
    if (!m_core->isModePrompt())
        m_core->configureCoreForController(this);
    _setEnableMainWindowRequiredControls(true);
}

void OVDocumentWindowController::windowResignedMain()
{
    if (!m_core->isModePrompt() && m_core->controller() == this)
        m_core->configureCoreForController(nullptr);
    _setEnableMainWindowRequiredControls(false);
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
