#pragma once

#include <QObject>
#include <QString>

#include <memory>

// The two counters of prompting, elapsed seconds (counted up by the scroll engine) and remaining
// seconds (estimated by the core), and their display strings along with the time of day.
class OVTimeInfo : public QObject {
    Q_OBJECT
    Q_PROPERTY(qint64 elapsedSeconds READ elapsedSeconds WRITE setElapsedSeconds NOTIFY elapsedSecondsChanged)
    Q_PROPERTY(qint64 remainingSeconds READ remainingSeconds WRITE setRemainingSeconds NOTIFY
                   remainingSecondsChanged)

public:
    explicit OVTimeInfo(QObject* parent = nullptr);

    static std::unique_ptr<OVTimeInfo> timeInfo();

    qint64 elapsedSeconds() const { return m_elapsedSeconds; }
    void setElapsedSeconds(qint64 seconds);
    // May be negative once the script has run over.
    qint64 remainingSeconds() const { return m_remainingSeconds; }
    void setRemainingSeconds(qint64 seconds);

    // Sets the elapsed time to 0; observers hear nothing when it already was.
    void resetElapsedTime();

    QString elapsedTimeString();
    QString remainingTimeString();
    QString clockTimeString();
    // A time of day given as seconds since midnight.
    QString clockTimeStringForSeconds(qint64 secondsSinceMidnight);

    QString description() const;

signals:
    void elapsedSecondsChanged(qint64 seconds);
    void remainingSecondsChanged(qint64 seconds);

private:
    qint64 m_elapsedSeconds = 0;
    qint64 m_remainingSeconds = 0;
    // Reused between calls so a tick that redraws the time allocates nothing new.
    QString m_elapsedString;
    QString m_remainingString;
    QString m_clockString;
};
