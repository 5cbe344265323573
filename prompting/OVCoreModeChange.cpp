// The steps of a mode change. Each does its Prompt half or its Edit half; the queue runs them in
// one order into Prompt mode and in the reverse order out of it, so each step undoes its own change.
#include "prompting/OVCore.h"

#include "platform/appkit/Application.h"
#include "platform/appkit/Cursor.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Screen.h"
#include "platform/appkit/ScreenSaverInhibitor.h"
#include "platform/appkit/ScrollView.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/hvkit/HVAppServices.h"
#include "platform/hvkit/HVCursorAdditions.h"
#include "platform/hvkit/HVTimestamp.h"
#include "prompting/OVCoreController.h"
#include "prompting/OVCoreInputController.h"
#include "prompting/OVCorePrompterView.h"
#include "prompting/OVCoreSettings.h"
#include "prompting/OVInputController.h"

#include <QDebug>

#include <algorithm>
#include <cmath>

namespace {

// Stationary and out of the window cycle, a full-screen auxiliary that full screen never tiles:
// kept on the window for whoever asks, since Linux window managers have no such behaviours.
constexpr unsigned kPromptModeCollectionBehavior = 0x50 | 0x100 | 0x1000;
constexpr double kCursorHideDelay = 1.0;
const QString kCloseUpdaterWindowsAction = QStringLiteral("closeAndCancelSparkleWindows");

} // namespace

void OVCore::_startSetup()
{
    m_isModeChanging = true;
    const unsigned target = isModeEdit() ? kModePrompt : kModeEdit;
    m_willBecomeMode = target;
    if (m_controller)
        m_controller->coreModeWillChange(target);
    NotificationCenter::shared().postNotification(OVCoreWillChangeModeNotification);
    m_mode = target;

    if (isModePrompt()) {
        if (m_timeTimer)
            _tearDownTimeTimer();
        blockEvents();
        if (m_autosavingHandler)
            m_autosavingHandler(false);
    } else {
        if (!isStatusPaused())
            pausePrompter();
        if (m_inputController)
            m_inputController->stop();
        cancelHideCursorAfterDelay();
        _teardownPrompterTimer();
        blockEvents();
    }

    if (m_prompterView) {
        m_savedUsesAnimation = m_prompterView->usesAnimation();
        m_prompterView->setUsesAnimation(false);
    }

    if (isModePrompt()) {
        if (m_prompterView)
            m_prompterView->setPreventScrolling(false);
        m_lastMeasuredTime = 1.0;
        m_fractionalTime = 0;
        m_scrollEngine.resetPointsScrolled();
        m_maxSpeedInPromptMode = 0;
    } else {
        observeScrollerDragging(false);
    }
    if (!m_prompterView)
        return;
    m_visibleContent = m_prompterView->recordVisibleContent(isModePrompt());
    // The padding is off while the steps reshape the window, and set for the new mode at the end.
    if (isModePrompt()) {
        m_savedTracksVerticalInset = m_prompterView->tracksVerticalInset();
        m_savedVerticalInsetAdjustment = m_prompterView->verticalInsetAdjustment();
    }
    m_prompterView->setTracksVerticalInset(false);
    m_prompterView->setTextContainerWidthTracksTextView(false);
}

void OVCore::_embedWindow()
{
    // Embedding moves the prompter view into a borderless child window. Window managers place child
    // windows as they like, which would tear the prompter from its frame, so the setting is not
    // honoured and the prompter stays in its own window.
}

void OVCore::_windowResize()
{
    Window* window = m_controllerWindow;
    if (!window)
        return;
    if (isModePrompt())
        m_modeChange.resizeWindowForPrompt(window, m_controller);
    else
        m_modeChange.resizeWindowForEdit(window, m_controller, currentModifierFlags() & kOptionKeyMask);
}

void OVCore::_scrollBarAdjust()
{
    if (!m_prompterView)
        return;
    unsigned behavior = kOverlayScrollerSystem;
    if (isModePrompt())
        behavior = OVCoreSettings::boolean(QStringLiteral("showScrollBarInPromptMode"), true)
                       ? kOverlayScrollerKeepFlashing
                       : kOverlayScrollerShowOnHover;
    m_prompterView->setOverlayScrollerBehavior(behavior);
}

void OVCore::_windowFade()
{
    Application& application = Application::shared();
    if (isModePrompt()) {
        // The updater's windows close with a cancel too; the delegate that owns the updater knows them.
        Responder* delegate = application.delegate();
        if (delegate && delegate->respondsToAction(kCloseUpdaterWindowsAction))
            delegate->performAction(kCloseUpdaterWindowsAction, QVariant());
        m_modeChange.closeSheets();
        m_modeChange.hideWindowsBesides(m_controllerWindow);
        return;
    }
    m_modeChange.showHiddenWindows(m_controllerWindow);
}

void OVCore::_modePersistentChanges()
{
    const bool prompt = isModePrompt();
    if (prompt)
        _updatePromptModeControllerWindowConfigurationDictionary();
    const PromptModeWindowConfiguration& configuration = m_modeChange.windowConfiguration();
    Window* window = m_controllerWindow;

    if (window) {
        window->setCollectionBehavior(prompt ? kPromptModeCollectionBehavior : 0);
        window->setMovable(!prompt);
    }
    _setSystemSleepEnabled(!prompt);

    // No Linux client can capture a display; covering it with the highest window level we have is
    // the closest we can come.
    const bool alwaysCoverTheDesktop =
        OVCoreSettings::boolean(QStringLiteral("alwaysCoverTheDesktop"), false);
    if (window)
        m_modeChange.setShieldingLevel(window, prompt, !configuration.isWindowed || alwaysCoverTheDesktop);

    if (prompt)
        m_speedWhilePaused = DBL_MAX;

    if (window)
        m_modeChange.setTitleBarButtons(window, prompt);
    if (prompt)
        setupTextViewForMode();

    if (m_prompterView) {
        if (prompt) {
            m_savedUsesFocusArrow = m_prompterView->usesFocusArrow();
            m_savedUsesTimeBar = m_prompterView->usesTimeBar();
            m_savedHorizontalMarginIndentFactor = m_prompterView->horizontalMarginIndentFactor();
            m_savedVerticalMarginIndentFactor = m_prompterView->verticalMarginIndentFactor();
            m_prompterView->setUsesFocusArrow(
                OVCoreSettings::boolean(QStringLiteral("useFocusArrow"), m_savedUsesFocusArrow));
            m_prompterView->setUsesTimeBar(
                OVCoreSettings::boolean(QStringLiteral("useTimeBar"), m_savedUsesTimeBar));
            m_prompterView->setHorizontalMarginIndentFactor(OVCoreSettings::real(
                QStringLiteral("horizontalMarginPercentage"), m_savedHorizontalMarginIndentFactor));
            m_prompterView->setVerticalMarginIndentFactor(OVCoreSettings::real(
                QStringLiteral("verticalMarginPercentage"), m_savedVerticalMarginIndentFactor));
        } else {
            m_prompterView->setUsesFocusArrow(m_savedUsesFocusArrow);
            m_prompterView->setUsesTimeBar(m_savedUsesTimeBar);
            m_prompterView->setHorizontalMarginIndentFactor(m_savedHorizontalMarginIndentFactor);
            m_prompterView->setVerticalMarginIndentFactor(m_savedVerticalMarginIndentFactor);
        }
    }

    if (prompt)
        applyContentAdjustments();
    else
        undoContentAdjustments();

    if (prompt) {
        if (OVCoreSettings::boolean(QStringLiteral("resetElapsedTimer"), false))
            resetTimer();
    } else {
        setupTextViewForMode();
        if (m_status != kStatusPausedHard)
            _setupForStatus(kStatusPausedHard);
    }

    if (m_prompterView) {
        const bool animates = m_prompterView->usesAnimation();
        m_prompterView->setUsesAnimation(false);
        if (prompt) {
            m_savedTextOptions = m_prompterView->textOptions();
            m_prompterView->setTextOptions(OVPrompterTextOptions());
        } else {
            m_prompterView->setTextOptions(m_savedTextOptions);
        }
        m_prompterView->setUsesAnimation(animates);
    }

    _updateSpeedScale();

    if (prompt)
        m_modeChange.rememberFullScreenEditFrame(window);
}

void OVCore::setupTextViewForMode()
{
    if (!m_prompterView)
        return;
    const qsizetype location = std::max<qsizetype>(0, m_visibleContent.characterRange.location);
    m_prompterView->setupTextViewForMode(isModePrompt(), location);
}

void OVCore::applyContentAdjustments()
{
    m_appliedContentAdjustments = ContentAdjustments();
    if (!m_prompterView || !OVCoreSettings::boolean(QStringLiteral("enableTalentContentAdjustments"), false))
        return;
    const double factor = OVCoreSettings::real(QStringLiteral("contentTextMagnificationFactor"), 1.0);
    const bool scales = std::isfinite(factor) && factor > 0 && std::abs(factor - 1.0) > 0.01;
    const bool inverts = OVCoreSettings::boolean(QStringLiteral("contentInvertTextAndBackgroundColor"), false);
    if (scales || inverts)
        m_prompterView->saveUnadjustedContent();
    if (scales) {
        m_prompterView->adjustTextSizeByFactor(factor);
        m_appliedContentAdjustments.textMagnificationFactor = factor;
    }
    if (inverts) {
        m_prompterView->invertColors();
        m_appliedContentAdjustments.invertedColors = true;
    }
}

void OVCore::undoContentAdjustments()
{
    // What was applied on the way in is undone, whatever the settings say by now: the settings can
    // change during Prompt mode, the document's text must not.
    const ContentAdjustments applied = m_appliedContentAdjustments;
    m_appliedContentAdjustments = ContentAdjustments();
    if (!m_prompterView || applied.isEmpty() || m_prompterView->restoreUnadjustedContent())
        return;
    if (applied.textMagnificationFactor != 1.0)
        m_prompterView->adjustTextSizeByFactor(1.0 / applied.textMagnificationFactor);
    if (applied.invertedColors)
        m_prompterView->invertColors();
}

void OVCore::withContentAdjustmentsUndone(const std::function<void()>& work)
{
    const ContentAdjustments applied = m_appliedContentAdjustments;
    if (applied.isEmpty() || !m_prompterView) {
        work();
        return;
    }
    undoContentAdjustments();
    work();
    m_prompterView->saveUnadjustedContent();
    if (applied.textMagnificationFactor != 1.0)
        m_prompterView->adjustTextSizeByFactor(applied.textMagnificationFactor);
    if (applied.invertedColors)
        m_prompterView->invertColors();
    m_appliedContentAdjustments = applied;
}

void OVCore::_updatePromptModeControllerWindowConfigurationDictionary()
{
    m_modeChange.updateWindowConfiguration(m_controllerWindow,
                                           OVCoreSettings::boolean(QStringLiteral("useWindowedPrompting"), true));
}

bool OVCore::_isSystemSleepEnabled() const
{
    return !m_sleepInhibitor || !m_sleepInhibitor->isInhibiting();
}

void OVCore::_setSystemSleepEnabled(bool enabled)
{
    if (enabled) {
        if (m_sleepInhibitor)
            m_sleepInhibitor->uninhibit();
        return;
    }
    if (!m_sleepInhibitor)
        m_sleepInhibitor = std::make_unique<ScreenSaverInhibitor>(QStringLiteral("Orvane"));
    if (!m_sleepInhibitor->isInhibiting() &&
        !m_sleepInhibitor->inhibit(QStringLiteral("Orvane is in Prompt mode.")))
        qWarning().noquote() << QStringLiteral("%1 error return value = %2")
                                    .arg(QStringLiteral("-[OVCore _setSystemSleepEnabled:]"))
                                    .arg(1);
}

void OVCore::_finishSetup()
{
    const bool prompt = isModePrompt();
    if (m_prompterView) {
        // Prompt mode always pads, so the first line can reach the reading line and the last can
        // pass it; Edit mode pads as the user chose.
        m_prompterView->setTracksVerticalInset(prompt ? true : m_savedTracksVerticalInset);
        if (!m_prompterView->tracksVerticalInset())
            m_prompterView->setVerticalInsetAdjustment(m_savedVerticalInsetAdjustment);
        m_prompterView->setTextContainerWidthTracksTextView(true);
    }

    if (prompt) {
        _calculateOptimalFramerate();
        _calculateMinimumScrollIncrement();
        observeScrollerDragging(true);
    } else {
        Cursor::setHiddenUntilMouseMoves(false);
    }

    if (m_scrollView && m_contentView)
        m_scrollView->reflectScrolledClipView(m_contentView);
    _synchronizeOperatorLocationToLastRecordedVisiblePrompterContent();

    unblockEvents();

    if (m_prompterView)
        m_prompterView->setUsesAnimation(m_savedUsesAnimation);

    const double now = HVTimestamp::seconds();
    if (prompt) {
        _setupPrompterTimer();
        hideCursorAfterDelay();
        if (!m_inputController) {
            auto input = std::make_unique<OVInputController>(*this);
            input->setIncreaseSpeedAction(QStringLiteral("increaseSpeed:"));
            input->setDecreaseSpeedAction(QStringLiteral("decreaseSpeed:"));
            input->setScrollLineDownAction(QStringLiteral("scrollToNextLine:"));
            input->setScrollLineUpAction(QStringLiteral("scrollToPreviousLine:"));
            m_ownedInputController = std::move(input);
            m_inputController = m_ownedInputController.get();
        }
        m_inputController->start();
    } else {
        _setupTimeTimer();
        if (OVCoreSettings::boolean(QStringLiteral("setDefaultSpeedExitingPromptMode"), false))
            setControllerSpeed(OVCoreSettings::real(QStringLiteral("defaultSpeed"), 3.0));
        if (m_autosavingHandler)
            m_autosavingHandler(true);
    }

    HVAnalytics& analytics = HVAppServices::shared().analytics();
    analytics.incrementIntegerForKeyPath(QStringLiteral("modeChanges"));
    if (prompt) {
        const std::vector<Screen> screens = Screen::screens();
        if (m_prompterView)
            analytics.raiseIntegerForKeyPath(
                QStringLiteral("promptMode.largestPromptedDocumentCharacterCount"),
                m_prompterView->textLength());
        analytics.incrementIntegerForKeyPath(screens.size() > 1
                                                 ? QStringLiteral("promptMode.sessions.dualScreen")
                                                 : QStringLiteral("promptMode.sessions.singleScreen"));
        analytics.startTimeForKeyPath(QStringLiteral("promptMode.time"));
        analytics.setPersistsChanges(false);
        m_promptModeStartTime = now;
    } else {
        analytics.setPersistsChanges(true);
        analytics.stopTimeForKeyPath(QStringLiteral("promptMode.time"));
        const double scale = m_controllerWindow ? m_controllerWindow->backingScaleFactor() : 1.0;
        analytics.incrementIntegerForKeyPath(QStringLiteral("promptMode.pixelsScrolled"),
                                             qint64(std::floor(m_scrollEngine.pointsScrolled() * scale)));
        analytics.raiseDoubleForKeyPath(QStringLiteral("promptMode.fastestSpeedPrompted"),
                                        m_maxSpeedInPromptMode);
        if (m_promptModeStartTime > 0)
            analytics.raiseDoubleForKeyPath(QStringLiteral("promptMode.longestSessionTime"),
                                            now - m_promptModeStartTime);
    }

    if (!Application::shared().isActive())
        Application::shared().activate();
    if (m_controller)
        m_controller->coreModeDidChange(m_mode);
    NotificationCenter::shared().postNotification(OVCoreDidChangeModeNotification);
    m_isModeChanging = false;
    m_willBecomeMode = kNoChange;
}

void OVCore::_synchronizeOperatorLocationToLastRecordedVisiblePrompterContent()
{
    if (!m_prompterView)
        return;
    // Scaled text moves even in a window of the same size.
    const double factor = OVCoreSettings::real(QStringLiteral("contentTextMagnificationFactor"), 1.0);
    const bool scaled = OVCoreSettings::boolean(QStringLiteral("enableTalentContentAdjustments"), false) &&
                        std::abs(factor - 1.0) >= 1e-5;
    m_prompterView->returnToVisibleContent(m_visibleContent, scaled);
    if (m_scrollView && m_contentView)
        m_scrollView->reflectScrolledClipView(m_contentView);
}

void OVCore::hideCursorAfterDelay()
{
    // The input controller's clicks cancel and renew the same request. Only the prompter hides the
    // cursor: over the toolbar or another window the operator still needs it.
    HVCursorAdditions::hideAfterDelay(
        [this] { return isModePrompt() && (!m_prompterView || m_prompterView->isMouseOverPrompter()); },
        kCursorHideDelay);
}

void OVCore::cancelHideCursorAfterDelay()
{
    HVCursorAdditions::cancelHideAfterDelay();
}
