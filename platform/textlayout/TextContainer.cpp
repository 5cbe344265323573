#include "platform/textlayout/TextContainer.h"

#include <cmath>

namespace {

double sanitized(double value)
{
    return std::isfinite(value) && value > 0 ? value : 0.0;
}

} // namespace

void TextContainer::setSize(const Size& size)
{
    m_size = {sanitized(size.width), sanitized(size.height)};
}

void TextContainer::setLineFragmentPadding(double padding)
{
    m_lineFragmentPadding = sanitized(padding);
}
