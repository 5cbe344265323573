#include "window/OVFlashWindow.h"

#include "platform/appkit/RunLoop.h"

namespace {

const QString kFlashCompletedSelector = QStringLiteral("_flashCompleted:");

} // namespace

std::unique_ptr<OVFlashWindow> OVFlashWindow::window()
{
    return std::make_unique<OVFlashWindow>(Rect{{0, 0}, {640, 480}});
}

OVFlashWindow::OVFlashWindow(const Rect& frame) : View(frame)
{
    setAlphaValue(0);
}

OVFlashWindow::~OVFlashWindow()
{
    RunLoop::main().cancelPreviousPerformRequests(this);
}

void OVFlashWindow::flash()
{
    if (m_flashDidBegin)
        m_flashDidBegin(*this);
    RunLoop::main().cancelPreviousPerformRequests(this, kFlashCompletedSelector);
    m_flashing = true;
    setHidden(false);
    setAlphaValue(m_intensity);
    setNeedsDisplay(true);
    animateAlphaValue(0, m_duration);
    RunLoop::main().performAfterDelay(m_duration, this, kFlashCompletedSelector,
                                      [this] { _flashCompleted(); });
}

void OVFlashWindow::_flashCompleted()
{
    m_flashing = false;
    if (m_flashDidComplete)
        m_flashDidComplete(*this);
    setHidden(true);
    // Only a taker may detach the overlay: without one it stays, hidden, with the parent that owns it.
    if (superview() && m_detach)
        m_detach(removeFromSuperview());
}

void OVFlashWindow::drawRect(QPainter& painter, const Rect&)
{
    painter.fillRect(QRectF(0, 0, bounds().size.width, bounds().size.height), m_flashColor);
}
