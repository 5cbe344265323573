#include "platform/textlayout/TemporaryAttributes.h"

#include "platform/text/TextStorage.h"

#include <algorithm>

namespace {

template <class Change> void changeRuns(AttributeRuns& runs, const Range& range, Change&& change)
{
    const Range clipped = range.intersection({0, runs.length()});
    if (clipped.isEmpty())
        return;
    std::vector<AttributeRun> slice = runs.slice(clipped);
    for (AttributeRun& run : slice)
        change(run.attributes);
    runs.replace(clipped, std::move(slice));
}

} // namespace

void TemporaryAttributes::reset(qsizetype length)
{
    m_runs.clear();
    if (length > 0)
        m_runs.replace({0, 0}, {AttributeRun{length, {}}});
}

void TemporaryAttributes::textEdited(const TextStorageEdit& edit, qsizetype newLength)
{
    if (!(edit.editedMask & TextStorageEditedCharacters))
        return;
    const Range oldRange{edit.editedRange.location, edit.editedRange.length - edit.changeInLength};
    if (oldRange.location >= 0 && oldRange.end() <= m_runs.length() && edit.editedRange.length >= 0) {
        std::vector<AttributeRun> runs;
        if (edit.editedRange.length > 0)
            runs.push_back({edit.editedRange.length, {}});
        m_runs.replace(oldRange, std::move(runs));
    } else {
        reset(newLength);
    }
}

void TemporaryAttributes::set(const AttributeDictionary& attributes, const Range& range)
{
    changeRuns(m_runs, range, [&](AttributeDictionary& dictionary) { dictionary = attributes; });
}

void TemporaryAttributes::add(const QString& name, const AttributeValue& value, const Range& range)
{
    changeRuns(m_runs, range, [&](AttributeDictionary& dictionary) { dictionary.insert(name, value); });
}

void TemporaryAttributes::add(const AttributeDictionary& attributes, const Range& range)
{
    changeRuns(m_runs, range, [&](AttributeDictionary& dictionary) { dictionary.insert(attributes); });
}

void TemporaryAttributes::remove(const QString& name, const Range& range)
{
    changeRuns(m_runs, range, [&](AttributeDictionary& dictionary) { dictionary.remove(name); });
}

AttributeDictionary TemporaryAttributes::attributesAt(qsizetype index, Range* effectiveRange) const
{
    if (index < 0 || index >= m_runs.length()) {
        if (effectiveRange)
            *effectiveRange = {index, 0};
        return {};
    }
    return m_runs.at(index, effectiveRange);
}

AttributeValue TemporaryAttributes::attribute(const QString& name, qsizetype index,
                                              Range* longestEffectiveRange, const Range& limit) const
{
    Range run;
    const AttributeDictionary attributes = attributesAt(index, &run);
    const AttributeValue value = attributes.value(name);
    if (longestEffectiveRange) {
        const Range bounds = limit.intersection({0, m_runs.length()});
        qsizetype start = run.location;
        qsizetype end = run.end();
        while (start > bounds.location) {
            Range previous;
            if (!(m_runs.at(start - 1, &previous).value(name) == value))
                break;
            start = previous.location;
        }
        while (end < bounds.end()) {
            Range next;
            if (!(m_runs.at(end, &next).value(name) == value))
                break;
            end = next.end();
        }
        start = std::max(start, bounds.location);
        end = std::min(end, bounds.end());
        *longestEffectiveRange = {start, std::max<qsizetype>(0, end - start)};
    }
    return value;
}

void TemporaryAttributes::enumerate(
    const QString& name, const Range& range, bool reverse,
    const std::function<void(const AttributeValue&, const Range&, bool&)>& visit) const
{
    const Range bounds = range.intersection({0, m_runs.length()});
    if (bounds.isEmpty())
        return;
    std::vector<std::pair<AttributeValue, Range>> pieces;
    for (qsizetype index = bounds.location; index < bounds.end();) {
        Range effective;
        const AttributeValue value = attribute(name, index, &effective, bounds);
        if (effective.length <= 0)
            break;
        pieces.emplace_back(value, effective);
        index = effective.end();
    }
    if (reverse)
        std::reverse(pieces.begin(), pieces.end());
    bool stop = false;
    for (const auto& [value, pieceRange] : pieces) {
        visit(value, pieceRange, stop);
        if (stop)
            break;
    }
}
