#pragma once

#include <memory>

class Menu;

// The program's menus, described once: every document window shows them in its menu bar, and
// their key equivalents act from any window. Items carry their actions; what enables them is the
// responder chain, what rebuilds the dynamic ones is the application delegate.
class OVMainMenu {
public:
    // Tags the delegate finds its items by.
    static constexpr int kBookmarksAnchorTag = 100000;
    static constexpr int kResizeDocumentPrompterTag = 100001;

    static std::unique_ptr<Menu> makeMainMenu();
};
