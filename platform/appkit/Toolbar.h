#pragma once

#include "platform/foundation/PlistValue.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class Menu;
class QToolBar;
class QToolButton;
class QWidget;
class Toolbar;
class ToolbarItem;
class UserDefaults;

// Identifiers of the items every toolbar makes by itself.
inline const QString kToolbarSpaceItemIdentifier = QStringLiteral("NSToolbarSpaceItem");
inline const QString kToolbarFlexibleSpaceItemIdentifier = QStringLiteral("NSToolbarFlexibleSpaceItem");
inline const QString kToolbarSeparatorItemIdentifier = QStringLiteral("NSToolbarSeparatorItem");
inline const QString kToolbarShowColorsItemIdentifier = QStringLiteral("NSToolbarShowColorsItem");
inline const QString kToolbarShowFontsItemIdentifier = QStringLiteral("NSToolbarShowFontsItem");
inline const QString kToolbarPrintItemIdentifier = QStringLiteral("NSToolbarPrintItem");

// Makes the items of a toolbar and says which may appear and in which order by default.
class ToolbarDelegate {
public:
    virtual ~ToolbarDelegate() = default;
    // Null when the identifier is unknown; the item is then left out.
    virtual std::unique_ptr<ToolbarItem> itemForItemIdentifier(Toolbar& toolbar, const QString& identifier,
                                                               bool willBeInsertedIntoToolbar) = 0;
    virtual QStringList allowedItemIdentifiers(Toolbar& toolbar) = 0;
    virtual QStringList defaultItemIdentifiers(Toolbar& toolbar) = 0;
    virtual void toolbarWillAddItem(Toolbar& toolbar, ToolbarItem& item)
    {
        Q_UNUSED(toolbar);
        Q_UNUSED(item);
    }
    virtual void toolbarDidRemoveItem(Toolbar& toolbar, ToolbarItem& item)
    {
        Q_UNUSED(toolbar);
        Q_UNUSED(item);
    }
};

// A window's toolbar, named by an identifier: its items in order, whether it shows, how items show
// (icon, label or both) and at which size. With autosaving on, its configuration is stored in the
// user defaults under "NSToolbar Configuration <identifier>" after every change and restored when
// the delegate is set. Shown on Qt as a QToolBar kept in step with the items.
class Toolbar {
public:
    enum class DisplayMode { Default = 0, IconAndLabel = 1, IconOnly = 2, LabelOnly = 3 };
    enum class SizeMode { Default = 0, Regular = 1, Small = 2 };
    enum class Change { Items, Visibility, DisplayMode, SizeMode };

    explicit Toolbar(QString identifier);
    ~Toolbar();
    Toolbar(const Toolbar&) = delete;
    Toolbar& operator=(const Toolbar&) = delete;

    const QString& identifier() const { return m_identifier; }
    ToolbarDelegate* delegate() const { return m_delegate; }
    // Fills the toolbar: the saved configuration when autosaving and one is stored, else the defaults.
    void setDelegate(ToolbarDelegate* delegate);

    std::vector<ToolbarItem*> items() const;
    QStringList itemIdentifiers() const;
    ToolbarItem* itemWithIdentifier(const QString& identifier) const;
    // Inserts a new item made by the delegate (or the toolbar, for the standard ones) at index; an
    // index out of range appends. False when the identifier is not allowed or no item was made.
    bool insertItemWithItemIdentifier(const QString& identifier, int index);
    void removeItemAtIndex(int index);
    QStringList allowedItemIdentifiers();
    QStringList defaultItemIdentifiers();

    bool isVisible() const { return m_visible; }
    void setVisible(bool visible);
    DisplayMode displayMode() const { return m_displayMode; }
    void setDisplayMode(DisplayMode mode);
    SizeMode sizeMode() const { return m_sizeMode; }
    void setSizeMode(SizeMode mode);
    bool allowsUserCustomization() const { return m_allowsUserCustomization; }
    void setAllowsUserCustomization(bool flag) { m_allowsUserCustomization = flag; }

    // Configuration.
    bool autosavesConfiguration() const { return m_autosaves; }
    void setAutosavesConfiguration(bool flag);
    // While suspended, changes are not saved; the stored configuration stays as it was.
    void setAutosavingSuspended(bool suspended) { m_autosavingSuspended = suspended; }
    bool isAutosavingSuspended() const { return m_autosavingSuspended; }
    PlistDictionary configurationDictionary() const;
    // Applies a stored configuration; identifiers that are no longer allowed are left out, and values
    // of the wrong type are ignored.
    void setConfigurationFromDictionary(const PlistDictionary& configuration);
    QString configurationKey() const { return QStringLiteral("NSToolbar Configuration ") + m_identifier; }
    // The defaults the configuration lives in; the shared ones unless set.
    void setUserDefaults(UserDefaults* defaults) { m_defaults = defaults; }

    // Validates every item; the application calls it after events that may change what is possible.
    void validateVisibleItems();

    // Told after each change of items, visibility, display or size mode.
    void setChangeHandler(std::function<void(Toolbar&, Change)> handler)
    {
        m_changeHandler = std::move(handler);
    }

    // The QToolBar standing for the toolbar. A window may hold it in its layout, but it lives only as
    // long as the toolbar.
    QToolBar* qToolBar();
    // The widget that shows the item in the QToolBar (a button, or the holder of the item's view);
    // null when the item is not shown.
    QWidget* widgetForItem(const ToolbarItem* item);

    // When the bar is narrower than its items, the lowest visibility priority (the last of equals
    // first) leave it; they show as their menu forms in the overflow menu, opened by the extension
    // button ("»") at the bar's right end. The items left out, in toolbar order, spaces not counted.
    std::vector<ToolbarItem*> overflowItems();
    Menu& overflowMenu();
    QToolButton* extensionButton();

private:
    friend class ToolbarItem;
    class Mirror;
    void itemDidChange(ToolbarItem& item);
    std::unique_ptr<ToolbarItem> makeItem(const QString& identifier, bool willBeInserted);
    void setItems(const QStringList& identifiers);
    void changed(Change change);
    UserDefaults& defaults() const;

    QString m_identifier;
    ToolbarDelegate* m_delegate = nullptr;
    std::vector<std::unique_ptr<ToolbarItem>> m_items;
    bool m_visible = true;
    DisplayMode m_displayMode = DisplayMode::Default;
    SizeMode m_sizeMode = SizeMode::Default;
    bool m_allowsUserCustomization = false;
    bool m_autosaves = false;
    bool m_restoring = false;
    bool m_autosavingSuspended = false;
    UserDefaults* m_defaults = nullptr;
    std::function<void(Toolbar&, Change)> m_changeHandler;
    std::unique_ptr<Mirror> m_mirror;
};
