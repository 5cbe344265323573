#pragma once

#include "platform/foundation/PlistValue.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVSettingsViewController.h"
#include "preferences/OVKeyGroup.h"

#include <array>

class OVKeyField;
class OVSlider;
class QCheckBox;
class QLabel;
class QTabWidget;

// The Controls settings pane: the prompting hot keys (one capture field each, no key twice, Tab,
// 'L' and, while they set the speed, the number keys refused), the speed step, default and pause
// speeds, and the mouse and wheel options.
class OVControlPreferencesViewController : public HVSettingsViewController, public OVKeyGroupDelegate {
public:
    static PlistDictionary initialDefaultsDictionary();

    explicit OVControlPreferencesViewController(QWidget* parent = nullptr,
                                                HVSettingsController* settingsController = nullptr);
    ~OVControlPreferencesViewController() override;

    // The fields in the order of the hot-key table, with their keys.
    static constexpr int kKeyFieldCount = 15;
    static const std::array<const char*, kKeyFieldCount>& keyFieldDefaultsKeys();
    OVKeyField* keyField(int index) const { return m_keyFields[size_t(index)]; }
    OVKeyField* keyFieldForDefaultsKey(const QString& key) const;
    OVKeyGroup* keyGroup() const { return m_keyGroup; }
    QCheckBox* userNumberKeysToAdjustSpeedButton() const { return m_numberKeysButton; }
    QTabWidget* controlsTabView() const { return m_tabView; }
    OVSlider* speedIncrementSlider() const { return m_speedIncrementSlider; }
    OVSlider* defaultSpeedSlider() const { return m_defaultSpeedSlider; }
    OVSlider* pauseSpeedSlider() const { return m_pauseSpeedSlider; }
    QLabel* speedIncrementLabel() const { return m_speedIncrementLabel; }
    QLabel* defaultSpeedLabel() const { return m_defaultSpeedLabel; }
    QLabel* pauseSpeedLabel() const { return m_pauseSpeedLabel; }

    void duplicateKey(const QString& key, OVKeyField* existsForKeyField) override;
    void speedSliderOnlyUsesPositiveValuesChanged();
    void limitAllSpeedsToSpeedSliderValuesChanged();

    void defaultsWillReset() override;
    void defaultsDidReset() override;

private:
    void _configureKeyGroup();
    void _updateNumberExclusions();
    OVSlider* addSpeedSlider(const QString& key, double minimum, double maximum, QLabel** label);

    std::array<OVKeyField*, kKeyFieldCount> m_keyFields{};
    OVKeyGroup* m_keyGroup = nullptr;
    QCheckBox* m_numberKeysButton = nullptr;
    QTabWidget* m_tabView = nullptr;
    OVSlider* m_speedIncrementSlider = nullptr;
    OVSlider* m_defaultSpeedSlider = nullptr;
    OVSlider* m_pauseSpeedSlider = nullptr;
    QLabel* m_speedIncrementLabel = nullptr;
    QLabel* m_defaultSpeedLabel = nullptr;
    QLabel* m_pauseSpeedLabel = nullptr;
    std::vector<UserDefaults::ObserverToken> m_observers;
};
