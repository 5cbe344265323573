#include "preferences/OVBookmarkMenuConfiguration.h"

#include "platform/appkit/Menu.h"
#include "platform/appkit/MenuItem.h"
#include "platform/foundation/UserDefaults.h"

#include <utility>

namespace {

const QString kAddBookmarkAction = QStringLiteral("addBookmark:");
const QString kAddQuickBookmarkAction = QStringLiteral("addQuickBookmark:");

} // namespace

void OVBookmarkMenuConfiguration::updateBookmarksMenuBarForPreferences()
{
    if (Menu* menu = Menu::mainMenu())
        updateBookmarksMenuForPreferences(*menu);
}

void OVBookmarkMenuConfiguration::updateBookmarksMenuForPreferences(Menu& menu)
{
    MenuItem* named = menu.itemWithAction(kAddBookmarkAction);
    MenuItem* quick = menu.itemWithAction(kAddQuickBookmarkAction);
    if (!named || !quick || !named->menu() || named->menu() != quick->menu())
        return;
    const bool nameNewBookmarks = UserDefaults::shared().boolForKey(QStringLiteral("nameNewBookmarks"));
    MenuItem* preferred = nameNewBookmarks ? named : quick;
    MenuItem* other = nameNewBookmarks ? quick : named;
    if (!preferred->isAlternate() && other->isAlternate())
        return;
    // The items keep their places, and so which of them is the alternate; titles and actions move.
    MenuItem* primaryPlace = named;
    MenuItem* alternatePlace = quick;
    if (named->isAlternate() == quick->isAlternate()) {
        // Neither or both were alternates: the lower one becomes the alternate.
        if (named->menu()->indexOfItem(named) > named->menu()->indexOfItem(quick))
            std::swap(primaryPlace, alternatePlace);
        primaryPlace->setAlternate(false);
        alternatePlace->setAlternate(true);
    } else if (named->isAlternate()) {
        std::swap(primaryPlace, alternatePlace);
    }
    const QString preferredTitle = preferred->title();
    const QString preferredAction = preferred->action();
    const QString otherTitle = other->title();
    const QString otherAction = other->action();
    primaryPlace->setTitle(preferredTitle);
    primaryPlace->setAction(preferredAction);
    alternatePlace->setTitle(otherTitle);
    alternatePlace->setAction(otherAction);
    menu.update();
}
