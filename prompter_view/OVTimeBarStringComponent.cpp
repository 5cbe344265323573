#include "prompter_view/OVTimeBarStringComponent.h"

#include "prompter_view/OVTimeBarText.h"

#include <cmath>

OVTimeBarStringComponent::OVTimeBarStringComponent() : m_string(QStringLiteral(" "))
{
    updateSize();
}

void OVTimeBarStringComponent::setString(const QString& string)
{
    const QString text = string.isEmpty() ? QStringLiteral(" ") : string;
    if (text == m_string)
        return;
    m_string = text;
    updateSize();
}

void OVTimeBarStringComponent::setStringAttributes(const std::optional<AttributeDictionary>& attributes)
{
    if (attributes)
        m_attributes = *attributes;
    updateSize();
}

void OVTimeBarStringComponent::updateSize()
{
    const QSizeF size = OVTimeBarText::textSize(m_string, m_attributes);
    m_location.size = {std::ceil(size.width()), std::ceil(size.height())};
}
