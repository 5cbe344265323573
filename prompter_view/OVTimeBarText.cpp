#include "prompter_view/OVTimeBarText.h"

#include "platform/foundation/Rect.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/AttributedString.h"
#include "platform/text/RtfReader.h"
#include "platform/text/RtfWriter.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

std::optional<Font> OVTimeBarText::fontOf(const AttributeDictionary& attributes)
{
    if (const AttributeValue* value = attributes.find(kFontAttributeName); value && value->font())
        return *value->font();
    return std::nullopt;
}

std::optional<QColor> OVTimeBarText::colorOf(const AttributeDictionary& attributes)
{
    if (const AttributeValue* value = attributes.find(kForegroundColorAttributeName); value && value->color())
        return qColor(*value->color());
    return std::nullopt;
}

QFont OVTimeBarText::qFont(const Font& font)
{
    QFont result(font.familyName.isEmpty() ? font.fontName : font.familyName);
    const double size = std::isfinite(font.pointSize) ? std::clamp(font.pointSize, 1.0, 2000.0) : 12.0;
    result.setPixelSize(std::max(1, int(std::lround(size))));
    result.setBold(font.bold);
    result.setItalic(font.italic);
    return result;
}

QColor OVTimeBarText::qColor(const Color& color)
{
    auto unit = [](double v) { return std::isfinite(v) ? float(std::clamp(v, 0.0, 1.0)) : 0.0f; };
    return QColor::fromRgbF(unit(color.red), unit(color.green), unit(color.blue), unit(color.alpha));
}

Color OVTimeBarText::color(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return Color::rgb(rgb.redF(), rgb.greenF(), rgb.blueF(), rgb.alphaF());
}

Font OVTimeBarText::boldSystemFont(double pointSize)
{
    const QString family = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    Font font;
    font.familyName = family;
    font.fontName = family + QStringLiteral("-Bold");
    font.pointSize = pointSize;
    font.bold = true;
    return font;
}

QSizeF OVTimeBarText::textSize(const QString& text, const AttributeDictionary& attributes)
{
    const std::optional<Font> font = fontOf(attributes);
    if (!font)
        return {};
    const QFontMetricsF metrics(qFont(*font));
    return {metrics.horizontalAdvance(text), metrics.height()};
}

double OVTimeBarText::boundingHeight(const QString& text, const Font& font)
{
    const QFontMetricsF metrics(qFont(font));
    return metrics.boundingRect(QRectF(0, 0, 10000, 10000), Qt::AlignLeft | Qt::AlignTop, text).height();
}

void OVTimeBarText::drawText(QPainter& painter, const Rect& rect, const QString& text,
                             const AttributeDictionary& attributes,
                             const std::optional<QColor>& colorOverride)
{
    const std::optional<Font> font = fontOf(attributes);
    if (!font)
        return;
    painter.save();
    painter.setFont(qFont(*font));
    painter.setPen(colorOverride ? *colorOverride : colorOf(attributes).value_or(QColor(Qt::black)));
    // The view is y-up: turn the painter the right way up inside the text's rectangle.
    painter.translate(rect.origin.x, rect.origin.y + rect.size.height);
    painter.scale(1, -1);
    painter.drawText(QRectF(0, 0, rect.size.width + 1, rect.size.height), Qt::AlignLeft | Qt::AlignTop, text);
    painter.restore();
}

QByteArray OVTimeBarText::rtfData(const AttributeDictionary& attributes)
{
    return RtfWriter::write(AttributedString(QStringLiteral(" "), fontAndColor(attributes)), {});
}

std::optional<AttributeDictionary> OVTimeBarText::attributesFromRtf(const QByteArray& data)
{
    if (data.isEmpty())
        return std::nullopt;
    const std::optional<RtfReader::Result> result = RtfReader::parse(data, nullptr, nullptr);
    if (!result || result->text.isEmpty() || result->runs.empty())
        return std::nullopt;
    return fontAndColor(result->runs.front().attributes);
}

AttributeDictionary OVTimeBarText::fontAndColor(const AttributeDictionary& attributes)
{
    AttributeDictionary result;
    if (const AttributeValue* font = attributes.find(kFontAttributeName))
        result.insert(kFontAttributeName, *font);
    if (const AttributeValue* color = attributes.find(kForegroundColorAttributeName))
        result.insert(kForegroundColorAttributeName, *color);
    return result;
}
