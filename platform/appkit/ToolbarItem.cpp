#include "platform/appkit/ToolbarItem.h"

#include "platform/appkit/Application.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/Toolbar.h"

#include <QWidget>

ToolbarItem::ToolbarItem(QString identifier) : m_identifier(std::move(identifier)) {}

ToolbarItem::~ToolbarItem() = default;

void ToolbarItem::setLabel(const QString& label)
{
    m_label = label;
    if (m_toolbar)
        m_toolbar->itemDidChange(*this);
}

void ToolbarItem::setToolTip(const QString& toolTip)
{
    m_toolTip = toolTip;
    if (m_toolbar)
        m_toolbar->itemDidChange(*this);
}

void ToolbarItem::setImage(const QIcon& image)
{
    m_image = image;
    if (m_toolbar)
        m_toolbar->itemDidChange(*this);
}

void ToolbarItem::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    if (m_view)
        m_view->setEnabled(enabled);
    if (m_toolbar)
        m_toolbar->itemDidChange(*this);
}

void ToolbarItem::setView(std::unique_ptr<QWidget> view)
{
    m_view = std::move(view);
    if (m_view)
        m_view->setEnabled(m_enabled);
    if (m_toolbar)
        m_toolbar->itemDidChange(*this);
}

void ToolbarItem::setMenuFormRepresentation(std::unique_ptr<MenuItem> item)
{
    m_menuForm = std::move(item);
}

std::unique_ptr<MenuItem> ToolbarItem::makeMenuFormItem() const
{
    if (m_menuForm)
        return m_menuForm->copy();
    auto item = std::make_unique<MenuItem>(m_label.isEmpty() ? paletteLabel() : m_label);
    item->setImage(m_image);
    if (m_view || m_action.isEmpty()) {
        item->setEnabled(false);
        return item;
    }
    item->setAction(m_action);
    item->setTarget(m_target);
    item->setTag(m_tag);
    return item;
}

void ToolbarItem::validate()
{
    if (!m_autovalidates || m_action.isEmpty())
        return;
    Responder* target = Application::shared().targetForAction(m_action, m_target);
    setEnabled(target && target->validateUserInterfaceItem({m_action, m_tag, false}));
}

bool ToolbarItem::performAction()
{
    if (m_action.isEmpty())
        return false;
    validate();
    if (!m_enabled)
        return false;
    return Application::shared().sendAction(m_action, m_target, QVariant::fromValue(this));
}
