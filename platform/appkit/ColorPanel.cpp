#include "platform/appkit/ColorPanel.h"

#include "platform/appkit/Application.h"
#include "platform/appkit/WindowCloseKeys.h"

#include <QColorDialog>
#include <QPointer>
#include <QVBoxLayout>
#include <QWidget>

namespace {

bool& made()
{
    static bool flag = false;
    return flag;
}

} // namespace

ColorPanel& ColorPanel::shared()
{
    // Never destroyed: its window is a Qt widget, which must not outlive the application object.
    static ColorPanel* panel = new ColorPanel;
    return *panel;
}

bool ColorPanel::sharedColorPanelExists()
{
    return made();
}

bool ColorPanel::isSender(const QVariant& sender)
{
    return made() && sender.canConvert<ColorPanel*>() && sender.value<ColorPanel*>() == &shared();
}

ColorPanel::ColorPanel()
{
    made() = true;
    // A tool window that floats over the program's windows, as the user keeps it beside the script
    // while choosing; it is left out of the task bar.
    m_window = new QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint);
    m_window->setObjectName(QStringLiteral("sharedColorPanel"));
    m_window->setWindowTitle(QObject::tr("Colors"));
    m_window->setAttribute(Qt::WA_DeleteOnClose, false);
    // Shown, it leaves the keyboard where it was; a click into it takes it.
    m_window->setAttribute(Qt::WA_ShowWithoutActivating, true);
    auto* layout = new QVBoxLayout(m_window);
    layout->setContentsMargins(6, 6, 6, 6);
    m_picker = new QColorDialog(m_window);
    m_picker->setObjectName(QStringLiteral("colorPicker"));
    // A child widget inside the panel rather than a dialog of its own: no buttons to accept or
    // cancel, since every change applies at once, and never the platform's dialog, which cannot be
    // embedded.
    m_picker->setWindowFlags(Qt::Widget);
    m_picker->setOptions(QColorDialog::NoButtons | QColorDialog::DontUseNativeDialog);
    m_picker->setSizeGripEnabled(false);
    layout->addWidget(m_picker);
    m_picker->show();
    closeWithStandardKeys(*m_window);
    QObject::connect(m_picker, &QColorDialog::currentColorChanged, m_window, [this](const QColor&) {
        if (!m_settingColor)
            sendChangeColor();
    });
}

ColorPanel::~ColorPanel() = default;

QColor ColorPanel::color() const
{
    return m_picker->currentColor();
}

void ColorPanel::setColor(const QColor& color)
{
    if (!color.isValid() || color == m_picker->currentColor())
        return;
    m_settingColor = true;
    m_picker->setCurrentColor(color);
    m_settingColor = false;
}

void ColorPanel::setAccessoryView(QWidget* view)
{
    if (view == m_accessory)
        return;
    if (m_accessory) {
        m_window->layout()->removeWidget(m_accessory);
        m_accessory->hide();
        m_accessory->setParent(nullptr);
    }
    m_accessory = view;
    if (view) {
        view->setParent(m_window);
        m_window->layout()->addWidget(view);
        view->show();
    }
}

void ColorPanel::orderFront()
{
    m_window->show();
    m_window->raise();
}

void ColorPanel::close()
{
    m_window->hide();
}

bool ColorPanel::isVisible() const
{
    return m_window->isVisible();
}

bool ColorPanel::containsWidget(const QWidget* widget) const
{
    return widget && (widget == m_window || m_window->isAncestorOf(widget));
}

void ColorPanel::sendChangeColor()
{
    if (m_sender) {
        m_sender(*this);
        return;
    }
    Application::shared().sendAction(kChangeColorAction, nullptr, QVariant::fromValue(this));
}
