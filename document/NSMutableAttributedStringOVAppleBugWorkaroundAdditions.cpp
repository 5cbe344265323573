#include "document/NSMutableAttributedStringOVAppleBugWorkaroundAdditions.h"

#include "platform/foundation/FileWrapper.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/ParagraphStyle.h"
#include "platform/text/TextAttachment.h"
#include "platform/textview/TextView.h"
#include "text/NSMutableAttributedStringOVBookmarkAdditions.h"
#include "text/NSTextAttachmentOVBookmarkAdditions.h"
#include "text/OVBookmark.h"
#include "text/OVBookmarkCell.h"
#include "text/OVTextAttachmentCell.h"

#include <QImage>
#include <QTextBoundaryFinder>

#include <vector>

namespace NSMutableAttributedStringOVAppleBugWorkaroundAdditions {

namespace {

bool& attachmentFixInstalled()
{
    static bool installed = false;
    return installed;
}

// The stretches of run that are not a lone attachment character, walked by composed characters so
// that an attachment character with a combining mark on it counts as the mark's base, not as the
// attachment.
std::vector<Range> strayStretches(const AttributedString& string, const Range& run)
{
    std::vector<Range> stray;
    const QString characters = string.substring(run);
    if (characters.count(QChar(kAttachmentCharacter)) == characters.size())
        return stray;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, characters);
    qsizetype start = 0;
    qsizetype strayStart = -1;
    while (start < characters.size()) {
        qsizetype end = finder.toNextBoundary();
        if (end <= start)
            end = characters.size();
        const bool attachment = end - start == 1 && characters.at(start) == QChar(kAttachmentCharacter);
        if (!attachment && strayStart < 0)
            strayStart = start;
        if (attachment && strayStart >= 0) {
            stray.push_back({run.location + strayStart, start - strayStart});
            strayStart = -1;
        }
        start = end;
    }
    if (strayStart >= 0)
        stray.push_back({run.location + strayStart, characters.size() - strayStart});
    return stray;
}

// Gives an attachment the cell a script's view draws it with, where it has another kind.
void fixCell(const std::shared_ptr<TextAttachment>& attachment)
{
    const TextAttachmentCell* cell = attachment->attachmentCell().get();
    const QByteArray contents = attachment->fileWrapper() && attachment->fileWrapper()->isRegularFile()
                                    ? attachment->fileWrapper()->regularFileContents()
                                    : QByteArray();
    if (NSTextAttachmentOVBookmarkAdditions::isBookmark(*attachment)) {
        if (dynamic_cast<const OVBookmarkCell*>(cell))
            return;
        auto bookmark = contents.isEmpty() ? nullptr : OVBookmark::unarchivedBookmark(contents);
        attachment->setAttachmentCell(OVBookmarkCell::cellWithBookmark(std::move(bookmark), attachment));
        return;
    }
    // A picture without a cell is drawn from its file by the layout, which is what the plain cell
    // would do; only a cell of a kind the views cannot click or size is replaced.
    if (!cell || dynamic_cast<const OVTextAttachmentCell*>(cell))
        return;
    QImage image;
    image.loadFromData(contents);
    attachment->setAttachmentCell(OVTextAttachmentCell::attachmentCellWithImage(image, attachment));
}

void fixAttachmentHook(MutableAttributedString& string, const Range& range)
{
    fixAttachmentAttributeWithAppleBugWorkaroundInRange(string, range);
}

} // namespace

void toggleFixAttachmentAppleBugWorkaround()
{
    if (attachmentFixInstalled())
        return;
    attachmentFixInstalled() = true;
    MutableAttributedString::setAttachmentFixer(&fixAttachmentHook);
}

bool isFixAttachmentAppleBugWorkaroundInstalled()
{
    return attachmentFixInstalled();
}

void fixAttachmentAttributeWithAppleBugWorkaroundInRange(MutableAttributedString& string, const Range& range)
{
    const qsizetype start = std::clamp<qsizetype>(range.location, 0, string.length());
    const qsizetype end = std::clamp<qsizetype>(range.end(), start, string.length());
    if (end <= start)
        return;
    const Range limit{start, end - start};
    const bool hasView = TextView::primaryTextViewForString(string) != nullptr;
    // Every run is walked to its end whatever the view: a text no view shows (the talent copy, a
    // pasteboard string) must not keep the attribute on ordinary characters either.
    qsizetype index = start;
    while (index < end) {
        Range run;
        const AttributeValue value = string.attribute(kAttachmentAttributeName, index, &run, limit);
        index = std::max(run.end(), index + 1);
        const std::shared_ptr<TextAttachment> attachment = value.attachment();
        if (value.isNull())
            continue;
        for (const Range& stray : strayStretches(string, run))
            string.removeAttribute(kAttachmentAttributeName, stray);
        if (hasView && attachment)
            fixCell(attachment);
    }
    if (hasView)
        NSMutableAttributedStringOVBookmarkAdditions::fixBookmarksInRange(string, limit);
}

void toggleFixParagraphStyleAppleBugWorkaround() {}

void fixParagraphStyleAttributeWithAppleBugWorkaroundInRange(MutableAttributedString& string,
                                                             const Range& range)
{
    const Range paragraphs = string.paragraphRange(range);
    qsizetype start = paragraphs.location;
    while (start < paragraphs.end()) {
        const Range paragraph = string.paragraphRange({start, 0});
        const qsizetype next = std::max(paragraph.end(), start + 1);
        AttributeValue style;
        qsizetype index = paragraph.location;
        while (index < paragraph.end() && style.isNull()) {
            Range run;
            style = string.attribute(kParagraphStyleAttributeName, index, &run, paragraph);
            index = std::max(run.end(), index + 1);
        }
        if (style.isNull())
            style = AttributeValue(ParagraphStyle());
        if (paragraph.length > 0)
            string.addAttribute(kParagraphStyleAttributeName, style, paragraph);
        start = next;
    }
}

} // namespace NSMutableAttributedStringOVAppleBugWorkaroundAdditions
