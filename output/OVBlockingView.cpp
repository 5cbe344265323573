#include "output/OVBlockingView.h"

#include "platform/appkit/RectFunctions.h"

#include <QColor>

OVBlockingView::OVBlockingView(const Rect& frame) : View(frame)
{
    setAutoresizingMask(WidthSizable | HeightSizable);
}

void OVBlockingView::setDrawDebugColor(bool flag)
{
    if (flag == m_drawDebugColor)
        return;
    m_drawDebugColor = flag;
    setNeedsDisplay(true);
}

void OVBlockingView::drawRect(QPainter& painter, const Rect& dirtyRect)
{
    View::drawRect(painter, dirtyRect);
    if (!m_drawDebugColor)
        return;
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.fillRect(toQRectF(dirtyRect), QColor::fromRgbF(1, 0, 0, 0.5));
    painter.restore();
}
