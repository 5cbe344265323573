#pragma once

#include <QByteArray>

// Keeps the latest announcements the periodic checker fetched, until a reset forgets them.
class HVAnnouncementController {
public:
    virtual ~HVAnnouncementController() = default;

    const QByteArray& latestAnnouncements() const { return m_latest; }
    virtual void setLatestAnnouncements(const QByteArray& data) { m_latest = data; }
    virtual void reset() { m_latest.clear(); }

private:
    QByteArray m_latest;
};
