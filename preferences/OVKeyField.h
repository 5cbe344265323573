#pragma once

#include "platform/foundation/UserDefaults.h"

#include <QLineEdit>

class OVKeyGroup;

// A field that captures one key press as the hot-key code the input controller compares, and
// keeps it in a user-defaults key. A click selects everything, so the next key replaces it; a
// character key gives its character (a lower-case letter upper-cased), the navigation and control
// keys their codes; Shift-Tab moves the focus back. There is no context menu, no clipboard, no
// drag and drop and no spelling. Without a group the field is disabled.
class OVKeyField : public QLineEdit {
public:
    explicit OVKeyField(QWidget* parent = nullptr);
    ~OVKeyField() override;

    OVKeyGroup* keyGroup() const { return m_keyGroup; }
    // Once only; a second group is refused with a log line.
    void setKeyGroup(OVKeyGroup* group);

    const QString& userInfoKey() const { return m_userInfoKey; }
    // Shows the key's value and stores every code taken from now on.
    void bindToDefaultsControllerWithUserInfoKey(const QString& key,
                                                 UserDefaults& defaults = UserDefaults::shared());

    unsigned short representedObject() const { return m_representedObject; }
    // Stores the code in the bound key too, and shows it.
    void setRepresentedObject(unsigned short code);

    // A code the keyboard gave: taken and the focus moved on when the group permits it, else
    // refused with a beep and the group's delegate told.
    void _attemptToSetRepresentedObject(unsigned short code);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void updateText();
    void offerTypedText(const QString& text);
    unsigned short storedCode() const;

    OVKeyGroup* m_keyGroup = nullptr;
    QString m_userInfoKey;
    unsigned short m_representedObject = 0;
    UserDefaults* m_defaults = nullptr;
    UserDefaults::ObserverToken m_observer{};
    bool m_observing = false;
};
