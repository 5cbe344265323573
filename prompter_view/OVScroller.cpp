#include "prompter_view/OVScroller.h"

#include "platform/foundation/NotificationCenter.h"

OVScroller::OVScroller(Orientation orientation, const Rect& frame) : Scroller(orientation, frame) {}

void OVScroller::mouseDown(Event& event)
{
    // Announced before the click moves anything: a click in the track moves the knob at once.
    if (!knobRect().isEmpty() && !m_scrollingByMouse) {
        m_scrollingByMouse = true;
        NotificationCenter::shared().postNotification(OVScrollerWillBeginScrollingByMouseNotification, this);
    }
    Scroller::mouseDown(event);
    if (m_scrollingByMouse && !isTrackingKnob()) {
        m_scrollingByMouse = false;
        NotificationCenter::shared().postNotification(OVScrollerDidFinishScrollingByMouseNotification, this);
    }
}

void OVScroller::mouseUp(Event& event)
{
    Scroller::mouseUp(event);
    if (!m_scrollingByMouse)
        return;
    m_scrollingByMouse = false;
    NotificationCenter::shared().postNotification(OVScrollerDidFinishScrollingByMouseNotification, this);
}
