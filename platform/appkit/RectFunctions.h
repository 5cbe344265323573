#pragma once

#include "platform/foundation/Rect.h"

#include <QPointF>
#include <QRectF>

// Checks and Qt conversions for the geometry values that views, windows and screens share.

// A rect a view or window accepts: finite, with no negative extent.
inline bool isValidRect(const Rect& r)
{
    return r.isFinite() && r.size.width >= 0 && r.size.height >= 0;
}

inline double rectArea(const Rect& r)
{
    return r.isEmpty() ? 0.0 : r.size.width * r.size.height;
}

inline QRectF toQRectF(const Rect& r)
{
    return {r.origin.x, r.origin.y, r.size.width, r.size.height};
}
inline Rect fromQRectF(const QRectF& r)
{
    return {r.x(), r.y(), r.width(), r.height()};
}
inline QPointF toQPointF(const Point& p)
{
    return {p.x, p.y};
}
inline Point fromQPointF(const QPointF& p)
{
    return {p.x(), p.y()};
}
