#pragma once

#include <QByteArray>
#include <QNetworkRequest>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class HVPeriodicURLChecker;
class QNetworkReply;
class Timer;

// Decides whether checks may run now (the program's Prompt mode says no) and hears of them first.
class HVPeriodicURLCheckerDelegate {
public:
    virtual ~HVPeriodicURLCheckerDelegate() = default;
    virtual bool checkerCanPerformChecksAndComplete(HVPeriodicURLChecker& checker) = 0;
    virtual void checkerPrepareForChecks(HVPeriodicURLChecker& checker) = 0;
};

// Fetches a few addresses now and then, on the shared clock, and hands each answer to its check.
// Requests go out only for addresses the program may fetch (https, or plain http on this machine);
// an empty address is no request. An answer is taken only with a 2xx status and within a size
// limit; anything else is logged and given to nobody.
class HVPeriodicURLChecker {
public:
    struct Check {
        QString identifier;
        QNetworkRequest request;
        // The body of a successful answer.
        std::function<void(const QByteArray& body)> completion;
    };

    static constexpr qint64 kMaximumResponseSize = 16 * 1024 * 1024;
    // The first automatic check waits this long after checks are switched on, so starting the
    // program stays quick.
    static constexpr double kFirstCheckDelay = 5;
    static constexpr int kTransferTimeoutMilliseconds = 30000;
    // Where the time of the last automatic or requested round of checks is kept.
    static inline const QString kLastCheckTimeKey = QStringLiteral("HVPeriodicURLCheckerLastCheckTime");

    HVPeriodicURLChecker();
    virtual ~HVPeriodicURLChecker();
    HVPeriodicURLChecker(const HVPeriodicURLChecker&) = delete;
    HVPeriodicURLChecker& operator=(const HVPeriodicURLChecker&) = delete;

    void setDelegate(HVPeriodicURLCheckerDelegate* delegate) { m_delegate = delegate; }

    const std::vector<Check>& checks() const { return m_checks; }
    void addCheck(Check check) { m_checks.push_back(std::move(check)); }
    // A check's request replaced, for instance by one with another address; out of range is ignored.
    void setRequestOfCheck(size_t index, const QNetworkRequest& request);

    // Seconds between automatic rounds of checks.
    double interval() const { return m_interval; }
    void setInterval(double seconds);

    bool isEnabled() const { return m_enabled; }
    // Switching on schedules the next automatic round (at once when one is due); off stops them.
    virtual void setEnabled(bool enabled);

    // One round of every check now, when the delegate allows; answers how many requests went out.
    virtual int performChecks();
    // Aborts every request still running; their checks hear nothing.
    virtual void cancelRunningChecks();
    bool isChecking() const;

private:
    void scheduleNextRound(double delay);
    void finish(QNetworkReply* reply, size_t checkIndex);

    HVPeriodicURLCheckerDelegate* m_delegate = nullptr;
    std::vector<Check> m_checks;
    std::vector<QPointer<QNetworkReply>> m_running;
    std::unique_ptr<Timer> m_timer;
    double m_interval = 86400;
    bool m_enabled = false;
};
