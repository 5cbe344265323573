// A window's part in the event flow: key and main status, the first responder, and the routing of
// events to its views, with the tracking areas and cursors the pointer crosses.
#include "platform/appkit/Window.h"

#include "platform/appkit/AppKitNotifications.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/Cursor.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/View.h"
#include "platform/appkit/WindowHost.h"
#include "platform/foundation/NotificationCenter.h"

bool Window::canBecomeKeyWindow() const
{
    return (m_styleMask & Titled) || isSheet();
}

bool Window::canBecomeMainWindow() const
{
    return (m_styleMask & Titled) && !isSheet();
}

bool Window::isKeyWindow() const
{
    return Application::shared().keyWindow() == this;
}

bool Window::isMainWindow() const
{
    return Application::shared().mainWindow() == this;
}

void Window::makeKeyWindow()
{
    if (!canBecomeKeyWindow())
        return;
    Application::shared().setKeyWindow(this);
    if (m_host->isVisible())
        m_host->activateWindow();
}

void Window::makeMainWindow()
{
    if (canBecomeMainWindow())
        Application::shared().setMainWindow(this);
}

bool Window::makeFirstResponder(Responder* responder)
{
    if (!responder)
        responder = this;
    if (responder == m_firstResponder)
        return true;
    if (responder != this && !responder->acceptsFirstResponder())
        return false;
    if (m_firstResponder && !m_firstResponder->resignFirstResponder())
        return false;
    if (!responder->becomeFirstResponder()) {
        m_firstResponder = this;
        return false;
    }
    m_firstResponder = responder;
    NotificationCenter::shared().postNotification(kWindowDidChangeFirstResponderNotification, this);
    return true;
}

void Window::setWindowController(Responder* controller)
{
    m_windowController = controller;
    setNextResponder(controller);
}

void Window::sendEvent(Event& event)
{
    event.window = this;
    const Application::CurrentEventScope current(event);
    switch (event.type) {
    case Event::Type::KeyDown:
    case Event::Type::KeyUp:
    case Event::Type::FlagsChanged:
        m_firstResponder->dispatchEvent(event);
        return;
    case Event::Type::LeftMouseDown:
    case Event::Type::RightMouseDown:
    case Event::Type::OtherMouseDown: {
        View* hit = m_contentView ? m_contentView->hitTest(event.locationInWindow) : nullptr;
        m_mouseDownView = hit;
        if (!hit)
            return;
        if (event.type == Event::Type::LeftMouseDown && hit->acceptsFirstResponder())
            makeFirstResponder(hit);
        hit->dispatchEvent(event);
        return;
    }
    case Event::Type::LeftMouseDragged:
    case Event::Type::RightMouseDragged:
    case Event::Type::OtherMouseDragged:
        updateTracking(event);
        if (m_mouseDownView)
            m_mouseDownView->dispatchEvent(event);
        return;
    case Event::Type::LeftMouseUp:
    case Event::Type::RightMouseUp:
    case Event::Type::OtherMouseUp:
        if (View* view = m_mouseDownView) {
            m_mouseDownView = nullptr;
            view->dispatchEvent(event);
        }
        return;
    case Event::Type::MouseMoved:
        updateTracking(event);
        updateCursor(event.locationInWindow);
        if (m_acceptsMouseMovedEvents)
            m_firstResponder->mouseMoved(event);
        return;
    case Event::Type::ScrollWheel:
        if (View* hit = m_contentView ? m_contentView->hitTest(event.locationInWindow) : nullptr)
            hit->scrollWheel(event);
        return;
    case Event::Type::MouseEntered:
    case Event::Type::MouseExited:
        return;
    }
}

void Window::updateTracking(const Event& event)
{
    if (m_contentView)
        updateTrackingIn(m_contentView.get(), event);
}

void Window::updateTrackingIn(View* view, const Event& event)
{
    const bool dragging = event.type != Event::Type::MouseMoved;
    const bool visible = !view->isHiddenOrHasHiddenAncestor();
    for (TrackingArea& area : view->trackingAreas()) {
        if (dragging && !(area.options & TrackingArea::EnabledDuringMouseDrag))
            continue;
        const Rect local = (area.options & TrackingArea::InVisibleRect) ? view->visibleRect() : area.rect;
        const Rect inWindow = view->convertRectToView(local, nullptr);
        const bool inside = visible && inWindow.contains(event.locationInWindow);
        Responder* owner = area.owner ? area.owner : view;
        if (inside != area.inside && (area.options & TrackingArea::MouseEnteredAndExited)) {
            area.inside = inside;
            Event crossing = event;
            crossing.type = inside ? Event::Type::MouseEntered : Event::Type::MouseExited;
            crossing.trackingUserInfo = area.userInfo;
            if (inside)
                owner->mouseEntered(crossing);
            else
                owner->mouseExited(crossing);
        }
        area.inside = inside;
        if (inside && !dragging && (area.options & TrackingArea::MouseMoved) && owner != m_firstResponder) {
            Event moved = event;
            owner->mouseMoved(moved);
        }
    }
    for (const auto& subview : view->subviews())
        updateTrackingIn(subview.get(), event);
}

void Window::updateCursor(const Point& location)
{
    const Cursor* found = m_contentView ? cursorAt(m_contentView.get(), location) : nullptr;
    if (found)
        m_host->setCursor(found->shape());
    else
        m_host->unsetCursor();
}

const Cursor* Window::cursorAt(const View* view, const Point& location) const
{
    if (view->isHidden())
        return nullptr;
    // Later subviews lie above earlier ones and above their superview, so the last match wins.
    const Cursor* found = nullptr;
    for (const View::CursorRect& cursorRect : view->cursorRects()) {
        if (view->convertRectToView(cursorRect.rect, nullptr).contains(location))
            found = &cursorRect.cursor;
    }
    for (const auto& subview : view->subviews()) {
        if (const Cursor* inSubview = cursorAt(subview.get(), location))
            found = inSubview;
    }
    return found;
}

bool Window::performKeyEquivalent(const Event& event)
{
    if (m_contentView && m_contentView->performKeyEquivalent(event))
        return true;
    for (Window* child : m_childWindows) {
        if (child->isVisible() && child->contentView() && child->contentView()->performKeyEquivalent(event))
            return true;
    }
    return false;
}

void Window::forgetView(View* view)
{
    auto within = [view](Responder* responder) {
        auto* asView = dynamic_cast<View*>(responder);
        return asView && asView->isDescendantOf(view);
    };
    if (within(m_firstResponder))
        m_firstResponder = this;
    if (m_mouseDownView && m_mouseDownView->isDescendantOf(view))
        m_mouseDownView = nullptr;
}
