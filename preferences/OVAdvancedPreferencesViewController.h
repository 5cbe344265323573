#pragma once

#include "platform/foundation/PlistValue.h"
#include "platform/hvkit/HVSettingsViewController.h"

#include <QPointer>

#include <vector>

class QAction;
class QComboBox;
class QLineEdit;
class QMenu;
class QToolButton;

inline const QString OVPreferencesAdvancedDidChangeSpeedScaleTypeNotification =
    QStringLiteral("OVPreferencesAdvancedDidChangeSpeedScaleTypeNotification");

// The Advanced settings pane: timing, drawing and workaround options, and the commands that reset,
// import and restore all settings. Settings that nothing on this platform reads (display capture,
// the accelerated and layer drawing choices, title-bar translucency, the layout debugging switch)
// stay registered without a control.
class OVAdvancedPreferencesViewController : public HVSettingsViewController {
public:
    static PlistDictionary initialDefaultsDictionary();

    // The settings pull-down's commands, by their items' tags.
    static constexpr int kResetSettingsTag = 1;
    static constexpr int kImportSettingsTag = 2;
    static constexpr int kRestoreSettingsTag = 3;
    // The frame-rate choice that takes the custom rate.
    static constexpr int kCustomFrameRateTag = 1024;

    explicit OVAdvancedPreferencesViewController(QWidget* parent = nullptr,
                                                 HVSettingsController* settingsController = nullptr);
    ~OVAdvancedPreferencesViewController() override;

    QComboBox* documentSpeedTypePopUpButton() const { return m_documentSpeedTypePopUp; }
    QComboBox* speedScaleTypePopUpButton() const { return m_speedScaleTypePopUp; }
    QComboBox* frameRatePopUpButton() const { return m_frameRatePopUp; }
    QComboBox* overdrawTypePopUpButton() const { return m_overdrawTypePopUp; }
    QComboBox* workaroundTypePopUpButton() const { return m_workaroundTypePopUp; }
    QToolButton* settingsPullDownButton() const { return m_settingsPullDown; }
    QLineEdit* customFrameRateTextField() const { return m_customFrameRateField; }
    QLineEdit* customOverdrawParameterTextField() const { return m_customOverdrawField; }
    QLineEdit* customWorkaroundTimerIntervalTextField() const { return m_customWorkaroundField; }
    QAction* settingsMenuItem(int tag) const;

    void speedScaleTypeChanged();
    void useConcurrentViewDrawingChanged();
    void alwaysUseAutomaticWhitespacePaddingChanged();
    void frameRateTypeChanged();
    void overdrawTypeChanged();
    void enableAnalyticsChanged();
    // Runs the pull-down's command with that tag.
    void performSettingsAction(int tag);

    // The key the overdraw field shows for the overdraw choice; empty when it shows none.
    static QString overdrawParameterKey();

    void settingsWillHide() override;
    void defaultsDidReset() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void _updateSettingsMenu();
    void _updateCustomFrameRateTextField();
    void _updateCustomOverdrawParameterTextField();
    // After settings were replaced wholesale (a reset, an import, a restore): what caches them
    // hears of it.
    void refreshAfterReplacingSettings(bool reset);
    // After an import: which entries of the file were not taken, the first few by name.
    void tellOfSettingsLeftOut(const QStringList& keys);

    QComboBox* m_documentSpeedTypePopUp = nullptr;
    QComboBox* m_speedScaleTypePopUp = nullptr;
    QComboBox* m_frameRatePopUp = nullptr;
    QComboBox* m_overdrawTypePopUp = nullptr;
    QComboBox* m_workaroundTypePopUp = nullptr;
    QToolButton* m_settingsPullDown = nullptr;
    QMenu* m_settingsMenu = nullptr;
    QLineEdit* m_customFrameRateField = nullptr;
    QLineEdit* m_customOverdrawField = nullptr;
    QLineEdit* m_customWorkaroundField = nullptr;
    QObject* m_overdrawBinding = nullptr;
    QPointer<QWidget> m_watchedWindow;
    std::vector<quint64> m_observers;
};
