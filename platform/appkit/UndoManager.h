#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <vector>

// Posted on the shared notification centre with the undo manager as object.
inline const QString kUndoManagerCheckpointNotification =
    QStringLiteral("NSUndoManagerCheckpointNotification");
inline const QString kUndoManagerWillUndoChangeNotification =
    QStringLiteral("NSUndoManagerWillUndoChangeNotification");
inline const QString kUndoManagerDidUndoChangeNotification =
    QStringLiteral("NSUndoManagerDidUndoChangeNotification");
inline const QString kUndoManagerWillRedoChangeNotification =
    QStringLiteral("NSUndoManagerWillRedoChangeNotification");
inline const QString kUndoManagerDidRedoChangeNotification =
    QStringLiteral("NSUndoManagerDidRedoChangeNotification");
inline const QString kUndoManagerDidOpenUndoGroupNotification =
    QStringLiteral("NSUndoManagerDidOpenUndoGroupNotification");
inline const QString kUndoManagerDidCloseUndoGroupNotification =
    QStringLiteral("NSUndoManagerDidCloseUndoGroupNotification");

// Undo as the platform models it: a change registers the call that reverses it, with the object it
// concerns as target. Calls registered while undoing go on the redo stack, so undoing an undo redoes.
// Calls are gathered into groups: explicit ones (begin/end) and, when groupsByEvent is on, one
// automatic group per pass of the event loop, opened by the first registration and closed when the
// loop comes round again (or by undo, which closes it first).
class UndoManager {
public:
    using Action = std::function<void()>;

    UndoManager();
    UndoManager(const UndoManager&) = delete;
    UndoManager& operator=(const UndoManager&) = delete;
    ~UndoManager();

    // Registers the inverse of a change. Ignored while registration is disabled. Outside undo and redo
    // it clears the redo stack.
    void registerUndo(const void* target, Action action);

    void beginUndoGrouping();
    // Unbalanced calls are refused and logged.
    void endUndoGrouping();
    int groupingLevel() const { return int(m_open.size()); }
    bool groupsByEvent() const { return m_groupsByEvent; }
    void setGroupsByEvent(bool flag) { m_groupsByEvent = flag; }
    // Closes the automatic group now, as the event loop would.
    void closeAutomaticGroup();

    bool canUndo() const;
    bool canRedo() const;
    // Closes an open automatic group, then reverses the last group.
    void undo();
    void redo();
    // Reverses the last group inside the open explicit group.
    void undoNestedGroup();
    bool isUndoing() const { return m_undoing; }
    bool isRedoing() const { return m_redoing; }

    // The name of the group being built (or the last one closed when none is open).
    void setActionName(const QString& name);
    QString undoActionName() const;
    QString redoActionName() const;
    // While undoing or redoing: the name of the group being run, which has left its stack by then.
    QString runningActionName() const { return m_undoing || m_redoing ? m_runningActionName : QString(); }
    // "Undo Typing", or "Undo" without a name, as the Edit menu shows it.
    QString undoMenuItemTitle() const;
    QString redoMenuItemTitle() const;

    // How many groups are kept; 0 keeps all.
    int levelsOfUndo() const { return m_levels; }
    void setLevelsOfUndo(int levels);

    // Registration is off while the count is above 0.
    void disableUndoRegistration() { ++m_disabled; }
    void enableUndoRegistration();
    bool isUndoRegistrationEnabled() const { return m_disabled == 0; }

    void removeAllActions();
    // Drops every call registered with target; groups left empty disappear.
    void removeAllActionsWithTarget(const void* target);

    qsizetype undoCount() const { return qsizetype(m_undoStack.size()); }
    qsizetype redoCount() const { return qsizetype(m_redoStack.size()); }
    // Grows with every registration, undo and redo, so a caller can tell whether anything happened
    // since it last looked (typing coalescing does).
    quint64 changeCount() const { return m_changeCount; }

private:
    struct Entry {
        const void* target;
        Action action;
    };
    struct Group {
        std::vector<Entry> entries;
        QString actionName;
        bool automatic = false;
    };

    std::vector<Group>& targetStack();
    void closeGroup();
    void trim(std::vector<Group>& stack);
    void runGroup(Group group, bool undoing);
    void post(const QString& name);

    std::vector<Group> m_undoStack;
    std::vector<Group> m_redoStack;
    std::vector<Group> m_open;
    QString m_lastClosedName;
    int m_levels = 0;
    int m_disabled = 0;
    bool m_groupsByEvent = true;
    QString m_runningActionName;
    bool m_undoing = false;
    bool m_redoing = false;
    bool m_closePosted = false;
    quint64 m_changeCount = 0;
    // Lets a posted close tell whether this manager still exists.
    std::shared_ptr<UndoManager*> m_self;
};
