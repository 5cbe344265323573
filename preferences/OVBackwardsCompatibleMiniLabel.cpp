#include "preferences/OVBackwardsCompatibleMiniLabel.h"

#include <QPainter>
#include <QStyle>

OVBackwardsCompatibleMiniLabel::OVBackwardsCompatibleMiniLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent)
{
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    setFont(small);
}

QColor OVBackwardsCompatibleMiniLabel::secondaryTextColor() const
{
    QColor secondary = palette().color(QPalette::WindowText);
    secondary.setAlpha(kSecondaryAlpha);
    return secondary;
}

void OVBackwardsCompatibleMiniLabel::paintEvent(QPaintEvent* event)
{
    if (textFormat() == Qt::RichText || (textFormat() == Qt::AutoText && Qt::mightBeRichText(text()))) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    QPalette secondary = palette();
    secondary.setColor(QPalette::WindowText, secondaryTextColor());
    const int flags = int(alignment()) | (wordWrap() ? int(Qt::TextWordWrap) : 0);
    style()->drawItemText(&painter, contentsRect().adjusted(margin(), margin(), -margin(), -margin()), flags,
                          secondary, isEnabled(), text(), QPalette::WindowText);
}
