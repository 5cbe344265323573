#include "output/OVPromptModeNoticeView.h"

#include "platform/appkit/RectFunctions.h"

#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QPainterPath>
#include <QPen>

std::unique_ptr<OVPromptModeNoticeView> OVPromptModeNoticeView::contentView()
{
    return std::make_unique<OVPromptModeNoticeView>(Rect{{0, 0}, kContentSize});
}

OVPromptModeNoticeView::OVPromptModeNoticeView(const Rect& frame)
    : View(frame), m_text(QStringLiteral("Debug:  Replace this with real text."))
{
    setAutoresizingMask(WidthSizable | HeightSizable);
}

void OVPromptModeNoticeView::setText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    setNeedsDisplay(true);
}

Rect OVPromptModeNoticeView::textRect() const
{
    return bounds().insetBy(kTextInset, kTextInset);
}

View* OVPromptModeNoticeView::hitTest(const Point& pointInSuperview)
{
    // Every click on the notice is the notice's, whatever lies inside it.
    return isHidden() || !frame().contains(pointInSuperview) ? nullptr : this;
}

bool OVPromptModeNoticeView::performKeyEquivalent(const Event&)
{
    return !isHiddenOrHasHiddenAncestor();
}

void OVPromptModeNoticeView::drawRect(QPainter& painter, const Rect&)
{
    painter.save();
    const QRectF panel =
        toQRectF(bounds()).adjusted(kBorderWidth / 2, kBorderWidth / 2, -kBorderWidth / 2, -kBorderWidth / 2);
    QColor background(Qt::black);
    background.setAlphaF(kBackgroundAlpha);
    painter.setPen(QPen(Qt::white, kBorderWidth));
    painter.setBrush(background);
    painter.drawRoundedRect(panel, kCornerRadius, kCornerRadius);

    QFont font = QGuiApplication::font();
    font.setPointSizeF(kFontSize);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(toQRectF(textRect()), Qt::AlignCenter | Qt::TextWordWrap, m_text);
    painter.restore();
}
