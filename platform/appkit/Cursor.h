#pragma once

#include <Qt>

// A pointer shape and the process-wide cursor state: set, push and pop, hide and unhide (counted), and
// hidden until the pointer next moves.
class Cursor {
public:
    Cursor() = default;
    explicit Cursor(Qt::CursorShape shape) : m_shape(shape) {}

    static Cursor arrowCursor() { return Cursor(Qt::ArrowCursor); }
    static Cursor iBeamCursor() { return Cursor(Qt::IBeamCursor); }
    static Cursor pointingHandCursor() { return Cursor(Qt::PointingHandCursor); }
    static Cursor openHandCursor() { return Cursor(Qt::OpenHandCursor); }
    static Cursor closedHandCursor() { return Cursor(Qt::ClosedHandCursor); }
    static Cursor crosshairCursor() { return Cursor(Qt::CrossCursor); }
    static Cursor resizeUpDownCursor() { return Cursor(Qt::SizeVerCursor); }
    static Cursor resizeLeftRightCursor() { return Cursor(Qt::SizeHorCursor); }

    Qt::CursorShape shape() const { return m_shape; }
    bool operator==(const Cursor&) const = default;

    // Makes this the current cursor, replacing the top of the stack.
    void set() const;
    void push() const;
    static void pop();
    static Cursor currentCursor();
    static int stackDepth();

    // Hides are counted: the pointer shows again after as many unhides.
    static void hide();
    static void unhide();
    // Hides the pointer until the mouse next moves (or until called with false).
    static void setHiddenUntilMouseMoves(bool flag);
    static bool isHidden();
    static bool isHiddenUntilMouseMoves();

    // Called by the platform layer for every pointer movement it sees.
    static void mouseDidMove();

private:
    Qt::CursorShape m_shape = Qt::ArrowCursor;
};
