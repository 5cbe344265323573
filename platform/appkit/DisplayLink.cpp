#include "platform/appkit/DisplayLink.h"

#include "platform/appkit/AppKitLog.h"
#include "platform/appkit/ScreenProvider.h"
#include "platform/appkit/Timer.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/Clock.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

namespace {

// Only Wayland paces requestUpdate by the compositor's frame callbacks; elsewhere Qt uses a plain
// timer, which is no better than ours and does not follow the screen's rate.
bool platformPacesFrames()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

class FrameWatcher final : public QObject {
public:
    FrameWatcher(QWindow* window, std::function<void()> onFrame)
        : m_window(window), m_onFrame(std::move(onFrame))
    {
        window->installEventFilter(this);
    }

    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (object == m_window && event->type() == QEvent::UpdateRequest)
            m_onFrame();
        return false;
    }

    QWindow* window() const { return m_window; }

private:
    QWindow* m_window;
    std::function<void()> m_onFrame;
};

} // namespace

DisplayLink::DisplayLink(Callback callback) : m_callback(std::move(callback))
{
    m_screenObserver = ScreenProvider::shared().addReconfigurationObserver([this] { screensChanged(); });
    screensChanged();
}

DisplayLink::~DisplayLink()
{
    stop();
    ScreenProvider::shared().removeReconfigurationObserver(m_screenObserver);
}

void DisplayLink::setDisplayID(quint32 displayID)
{
    m_displayID = displayID;
    screensChanged();
}

void DisplayLink::setWindow(Window* window)
{
    m_window = window;
    if (m_running)
        restartSource();
}

bool DisplayLink::isFramePaced() const
{
    return m_window && platformPacesFrames();
}

void DisplayLink::start()
{
    if (m_running)
        return;
    m_running = true;
    restartSource();
}

void DisplayLink::stop()
{
    m_running = false;
    m_timer.reset();
    m_frameWatcher.reset();
}

void DisplayLink::restartSource()
{
    m_timer.reset();
    m_frameWatcher.reset();
    if (!m_running)
        return;
    if (isFramePaced()) {
        m_window->hostWidget()->winId();
        if (QWindow* handle = m_window->hostWidget()->windowHandle()) {
            m_frameWatcher = std::make_unique<FrameWatcher>(handle, [this] { tick(); });
            handle->requestUpdate();
            return;
        }
    }
    m_timer = std::make_unique<Timer>(frameInterval(), true, [this](Timer&) { tick(); });
    m_timer->schedule();
}

void DisplayLink::tick()
{
    if (!m_running)
        return;
    if (auto* watcher = static_cast<FrameWatcher*>(m_frameWatcher.get()))
        watcher->window()->requestUpdate();
    if (m_callback)
        m_callback(Clock::shared().now());
}

void DisplayLink::screensChanged()
{
    const std::vector<Screen> screens = ScreenProvider::shared().screens();
    double rate = Screen::kFallbackRefreshRate;
    bool found = false;
    for (const Screen& screen : screens) {
        if (screen.displayID() == m_displayID) {
            rate = screen.refreshRate();
            found = true;
        }
    }
    if (!found && !screens.empty()) {
        if (m_displayID != 0)
            qCInfo(lcAppKit) << "DisplayLink: display" << m_displayID
                             << "is gone; pacing by the primary screen";
        rate = screens.front().refreshRate();
    }
    if (rate == m_refreshRate)
        return;
    m_refreshRate = rate;
    if (m_running && m_timer)
        restartSource();
}
