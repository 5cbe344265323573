#pragma once

// The program's own record of its windows' stacking order, which Qt cannot query.

#include <vector>

class Window;

// The application's windows in an order that includes those not on screen: every window never shown
// or ordered out first, in the order they were made, then the windows on screen from back to front.
// Qt offers no query of the stacking order; the application keeps its own from the windows it
// ordered front or back and the ones the window manager activated, which is the order a user sees
// wherever the window manager raises what it activates.
std::vector<Window*> betterOrderedWindows();
