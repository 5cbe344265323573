#pragma once

#include "platform/appkit/Scroller.h"

#include <QString>

inline const QString OVScrollerWillBeginScrollingByMouseNotification =
    QStringLiteral("OVScrollerWillBeginScrollingByMouseNotification");
inline const QString OVScrollerDidFinishScrollingByMouseNotification =
    QStringLiteral("OVScrollerDidFinishScrollingByMouseNotification");

// The prompter's scroller: it announces knob drags, so the scroll engine pauses while the user drags.
class OVScroller : public Scroller {
public:
    explicit OVScroller(Orientation orientation, const Rect& frame = {});

    void mouseDown(Event& event) override;
    void mouseUp(Event& event) override;

private:
    bool m_scrollingByMouse = false;
};
