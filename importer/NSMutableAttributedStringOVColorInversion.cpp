#include "importer/NSMutableAttributedStringOVColorInversion.h"

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

// Runs are collected before any is changed: changing one merges it with its neighbours.
void invertAttribute(MutableAttributedString& string, const QString& name, const Range& range,
                     bool blackAndWhiteOnly)
{
    std::vector<std::pair<Range, Color>> inverted;
    string.enumerateAttribute(name, range, 0, [&](const AttributeValue& value, const Range& run, bool&) {
        const Color* color = value.color();
        if (color && shouldInvert(*color, blackAndWhiteOnly))
            inverted.emplace_back(run, NSColorHVAdditions::inverseColor(*color));
    });
    for (const auto& [run, color] : inverted)
        string.addAttribute(name, color, run);
}

void highlightUnhighlighted(MutableAttributedString& string, const Range& range, const Color& background)
{
    std::vector<Range> bare;
    string.enumerateAttribute(kBackgroundColorAttributeName, range, 0,
                              [&](const AttributeValue& value, const Range& run, bool&) {
                                  if (value.isNull())
                                      bare.push_back(run);
                              });
    for (const Range& run : bare)
        string.addAttribute(kBackgroundColorAttributeName, background, run);
}

void removeHighlightsEqualTo(MutableAttributedString& string, const Range& range, const Color& background)
{
    std::vector<Range> equal;
    string.enumerateAttribute(kBackgroundColorAttributeName, range, 0,
                              [&](const AttributeValue& value, const Range& run, bool&) {
                                  const Color* color = value.color();
                                  if (color && NSColorHVAdditions::isEqualToColor(*color, background, 0))
                                      equal.push_back(run);
                              });
    for (const Range& run : equal)
        string.removeAttribute(kBackgroundColorAttributeName, run);
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
    string.beginEditing();
    for (const QString& name : colorAttributeNames())
        invertAttribute(string, name, ranges.front(), blackAndWhiteOnly);
    string.endEditing();
}

void invertBlackAndWhiteOnly(MutableAttributedString& string, bool blackAndWhiteOnly,
                             const std::vector<Range>& ranges,
                             const std::optional<Color>& viewBackgroundColor)
{
    const std::vector<Range> targets = clippedRanges(string, ranges);
    if (targets.empty())
        return;
    const bool selection = !ranges.empty() && viewBackgroundColor.has_value();
    string.beginEditing();
    if (selection)
        for (const Range& range : targets)
            highlightUnhighlighted(string, range, *viewBackgroundColor);
    for (const QString& name : colorAttributeNames())
        for (const Range& range : targets)
            invertAttribute(string, name, range, blackAndWhiteOnly);
    if (selection)
        for (const Range& range : targets)
            removeHighlightsEqualTo(string, range, *viewBackgroundColor);
    string.endEditing();
}

} // namespace NSMutableAttributedStringOVBookmarkAdditions
