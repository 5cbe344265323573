#include "prompter_view/OVContextualMenu.h"

#include "platform/appkit/Event.h"

#include <QCursor>
#include <QLabel>
#include <QMenu>
#include <QWidgetAction>

#include <algorithm>

namespace OVContextualMenu {

bool isContextualClick(const Event& event)
{
    const bool controlClick =
        event.type == Event::Type::LeftMouseDown && (event.modifierFlags & kControlKeyMask);
    return event.type == Event::Type::RightMouseDown || controlClick;
}

std::unique_ptr<QMenu> titledMenu(const QString& title)
{
    auto menu = std::make_unique<QMenu>(title);
    menu->setTitle(title);
    return menu;
}

QAction* addNote(QMenu& menu, const QString& text)
{
    // An item drawn by the style is measured in its own font but drawn in the menu's, so a smaller
    // font made the menu too narrow and the note lost its middle; a label is measured and drawn in
    // the font it has.
    auto* action = new QWidgetAction(&menu);
    auto* label = new QLabel(text);
    QFont small = menu.font();
    small.setPointSizeF(std::max(6.0, small.pointSizeF() - 2));
    label->setFont(small);
    label->setEnabled(false);
    // In line with the titles of the items above, past their column of check marks.
    const int indent = menu.fontMetrics().height() + 14;
    label->setContentsMargins(indent, 2, 8, 3);
    action->setDefaultWidget(label);
    action->setText(text);
    action->setEnabled(false);
    menu.addAction(action);
    return action;
}

void popUp(std::unique_ptr<QMenu> menu)
{
    if (!menu)
        return;
    QMenu* shown = menu.release();
    shown->setAttribute(Qt::WA_DeleteOnClose);
    shown->popup(QCursor::pos());
}

} // namespace OVContextualMenu
