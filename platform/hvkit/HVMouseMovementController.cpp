#include "platform/hvkit/HVMouseMovementController.h"

#include "platform/appkit/Application.h"
#include "platform/appkit/GlobalCoordinates.h"
#include "platform/appkit/View.h"
#include "platform/appkit/Window.h"

#include <QCursor>
#include <QGuiApplication>

#include <cmath>

namespace {

// Global y-up coordinates, the same for every window.
Point screenLocation(const Event& event)
{
    return event.window ? event.window->convertPointToScreen(event.locationInWindow) : event.locationInWindow;
}

} // namespace

HVMouseMovementController::HVMouseMovementController(Block block) : m_block(std::move(block)) {}

HVMouseMovementController::~HVMouseMovementController()
{
    stop();
}

void HVMouseMovementController::start()
{
    if (isStarted())
        return;
    m_lastLocation.reset();
    unsigned long long mask = 0;
    for (Event::Type type : {Event::Type::MouseMoved, Event::Type::LeftMouseDragged,
                             Event::Type::RightMouseDragged, Event::Type::OtherMouseDragged})
        mask |= Application::maskForType(type);
    m_monitorToken = Application::shared().addLocalMonitorForEvents(mask, [this](Event& event) {
        mouseMoved(event);
        return true;
    });
    if (m_cursorLocation == kCursorLocationReferenceViewCenter && m_referenceView &&
        m_referenceView->window() && qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        const Rect bounds = m_referenceView->bounds();
        const Point centre{bounds.origin.x + bounds.size.width / 2, bounds.origin.y + bounds.size.height / 2};
        const Point global = m_referenceView->window()->convertPointToScreen(
            m_referenceView->convertPointToView(centre, nullptr));
        m_lastLocation = global;
        // Some window systems do not let a program move the pointer; the deltas work regardless.
        QCursor::setPos(qtPointFromGlobal(global).toPoint());
    }
}

void HVMouseMovementController::stop()
{
    if (!isStarted())
        return;
    Application::shared().removeMonitor(m_monitorToken);
    m_monitorToken = 0;
    m_lastLocation.reset();
}

void HVMouseMovementController::mouseMoved(const Event& event)
{
    const Point location = screenLocation(event);
    if (!std::isfinite(location.x) || !std::isfinite(location.y))
        return;
    const std::optional<Point> last = m_lastLocation;
    m_lastLocation = location;
    if (!last || !m_block)
        return;
    // y grows upwards, so moving down the screen lowers it.
    const double delta = last->y - location.y;
    if (delta != 0)
        m_block(delta);
}
