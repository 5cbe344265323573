#pragma once

class QWidget;
class Window;

// A window of the program that floats (the preview panel) stays above every ordinary window, so a
// dialog or window opened while it shows would open under it. These keep what opens where the user
// sees it.
namespace FloatingWindows {

// The front-most floating window of the program that shows, or null.
Window* visibleFloatingWindow();

// For a dialog or window about to be shown (not yet on screen): while a floating window shows, it
// opens above it as well, within the visible area of the screen the floating window is on. Nothing
// otherwise, and nothing for a widget already shown.
void openAbove(QWidget& widget);

} // namespace FloatingWindows
