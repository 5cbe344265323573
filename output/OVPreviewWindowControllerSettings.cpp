// The preview panel's output settings: each one's setter, which writes it to the user defaults and
// passes them all to the talent window, the controls that mirror them, the wheel over the sliders,
// and the drags of the margin sliders.
#include "output/OVPreviewWindowController.h"
#include "output/OVPreviewWindowControllerPrivate.h"

#include "output/OVTalentWindowController.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/RunLoop.h"
#include "platform/foundation/Clock.h"
#include "platform/hvkit/HVEventBlocker.h"
#include "prompter_view/OVFocusArrowView.h"
#include "prompter_view/OVPrompterView.h"
#include "prompter_view/OVTimeBar.h"
#include "prompting/OVCore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

using namespace OVPreviewWindowControllerPrivate;

// Settings. Each goes the same way: display mode, all settings to the talent, user defaults, news.

void OVPreviewWindowController::settingDidChange(const QString& key, const PlistValue& value)
{
    updateTalentDisplayMode();
    pushAllSettingsToTalentWindow();
    defaults().setObject(value, key);
    updateControls();
    NotificationCenter::shared().postNotification(OVPreviewPrompterViewDidChangeNotification, this);
}

void OVPreviewWindowController::setContentTextMagnificationFactor(double factor)
{
    factor = clampedMagnification(factor);
    if (factor == m_magnification)
        return;
    m_magnification = factor;
    settingDidChange(kMagnificationKey, factor);
    NotificationCenter::shared().postNotification(OVPreviewPanelDidChangeTextMagnificationFactorNotification,
                                                  nullptr, {{kMagnificationKey, factor}});
}

void OVPreviewWindowController::setContentInvertTextAndBackgroundColor(bool flag)
{
    if (flag == m_invert)
        return;
    m_invert = flag;
    settingDidChange(kInvertKey, flag);
    NotificationCenter::shared().postNotification(OVPreviewPanelDidChangeInvertColorsNotification, nullptr,
                                                  {{kInvertKey, flag}});
}

void OVPreviewWindowController::setHorizontalMarginFactor(double factor)
{
    factor = clampedMargin(factor);
    if (factor == m_horizontalMargin)
        return;
    m_horizontalMargin = factor;
    settingDidChange(kHorizontalMarginKey, factor);
}

void OVPreviewWindowController::setVerticalMarginFactor(double factor)
{
    factor = clampedMargin(factor);
    if (factor == m_verticalMargin)
        return;
    m_verticalMargin = factor;
    settingDidChange(kVerticalMarginKey, factor);
}

bool OVPreviewWindowController::isMarginAlignmentEnabled() const
{
    return std::abs(m_horizontalMargin) >= kMarginEpsilon || std::abs(m_verticalMargin) >= kMarginEpsilon;
}

void OVPreviewWindowController::setMarginAlignment(unsigned alignment)
{
    if (alignment > 8 || alignment == m_marginAlignment)
        return;
    m_marginAlignment = alignment;
    defaults().setInteger(alignment, kAlignmentKey);
    updateControls();
    m_prompterView->setMarginAlignment(alignment);
    if (OVPrompterView* talent = m_talent.prompterView())
        talent->setMarginAlignment(alignment);
    NotificationCenter::shared().postNotification(OVPreviewPrompterViewDidChangeNotification, this);
}

void OVPreviewWindowController::setScreenMode(int mode)
{
    if (mode == m_screenMode)
        return;
    m_screenMode = mode;
    // The second display cannot be chosen while it is not usable: the choice snaps back on the next
    // pass, and nothing is written.
    if (mode != 0 && !m_talent.canDisplayTalentWindow()) {
        updateControls();
        RunLoop::main().performAfterDelay(0, this, QStringLiteral("refuseScreenMode"), [this] {
            m_screenMode = 0;
            updateControls();
            updatePreviewBounds();
            updatePreviewWindowTitle();
        });
        return;
    }
    if (mode == 1)
        RunLoop::main().performAfterDelay(0, this,
                                          QStringLiteral("synchronizeTalentLocationToPreviewLocation"),
                                          [this] { m_core.synchronizeTalentLocationToPreviewLocation(); });
    settingDidChange(kScreenModeKey, mode);
    NotificationCenter::shared().postNotification(OVPreviewScreenModeDidChangeNotification, nullptr,
                                                  {{QStringLiteral("ScreenMode"), mode}});
    updatePreviewBounds();
    updatePreviewWindowTitle();
}

void OVPreviewWindowController::blockPanelEvents(double duration)
{
    if (duration > 0 && m_panel->hostWidget())
        HVEventBlocker::sharedBlocker().blockWindow(m_panel->hostWidget(), 0, duration);
}

void OVPreviewWindowController::setHorizontallyFlipped(bool flag)
{
    if (flag == m_horizontallyFlipped)
        return;
    blockPanelEvents(kViewFlipAnimationDuration + kFlipEventBlockPadding);
    m_horizontallyFlipped = flag;
    settingDidChange(kHorizontalFlipKey, flag);
}

void OVPreviewWindowController::setVerticallyFlipped(bool flag)
{
    if (flag == m_verticallyFlipped)
        return;
    blockPanelEvents(kViewFlipAnimationDuration + kFlipEventBlockPadding);
    m_verticallyFlipped = flag;
    settingDidChange(kVerticalFlipKey, flag);
}

void OVPreviewWindowController::setUseFocusArrow(bool flag)
{
    if (flag == m_useFocusArrow)
        return;
    m_useFocusArrow = flag;
    if (OVPrompterView* talent = m_talent.prompterView(); talent && talent->blockEventsDuringAnimation())
        blockPanelEvents(talent->animationDuration());
    updateActionButtonVisibility(m_focusArrowButton);
    settingDidChange(kFocusArrowKey, flag);
}

void OVPreviewWindowController::setUseTimeBar(bool flag)
{
    if (flag == m_useTimeBar)
        return;
    m_useTimeBar = flag;
    if (OVPrompterView* talent = m_talent.prompterView(); talent && talent->blockEventsDuringAnimation())
        blockPanelEvents(talent->animationDuration());
    updateActionButtonVisibility(m_timeBarButton);
    settingDidChange(kTimeBarKey, flag);
}

void OVPreviewWindowController::setLastTimeBarAction(int action)
{
    m_lastTimeBarAction = action;
    m_panel->setColorPanelOption(action != 0 ? 1 : 0);
}

void OVPreviewWindowController::updateActionButtonVisibility(QToolButton* button)
{
    if (button == m_focusArrowButton)
        button->setVisible(m_useFocusArrow);
    else if (button == m_timeBarButton)
        button->setVisible(m_useTimeBar);
    else
        qWarning().noquote() << QStringLiteral("%1 does not support %2. fix this.")
                                    .arg(QLatin1String(Q_FUNC_INFO),
                                         button ? button->objectName() : QStringLiteral("(null)"));
}

void OVPreviewWindowController::updateActionButtonMenu(QToolButton* button)
{
    QMenu* working = button ? button->menu() : nullptr;
    OVPrompterView* talent = m_talent.prompterView();
    Event event;
    event.type = Event::Type::RightMouseDown;
    event.timestamp = Clock::shared().now();
    std::unique_ptr<QMenu> source;
    const size_t index = button == m_focusArrowButton ? 0 : 1;
    if (talent && button == m_focusArrowButton)
        source = talent->focusArrowView()->menuForEvent(event);
    else if (talent && button == m_timeBarButton)
        source = talent->timeBar()->menuForEvent(event);
    if (!working || !source) {
        qWarning().noquote() << QStringLiteral("%1 workingMenu and menuToCopyFrom are nil. fix this.")
                                    .arg(QLatin1String(Q_FUNC_INFO));
        return;
    }
    // The items stay the source menu's, which stays alive as long as they are shown.
    working->clear();
    for (QAction* action : source->actions())
        working->addAction(action);
    m_actionMenuSources[index] = std::move(source);
}

// Wheel.

double OVPreviewWindowController::sliderScrollDeltaMultiplier(const QSlider* slider) const
{
    if (slider == m_magnificationSlider)
        return 0.1;
    if (slider == m_horizontalMarginSlider || slider == m_verticalMarginSlider)
        return 0.01;
    qWarning().noquote() << QStringLiteral("%1 Unaccounted slider %2")
                                .arg(QLatin1String(Q_FUNC_INFO),
                                     slider ? slider->objectName() : QStringLiteral("(null)"));
    return 0.1;
}

bool OVPreviewWindowController::sliderScrollDefersActions(const QSlider* slider) const
{
    return slider == m_horizontalMarginSlider || slider == m_verticalMarginSlider;
}

void OVPreviewWindowController::sliderScrolled(QSlider* slider, double notches)
{
    const double delta = notches * sliderScrollDeltaMultiplier(slider);
    if (slider == m_magnificationSlider) {
        setContentTextMagnificationFactor(m_magnification + delta);
        return;
    }
    if (!sliderScrollDefersActions(slider))
        return;
    std::optional<double>& pending =
        slider == m_horizontalMarginSlider ? m_pendingHorizontalMargin : m_pendingVerticalMargin;
    const double current = slider == m_horizontalMarginSlider ? m_horizontalMargin : m_verticalMargin;
    pending = clampedMargin(pending.value_or(current) + delta);
    {
        const QSignalBlocker blocker(slider);
        slider->setValue(int(std::lround(*pending * kMarginSteps)));
    }
    // The border shows where the text will go while the wheel turns; the margin follows once it rests.
    m_talent.updateHasContentBorder(true);
    RunLoop::main().cancelPreviousPerformRequests(this, QStringLiteral("endMarginScroll"));
    RunLoop::main().performAfterDelay(
        kContentBorderScrollDuration, this, QStringLiteral("endMarginScroll"), [this] {
            if (const std::optional<double> value = std::exchange(m_pendingHorizontalMargin, std::nullopt))
                setHorizontalMarginFactor(*value);
            if (const std::optional<double> value = std::exchange(m_pendingVerticalMargin, std::nullopt))
                setVerticalMarginFactor(*value);
            m_talent.restoreDefaultHasContentBorder();
        });
}

void OVPreviewWindowController::updateTalentDisplayMode()
{
    if (m_screenMode == 0)
        m_talent.showTalentWindow(false);
    else if (m_screenMode == 1)
        m_talent.showTalentWindow(true);
}

void OVPreviewWindowController::pushAllSettingsToTalentWindow()
{
    m_talent.updateContentTextMagnificationFactor(m_magnification);
    m_talent.updateContentInvertTextAndBackgroundColor(m_invert);
    m_talent.updateHorizontalMarginIndentFactor(m_horizontalMargin);
    m_talent.updateVerticalMarginIndentFactor(m_verticalMargin);
    m_talent.updateFocusArrowVisible(m_useFocusArrow);
    m_talent.updateTimeBarVisible(m_useTimeBar);
    if (!m_initialOpen) {
        m_talent.updateHorizontallyFlipped(m_horizontallyFlipped);
        m_talent.updateVerticallyFlipped(m_verticallyFlipped);
        return;
    }
    // While the panel is being set up, the flips come a pass later, without animation.
    RunLoop::main().performAfterDelay(0, this, QStringLiteral("applyFlips"), [this] {
        m_talent.disableAnimation();
        m_talent.updateHorizontallyFlipped(m_horizontallyFlipped);
        m_talent.updateVerticallyFlipped(m_verticallyFlipped);
        m_talent.enableAnimation();
    });
}

void OVPreviewWindowController::updateControls()
{
    const QSignalBlocker b1(m_magnificationSlider), b2(m_invertCheckBox), b3(m_horizontalMarginSlider),
        b4(m_verticalMarginSlider), b5(m_alignmentPopUp), b6(m_screenModePopUp), b7(m_horizontalFlipCheckBox),
        b8(m_verticalFlipCheckBox), b9(m_focusArrowCheckBox), b10(m_timeBarCheckBox);
    m_magnificationSlider->setValue(int(std::lround(m_magnification * kMagnificationSteps)));
    m_invertCheckBox->setChecked(m_invert);
    m_horizontalMarginSlider->setValue(int(std::lround(m_horizontalMargin * kMarginSteps)));
    m_verticalMarginSlider->setValue(int(std::lround(m_verticalMargin * kMarginSteps)));
    m_magnificationField->setText(QLocale().toString(m_magnification, 'f', 1) + u'\u00D7');
    m_horizontalMarginField->setText(QLocale().toString(qRound(m_horizontalMargin * 100)) +
                                     QStringLiteral(" %"));
    m_verticalMarginField->setText(QLocale().toString(qRound(m_verticalMargin * 100)) + QStringLiteral(" %"));
    m_alignmentPopUp->setCurrentIndex(m_alignmentPopUp->findData(int(m_marginAlignment)));
    m_alignmentPopUp->setEnabled(isMarginAlignmentEnabled());
    const int modeIndex = m_screenModePopUp->findData(m_screenMode);
    m_screenModePopUp->setCurrentIndex(modeIndex);
    m_horizontalFlipCheckBox->setChecked(m_horizontallyFlipped);
    m_verticalFlipCheckBox->setChecked(m_verticallyFlipped);
    m_focusArrowCheckBox->setChecked(m_useFocusArrow);
    m_timeBarCheckBox->setChecked(m_useTimeBar);
    updateActionButtonVisibility(m_focusArrowButton);
    updateActionButtonVisibility(m_timeBarButton);
}

void OVPreviewWindowController::defaultsDidReset()
{
    // Every setting is read again and goes through its own step.
    setHorizontalMarginFactor(defaults().doubleForKey(kHorizontalMarginKey));
    setVerticalMarginFactor(defaults().doubleForKey(kVerticalMarginKey));
    setMarginAlignment(unsigned(std::clamp<qint64>(defaults().integerForKey(kAlignmentKey), 0, 8)));
    if (contentAdjustmentsEnabled()) {
        setContentInvertTextAndBackgroundColor(defaults().boolForKey(kInvertKey));
        setContentTextMagnificationFactor(defaults().doubleForKey(kMagnificationKey));
    }
    setScreenMode(int(defaults().integerForKey(kScreenModeKey)));
    setHorizontallyFlipped(defaults().boolForKey(kHorizontalFlipKey));
    setVerticallyFlipped(defaults().boolForKey(kVerticalFlipKey));
    setUseFocusArrow(defaults().boolForKey(kFocusArrowKey));
    setUseTimeBar(defaults().boolForKey(kTimeBarKey));
    _updateDisplayOptionsView();
}

// Margin drags.

void OVPreviewWindowController::marginSliderInitialActionOccurred()
{
    NotificationCenter::shared().postNotification(OVPrompterDidBeginMarginChangeNotification, nullptr);
    m_talent.updateHasContentBorder(true);
    m_talent.setTextContainerWidthTracksTextView(false);
}

void OVPreviewWindowController::marginSliderFinalActionOccurred()
{
    NotificationCenter::shared().postNotification(OVPrompterDidEndMarginChangeNotification, nullptr);
    m_talent.restoreDefaultHasContentBorder();
    m_talent.setTextContainerWidthTracksTextView(true);
}
