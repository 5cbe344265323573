#pragma once

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/PlistValue.h"
#include "platform/hvkit/HVSettingsViewController.h"

#include <QUrl>

class OVBackwardsCompatibleMiniLabel;
class QCheckBox;
class QFrame;
class QPushButton;

// The Updates settings pane: automatic update checks on or off, what the last check found, the
// way to the update's page, and a check on request. Check Now reads the modifier keys held at the
// click: Control, Alt and Ctrl together (the platform's Control, Option and Command) switch the
// developers' debug feeds; Alt alone clears what checks found without checking; otherwise every
// check runs. Window managers often take Super-click for themselves, so the debug switch may be
// out of reach there, which is acceptable for a developers' switch.
class OVUpdatesPreferencesViewController : public HVSettingsViewController {
public:
    static PlistDictionary initialDefaultsDictionary();

    // The debug counterpart of an address: "-debug" added to or removed from the end of its file
    // name, before the extension ("feed.xml" and "feed-debug.xml"). A name already as asked, or
    // no name at all, stays; so does an empty suffix.
    static QUrl urlBySwitchingDebugSuffix(const QUrl& url, bool debug,
                                          const QString& suffix = QStringLiteral("-debug"));

    explicit OVUpdatesPreferencesViewController(QWidget* parent = nullptr,
                                                HVSettingsController* settingsController = nullptr);
    ~OVUpdatesPreferencesViewController() override;

    QCheckBox* checkForUpdatesCheckbox() const { return m_checkbox; }
    QFrame* horizontalSeparatorBox() const { return m_separator; }
    QPushButton* checkNowButton() const { return m_checkNowButton; }
    QPushButton* updateActionButton() const { return m_updateActionButton; }
    OVBackwardsCompatibleMiniLabel* updateSummaryLabel() const { return m_summaryLabel; }
    bool useDebugURLs() const { return m_useDebugURLs; }

    void settingsDidShow() override;
    void defaultsDidReset() override;

    void updateInterface();
    void checkForUpdatesCheckboxPressed();
    void updateActionButtonPressed();
    // modifierFlags: the platform's flags held at the click.
    void checkNowButtonPressed(unsigned long modifierFlags);

private:
    void switchDebugFeeds();

    QCheckBox* m_checkbox = nullptr;
    QFrame* m_separator = nullptr;
    QPushButton* m_checkNowButton = nullptr;
    QPushButton* m_updateActionButton = nullptr;
    OVBackwardsCompatibleMiniLabel* m_summaryLabel = nullptr;
    bool m_useDebugURLs = false;
    std::vector<NotificationObserver> m_observers;
};
