#include "prompter_view/OVViewDrawing.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
double linearised(double channel)
{
    return channel <= 0.03928 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double relativeLuminance(const QColor& color)
{
    return 0.2126 * linearised(color.redF()) + 0.7152 * linearised(color.greenF()) +
           0.0722 * linearised(color.blueF());
}
} // namespace

QImage OVViewDrawing::tintedImage(const QImage& image, const QColor& tint, double fraction)
{
    QImage result = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&result);
    painter.setCompositionMode(QPainter::CompositionMode_SourceAtop);
    painter.setOpacity(std::clamp(fraction, 0.0, 1.0));
    painter.fillRect(QRectF(0, 0, result.width(), result.height()), tint);
    return result;
}

void OVViewDrawing::drawImageUpright(QPainter& painter, const Rect& rect, const QImage& image, double opacity)
{
    if (image.isNull() || rect.isEmpty())
        return;
    painter.save();
    painter.setOpacity(painter.opacity() * opacity);
    painter.translate(rect.origin.x, rect.origin.y + rect.size.height);
    painter.scale(1, -1);
    painter.drawImage(QRectF(0, 0, rect.size.width, rect.size.height), image);
    painter.restore();
}

QColor OVViewDrawing::inverseColor(const QColor& color)
{
    return QColor::fromRgbF(1.0f - color.redF(), 1.0f - color.greenF(), 1.0f - color.blueF(), color.alphaF());
}

bool OVViewDrawing::isContrastReadable(const QColor& color, const QColor& background)
{
    const double a = relativeLuminance(color);
    const double b = relativeLuminance(background);
    const double ratio = (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
    return ratio >= 3.0;
}

QColor OVViewDrawing::brightened(const QColor& color, double amount)
{
    auto channel = [amount](float value) { return float(std::clamp(double(value) + amount, 0.0, 1.0)); };
    return QColor::fromRgbF(channel(color.redF()), channel(color.greenF()), channel(color.blueF()), 1.0f);
}
