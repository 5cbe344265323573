#pragma once

#include <QString>

#include <memory>

class QAction;
class QMenu;
class Event;

// The contextual menu of the prompter's small views: when a click asks for one, and showing it.
namespace OVContextualMenu {

// A right click, or a left click with Control held, as a one-button mouse asks for the menu.
bool isContextualClick(const Event& event);
// An empty menu with title, for the view to fill.
std::unique_ptr<QMenu> titledMenu(const QString& title);
// Adds a line of small grey text that is no command: a note on the items above it, shown whole.
// The action carries the text too, and is disabled.
QAction* addNote(QMenu& menu, const QString& text);
// Shows the menu at the pointer without waiting; the menu deletes itself once closed.
void popUp(std::unique_ptr<QMenu> menu);

} // namespace OVContextualMenu
