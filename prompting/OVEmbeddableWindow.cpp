#include "prompting/OVEmbeddableWindow.h"

#include "prompting/OVCoreSettings.h"

#include <QWidget>

namespace {

bool& keyWindowImplementationExchanged()
{
    static bool exchanged = false;
    return exchanged;
}

bool useConcurrentViewDrawing()
{
    return OVCoreSettings::boolean(QStringLiteral("useConcurrentViewDrawing"), false);
}

} // namespace

OVEmbeddableWindow::OVEmbeddableWindow(const Rect& frame)
    : Window(frame, Borderless), m_allowsConcurrentViewDrawing(useConcurrentViewDrawing())
{
    updateQtFlags();
    hostWidget()->setAttribute(Qt::WA_ShowWithoutActivating);
    m_concurrentDrawingObserver = NotificationObserver(
        NotificationCenter::shared(), OVPreferencesAdvancedDidChangeUseConcurrentViewDrawingNotification,
        nullptr, [this](const Notification&) { m_allowsConcurrentViewDrawing = useConcurrentViewDrawing(); });
}

void OVEmbeddableWindow::toggleIsKeyWindowImplementation()
{
    keyWindowImplementationExchanged() = !keyWindowImplementationExchanged();
}

bool OVEmbeddableWindow::isKeyWindow() const
{
    return keyWindowImplementationExchanged() ? isKeyWindowOverride() : Window::isKeyWindow();
}

double OVEmbeddableWindow::windowAnimationInterval(const Window* window) const
{
    return m_enableWindowAnimations || window != this ? -1.0 : 0.0;
}

Qt::WindowFlags OVEmbeddableWindow::additionalQtFlags() const
{
    return Qt::Tool | Qt::WindowDoesNotAcceptFocus;
}
