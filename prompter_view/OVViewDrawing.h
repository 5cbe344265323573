#pragma once

#include "platform/foundation/Rect.h"

#include <QColor>
#include <QImage>

class QPainter;

// Drawing and colour helpers shared by the prompter's small views.
namespace OVViewDrawing {

// The image with every painted pixel moved toward tint by fraction, its alpha kept.
QImage tintedImage(const QImage& image, const QColor& tint, double fraction);
// Draws image into rect of a y-up view the right way up.
void drawImageUpright(QPainter& painter, const Rect& rect, const QImage& image, double opacity = 1.0);
// (1 - r, 1 - g, 1 - b) with the alpha kept.
QColor inverseColor(const QColor& color);
// Whether text of colour stays readable on background: their relative luminances must differ
// enough (a contrast ratio of at least 3:1).
bool isContrastReadable(const QColor& color, const QColor& background);
// Each of red, green and blue plus amount, clamped to 0-1, alpha 1.
QColor brightened(const QColor& color, double amount);

} // namespace OVViewDrawing
