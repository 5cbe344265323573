#include "app/OVMarkedTextColorWell.h"

#include "settings/OVSharedPreferencesAccess.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QLayout>
#include <QPainter>
#include <QPushButton>

namespace {

QColor qColor(const Color& color)
{
    return QColor::fromRgbF(float(color.red), float(color.green), float(color.blue), float(color.alpha));
}

} // namespace

OVMarkedTextColorWell::OVMarkedTextColorWell(QWidget* parent) : QToolButton(parent)
{
    setMinimumSize(44, 22);
    QObject::connect(this, &QToolButton::clicked, this, [this] { m_active ? deactivate() : activate(); });
}

OVMarkedTextColorWell::~OVMarkedTextColorWell()
{
    delete m_panel.data();
}

void OVMarkedTextColorWell::setColor(const QColor& color)
{
    if (!color.isValid() || color == m_color)
        return;
    m_color = color;
    update();
}

void OVMarkedTextColorWell::activate()
{
    if (!m_panel) {
        // The platform's dialog has no room for a reset of our own; Qt's own dialog does.
        m_panel = new QColorDialog(m_color, window());
        m_panel->setOptions(QColorDialog::NoButtons | QColorDialog::DontUseNativeDialog |
                            QColorDialog::ShowAlphaChannel);
        m_panel->setWindowModality(Qt::NonModal);
        auto* reset = new QPushButton(tr("Reset"), m_panel);
        reset->setObjectName(QStringLiteral("resetColorButton"));
        if (m_panel->layout())
            m_panel->layout()->addWidget(reset);
        QObject::connect(reset, &QPushButton::clicked, this,
                         [this] { resetColorForColorPanelOption(kColorPanelResetOption); });
        QObject::connect(m_panel, &QColorDialog::currentColorChanged, this, [this](const QColor& chosen) {
            if (!m_settingPanel)
                changeColor(chosen);
        });
        QObject::connect(m_panel, &QDialog::finished, this, [this] { m_active = false; });
    }
    m_active = true;
    m_settingPanel = true;
    m_panel->setCurrentColor(m_color);
    m_settingPanel = false;
    m_panel->show();
    m_panel->raise();
    setDown(true);
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
    if (option != kColorPanelResetOption || !m_panel)
        return;
    OVSharedPreferencesAccess::setMarkedTextColor(std::nullopt);
    const std::optional<Color> plain = OVSharedPreferencesAccess::plainMarkedTextColor();
    if (!plain)
        return;
    setColor(qColor(*plain));
    m_settingPanel = true;
    m_panel->setCurrentColor(qColor(*plain));
    m_settingPanel = false;
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
