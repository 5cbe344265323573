#pragma once

#include "platform/foundation/PlistValue.h"
#include "platform/hvkit/HVSettingsViewController.h"

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QMenu;
class QRadioButton;
class QToolButton;

inline const QString OVPreferencesPromptDidChangeWindowedPromptingNotification =
    QStringLiteral("OVPreferencesPromptDidChangeWindowedPromptingNotification");
inline const QString OVPreferencesPromptDidChangeMaximizeWindowSizeNotification =
    QStringLiteral("OVPreferencesPromptDidChangeMaximizeWindowSizeNotification");
inline const QString OVPreferencesPromptDidChangeShowToolbarInPromptModeNotification =
    QStringLiteral("OVPreferencesPromptDidChangeShowToolbarInPromptModeNotification");
inline const QString OVPreferencesPromptDidChangeShowVerticalScrollerNotification =
    QStringLiteral("OVPreferencesPromptDidChangeShowVerticalScrollerNotification");

// The Prompt settings pane: windowed or full-screen prompting, who follows whom on two displays,
// and what the window shows while prompting. Its notifications carry no object.
class OVPromptPreferencesViewController : public HVSettingsViewController {
public:
    static PlistDictionary initialDefaultsDictionary();

    explicit OVPromptPreferencesViewController(QWidget* parent = nullptr,
                                               HVSettingsController* settingsController = nullptr);

    QRadioButton* operatorPromptsWindowModeRadio() const { return m_windowModeRadio; }
    QRadioButton* operatorPromptsFullScreenRadio() const { return m_fullScreenRadio; }
    QRadioButton* dualScreenTalentMatchesOperatorRadio() const { return m_talentMatchesRadio; }
    QRadioButton* dualScreenOperatorMatchesTalentRadio() const { return m_operatorMatchesRadio; }
    QToolButton* operatorPromptsWindowModeOptionsPopUpButton() const { return m_optionsButton; }
    QAction* maximizeWindowSizeMenuItem() const { return m_maximizeItem; }
    QAction* alwaysCoverTheDesktopMenuItem() const { return m_alwaysCoverItem; }
    QComboBox* toolbarStateControl() const { return m_toolbarControl; }
    QCheckBox* showPrompterScrollbarButton() const { return m_scrollbarButton; }

    void menuNeedsUpdate();
    void operatorPromptScreenAction(QRadioButton* sender);
    void dualScreenScrollPositionAction(QRadioButton* sender);
    void maximizeWindowSizeAction();
    void toolbarAction();
    void scrollBarAction();

    void defaultsDidReset() override;

private:
    void _updateRadioButtons();
    void fixRadioButtons(QRadioButton* sender);

    QRadioButton* m_windowModeRadio = nullptr;
    QRadioButton* m_fullScreenRadio = nullptr;
    QRadioButton* m_talentMatchesRadio = nullptr;
    QRadioButton* m_operatorMatchesRadio = nullptr;
    QToolButton* m_optionsButton = nullptr;
    QMenu* m_optionsMenu = nullptr;
    QAction* m_maximizeItem = nullptr;
    QAction* m_alwaysCoverItem = nullptr;
    QComboBox* m_toolbarControl = nullptr;
    QCheckBox* m_scrollbarButton = nullptr;
};
