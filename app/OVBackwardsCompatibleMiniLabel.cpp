#include "app/OVBackwardsCompatibleMiniLabel.h"

OVBackwardsCompatibleMiniLabel::OVBackwardsCompatibleMiniLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent)
{
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 0, kSecondaryAlpha));
    setPalette(palette);
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    setFont(small);
}
