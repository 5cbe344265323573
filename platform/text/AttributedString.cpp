#include "platform/text/AttributedString.h"

#include <algorithm>

AttributedString::AttributedString(const QString& string, const AttributeDictionary& attributes)
{
    if (string.isEmpty())
        return;
    m_text.replace(0, 0, reinterpret_cast<const char16_t*>(string.utf16()), string.size());
    m_runs.replace(Range{0, 0}, {AttributeRun{string.size(), attributes}});
    m_string = string;
    m_stringValid = true;
}

AttributedString AttributedString::withRuns(QString string, std::vector<AttributeRun> runs)
{
    return fromRuns(std::move(string), std::move(runs), false);
}

AttributedString AttributedString::withDistinctRuns(QString string, std::vector<AttributeRun> runs)
{
    return fromRuns(std::move(string), std::move(runs), true);
}

AttributedString AttributedString::fromRuns(QString string, std::vector<AttributeRun> runs, bool distinct)
{
    AttributedString result;
    const qsizetype length = string.size();
    if (length == 0)
        return result;
    qsizetype covered = 0;
    size_t kept = 0;
    for (; kept < runs.size() && covered < length; ++kept) {
        AttributeRun& run = runs[kept];
        run.length = std::clamp<qsizetype>(run.length, 0, length - covered);
        covered += run.length;
    }
    runs.resize(kept);
    if (covered < length) {
        if (runs.empty())
            runs.push_back(AttributeRun{length - covered, {}});
        else
            runs.back().length += length - covered;
    }
    result.m_text.assign(reinterpret_cast<const char16_t*>(string.utf16()), length);
    if (distinct)
        result.m_runs.assignDistinct(std::move(runs));
    else
        result.m_runs.assign(std::move(runs));
    result.m_string = std::move(string);
    result.m_stringValid = true;
    return result;
}

AttributedString::AttributedString(const AttributedString& other)
    : m_text(other.m_text), m_runs(other.m_runs), m_string(other.m_string), m_stringValid(other.m_stringValid)
{
}

AttributedString::AttributedString(AttributedString&& other) noexcept
    : m_text(std::move(other.m_text)), m_runs(std::move(other.m_runs)), m_string(std::move(other.m_string)),
      m_stringValid(other.m_stringValid)
{
    other.m_text.clear();
    other.m_runs.clear();
    other.m_stringValid = false;
}

AttributedString& AttributedString::operator=(const AttributedString& other)
{
    if (this != &other) {
        m_text = other.m_text;
        m_runs = other.m_runs;
        m_string = other.m_string;
        m_stringValid = other.m_stringValid;
    }
    return *this;
}

AttributedString& AttributedString::operator=(AttributedString&& other) noexcept
{
    if (this != &other) {
        m_text = std::move(other.m_text);
        m_runs = std::move(other.m_runs);
        m_string = std::move(other.m_string);
        m_stringValid = other.m_stringValid;
        other.m_text.clear();
        other.m_runs.clear();
        other.m_stringValid = false;
    }
    return *this;
}

const QString& AttributedString::string() const
{
    if (!m_stringValid) {
        m_string = m_text.toString();
        m_stringValid = true;
    }
    return m_string;
}

QString AttributedString::substring(const Range& range) const
{
    Range r = clipped(range);
    return m_text.mid(r.location, r.length);
}

Range AttributedString::clipped(const Range& range) const
{
    qsizetype length = m_text.length();
    qsizetype location = std::clamp<qsizetype>(range.location, 0, length);
    qsizetype end =
        range.length > length - location ? length : location + std::max<qsizetype>(range.length, 0);
    return Range{location, end - location};
}

AttributeDictionary AttributedString::attributesAtIndex(qsizetype index, Range* effectiveRange) const
{
    return m_runs.at(index, effectiveRange);
}

AttributeDictionary AttributedString::attributesAtIndex(qsizetype index, Range* longestEffectiveRange,
                                                        const Range& rangeLimit) const
{
    Range run;
    AttributeDictionary attributes = m_runs.at(index, &run);
    if (longestEffectiveRange) {
        Range limit = clipped(rangeLimit);
        qsizetype from = std::max(run.location, limit.location);
        qsizetype to = std::min(run.end(), limit.end());
        if (limit.contains(index) && from < to)
            *longestEffectiveRange = Range{from, to - from};
        else
            *longestEffectiveRange = Range{std::clamp(index, limit.location, limit.end()), 0};
    }
    return attributes;
}

AttributeValue AttributedString::attribute(const QString& name, qsizetype index, Range* effectiveRange) const
{
    return m_runs.at(index, effectiveRange).value(name);
}

AttributeValue AttributedString::attribute(const QString& name, qsizetype index, Range* longestEffectiveRange,
                                           const Range& rangeLimit) const
{
    Range run;
    AttributeValue value = m_runs.at(index, &run).value(name);
    if (!longestEffectiveRange)
        return value;
    Range limit = clipped(rangeLimit);
    if (run.length == 0 || !limit.contains(index)) {
        *longestEffectiveRange = Range{std::clamp(index, limit.location, limit.end()), 0};
        return value;
    }
    // Neighbouring runs differ in some attribute, maybe not in this one: walk while the value holds.
    qsizetype from = run.location;
    while (from > limit.location) {
        Range previous;
        if (!(m_runs.at(from - 1, &previous).value(name) == value))
            break;
        from = previous.location;
    }
    qsizetype to = run.end();
    while (to < limit.end()) {
        Range next;
        if (!(m_runs.at(to, &next).value(name) == value))
            break;
        to = next.end();
    }
    from = std::max(from, limit.location);
    to = std::min(to, limit.end());
    *longestEffectiveRange = Range{from, to - from};
    return value;
}

AttributedString AttributedString::attributedSubstring(const Range& range) const
{
    Range r = clipped(range);
    AttributedString result;
    if (r.length == 0)
        return result;
    QString text = m_text.mid(r.location, r.length);
    result.m_text.replace(0, 0, reinterpret_cast<const char16_t*>(text.utf16()), text.size());
    result.m_runs.replace(Range{0, 0}, m_runs.slice(r));
    result.m_string = text;
    result.m_stringValid = true;
    return result;
}

void AttributedString::enumerateAttribute(const QString& name, const Range& range, unsigned options,
                                          const AttributeVisitor& visit) const
{
    Range limit = clipped(range);
    bool longest = !(options & EnumerationLongestEffectiveRangeNotRequired);
    bool stop = false;
    auto effective = [&](qsizetype index, Range* found) {
        if (longest)
            return attribute(name, index, found, limit);
        AttributeValue value = m_runs.at(index, found).value(name);
        qsizetype from = std::max(found->location, limit.location);
        qsizetype to = std::min(found->end(), limit.end());
        *found = Range{from, to - from};
        return value;
    };
    if (options & EnumerationReverse) {
        qsizetype index = limit.end();
        while (index > limit.location && !stop) {
            Range found;
            AttributeValue value = effective(index - 1, &found);
            visit(value, found, stop);
            index = found.location;
        }
        return;
    }
    qsizetype index = limit.location;
    while (index < limit.end() && !stop) {
        Range found;
        AttributeValue value = effective(index, &found);
        visit(value, found, stop);
        index = found.end();
    }
}

void AttributedString::enumerateAttributes(const Range& range, unsigned options,
                                           const AttributesVisitor& visit) const
{
    // Stored runs are already the longest ranges of their dictionaries.
    Range limit = clipped(range);
    bool stop = false;
    auto effective = [&](qsizetype index, Range* found) { return attributesAtIndex(index, found, limit); };
    if (options & EnumerationReverse) {
        qsizetype index = limit.end();
        while (index > limit.location && !stop) {
            Range found;
            AttributeDictionary attributes = effective(index - 1, &found);
            visit(attributes, found, stop);
            index = found.location;
        }
        return;
    }
    qsizetype index = limit.location;
    while (index < limit.end() && !stop) {
        Range found;
        AttributeDictionary attributes = effective(index, &found);
        visit(attributes, found, stop);
        index = found.end();
    }
}

Range AttributedString::paragraphRange(const Range& range) const
{
    Range r = clipped(range);
    qsizetype start = m_text.paragraphStart(r.location);
    qsizetype end = r.length > 0 ? m_text.paragraphEnd(r.end() - 1) : m_text.paragraphEnd(r.location);
    // An empty range just past a terminator names the (empty) paragraph that starts there.
    if (r.length == 0 && start == r.location && r.location == m_text.length())
        end = start;
    return Range{start, end - start};
}

bool AttributedString::operator==(const AttributedString& other) const
{
    return m_text.equals(other.m_text) && m_runs == other.m_runs;
}
