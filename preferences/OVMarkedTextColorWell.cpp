#include "preferences/OVMarkedTextColorWell.h"

#include "settings/OVSharedPreferencesAccess.h"

#include "platform/appkit/ColorPanel.h"

#include <QPainter>

namespace {

QColor qColor(const Color& color)
{
    return QColor::fromRgbF(float(color.red), float(color.green), float(color.blue), float(color.alpha));
}

} // namespace

OVMarkedTextColorWell::OVMarkedTextColorWell(QWidget* parent) : QToolButton(parent)
{
    setMinimumSize(44, 22);
    setFocusPolicy(Qt::StrongFocus);
    QObject::connect(this, &QToolButton::clicked, this, [this] { m_active ? deactivate() : activate(); });
    setActionHandler(ColorPanel::kChangeColorAction, [this](const QVariant& sender) {
        if (ColorPanel::isSender(sender))
            changeColor(ColorPanel::shared().color());
    });
}

OVMarkedTextColorWell::~OVMarkedTextColorWell() = default;

void OVMarkedTextColorWell::setColor(const QColor& color)
{
    if (!color.isValid() || color == m_color)
        return;
    m_color = color;
    update();
}

QColorDialog* OVMarkedTextColorWell::colorPanel() const
{
    return m_usedPanel ? ColorPanel::shared().colorPicker() : nullptr;
}

void OVMarkedTextColorWell::activate()
{
    m_active = true;
    m_usedPanel = true;
    setDown(true);
    // With the focus the well is what the colour panel's choices go to.
    setFocus(Qt::OtherFocusReason);
    ColorPanel& panel = ColorPanel::shared();
    panel.setColor(m_color);
    panel.orderFront();
}

void OVMarkedTextColorWell::deactivate()
{
    m_active = false;
    setDown(false);
}

void OVMarkedTextColorWell::changeColor(const QColor& chosen)
{
    if (!m_active || !chosen.isValid())
        return;
    setColor(chosen);
    if (m_action)
        m_action(chosen);
}

void OVMarkedTextColorWell::resetColorForColorPanelOption(unsigned option)
{
    if (option != kColorPanelResetOption || !ColorPanel::sharedColorPanelExists())
        return;
    OVSharedPreferencesAccess::setMarkedTextColor(std::nullopt);
    const std::optional<Color> plain = OVSharedPreferencesAccess::plainMarkedTextColor();
    if (!plain)
        return;
    setColor(qColor(*plain));
    ColorPanel::shared().setColor(qColor(*plain));
}

void OVMarkedTextColorWell::updateColorPanelColorForSelectedOption()
{
    if (m_active && ColorPanel::sharedColorPanelExists())
        ColorPanel::shared().setColor(m_color);
}

void OVMarkedTextColorWell::paintEvent(QPaintEvent* event)
{
    QToolButton::paintEvent(event);
    QPainter painter(this);
    const QRect swatch = rect().adjusted(5, 5, -5, -5);
    painter.fillRect(swatch, m_color);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(swatch.adjusted(0, 0, -1, -1));
}
