#include "window/OVQuickZoom.h"

#include "platform/text/AttributeNames.h"
#include "platform/text/AttributedString.h"
#include "platform/text/Font.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

namespace {

constexpr double kSmallestFixedScale = 0.05;
constexpr double kLargestFixedScale = 0.95;
constexpr double kSnapDistance = 0.001;

} // namespace

std::optional<double> OVQuickZoom::fixedScale(double stored)
{
    if (!std::isfinite(stored))
        return std::nullopt;
    double scale = stored;
    if (std::abs(scale - kSmallestFixedScale) <= kSnapDistance)
        scale = kSmallestFixedScale;
    else if (std::abs(scale - kLargestFixedScale) <= kSnapDistance)
        scale = kLargestFixedScale;
    if (scale >= kSmallestFixedScale && scale <= kLargestFixedScale)
        return scale;
    return std::nullopt;
}

double OVQuickZoom::mostUsedPointSize(const AttributedString& text)
{
    // Ordered by size, so the first of equal counts met below is the smaller size.
    std::map<double, qsizetype> characters;
    text.enumerateAttribute(kFontAttributeName, Range{0, text.length()},
                            AttributedString::EnumerationLongestEffectiveRangeNotRequired,
                            [&characters](const AttributeValue& value, const Range& range, bool&) {
                                if (const Font* font = value.font(); font && std::isfinite(font->pointSize))
                                    characters[font->pointSize] += range.length;
                            });
    double size = 0;
    qsizetype most = 0;
    for (const auto& [pointSize, count] : characters) {
        if (count > most) {
            most = count;
            size = pointSize;
        }
    }
    return size;
}

double OVQuickZoom::automaticScale(double pointSize, double targetSize, long long deltaIndex,
                                   const QList<double>& table)
{
    if (!(pointSize > 0) || !std::isfinite(pointSize) || table.isEmpty())
        return 1.0;
    const double wanted = targetSize / pointSize;
    qsizetype best = -1;
    double bestDistance = std::numeric_limits<double>::max();
    for (qsizetype i = 0; i < table.size(); ++i) {
        const double distance = std::abs(table.at(i) - wanted);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    if (best < 0)
        return 1.0;
    if (deltaIndex != 0) {
        const long long last = table.size() - 1;
        // Clamped before adding, so no stored delta can overflow the index.
        const long long delta = std::clamp<long long>(deltaIndex, -last - 1, last + 1);
        best = qsizetype(std::clamp<long long>(best + delta, 0, last));
    }
    return table.at(best);
}
