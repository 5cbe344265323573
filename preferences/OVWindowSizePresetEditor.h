#pragma once

#include "preferences/OVItemTableView.h"
#include "window/OVResolutionString.h"

#include <QWidget>

#include <functional>
#include <vector>

class QLabel;
class QLineEdit;
class QToolButton;

// The window in which the window-size presets are edited: the stored list in a table, width and
// height fields (Return in either adds), add, remove and reset. Every change is stored at once and
// the preset menus follow.
class OVWindowSizePresetEditor : public QWidget, public OVItemTableViewDelegate {
public:
    static constexpr unsigned long kMinimumWidth = 320;
    static constexpr unsigned long kMinimumHeight = 240;
    static constexpr unsigned long kMaximumSide = OVResolutionString::kLargestSide;
    enum Segment { kAddSegment = 0, kRemoveSegment = 1, kResetSegment = 2 };

    // rebuildPresetMenus runs after every change, so every window's preset menu shows the list.
    explicit OVWindowSizePresetEditor(std::function<void()> rebuildPresetMenus, QWidget* parent = nullptr);
    ~OVWindowSizePresetEditor() override;

    OVItemTableView* tableView() const { return m_tableView; }
    QLineEdit* widthField() const { return m_widthField; }
    QLineEdit* heightField() const { return m_heightField; }
    QLabel* xLabelField() const { return m_xLabel; }
    QToolButton* segmentButton(int segment) const;
    const std::vector<OVResolutionString>& resolutionStrings() const { return m_resolutionStrings; }

    // Feedback; a beep and a short shake unless replaced (tests count them).
    void setBeeper(std::function<void()> beeper) { m_beeper = std::move(beeper); }
    void setShaker(std::function<void(QWidget&)> shaker) { m_shaker = std::move(shaker); }

    bool addPreset();
    bool removeSelectedPreset();
    // Asks first, on this window; answers whether the presets were reset by the time it returns.
    bool resetPresets();
    void segmentedControlAction(int tag);
    void changePresetMaintainance();
    void updateForRowSelectionChange();

    bool canDelete() const override { return true; }
    bool canInsert() const override { return false; }
    void deleteActionForItemTableView(OVItemTableView& tableView) override;
    void insertActionForItemTableView(OVItemTableView& tableView) override;

private:
    void reloadTable();
    int selectedRow() const;
    void selectRow(int row);
    void applyReset();
    void beep();
    void shake(QWidget& widget);

    std::function<void()> m_rebuildPresetMenus;
    std::function<void()> m_beeper;
    std::function<void(QWidget&)> m_shaker;
    std::vector<OVResolutionString> m_resolutionStrings;
    OVItemTableView* m_tableView = nullptr;
    QLineEdit* m_widthField = nullptr;
    QLineEdit* m_heightField = nullptr;
    QLabel* m_xLabel = nullptr;
    std::vector<QToolButton*> m_segments;
};
