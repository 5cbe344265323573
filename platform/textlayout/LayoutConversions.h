#pragma once

#include "platform/text/Color.h"
#include "platform/text/Font.h"

#include <QColor>
#include <QFont>
#include <QSizeF>

#include <utility>

class QPaintDevice;
class TextAttachment;

// What the layout cache, the renderer and the layout manager agree on when they turn the model's
// values into Qt's: the device layout runs on, fonts, colours, and how much room an attachment takes.
namespace textlayout {

// Stands in for an attachment character in the shaped text: it draws nothing, and word spacing (which
// Qt honours at any resolution, unlike letter spacing) gives it the attachment's width.
inline constexpr char16_t kAttachmentStandIn = 0x0020;

// Layout runs at 72 units per inch, so a 12-point font is 12 units tall as on the platform, whatever
// the screen's resolution.
QPaintDevice* layoutDevice();

inline bool isTerminator(char16_t c)
{
    return c == u'\n' || c == u'\r' || c == 0x2029;
}

double finiteOr(double value, double fallback);
QColor qtColor(const Color& color);
// The same QFont for equal descriptions (on one thread), so Qt resolves each font once.
QFont qtFont(const Font& font);
// Ascent and descent of an attachment on its line; size, when given, receives its width and height.
std::pair<double, double> attachmentMetrics(const TextAttachment& attachment, QSizeF* size,
                                            double viewScale = 1.0);

} // namespace textlayout
