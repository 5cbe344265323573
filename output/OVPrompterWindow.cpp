#include "output/OVPrompterWindow.h"

#include "platform/appkit/WindowFrames.h"
#include "platform/foundation/UserDefaults.h"
#include "prompting/OVApplication.h"
#include "prompting/OVEmbeddableWindow.h"
#include "prompting/OVPromptModeNoticeWindow.h"

namespace {

std::function<bool()>& promptModeQuery()
{
    static std::function<bool()> query;
    return query;
}

const QString kPerformCloseAction = QStringLiteral("performClose:");
const QString kPerformMiniaturizeAction = QStringLiteral("performMiniaturize:");
const QString kPerformZoomAction = QStringLiteral("performZoom:");

bool useConcurrentViewDrawing()
{
    return UserDefaults::shared().boolForKey(QStringLiteral("useConcurrentViewDrawing"));
}

} // namespace

OVPrompterWindow::OVPrompterWindow(const Rect& frame, unsigned styleMask)
    : OVUnconstrainedWindow(frame, styleMask), m_allowsConcurrentViewDrawing(useConcurrentViewDrawing())
{
    setCollectionBehavior((collectionBehavior() & ~kFullScreenPrimary) | kFullScreenAuxiliary |
                          kFullScreenDisallowsTiling);
    m_concurrentDrawingObserver = NotificationObserver(
        NotificationCenter::shared(), OVPreferencesAdvancedDidChangeUseConcurrentViewDrawingNotification,
        nullptr, [this](const Notification&) { m_allowsConcurrentViewDrawing = useConcurrentViewDrawing(); });
    const auto editModeOnly = [](const UserInterfaceItem&) { return !isPromptMode(); };
    setActionHandler(
        kPerformCloseAction, [](const QVariant&) {}, editModeOnly);
    setActionHandler(
        kPerformMiniaturizeAction, [this](const QVariant&) { performMiniaturize(); }, editModeOnly);
    setActionHandler(
        kPerformZoomAction, [this](const QVariant&) { performZoom(); }, editModeOnly);
}

bool OVPrompterWindow::respondsToAction(const QString& action) const
{
    if (action == kPerformCloseAction)
        return isPromptMode();
    return OVUnconstrainedWindow::respondsToAction(action);
}

OVPrompterWindow::~OVPrompterWindow() = default;

void OVPrompterWindow::setPromptModeQuery(std::function<bool()> query)
{
    promptModeQuery() = std::move(query);
}

bool OVPrompterWindow::isPromptMode()
{
    if (const std::function<bool()>& query = promptModeQuery())
        return query();
    return OVApplication::shared().isModePrompt();
}

double OVPrompterWindow::windowAnimationInterval(const Window* window) const
{
    return window == this && !m_enableWindowAnimations ? 0.0 : -1.0;
}

bool OVPrompterWindow::hasPromptModeNoticeWindow() const
{
    return OVPromptModeNoticeWindow::overlayOfWindow(this) != nullptr;
}

bool OVPrompterWindow::refusesKeyStatus() const
{
    return hasPromptModeNoticeWindow() && isPromptMode();
}

void OVPrompterWindow::performClose()
{
    if (!isPromptMode())
        OVUnconstrainedWindow::performClose();
}

void OVPrompterWindow::performMiniaturize()
{
    if (!isPromptMode())
        OVUnconstrainedWindow::performMiniaturize();
}

void OVPrompterWindow::performZoom()
{
    if (!isPromptMode())
        OVUnconstrainedWindow::performZoom();
}

void OVPrompterWindow::zoom()
{
    if (!isPromptMode())
        OVUnconstrainedWindow::zoom();
}

bool OVPrompterWindow::windowManagerMayClose() const
{
    return !isPromptMode();
}

bool OVPrompterWindow::windowManagerMayMiniaturize() const
{
    // A window under a notice minimises on a click on the notice; every other one stays while prompting.
    return !isPromptMode() || hasPromptModeNoticeWindow();
}

bool OVPrompterWindow::windowManagerMayZoom() const
{
    return !isPromptMode();
}

bool OVPrompterWindow::canBecomeKeyWindow() const
{
    return !refusesKeyStatus() && OVUnconstrainedWindow::canBecomeKeyWindow();
}

bool OVPrompterWindow::canBecomeMainWindow() const
{
    return !refusesKeyStatus() && OVUnconstrainedWindow::canBecomeMainWindow();
}

Rect OVPrompterWindow::standardFrame() const
{
    const std::optional<Screen> current = screen();
    // The title bar stays on the screen: the window manager draws it above the frame.
    const Rect defaultFrame = current ? frameWithinAreaForDecorations(current->visibleFrame()) : Rect();
    Rect frame = defaultFrame;
    auto* self = const_cast<OVPrompterWindow*>(this);
    if (auto* delegate = dynamic_cast<OVPrompterWindowZoomDelegate*>(this->delegate()))
        frame = delegate->windowWillUseStandardFrame(*self, defaultFrame);
    else if (auto* controller = dynamic_cast<OVPrompterWindowZoomDelegate*>(windowController()))
        frame = controller->windowWillUseStandardFrame(*self, defaultFrame);
    return clampStandardFrame(frame, minSize(), maxSize());
}
