#pragma once

#include <QString>

#include <array>
#include <memory>

class QAbstractButton;
class QButtonGroup;
class QToolButton;
class QWidget;

// The row below the colour picker: three options saying which colour the panel sets (text 1,
// highlight 2, background 4) and a reset button for the selected one. The focused view that takes
// part decides which options are enabled and what a change or a reset does.
class OVColorPanelAccessoryViewController {
public:
    static OVColorPanelAccessoryViewController& sharedColorPanelAccessoryViewController();
    // At program start: the panel sends its colour changes to the participant, and the updater
    // follows the focus from then on.
    static void installColorPanelAccessoryView();

    QWidget* view() const { return m_view; }

    unsigned selectedOption() const { return m_selectedOption; }
    void setSelectedOption(unsigned option);
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool flag);

    // Brings the colour panel to the front with the option selected.
    void selectTextColorOption();
    void selectBackgroundColorOption();
    // The reset buttons' action: the option is the button's (the selected one without a button);
    // with Alt held, text or highlight resets both.
    void resetSelectedColor(unsigned tag = 0);
    // Enables the options the participant supports; an option it does not support gives way to the
    // first one it does, in the order text, background, highlight, except that the highlight gives
    // way to the background first (text when it supports none).
    void enableButtonCellsForSupportedColorPanelOptionMask(unsigned mask);

    QAbstractButton* optionButton(unsigned tag) const;
    QToolButton* resetButton(unsigned tag) const;

    // Whether Alt is held: the keyboard's unless a test says.
    static void setOptionKeyProvider(bool (*provider)());

    OVColorPanelAccessoryViewController(const OVColorPanelAccessoryViewController&) = delete;
    OVColorPanelAccessoryViewController& operator=(const OVColorPanelAccessoryViewController&) = delete;

private:
    OVColorPanelAccessoryViewController();
    ~OVColorPanelAccessoryViewController();
    void _initOVColorPanelAccessoryViewController();
    void _updateResetCellVisibility();
    void _updateColorPanelForSelectedOptionChange();
    void selectedOptionChanged();
    void enabledChanged();

    QWidget* m_view = nullptr;
    QButtonGroup* m_optionMatrix = nullptr;
    std::array<QAbstractButton*, 3> m_optionButtons{};
    std::array<QToolButton*, 3> m_resetButtons{};
    unsigned m_selectedOption = 1;
    bool m_enabled = true;
    bool m_suppressOptionChange = false;
};
