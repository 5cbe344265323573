#pragma once

#include "platform/appkit/Event.h"
#include "platform/appkit/Responder.h"

#include <QIcon>
#include <QString>
#include <QVariant>

#include <memory>

class Menu;

// One entry of a menu: a title and an action sent along the responder chain (or to a target), with a
// tag, a represented object, a key equivalent, a check state, a submenu, or a separator line. Whether
// it is enabled is decided by validation each time its menu opens.
class MenuItem {
public:
    enum State { Off = 0, On = 1, Mixed = -1 };

    explicit MenuItem(QString title = {}, QString action = {}, QString keyEquivalent = {});
    ~MenuItem();
    MenuItem(const MenuItem&) = delete;
    MenuItem& operator=(const MenuItem&) = delete;

    static std::unique_ptr<MenuItem> separatorItem();
    bool isSeparatorItem() const { return m_separator; }
    // A copy of everything but the submenu, which is copied item by item.
    std::unique_ptr<MenuItem> copy() const;

    const QString& title() const { return m_title; }
    void setTitle(const QString& title) { m_title = title; }
    // Rich text (a small HTML subset) shown instead of the title when set.
    const QString& styledTitle() const { return m_styledTitle; }
    void setStyledTitle(const QString& html) { m_styledTitle = html; }
    const QString& action() const { return m_action; }
    void setAction(const QString& action) { m_action = action; }
    // The object the action goes to; null sends it along the responder chain.
    Responder* target() const { return m_target; }
    void setTarget(Responder* target) { m_target = target; }
    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }
    const QVariant& representedObject() const { return m_representedObject; }
    void setRepresentedObject(const QVariant& object) { m_representedObject = object; }

    // A single character; an upper-case letter implies Shift. The mask holds the platform's modifier
    // flags (Command by default).
    const QString& keyEquivalent() const { return m_keyEquivalent; }
    void setKeyEquivalent(const QString& key) { m_keyEquivalent = key; }
    unsigned long keyEquivalentModifierMask() const { return m_modifierMask; }
    void setKeyEquivalentModifierMask(unsigned long mask)
    {
        m_modifierMask = mask & kDeviceIndependentModifierFlagsMask;
    }
    // Whether a key-down event presses this item's key equivalent.
    bool matchesKeyEquivalent(const Event& event) const;

    State state() const { return m_state; }
    void setState(State state) { m_state = state; }
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled) { m_enabled = enabled; }
    bool isHidden() const { return m_hidden; }
    void setHidden(bool hidden) { m_hidden = hidden; }
    // Shown instead of the item before it while its modifier mask is held.
    bool isAlternate() const { return m_alternate; }
    void setAlternate(bool alternate) { m_alternate = alternate; }
    int indentationLevel() const { return m_indentation; }
    void setIndentationLevel(int level) { m_indentation = qBound(0, level, 15); }
    const QString& toolTip() const { return m_toolTip; }
    void setToolTip(const QString& toolTip) { m_toolTip = toolTip; }
    const QIcon& image() const { return m_image; }
    void setImage(const QIcon& image) { m_image = image; }

    Menu* submenu() const { return m_submenu.get(); }
    void setSubmenu(std::unique_ptr<Menu> submenu);
    bool hasSubmenu() const { return m_submenu != nullptr; }
    // The menu holding the item.
    Menu* menu() const { return m_menu; }

    // What validation hears about the item.
    UserInterfaceItem userInterfaceItem() const { return {m_action, m_tag, true}; }

private:
    friend class Menu;

    QString m_title;
    QString m_styledTitle;
    QString m_action;
    Responder* m_target = nullptr;
    int m_tag = 0;
    QVariant m_representedObject;
    QString m_keyEquivalent;
    unsigned long m_modifierMask = kCommandKeyMask;
    State m_state = Off;
    bool m_enabled = true;
    bool m_hidden = false;
    bool m_alternate = false;
    bool m_separator = false;
    int m_indentation = 0;
    QString m_toolTip;
    QIcon m_image;
    std::unique_ptr<Menu> m_submenu;
    Menu* m_menu = nullptr;
};

Q_DECLARE_METATYPE(MenuItem*)
