#include "prompting/OVModeChange.h"

#include "platform/appkit/Application.h"
#include "platform/appkit/Screen.h"
#include "platform/appkit/Window.h"
#include "prompting/NSApplicationOVAdditions.h"
#include "prompting/OVCorePromptModeWindows.h"
#include "prompting/OVCoreWindowOptimizer.h"
#include "prompting/OVPromptModeNoticeWindow.h"
#include "prompting/OVSynchronousQueue.h"
#include "prompting/OVWindowBehavior.h"

#include <algorithm>
#include <optional>

#include <QRectF>

namespace {

// The level that keeps the prompter above everything the desktop shows.
constexpr int kShieldingWindowLevel = Window::kScreenSaverWindowLevel;
// Cancel, the answer of a sheet the user dismissed.
constexpr int kModalResponseCancel = 0;
constexpr int kNoAnimationBehavior = 2;

OVCoreWindowOptimizer* optimizerFor(Window* window)
{
    if (auto* optimizer = dynamic_cast<OVCoreWindowOptimizer*>(static_cast<Responder*>(window)))
        return optimizer;
    if (auto* optimizer = dynamic_cast<OVCoreWindowOptimizer*>(window->delegate()))
        return optimizer;
    return dynamic_cast<OVCoreWindowOptimizer*>(window->windowController());
}

bool isExemptFromFading(Window* window)
{
    auto* behavior = dynamic_cast<OVWindowBehavior*>(static_cast<Responder*>(window));
    return behavior && behavior->exemptWindowFromFadingDuringModeChange();
}

bool isRegistered(Window* window)
{
    const std::vector<Window*>& windows = Application::shared().windows();
    return std::find(windows.begin(), windows.end(), window) != windows.end();
}

} // namespace

OVModeChange::OVModeChange() = default;

OVModeChange::~OVModeChange()
{
    removeBlockingWindows(nullptr);
}

void OVModeChange::buildQueue(const void* owner, const std::vector<Step>& steps)
{
    m_queue = OVSynchronousQueue::synchronousQueue();
    if (steps.empty())
        return;
    const auto item = [owner](const Step& step) {
        return OVSynchronousQueueItem::itemWithObject(owner, step.name,
                                                      [run = step.run](const QVariant&) { run(); });
    };
    m_queue->setAlwaysFirstItem(item(steps.front()));
    for (std::size_t i = 1; i + 1 < steps.size(); ++i)
        m_queue->addItemToQueue(item(steps[i]));
    if (steps.size() > 1)
        m_queue->setAlwaysLastItem(item(steps.back()));
}

void OVModeChange::runIntoPromptMode()
{
    m_queue->executeQueueInReverse();
}

void OVModeChange::runIntoEditMode()
{
    m_queue->executeQueue();
}

bool OVModeChange::isExecuting() const
{
    return m_queue && m_queue->isExecuting();
}

void OVModeChange::abandon()
{
    if (m_queue)
        m_queue->abandonExecution();
}

QVariantMap OVModeChange::WindowConfiguration::dictionary() const
{
    const auto rect = [](const Rect& r) {
        return QVariant::fromValue(QRectF(r.origin.x, r.origin.y, r.size.width, r.size.height));
    };
    return {
        {QStringLiteral("OVCorePromptModeOperatorScreenExists"), operatorScreenExists},
        {QStringLiteral("OVCorePromptModeTalentScreenExists"), talentScreenExists},
        {QStringLiteral("OVCorePromptModeOperatorAndTalentScreensDiffer"), operatorAndTalentScreensDiffer},
        {QStringLiteral("OVCorePromptModeIsTalentWindowUtilized"), isTalentWindowUtilized},
        {QStringLiteral("OVCorePromptModeOperatorScreenFrame"), rect(operatorScreenFrame)},
        {QStringLiteral("OVCorePromptModeTalentScreenFrame"), rect(talentScreenFrame)},
        {QStringLiteral("OVCorePromptModeOperatorScreenIsMirrored"), operatorScreenIsMirrored},
        {QStringLiteral("OVCorePromptModeTalentScreenIsMirrored"), talentScreenIsMirrored},
        {QStringLiteral("OVCorePromptModeControllerWindowFrameKey"), rect(frame)},
        {QStringLiteral("OVCorePromptModeControllerWindowUseBlockingWindowKey"), useBlockingWindow},
        {QStringLiteral("OVCorePromptModeControllerWindowUseTitleBarBlockingWindowKey"),
         useTitleBarBlockingWindow},
        {QStringLiteral("OVCorePromptModeControllerWindowIsWindowedKey"), isWindowed ? 1 : 0},
    };
}

void OVModeChange::resizeWindowForPrompt(Window* window, OVCoreController* controller)
{
    if (m_controllerManagingSpecialEditSize != controller || !m_hasSavedEditModeFrame) {
        m_savedEditModeFrame = window->frame();
        m_hasSavedEditModeFrame = true;
    }
    m_savedMinSize = window->minSize();
    m_savedMaxSize = window->maxSize();
    m_savedResizableBit = window->styleMask() & Window::Resizable;
    window->setStyleMask(window->styleMask() & ~unsigned(Window::Resizable));
    Rect target = m_configuration.frame;
    // A windowed prompter already of the size it needs stays where the user put it on the operator
    // display: only a size, a display or a maximised frame moves it.
    const std::optional<Screen> screen = window->screen();
    const bool onOperatorScreen = screen && screen->frame() == m_configuration.operatorScreenFrame;
    if (m_configuration.isWindowed && onOperatorScreen && target.size == window->frame().size &&
        !m_configuration.isMaximized)
        target.origin = window->frame().origin;
    if (!target.isEmpty() && target != window->frame())
        window->setFrame(target, false);
    // No resizing while prompting: the frame is what the configuration chose.
    window->setMinSize(window->frame().size);
    window->setMaxSize(window->frame().size);
    window->setHasShadow(m_configuration.isWindowed);
    window->setMovable(m_configuration.isWindowed);
}

void OVModeChange::resizeWindowForEdit(Window* window, OVCoreController* controller, bool optionHeld)
{
    window->setHasShadow(true);
    window->setMinSize(m_savedMinSize);
    window->setMaxSize(m_savedMaxSize);
    window->setStyleMask(window->styleMask() | m_savedResizableBit);
    Rect target = m_savedEditModeFrame;
    if (optionHeld && !m_configuration.isWindowed && !m_fullScreenEditModeFrame.isEmpty()) {
        target = m_fullScreenEditModeFrame;
        m_controllerManagingSpecialEditSize = controller;
    } else if (!optionHeld) {
        m_controllerManagingSpecialEditSize = nullptr;
    }
    if (m_hasSavedEditModeFrame && !target.isEmpty() && target != window->frame())
        window->setFrame(target, false);
}

void OVModeChange::rememberFullScreenEditFrame(Window* window)
{
    std::optional<Screen> screen = window ? window->screen() : std::nullopt;
    m_fullScreenEditModeFrame = screen ? screen->visibleFrame() : Rect();
}

void OVModeChange::showBlockingWindows(Window* controllerWindow, OVCorePromptModeWindows* maker,
                                       OVEventInterpreter* interpreter)
{
    if (!controllerWindow || !maker)
        return;
    if (m_configuration.useBlockingWindow && !m_configuration.operatorScreenFrame.isEmpty()) {
        if (!m_blockingWindow)
            m_blockingWindow = maker->makeBlockingWindow();
        m_blockingWindow->setLevel(controllerWindow->level());
        m_blockingWindow->setFrame(m_configuration.operatorScreenFrame, false);
        maker->setEventInterpreter(*m_blockingWindow, interpreter);
        controllerWindow->addChildWindowBelow(m_blockingWindow.get());
    }
    // A window without decorations (no window manager, or placed undecorated) has no title bar to
    // cover.
    const Rect titleBar = controllerWindow->titleBarRect();
    if (m_configuration.useTitleBarBlockingWindow && !titleBar.isEmpty()) {
        if (!m_titleBarBlockingWindow)
            m_titleBarBlockingWindow = maker->makeBlockingWindow();
        m_titleBarBlockingWindow->setLevel(controllerWindow->level());
        m_titleBarBlockingWindow->setFrame(titleBar, false);
        maker->setEventInterpreter(*m_titleBarBlockingWindow, interpreter);
        controllerWindow->addChildWindow(m_titleBarBlockingWindow.get());
    }
}

void OVModeChange::removeBlockingWindows(OVCorePromptModeWindows* maker)
{
    for (Window* window : {m_blockingWindow.get(), m_titleBarBlockingWindow.get()}) {
        if (!window)
            continue;
        if (maker)
            maker->setEventInterpreter(*window, nullptr);
        if (Window* parent = window->parentWindow())
            parent->removeChildWindow(window);
        window->orderOut();
    }
}

void OVModeChange::closeSheets()
{
    const std::vector<Window*> windows = betterOrderedWindows();
    for (Window* window : windows) {
        if (!window->attachedSheet())
            continue;
        if (window->isMiniaturized())
            window->deminiaturize();
        // Ended as a cancel: a sheet closed on the user's behalf must never confirm anything.
        if (!window->isMiniaturized())
            window->endSheet(window->attachedSheet(), kModalResponseCancel);
    }
    // The alerts, panels and sheets shown as dialogs over the program's windows, too: hidden with
    // their window they would still hold the keyboard while prompting.
    Application::shared().cancelSheetsAndAlerts();
}

void OVModeChange::hideWindowsBesides(Window* controllerWindow)
{
    m_hiddenWindows.clear();
    for (Window* window : betterOrderedWindows()) {
        if (!window->isMiniaturized() && !window->isVisible())
            continue;
        if (window == controllerWindow || (controllerWindow && window->parentWindow() == controllerWindow))
            continue;
        if (isExemptFromFading(window) || dynamic_cast<OVPromptModeNoticeWindow*>(window))
            continue;
        HiddenWindow hidden{window, window->isMiniaturized(), window->animationBehavior()};
        if (hidden.isMinimized)
            OVPromptModeNoticeWindow::addOverlayToWindow(window);
        if (!hidden.isMinimized) {
            window->setAnimationBehavior(kNoAnimationBehavior);
            window->orderOut();
            window->setAnimationBehavior(hidden.animationBehavior);
        }
        if (OVCoreWindowOptimizer* optimizer = optimizerFor(window))
            optimizer->enableActivity(false, window);
        m_hiddenWindows.push_back(hidden);
    }
}

void OVModeChange::showHiddenWindows(Window* controllerWindow)
{
    OVPromptModeNoticeWindow::removeAllOverlays();
    for (const HiddenWindow& hidden : m_hiddenWindows) {
        // A window closed while prompting is gone; there is nothing to bring back.
        if (!isRegistered(hidden.window))
            continue;
        if (OVCoreWindowOptimizer* optimizer = optimizerFor(hidden.window))
            optimizer->enableActivity(true, hidden.window);
        if (!hidden.isMinimized) {
            const int behavior = hidden.window->animationBehavior();
            hidden.window->setAnimationBehavior(kNoAnimationBehavior);
            hidden.window->orderFront();
            hidden.window->setAnimationBehavior(behavior);
        }
    }
    m_hiddenWindows.clear();
    if (controllerWindow)
        controllerWindow->orderFront();
}

void OVModeChange::setShieldingLevel(Window* window, bool prompt, bool cover)
{
    if (prompt && cover) {
        m_savedLevel = window->level();
        m_raisedLevel = true;
        window->setLevel(kShieldingWindowLevel);
        window->orderFront();
    } else if (!prompt && m_raisedLevel) {
        window->setLevel(m_savedLevel);
        m_raisedLevel = false;
    }
}

void OVModeChange::setTitleBarButtons(Window* window, bool prompt)
{
    const unsigned buttons = Window::Closable | Window::Miniaturizable;
    if (prompt) {
        m_savedTitleBarButtonBits = window->styleMask() & buttons;
        window->setStyleMask(window->styleMask() & ~buttons);
    } else {
        window->setStyleMask(window->styleMask() | m_savedTitleBarButtonBits);
    }
}
