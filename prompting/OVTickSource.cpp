#include "prompting/OVTickSource.h"

#include "platform/appkit/DisplayLink.h"
#include "platform/appkit/Timer.h"

OVTickSource::OVTickSource(std::function<void()> tick) : m_tick(std::move(tick)) {}

OVTickSource::~OVTickSource()
{
    stop();
}

void OVTickSource::startTimer(double frameRate)
{
    m_timer = Timer::scheduledTimer(1.0 / frameRate, true, [this](Timer&) { m_tick(); });
    m_type = kTimer;
}

void OVTickSource::startDisplayLink(int type, quint32 displayID, Window* window)
{
    m_displayLink = std::make_unique<DisplayLink>([this](double) { m_tick(); });
    m_displayLink->setDisplayID(displayID);
    m_displayLink->setWindow(window);
    m_type = type;
    m_displayLink->start();
}

bool OVTickSource::stop()
{
    bool stopped = false;
    if (m_timer) {
        m_timer->invalidate();
        m_timer.reset();
        stopped = true;
    }
    if (m_displayLink) {
        m_displayLink->stop();
        m_displayLink.reset();
        stopped = true;
    }
    m_type = kNone;
    return stopped;
}
