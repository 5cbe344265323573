#pragma once

#include "platform/foundation/Range.h"
#include "platform/text/AttributeRuns.h"

#include <functional>

struct TextStorageEdit;

// Attributes a layout manager draws but the storage never holds (spelling marks, find highlights):
// runs over the whole text that shift with its edits, where inserted characters carry none.
class TemporaryAttributes {
public:
    // Starts over with length characters and no attributes.
    void reset(qsizetype length);
    // Follows an edit of the text, which now has newLength characters.
    void textEdited(const TextStorageEdit& edit, qsizetype newLength);

    qsizetype length() const { return m_runs.length(); }
    void set(const AttributeDictionary& attributes, const Range& range);
    void add(const QString& name, const AttributeValue& value, const Range& range);
    void add(const AttributeDictionary& attributes, const Range& range);
    void remove(const QString& name, const Range& range);
    // The run holding index (within 0...length) and its range.
    const AttributeDictionary& runAt(qsizetype index, Range* runRange) const
    {
        return m_runs.at(index, runRange);
    }
    AttributeDictionary attributesAt(qsizetype index, Range* effectiveRange) const;
    // The value of one attribute with the longest range within limit over which it holds.
    AttributeValue attribute(const QString& name, qsizetype index, Range* longestEffectiveRange,
                             const Range& limit) const;
    void enumerate(const QString& name, const Range& range, bool reverse,
                   const std::function<void(const AttributeValue&, const Range&, bool&)>& visit) const;

private:
    AttributeRuns m_runs;
};
