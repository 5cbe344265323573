#include "prompter_view/OVContextualMenu.h"

#include "platform/appkit/Event.h"

#include <QCursor>
#include <QMenu>

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

void popUp(std::unique_ptr<QMenu> menu)
{
    if (!menu)
        return;
    QMenu* shown = menu.release();
    shown->setAttribute(Qt::WA_DeleteOnClose);
    shown->popup(QCursor::pos());
}

} // namespace OVContextualMenu
