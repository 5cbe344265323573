#include "platform/hvkit/HVPeriodicURLChecker.h"

#include "platform/appkit/Timer.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVNetworkAccess.h"

#include <QDebug>
#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <algorithm>
#include <cmath>

namespace {

// Hours at the least: a setting of seconds must not turn the checker into a poller.
constexpr double kShortestInterval = 3600;

double lastCheckTime()
{
    const UserDefaults& defaults = UserDefaults::shared();
    return defaults.hasUserValue(HVPeriodicURLChecker::kLastCheckTimeKey)
               ? defaults.doubleForKey(HVPeriodicURLChecker::kLastCheckTimeKey)
               : 0;
}

} // namespace

HVPeriodicURLChecker::HVPeriodicURLChecker() = default;

HVPeriodicURLChecker::~HVPeriodicURLChecker()
{
    cancelRunningChecks();
}

void HVPeriodicURLChecker::setRequestOfCheck(size_t index, const QNetworkRequest& request)
{
    if (index < m_checks.size())
        m_checks[index].request = request;
}

void HVPeriodicURLChecker::setInterval(double seconds)
{
    m_interval = std::isfinite(seconds) ? std::max(seconds, kShortestInterval) : 86400;
    if (m_enabled)
        setEnabled(true);
}

void HVPeriodicURLChecker::setEnabled(bool enabled)
{
    m_enabled = enabled;
    if (!enabled) {
        m_timer.reset();
        return;
    }
    const double due = lastCheckTime() + m_interval - Clock::shared().now();
    scheduleNextRound(std::max(due, kFirstCheckDelay));
}

void HVPeriodicURLChecker::scheduleNextRound(double delay)
{
    m_timer = Timer::scheduledTimer(delay, false, [this](Timer&) {
        performChecks();
        if (m_enabled)
            scheduleNextRound(m_interval);
    });
}

int HVPeriodicURLChecker::performChecks()
{
    if (m_delegate && !m_delegate->checkerCanPerformChecksAndComplete(*this))
        return 0;
    if (m_delegate)
        m_delegate->checkerPrepareForChecks(*this);
    int sent = 0;
    for (size_t index = 0; index < m_checks.size(); ++index) {
        QNetworkRequest request = m_checks[index].request;
        if (!HVNetworkAccess::isPermittedFetchAddress(request.url())) {
            if (!request.url().isEmpty())
                qWarning().noquote() << "not checking" << request.url().toString()
                                     << "which is neither https nor on this machine";
            continue;
        }
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
        request.setTransferTimeout(kTransferTimeoutMilliseconds);
        QNetworkReply* reply = HVNetworkAccess::sharedAccessManager().get(request);
        m_running.emplace_back(reply);
        QObject::connect(
            reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64 total) {
                if (received > kMaximumResponseSize || total > kMaximumResponseSize) {
                    qWarning().noquote() << "the answer of" << reply->url().toString() << "is too large";
                    reply->abort();
                }
            });
        QObject::connect(reply, &QNetworkReply::finished, reply,
                         [this, reply, index] { finish(reply, index); });
        ++sent;
    }
    if (sent > 0)
        UserDefaults::shared().setDouble(Clock::shared().now(), kLastCheckTimeKey);
    return sent;
}

void HVPeriodicURLChecker::finish(QNetworkReply* reply, size_t checkIndex)
{
    std::erase_if(m_running, [reply](const QPointer<QNetworkReply>& running) {
        return running.isNull() || running == reply;
    });
    reply->deleteLater();
    if (reply->error() == QNetworkReply::OperationCanceledError)
        return;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError || status < 200 || status > 299) {
        qWarning().noquote() << "the check of" << reply->url().toString() << "failed:" << status
                             << reply->errorString();
        return;
    }
    const QByteArray body = reply->read(kMaximumResponseSize + 1);
    if (body.size() > kMaximumResponseSize) {
        qWarning().noquote() << "the answer of" << reply->url().toString() << "is too large";
        return;
    }
    if (checkIndex < m_checks.size() && m_checks[checkIndex].completion)
        m_checks[checkIndex].completion(body);
}

void HVPeriodicURLChecker::cancelRunningChecks()
{
    // Aborting finishes the reply at once, which takes it off the list: work on a copy.
    const std::vector<QPointer<QNetworkReply>> running = std::move(m_running);
    m_running.clear();
    for (const QPointer<QNetworkReply>& reply : running) {
        if (reply)
            reply->abort();
    }
}

bool HVPeriodicURLChecker::isChecking() const
{
    return std::any_of(m_running.begin(), m_running.end(),
                       [](const QPointer<QNetworkReply>& reply) { return !reply.isNull(); });
}
