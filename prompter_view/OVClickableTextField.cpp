#include "prompter_view/OVClickableTextField.h"

#include "platform/appkit/Application.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/RectFunctions.h"

OVClickableTextField::OVClickableTextField(const Rect& frame) : View(frame) {}

void OVClickableTextField::setStringValue(const QString& string)
{
    if (string == m_string)
        return;
    m_string = string;
    setNeedsDisplay(true);
}

void OVClickableTextField::setFont(const QFont& font)
{
    m_font = font;
    setNeedsDisplay(true);
}

void OVClickableTextField::setTextColor(const QColor& color)
{
    m_textColor = color;
    setNeedsDisplay(true);
}

void OVClickableTextField::mouseDown(Event& event)
{
    const QString& action = (event.modifierFlags & kOptionKeyMask) ? m_alternateAction : m_action;
    if (action.isEmpty())
        return;
    Application::shared().sendAction(action, m_target, QVariant::fromValue<Responder*>(this));
}

void OVClickableTextField::drawRect(QPainter& painter, const Rect&)
{
    painter.setFont(m_font);
    painter.setPen(m_textColor);
    painter.drawText(toQRectF(bounds()), Qt::AlignCenter, m_string);
}
