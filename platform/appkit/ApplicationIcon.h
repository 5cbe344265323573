#pragma once

#include <QIcon>

// The application's icon image: what its windows show in the task bar, the window list and the
// switcher (under X11 each top-level window's _NET_WM_ICON). The program gives its default once at
// start; a part of it may show another icon for a while, and a null icon brings the default back.
namespace ApplicationIcon {

void setDefaultIcon(const QIcon& icon);
const QIcon& defaultIcon();

// The icon shown instead of the default; null shows the default.
void setIcon(const QIcon& icon);
// The icon shown: the one set, else the default.
QIcon icon();
bool showsDefault();

} // namespace ApplicationIcon
