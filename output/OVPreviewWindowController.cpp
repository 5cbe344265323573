// The preview panel and its controller: the panel, the controller's set-up and the notifications it
// follows, showing the panel, and its title.
#include "output/OVPreviewWindowController.h"
#include "output/OVPreviewWindowControllerPrivate.h"

#include "document/OVDocumentController.h"
#include "output/OVBoxView.h"
#include "output/OVEnvironment.h"
#include "output/OVScreen.h"
#include "output/OVTalentWindowController.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/AppKitNotifications.h"
#include "platform/appkit/ColorPanel.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Screen.h"
#include "platform/appkit/View.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVHelp.h"
#include "platform/hvkit/HVLocalizedString.h"
#include "platform/hvkit/HVSettingsController.h"
#include "prompter_view/OVPrompterView.h"
#include "prompter_view/OVTimeBar.h"
#include "prompting/OVCore.h"
#include "prompting/OVCoreController.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFontDialog>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QLocale>
#include <QMenu>
#include <QSlider>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

using namespace OVPreviewWindowControllerPrivate;

namespace {

OVPreviewWindowController*& openInstance()
{
    static OVPreviewWindowController* instance = nullptr;
    return instance;
}

QString localized(const char* key, const char* english)
{
    return HVLocalizedString::localizedString(QString::fromUtf8(key), QString::fromUtf8(english));
}

// A slider that hands the wheel's notches to the panel's controller instead of stepping by itself.
class WheelSlider final : public QSlider {
public:
    explicit WheelSlider(std::function<void(QSlider*, double)> scrolled)
        : QSlider(Qt::Horizontal), m_scrolled(std::move(scrolled))
    {
    }

protected:
    void wheelEvent(QWheelEvent* event) override
    {
        const QPoint delta = event->angleDelta();
        // Horizontal wheels and tilting count too; the larger component wins.
        const double notches = (std::abs(delta.y()) >= std::abs(delta.x()) ? delta.y() : -delta.x()) / 120.0;
        if (notches == 0 || !isEnabled()) {
            event->ignore();
            return;
        }
        m_scrolled(this, notches);
        event->accept();
    }

private:
    std::function<void(QSlider*, double)> m_scrolled;
};

// A section's title, bold, with a rule from beside it to the panel's edge.
QWidget* sectionTitle(const QString& text)
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 6, 0, 0);
    layout->setSpacing(8);
    auto* title = new QLabel(text);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    layout->addWidget(title);
    auto* rule = new QFrame;
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    layout->addWidget(rule, 1);
    return row;
}

// The value beside a slider, in digits of one width so it does not jitter while the slider moves.
QLabel* valueField(const QString& widest)
{
    auto* field = new QLabel;
    QFont digits = field->font();
    digits.setStyleHint(QFont::Monospace);
    digits.setFamily(QStringLiteral("monospace"));
    field->setFont(digits);
    field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    field->setMinimumWidth(QFontMetrics(digits).horizontalAdvance(widest) + 2);
    return field;
}

QWidget* sliderRow(QSlider* slider, QLabel* field)
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(slider, 1);
    layout->addWidget(field);
    return row;
}

} // namespace

// The panel.

// The window manager's close (the title bar's button) is the user's close too. Only the window system
// sends it: the closes the program makes itself, quitting among them, are not the user's choice.
class OVPreviewPanel::CloseWatcher final : public QObject {
public:
    explicit CloseWatcher(OVPreviewPanel& panel) : m_panel(panel) {}
    ~CloseWatcher() override { RunLoop::main().cancelPreviousPerformRequests(this); }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Close && event->spontaneous())
            NotificationCenter::shared().postNotification(HVWindowShouldCloseByUserActionNotification, &m_panel);
        else if (event->type() == QEvent::Move)
            keepTitleBarOnScreen();
        else if (event->type() == QEvent::Show)
            // The window manager frames a window after it shows: its title bar is known a moment later.
            RunLoop::main().performAfterDelay(kFramingDelay, this, QStringLiteral("keepTitleBarOnScreen"),
                                              [this] { keepTitleBarOnScreen(); });
        return QObject::eventFilter(watched, event);
    }

private:
    static constexpr double kFramingDelay = 0.3;

    // The panel is placed by its content, which the window manager then frames: placed at the top of
    // the screen, its title bar would go above it, out of the operator's reach. Down it comes.
    void keepTitleBarOnScreen()
    {
        const Rect titleBar = m_panel.titleBarRect();
        const std::optional<Screen> screen = OVScreen::operatorScreen();
        if (titleBar.size.height <= 0 || !screen)
            return;
        const Rect area = screen->visibleFrame();
        const double over = titleBar.maxY() - area.maxY();
        // Only over the operator screen: a panel moved onto another monitor stays where it was put.
        if (over < 0.5 || titleBar.maxX() <= area.minX() || titleBar.minX() >= area.maxX())
            return;
        Rect frame = m_panel.frame();
        frame.origin.y -= std::ceil(over);
        m_panel.setFrame(frame);
    }

    OVPreviewPanel& m_panel;
};

OVPreviewPanel::~OVPreviewPanel() = default;

OVPreviewPanel::OVPreviewPanel(const Rect& frame, OVTimeBarActionResponder* timeBarResponder)
    : Window(frame, Titled | Closable | UtilityWindow), m_timeBarResponder(timeBarResponder)
{
    setLevel(kFloatingWindowLevel);
    setExcludedFromWindowsMenu(true);
    setBecomesKeyOnlyIfNeeded(true);
    m_closeWatcher = std::make_unique<CloseWatcher>(*this);
    hostWidget()->installEventFilter(m_closeWatcher.get());
}

void OVPreviewPanel::prepareForTimebar(OVTimeBar* timeBar, int action,
                                       const AttributeDictionary& currentAttributes)
{
    if (m_timeBarResponder)
        m_timeBarResponder->prepareForTimebar(timeBar, action, currentAttributes);
}

void OVPreviewPanel::setColorHandler(std::function<bool()> takesColor, ColorHandler handler)
{
    m_takesColor = std::move(takesColor);
    m_colorHandler = std::move(handler);
}

bool OVPreviewPanel::respondsToAction(const QString& action) const
{
    if (action == ColorPanel::kChangeColorAction)
        return m_takesColor && m_takesColor();
    return Window::respondsToAction(action);
}

bool OVPreviewPanel::performAction(const QString& action, const QVariant& sender)
{
    if (action == ColorPanel::kChangeColorAction) {
        if (!respondsToAction(action) || !ColorPanel::isSender(sender) || !m_colorHandler)
            return false;
        return m_colorHandler(ColorPanel::shared().color());
    }
    return Window::performAction(action, sender);
}

QColorDialog* OVPreviewWindowController::colorDialog() const
{
    return ColorPanel::sharedColorPanelExists() ? ColorPanel::shared().colorPicker() : nullptr;
}

void OVPreviewPanel::performClose()
{
    NotificationCenter::shared().postNotification(HVWindowShouldCloseByUserActionNotification, this);
    close();
}


// Class side.

PlistDictionary OVPreviewWindowController::initialDefaultsDictionary()
{
    PlistDictionary defaults;
    defaults.insert(kOpenOnStartupKey, true);
    // No real frame edge is this close to zero: the value says that no position was saved.
    defaults.insert(kTopFrameKey, std::numeric_limits<double>::min());
    defaults.insert(kFocusArrowKey, true);
    defaults.insert(kTimeBarKey, false);
    defaults.insert(kInvertKey, false);
    defaults.insert(kMagnificationKey, 1.0);
    defaults.insert(kHorizontalMarginKey, 0.0);
    defaults.insert(kVerticalMarginKey, 0.0);
    // The middle of the three-by-three grid: centred both ways.
    defaults.insert(kAlignmentKey, PlistValue::unsignedInteger(4));
    defaults.insert(kScreenModeKey, 0);
    defaults.insert(kHorizontalFlipKey, false);
    defaults.insert(kVerticalFlipKey, false);
    // The preview's blanking menu switches it; the core reads it on every mode change.
    defaults.insert(QStringLiteral("autoBlankToHideEdits"), false);
    return defaults;
}

OVPreviewWindowController* OVPreviewWindowController::openPreviewWindowController()
{
    return openInstance();
}

OVPreviewWindowController& OVPreviewWindowController::sharedPreviewWindowController()
{
    // Never freed, like the talent window controller it owns the settings for.
    static auto* instance = new OVPreviewWindowController(
        OVCore::sharedCore(), OVTalentWindowController::sharedTalentWindowController());
    return *instance;
}

void OVPreviewWindowController::setShowPreviewWindowOnStartup(bool flag, const OVCore& core)
{
    // Switching into or out of Prompt mode hides and shows the panel on its own account.
    if (core.isModeChanging())
        return;
    defaults().setBool(flag, kOpenOnStartupKey);
}

// Set-up.

OVPreviewWindowController::OVPreviewWindowController(OVCore& core, OVTalentWindowController& talent)
    : m_core(core), m_talent(talent)
{
    m_initialOpen = true;
    m_talent.disableAnimation();
    buildPanel();
    loadSettingsFromDefaults();
    updateControls();

    m_talent.setPreviewPrompterView(m_prompterView, m_box);
    updatePreviewBounds();
    m_core.setPreviewScrollView(m_prompterView->scrollView());

    observeNotifications();
    _updateDisplayOptionsView();
    updateTalentDisplayMode();
    pushAllSettingsToTalentWindow();
    placePanelInitially();
    restorePanelTopEdge();
    updatePreviewWindowTitle();
    m_prompterView->setStandbyViewVisible(m_core.isBlanking());

    // Before the talent output has a size, lay the preview out at the operator screen's, or at a
    // common one, and show it a moment later when the real size is likely known.
    const Size output = OVEnvironment::prompterOutputSize();
    double showDelay = 0;
    if (output.width <= 0 || output.height <= 0) {
        const std::optional<Screen> screen = Screen::mainScreen();
        Size fallback = screen ? screen->frame().size : Size{};
        if (fallback.width > 0 && fallback.height > 0)
            showDelay = kFallbackShowDelay;
        else
            fallback = {1280, 800};
        updatePreviewBoundsForSize(fallback);
    }
    m_prompterView->setHidden(true);
    RunLoop::main().performAfterDelay(showDelay, this, QStringLiteral("showPreviewPrompterView"),
                                      [this] { m_prompterView->setHidden(false); });

    m_talent.enableAnimation();
    m_contentAdjustmentsObserver =
        defaults().addObserver(QStringLiteral("enableTalentContentAdjustments"),
                               [this](const QString&) { contentAdjustmentsDidChange(); });
    HVSettingsController::shared().registerDefaultsProviderForResetAll(this);
    if (!openInstance())
        openInstance() = this;
    m_initialOpen = false;
}

OVPreviewWindowController::~OVPreviewWindowController()
{
    RunLoop::main().cancelPreviousPerformRequests(this);
    defaults().removeObserver(m_contentAdjustmentsObserver);
    for (const UserDefaults::ObserverToken observer : m_promptSettingsObservers)
        defaults().removeObserver(observer);
    if (m_lastTimeBarAction != 0)
        OVTimeBar::clearActionableTimeBar();
    m_fontDialog.reset();
    HVSettingsController::shared().unregisterDefaultsProviderForResetAll(this);
    m_observers.clear();
    if (m_core.previewScrollView() == m_prompterView->scrollView())
        m_core.setPreviewScrollView(nullptr);
    if (m_talent.previewPrompterView() == m_prompterView)
        m_talent.setPreviewPrompterView(nullptr);
    if (openInstance() == this)
        openInstance() = nullptr;
}

bool OVPreviewWindowController::contentAdjustmentsEnabled() const
{
    return defaults().boolForKey(QStringLiteral("enableTalentContentAdjustments"));
}

void OVPreviewWindowController::buildPanel()
{
    m_panel = std::make_unique<OVPreviewPanel>(Rect{{0, 0}, {kPanelWidth, 400}}, this);
    m_panel->setColorHandler([this] { return m_lastTimeBarAction != 0; },
                             [this](const QColor& color) { return changeColor(color); });
    m_panel->setTitle(previewTitleForTarget(OVEnvironment::prompterOutputTarget(), false));

    auto box = std::make_unique<OVBoxView>(Rect{{kBoxInset, 0}, {kPanelWidth - 2 * kBoxInset, kBoxHeight}});
    m_box = m_panel->contentView()->addSubview(std::move(box));
    auto prompter = std::make_unique<OVPrompterView>(Rect{{0, 0}, m_box->frame().size});
    m_prompterView = m_box->addSubview(std::move(prompter));
    m_prompterView->setUsesAnimation(false);

    // The settings are ordinary Qt controls below the preview.
    m_controls = new QWidget(m_panel->hostWidget());
    auto* layout = new QVBoxLayout(m_controls);
    layout->setContentsMargins(12, 6, 12, 12);

    auto* controlsForm = new QFormLayout;
    m_focusArrowCheckBox = new QCheckBox(localized("preview-focus-arrow", "Focus Arrow"));
    m_timeBarCheckBox = new QCheckBox(localized("preview-time-bar", "Time Bar"));
    auto actionButton = [this](const char* name, const QString& toolTip) {
        auto* button = new QToolButton;
        button->setObjectName(QString::fromLatin1(name));
        button->setArrowType(Qt::DownArrow);
        button->setAutoRaise(true);
        button->setToolTip(toolTip);
        button->setPopupMode(QToolButton::InstantPopup);
        auto* menu = new QMenu(button);
        button->setMenu(menu);
        QObject::connect(menu, &QMenu::aboutToShow, menu, [this, button] { updateActionButtonMenu(button); });
        return button;
    };
    m_focusArrowButton = actionButton("focusArrowActionButton",
                                      localized("preview-focus-arrow-settings", "Focus Arrow Settings"));
    m_timeBarButton = actionButton("timeBarActionButton", OVTimeBar::contextualMenuTitle());
    auto* featureRow = new QHBoxLayout;
    featureRow->addWidget(m_focusArrowCheckBox);
    featureRow->addWidget(m_focusArrowButton);
    featureRow->addSpacing(12);
    featureRow->addWidget(m_timeBarCheckBox);
    featureRow->addWidget(m_timeBarButton);
    featureRow->addStretch();
    controlsForm->addRow(featureRow);
    layout->addWidget(sectionTitle(localized("preview-section-controls", "Controls")));
    layout->addLayout(controlsForm);

    m_contentSection = new QWidget;
    auto* contentForm = new QFormLayout(m_contentSection);
    contentForm->setContentsMargins(0, 0, 0, 0);
    auto scrolled = [this](QSlider* slider, double notches) { sliderScrolled(slider, notches); };
    m_magnificationSlider = new WheelSlider(scrolled);
    m_magnificationSlider->setObjectName(QStringLiteral("magnificationSlider"));
    m_magnificationSlider->setRange(int(kMinimumMagnification * kMagnificationSteps),
                                    int(kMaximumMagnification * kMagnificationSteps));
    m_magnificationField = valueField(QLocale().toString(kMaximumMagnification, 'f', 1) + u'\u00D7');
    m_magnificationField->setObjectName(QStringLiteral("magnificationField"));
    contentForm->addRow(sectionTitle(localized("preview-section-content", "Content")));
    contentForm->addRow(localized("preview-magnification", "Magnification:"),
                        sliderRow(m_magnificationSlider, m_magnificationField));
    m_invertCheckBox = new QCheckBox(localized("preview-invert-colors", "Invert Text and Background"));
    contentForm->addRow(m_invertCheckBox);
    layout->addWidget(m_contentSection);

    auto* marginForm = new QFormLayout;
    m_horizontalMarginSlider = new WheelSlider(scrolled);
    m_horizontalMarginSlider->setObjectName(QStringLiteral("horizontalMarginSlider"));
    m_horizontalMarginSlider->setRange(0, int(kMaximumMarginFactor * kMarginSteps));
    m_verticalMarginSlider = new WheelSlider(scrolled);
    m_verticalMarginSlider->setObjectName(QStringLiteral("verticalMarginSlider"));
    m_verticalMarginSlider->setRange(0, int(kMaximumMarginFactor * kMarginSteps));
    m_alignmentPopUp = new QComboBox;
    const char* alignments[][2] = {
        {"preview-alignment-top-left", "Top Left"},
        {"preview-alignment-top", "Top"},
        {"preview-alignment-top-right", "Top Right"},
        {"preview-alignment-left", "Left"},
        {"preview-alignment-center", "Center"},
        {"preview-alignment-right", "Right"},
        {"preview-alignment-bottom-left", "Bottom Left"},
        {"preview-alignment-bottom", "Bottom"},
        {"preview-alignment-bottom-right", "Bottom Right"},
    };
    for (int tag = 0; tag < 9; ++tag)
        m_alignmentPopUp->addItem(localized(alignments[tag][0], alignments[tag][1]), tag);
    const QString widestPercentage = QLocale().toString(100) + QStringLiteral(" %");
    m_horizontalMarginField = valueField(widestPercentage);
    m_horizontalMarginField->setObjectName(QStringLiteral("horizontalMarginField"));
    m_verticalMarginField = valueField(widestPercentage);
    m_verticalMarginField->setObjectName(QStringLiteral("verticalMarginField"));
    marginForm->addRow(sectionTitle(localized("preview-section-margins", "Margins")));
    marginForm->addRow(localized("preview-horizontal-margin", "Horizontal Margin:"),
                       sliderRow(m_horizontalMarginSlider, m_horizontalMarginField));
    marginForm->addRow(localized("preview-vertical-margin", "Vertical Margin:"),
                       sliderRow(m_verticalMarginSlider, m_verticalMarginField));
    marginForm->addRow(localized("preview-margin-alignment", "Alignment:"), m_alignmentPopUp);
    layout->addLayout(marginForm);

    m_dualScreenControls = new QWidget;
    auto* displayForm = new QFormLayout(m_dualScreenControls);
    displayForm->setContentsMargins(0, 0, 0, 0);
    m_screenModePopUp = new QComboBox;
    m_screenModePopUp->addItem(localized("preview-screen-mode-single", "Single Screen"), 0);
    m_screenModePopUp->addItem(localized("preview-title-second-screen", "Second Screen"), 1);
    displayForm->addRow(localized("preview-screen-mode", "Output:"), m_screenModePopUp);
    m_horizontalFlipCheckBox = new QCheckBox(localized("preview-flip-horizontal", "Flip Horizontally"));
    m_verticalFlipCheckBox = new QCheckBox(localized("preview-flip-vertical", "Flip Vertically"));
    auto* flipRow = new QHBoxLayout;
    flipRow->addWidget(m_horizontalFlipCheckBox);
    flipRow->addWidget(m_verticalFlipCheckBox);
    displayForm->addRow(flipRow);
    layout->addWidget(sectionTitle(localized("preview-section-displays", "Displays")));
    layout->addWidget(m_dualScreenControls);
    buildDisplayOptions(m_controls);
    layout->addWidget(m_displayOptions);
    m_helpButton = new QToolButton;
    m_helpButton->setObjectName(QStringLiteral("helpButton"));
    m_helpButton->setText(QStringLiteral("?"));
    m_helpButton->setToolTip(localized("preview-help", "Help"));
    QObject::connect(m_helpButton, &QToolButton::clicked, m_helpButton, [this] { helpButtonPressed(); });
    auto* helpRow = new QHBoxLayout;
    helpRow->addStretch();
    helpRow->addWidget(m_helpButton);
    layout->addLayout(helpRow);

    QObject::connect(m_focusArrowCheckBox, &QCheckBox::toggled, [this](bool on) { setUseFocusArrow(on); });
    QObject::connect(m_timeBarCheckBox, &QCheckBox::toggled, [this](bool on) { setUseTimeBar(on); });
    QObject::connect(m_invertCheckBox, &QCheckBox::toggled,
                     [this](bool on) { setContentInvertTextAndBackgroundColor(on); });
    QObject::connect(m_magnificationSlider, &QSlider::valueChanged, [this](int value) {
        setContentTextMagnificationFactor(double(value) / kMagnificationSteps);
    });
    QObject::connect(m_horizontalMarginSlider, &QSlider::valueChanged,
                     [this](int value) { setHorizontalMarginFactor(double(value) / kMarginSteps); });
    QObject::connect(m_verticalMarginSlider, &QSlider::valueChanged,
                     [this](int value) { setVerticalMarginFactor(double(value) / kMarginSteps); });
    for (QSlider* slider : {m_horizontalMarginSlider, m_verticalMarginSlider}) {
        QObject::connect(slider, &QSlider::sliderPressed, [this] { marginSliderInitialActionOccurred(); });
        QObject::connect(slider, &QSlider::sliderReleased, [this] { marginSliderFinalActionOccurred(); });
    }
    QObject::connect(m_alignmentPopUp, &QComboBox::activated, [this](int index) {
        setMarginAlignment(unsigned(m_alignmentPopUp->itemData(index).toInt()));
    });
    QObject::connect(m_screenModePopUp, &QComboBox::activated,
                     [this](int index) { setScreenMode(m_screenModePopUp->itemData(index).toInt()); });
    QObject::connect(m_horizontalFlipCheckBox, &QCheckBox::toggled,
                     [this](bool on) { setHorizontallyFlipped(on); });
    QObject::connect(m_verticalFlipCheckBox, &QCheckBox::toggled,
                     [this](bool on) { setVerticallyFlipped(on); });

    // Without content adjustments the section goes, and the panel is shorter by its height.
    m_contentSection->setVisible(contentAdjustmentsEnabled());
    resizePanelToContents();
}

void OVPreviewWindowController::contentAdjustmentsDidChange()
{
    const bool enabled = contentAdjustmentsEnabled();
    if (m_contentSection->isHidden() != enabled)
        return;
    m_contentSection->setVisible(enabled);
    // Off, the output shows the script as it is; on again, as the user last set it. The user's values
    // stay in the settings meanwhile.
    m_invert = enabled && defaults().boolForKey(kInvertKey);
    m_magnification = enabled ? clampedMagnification(defaults().doubleForKey(kMagnificationKey)) : 1.0;
    pushAllSettingsToTalentWindow();
    updateControls();
    NotificationCenter::shared().postNotification(OVPreviewPrompterViewDidChangeNotification, this);
    NotificationCenter::shared().postNotification(OVPreviewPanelDidChangeTextMagnificationFactorNotification,
                                                  nullptr, {{kMagnificationKey, m_magnification}});
    NotificationCenter::shared().postNotification(OVPreviewPanelDidChangeInvertColorsNotification, nullptr,
                                                  {{kInvertKey, m_invert}});
    resizePanelToContents(m_initialOpen ? 0 : kDisplayOptionsAnimationDuration);
}

void OVPreviewWindowController::loadSettingsFromDefaults()
{
    m_horizontalMargin = clampedMargin(defaults().doubleForKey(kHorizontalMarginKey));
    m_verticalMargin = clampedMargin(defaults().doubleForKey(kVerticalMarginKey));
    const qint64 alignment = defaults().integerForKey(kAlignmentKey);
    m_marginAlignment = alignment >= 0 && alignment <= 8 ? unsigned(alignment) : 4u;
    if (contentAdjustmentsEnabled()) {
        m_invert = defaults().boolForKey(kInvertKey);
        m_magnification = clampedMagnification(defaults().doubleForKey(kMagnificationKey));
    } else {
        m_invert = false;
        m_magnification = 1.0;
    }
    m_screenMode = int(defaults().integerForKey(kScreenModeKey));
    if (m_screenMode != 0 && !m_talent.canDisplayTalentWindow())
        m_screenMode = 0;
    m_horizontallyFlipped = defaults().boolForKey(kHorizontalFlipKey);
    m_verticallyFlipped = defaults().boolForKey(kVerticalFlipKey);
    m_useFocusArrow = defaults().boolForKey(kFocusArrowKey);
    m_useTimeBar = defaults().boolForKey(kTimeBarKey);
    m_prompterView->setMarginAlignment(m_marginAlignment);
    if (OVPrompterView* talent = m_talent.prompterView())
        talent->setMarginAlignment(m_marginAlignment);
}

void OVPreviewWindowController::observeNotifications()
{
    NotificationCenter& center = NotificationCenter::shared();
    m_observers.emplace_back(center, OVCoreDidChangeDualScreenConfigurationNotification, nullptr,
                             [this](const Notification&) {
                                 _updateDisplayOptionsView();
                                 m_talent.disableAnimation();
                                 pushAllSettingsToTalentWindow();
                                 m_talent.enableAnimation();
                             });
    m_observers.emplace_back(
        center, OVCoreBlankingDidChangeNotification, nullptr,
        [this](const Notification&) { m_prompterView->setStandbyViewVisible(m_core.isBlanking()); });
    m_observers.emplace_back(center, OVTalentWindowControllerDidChangeScreenOrInsetNotification, &m_talent,
                             [this](const Notification&) {
                                 if (!m_core.isModeEdit())
                                     return;
                                 RunLoop::main().cancelPreviousPerformRequests(
                                     this, QStringLiteral("updatePreviewBounds"));
                                 RunLoop::main().performAfterDelay(kScreenOrInsetChangeDelay, this,
                                                                   QStringLiteral("updatePreviewBounds"),
                                                                   [this] { updatePreviewBounds(); });
                             });
    m_observers.emplace_back(
        center, OVDocumentControllerDidChangeFrontMostDocumentNotification, nullptr,
        [this](const Notification&) {
            if (!m_core.isModeEdit())
                return;
            updatePreviewBounds();
            updatePreviewWindowTitle();
            // A closing window is still the core's while it goes: the window
            // that becomes main next gives the output its size.
            RunLoop::main().cancelPreviousPerformRequests(this, QStringLiteral("updatePreviewBounds"));
            RunLoop::main().performAfterDelay(0, this, QStringLiteral("updatePreviewBounds"), [this] {
                if (m_core.isModeEdit())
                    updatePreviewBounds();
            });
        });
    m_observers.emplace_back(center, HVWindowShouldCloseByUserActionNotification, m_panel.get(),
                             [this](const Notification&) { setShowPreviewWindowOnStartup(false, m_core); });
    for (const QString& name : {kWindowDidMoveNotification, kWindowDidResizeNotification})
        m_observers.emplace_back(center, name, m_panel.get(),
                                 [this](const Notification&) { savePanelTopEdge(); });
    // Coming back from another program, the displays may have changed meanwhile.
    m_observers.emplace_back(center, kApplicationDidBecomeActiveNotification, nullptr,
                             [this](const Notification&) { _updateDisplayOptionsView(); });
    // The Prompt settings that change the output's size or kind.
    for (const char* key : {"showToolbarInPromptMode", "showScrollBarInPromptMode", "useWindowedPrompting",
                            "maximizeWindowSize"})
        m_promptSettingsObservers.push_back(
            defaults().addObserver(QString::fromLatin1(key), [this](const QString&) {
                if (!m_core.isModeEdit())
                    return;
                _updateDisplayOptionsView();
                updatePreviewBounds();
                updatePreviewWindowTitle();
            }));
    m_observers.emplace_back(center, kWindowDidResignKeyNotification, m_panel.get(),
                             [this](const Notification&) { endTimeBarAction(); });
    // The end of the user's resizing of the window prompted from changes the output's size.
    m_observers.emplace_back(
        center, kWindowDidEndLiveResizeNotification, nullptr, [this](const Notification& n) {
            OVCoreController* controller = m_core.controller();
            if (!m_core.isModeEdit() || !controller || n.object != controller->controllerWindow())
                return;
            updatePreviewBounds();
        });
}

// Showing.

void OVPreviewWindowController::showWindow()
{
    setShowPreviewWindowOnStartup(true, m_core);
    m_panel->orderFront();
}

void OVPreviewWindowController::toggleWindow()
{
    if (m_panel->isVisible()) {
        m_panel->orderOut();
        setShowPreviewWindowOnStartup(false, m_core);
    } else {
        showWindow();
    }
}

// Help.

void OVPreviewWindowController::helpButtonPressed()
{
    HVHelp::openLocalHelp(kHelpAnchor);
}

// Title.

QString OVPreviewWindowController::previewTitleForTarget(unsigned target, bool maximizeWindowSize)
{
    switch (target) {
    case OVEnvironment::kTalentWindow:
        return localized("preview-title-parens-second-screen", "Preview (Second Screen)");
    case OVEnvironment::kOperatorFullScreen:
        return localized("preview-title-parens-full-screen", "Preview (Full-Screen)");
    case OVEnvironment::kWindowed:
        return maximizeWindowSize ? localized("preview-title-parens-zoomed-window", "Preview (Zoomed Window)")
                                  : localized("preview-title-parens-window", "Preview (Window)");
    default:
        return localized("preview-title-preview", "Preview");
    }
}

void OVPreviewWindowController::updatePreviewWindowTitle()
{
    const QString title = previewTitleForTarget(OVEnvironment::prompterOutputTarget(),
                                                defaults().boolForKey(QStringLiteral("maximizeWindowSize")));
    if (m_panel->title() != title)
        m_panel->setTitle(title);
}
