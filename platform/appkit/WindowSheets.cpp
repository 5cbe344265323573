// The windows that hang from a window: child windows, which stay above (or below) it and move with it,
// and window-modal sheets; and the modality that lets a window block the others.
#include "platform/appkit/Window.h"

#include "platform/appkit/AppKitLog.h"
#include "platform/appkit/AppKitNotifications.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/WindowHost.h"
#include "platform/foundation/NotificationCenter.h"

#include <QWindow>

#include <algorithm>

void Window::setHostModality(Qt::WindowModality modality)
{
    if (m_host->windowModality() == modality)
        return;
    if (!m_host->isVisible()) {
        m_host->setWindowModality(modality);
        return;
    }
    // Qt lists a modal window as it is shown and forgets it only when it is hidden while still
    // modal: a shown window made modeless in place would go on blocking every other window, and
    // Qt's list would point at it after it is gone.
    hideAndShowHost([this, modality] { m_host->setWindowModality(modality); });
}

void Window::addChildWindow(Window* child)
{
    if (!child || child == this || child->m_parentWindow == this)
        return;
    if (child->m_parentWindow)
        child->m_parentWindow->removeChildWindow(child);
    child->m_parentWindow = this;
    m_childWindows.push_back(child);
    m_host->winId();
    child->m_host->winId();
    if (QWindow* handle = child->m_host->windowHandle())
        handle->setTransientParent(m_host->windowHandle());
    if (m_visible)
        child->orderFront();
}

void Window::addChildWindowBelow(Window* child)
{
    addChildWindow(child);
    if (!child || child->m_parentWindow != this || !m_visible)
        return;
    if (!child->m_visible)
        child->orderFront();
    // Qt stacks top-level windows only by raising them: the parent goes back on top.
    orderFront();
    child->stackBelow(*this);
}

void Window::removeChildWindow(Window* child)
{
    auto it = std::find(m_childWindows.begin(), m_childWindows.end(), child);
    if (it == m_childWindows.end())
        return;
    m_childWindows.erase(it);
    child->m_parentWindow = nullptr;
    if (QWindow* handle = child->m_host->windowHandle())
        handle->setTransientParent(nullptr);
}

void Window::beginSheet(Window* sheet, std::function<void(int)> completion)
{
    if (!sheet || sheet == this || m_attachedSheet || sheet->m_sheetParent) {
        qCWarning(lcAppKit) << "Window: cannot begin this sheet";
        return;
    }
    // Observers may still move this window (onto the operator's screen) before the sheet hangs from it.
    NotificationCenter::shared().postNotification(kWindowWillBeginSheetNotification, this);
    m_attachedSheet = sheet;
    sheet->m_sheetParent = this;
    sheet->m_sheetCompletion = std::move(completion);
    // A sheet hangs from the top of its parent, centred.
    const Rect sheetFrame{
        {m_frame.midX() - sheet->m_frame.size.width / 2, m_frame.maxY() - sheet->m_frame.size.height},
        sheet->m_frame.size};
    sheet->applyQtFlags();
    sheet->m_host->setWindowModality(Qt::WindowModal);
    sheet->setFrame(sheetFrame, false);
    // Window modality blocks the transient parent; both need native windows to be linked.
    m_host->winId();
    sheet->m_host->winId();
    if (QWindow* handle = sheet->m_host->windowHandle())
        handle->setTransientParent(m_host->windowHandle());
    sheet->m_visible = true;
    sheet->m_host->show();
    Application::shared().windowOrderChanged(sheet, Application::OrderChange::Front);
    sheet->makeKeyWindow();
}

void Window::endSheet(Window* sheet, int returnCode)
{
    if (!sheet || sheet != m_attachedSheet)
        return;
    m_attachedSheet = nullptr;
    sheet->m_sheetParent = nullptr;
    sheet->orderOut();
    sheet->m_host->setWindowModality(Qt::NonModal);
    sheet->applyQtFlags();
    if (Application::shared().keyWindow() == sheet)
        makeKeyWindow();
    NotificationCenter::shared().postNotification(kWindowDidEndSheetNotification, this);
    std::function<void(int)> completion = std::move(sheet->m_sheetCompletion);
    sheet->m_sheetCompletion = nullptr;
    if (completion)
        completion(returnCode);
}
