#include "app/OVMainMenu.h"

#include "platform/appkit/Event.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/MenuItem.h"
#include "platform/hvkit/HVLocalizedString.h"

namespace {

QString text(const char* key, const char* english)
{
    return HVLocalizedString::localizedString(QString::fromUtf8(key), QString::fromUtf8(english));
}

// Shortcuts follow the desktop's conventions: Ctrl for commands, Ctrl+Shift for their variants.
MenuItem* add(Menu& menu, const QString& title, const char* action, const QString& key = {},
              unsigned long modifiers = kCommandKeyMask)
{
    MenuItem* item = menu.addItemWithTitle(title, QString::fromLatin1(action), key);
    item->setKeyEquivalentModifierMask(modifiers);
    return item;
}

Menu* addSubmenu(Menu& menu, const QString& title, const char* action = "")
{
    auto item = std::make_unique<MenuItem>(title, QString::fromLatin1(action));
    item->setSubmenu(std::make_unique<Menu>(title));
    return menu.addItem(std::move(item))->submenu();
}

void buildFileMenu(Menu& menu)
{
    add(menu, text("menu-new", "New"), "newDocument:", QStringLiteral("n"));
    add(menu, text("menu-open", "Open…"), "openDocument:", QStringLiteral("o"));
    addSubmenu(menu, text("menu-open-recent", "Open Recent"));
    menu.addItem(MenuItem::separatorItem());
    add(menu, text("menu-close", "Close"), "performClose:", QStringLiteral("w"));
    add(menu, text("menu-save", "Save"), "saveDocument:", QStringLiteral("s"));
    add(menu, text("menu-save-as", "Save As…"), "saveDocumentAs:", QStringLiteral("S"));
    add(menu, text("menu-duplicate", "Duplicate"), "duplicateDocument:");
    add(menu, text("menu-export", "Export…"), "saveDocumentTo:");
    add(menu, text("menu-export-pdf", "Export as PDF…"), "exportAsPDF:");
    menu.addItem(MenuItem::separatorItem());
    add(menu, text("menu-page-setup", "Page Setup…"), "runPageLayout:");
    add(menu, text("menu-print", "Print…"), "printDocument:", QStringLiteral("p"));
    menu.addItem(MenuItem::separatorItem());
    add(menu, text("menu-document-properties", "Properties…"), "orderFrontPropertiesWindow:");
    menu.addItem(MenuItem::separatorItem());
    add(menu, text("menu-settings", "Settings…"), "showSettingsWindow:", QStringLiteral(","));
    menu.addItem(MenuItem::separatorItem());
    add(menu, text("menu-quit", "Quit"), "terminate:", QStringLiteral("q"));
}

void buildEditMenu(Menu& menu)
{
    add(menu, text("menu-undo", "Undo"), "undo:", QStringLiteral("z"));
    add(menu, text("menu-redo", "Redo"), "redo:", QStringLiteral("Z"));
    menu.addItem(MenuItem::separatorItem());
    add(menu, text("menu-cut", "Cut"), "cut:", QStringLiteral("x"));
    add(menu, text("menu-copy", "Copy"), "copy:", QStringLiteral("c"));
    add(menu, text("menu-paste", "Paste"), "paste:", QStringLiteral("v"));
    add(menu, text("menu-paste-plain", "Paste and Match Style"), "pasteAsPlainText:", QStringLiteral("V"));
    add(menu, text("menu-delete", "Delete"), "delete:");
    add(menu, text("menu-select-all", "Select All"), "selectAll:", QStringLiteral("a"));
    menu.addItem(MenuItem::separatorItem());
    // The find bar's own buttons go to the next and previous match.
    add(menu, text("menu-find-ellipsis", "Find…"), "performFindPanelAction:", QStringLiteral("f"))->setTag(1);
    menu.addItem(MenuItem::separatorItem());
    add(menu, text("menu-quick-zoom", "Quick Zoom"), "toggleQuickZoomContent:");
    menu.addItem(MenuItem::separatorItem());
    add(menu, text("menu-unmark-all", "Unmark All…"), "unmarkAll:");
    add(menu, text("menu-mark-visible-text", "Mark Visible Text"), "markText:");
    add(menu, text("menu-unmark-selection", "Unmark Selection"), "unmarkSelection:");
    add(menu, text("menu-show-marked-text", "Show Marked Text"), "toggleMarkedTextVisible:");
    add(menu, text("menu-next-mark", "Next Mark"), "markNavigateNext:");
    add(menu, text("menu-previous-mark", "Previous Mark"), "markNavigatePrevious:");
}

void buildFormatMenu(Menu& menu)
{
    add(menu, text("menu-bigger", "Bigger"), "increaseTextSize:", QStringLiteral("+"));
    add(menu, text("menu-smaller", "Smaller"), "decreaseTextSize:", QStringLiteral("-"));
    add(menu, text("menu-increase-text-size", "Increase Text Size"),
        "documentIncreaseTextSize:", QStringLiteral("+"), kCommandKeyMask | kOptionKeyMask);
    add(menu, text("menu-decrease-text-size", "Decrease Text Size"),
        "documentDecreaseTextSize:", QStringLiteral("-"), kCommandKeyMask | kOptionKeyMask);
    menu.addItem(MenuItem::separatorItem());
    add(menu, text("menu-invert-colors", "Invert Colors"), "invertColors:");
    add(menu, text("menu-invert-document-black-and-white", "Invert Document Black and White"),
        "invert2DocumentBlackAndWhite:");
    add(menu, text("menu-invert-document-all-colors", "Invert Document All Colors"),
        "invert2DocumentAllColors:");
    add(menu, text("menu-invert-selection-black-and-white", "Invert Selection Black and White"),
        "invert2SelectionBlackAndWhite:");
    add(menu, text("menu-invert-selection-all-colors", "Invert Selection All Colors"),
        "invert2SelectionAllColors:");
    menu.addItem(MenuItem::separatorItem());
    // The reset items carry the colour options they reset as their tags.
    add(menu, text("menu-reset-text-color", "Reset Text Color"), "resetColorForColorPanelOption:")->setTag(1);
    add(menu, text("menu-reset-highlight-color", "Reset Highlight Color"), "resetColorForColorPanelOption:")
        ->setTag(2);
    add(menu, text("menu-reset-background-color", "Reset Background Color"), "resetColorForColorPanelOption:")
        ->setTag(4);
    add(menu, text("menu-reset-colors", "Reset Colors"), "resetColorForColorPanelOption:")->setTag(7);
    menu.addItem(MenuItem::separatorItem());
    add(menu, text("menu-apply-default-style", "Apply Default Style"), "applyDefaultStyle:");
    add(menu, text("menu-apply-default-style-to-selection", "Apply Default Style to Selection"),
        "applyDefaultStyleWithoutBackground:");
    add(menu, text("menu-set-selection-as-default-style", "Set Selection as Default Style"),
        "setSelectionAsDefaultStyle:");
    menu.addItem(MenuItem::separatorItem());
    add(menu, text("menu-remove-underline-colors", "Remove Underline Colors"), "removeUnderlineColors:");
    menu.addItem(MenuItem::separatorItem());
    add(menu, text("menu-insert-images", "Insert Images…"), "insertImagesFromOpenPanel:");
    menu.addItem(MenuItem::separatorItem());
    add(menu, text("menu-show-ruler", "Show Ruler"), "toggleRuler:", QStringLiteral("R"));
    add(menu, text("menu-spacing", "Spacing…"), "orderFrontSpacingPanel:");
    menu.addItem(MenuItem::separatorItem());
    add(menu, text("menu-show-fonts", "Show Fonts"), "orderFrontFontPanel:", QStringLiteral("t"));
    add(menu, text("menu-show-colors", "Show Colors"), "orderFrontColorPanel:", QStringLiteral("C"));
    add(menu, text("menu-text-color", "Text Color"), "selectTextColorOption:");
    add(menu, text("menu-background-color", "Background Color"), "selectBackgroundColorOption:");
}

void buildPromptMenu(Menu& menu)
{
    add(menu, text("menu-toggle-mode", "Toggle Mode"), "toggleMode:", QStringLiteral("\r"));
    // The keypad's Enter (character 3) toggles as well. As an alternate needing no more modifiers
    // than the item before it, it is matched as a key equivalent but never shown.
    add(menu, text("menu-toggle-mode", "Toggle Mode"), "toggleMode:", QString(QChar(3)))->setAlternate(true);
    add(menu, text("menu-toggle-status", "Start or Pause"), "toggleStatus:");
    menu.addItem(MenuItem::separatorItem());
    add(menu, text("menu-increase-speed", "Increase Speed"), "increaseSpeed:");
    add(menu, text("menu-decrease-speed", "Decrease Speed"), "decreaseSpeed:");
    add(menu, text("menu-switch-direction", "Switch Direction"), "switchDirection:");
    menu.addItem(MenuItem::separatorItem());
    add(menu, text("menu-script-start", "Script Start"), "scriptStart:");
    add(menu, text("menu-script-end", "Script End"), "scriptEnd:");
    menu.addItem(MenuItem::separatorItem());
    add(menu, text("menu-looping", "Looping"), "toggleLooping:");
    add(menu, text("menu-position-lock", "Lock Arrow Position"), "togglePositionLock:");
    add(menu, text("menu-reset-timer", "Reset Timer"), "resetElapsedTimer:");
    menu.addItem(MenuItem::separatorItem());
    add(menu, text("menu-blanking", "Blank Screen"), "toggleBlanking:");
    addSubmenu(menu, text("menu-blanking-options", "Blanking Options"), "blankingOptionsAction:");
}

void buildBookmarksMenu(Menu& menu)
{
    add(menu, text("menu-add-bookmark", "Add Bookmark"), "addBookmark:");
    // Which of the two is shown and which waits for Alt follows the naming setting.
    add(menu, text("menu-add-quick-bookmark", "Add Quick Bookmark"), "addQuickBookmark:", {}, kOptionKeyMask)
        ->setAlternate(true);
    add(menu, text("bookmark-remove-bookmarks", "Remove Bookmarks"), "removeBookmark:");
    menu.addItem(MenuItem::separatorItem());
    add(menu, text("menu-previous-bookmark", "Previous Bookmark"), "previousBookmark:");
    add(menu, text("menu-next-bookmark", "Next Bookmark"), "nextBookmark:");
    menu.addItem(MenuItem::separatorItem());
    // The bookmarks of the front script go in from here.
    auto anchor = MenuItem::separatorItem();
    anchor->setTag(OVMainMenu::kBookmarksAnchorTag);
    menu.addItem(std::move(anchor));
}

void buildWindowMenu(Menu& menu)
{
    add(menu, text("menu-minimize", "Minimize"), "performMiniaturize:");
    add(menu, text("menu-zoom", "Zoom"), "performZoom:");
    menu.addItem(MenuItem::separatorItem());
    add(menu, text("document-window-show-prompter-in-document", "Show Prompter in Document"),
        "toggleShowsPrompterInDocument:");
    add(menu, text("document-window-show-prompter-in-all-documents", "Show Prompter in All Documents"),
        "toggleShowsPrompterInAllDocuments:", {}, kOptionKeyMask)
        ->setAlternate(true);
    add(menu, text("document-window-lock-window-resizing", "Lock Window Resizing"),
        "toggleLockWindowResizing:");
    add(menu, text("document-window-lock-all-window-resizing", "Lock All Window Resizing"),
        "toggleLockAllWindowResizing:", {}, kOptionKeyMask)
        ->setAlternate(true);
    add(menu, text("menu-save-window-position", "Save Window Position"), "saveWindowPosition:");
    menu.addItem(MenuItem::separatorItem());
    addSubmenu(menu, text("menu-resize-prompter", "Resize Prompter"));
    menu.itemAtIndex(menu.numberOfItems() - 1)->setTag(OVMainMenu::kResizeDocumentPrompterTag);
    menu.addItem(MenuItem::separatorItem());
    add(menu, text("menu-show-preview", "Show Preview"), "togglePreviewWindow:");
}

void buildHelpMenu(Menu& menu)
{
    add(menu, text("menu-tutorial", "Orvane Tutorial"), "openTutorialDocument:");
    menu.addItem(MenuItem::separatorItem());
    add(menu, text("menu-whats-new", "What's New"), "showWhatsNew:");
    menu.addItem(MenuItem::separatorItem());
    add(menu, text("menu-website", "Orvane Website"), "openAppWebsite:");
    add(menu, text("menu-support-site", "Visit Support Site"), "visitSupportSite:");
    add(menu, text("menu-contact-support", "Contact Support…"), "contactSupport:");
    add(menu, text("menu-store", "Buy Orvane"), "openStoreWebsite:");
    menu.addItem(MenuItem::separatorItem());
    add(menu, text("menu-about", "About Orvane"), "orderFrontCustomAboutPanel:");
}

} // namespace

std::unique_ptr<Menu> OVMainMenu::makeMainMenu()
{
    auto main = std::make_unique<Menu>(QStringLiteral("Main Menu"));
    buildFileMenu(*addSubmenu(*main, text("menu-title-file", "&File")));
    buildEditMenu(*addSubmenu(*main, text("menu-title-edit", "&Edit")));
    buildFormatMenu(*addSubmenu(*main, text("menu-title-format", "F&ormat")));
    buildPromptMenu(*addSubmenu(*main, text("menu-title-prompt", "&Prompt")));
    buildBookmarksMenu(*addSubmenu(*main, text("menu-title-bookmarks", "&Bookmarks")));
    buildWindowMenu(*addSubmenu(*main, text("menu-title-window", "&Window")));
    buildHelpMenu(*addSubmenu(*main, text("menu-title-help", "&Help")));
    return main;
}
