#pragma once

#include <QtGlobal>

#include <functional>
#include <memory>

class QObject;
class Timer;
class Window;

// A tick per frame of one screen, paced by its refresh rate: by the window's frame callbacks where the
// platform paces them, otherwise by a precise run-loop timer at the screen's rate (which tests drive
// with a ManualClock). Ticks run on the main thread and carry the shared clock's time.
class DisplayLink {
public:
    using Callback = std::function<void(double now)>;

    explicit DisplayLink(Callback callback);
    DisplayLink(const DisplayLink&) = delete;
    DisplayLink& operator=(const DisplayLink&) = delete;
    ~DisplayLink();

    // The screen whose rate paces the ticks; 0, or a screen that went away, means the primary screen.
    void setDisplayID(quint32 displayID);
    quint32 displayID() const { return m_displayID; }
    // Ticks with this window's frames when the platform paces them; nullptr for the timer.
    void setWindow(Window* window);

    // The pacing screen's rate: always positive and finite (60 when the screen reports none).
    double refreshRate() const { return m_refreshRate; }
    double frameInterval() const { return 1.0 / m_refreshRate; }
    bool isFramePaced() const;

    void start();
    void stop();
    bool isRunning() const { return m_running; }

private:
    void tick();
    void screensChanged();
    void restartSource();

    Callback m_callback;
    quint32 m_displayID = 0;
    double m_refreshRate = 60.0;
    Window* m_window = nullptr;
    bool m_running = false;
    int m_screenObserver = 0;
    std::unique_ptr<Timer> m_timer;
    std::unique_ptr<QObject> m_frameWatcher;
};
