#pragma once

#include "platform/foundation/Rect.h"

#include <QString>

class Responder;

// A region of a view that reports the pointer entering, moving in and leaving it to its owner.
struct TrackingArea {
    enum Option : unsigned {
        MouseEnteredAndExited = 0x01,
        MouseMoved = 0x02,
        CursorUpdate = 0x04,
        ActiveWhenFirstResponder = 0x10,
        ActiveInKeyWindow = 0x20,
        ActiveInActiveApp = 0x40,
        ActiveAlways = 0x80,
        AssumeInside = 0x100,
        InVisibleRect = 0x200,
        EnabledDuringMouseDrag = 0x400,
    };

    // In the view's bounds coordinates; ignored with InVisibleRect, which follows the visible rect.
    Rect rect;
    unsigned options = MouseEnteredAndExited | ActiveAlways;
    Responder* owner = nullptr;
    QString userInfo;
    // Set by the window while the pointer is inside.
    bool inside = false;
    int identifier = 0;
};
