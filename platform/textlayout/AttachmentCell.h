#pragma once

#include "platform/text/TextAttachmentCell.h"

#include <QRectF>

class LayoutManager;
class QPainter;

// An attachment cell that draws itself (a bookmark marker, a picture with a frame). The model only
// knows a cell's size; the layout manager asks cells of this kind to draw into the frame it laid out.
class AttachmentCell : public TextAttachmentCell {
public:
    // frame is in the coordinates the painter draws in; characterIndex is the attachment character's.
    virtual void drawWithFrame(QPainter& painter, const QRectF& frame, qsizetype characterIndex,
                               LayoutManager& layoutManager) = 0;
};
