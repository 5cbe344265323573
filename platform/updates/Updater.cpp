#include "platform/updates/Updater.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVAppUpdateController.h"
#include "platform/hvkit/HVPeriodicURLChecker.h"
#include "platform/hvkit/HVVersion.h"
#include "platform/updates/SUConstants.h"
#include "platform/updates/UpdateAlert.h"
#include "platform/updates/UpdateChoice.h"

#include <QApplication>
#include <QDebug>
#include <QEvent>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <utility>

namespace {

// Calls back once, when the watched window hides or goes.
class ModalWindowWatcher final : public QObject {
public:
    ModalWindowWatcher(QWidget* window, std::function<void()> gone)
        : m_window(window), m_gone(std::move(gone))
    {
        window->installEventFilter(this);
        connect(window, &QObject::destroyed, this, [this] { fire(); });
    }
    ~ModalWindowWatcher() override
    {
        if (m_window)
            m_window->removeEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Hide)
            fire();
        return false;
    }

private:
    void fire()
    {
        if (std::function<void()> gone = std::exchange(m_gone, {}))
            gone();
    }
    QPointer<QWidget> m_window;
    std::function<void()> m_gone;
};

} // namespace

Updater::Updater(HVPeriodicURLChecker& checker, HVAppUpdateController& controller)
    : m_checker(checker), m_controller(controller)
{
    HVPeriodicURLChecker::Check check;
    check.identifier = kFeedCheckIdentifier;
    check.request = QNetworkRequest(feedURL());
    check.completion = [this](const QByteArray& body) { didLoadFeed(body); };
    m_checker.addCheck(std::move(check));
    m_feedObserver =
        UserDefaults::shared().addObserver(kFeedURLKey, [this](const QString&) { feedURLDidChange(); });
}

Updater::~Updater()
{
    UserDefaults::shared().removeObserver(m_feedObserver);
    cancelAndCloseAll();
}

bool Updater::automaticallyChecksForUpdates() const
{
    return UserDefaults::shared().boolForKey(SUEnableAutomaticChecksKey);
}

void Updater::setAutomaticallyChecksForUpdates(bool automatically)
{
    UserDefaults::shared().setBool(automatically, SUEnableAutomaticChecksKey);
}

QUrl Updater::feedURL() const
{
    const QString text = UserDefaults::shared().stringForKey(kFeedURLKey).trimmed();
    return text.isEmpty() ? QUrl() : QUrl(text, QUrl::StrictMode);
}

void Updater::feedURLDidChange()
{
    const std::vector<HVPeriodicURLChecker::Check>& checks = m_checker.checks();
    for (size_t index = 0; index < checks.size(); ++index) {
        if (checks[index].identifier == kFeedCheckIdentifier)
            m_checker.setRequestOfCheck(index, QNetworkRequest(feedURL()));
    }
}

void Updater::checkForUpdates()
{
    if (m_delegate && !m_delegate->updaterMayCheckForUpdates(*this))
        return;
    m_checker.performChecks();
}

void Updater::didLoadFeed(const QByteArray& data)
{
    Error error;
    const std::optional<Appcast> appcast = Appcast::appcastWithData(data, &error);
    if (!appcast) {
        qWarning().noquote() << "Unable to read the update feed; keeping what the last one offered."
                             << error.localizedFailureReason();
        return;
    }
    if (m_delegate)
        m_delegate->bestValidUpdateInAppcast(*appcast, *this);
    else
        m_controller.setLatestAppUpdates(UpdateChoice::chooseFromAppcast(*appcast).appUpdates());
    NotificationCenter::shared().postNotification(UpdaterDidFinishLoadingFeedNotification, this);
    if (m_delegate)
        m_delegate->updaterDidFinishLoadingAppcast(*this, *appcast);
    if (const std::optional<HVAppUpdate> best = m_controller.bestUpdate()) {
        QString notes;
        for (const AppcastItem& item : appcast->items()) {
            if (item.versionString == best->buildVersionString &&
                item.displayVersionString == best->versionString) {
                notes = item.itemDescription;
                break;
            }
        }
        announce(*best, notes);
    }
}

void Updater::announce(const HVAppUpdate& update, const QString& notes)
{
    if (!m_alert)
        m_alert = std::make_unique<UpdateAlert>(
            [this](const HVAppUpdate& chosen) { m_controller.performActionForAppUpdate(chosen); });
    m_alert->setUpdate(update, HVVersion::appVersion().stringValue(), notes);
    showAnnouncementAfterModalWindows();
}

void Updater::showAnnouncementAfterModalWindows()
{
    if (!m_alert)
        return;
    QWidget* modal = qobject_cast<QApplication*>(QCoreApplication::instance())
                         ? QApplication::activeModalWidget()
                         : nullptr;
    if (modal && modal != m_alert.get()) {
        // Shown now it would sit under that alert or over it, and take no click until it is
        // answered: it follows it, on the next pass, once the alert has quite gone.
        m_modalWatcher = std::make_unique<ModalWindowWatcher>(modal, [this] {
            QTimer::singleShot(0, m_alert.get(), [this] { showAnnouncementAfterModalWindows(); });
        });
        return;
    }
    m_modalWatcher.reset();
    m_alert->show();
    m_alert->raise();
}

void Updater::cancelAndCloseAll()
{
    m_checker.cancelRunningChecks();
    m_modalWatcher.reset();
    if (m_alert)
        m_alert->close();
}
