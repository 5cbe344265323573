#include "platform/text/MutableAttributedString.h"

#include "platform/text/TextAttachment.h"

void MutableAttributedString::edited(unsigned, const Range&, qsizetype) {}

void MutableAttributedString::replaceCharacters(const Range& range, const QString& string)
{
    Range r = clipped(range);
    if (r.length == 0 && string.isEmpty())
        return;
    AttributeDictionary inherited;
    if (r.length > 0)
        inherited = m_runs.at(r.location);
    else if (r.location > 0)
        inherited = m_runs.at(r.location - 1);
    else
        inherited = m_runs.at(r.location);
    m_text.replace(r.location, r.length, reinterpret_cast<const char16_t*>(string.utf16()), string.size());
    m_runs.replace(r, {AttributeRun{string.size(), inherited}});
    invalidateString();
    edited(TextStorageEditedCharacters, r, string.size() - r.length);
}

void MutableAttributedString::replaceCharacters(const Range& range, const AttributedString& attributedString)
{
    Range r = clipped(range);
    if (r.length == 0 && attributedString.length() == 0)
        return;
    // Copy first: the source may be this very string.
    QString text = attributedString.string();
    std::vector<AttributeRun> runs = attributedString.m_runs.slice(Range{0, text.size()});
    m_text.replace(r.location, r.length, reinterpret_cast<const char16_t*>(text.utf16()), text.size());
    m_runs.replace(r, std::move(runs));
    invalidateString();
    edited(TextStorageEditedCharacters | TextStorageEditedAttributes, r, text.size() - r.length);
}

void MutableAttributedString::replaceCharacters(const Range& range, const QString& string,
                                                const AttributeDictionary& attributes)
{
    Range r = clipped(range);
    if (r.length == 0 && string.isEmpty())
        return;
    m_text.replace(r.location, r.length, reinterpret_cast<const char16_t*>(string.utf16()), string.size());
    m_runs.replace(r, {AttributeRun{string.size(), attributes}});
    invalidateString();
    edited(TextStorageEditedCharacters | TextStorageEditedAttributes, r, string.size() - r.length);
}

void MutableAttributedString::replaceRuns(const Range& range, std::vector<AttributeRun> runs,
                                          unsigned editedMask)
{
    m_runs.replace(range, std::move(runs));
    edited(editedMask, range, 0);
}

void MutableAttributedString::setAttributes(const AttributeDictionary& attributes, const Range& range)
{
    Range r = clipped(range);
    if (r.length == 0)
        return;
    replaceRuns(r, {AttributeRun{r.length, attributes}}, TextStorageEditedAttributes);
}

template <class Change> void MutableAttributedString::changeAttributes(const Range& range, Change&& change)
{
    Range r = clipped(range);
    if (r.length == 0)
        return;
    std::vector<AttributeRun> runs = m_runs.slice(r);
    for (AttributeRun& run : runs)
        change(run.attributes);
    replaceRuns(r, std::move(runs), TextStorageEditedAttributes);
}

void MutableAttributedString::addAttribute(const QString& name, const AttributeValue& value,
                                           const Range& range)
{
    changeAttributes(range, [&](AttributeDictionary& attributes) { attributes.insert(name, value); });
}

void MutableAttributedString::addAttributes(const AttributeDictionary& attributes, const Range& range)
{
    changeAttributes(range, [&](AttributeDictionary& existing) { existing.insert(attributes); });
}

void MutableAttributedString::removeAttribute(const QString& name, const Range& range)
{
    changeAttributes(range, [&](AttributeDictionary& attributes) { attributes.remove(name); });
}

void MutableAttributedString::changeAttributesInRange(const Range& range,
                                                      const std::function<void(AttributeDictionary&)>& change)
{
    changeAttributes(range, change);
}

void MutableAttributedString::insert(const AttributedString& attributedString, qsizetype index)
{
    replaceCharacters(Range{index, 0}, attributedString);
}

void MutableAttributedString::append(const AttributedString& attributedString)
{
    replaceCharacters(Range{length(), 0}, attributedString);
}

void MutableAttributedString::append(const QString& string, const AttributeDictionary& attributes)
{
    replaceCharacters(Range{length(), 0}, string, attributes);
}

void MutableAttributedString::deleteCharacters(const Range& range)
{
    replaceCharacters(range, QString());
}

void MutableAttributedString::setAttributedString(const AttributedString& attributedString)
{
    replaceCharacters(Range{0, length()}, attributedString);
}

void MutableAttributedString::setAttributedString(AttributedString&& attributedString)
{
    if (&attributedString == this)
        return;
    const Range replaced{0, length()};
    const qsizetype newLength = attributedString.length();
    if (replaced.length == 0 && newLength == 0)
        return;
    AttributedString::operator=(std::move(attributedString));
    edited(TextStorageEditedCharacters | TextStorageEditedAttributes, replaced, newLength - replaced.length);
}

void MutableAttributedString::fixAttributes(const Range& range)
{
    fixParagraphStyleAttribute(range);
    fixAttachmentAttribute(range);
}

bool MutableAttributedString::paragraphStylesAreFixed(const Range& paragraphs) const
{
    // A paragraph is left as it is when all its runs carry one style, or none has a style at all,
    // so only a change of style between two runs inside a paragraph, rather than where one starts,
    // can call for a fix. A style unequal to itself is always fixed, as the fix-up compares values.
    bool fixed = true;
    const AttributeValue* previous = nullptr;
    m_runs.forEachRun(paragraphs, [&](const AttributeDictionary& attributes, qsizetype start, qsizetype) {
        const AttributeValue* style = attributes.find(kParagraphStyleAttributeName);
        // Styles are compared first: finding whether a run starts a paragraph costs a search of
        // the text's blocks, and most neighbouring runs share their paragraph and its style. A
        // style equal to the one before is equal to itself: only a new one is compared with itself.
        const bool same = style && previous ? *style == *previous : style == previous;
        if (style && !same && !(*style == *style)) {
            fixed = false;
            return false;
        }
        if (start > paragraphs.location && !same && !startsParagraph(start)) {
            fixed = false;
            return false;
        }
        previous = style;
        return true;
    });
    return fixed;
}

bool MutableAttributedString::startsParagraph(qsizetype index) const
{
    if (index <= 0)
        return true;
    const char16_t before = m_text.at(index - 1);
    if (before == u'\r')
        return m_text.at(index) != u'\n';
    return before == u'\n' || before == 0x2029;
}

void MutableAttributedString::fixParagraphStyleAttribute(const Range& range)
{
    // One pass over the runs of the paragraphs touched, then one change for the stretch that differs,
    // so fixing a whole script costs about as much as reading its runs.
    Range paragraphs = paragraphRange(range);
    // Reading a file makes text whose paragraphs are all in order: finding that out from the runs
    // alone spares a scan of every character for the ends of paragraphs.
    if (paragraphStylesAreFixed(paragraphs))
        return;
    std::vector<AttributeRun> fixed;
    qsizetype changedFrom = -1;
    qsizetype changedTo = -1;
    qsizetype start = paragraphs.location;
    while (start < paragraphs.end()) {
        qsizetype end = std::max(m_text.paragraphEnd(start), start + 1);
        std::vector<AttributeRun> runs = m_runs.slice(Range{start, end - start});
        AttributeValue style;
        for (const AttributeRun& run : runs) {
            if (const AttributeValue* found = run.attributes.find(kParagraphStyleAttributeName)) {
                style = *found;
                break;
            }
        }
        qsizetype position = start;
        for (AttributeRun& run : runs) {
            const AttributeValue* own = run.attributes.find(kParagraphStyleAttributeName);
            if (!style.isNull() && !(own && *own == style)) {
                run.attributes.insert(kParagraphStyleAttributeName, style);
                if (changedFrom < 0)
                    changedFrom = position;
                changedTo = position + run.length;
            }
            position += run.length;
            fixed.push_back(std::move(run));
        }
        start = end;
    }
    if (changedFrom < 0)
        return;
    std::vector<AttributeRun> changed;
    qsizetype position = paragraphs.location;
    for (AttributeRun& run : fixed) {
        if (position >= changedFrom && position < changedTo)
            changed.push_back(std::move(run));
        position += run.length;
    }
    replaceRuns(Range{changedFrom, changedTo - changedFrom}, std::move(changed), TextStorageEditedAttributes);
}

namespace {

MutableAttributedString::AttachmentFixer& installedAttachmentFixer()
{
    static MutableAttributedString::AttachmentFixer fixer = nullptr;
    return fixer;
}

} // namespace

void MutableAttributedString::setAttachmentFixer(AttachmentFixer fixer)
{
    installedAttachmentFixer() = fixer;
}

MutableAttributedString::AttachmentFixer MutableAttributedString::attachmentFixer()
{
    return installedAttachmentFixer();
}

void MutableAttributedString::fixAttachmentAttribute(const Range& range)
{
    if (AttachmentFixer fixer = installedAttachmentFixer())
        fixer(*this, range);
    else
        fixAttachmentAttributeByCharacters(range);
}

void MutableAttributedString::fixAttachmentAttributeByCharacters(const Range& range)
{
    Range r = clipped(range);
    // Most scripts have no attachment at all: one walk over the runs shows it.
    bool anyAttachment = false;
    m_runs.forEachRun(r, [&](const AttributeDictionary& attributes, qsizetype, qsizetype) {
        anyAttachment = attributes.contains(kAttachmentAttributeName);
        return !anyAttachment;
    });
    if (!anyAttachment)
        return;
    qsizetype index = r.location;
    while (index < r.end()) {
        Range run;
        AttributeValue value = attribute(kAttachmentAttributeName, index, &run, r);
        index = run.end();
        if (value.isNull())
            continue;
        qsizetype stray = -1;
        for (qsizetype i = run.location; i <= run.end(); ++i) {
            bool keep = i < run.end() && m_text.at(i) == kAttachmentCharacter;
            if (!keep && i < run.end() && stray < 0)
                stray = i;
            if ((keep || i == run.end()) && stray >= 0) {
                removeAttribute(kAttachmentAttributeName, Range{stray, i - stray});
                stray = -1;
            }
        }
    }
}
