#include "platform/hvkit/HVEventBlocker.h"

#include "platform/foundation/Clock.h"

#include <QCoreApplication>
#include <QEvent>

#include <algorithm>

HVEventBlocker& HVEventBlocker::sharedBlocker()
{
    static HVEventBlocker* blocker = new HVEventBlocker; // lives as long as the process
    return *blocker;
}

void HVEventBlocker::blockAppWithOptions(unsigned options)
{
    m_appBlocked = true;
    m_appOptions = options;
    updateFilter();
}

void HVEventBlocker::unblockApp()
{
    m_appBlocked = false;
    m_appOptions = 0;
    updateFilter();
}

void HVEventBlocker::blockWindow(QObject* window, unsigned options, double duration)
{
    Q_UNUSED(options);
    if (!window || !(duration > 0))
        return;
    const double until = Clock::shared().now() + duration;
    auto found = std::find_if(m_windows.begin(), m_windows.end(),
                              [&](const BlockedWindow& blocked) { return blocked.window == window; });
    if (found != m_windows.end())
        found->until = std::max(found->until, until);
    else
        m_windows.push_back({window, until});
    updateFilter();
}

bool HVEventBlocker::isWindowBlocked(const QObject* window) const
{
    const double now = Clock::shared().now();
    return std::any_of(m_windows.begin(), m_windows.end(), [&](const BlockedWindow& blocked) {
        return blocked.window == window && now < blocked.until;
    });
}

bool HVEventBlocker::isInputEvent(int eventType)
{
    switch (eventType) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::NativeGesture:
    case QEvent::Gesture:
        return true;
    default:
        return false;
    }
}

bool HVEventBlocker::eventFilter(QObject* watched, QEvent* event)
{
    if (!isInputEvent(event->type()))
        return false;
    if (m_appBlocked)
        return true;
    const double now = Clock::shared().now();
    std::erase_if(m_windows,
                  [&](const BlockedWindow& blocked) { return !blocked.window || now >= blocked.until; });
    if (m_windows.empty()) {
        updateFilter();
        return false;
    }
    // Input reaches a window through the object it is aimed at; walk up to see whose it is.
    for (QObject* object = watched; object; object = object->parent()) {
        if (isWindowBlocked(object))
            return true;
    }
    return false;
}

void HVEventBlocker::updateFilter()
{
    // The filter sees every event of the application, so it is there only while something is blocked.
    const bool wanted = m_appBlocked || !m_windows.empty();
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || wanted == m_filterInstalled)
        return;
    if (wanted)
        app->installEventFilter(this);
    else
        app->removeEventFilter(this);
    m_filterInstalled = wanted;
}
