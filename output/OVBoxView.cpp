#include "output/OVBoxView.h"

#include <QBrush>
#include <QPainter>

void OVBoxView::setFillColor(const QColor& color, bool patterned)
{
    if (color == m_fillColor && patterned == m_patterned)
        return;
    m_fillColor = color;
    m_patterned = patterned;
    setNeedsDisplay(true);
}

void OVBoxView::drawRect(QPainter& painter, const Rect& dirtyRect)
{
    if (!m_fillColor.isValid())
        return;
    const QRectF area(dirtyRect.origin.x, dirtyRect.origin.y, dirtyRect.size.width, dirtyRect.size.height);
    painter.fillRect(area, QBrush(m_fillColor, m_patterned ? Qt::Dense4Pattern : Qt::SolidPattern));
}

bool OVBoxView::isOpaque() const
{
    return m_fillColor.isValid() && !m_patterned && m_fillColor.alpha() == 255;
}
