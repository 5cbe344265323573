#pragma once

class QWidget;

// Ctrl+W and Esc close the window, as they close the windows of every desktop program: a dialog is
// cancelled, any other window closes as its close button closes it. Esc is the window's only when
// nothing in it took the key first (a key field capturing Esc, an open pop-up); a dialog embedded in
// the window as a part of it (a colour picker) does not end itself on Esc, the window closes instead.
void closeWithStandardKeys(QWidget& window);
