#pragma once

#include "platform/foundation/Rect.h"

#include <QPointF>
#include <QRectF>

// The one place where global y-up frames (origin at the bottom-left of the primary screen) meet Qt's
// top-left global coordinates. primaryTopLeft and primaryHeight describe the primary screen in Qt's terms.

QRectF qtRectFromGlobal(const Rect& rect, const QPointF& primaryTopLeft, double primaryHeight);
Rect globalRectFromQt(const QRectF& rect, const QPointF& primaryTopLeft, double primaryHeight);
QPointF qtPointFromGlobal(const Point& point, const QPointF& primaryTopLeft, double primaryHeight);
Point globalPointFromQt(const QPointF& point, const QPointF& primaryTopLeft, double primaryHeight);

// The same, against the shared screen provider's primary screen.
QRectF qtRectFromGlobal(const Rect& rect);
Rect globalRectFromQt(const QRectF& rect);
QPointF qtPointFromGlobal(const Point& point);
Point globalPointFromQt(const QPointF& point);
