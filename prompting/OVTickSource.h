#pragma once

#include <QtGlobal>

#include <functional>
#include <memory>

class DisplayLink;
class Timer;
class Window;

// What drives the tick of Prompt mode: a repeating timer at a chosen frame rate, or a display link
// paced by a screen's refresh (for the window-paced type, by a window on it). The core chooses
// which; this only runs it and says what runs.
class OVTickSource {
public:
    static constexpr int kNone = -1;
    static constexpr int kTimer = 0;

    explicit OVTickSource(std::function<void()> tick);
    ~OVTickSource();
    OVTickSource(const OVTickSource&) = delete;
    OVTickSource& operator=(const OVTickSource&) = delete;

    void startTimer(double frameRate);
    // type is the paced source chosen, 1 to 6; window may be null.
    void startDisplayLink(int type, quint32 displayID, Window* window);
    // Stops whatever runs; true when something did.
    bool stop();

    bool hasTimer() const { return m_timer != nullptr; }
    bool hasDisplayLink() const { return m_displayLink != nullptr; }
    // kNone, kTimer, or the paced source's type.
    int type() const { return m_type; }

private:
    std::function<void()> m_tick;
    std::unique_ptr<Timer> m_timer;
    std::unique_ptr<DisplayLink> m_displayLink;
    int m_type = kNone;
};
