#pragma once

class Menu;

// Keeps the two add-bookmark menu items in the order the naming setting asks for: the item shown
// performs what the user prefers (a named bookmark when new bookmarks are named, else a quick one),
// and Alt shows the other, the same choice the add-bookmark command makes.
class OVBookmarkMenuConfiguration {
public:
    // On the program's main menu.
    static void updateBookmarksMenuBarForPreferences();
    // On menu and its submenus; nothing happens unless both items exist in one menu.
    static void updateBookmarksMenuForPreferences(Menu& menu);
};
