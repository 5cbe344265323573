#include "app/OVAppDelegate.h"

PlistDictionary OVAppDelegate::initialDefaultsDictionary()
{
    PlistDictionary defaults;
    // Registered as off: the platform's full-screen menu item is not wanted on every window.
    defaults.insert(QStringLiteral("NSFullScreenMenuItemEverywhere"), false);
    defaults.insert(QStringLiteral("enableQuickZoom"), true);
    return defaults;
}
