#pragma once

// Attribute-run listings of a text, keyed by the run dictionary's fixed names.

#include "platform/text/AttributedString.h"

#include <optional>
#include <vector>

// Keys of an attribute-run dictionary, for code that stores or logs runs keyed by name.
inline const QString HVAttributedStringRangeName = QStringLiteral("HVAttributedStringRangeName");
inline const QString HVAttributedStringAttributeValueName =
    QStringLiteral("HVAttributedStringAttributeValueName");
// The value differs from the constant's name; both are fixed.
inline const QString HVAttributedStringAttributeDictionaryName =
    QStringLiteral("HVAttributedStringAttributeDictionaryAttributeName");

// One attribute run as the run listings report it: its range and either the named attribute's value
// or, when no name was asked for, the run's whole dictionary.
struct AttributedStringRun {
    Range range;
    // Under HVAttributedStringAttributeValueName.
    std::optional<AttributeValue> value;
    // Under HVAttributedStringAttributeDictionaryName.
    std::optional<AttributeDictionary> attributes;

    bool operator==(const AttributedStringRun&) const = default;
};

// Nothing (rather than an empty list) when no run qualifies.
using AttributedStringRuns = std::optional<std::vector<AttributedStringRun>>;

// Attribute-run listings over attributed strings. A null name (QString()) asks for whole dictionaries.
namespace NSAttributedStringHVAdditions {

Range fullRange(const AttributedString& string);

// Runs of the whole string: with a name, the runs carrying that attribute (equal touching values are
// one run); without, every run with its dictionary.
AttributedStringRuns allAttributesNamed(const AttributedString& string, const QString& name);
AttributedStringRuns allAttributesNamed(const AttributedString& string, const QString& name,
                                        const Range& fromRange);
// Runs inside fromRange, cut at its ends; ranges count from the string's start when
// useAbsoluteRanges, else from fromRange's start.
AttributedStringRuns allAttributesNamed(const AttributedString& string, const QString& name,
                                        const Range& fromRange, bool useAbsoluteRanges);
AttributedStringRuns allAttributes(const AttributedString& string);
AttributedStringRuns allAttributesFromRange(const AttributedString& string, const Range& range);
AttributedStringRuns allAttributesFromRange(const AttributedString& string, const Range& range,
                                            bool useAbsoluteRanges);

// The worker of the listings: runs of the whole string with deltaResultLocation added to each location.
AttributedStringRuns _allAttributesNamed(const AttributedString& string, const QString& name,
                                         qsizetype deltaResultLocation);

} // namespace NSAttributedStringHVAdditions
