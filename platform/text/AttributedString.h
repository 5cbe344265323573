#pragma once

#include "platform/foundation/Range.h"
#include "platform/text/AttributeDictionary.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/AttributeRuns.h"
#include "platform/text/TextBuffer.h"

#include <QString>

#include <functional>

// Text with attributes, as the platform's text system models it: UTF-16 code units (indexes and
// ranges count units, so a surrogate pair is two), each unit carrying an attribute dictionary, stored
// as runs where equal neighbours are merged. Ranges reaching outside the string are cut to it.
// Like Qt's containers, one object is used from one thread at a time (string() fills a cache).
class AttributedString {
public:
    enum EnumerationOption : unsigned {
        EnumerationReverse = 1u << 1,
        // Report each stored run as it is, without joining neighbours whose value is the same.
        EnumerationLongestEffectiveRangeNotRequired = 1u << 20,
    };

    using AttributeVisitor = std::function<void(const AttributeValue& value, const Range& range, bool& stop)>;
    using AttributesVisitor =
        std::function<void(const AttributeDictionary& attributes, const Range& range, bool& stop)>;

    AttributedString() = default;
    explicit AttributedString(const QString& string, const AttributeDictionary& attributes = {});
    // The string with the attributes of runs, built in one pass (readers of whole files use it). The
    // runs' lengths should add up to the string's: runs past its end are cut, and the last run's
    // attributes hold to its end.
    static AttributedString withRuns(QString string, std::vector<AttributeRun> runs);
    // The same for runs whose neighbours are known to differ, as a reader that merged them itself
    // gives: they are not compared again.
    static AttributedString withDistinctRuns(QString string, std::vector<AttributeRun> runs);
    AttributedString(const AttributedString& other);
    AttributedString(AttributedString&& other) noexcept;
    AttributedString& operator=(const AttributedString& other);
    AttributedString& operator=(AttributedString&& other) noexcept;
    virtual ~AttributedString() = default;

    // The characters; built on demand and kept until the next change.
    const QString& string() const;
    qsizetype length() const { return m_text.length(); }
    // The UTF-16 unit at index, or 0 outside the string.
    char16_t characterAtIndex(qsizetype index) const { return m_text.at(index); }
    QString substring(const Range& range) const;

    // The attributes at index and, when asked, the range over which they hold (the run).
    AttributeDictionary attributesAtIndex(qsizetype index, Range* effectiveRange = nullptr) const;
    // As above, with the range cut to rangeLimit.
    AttributeDictionary attributesAtIndex(qsizetype index, Range* longestEffectiveRange,
                                          const Range& rangeLimit) const;
    // One attribute at index, with the range over which the run holding index carries it.
    AttributeValue attribute(const QString& name, qsizetype index, Range* effectiveRange = nullptr) const;
    // One attribute at index, with the longest range within rangeLimit over which its value is the same.
    AttributeValue attribute(const QString& name, qsizetype index, Range* longestEffectiveRange,
                             const Range& rangeLimit) const;

    AttributedString attributedSubstring(const Range& range) const;

    // Visits the ranges of one attribute's values (a null value where it is absent) in range.
    void enumerateAttribute(const QString& name, const Range& range, unsigned options,
                            const AttributeVisitor& visit) const;
    void enumerateAttributes(const Range& range, unsigned options, const AttributesVisitor& visit) const;

    // The whole paragraphs that range touches, terminators included.
    Range paragraphRange(const Range& range) const;
    // How many runs of distinct attributes the string holds.
    qsizetype runCount() const { return m_runs.runCount(); }

    bool operator==(const AttributedString& other) const;

protected:
    friend class MutableAttributedString;

    // range cut to the string.
    Range clipped(const Range& range) const;
    void invalidateString() { m_stringValid = false; }

    TextBuffer m_text;
    AttributeRuns m_runs;

private:
    static AttributedString fromRuns(QString string, std::vector<AttributeRun> runs, bool distinct);

    mutable QString m_string;
    mutable bool m_stringValid = false;
};
