#include "platform/appkit/UndoManager.h"

#include "platform/appkit/RunLoop.h"
#include "platform/foundation/NotificationCenter.h"

#include <QDebug>

UndoManager::UndoManager() : m_self(std::make_shared<UndoManager*>(this)) {}

UndoManager::~UndoManager()
{
    *m_self = nullptr;
}

std::vector<UndoManager::Group>& UndoManager::targetStack()
{
    return m_undoing ? m_redoStack : m_undoStack;
}

void UndoManager::post(const QString& name)
{
    NotificationCenter::shared().postNotification(name, this);
}

void UndoManager::registerUndo(const void* target, Action action)
{
    if (!isUndoRegistrationEnabled() || !action)
        return;
    if (m_open.empty()) {
        if (!m_groupsByEvent) {
            qWarning("UndoManager: registration outside a group while grouping by event is off");
            return;
        }
        beginUndoGrouping();
        m_open.back().automatic = true;
        if (!m_closePosted) {
            m_closePosted = true;
            std::weak_ptr<UndoManager*> self = m_self;
            RunLoop::postToMainThread([self] {
                if (auto manager = self.lock(); manager && *manager) {
                    (*manager)->m_closePosted = false;
                    (*manager)->closeAutomaticGroup();
                }
            });
        }
    }
    if (!m_undoing && !m_redoing)
        m_redoStack.clear();
    m_open.back().entries.push_back({target, std::move(action)});
    ++m_changeCount;
}

void UndoManager::beginUndoGrouping()
{
    if (m_open.empty())
        post(kUndoManagerCheckpointNotification);
    m_open.emplace_back();
    post(kUndoManagerDidOpenUndoGroupNotification);
}

void UndoManager::endUndoGrouping()
{
    if (m_open.empty()) {
        qWarning("UndoManager: endUndoGrouping without a matching beginUndoGrouping");
        return;
    }
    closeGroup();
}

void UndoManager::closeGroup()
{
    Group group = std::move(m_open.back());
    m_open.pop_back();
    post(kUndoManagerCheckpointNotification);
    if (!m_open.empty()) {
        // A nested group becomes part of the one around it; its name wins when the outer has none.
        Group& parent = m_open.back();
        for (Entry& entry : group.entries)
            parent.entries.push_back(std::move(entry));
        if (parent.actionName.isEmpty())
            parent.actionName = group.actionName;
    } else if (!group.entries.empty()) {
        m_lastClosedName = group.actionName;
        std::vector<Group>& stack = targetStack();
        stack.push_back(std::move(group));
        trim(stack);
    }
    post(kUndoManagerDidCloseUndoGroupNotification);
}

void UndoManager::closeAutomaticGroup()
{
    if (m_open.size() == 1 && m_open.front().automatic)
        closeGroup();
}

void UndoManager::trim(std::vector<Group>& stack)
{
    if (m_levels > 0 && qsizetype(stack.size()) > m_levels)
        stack.erase(stack.begin(), stack.begin() + (qsizetype(stack.size()) - m_levels));
}

void UndoManager::setLevelsOfUndo(int levels)
{
    m_levels = std::max(0, levels);
    trim(m_undoStack);
    trim(m_redoStack);
}

void UndoManager::enableUndoRegistration()
{
    if (m_disabled == 0) {
        qWarning("UndoManager: enableUndoRegistration without a matching disable");
        return;
    }
    --m_disabled;
}

bool UndoManager::canUndo() const
{
    if (!m_undoStack.empty())
        return true;
    return m_open.size() == 1 && m_open.front().automatic && !m_open.front().entries.empty();
}

bool UndoManager::canRedo() const
{
    return !m_redoStack.empty();
}

void UndoManager::runGroup(Group group, bool undoing)
{
    post(undoing ? kUndoManagerWillUndoChangeNotification : kUndoManagerWillRedoChangeNotification);
    (undoing ? m_undoing : m_redoing) = true;
    // The inverse calls registered now form one group on the other stack, under the same name.
    m_open.emplace_back();
    m_open.back().actionName = group.actionName;
    m_runningActionName = group.actionName;
    for (auto entry = group.entries.rbegin(); entry != group.entries.rend(); ++entry) {
        Action action = entry->action;
        action();
    }
    Group inverse = std::move(m_open.back());
    m_open.pop_back();
    inverse.actionName = group.actionName;
    if (!inverse.entries.empty()) {
        std::vector<Group>& stack = undoing ? m_redoStack : m_undoStack;
        stack.push_back(std::move(inverse));
        trim(stack);
    }
    (undoing ? m_undoing : m_redoing) = false;
    ++m_changeCount;
    post(undoing ? kUndoManagerDidUndoChangeNotification : kUndoManagerDidRedoChangeNotification);
}

void UndoManager::undo()
{
    if (m_undoing || m_redoing)
        return;
    if (m_groupsByEvent && m_open.size() == 1 && m_open.front().automatic)
        closeGroup();
    if (!m_open.empty()) {
        qWarning("UndoManager: undo with a group still open");
        return;
    }
    undoNestedGroup();
}

void UndoManager::undoNestedGroup()
{
    if (m_undoStack.empty() || m_undoing || m_redoing)
        return;
    Group group = std::move(m_undoStack.back());
    m_undoStack.pop_back();
    runGroup(std::move(group), true);
}

void UndoManager::redo()
{
    if (m_redoStack.empty() || m_undoing || m_redoing)
        return;
    if (m_groupsByEvent && m_open.size() == 1 && m_open.front().automatic)
        closeGroup();
    if (!m_open.empty()) {
        qWarning("UndoManager: redo with a group still open");
        return;
    }
    Group group = std::move(m_redoStack.back());
    m_redoStack.pop_back();
    runGroup(std::move(group), false);
}

void UndoManager::setActionName(const QString& name)
{
    if (!m_open.empty()) {
        m_open.front().actionName = name;
        return;
    }
    std::vector<Group>& stack = targetStack();
    if (!stack.empty())
        stack.back().actionName = name;
}

QString UndoManager::undoActionName() const
{
    if (m_open.size() == 1 && m_open.front().automatic && !m_open.front().entries.empty())
        return m_open.front().actionName;
    return m_undoStack.empty() ? QString() : m_undoStack.back().actionName;
}

QString UndoManager::redoActionName() const
{
    return m_redoStack.empty() ? QString() : m_redoStack.back().actionName;
}

QString UndoManager::undoMenuItemTitle() const
{
    const QString name = undoActionName();
    return name.isEmpty() ? QStringLiteral("Undo") : QStringLiteral("Undo %1").arg(name);
}

QString UndoManager::redoMenuItemTitle() const
{
    const QString name = redoActionName();
    return name.isEmpty() ? QStringLiteral("Redo") : QStringLiteral("Redo %1").arg(name);
}

void UndoManager::removeAllActions()
{
    m_undoStack.clear();
    m_redoStack.clear();
    for (Group& group : m_open)
        group.entries.clear();
    ++m_changeCount;
}

void UndoManager::removeAllActionsWithTarget(const void* target)
{
    auto strip = [target](std::vector<Group>& groups, bool dropEmpty) {
        for (Group& group : groups)
            std::erase_if(group.entries, [target](const Entry& entry) { return entry.target == target; });
        if (dropEmpty)
            std::erase_if(groups, [](const Group& group) { return group.entries.empty(); });
    };
    strip(m_undoStack, true);
    strip(m_redoStack, true);
    strip(m_open, false);
    ++m_changeCount;
}
