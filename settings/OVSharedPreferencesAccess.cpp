#include "settings/OVSharedPreferencesAccess.h"

#include "platform/text/AttributeNames.h"

#include <cmath>

namespace {

Color RGBWhiteColor()
{
    return Color::rgb(1, 1, 1, 1);
}

Color RGBBlackColor()
{
    return Color::rgb(0, 0, 0, 1);
}

// Rounds half away from zero at the given number of decimals.
double roundedTo(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

Color calibratedRGB(const Color& color)
{
    return Color::rgb(color.red, color.green, color.blue, color.alpha);
}

} // namespace

QStringList OVSharedPreferencesAccess::requiredDefaultStyleAttributes()
{
    return {kFontAttributeName, kForegroundColorAttributeName, kParagraphStyleAttributeName};
}

QStringList OVSharedPreferencesAccess::requiredDefaultStyleDocumentAttributes()
{
    return {kBackgroundColorDocumentAttribute};
}

bool OVSharedPreferencesAccess::isDefaultStyleAttributeDictionaryValid(const AttributeDictionary& attributes)
{
    for (const QString& name : requiredDefaultStyleAttributes()) {
        if (!attributes.contains(name))
            return false;
    }
    return !attributes.contains(kAttachmentAttributeName);
}

AttributeValue OVSharedPreferencesAccess::_normalizedDefaultStyleValue(const QString& attributeName,
                                                                       const AttributeValue& value)
{
    if (attributeName == kForegroundColorAttributeName ||
        attributeName == kBackgroundColorDocumentAttribute) {
        const Color* color = value.color();
        if (!color)
            return value;
        const Color rgb = calibratedRGB(*color);
        if (attributeName == kForegroundColorAttributeName && rgb.red == 1 && rgb.green == 1 && rgb.blue == 1)
            return RGBWhiteColor();
        if (attributeName == kBackgroundColorDocumentAttribute && rgb.red == 0 && rgb.green == 0 &&
            rgb.blue == 0)
            return RGBBlackColor();
        return rgb;
    }
    if (attributeName == kFontAttributeName) {
        const Font* font = value.font();
        if (!font)
            return value;
        const double tenths = roundedTo(font->pointSize, 1);
        const double hundredths = roundedTo(font->pointSize, 2);
        return tenths != hundredths ? AttributeValue(font->withPointSize(tenths)) : value;
    }
    if (attributeName == kParagraphStyleAttributeName) {
        const ParagraphStyle* style = value.paragraphStyle();
        if (!style)
            return value;
        ParagraphStyle kept;
        kept.lineHeightMultiple = roundedTo(style->lineHeightMultiple, 1);
        kept.alignment = style->alignment;
        kept.baseWritingDirection = style->baseWritingDirection;
        return kept;
    }
    return value;
}
