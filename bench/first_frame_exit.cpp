// Preloaded into the program (LD_PRELOAD) to time a launch as the user sees it, from exec to the first
// frame of the script window on screen: the process ends right after that window's first paint
// reaches the display, so a whole-process timer around it measures exactly that. It uses nothing of
// the program, so an older build is timed the same way as the new one. The window is the first
// exposed one whose title holds FIRST_FRAME_TITLE (any window when it is unset).
#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <unistd.h>

namespace {

class FirstFrameExit : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Paint || m_painted)
            return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        QWidget* top = widget ? widget->window() : nullptr;
        if (!top || !top->windowHandle() || !top->windowHandle()->isExposed())
            return false;
        const QString title = qEnvironmentVariable("FIRST_FRAME_TITLE");
        if (!title.isEmpty() && !top->windowTitle().contains(title))
            return false;
        m_painted = true;
        // The paint events of one frame are all sent before it is flushed to the display; a zero
        // timer runs on the next pass, after the flush.
        QTimer::singleShot(0, [] { _exit(0); });
        return false;
    }

private:
    bool m_painted = false;
};

void install()
{
    QCoreApplication::instance()->installEventFilter(new FirstFrameExit);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(install)
