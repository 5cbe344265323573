#pragma once

#include <QString>
#include <QVariant>

#include <functional>
#include <vector>

class Event;
class QInputMethodEvent;

// What a menu item, toolbar item or hot key asks about when it validates itself.
struct UserInterfaceItem {
    QString action;
    int tag = 0;
    bool isMenuItem = false;
};

// An object on the responder chain: it handles events or passes them on, and performs actions named
// by their selector strings ("toggleStatus:").
class Responder {
public:
    using ActionHandler = std::function<void(const QVariant& sender)>;
    using ActionValidator = std::function<bool(const UserInterfaceItem& item)>;

    Responder() = default;
    Responder(const Responder&) = delete;
    Responder& operator=(const Responder&) = delete;
    virtual ~Responder();

    Responder* nextResponder() const { return m_nextResponder; }
    virtual void setNextResponder(Responder* responder) { m_nextResponder = responder; }

    // Actions this responder answers; a validator, when given, decides whether the item is enabled.
    void setActionHandler(const QString& action, ActionHandler handler, ActionValidator validator = {});
    void removeActionHandler(const QString& action);

    virtual bool respondsToAction(const QString& action) const;
    // Performs the action when it responds to it; false otherwise.
    virtual bool performAction(const QString& action, const QVariant& sender);
    // Performs the action here or on the first next responder that responds to it.
    bool tryToPerform(const QString& action, const QVariant& sender);

    virtual bool validateUserInterfaceItem(const UserInterfaceItem& item) const;
    virtual bool validateMenuItem(const UserInterfaceItem& item) const
    {
        return validateUserInterfaceItem(item);
    }

    virtual bool acceptsFirstResponder() const { return false; }
    // Answer false to refuse the change.
    virtual bool becomeFirstResponder() { return true; }
    virtual bool resignFirstResponder() { return true; }

    // Events pass to the next responder unless a subclass handles them.
    virtual void keyDown(Event& event);
    virtual void keyUp(Event& event);
    virtual void flagsChanged(Event& event);
    virtual void mouseDown(Event& event);
    virtual void mouseDragged(Event& event);
    virtual void mouseUp(Event& event);
    virtual void rightMouseDown(Event& event);
    virtual void rightMouseDragged(Event& event);
    virtual void rightMouseUp(Event& event);
    virtual void otherMouseDown(Event& event);
    virtual void otherMouseDragged(Event& event);
    virtual void otherMouseUp(Event& event);
    virtual void mouseMoved(Event& event);
    virtual void mouseEntered(Event& event);
    virtual void mouseExited(Event& event);
    virtual void scrollWheel(Event& event);

    // Input methods (pre-edit and committed text of non-Latin scripts) reach the first responder
    // here; answer true when handled. Rectangles a query answers are in window coordinates.
    virtual bool inputMethodEvent(QInputMethodEvent&) { return false; }
    virtual QVariant inputMethodQuery(Qt::InputMethodQuery) const { return {}; }

    // Sends the event to the handler its type names.
    void dispatchEvent(Event& event);

private:
    struct ActionEntry {
        QString action;
        ActionHandler handler;
        ActionValidator validator;
    };
    const ActionEntry* entryFor(const QString& action) const;

    Responder* m_nextResponder = nullptr;
    std::vector<ActionEntry> m_actions;
};

Q_DECLARE_METATYPE(Responder*)
