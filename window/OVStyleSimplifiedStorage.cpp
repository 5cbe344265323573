#include "window/OVStyleSimplifiedStorage.h"

#include "platform/hvkit/NSColorHVAdditions.h"
#include "platform/text/MutableAttributedString.h"
#include "text/NSMutableAttributedStringOVBookmarkAdditions.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>
#include <vector>

namespace OVStyleSimplifiedStorage {

namespace {

// The sizes where a band is not given, as the print panel registers them.
constexpr double kDefaultMaximumPointSize = 13.0;
constexpr double kDefaultMinimumPointSize = 10.0;

void removeAttachments(MutableAttributedString& text)
{
    std::vector<Range> attachments;
    text.enumerateAttribute(kAttachmentAttributeName, Range{0, text.length()}, 0,
                            [&attachments](const AttributeValue& value, const Range& range, bool&) {
                                if (!value.isNull())
                                    attachments.push_back(range);
                            });
    // Last to first, so the ranges still to delete stay where they were found.
    for (auto it = attachments.rbegin(); it != attachments.rend(); ++it)
        text.deleteCharacters(*it);
}

// Maps the sizes found in the text, smallest to largest, linearly onto the band.
class FontSizeMapping {
public:
    FontSizeMapping(const MutableAttributedString& text, double minimum, double maximum) : m_maximum(maximum)
    {
        text.enumerateAttribute(kFontAttributeName, Range{0, text.length()},
                                AttributedString::EnumerationLongestEffectiveRangeNotRequired,
                                [this](const AttributeValue& value, const Range&, bool&) {
                                    const Font* font = value.font();
                                    if (!font || !std::isfinite(font->pointSize))
                                        return;
                                    m_smallest = std::min(m_smallest, font->pointSize);
                                    m_largest = std::max(m_largest, font->pointSize);
                                    m_hasFonts = true;
                                });
        m_span = std::max(0.001, m_largest - m_smallest);
        m_low = m_largest == m_smallest ? maximum : minimum;
    }

    // A text without fonts has no sizes to map.
    bool hasFonts() const { return m_hasFonts; }

    double size(double pointSize) const
    {
        if (!std::isfinite(pointSize))
            return m_low;
        const double weight = (pointSize - m_smallest) / m_span;
        return weight * m_maximum + (1 - weight) * m_low;
    }

private:
    double m_maximum;
    double m_smallest = INFINITY;
    double m_largest = -INFINITY;
    double m_span = 0.001;
    double m_low = 0;
    bool m_hasFonts = false;
};

// Colours that do not read on white, adjusted once per colour for the whole text.
class ReadableColors {
public:
    Color readable(const Color& color)
    {
        const auto key = std::make_tuple(int(color.space), color.red, color.green, color.blue, color.alpha);
        const auto found = m_adjusted.find(key);
        if (found != m_adjusted.end())
            return found->second;
        const Color adjusted =
            NSColorHVAdditions::isContrastReadableWithColor(color, m_white, HVColorContrastRatioReadable)
                ? color
                : NSColorHVAdditions::colorAdjustedToBeReadableOn(color, m_white,
                                                                  HVColorContrastRatioReadable);
        m_adjusted.emplace(key, adjusted);
        return adjusted;
    }

private:
    const Color m_white = NSColorHVAdditions::RGBWhiteColor();
    std::map<std::tuple<int, double, double, double, double>, Color> m_adjusted;
};

void simplifyColor(AttributeDictionary& attributes, const QString& name, ReadableColors& colors)
{
    const AttributeValue* value = attributes.find(name);
    if (!value || !value->color())
        return;
    Color color = *value->color();
    if (name != kForegroundColorAttributeName || NSColorHVAdditions::isGrayscale(color))
        color = NSColorHVAdditions::RGBBlackColor();
    attributes.insert(name, colors.readable(color));
}

ParagraphStyle simplifiedParagraphStyle(const ParagraphStyle& style)
{
    ParagraphStyle simple;
    simple.alignment = style.alignment;
    simple.baseWritingDirection = style.baseWritingDirection;
    return simple;
}

} // namespace

void simplify(MutableAttributedString& text, double minimumPointSize, double maximumPointSize)
{
    // Sizes from a damaged settings file: never an empty or negative font.
    if (!std::isfinite(minimumPointSize) || minimumPointSize <= 0)
        minimumPointSize = kDefaultMinimumPointSize;
    if (!std::isfinite(maximumPointSize) || maximumPointSize <= 0)
        maximumPointSize = kDefaultMaximumPointSize;
    if (maximumPointSize < minimumPointSize)
        std::swap(minimumPointSize, maximumPointSize);
    removeAttachments(text);
    const FontSizeMapping sizes(text, minimumPointSize, maximumPointSize);
    ReadableColors colors;
    // One pass over the runs builds the whole new style: far cheaper on a long script than an
    // attribute edit per run and per attribute.
    std::vector<AttributeRun> runs;
    runs.reserve(size_t(text.runCount()));
    text.enumerateAttributes(
        Range{0, text.length()}, AttributedString::EnumerationLongestEffectiveRangeNotRequired,
        [&](const AttributeDictionary& original, const Range& range, bool&) {
            AttributeDictionary attributes = original;
            if (const AttributeValue* font = attributes.find(kFontAttributeName);
                font && font->font() && sizes.hasFonts())
                attributes.insert(kFontAttributeName,
                                  font->font()->withPointSize(sizes.size(font->font()->pointSize)));
            attributes.remove(kBackgroundColorAttributeName);
            for (const QString& name : {kForegroundColorAttributeName, kStrokeColorAttributeName,
                                        kUnderlineColorAttributeName, kStrikethroughColorAttributeName})
                simplifyColor(attributes, name, colors);
            if (const AttributeValue* style = attributes.find(kParagraphStyleAttributeName);
                style && style->paragraphStyle())
                attributes.insert(kParagraphStyleAttributeName,
                                  simplifiedParagraphStyle(*style->paragraphStyle()));
            runs.push_back({range.length, std::move(attributes)});
        });
    text.setAttributedString(AttributedString::withRuns(text.string(), std::move(runs)));
    NSMutableAttributedStringOVBookmarkAdditions::removeAllBookmarks(text);
}

} // namespace OVStyleSimplifiedStorage
