#include "textutil/NSAttributedStringHVAdditions.h"

namespace NSAttributedStringHVAdditions {

Range fullRange(const AttributedString& string)
{
    return Range{0, string.length()};
}

AttributedStringRuns allAttributesNamed(const AttributedString& string, const QString& name)
{
    return _allAttributesNamed(string, name, 0);
}

AttributedStringRuns allAttributesNamed(const AttributedString& string, const QString& name,
                                        const Range& fromRange)
{
    return allAttributesNamed(string, name, fromRange, true);
}

AttributedStringRuns allAttributesNamed(const AttributedString& string, const QString& name,
                                        const Range& fromRange, bool useAbsoluteRanges)
{
    if (fromRange == fullRange(string))
        return _allAttributesNamed(string, name, 0);
    // Walking the substring cuts the runs at the range's ends.
    AttributedString substring = string.attributedSubstring(fromRange);
    qsizetype location = std::clamp<qsizetype>(fromRange.location, 0, string.length());
    return _allAttributesNamed(substring, name, useAbsoluteRanges ? location : 0);
}

AttributedStringRuns allAttributes(const AttributedString& string)
{
    return allAttributesNamed(string, QString());
}

AttributedStringRuns allAttributesFromRange(const AttributedString& string, const Range& range)
{
    return allAttributesFromRange(string, range, true);
}

AttributedStringRuns allAttributesFromRange(const AttributedString& string, const Range& range,
                                            bool useAbsoluteRanges)
{
    return allAttributesNamed(string, QString(), range, useAbsoluteRanges);
}

AttributedStringRuns _allAttributesNamed(const AttributedString& string, const QString& name,
                                         qsizetype deltaResultLocation)
{
    std::vector<AttributedStringRun> runs;
    runs.reserve(10);
    qsizetype length = string.length();
    qsizetype index = 0;
    while (index < length) {
        Range effective;
        Range searched{index, length - index};
        AttributedStringRun run;
        if (name.isNull()) {
            run.attributes = string.attributesAtIndex(index, &effective, searched);
        } else {
            AttributeValue value = string.attribute(name, index, &effective, searched);
            if (!value.isNull())
                run.value = std::move(value);
        }
        if (effective.length <= 0)
            break;
        if (run.value || run.attributes) {
            run.range = Range{effective.location + deltaResultLocation, effective.length};
            runs.push_back(std::move(run));
        }
        index = effective.end();
    }
    if (runs.empty())
        return std::nullopt;
    return runs;
}

} // namespace NSAttributedStringHVAdditions
