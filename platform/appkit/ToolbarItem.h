#pragma once

#include "platform/appkit/Responder.h"
#include "platform/foundation/Size.h"

#include <QIcon>
#include <QMetaType>
#include <QString>

#include <memory>

class MenuItem;
class QWidget;
class Toolbar;

// One item of a toolbar, named by its identifier: a button with an image and a label that sends an
// action, or a view (a slider, a field) the item holds. Validation along the responder chain enables
// it.
class ToolbarItem {
public:
    explicit ToolbarItem(QString identifier);
    virtual ~ToolbarItem();
    ToolbarItem(const ToolbarItem&) = delete;
    ToolbarItem& operator=(const ToolbarItem&) = delete;

    const QString& itemIdentifier() const { return m_identifier; }
    Toolbar* toolbar() const { return m_toolbar; }

    const QString& label() const { return m_label; }
    void setLabel(const QString& label);
    // The label in the customisation list; the label unless set.
    QString paletteLabel() const { return m_paletteLabel.isEmpty() ? m_label : m_paletteLabel; }
    void setPaletteLabel(const QString& label) { m_paletteLabel = label; }
    const QString& toolTip() const { return m_toolTip; }
    void setToolTip(const QString& toolTip);
    const QIcon& image() const { return m_image; }
    void setImage(const QIcon& image);
    const QString& action() const { return m_action; }
    void setAction(const QString& action) { m_action = action; }
    Responder* target() const { return m_target; }
    void setTarget(Responder* target) { m_target = target; }
    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    // Items with a lower priority leave first when space runs out.
    int visibilityPriority() const { return m_visibilityPriority; }
    void setVisibilityPriority(int priority) { m_visibilityPriority = priority; }
    bool autovalidates() const { return m_autovalidates; }
    void setAutovalidates(bool flag) { m_autovalidates = flag; }

    // The item's own control; the item keeps it for its whole life.
    void setView(std::unique_ptr<QWidget> view);
    QWidget* view() const { return m_view.get(); }
    Size minSize() const { return m_minSize; }
    void setMinSize(const Size& size) { m_minSize = size; }
    Size maxSize() const { return m_maxSize; }
    void setMaxSize(const Size& size) { m_maxSize = size; }

    // What the item shows as in the toolbar's overflow menu when the window is too narrow for it. Unless
    // set, a button item shows as its label sending its action, and a view item as its label, disabled.
    void setMenuFormRepresentation(std::unique_ptr<MenuItem> item);
    const MenuItem* menuFormRepresentation() const { return m_menuForm.get(); }
    std::unique_ptr<MenuItem> makeMenuFormItem() const;

    // Enables the item when its action finds a target (its own, else along the responder chain) that
    // validates it. Items without an action, and items that do not autovalidate, stay as set.
    virtual void validate();

    // Sends the action as a click would; false when disabled or nobody answered.
    bool performAction();

private:
    friend class Toolbar;

    QString m_identifier;
    QString m_label;
    QString m_paletteLabel;
    QString m_toolTip;
    QIcon m_image;
    QString m_action;
    Responder* m_target = nullptr;
    int m_tag = 0;
    bool m_enabled = true;
    int m_visibilityPriority = 0;
    bool m_autovalidates = true;
    std::unique_ptr<QWidget> m_view;
    std::unique_ptr<MenuItem> m_menuForm;
    Size m_minSize;
    Size m_maxSize;
    Toolbar* m_toolbar = nullptr;
};

Q_DECLARE_METATYPE(ToolbarItem*)
