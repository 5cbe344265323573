#include "prompting/OVPromptModeNoticeWindow.h"

#include "platform/appkit/AppKitNotifications.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/View.h"
#include "platform/hvkit/HVLocalizedString.h"

#include <QDebug>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace {

constexpr int kNoAnimationBehavior = 2;

OVPromptModeNoticeWindow::ContentViewMaker& contentViewMaker()
{
    static OVPromptModeNoticeWindow::ContentViewMaker maker;
    return maker;
}

// Overlays live for the whole process: made when first needed, hidden and kept when detached.
// Never destroyed: the widgets must not outlive Qt's application object at exit.
std::vector<std::unique_ptr<OVPromptModeNoticeWindow>>& overlayPool()
{
    static auto* pool = new std::vector<std::unique_ptr<OVPromptModeNoticeWindow>>;
    return *pool;
}

int highestLevelOf(const Window& window)
{
    int level = window.level();
    for (const Window* child : window.childWindows())
        level = std::max(level, child->level());
    return level;
}

} // namespace

void OVPromptModeNoticeWindow::setContentViewMaker(ContentViewMaker maker)
{
    contentViewMaker() = std::move(maker);
    // Overlays kept for later show what the new maker makes once they are made again.
    std::erase_if(overlayPool(), [](const auto& overlay) { return overlay->parentWindow() == nullptr; });
}

QString OVPromptModeNoticeWindow::noticeText()
{
    return HVLocalizedString::localizedString(
        QStringLiteral("prompt-mode-other-document-message"),
        QStringLiteral("This document cannot be used while in Prompt mode."));
}

OVPromptModeNoticeWindow::OVPromptModeNoticeWindow(const Rect& frame) : Window(frame, Borderless)
{
    setAnimationBehavior(kNoAnimationBehavior);
    setMovable(false);
    setOpaque(false);
    setBackgroundColor(Qt::transparent);
    setHasShadow(false);
    setExcludedFromWindowsMenu(true);
    updateQtFlags();
    hostWidget()->setAttribute(Qt::WA_ShowWithoutActivating);
    const ContentViewMaker maker = contentViewMaker();
    std::unique_ptr<View> content = maker ? maker(noticeText()) : std::make_unique<View>();
    setContentView(std::move(content));
}

OVPromptModeNoticeWindow::~OVPromptModeNoticeWindow() = default;

Qt::WindowFlags OVPromptModeNoticeWindow::additionalQtFlags() const
{
    return Qt::Tool | Qt::WindowDoesNotAcceptFocus;
}

OVPromptModeNoticeWindow* OVPromptModeNoticeWindow::overlayOfWindow(const Window* window)
{
    if (!window)
        return nullptr;
    for (Window* child : window->childWindows()) {
        if (auto* overlay = dynamic_cast<OVPromptModeNoticeWindow*>(child))
            return overlay;
    }
    return nullptr;
}

int OVPromptModeNoticeWindow::overlayWindowCount()
{
    return int(overlayPool().size());
}

OVPromptModeNoticeWindow* OVPromptModeNoticeWindow::addOverlayToWindow(Window* window)
{
    if (!window)
        return nullptr;
    if (overlayOfWindow(window)) {
        qWarning().noquote() << "Overlay already exists in window.  Doing nothing.  Fix this.";
        return nullptr;
    }
    auto& pool = overlayPool();
    auto free = std::find_if(pool.begin(), pool.end(),
                             [](const auto& overlay) { return overlay->parentWindow() == nullptr; });
    OVPromptModeNoticeWindow* overlay = nullptr;
    if (free != pool.end()) {
        overlay = free->get();
    } else {
        pool.push_back(std::make_unique<OVPromptModeNoticeWindow>(window->frame()));
        overlay = pool.back().get();
    }
    overlay->m_target = nullptr;
    overlay->m_singleClickAction.clear();
    overlay->m_doubleClickAction.clear();
    overlay->setFrame(window->frame(), true);
    const bool miniaturized = window->isMiniaturized();
    window->addChildWindow(overlay);
    overlay->setLevel(highestLevelOf(*window));
    overlay->m_parentWindowAnimationBehavior = window->animationBehavior();
    window->setAnimationBehavior(kNoAnimationBehavior);
    overlay->setParentWindow(window);
    // A minimised window shows no overlay: it appears over the window once the window is restored.
    if (miniaturized)
        overlay->orderOut();
    else
        overlay->orderFront();
    return overlay;
}

void OVPromptModeNoticeWindow::detach()
{
    Window* parent = parentWindow();
    setParentWindow(nullptr);
    if (parent) {
        parent->setAnimationBehavior(m_parentWindowAnimationBehavior);
        parent->removeChildWindow(this);
    }
    orderOut();
}

void OVPromptModeNoticeWindow::removeOverlaysFromWindow(Window* window)
{
    while (OVPromptModeNoticeWindow* overlay = overlayOfWindow(window))
        overlay->detach();
}

void OVPromptModeNoticeWindow::removeAllOverlays()
{
    for (const auto& overlay : overlayPool()) {
        if (overlay->parentWindow() || overlay->isVisible())
            overlay->detach();
    }
}

void OVPromptModeNoticeWindow::setParentWindow(Window* parent)
{
    m_parentObservers.clear();
    if (!parent)
        return;
    NotificationCenter& center = NotificationCenter::shared();
    m_parentObservers.emplace_back(
        center, kWindowDidResizeNotification, parent,
        [this](const Notification& notification) { parentDidResize(notification); });
    m_parentObservers.emplace_back(
        center, kWindowDidMiniaturizeNotification, parent,
        [this](const Notification& notification) { parentDidMiniaturize(notification, true); });
    m_parentObservers.emplace_back(
        center, kWindowDidDeminiaturizeNotification, parent,
        [this](const Notification& notification) { parentDidMiniaturize(notification, false); });
}

void OVPromptModeNoticeWindow::parentDidResize(const Notification& notification)
{
    // A parent that went away left us; a new window at its address is not ours to follow.
    if (!parentWindow() || notification.object != parentWindow())
        return;
    setFrame(parentWindow()->frame(), true);
}

void OVPromptModeNoticeWindow::parentDidMiniaturize(const Notification& notification, bool miniaturized)
{
    if (!parentWindow() || notification.object != parentWindow())
        return;
    if (miniaturized) {
        orderOut();
        return;
    }
    setFrame(parentWindow()->frame(), false);
    orderFront();
}

void OVPromptModeNoticeWindow::mouseUp(Event& event)
{
    const bool defaultAction = !m_target && m_singleClickAction.isEmpty() && m_doubleClickAction.isEmpty();
    if (defaultAction) {
        if (event.clickCount == 1 && parentWindow())
            parentWindow()->miniaturize();
        return;
    }
    if (event.clickCount == 1)
        performClickAction(m_singleClickAction);
    else if (event.clickCount == 2)
        performClickAction(m_doubleClickAction);
}

void OVPromptModeNoticeWindow::performClickAction(const QString& action)
{
    if (action.isEmpty())
        return;
    Application& application = Application::shared();
    Responder* target = m_target ? m_target : application.targetForAction(action);
    if (!target || !target->respondsToAction(action)) {
        qWarning().noquote() << QStringLiteral("target %1 does not accept selector %2.  Fix this.")
                                    .arg(QString::asprintf("%p", static_cast<const void*>(target)), action);
        return;
    }
    target->performAction(action, QVariant());
}
