#pragma once

class QWidget;

// What the X server and the window manager say about a top-level widget's native window. Off X11,
// and for a widget without a native window, the answers are those of a system without a window
// manager: a hidden window is let go of at once and a shown one is on screen.

// Whether the window manager has let go of a window that was hidden (the window is withdrawn and back
// under the root): a window mapped again before then can be left unmapped for good, since the window
// manager takes the new map request as one for the window it is still releasing.
bool windowManagerHasReleased(const QWidget& window);

// Whether a window that was shown is mapped, or kept iconified by the window manager.
bool windowSystemShows(const QWidget& window);

// Whether a window manager runs on the display: it then decides which window has the keyboard.
bool windowManagerIsRunning();
