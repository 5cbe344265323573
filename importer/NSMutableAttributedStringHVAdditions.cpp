#include "importer/NSMutableAttributedStringHVAdditions.h"

#include "importer/NSAttributedStringHVAdditions.h"

#include <QSet>

namespace NSMutableAttributedStringHVAdditions {

namespace {

bool isWithin(const MutableAttributedString& receiver, const Range& range)
{
    return range.location >= 0 && range.length >= 0 && range.location <= receiver.length() &&
           range.length <= receiver.length() - range.location;
}

} // namespace

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
