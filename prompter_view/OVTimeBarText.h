#pragma once

#include "platform/text/AttributeDictionary.h"
#include "platform/text/Color.h"
#include "platform/text/Font.h"

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QSizeF>
#include <QString>

#include <optional>

class QPainter;
struct Rect;

// Text of the time bar: fonts and colours of its attribute dictionaries in Qt's terms, sizes, drawing
// and the RTF form the settings keep them in.
namespace OVTimeBarText {

std::optional<Font> fontOf(const AttributeDictionary& attributes);
std::optional<QColor> colorOf(const AttributeDictionary& attributes);
// A view point is one device pixel at scale 1, so point sizes become pixel sizes.
QFont qFont(const Font& font);
QColor qColor(const Color& color);
Color color(const QColor& color);
// The bold system font of the given size.
Font boldSystemFont(double pointSize);

// The size of the text laid out in one line; empty without a font.
QSizeF textSize(const QString& text, const AttributeDictionary& attributes);
// The bounding height of text within 10000 x 10000 points.
double boundingHeight(const QString& text, const Font& font);
// Draws text with its top-left corner at rect's top-left in a y-up view.
void drawText(QPainter& painter, const Rect& rect, const QString& text, const AttributeDictionary& attributes,
              const std::optional<QColor>& colorOverride = std::nullopt);

// One space with the attributes, as RTF; empty when it cannot be written.
QByteArray rtfData(const AttributeDictionary& attributes);
// The font and colour of the first character of RTF data; nothing for data that is not RTF or holds
// no text.
std::optional<AttributeDictionary> attributesFromRtf(const QByteArray& data);
// Only the font and the foreground colour: what the bar uses and keeps.
AttributeDictionary fontAndColor(const AttributeDictionary& attributes);

} // namespace OVTimeBarText
