#include "platform/appkit/Cursor.h"

#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QObject>

#include <vector>

namespace {

// Qt keeps the override-cursor stack; we mirror it so the shown cursor is always derivable from our
// state (blank while hidden) and re-applied whenever that state changes.
struct CursorState {
    std::vector<Qt::CursorShape> stack;
    int hideCount = 0;
    bool hiddenUntilMoved = false;
    bool overrideInstalled = false;
};

CursorState& state()
{
    static CursorState s;
    return s;
}

class MoveWatcher : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::MouseMove && state().hiddenUntilMoved)
            Cursor::mouseDidMove();
        return false;
    }
};

void ensureMoveWatcher()
{
    static MoveWatcher* watcher = nullptr;
    if (watcher || !QCoreApplication::instance())
        return;
    watcher = new MoveWatcher;
    watcher->setParent(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(watcher);
}

void apply()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return;
    CursorState& s = state();
    const bool hidden = s.hideCount > 0 || s.hiddenUntilMoved;
    const bool wantOverride = hidden || !s.stack.empty();
    if (!wantOverride) {
        if (s.overrideInstalled)
            QGuiApplication::restoreOverrideCursor();
        s.overrideInstalled = false;
        return;
    }
    const Qt::CursorShape shape = hidden ? Qt::BlankCursor : s.stack.back();
    if (s.overrideInstalled)
        QGuiApplication::changeOverrideCursor(QCursor(shape));
    else
        QGuiApplication::setOverrideCursor(QCursor(shape));
    s.overrideInstalled = true;
}

} // namespace

void Cursor::set() const
{
    CursorState& s = state();
    if (s.stack.empty())
        s.stack.push_back(m_shape);
    else
        s.stack.back() = m_shape;
    apply();
}

void Cursor::push() const
{
    state().stack.push_back(m_shape);
    apply();
}

void Cursor::pop()
{
    CursorState& s = state();
    if (s.stack.empty())
        return;
    s.stack.pop_back();
    apply();
}

Cursor Cursor::currentCursor()
{
    const CursorState& s = state();
    return s.stack.empty() ? arrowCursor() : Cursor(s.stack.back());
}

int Cursor::stackDepth()
{
    return int(state().stack.size());
}

void Cursor::hide()
{
    ++state().hideCount;
    apply();
}

void Cursor::unhide()
{
    CursorState& s = state();
    if (s.hideCount > 0)
        --s.hideCount;
    apply();
}

void Cursor::setHiddenUntilMouseMoves(bool flag)
{
    ensureMoveWatcher();
    state().hiddenUntilMoved = flag;
    apply();
}

bool Cursor::isHidden()
{
    const CursorState& s = state();
    return s.hideCount > 0 || s.hiddenUntilMoved;
}

bool Cursor::isHiddenUntilMouseMoves()
{
    return state().hiddenUntilMoved;
}

void Cursor::mouseDidMove()
{
    CursorState& s = state();
    if (!s.hiddenUntilMoved)
        return;
    s.hiddenUntilMoved = false;
    apply();
}
