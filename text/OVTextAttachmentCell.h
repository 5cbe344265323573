#pragma once

#include "platform/textlayout/AttachmentCell.h"
#include "platform/textview/TextView.h"

#include <QImage>

#include <functional>
#include <memory>

class TextAttachment;

// The cell of a picture in the script: it draws its image into the frame the layout gives it and,
// in Edit mode only, hands clicks, double-clicks and drags on it to the text view's delegate. The
// attachment owns the cell; the cell's way back to it never keeps it alive.
class OVTextAttachmentCell : public AttachmentCell, public MouseTrackingAttachmentCell {
public:
    static std::shared_ptr<OVTextAttachmentCell>
    attachmentCellWithImage(const QImage& image, const std::shared_ptr<TextAttachment>& attachment);

    std::shared_ptr<TextAttachment> attachment() const { return m_attachment.lock(); }
    void setAttachment(const std::shared_ptr<TextAttachment>& attachment) { m_attachment = attachment; }
    const QImage& cellImage() const { return m_image; }
    void setCellImage(const QImage& image) { m_image = image; }

    // The image's own size in points.
    QSizeF cellSize() const override;
    Point cellBaselineOffset() const { return {0, 0}; }
    Rect cellFrameForTextContainer(const Rect& proposedLineFragment, const Point& glyphPosition,
                                   qsizetype characterIndex) const;
    void drawWithFrame(QPainter& painter, const QRectF& frame, qsizetype characterIndex,
                       LayoutManager& layoutManager) override;

    // Only while the script can be edited: in Prompt mode a click on a picture is a click on the text.
    bool wantsToTrackMouse() const;
    bool wantsToTrackMouseForEvent(const Event& event, const Rect& cellFrame, TextView& view,
                                   qsizetype characterIndex) const override;
    bool trackMouse(const Event& event, const Rect& cellFrame, TextView& view,
                    qsizetype characterIndex) override;

    // Whether the script is editable now; the prompting layer installs the answer (Edit mode). Without
    // one the text counts as editable.
    static void setContentEditableQuery(std::function<bool()> query);

private:
    std::weak_ptr<TextAttachment> m_attachment;
    QImage m_image;
};
