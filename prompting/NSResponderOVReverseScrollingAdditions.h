#pragma once

// Wheel-direction reversal for chosen views: inert here, since the desktop sets the direction.

#include "platform/appkit/Event.h"

#include <QStringList>

// Inverted scroll-wheel events for chosen view classes, for systems without natural scrolling. Every
// system the program runs on scrolls naturally (the desktop's input settings decide the direction),
// so reversal is never switched on: the answers stay inert and wheel events pass unchanged.

// Remembers the classes once; later calls change nothing.
void setupReverseScrollWheelEventsForClasses(const QStringList& classNames);
QStringList reverseScrollWheelEventClasses();
// Always false.
bool isReversingScrollWheelEvents();
// Changes nothing.
void setReverseScrollWheelEvents(bool flag);
// Reads nothing: the setting only exists for systems without natural scrolling.
void updateReverseScrollWheelEventsFromUserDefaults();
// A scroll-wheel event that scrolls by nothing: one axis, in points, delta 0, stamped now. Sent to a
// view, it makes the view settle its scrolling state without moving.
Event emptyScrollWheelEvent();
