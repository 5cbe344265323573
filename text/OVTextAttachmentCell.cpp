#include "text/OVTextAttachmentCell.h"

#include "platform/appkit/Event.h"

#include <QPainter>

namespace {

std::function<bool()>& contentEditableQuery()
{
    static std::function<bool()> query;
    return query;
}

} // namespace

std::shared_ptr<OVTextAttachmentCell>
OVTextAttachmentCell::attachmentCellWithImage(const QImage& image,
                                              const std::shared_ptr<TextAttachment>& attachment)
{
    auto cell = std::make_shared<OVTextAttachmentCell>();
    cell->m_image = image;
    cell->m_attachment = attachment;
    return cell;
}

void OVTextAttachmentCell::setContentEditableQuery(std::function<bool()> query)
{
    contentEditableQuery() = std::move(query);
}

QSizeF OVTextAttachmentCell::cellSize() const
{
    return m_image.deviceIndependentSize();
}

Rect OVTextAttachmentCell::cellFrameForTextContainer(const Rect&, const Point&, qsizetype) const
{
    const QSizeF size = cellSize();
    return {cellBaselineOffset(), {size.width(), size.height()}};
}

void OVTextAttachmentCell::drawWithFrame(QPainter& painter, const QRectF& frame, qsizetype, LayoutManager&)
{
    if (m_image.isNull() || frame.isEmpty())
        return;
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(frame, m_image);
    painter.restore();
}

bool OVTextAttachmentCell::wantsToTrackMouse() const
{
    return !contentEditableQuery() || contentEditableQuery()();
}

bool OVTextAttachmentCell::wantsToTrackMouseForEvent(const Event&, const Rect&, TextView&, qsizetype) const
{
    return wantsToTrackMouse();
}

bool OVTextAttachmentCell::trackMouse(const Event& event, const Rect& cellFrame, TextView& view,
                                      qsizetype characterIndex)
{
    TextViewDelegate* delegate = view.delegate();
    if (!delegate)
        return false;
    const bool tracked = event.type == Event::Type::LeftMouseDown || event.type == Event::Type::LeftMouseUp ||
                         event.type == Event::Type::LeftMouseDragged;
    const int clickCount = tracked ? event.clickCount : 0;
    if (event.type == Event::Type::LeftMouseDown && clickCount == 2)
        return delegate->textViewDoubleClickedOnCell(view, *this, cellFrame, characterIndex);
    if (event.type == Event::Type::LeftMouseDown && clickCount == 1)
        return delegate->textViewClickedOnCell(view, *this, cellFrame, characterIndex);
    if (event.type == Event::Type::LeftMouseDragged)
        return delegate->textViewDraggedCell(view, *this, cellFrame, event, characterIndex);
    return false;
}
