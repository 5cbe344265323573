#include "prompting/OVTimeInfo.h"

#include "prompting/OVTimeFormatter.h"

#include <algorithm>

namespace {

constexpr qint64 kLargestRunTime = 86399;

// Run times over an hour show hours; shorter ones only minutes and seconds.
QString runTimeString(qint64 seconds)
{
    OVTimeFormatter& formatter = OVTimeFormatter::sharedTimeFormatter();
    const qint64 clamped = std::clamp(seconds, -kLargestRunTime, kLargestRunTime);
    qint64 hours = 0;
    OVTimeFormatter::convertTotalSeconds(clamped, nullptr, &hours, nullptr, nullptr);
    const OVTimeFormatter::FormatArray& array =
        hours != 0 ? formatter.runTimeWithHoursFormatArray() : formatter.runTimeWithoutHoursFormatArray();
    QString result;
    formatter.timeFormattedFor(result, array, clamped);
    return result;
}

} // namespace

OVTimeInfo::OVTimeInfo(QObject* parent) : QObject(parent)
{
    m_elapsedString.reserve(32);
    m_remainingString.reserve(32);
    m_clockString.reserve(32);
    // The format arrays are derived from the locale once, when the first time info is made.
    OVTimeFormatter::sharedTimeFormatter().clockFormatArray();
}

std::unique_ptr<OVTimeInfo> OVTimeInfo::timeInfo()
{
    return std::make_unique<OVTimeInfo>();
}

void OVTimeInfo::setElapsedSeconds(qint64 seconds)
{
    if (seconds == m_elapsedSeconds)
        return;
    m_elapsedSeconds = seconds;
    emit elapsedSecondsChanged(seconds);
}

void OVTimeInfo::setRemainingSeconds(qint64 seconds)
{
    if (seconds == m_remainingSeconds)
        return;
    m_remainingSeconds = seconds;
    emit remainingSecondsChanged(seconds);
}

void OVTimeInfo::resetElapsedTime()
{
    if (m_elapsedSeconds != 0)
        setElapsedSeconds(0);
}

QString OVTimeInfo::elapsedTimeString()
{
    m_elapsedString = runTimeString(m_elapsedSeconds);
    return m_elapsedString;
}

QString OVTimeInfo::remainingTimeString()
{
    m_remainingString = runTimeString(m_remainingSeconds);
    return m_remainingString;
}

QString OVTimeInfo::clockTimeString()
{
    OVTimeFormatter& formatter = OVTimeFormatter::sharedTimeFormatter();
    formatter.currentTimeFormattedFor(m_clockString, formatter.clockFormatArray());
    return m_clockString;
}

QString OVTimeInfo::clockTimeStringForSeconds(qint64 secondsSinceMidnight)
{
    OVTimeFormatter& formatter = OVTimeFormatter::sharedTimeFormatter();
    QString result;
    formatter.timeFormattedFor(result, formatter.clockFormatArray(), secondsSinceMidnight);
    return result;
}

QString OVTimeInfo::description() const
{
    return QStringLiteral("<%1: %2>\n\tElapsed Time:  %3    (%4)\n\tRemaining Time:  %5    (%6)")
        .arg(QString::fromLatin1(metaObject()->className()),
             QStringLiteral("0x%1").arg(quintptr(this), 0, 16), runTimeString(m_elapsedSeconds),
             QString::number(m_elapsedSeconds), runTimeString(m_remainingSeconds),
             QString::number(m_remainingSeconds));
}
