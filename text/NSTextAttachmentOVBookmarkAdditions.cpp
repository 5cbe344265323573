#include "text/NSTextAttachmentOVBookmarkAdditions.h"

#include "platform/foundation/FileWrapper.h"
#include "platform/text/TextAttachment.h"
#include "text/OVBookmark.h"
#include "text/OVBookmarkCell.h"

namespace NSTextAttachmentOVBookmarkAdditions {

namespace {

bool hasNamePrefix(const TextAttachment& attachment, const QString& prefix)
{
    const auto& wrapper = attachment.fileWrapper();
    if (!wrapper)
        return false;
    const QString& name = wrapper->preferredFilename();
    return name.size() > prefix.size() && name.startsWith(prefix);
}

} // namespace

bool isBookmark(const TextAttachment& attachment)
{
    return hasNamePrefix(attachment, OVBookmarkIdentifierPrefixKey);
}

bool isAtom(const TextAttachment& attachment)
{
    return hasNamePrefix(attachment, OVAtomIdentifierPrefixKey);
}

std::shared_ptr<OVBookmark> bookmark(const TextAttachment& attachment)
{
    if (!isBookmark(attachment))
        return nullptr;
    const auto cell = std::dynamic_pointer_cast<OVBookmarkCell>(attachment.attachmentCell());
    return cell ? cell->bookmark() : nullptr;
}

} // namespace NSTextAttachmentOVBookmarkAdditions
