#pragma once

#include <QRectF>

#include <memory>

class FileWrapper;
class TextAttachmentCell;

// The object behind an attachment character (U+FFFC): the file it shows, its bounds and optionally a
// cell of the system's own. Attachments are shared by pointer and compared by identity, as the
// platform does: two pictures with equal bytes are still two attachments.
class TextAttachment {
public:
    TextAttachment() = default;
    explicit TextAttachment(std::shared_ptr<FileWrapper> fileWrapper);

    const std::shared_ptr<FileWrapper>& fileWrapper() const { return m_fileWrapper; }
    void setFileWrapper(std::shared_ptr<FileWrapper> fileWrapper) { m_fileWrapper = std::move(fileWrapper); }

    // Bounds in points relative to the baseline; an empty rectangle means "the image's own size".
    QRectF bounds() const { return m_bounds; }
    void setBounds(const QRectF& bounds) { m_bounds = bounds; }

    const std::shared_ptr<TextAttachmentCell>& attachmentCell() const { return m_cell; }
    void setAttachmentCell(std::shared_ptr<TextAttachmentCell> cell) { m_cell = std::move(cell); }

private:
    std::shared_ptr<FileWrapper> m_fileWrapper;
    QRectF m_bounds;
    std::shared_ptr<TextAttachmentCell> m_cell;
};
