#pragma once

#include <QPoint>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class Event;
class MenuItem;
class QMenu;
class QMenuBar;
class QWidget;
class Responder;
class View;

class Menu;

// Told about a menu as it opens, so it can rebuild its items first.
class MenuDelegate {
public:
    virtual ~MenuDelegate() = default;
    virtual void menuNeedsUpdate(Menu& menu) { Q_UNUSED(menu); }
    virtual void menuWillOpen(Menu& menu) { Q_UNUSED(menu); }
    virtual void menuDidClose(Menu& menu) { Q_UNUSED(menu); }
    // The pointer or the keyboard moved the highlight onto item (nullptr: off every item).
    virtual void menuWillHighlightItem(Menu& menu, MenuItem* item)
    {
        Q_UNUSED(menu);
        Q_UNUSED(item);
    }
};

// A list of menu items, shown on Qt as a QMenu rebuilt each time it opens: the delegate rebuilds
// items, validation along the responder chain enables them, and alternates are chosen by the
// modifier keys held at that moment (and while the menu stays open). The main menu becomes a menu bar;
// any menu can pop up as a context menu. Key equivalents are matched here, so every window shares them.
class Menu {
public:
    explicit Menu(QString title = {});
    ~Menu();
    Menu(const Menu&) = delete;
    Menu& operator=(const Menu&) = delete;

    const QString& title() const { return m_title; }
    void setTitle(const QString& title) { m_title = title; }
    Menu* supermenu() const { return m_supermenu; }
    MenuDelegate* delegate() const { return m_delegate; }
    void setDelegate(MenuDelegate* delegate) { m_delegate = delegate; }
    // When on (the default), opening the menu validates every item; off leaves isEnabled as set.
    bool autoenablesItems() const { return m_autoenablesItems; }
    void setAutoenablesItems(bool flag) { m_autoenablesItems = flag; }

    // Items.
    int numberOfItems() const { return int(m_items.size()); }
    MenuItem* itemAtIndex(int index) const;
    std::vector<MenuItem*> items() const;
    MenuItem* addItem(std::unique_ptr<MenuItem> item);
    MenuItem* addItemWithTitle(const QString& title, const QString& action,
                               const QString& keyEquivalent = {});
    // A separator unless the menu is empty or already ends in one.
    void addSeparatorIfNeeded();
    // An index out of range appends.
    MenuItem* insertItem(std::unique_ptr<MenuItem> item, int index);
    std::unique_ptr<MenuItem> removeItemAtIndex(int index);
    std::unique_ptr<MenuItem> removeItem(MenuItem* item);
    void removeAllItems();
    int indexOfItem(const MenuItem* item) const;
    int indexOfItemWithTag(int tag) const;
    MenuItem* itemWithTag(int tag) const;
    MenuItem* itemWithTitle(const QString& title) const;
    // Searches submenus too, depth first.
    MenuItem* itemWithAction(const QString& action) const;

    // Validation: an item with an action is enabled when its target (or, without one, the first
    // responder along the chain that answers the action) validates it; an item without an action is
    // enabled only when it has a submenu.
    void update();
    static bool validate(const MenuItem& item);
    // What the menu shows with these modifier flags held: hidden items left out, each alternate in
    // place of the item before it when all its modifiers are held.
    std::vector<MenuItem*> displayedItems(unsigned long modifierFlags) const;
    // The delegate's rebuild, then validation: what happens as the menu opens.
    void prepareToOpen();

    // Sends the item's action as choosing it would; false when it is disabled or nobody answers.
    bool performActionForItem(MenuItem* item);
    // Finds an enabled item in the menu or its submenus whose key equivalent the key-down event
    // presses and performs it; true when one did.
    bool performKeyEquivalent(const Event& event);
    // The item of the menu or its submenus whose key equivalent the event presses, whether enabled
    // or not; null when none.
    MenuItem* itemForKeyEquivalent(const Event& event) const;

    // Qt. The QMenu belongs to the menu and is rebuilt on every opening.
    QMenu* qMenu();
    // A menu bar whose menus are the submenus of this menu's items; the parent owns it.
    QMenuBar* makeMenuBar(QWidget* parent);
    // Shows the menu at a global Qt position; the default asks Qt for the pointer's position.
    void popUpContextMenu(const QPoint& globalPosition);
    void popUpContextMenu(const Event& event, View* view);

    // The application's main menu; the menu is not owned.
    static Menu* mainMenu();
    static void setMainMenu(Menu* menu);
    // Lets the main menu's key equivalents act from every window of the program that is not a sheet:
    // a key-down event that one of them takes goes no further. Keys typed into a sheet or into a
    // dialog, alert or panel that is not one of the program's windows act there or nowhere.
    // Answers the monitor's token (Application::removeMonitor).
    static int installKeyEquivalentMonitor();
    // Whether a key-down event belongs to a sheet or to a dialog, alert or panel that is not one of
    // the program's windows, where the main menu's key equivalents must not act.
    static bool isKeyForADialog(const Event& event);

    // Where the modifier flags held when a menu opens come from; tests install their own.
    static void setModifierFlagsProvider(std::function<unsigned long()> provider);
    static unsigned long currentModifierFlags();

private:
    class OpenFilter;
    void rebuildQMenu(unsigned long modifierFlags);
    void adopt(MenuItem& item);
    bool contains(const MenuItem* item) const;

    QString m_title;
    std::vector<std::unique_ptr<MenuItem>> m_items;
    Menu* m_supermenu = nullptr;
    MenuDelegate* m_delegate = nullptr;
    bool m_autoenablesItems = true;
    std::unique_ptr<QMenu> m_qMenu;
    std::unique_ptr<OpenFilter> m_openFilter;
    unsigned long m_shownModifiers = 0;
};
