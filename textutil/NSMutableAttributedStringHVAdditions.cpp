#include "textutil/NSMutableAttributedStringHVAdditions.h"

#include "textutil/NSAttributedStringHVAdditions.h"

#include <QSet>

#include <algorithm>

namespace NSMutableAttributedStringHVAdditions {

namespace {

bool isWithin(const MutableAttributedString& receiver, const Range& range)
{
    return range.location >= 0 && range.length >= 0 && range.location <= receiver.length() &&
           range.length <= receiver.length() - range.location;
}

// Where index lands once the CRs of the CR LF pairs at pairs (ascending) are gone: an index inside a
// pair lands on its newline.
qsizetype unifiedIndex(qsizetype index, const std::vector<qsizetype>& pairs)
{
    const auto before = std::lower_bound(pairs.begin(), pairs.end(), index) - pairs.begin();
    return index - before;
}

} // namespace

void unifyLineEndingsInRange(MutableAttributedString& receiver, const Range& range,
                             std::vector<Range>* adjustCharacterRanges)
{
    if (!isWithin(receiver, range))
        return;
    const QString& text = receiver.string();
    std::vector<qsizetype> pairs;
    std::vector<qsizetype> loneReturns;
    for (qsizetype i = range.location; i < range.end(); ++i) {
        if (text.at(i) != u'\r')
            continue;
        if (i + 1 < range.end() && text.at(i + 1) == u'\n')
            pairs.push_back(i++);
        else
            loneReturns.push_back(i);
    }
    if (pairs.empty() && loneReturns.empty())
        return;
    if (adjustCharacterRanges) {
        for (Range& adjusted : *adjustCharacterRanges) {
            const qsizetype start = unifiedIndex(adjusted.location, pairs);
            adjusted = Range{start, unifiedIndex(adjusted.end(), pairs) - start};
        }
    }
    receiver.beginEditing();
    // Last to first, so the positions still to change stay where they were found.
    auto pair = pairs.rbegin();
    auto lone = loneReturns.rbegin();
    while (pair != pairs.rend() || lone != loneReturns.rend()) {
        if (lone == loneReturns.rend() || (pair != pairs.rend() && *pair > *lone)) {
            receiver.deleteCharacters(Range{*pair++, 1});
        } else {
            receiver.replaceCharacters(Range{*lone++, 1}, QStringLiteral("\n"));
        }
    }
    receiver.endEditing();
}

void unifyLineEndings(MutableAttributedString& receiver)
{
    unifyLineEndingsInRange(receiver, Range{0, receiver.length()});
}

bool insertAttributedString(MutableAttributedString& receiver, const AttributedString& string,
                            qsizetype atIndex, bool preserveExistingAttributes)
{
    if (!isWithin(receiver, Range{atIndex, 0}))
        return false;
    if (!preserveExistingAttributes) {
        receiver.insert(string, atIndex);
        return true;
    }
    receiver.insert(_attributedString(receiver, string, atIndex), atIndex);
    return true;
}

bool replaceCharactersInRange(MutableAttributedString& receiver, const Range& range,
                              const AttributedString& string, bool preserveExistingAttributes)
{
    if (!isWithin(receiver, range))
        return false;
    if (!preserveExistingAttributes) {
        receiver.replaceCharacters(range, string);
        return true;
    }
    receiver.replaceCharacters(range, _attributedString(receiver, string, range.location));
    return true;
}

void appendAttributedString(MutableAttributedString& receiver, const AttributedString& string,
                            bool preserveExistingAttributes)
{
    insertAttributedString(receiver, string, receiver.length(), preserveExistingAttributes);
}

MutableAttributedString _attributedString(const AttributedString& receiver, const AttributedString& string,
                                          qsizetype preservingAttributesAtIndex)
{
    qsizetype index = preservingAttributesAtIndex;
    if (receiver.length() == 0 || index < 0 || index > receiver.length())
        return string;
    if (index == receiver.length())
        --index;

    QSet<QString> ownNames;
    if (AttributedStringRuns runs = NSAttributedStringHVAdditions::allAttributes(string)) {
        for (const AttributedStringRun& run : *runs)
            for (const auto& [name, value] : *run.attributes)
                ownNames.insert(name);
    }
    AttributeDictionary carried = receiver.attributesAtIndex(index);
    for (const QString& name : carried.names())
        if (ownNames.contains(name) || name == kAttachmentAttributeName)
            carried.remove(name);

    MutableAttributedString result = string;
    if (!carried.isEmpty())
        result.addAttributes(carried, Range{0, result.length()});
    return result;
}

} // namespace NSMutableAttributedStringHVAdditions
