#pragma once

#include "output/OVBoxView.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/PlistValue.h"
#include "platform/foundation/Rect.h"
#include "platform/hvkit/HVInitialDefaultsProvider.h"
#include "prompter_view/OVTimeBarActionResponder.h"
#include "text/OVColorPanelAccessoryViewProtocol.h"

#include <QString>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class OVCore;
class OVPreviewDisplayOptionsView;
struct OVDisplayMode;
class QLabel;
class QMenu;
class QPushButton;
class QStackedWidget;
class QToolButton;
class OVPrompterView;
class OVTalentWindowController;
class QCheckBox;
class QColor;
class QColorDialog;
class QFont;
class QFontDialog;
class QComboBox;
class QDoubleSpinBox;
class QSlider;
class QWidget;
class View;

inline const QString OVPreviewPanelDidChangeTextMagnificationFactorNotification =
    QStringLiteral("OVPreviewPanelDidChangeTextMagnificationFactorNotification");
inline const QString OVPreviewPanelDidChangeInvertColorsNotification =
    QStringLiteral("OVPreviewPanelDidChangeInvertColorsNotification");
inline const QString HVWindowShouldCloseByUserActionNotification =
    QStringLiteral("HVWindowShouldCloseByUserActionNotification");

// The floating panel on the operator screen. It stays out of the way of the document window: showing
// or clicking it never takes the keyboard or the main role, since its controls work with the mouse; it
// becomes key only while it styles a time bar. Time bars find it as the one that styles them.
class OVPreviewPanel : public Window,
                       public OVTimeBarActionResponder,
                       public OVColorPanelAccessoryViewProtocol {
public:
    explicit OVPreviewPanel(const Rect& frame, OVTimeBarActionResponder* timeBarResponder = nullptr);
    ~OVPreviewPanel() override;
    int colorPanelOption() const { return m_colorPanelOption; }
    void setColorPanelOption(int option) { m_colorPanelOption = option; }
    // The colour panel: the text option while a time bar waits for its colour, none otherwise; the
    // panel's colour goes to the controller, and only while it takes one.
    unsigned supportedColorPanelOptionMask() const override
    {
        return unsigned(std::max(0, m_colorPanelOption));
    }
    void resetColorForColorPanelOption(unsigned) override {}
    using ColorHandler = std::function<bool(const QColor& color)>;
    void setColorHandler(std::function<bool()> takesColor, ColorHandler handler);
    bool respondsToAction(const QString& action) const override;
    bool performAction(const QString& action, const QVariant& sender) override;
    // A close by the user is announced, so the panel is not reopened at the next start.
    void performClose() override;
    bool canBecomeMainWindow() const override { return false; }
    void prepareForTimebar(OVTimeBar* timeBar, int action,
                           const AttributeDictionary& currentAttributes) override;

private:
    class CloseWatcher;
    int m_colorPanelOption = 0;
    std::function<bool()> m_takesColor;
    ColorHandler m_colorHandler;
    OVTimeBarActionResponder* m_timeBarResponder = nullptr;
    std::unique_ptr<CloseWatcher> m_closeWatcher;
};

// The preview panel's controller: a live reduced copy of the talent output and the output settings.
// Each setting is kept here, written to user defaults and pushed to the talent window controller,
// which this controller creates (the program's shared one, or the one a test hands in).
class OVPreviewWindowController : public HVInitialDefaultsProvider, public OVTimeBarActionResponder {
public:
    static constexpr double kMinimumMagnification = 1.0;
    static constexpr double kMaximumMagnification = 4.0;
    static constexpr double kMaximumMarginFactor = 0.45;
    static constexpr double kMarginEpsilon = 0.000000001;
    static constexpr double kScreenOrInsetChangeDelay = 0.1;
    static constexpr double kFallbackShowDelay = 0.25;
    // How long the status area takes to swap its page and the panel to change its height.
    static constexpr double kDisplayOptionsAnimationDuration = 0.2;
    // The content border shown while the wheel moves a margin slider stays this long after the last
    // notch; the margin itself is applied then.
    static constexpr double kContentBorderScrollDuration = 0.2;
    // Flips of the output hold the panel's input back for their animation plus this.
    static constexpr double kFlipEventBlockPadding = 0.2;
    // Flips are drawing transforms applied at once: they have no animation of their own.
    static constexpr double kViewFlipAnimationDuration = 0.0;
    // Where the panel goes when no position was saved: this far below the top of the operator
    // screen's visible area, at its right edge; on the very first launch at the very top.
    static constexpr double kDefaultTopInset = 40;
    static constexpr double kDefaultRightInset = 20;
    static inline const QString kHelpAnchor = QStringLiteral("PreviewAnchor");

    static PlistDictionary initialDefaultsDictionary();

    // The controller the program made, or null before the preview was first shown or toggled.
    static OVPreviewWindowController* openPreviewWindowController();
    // Made on first use with the shared core and the shared talent window controller.
    static OVPreviewWindowController& sharedPreviewWindowController();
    // A later start of the program in a process that made the panel already puts it where a new
    // process would: at the top on the very first launch, otherwise where it was left.
    void placePanelForStart();
    static void setShowPreviewWindowOnStartup(bool flag, const OVCore& core);

    // Tests bring their own core and talent controller.
    OVPreviewWindowController(OVCore& core, OVTalentWindowController& talent);
    ~OVPreviewWindowController() override;
    OVPreviewWindowController(const OVPreviewWindowController&) = delete;
    OVPreviewWindowController& operator=(const OVPreviewWindowController&) = delete;

    OVPreviewPanel* window() const { return m_panel.get(); }
    OVPrompterView* prompterView() const { return m_prompterView; }
    OVBoxView* centeringPrompterBox() const { return m_box; }
    OVTalentWindowController& talentWindowController() const { return m_talent; }
    // The settings area, whose controls mirror the properties.
    QWidget* controlsWidget() const { return m_controls; }
    QWidget* contentSection() const { return m_contentSection; }

    void showWindow();
    void toggleWindow();

    // Settings.
    double contentTextMagnificationFactor() const { return m_magnification; }
    void setContentTextMagnificationFactor(double factor);
    bool contentInvertTextAndBackgroundColor() const { return m_invert; }
    void setContentInvertTextAndBackgroundColor(bool flag);
    double horizontalMarginFactor() const { return m_horizontalMargin; }
    void setHorizontalMarginFactor(double factor);
    double verticalMarginFactor() const { return m_verticalMargin; }
    void setVerticalMarginFactor(double factor);
    unsigned marginAlignment() const { return m_marginAlignment; }
    void setMarginAlignment(unsigned alignment);
    int screenMode() const { return m_screenMode; }
    void setScreenMode(int mode);
    bool horizontallyFlipped() const { return m_horizontallyFlipped; }
    void setHorizontallyFlipped(bool flag);
    bool verticallyFlipped() const { return m_verticallyFlipped; }
    void setVerticallyFlipped(bool flag);
    bool useFocusArrow() const { return m_useFocusArrow; }
    void setUseFocusArrow(bool flag);
    bool useTimeBar() const { return m_useTimeBar; }
    void setUseTimeBar(bool flag);
    int lastTimeBarAction() const { return m_lastTimeBarAction; }
    void setLastTimeBarAction(int action);
    bool enableDualScreenControls() const { return m_enableDualScreenControls; }
    bool isMarginAlignmentEnabled() const;

    // The preview text view is laid out at the talent output size and drawn reduced by the
    // smallest whole number that fits it into the centring box.
    void updatePreviewBounds();
    void updatePreviewBoundsForSize(const Size& size);
    // The preview view's frame in a box of boxSize for an output of size (its bounds are the output
    // size); none when either has no area.
    static std::optional<Rect> previewFrameForSize(const Size& size, const Size& boxSize);
    void syncPreviewToFrontmostDocument();
    void updatePreviewWindowTitle();
    static QString previewTitleForTarget(unsigned target, bool maximizeWindowSize);

    void marginSliderInitialActionOccurred();
    void marginSliderFinalActionOccurred();

    // The wheel over the panel's sliders: each notch moves a setting by the slider's multiplier
    // (magnification 0.1, margins 0.01). A margin shows the content border while the wheel turns
    // and is applied once it rests.
    QSlider* magnificationSlider() const { return m_magnificationSlider; }
    QSlider* horizontalMarginSlider() const { return m_horizontalMarginSlider; }
    QSlider* verticalMarginSlider() const { return m_verticalMarginSlider; }
    double sliderScrollDeltaMultiplier(const QSlider* slider) const;
    bool sliderScrollDefersActions(const QSlider* slider) const;
    void sliderScrolled(QSlider* slider, double notches);

    // Time-bar styling: a time bar's "Set Time (Title) Font and Color" comes here. In Edit mode, with
    // the panel fully shown, it opens a font and a colour dialog of this controller on the bar's
    // current font and colour; their choices go to that bar until the panel stops being key or the
    // dialogs close.
    void prepareForTimebar(OVTimeBar* timeBar, int action,
                           const AttributeDictionary& currentAttributes) override;
    // Each answers whether the choice went to a time bar: only while a time-bar action is pending.
    bool changeFont(const QFont& font);
    bool changeColor(const QColor& color);
    QFontDialog* fontDialog() const { return m_fontDialog.get(); }
    // The program's colour panel's picker, once a time bar asked for it.
    QColorDialog* colorDialog() const;

    // The menu buttons beside the focus-arrow and time-bar switches, shown while the feature is on;
    // their menus are the talent output's own context menus for the arrow and the bar.
    QToolButton* focusArrowActionButton() const { return m_focusArrowButton; }
    QToolButton* timeBarActionButton() const { return m_timeBarButton; }
    void updateActionButtonMenu(QToolButton* button);
    void updateActionButtonVisibility(QToolButton* button);

    // Where Help leads: the local help page at this window's anchor.
    void helpButtonPressed();

    // Panel position: the top edge is saved on every move and put back at the next start.
    void savePanelTopEdge();
    void restorePanelTopEdge();

    void defaultsDidReset() override;

    // The display-status area below the settings: one page for the state of the second display.
    enum DisplayOptionsPage {
        kAllOptionsPage,
        kNotConnectedPage,
        kIsInUsePage,
        kIsMirroredPage,
        kResolutionMismatchPage,
        kUnknownIssuePage
    };
    static DisplayOptionsPage displayOptionsPageForStatus(int status);
    DisplayOptionsPage displayOptionsPage() const;
    void _updateDisplayOptionsView();
    QWidget* displayOptionsDisabledView() const;
    QPushButton* reconfigureDisplayButton() const { return m_reconfigureButton; }
    QToolButton* changeResolutionControl() const { return m_resolutionControl; }
    QMenu* changeResolutionsMenu() const { return m_resolutionsMenu.get(); }
    void updateChangeResolutionsMenu();
    std::vector<OVDisplayMode> resolutionCompatibleDisplayModes(bool matchSizeRatio) const;
    // The largest compatible mode, or with smallestFirst the smallest.
    void configureCompatibleDisplayMode(bool anySizeRatio, bool smallestFirst = false);
    void setTalentScreenDisplayMode(const OVDisplayMode& mode);
    void unmirrorTalentDisplay();
    // Starts the running desktop's display settings program; says so in an alert when there is none
    // or it cannot start.
    void openDisplaySystemSettings();
    static QStringList displaySettingsCommand();
    // The display settings program for an XDG_CURRENT_DESKTOP value, from a fixed list of the tools
    // desktops ship, if one is on the path: the desktop's own first, else one that serves any.
    static QStringList defaultDisplaySettingsCommand(const QString& currentDesktop);

private:
    // The panel's width, which its sections and the status area's pages are laid out to.
    static constexpr double kPanelWidth = 420;

    void buildPanel();
    void loadSettingsFromDefaults();
    void observeNotifications();
    void updateControls();
    void settingDidChange(const QString& key, const PlistValue& value);
    void updateTalentDisplayMode();
    void pushAllSettingsToTalentWindow();
    // The panel's height follows its contents with the top edge kept, over duration seconds.
    void resizePanelToContents(double duration = 0);
    void placePanelInitially();
    void contentAdjustmentsDidChange();
    void endTimeBarAction();
    void blockPanelEvents(double duration);
    bool contentAdjustmentsEnabled() const;
    void buildDisplayOptions(QWidget* parent);
    void _configureDisplayUIForStatus(int status);
    void showConfigurationFailure(const QString& title);

    OVCore& m_core;
    OVTalentWindowController& m_talent;
    std::unique_ptr<OVPreviewPanel> m_panel;
    OVBoxView* m_box = nullptr;
    OVPrompterView* m_prompterView = nullptr;

    QWidget* m_controls = nullptr;
    QWidget* m_contentSection = nullptr;
    QSlider* m_magnificationSlider = nullptr;
    QCheckBox* m_invertCheckBox = nullptr;
    QSlider* m_horizontalMarginSlider = nullptr;
    QSlider* m_verticalMarginSlider = nullptr;
    QLabel* m_magnificationField = nullptr;
    QLabel* m_horizontalMarginField = nullptr;
    QLabel* m_verticalMarginField = nullptr;
    QComboBox* m_alignmentPopUp = nullptr;
    QComboBox* m_screenModePopUp = nullptr;
    QCheckBox* m_horizontalFlipCheckBox = nullptr;
    QCheckBox* m_verticalFlipCheckBox = nullptr;
    QCheckBox* m_focusArrowCheckBox = nullptr;
    QCheckBox* m_timeBarCheckBox = nullptr;
    QWidget* m_dualScreenControls = nullptr;
    OVPreviewDisplayOptionsView* m_overlay = nullptr;
    QStackedWidget* m_displayOptions = nullptr;
    QPushButton* m_reconfigureButton = nullptr;
    QToolButton* m_resolutionControl = nullptr;
    QLabel* m_resolutionDescription = nullptr;
    std::unique_ptr<QMenu> m_resolutionsMenu;
    QToolButton* m_focusArrowButton = nullptr;
    QToolButton* m_timeBarButton = nullptr;
    QToolButton* m_helpButton = nullptr;
    // The talent output's context menus whose items the action buttons show; kept while shown.
    std::array<std::unique_ptr<QMenu>, 2> m_actionMenuSources;
    std::unique_ptr<QFontDialog> m_fontDialog;
    // Wheel notches on a margin slider wait here until the wheel rests.
    std::optional<double> m_pendingHorizontalMargin;
    std::optional<double> m_pendingVerticalMargin;
    quint64 m_contentAdjustmentsObserver = 0;
    std::vector<quint64> m_promptSettingsObservers;

    double m_magnification = 1.0;
    bool m_invert = false;
    double m_horizontalMargin = 0.0;
    double m_verticalMargin = 0.0;
    unsigned m_marginAlignment = 4;
    int m_screenMode = 0;
    bool m_horizontallyFlipped = false;
    bool m_verticallyFlipped = false;
    bool m_useFocusArrow = true;
    bool m_useTimeBar = false;
    int m_lastTimeBarAction = 0;
    bool m_enableDualScreenControls = false;

    bool m_initialOpen = false;
    bool m_suppressPanelFrameNotifications = false;
    unsigned m_panelResizeGeneration = 0;
    std::vector<NotificationObserver> m_observers;
};
