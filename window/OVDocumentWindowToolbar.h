#pragma once

#include "platform/appkit/Toolbar.h"

#include <QLabel>
#include <QMap>
#include <QPointer>
#include <QSlider>
#include <QString>
#include <QStringList>
#include <QToolButton>

#include <memory>

class OVBookmarkSegmentedControl;
class OVDocumentWindowController;
class OVSlider;
class OVTimerTextField;
class ToolbarItem;

inline const QString OVDocumentWindowToolbarIdentifier = QStringLiteral("OVDocumentWindowToolbarIdentifier");
inline const QString OVToolbarItemStartPauseIdentifier = QStringLiteral("OVToolbarItemStartPauseIdentifier");
inline const QString OVToolbarItemSpeedIdentifier = QStringLiteral("OVToolbarItemSpeedIdentifier");
inline const QString OVToolbarItemTimerIdentifier = QStringLiteral("OVToolbarItemTimerIdentifier");
inline const QString OVToolbarItemBookmarkActionsIdentifier =
    QStringLiteral("OVToolbarItemBookmarkActionsIdentifier");
inline const QString OVToolbarItemContentZoomIdentifier =
    QStringLiteral("OVToolbarItemContentZoomIdentifier");
inline const QString OVToolbarItemBlankingIdentifier = QStringLiteral("OVToolbarItemBlankingIdentifier");
inline const QString OVToolbarItemModesIdentifier = QStringLiteral("OVToolbarItemModesIdentifier");
inline const QString OVToolbarItemPreviewIdentifier = QStringLiteral("OVToolbarItemPreviewIdentifier");
inline const QString OVToolbarItemTempIdentifier = QStringLiteral("OVToolbarItemTempIdentifier");
inline const QString OVToolbarItemPlaylistIdentifier = QStringLiteral("OVToolbarItemPlaylistIdentifier");
inline const QString OVToolbarItemFormatBarIdentifier = QStringLiteral("OVToolbarItemFormatBarIdentifier");

// The document window's toolbar: the operator's prompting controls beside the editor's colour, font
// and print items. It builds every item for its controller, keeps the items in step with the core's
// mode, status and blanking, takes the editor's items away while prompting and refreshes the speed
// read-out at most 30 times a second.
class OVDocumentWindowToolbar final : public ToolbarDelegate {
public:
    // Mode-changing controls carry this tag, so validation treats them alike.
    static constexpr int kModeChangingTag = 900;
    static constexpr double kSpeedThrottleInterval = 1.0 / 30.0;
    static constexpr int kElapsedTimerFieldWidth = 72;

    explicit OVDocumentWindowToolbar(OVDocumentWindowController& controller);
    ~OVDocumentWindowToolbar() override;

    Toolbar& toolbar() { return *m_toolbar; }

    // ToolbarDelegate.
    std::unique_ptr<ToolbarItem> itemForItemIdentifier(Toolbar& toolbar, const QString& identifier,
                                                       bool willBeInsertedIntoToolbar) override;
    // The standard items come with the pictures the other buttons have.
    void toolbarWillAddItem(Toolbar& toolbar, ToolbarItem& item) override;
    QStringList allowedItemIdentifiers(Toolbar& toolbar) override;
    QStringList defaultItemIdentifiers(Toolbar& toolbar) override;
    static const QStringList& editModeIdentifiers();

    // Refreshes; a null item means the toolbar's own item of that kind, if it has one.
    void updateStartPauseItem(ToolbarItem* item = nullptr);
    void updateModesItem(ToolbarItem* item = nullptr);
    void updateBlankingItem(ToolbarItem* item = nullptr);
    void updateContentZoomItem(ToolbarItem* item = nullptr);
    void updateTimerItem(ToolbarItem* item = nullptr);
    void updateTimeForTimerItem();
    void updateAll();

    // Refreshes the speed read-out now, or once the throttle interval has passed since the last
    // refresh; the last speed set is always the one shown in the end.
    void updateSpeedControl();
    void updateSpeedItem();
    void setSpeedSliderRange(double minimum, double maximum);
    QString speedString(double speed) const;
    int speedReadoutUpdates() const { return m_speedReadoutUpdates; }

    // The customisation dialog; true when the user accepted a new arrangement.
    bool runCustomization();
    // Only in Edit mode, with no mode change under way.
    bool canRunCustomization() const;

    // Around a mode change.
    void modeWillChange(unsigned mode);
    void modeDidChange(unsigned mode);

    // 0 shows the elapsed time, 1 the remaining time.
    unsigned timerMode() const { return m_timerMode; }
    void toggleTimerMode();

    // The controls inside the view items, for the window's own wiring and for tests.
    OVSlider* speedSlider() const;
    QLabel* speedTextField() const { return m_speedText.data(); }
    OVTimerTextField* timerField() const;
    OVBookmarkSegmentedControl* bookmarksControl() const;
    QToolButton* timerResetButton() const { return m_timerReset.data(); }

private:
    ToolbarItem* item(ToolbarItem* given, const QString& identifier) const;
    void attachMenuForm(ToolbarItem& item);
    void enableEditModeItems(bool enable);
    void removeEditModeItems();
    void restoreEditModeItems();
    void sliderMoved(int position);

    OVDocumentWindowController& m_controller;
    std::unique_ptr<Toolbar> m_toolbar;
    // Identifier → action taken away while prompting.
    QMap<QString, QString> m_disabledItems;
    // The toolbar's order before the editor's items were taken away.
    QStringList m_editModeIdentifiers;
    double m_speedLastRefresh = 0;
    bool m_speedRefreshPending = false;
    int m_speedReadoutUpdates = 0;
    unsigned m_timerMode = 0;
    bool m_settingSlider = false;
    bool m_restoringEditModeItems = false;
    // The views live in their items, which customisation may remove.
    QPointer<QSlider> m_speedSlider;
    QPointer<QLabel> m_speedText;
    QPointer<QToolButton> m_timerField;
    QPointer<QToolButton> m_timerReset;
    QPointer<QWidget> m_bookmarksControl;
};
