#pragma once

#include "platform/hvkit/HVAppUpdate.h"
#include "platform/hvkit/HVSparkleProxy.h"
#include "platform/updates/Appcast.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

class HVAppUpdateController;
class HVPeriodicURLChecker;
class Updater;
class UpdateAlert;
class QObject;

// Posted after every feed that was read, whatever it offered; object: the updater. Work that
// follows each feed load (refreshing downloaded data) hooks in here.
inline const QString UpdaterDidFinishLoadingFeedNotification =
    QStringLiteral("UpdaterDidFinishLoadingFeedNotification");

// The application's answers to the updater.
class UpdaterDelegate {
public:
    virtual ~UpdaterDelegate() = default;
    virtual bool updaterMayCheckForUpdates(Updater& updater) = 0;
    // Chooses from a feed, hands what it found to the update controller and answers the item
    // the updater would install (none: this updater installs nothing itself).
    virtual std::optional<AppcastItem> bestValidUpdateInAppcast(const Appcast& appcast, Updater& updater) = 0;
    virtual void updaterDidFinishLoadingAppcast(Updater& updater, const Appcast& appcast) = 0;
};

// Finds updates and tells the user of them; it never downloads or installs one. A program that
// came from a package belongs to the package manager, and a built one to whoever built it: an
// update found is announced in a window whose button opens the update's page in the browser.
// The feed is fetched by the periodic checker, as one of its checks; its address comes from the
// settings ("SUFeedURL"), empty unless a build or the user sets one, and empty means no request.
class Updater : public HVSparkleProxy {
public:
    static inline const QString kFeedURLKey = QStringLiteral("SUFeedURL");
    static inline const QString kFeedCheckIdentifier = QStringLiteral("updates");

    Updater(HVPeriodicURLChecker& checker, HVAppUpdateController& controller);
    ~Updater() override;
    Updater(const Updater&) = delete;
    Updater& operator=(const Updater&) = delete;

    void setDelegate(UpdaterDelegate* delegate) { m_delegate = delegate; }

    bool automaticallyChecksForUpdates() const override;
    void setAutomaticallyChecksForUpdates(bool automatically) override;
    QUrl feedURL() const override;
    void checkForUpdates() override;

    // A feed's bytes as they arrived. A feed that cannot be read leaves what the last one found
    // and is logged.
    void didLoadFeed(const QByteArray& data);

    // The window announcing the update found, while it shows.
    UpdateAlert* announcementWindow() const { return m_alert.get(); }
    // Prompting starts: the running check is cancelled and every window of the updater closed.
    void cancelAndCloseAll();

private:
    void announce(const HVAppUpdate& update, const QString& notes);
    // Shows the announcement, or, while an alert the user must answer first is up (the crash
    // report's), once it has gone.
    void showAnnouncementAfterModalWindows();
    void feedURLDidChange();

    HVPeriodicURLChecker& m_checker;
    HVAppUpdateController& m_controller;
    UpdaterDelegate* m_delegate = nullptr;
    std::unique_ptr<UpdateAlert> m_alert;
    std::unique_ptr<QObject> m_modalWatcher;
    quint64 m_feedObserver = 0;
};
