#pragma once

#include "platform/text/AttributedString.h"
#include "platform/text/TextStorageEdit.h"

// An attributed string that can be changed. Every change goes through two primitives (characters
// and attributes) which report it to edited(), so a text storage sees each edit exactly once.
class MutableAttributedString : public AttributedString {
public:
    using AttributedString::AttributedString;
    MutableAttributedString() = default;
    MutableAttributedString(const AttributedString& other) : AttributedString(other) {}

    // New characters take the attributes of the first replaced character or, for an insertion, of the
    // character before (the one after at the start).
    void replaceCharacters(const Range& range, const QString& string);
    void replaceCharacters(const Range& range, const AttributedString& attributedString);
    // New characters carrying exactly the given attributes (one edit of characters and attributes).
    void replaceCharacters(const Range& range, const QString& string, const AttributeDictionary& attributes);
    void setAttributes(const AttributeDictionary& attributes, const Range& range);
    void addAttribute(const QString& name, const AttributeValue& value, const Range& range);
    void addAttributes(const AttributeDictionary& attributes, const Range& range);
    void removeAttribute(const QString& name, const Range& range);
    // Lets change rework the dictionary of every run within range, as one edit of attributes: a
    // whole text restyled in one pass rather than with an edit per run.
    void changeAttributesInRange(const Range& range, const std::function<void(AttributeDictionary&)>& change);
    void insert(const AttributedString& attributedString, qsizetype index);
    void append(const AttributedString& attributedString);
    void append(const QString& string, const AttributeDictionary& attributes);
    void deleteCharacters(const Range& range);
    void setAttributedString(const AttributedString& attributedString);
    // As above, taking over the characters and runs instead of copying them.
    void setAttributedString(AttributedString&& attributedString);

    // Brackets a group of changes; a text storage reports them as one edit.
    virtual void beginEditing() {}
    virtual void endEditing() {}

    // Makes attributes consistent over range: each paragraph touched carries one paragraph style
    // (the first one found in it), and only attachment characters carry an attachment.
    void fixAttributes(const Range& range);
    void fixParagraphStyleAttribute(const Range& range);
    void fixAttachmentAttribute(const Range& range);
    // The program may replace the attachment fix-up of every text with its own, which also gives
    // attachments the cells the views draw; installed once, before any text is edited.
    using AttachmentFixer = void (*)(MutableAttributedString& string, const Range& range);
    static void setAttachmentFixer(AttachmentFixer fixer);
    static AttachmentFixer attachmentFixer();
    // The fix-up as the text model alone does it, which a replacement may build on.
    void fixAttachmentAttributeByCharacters(const Range& range);

protected:
    // Called after each primitive change: range is where it happened in the text before the change,
    // changeInLength how much the text grew.
    virtual void edited(unsigned editedMask, const Range& range, qsizetype changeInLength);

private:
    void replaceRuns(const Range& range, std::vector<AttributeRun> runs, unsigned editedMask);
    // Applies change to each run's dictionary in range, as one attribute edit.
    template <class Change> void changeAttributes(const Range& range, Change&& change);
    // Whether the paragraph-style fix-up would leave paragraphs, a range of whole paragraphs, as
    // they are.
    bool paragraphStylesAreFixed(const Range& paragraphs) const;
    bool startsParagraph(qsizetype index) const;
};
