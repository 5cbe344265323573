#include "textutil/NSMutableAttributedStringOVColorInversion.h"

#include "platform/hvkit/NSColorHVAdditions.h"
#include "platform/text/AttributeNames.h"

#include <utility>

namespace NSMutableAttributedStringOVBookmarkAdditions {

namespace {

std::function<bool()>& optionKeyDownProvider()
{
    static std::function<bool()> provider;
    return provider;
}

bool shouldInvert(const Color& color, bool blackAndWhiteOnly)
{
    return !blackAndWhiteOnly || NSColorHVAdditions::isGrayscale(color);
}

// The ranges cut to the text, empty ones left out; none given means the whole text.
std::vector<Range> clippedRanges(const AttributedString& string, const std::vector<Range>& ranges)
{
    const Range whole{0, string.length()};
    if (ranges.empty())
        return whole.isEmpty() ? std::vector<Range>{} : std::vector<Range>{whole};
    std::vector<Range> clipped;
    for (const Range& range : ranges) {
        const Range inside = range.intersection(whole);
        if (!inside.isEmpty())
            clipped.push_back(inside);
    }
    return clipped;
}

void invertDictionary(AttributeDictionary& attributes, bool blackAndWhiteOnly)
{
    for (const QString& name : colorAttributeNames()) {
        const AttributeValue* value = attributes.find(name);
        if (!value || !value->color())
            continue;
        const Color color = *value->color();
        if (shouldInvert(color, blackAndWhiteOnly))
            attributes.insert(name, NSColorHVAdditions::inverseColor(color));
    }
}

} // namespace

const std::vector<QString>& colorAttributeNames()
{
    static const std::vector<QString> names{kForegroundColorAttributeName, kStrokeColorAttributeName,
                                            kUnderlineColorAttributeName, kStrikethroughColorAttributeName,
                                            kBackgroundColorAttributeName};
    return names;
}

bool invertsBlackAndWhiteOnlyByDefault()
{
    return true;
}

bool invertsBlackAndWhiteOnly()
{
    const bool optionKeyDown = optionKeyDownProvider() && optionKeyDownProvider()();
    return optionKeyDown ? !invertsBlackAndWhiteOnlyByDefault() : invertsBlackAndWhiteOnlyByDefault();
}

void setOptionKeyDownProvider(std::function<bool()> provider)
{
    optionKeyDownProvider() = std::move(provider);
}

void invertColors(MutableAttributedString& string)
{
    _invertColors(string, invertsBlackAndWhiteOnly());
}

void invertColorsIgnoringModifiers(MutableAttributedString& string)
{
    _invertColors(string, invertsBlackAndWhiteOnlyByDefault());
}

void invertColorsIgnoringModifiersInRange(MutableAttributedString& string, const Range& range)
{
    _invertColors(string, invertsBlackAndWhiteOnlyByDefault(), range);
}

void invertAllColors(MutableAttributedString& string)
{
    _invertColors(string, false);
}

void invertBlackAndWhiteOnly(MutableAttributedString& string)
{
    _invertColors(string, true);
}

void _invertColors(MutableAttributedString& string, bool blackAndWhiteOnly)
{
    _invertColors(string, blackAndWhiteOnly, {0, string.length()});
}

void _invertColors(MutableAttributedString& string, bool blackAndWhiteOnly, const Range& range)
{
    const std::vector<Range> ranges = clippedRanges(string, {range});
    if (ranges.empty())
        return;
    string.changeAttributesInRange(ranges.front(), [blackAndWhiteOnly](AttributeDictionary& attributes) {
        invertDictionary(attributes, blackAndWhiteOnly);
    });
}

void blackenUncolouredText(MutableAttributedString& string, const Range& range)
{
    const std::vector<Range> ranges = clippedRanges(string, {range});
    if (ranges.empty())
        return;
    const Color black = NSColorHVAdditions::RGBBlackColor();
    string.changeAttributesInRange(ranges.front(), [&black](AttributeDictionary& attributes) {
        if (!attributes.contains(kForegroundColorAttributeName))
            attributes.insert(kForegroundColorAttributeName, black);
    });
}

void invertBlackAndWhiteOnly(MutableAttributedString& string, bool blackAndWhiteOnly,
                             const std::vector<Range>& ranges,
                             const std::optional<Color>& viewBackgroundColor)
{
    const std::vector<Range> targets = clippedRanges(string, ranges);
    if (targets.empty())
        return;
    const bool selection = !ranges.empty() && viewBackgroundColor.has_value();
    // Each run is changed once, all colour attributes together: the order of the steps holds for
    // every run, and a long text is restyled in one pass.
    const auto change = [&](AttributeDictionary& attributes) {
        if (selection && !attributes.contains(kBackgroundColorAttributeName))
            attributes.insert(kBackgroundColorAttributeName, *viewBackgroundColor);
        invertDictionary(attributes, blackAndWhiteOnly);
        if (!selection)
            return;
        const AttributeValue* highlight = attributes.find(kBackgroundColorAttributeName);
        if (highlight && highlight->color() &&
            NSColorHVAdditions::isEqualToColor(*highlight->color(), *viewBackgroundColor, 0))
            attributes.remove(kBackgroundColorAttributeName);
    };
    string.beginEditing();
    for (const Range& range : targets)
        string.changeAttributesInRange(range, change);
    string.endEditing();
}

} // namespace NSMutableAttributedStringOVBookmarkAdditions
