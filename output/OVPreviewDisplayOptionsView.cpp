#include "output/OVPreviewDisplayOptionsView.h"

#include <QPainter>

OVPreviewDisplayOptionsView::OVPreviewDisplayOptionsView(QWidget* parent) : QWidget(parent)
{
    // Clicks on the covered controls stop here.
    setAttribute(Qt::WA_NoSystemBackground);
}

void OVPreviewDisplayOptionsView::setDrawsBackgroundColor(bool flag)
{
    m_drawsBackgroundColor = flag;
    update();
}

void OVPreviewDisplayOptionsView::setDebugBackgroundColor(const QColor& color)
{
    m_debugBackgroundColor = color;
    update();
}

QColor OVPreviewDisplayOptionsView::fillColor(const QPalette& palette)
{
    const bool dark = palette.window().color().lightness() < 128;
    if (dark)
        return QColor::fromRgbF(235 / 255.0, 235 / 255.0, 144 / 255.0, 0.25);
    return QColor::fromRgbF(1.0, 1.0, 232 / 255.0, 0.9);
}

void OVPreviewDisplayOptionsView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (m_debugBackgroundColor.isValid())
        painter.fillRect(rect(), m_debugBackgroundColor);
    if (m_drawsBackgroundColor && height() > 1) {
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.fillRect(rect(), fillColor(palette()));
    }
}
