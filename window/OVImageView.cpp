#include "window/OVImageView.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>

OVImageView::OVImageView(QWidget* parent) : QWidget(parent) {}

void OVImageView::setImage(const QIcon& image)
{
    m_image = image;
    update();
}

void OVImageView::setAutoTemplateNonAqua(bool flag)
{
    m_autoTemplateNonAqua = flag;
    update();
}

bool OVImageView::isTemplate() const
{
    // Judged when drawn, so it follows the palette whether or not the change reached this view.
    return m_autoTemplateNonAqua && QApplication::palette().color(QPalette::Window).lightness() < 128;
}

void OVImageView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
        update();
    QWidget::changeEvent(event);
}

QPixmap OVImageView::renderedImage(const QSize& size) const
{
    QPixmap pixmap = m_image.pixmap(size);
    if (!isTemplate() || pixmap.isNull())
        return pixmap;
    // A template keeps only its shape: every pixel takes the text colour at its own alpha.
    QPainter painter(&pixmap);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(pixmap.rect(), QApplication::palette().color(QPalette::WindowText));
    return pixmap;
}

QSize OVImageView::sizeHint() const
{
    return QSize(16, 16);
}

void OVImageView::paintEvent(QPaintEvent*)
{
    if (m_image.isNull())
        return;
    QPainter painter(this);
    painter.drawPixmap(QPoint(0, 0), renderedImage(size()));
}
