#include "platform/text/TextAttachment.h"

#include "platform/foundation/FileWrapper.h"
#include "platform/text/TextAttachmentCell.h"

TextAttachment::TextAttachment(std::shared_ptr<FileWrapper> fileWrapper)
    : m_fileWrapper(std::move(fileWrapper))
{
}
