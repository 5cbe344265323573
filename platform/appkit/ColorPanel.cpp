#include "platform/appkit/ColorPanel.h"

#include "platform/appkit/Application.h"
#include "platform/appkit/WindowCloseKeys.h"

#include <QColorDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

namespace {

bool& made()
{
    static bool flag = false;
    return flag;
}

} // namespace

class ColorPanel::EventFilter : public QObject {
public:
    explicit EventFilter(ColorPanel& panel) : QObject(panel.m_window), m_panel(panel) {}
    bool eventFilter(QObject* watched, QEvent* event) override { return m_panel.filterEvent(watched, event); }

private:
    ColorPanel& m_panel;
};

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
    // The picker is a dialog to Qt, which hides it on Esc or a default button: it must stay, since
    // it is the panel. Esc closes the panel itself, as it closes any panel.
    QObject::connect(m_picker, &QDialog::finished, m_window, [this] { m_picker->show(); });
    m_filter = new EventFilter(*this);
    m_window->installEventFilter(m_filter);
    m_picker->installEventFilter(m_filter);
    for (QWidget* part : m_picker->findChildren<QWidget*>())
        part->installEventFilter(m_filter);
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
    if (m_picker->isHidden())
        m_picker->show();
    m_window->show();
    m_window->raise();
}

void ColorPanel::close()
{
    m_window->hide();
    endTracking();
}

void ColorPanel::performAfterTracking(std::function<void()> work)
{
    if (!work)
        return;
    if (!m_tracking) {
        work();
        return;
    }
    m_afterTracking.push_back(std::move(work));
}

bool ColorPanel::filterEvent(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        // Reaches the picker's filter from any of its fields that leaves Esc alone, before the
        // picker would hide itself; the panel's own when nothing in it has the keyboard.
        if ((watched == m_picker || watched == m_window) &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
            static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
            close();
            return true;
        }
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (watched != m_window)
            m_tracking = true;
        break;
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->buttons() == Qt::NoButton)
            endTracking();
        break;
    case QEvent::Hide:
        if (watched == m_window)
            endTracking();
        break;
    default:
        break;
    }
    return false;
}

void ColorPanel::endTracking()
{
    if (!m_tracking)
        return;
    m_tracking = false;
    // After the pass that delivers the release, so that a colour the release itself sets is still
    // part of the drag.
    QTimer::singleShot(0, m_window, [this] {
        if (m_tracking)
            return;
        std::vector<std::function<void()>> pending;
        pending.swap(m_afterTracking);
        for (const std::function<void()>& work : pending)
            work();
    });
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
