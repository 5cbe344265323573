#include "prompting/OVApplication.h"

#include "platform/appkit/AppKitNotifications.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Screen.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/NotificationCenter.h"
#include "prompting/OVCore.h"
#include "prompting/OVCoreSettings.h"

#include <QDebug>

namespace {

const QString kPresentSuppressedErrorsSelector = QStringLiteral("presentSuppressedErrors");
const QString kToggleBlankingAction = QStringLiteral("toggleBlanking:");
// Above the shielding level of the full-screen prompter.
constexpr int kHighestVisibleWindowLevel = Window::kScreenSaverWindowLevel + 1;

} // namespace

OVApplication& OVApplication::shared()
{
    static OVApplication* application = new OVApplication;
    return *application;
}

OVApplication::OVApplication(OVCore* core) : m_core(core)
{
    Application& platform = Application::shared();
    platform.setWillPresentError([this](const Error& error) { return willPresentError(error); });
    platform.setModalSessionHook(
        [this](Window* window) { _patchWindowIfNeededForPromptModeFullScreen(window); });
    NotificationCenter& center = NotificationCenter::shared();
    center.addObserver(
        kWindowWillBeginSheetNotification, nullptr,
        [this](const Notification& notification) {
            windowWillBeginSheetNotification(static_cast<Window*>(const_cast<void*>(notification.object)));
        },
        this);
    center.addObserver(
        OVCoreDidChangeModeNotification, nullptr, [this](const Notification&) { modeDidChange(); }, this);
    // Blanking reaches the application last in the responder chain, from the hot key, a menu or the
    // toolbar; it does nothing while the talent screen cannot be blanked.
    platform.setActionHandler(
        kToggleBlankingAction,
        [this](const QVariant&) {
            if (this->core().canBlankScreen())
                this->core().toggleBlanking();
        },
        [this](const UserInterfaceItem&) { return this->core().canBlankScreen(); });
}

OVApplication::~OVApplication()
{
    NotificationCenter::shared().removeObserver(this);
    RunLoop::main().cancelPreviousPerformRequests(this);
    Application::shared().setWillPresentError({});
    Application::shared().setModalSessionHook({});
    Application::shared().removeActionHandler(kToggleBlankingAction);
}

Application& OVApplication::application() const
{
    return Application::shared();
}

OVCore& OVApplication::core() const
{
    // The first question about the prompting state makes the core.
    return m_core ? *m_core : OVCore::sharedCore();
}

double OVApplication::windowAnimationInterval(Window* window, bool shouldUseSlowMotion) const
{
    Q_UNUSED(window);
    Q_UNUSED(shouldUseSlowMotion);
    return m_overrideWindowFadeTime;
}

bool OVApplication::isModeChanging() const
{
    return core().isModeChanging();
}

bool OVApplication::isModeEdit() const
{
    return core().isModeEdit();
}

bool OVApplication::isModePrompt() const
{
    return core().isModePrompt();
}

bool OVApplication::isStatusChanging() const
{
    return core().isStatusChanging();
}

bool OVApplication::isStatusPaused() const
{
    return core().isStatusPaused();
}

bool OVApplication::isStatusStarted() const
{
    return core().isStatusStarted();
}

bool OVApplication::isContentEditable() const
{
    return core().isContentEditable();
}

int OVApplication::dualScreenStatus() const
{
    return core().dualScreenStatus();
}

void OVApplication::windowWillBeginSheetNotification(Window* window)
{
    if (!window || !core().isModeEdit())
        return;
    const std::vector<Screen> screens = Screen::screens();
    if (screens.empty())
        return;
    const Screen& operatorScreen = screens.front();
    const std::optional<Screen> current = window->screen();
    if (current && current->displayID() == operatorScreen.displayID())
        return;
    // Centred on the operator screen, where the operator looks for the sheet.
    const Rect visible = operatorScreen.visibleFrame();
    const Size size = window->frame().size;
    window->setFrameOrigin(Point{visible.midX() - size.width / 2, visible.midY() - size.height / 2});
}

int OVApplication::runModalForWindow(Window* window)
{
    // The session hook raises the window before the run as well: a modal window that opens below
    // the prompter cannot be reached.
    const int response = application().runModalForWindow(window);
    _patchWindowIfNeededForPromptModeFullScreen(window);
    return response;
}

void OVApplication::beginModalSessionForWindow(Window* window)
{
    application().beginModalSessionForWindow(window);
    _patchWindowIfNeededForPromptModeFullScreen(window);
}

void OVApplication::_patchWindowIfNeededForPromptModeFullScreen(Window* window)
{
    if (!window || !_isPromptAndFullScreen())
        return;
    window->setLevel(kHighestVisibleWindowLevel);
    if (window->isVisible())
        window->makeKeyAndOrderFront();
}

bool OVApplication::_isPromptAndFullScreen() const
{
    return core().isModePrompt() && !OVCoreSettings::boolean(QStringLiteral("useWindowedPrompting"), true);
}

Error OVApplication::willPresentError(const Error& error)
{
    if (!_isPromptAndFullScreen())
        return error;
    qWarning().noquote()
        << QStringLiteral("Error occurred in Prompt mode full screen: %1").arg(error.localizedDescription());
    // An alert now would open behind the prompter; the operator sees it once back in Edit mode.
    if (!error.isUserCancelled())
        m_suppressedErrors.push_back(error);
    return Error::userCancelled();
}

void OVApplication::modeDidChange()
{
    if (m_suppressedErrors.empty() || !core().isModeEdit())
        return;
    // After the mode change has finished, so the alert does not run inside it.
    RunLoop& runLoop = RunLoop::main();
    if (!runLoop.hasPendingPerform(this, kPresentSuppressedErrorsSelector))
        runLoop.performAfterDelay(0, this, kPresentSuppressedErrorsSelector,
                                  [this] { presentSuppressedErrors(); });
}

void OVApplication::presentSuppressedErrors()
{
    if (!core().isModeEdit())
        return;
    const std::vector<Error> errors = std::move(m_suppressedErrors);
    m_suppressedErrors.clear();
    for (const Error& error : errors)
        application().presentError(error);
}
