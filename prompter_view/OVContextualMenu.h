#pragma once

#include <QString>

#include <memory>

class QMenu;
class Event;

// The contextual menu of the prompter's small views: when a click asks for one, and showing it.
namespace OVContextualMenu {

// A right click, or a left click with Control held, as a one-button mouse asks for the menu.
bool isContextualClick(const Event& event);
// An empty menu with title, for the view to fill.
std::unique_ptr<QMenu> titledMenu(const QString& title);
// Shows the menu at the pointer without waiting; the menu deletes itself once closed.
void popUp(std::unique_ptr<QMenu> menu);

} // namespace OVContextualMenu
