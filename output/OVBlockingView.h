#pragma once

#include "platform/appkit/View.h"

// A view that swallows every mouse, wheel and key event that reaches it, so nothing below it (a
// window's title bar in Prompt mode) can be used. Tablet input reaches views as mouse events here.
class OVBlockingView : public View {
public:
    explicit OVBlockingView(const Rect& frame = {});

    // Paints the view translucent red, to see where it blocks.
    bool drawDebugColor() const { return m_drawDebugColor; }
    void setDrawDebugColor(bool flag);

    void mouseDown(Event&) override {}
    void mouseDragged(Event&) override {}
    void mouseUp(Event&) override {}
    void rightMouseDown(Event&) override {}
    void rightMouseDragged(Event&) override {}
    void rightMouseUp(Event&) override {}
    void otherMouseDown(Event&) override {}
    void otherMouseDragged(Event&) override {}
    void otherMouseUp(Event&) override {}
    void mouseMoved(Event&) override {}
    void mouseEntered(Event&) override {}
    void mouseExited(Event&) override {}
    void scrollWheel(Event&) override {}
    void keyDown(Event&) override {}
    void keyUp(Event&) override {}
    void flagsChanged(Event&) override {}

    void drawRect(QPainter& painter, const Rect& dirtyRect) override;

private:
    bool m_drawDebugColor = false;
};
