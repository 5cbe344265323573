#pragma once

#include "platform/hvkit/HVAppUpdate.h"

#include <QString>

#include <optional>
#include <vector>

inline const QString HVAppUpdateControllerDidChangeNotification =
    QStringLiteral("HVAppUpdateControllerDidChangeNotification");

// What the last update check found: the updates on offer (free first, then paid), the best of
// them, a one-line summary for the settings, and the action that takes the user to an update.
// Every change posts HVAppUpdateControllerDidChangeNotification with the controller as object.
class HVAppUpdateController {
public:
    virtual ~HVAppUpdateController() = default;

    const std::vector<HVAppUpdate>& latestAppUpdates() const { return m_updates; }
    // A completed check: what it found, possibly nothing.
    virtual void setLatestAppUpdates(const std::vector<HVAppUpdate>& updates);
    // The free update when there is one, else the paid one.
    std::optional<HVAppUpdate> bestUpdate() const;
    bool hasUpdate() const { return !m_updates.empty(); }
    // Whether a check completed since the start or the last reset.
    bool hasChecked() const { return m_hasChecked; }

    // "Orvane 7.3 is available.", "Orvane is up to date.", or that checks are not set up in this
    // build when there is no feed to check.
    virtual QString localizedBestUpdateSummaryString() const;

    // A program installed from packages never replaces its own files: the update's page is opened
    // in the browser, where the user decides. Answers whether a page was opened.
    virtual bool performActionForAppUpdate(const std::optional<HVAppUpdate>& update);

    // Forgets what was found, as if no check had run.
    virtual void reset();

private:
    void postChange();

    std::vector<HVAppUpdate> m_updates;
    bool m_hasChecked = false;
};
