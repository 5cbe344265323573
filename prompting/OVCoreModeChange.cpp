// The steps of a mode change. Each does its Prompt half or its Edit half; the queue runs them in
// one order into Prompt mode and in the reverse order out of it, so each step undoes its own change.
#include "prompting/OVCore.h"

#include "prompting/OVCorePrivate.h"

#include "platform/appkit/Application.h"
#include "platform/appkit/ApplicationIcon.h"
#include "platform/appkit/Cursor.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/NamedImages.h"
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
#include "prompting/OVCorePromptModeWindows.h"
#include "prompting/OVCorePrompterView.h"
#include "prompting/OVCoreSettings.h"
#include "prompting/OVCoreTalentOutput.h"
#include "prompting/OVEventInterpreter.h"
#include "prompting/OVInputController.h"
#include "prompting/OVUnconstrainedWindow.h"

#include <QDebug>
#include <QIcon>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

// Stationary and out of the window cycle, a full-screen auxiliary that full screen never tiles:
// kept on the window for whoever asks, since Linux window managers have no such behaviours.
constexpr unsigned kPromptModeCollectionBehavior = 0x50 | 0x100 | 0x1000;
constexpr double kCursorHideDelay = 1.0;
const QString kCloseUpdaterWindowsAction = QStringLiteral("closeAndCancelSparkleWindows");

// The adjustments are the operator's own: the talent copy makes its own from the unadjusted text,
// so no observer of the document's content hears of them.
class SuspendedContentNotifications {
public:
    explicit SuspendedContentNotifications(OVCorePrompterView* view)
        : m_view(view), m_wasSuspended(view && view->contentNotificationsSuspended())
    {
        if (m_view)
            m_view->setContentNotificationsSuspended(true);
    }
    ~SuspendedContentNotifications()
    {
        if (m_view)
            m_view->setContentNotificationsSuspended(m_wasSuspended);
    }
    SuspendedContentNotifications(const SuspendedContentNotifications&) = delete;
    SuspendedContentNotifications& operator=(const SuspendedContentNotifications&) = delete;

private:
    OVCorePrompterView* m_view;
    bool m_wasSuspended;
};

} // namespace

void OVCore::_startSetup()
{
    d->m_isModeChanging = true;
    const unsigned target = isModeEdit() ? kModePrompt : kModeEdit;
    d->m_willBecomeMode = target;
    if (d->m_controller)
        d->m_controller->coreModeWillChange(target);
    NotificationCenter::shared().postNotification(OVCoreWillChangeModeNotification);
    d->m_mode = target;

    if (isModePrompt()) {
        if (d->m_timeTimer)
            _tearDownTimeTimer();
        blockEvents();
        if (d->m_autosavingHandler)
            d->m_autosavingHandler(false);
    } else {
        if (!isStatusPaused())
            pausePrompter();
        if (d->m_inputController)
            d->m_inputController->stop();
        cancelHideCursorAfterDelay();
        _teardownPrompterTimer();
        blockEvents();
    }

    if (d->m_prompterView) {
        d->m_savedUsesAnimation = d->m_prompterView->usesAnimation();
        d->m_prompterView->setUsesAnimation(false);
    }
    if (d->m_talentWindowController) {
        if (isModePrompt() && !d->m_talentWatchingSuspended) {
            d->m_talentWindowController->endDocumentWatching();
            d->m_talentWatchingSuspended = true;
        }
        autoBlankToHideEditsIfNecessary();
    }

    if (isModePrompt()) {
        if (d->m_prompterView)
            d->m_prompterView->setPreventScrolling(false);
        if (d->m_talentPrompterView)
            d->m_talentPrompterView->setPreventScrolling(false);
        d->m_lastMeasuredTime = 1.0;
        d->m_fractionalTime = 0;
        d->m_scrollEngine.resetPointsScrolled();
        d->m_maxSpeedInPromptMode = 0;
        observePreviewClipView(false);
    } else {
        observeOperatorClipView(false);
        observePreviewClipView(true);
        observeScrollerDragging(false);
    }
    // The talent pads its script as the operator's does while prompting, so both can scroll the
    // first line down to the reading line and the last one past it.
    if (OVCorePrompterView* talent = isOrWasTalentWindowUtilized() ? d->m_talentPrompterView : nullptr) {
        if (isModePrompt()) {
            d->m_savedTalentTracksVerticalInset = talent->tracksVerticalInset();
            d->m_savedTalentVerticalInsetAdjustment = talent->verticalInsetAdjustment();
        }
        talent->setTracksVerticalInset(false);
    }
    if (d->m_talentContentView)
        d->m_talentOriginAtModeChangeStart = d->m_talentContentView->bounds().origin;
    // No layout runs between the steps: each would lay the text out for a window about to change.
    if (d->m_prompterView) {
        d->m_operatorBackgroundLayout = d->m_prompterView->backgroundLayoutEnabled();
        d->m_prompterView->setBackgroundLayoutEnabled(false);
    }
    if (OVCorePrompterView* talent = isOrWasTalentWindowUtilized() ? d->m_talentPrompterView : nullptr) {
        d->m_talentBackgroundLayout = talent->backgroundLayoutEnabled();
        talent->setBackgroundLayoutEnabled(false);
    }
    if (!isModePrompt())
        _optimizeContent();
    if (!d->m_prompterView)
        return;
    _recordOperatorVisiblePrompterContent();
    // The padding is off while the steps reshape the window, and set for the new mode at the end.
    if (isModePrompt()) {
        d->m_savedTracksVerticalInset = d->m_prompterView->tracksVerticalInset();
        d->m_savedVerticalInsetAdjustment = d->m_prompterView->verticalInsetAdjustment();
    }
    d->m_prompterView->setTracksVerticalInset(false);
    d->m_prompterView->setTextContainerWidthTracksTextView(false);
}

void OVCore::_embedWindow()
{
    // Embedding moves the prompter view into a borderless child window. Window managers place child
    // windows as they like, which would tear the prompter from its frame, so the setting is not
    // honoured and the prompter stays in its own window.
}

void OVCore::_windowResize()
{
    Window* window = d->m_controllerWindow;
    if (!window)
        return;
    _setToolbarVisibleForMode();
    OVCorePromptModeWindows* windows = d->m_promptModeWindows;
    if (!isModePrompt()) {
        d->m_modeChange.removeBlockingWindows(windows);
        d->m_modeChange.resizeWindowForEdit(window, d->m_controller, currentModifierFlags() & kOptionKeyMask);
        return;
    }
    if (windows)
        windows->moveWindowToOperatorScreenIfNecessary(*window, true, 0);
    d->m_modeChange.resizeWindowForPrompt(window, d->m_controller);
    OVEventInterpreter* interpreter =
        OVCoreSettings::boolean(QStringLiteral("useBlockingWindowEvents"), false)
            ? dynamic_cast<OVEventInterpreter*>(d->m_controller)
            : nullptr;
    d->m_modeChange.showBlockingWindows(window, windows, interpreter);
}

void OVCore::_setToolbarVisibleForMode()
{
    OVCoreController* controller = d->m_controller;
    if (!controller)
        return;
    bool wanted = false;
    if (isModePrompt()) {
        d->m_savedToolbarVisible = controller->isToolbarVisible();
        d->m_hasSavedToolbarVisible = true;
        wanted = controllerWindowUsesToolbarInPromptMode();
    } else {
        if (!d->m_hasSavedToolbarVisible)
            return;
        wanted = d->m_savedToolbarVisible;
        d->m_hasSavedToolbarVisible = false;
    }
    if (wanted == controller->isToolbarVisible())
        return;
    // The window gives or takes the toolbar's height at once, not in a sway the talent would see.
    Window* window = controller->controllerWindow();
    if (window)
        window->setUsesInstantAnimationResizeTime(true);
    controller->setToolbarVisible(wanted);
    if (window)
        window->setUsesInstantAnimationResizeTime(false);
}

void OVCore::_scrollBarAdjust()
{
    if (!d->m_prompterView)
        return;
    unsigned behavior = kOverlayScrollerSystem;
    if (isModePrompt())
        behavior = OVCoreSettings::boolean(QStringLiteral("showScrollBarInPromptMode"), true)
                       ? kOverlayScrollerKeepFlashing
                       : kOverlayScrollerShowOnHover;
    d->m_prompterView->setOverlayScrollerBehavior(behavior);
}

void OVCore::_windowFade()
{
    Application& application = Application::shared();
    if (isModePrompt()) {
        // The updater's windows close with a cancel too; the delegate that owns the updater knows them.
        Responder* delegate = application.delegate();
        if (delegate && delegate->respondsToAction(kCloseUpdaterWindowsAction))
            delegate->performAction(kCloseUpdaterWindowsAction, QVariant());
        d->m_modeChange.closeSheets();
        d->m_modeChange.hideWindowsBesides(d->m_controllerWindow);
        return;
    }
    d->m_modeChange.showHiddenWindows(d->m_controllerWindow);
}

void OVCore::_modePersistentChanges()
{
    const bool prompt = isModePrompt();
    if (prompt)
        _updatePromptModeControllerWindowConfigurationDictionary();
    const PromptModeWindowConfiguration& configuration = d->m_modeChange.windowConfiguration();
    Window* window = d->m_controllerWindow;
    // Decorations, level and title-bar buttons change the window's flags together, once.
    std::optional<Window::FlagChanges> flagChanges;
    if (window)
        flagChanges.emplace(*window);

    if (window) {
        window->setCollectionBehavior(prompt ? kPromptModeCollectionBehavior : 0);
        window->setMovable(!prompt);
        // Covering the operator screen means a frame no window manager lets a decorated window have.
        if (auto* unconstrained = dynamic_cast<OVUnconstrainedWindow*>(window))
            unconstrained->setAlwaysUnconstrained(prompt && !configuration.isWindowed);
    }
    _setSystemSleepEnabled(!prompt);

    // No Linux client can capture a display; covering it with the highest window level we have is
    // the closest we can come.
    const bool alwaysCoverTheDesktop =
        OVCoreSettings::boolean(QStringLiteral("alwaysCoverTheDesktop"), false);
    if (window)
        d->m_modeChange.setShieldingLevel(window, prompt, !configuration.isWindowed || alwaysCoverTheDesktop);

    if (prompt)
        d->m_speedWhilePaused = DBL_MAX;

    _updateApplicationIcon();

    if (window)
        d->m_modeChange.setTitleBarButtons(window, prompt);
    flagChanges.reset();
    // The script's window has the keyboard in either mode, whichever window had it before: the keys
    // that drive the prompter and the editor go to it.
    if (window && window->isVisible())
        window->makeKeyWindow();
    if (prompt)
        setupTextViewForMode();

    if (d->m_prompterView) {
        if (prompt) {
            d->m_savedUsesFocusArrow = d->m_prompterView->usesFocusArrow();
            d->m_savedUsesTimeBar = d->m_prompterView->usesTimeBar();
            d->m_savedHorizontalMarginIndentFactor = d->m_prompterView->horizontalMarginIndentFactor();
            d->m_savedVerticalMarginIndentFactor = d->m_prompterView->verticalMarginIndentFactor();
            d->m_prompterView->setUsesFocusArrow(
                OVCoreSettings::boolean(QStringLiteral("useFocusArrow"), d->m_savedUsesFocusArrow));
            d->m_prompterView->setUsesTimeBar(
                OVCoreSettings::boolean(QStringLiteral("useTimeBar"), d->m_savedUsesTimeBar));
            d->m_prompterView->setHorizontalMarginIndentFactor(OVCoreSettings::real(
                QStringLiteral("horizontalMarginPercentage"), d->m_savedHorizontalMarginIndentFactor));
            d->m_prompterView->setVerticalMarginIndentFactor(OVCoreSettings::real(
                QStringLiteral("verticalMarginPercentage"), d->m_savedVerticalMarginIndentFactor));
        } else {
            d->m_prompterView->setUsesFocusArrow(d->m_savedUsesFocusArrow);
            d->m_prompterView->setUsesTimeBar(d->m_savedUsesTimeBar);
            d->m_prompterView->setHorizontalMarginIndentFactor(d->m_savedHorizontalMarginIndentFactor);
            d->m_prompterView->setVerticalMarginIndentFactor(d->m_savedVerticalMarginIndentFactor);
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
        if (d->m_status != kStatusPausedHard)
            _setupForStatus(kStatusPausedHard);
    }

    if (d->m_prompterView) {
        const bool animates = d->m_prompterView->usesAnimation();
        d->m_prompterView->setUsesAnimation(false);
        if (prompt) {
            d->m_savedTextOptions = d->m_prompterView->textOptions();
            d->m_prompterView->setTextOptions(OVPrompterTextOptions());
        } else {
            d->m_prompterView->setTextOptions(d->m_savedTextOptions);
        }
        d->m_prompterView->setUsesAnimation(animates);
    }

    if (d->m_controller)
        d->m_controller->setBookmarksVisible(!prompt);
    _updateSpeedScale();

    if (prompt)
        d->m_modeChange.rememberFullScreenEditFrame(window);
}

void OVCore::setupTextViewForMode()
{
    if (!d->m_prompterView)
        return;
    const qsizetype location = std::max<qsizetype>(0, d->m_visibleContent.characterRange.location);
    d->m_prompterView->setupTextViewForMode(isModePrompt(), location);
}

void OVCore::applyContentAdjustments()
{
    d->m_appliedContentAdjustments = ContentAdjustments();
    if (!d->m_prompterView ||
        !OVCoreSettings::boolean(QStringLiteral("enableTalentContentAdjustments"), false))
        return;
    const double factor = OVCoreSettings::real(QStringLiteral("contentTextMagnificationFactor"), 1.0);
    const bool scales = std::isfinite(factor) && factor > 0 && std::abs(factor - 1.0) > 0.01;
    const bool inverts =
        OVCoreSettings::boolean(QStringLiteral("contentInvertTextAndBackgroundColor"), false);
    const SuspendedContentNotifications suspended(d->m_prompterView);
    if (scales || inverts)
        d->m_prompterView->saveUnadjustedContent();
    if (scales) {
        d->m_prompterView->adjustTextSizeByFactor(factor);
        d->m_appliedContentAdjustments.textMagnificationFactor = factor;
    }
    if (inverts) {
        d->m_prompterView->invertColors();
        d->m_appliedContentAdjustments.invertedColors = true;
    }
}

void OVCore::undoContentAdjustments()
{
    // What was applied on the way in is undone, whatever the settings say by now: the settings can
    // change during Prompt mode, the document's text must not.
    const ContentAdjustments applied = d->m_appliedContentAdjustments;
    d->m_appliedContentAdjustments = ContentAdjustments();
    if (!d->m_prompterView || applied.isEmpty())
        return;
    const SuspendedContentNotifications suspended(d->m_prompterView);
    if (d->m_prompterView->restoreUnadjustedContent())
        return;
    if (applied.textMagnificationFactor != 1.0)
        d->m_prompterView->adjustTextSizeByFactor(1.0 / applied.textMagnificationFactor);
    if (applied.invertedColors)
        d->m_prompterView->invertColors();
}

void OVCore::withContentAdjustmentsUndone(const std::function<void()>& work)
{
    const ContentAdjustments applied = d->m_appliedContentAdjustments;
    if (applied.isEmpty() || !d->m_prompterView) {
        work();
        return;
    }
    undoContentAdjustments();
    work();
    const SuspendedContentNotifications suspended(d->m_prompterView);
    d->m_prompterView->saveUnadjustedContent();
    if (applied.textMagnificationFactor != 1.0)
        d->m_prompterView->adjustTextSizeByFactor(applied.textMagnificationFactor);
    if (applied.invertedColors)
        d->m_prompterView->invertColors();
    d->m_appliedContentAdjustments = applied;
}

void OVCore::_updateApplicationIcon()
{
    if (!isModePrompt()) {
        ApplicationIcon::setIcon({});
        return;
    }
    const QIcon& icon = ApplicationIcon::defaultIcon();
    const QImage badge = NamedImages::imageNamed(kApplicationIconBadgeImageName);
    if (icon.isNull() || badge.isNull())
        return;
    // Made once for each size of the icon, and again only for another default icon.
    if (d->m_badgedIconSource != icon.cacheKey()) {
        d->m_badgedIconSource = icon.cacheKey();
        d->m_badgedIconPixmaps.clear();
    }
    QIcon badged;
    for (const QSize& size : icon.availableSizes()) {
        QPixmap& pixmap = d->m_badgedIconPixmaps[{size.width(), size.height()}];
        if (pixmap.isNull()) {
            QImage image = icon.pixmap(size, 1.0).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
            const QSize badgeSize(int(std::lround(image.width() * kApplicationIconBadgeFraction)),
                                  int(std::lround(image.height() * kApplicationIconBadgeFraction)));
            QPainter painter(&image);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
            painter.setOpacity(kApplicationIconBadgeOpacity);
            painter.drawImage(QRect(QPoint(image.width() - badgeSize.width(), image.height() - badgeSize.height()),
                                    badgeSize),
                              badge);
            painter.end();
            pixmap = QPixmap::fromImage(image);
        }
        badged.addPixmap(pixmap);
    }
    ApplicationIcon::setIcon(badged);
}

bool OVCore::_isSystemSleepEnabled() const
{
    return !d->m_sleepInhibitor || !d->m_sleepInhibitor->isInhibiting();
}

void OVCore::_setSystemSleepEnabled(bool enabled)
{
    if (enabled) {
        if (d->m_sleepInhibitor)
            d->m_sleepInhibitor->uninhibit();
        return;
    }
    if (!d->m_sleepInhibitor)
        d->m_sleepInhibitor = std::make_unique<ScreenSaverInhibitor>(QStringLiteral("Orvane"));
    if (!d->m_sleepInhibitor->isInhibiting() &&
        !d->m_sleepInhibitor->inhibit(QStringLiteral("Orvane is in Prompt mode.")))
        qWarning().noquote() << QStringLiteral("%1 error return value = %2")
                                    .arg(QStringLiteral("-[OVCore _setSystemSleepEnabled:]"))
                                    .arg(1);
}

void OVCore::_finishSetup()
{
    const bool prompt = isModePrompt();
    if (isOrWasTalentWindowUtilized() && d->m_talentContentView &&
        d->m_talentContentView->bounds().origin != d->m_talentOriginAtModeChangeStart)
        qWarning().noquote()
            << "talent window scrolled during mode change. investigate what is causing this.";
    if (d->m_prompterView) {
        // Prompt mode always pads, so the first line can reach the reading line and the last can
        // pass it; Edit mode pads as the user chose.
        d->m_prompterView->setTracksVerticalInset(prompt ? true : d->m_savedTracksVerticalInset);
        if (!d->m_prompterView->tracksVerticalInset())
            d->m_prompterView->setVerticalInsetAdjustment(d->m_savedVerticalInsetAdjustment);
        d->m_prompterView->setTextContainerWidthTracksTextView(true);
    }
    if (OVCorePrompterView* talent = isOrWasTalentWindowUtilized() ? d->m_talentPrompterView : nullptr) {
        talent->setTracksVerticalInset(prompt ? true : d->m_savedTalentTracksVerticalInset);
        if (!talent->tracksVerticalInset())
            talent->setVerticalInsetAdjustment(d->m_savedTalentVerticalInsetAdjustment);
        talent->setBackgroundLayoutEnabled(!prompt || d->m_talentBackgroundLayout);
    }
    if (d->m_prompterView)
        d->m_prompterView->setBackgroundLayoutEnabled(!prompt || d->m_operatorBackgroundLayout);

    if (prompt) {
        _calculateOptimalFramerate();
        _calculateMinimumScrollIncrement();
        d->m_scriptBottomGrowth = _scriptBottomGrowth();
        _optimizeContent();
        observeOperatorClipView(true);
        observeScrollerDragging(true);
    } else {
        Cursor::setHiddenUntilMouseMoves(false);
        d->m_scriptBottomGrowth = 0;
    }

    if (d->m_scrollView && d->m_contentView)
        d->m_scrollView->reflectScrolledClipView(d->m_contentView);
    if (prompt && isTalentWindowInUse() &&
        !OVCoreSettings::boolean(QStringLiteral("talentUsesOperatorPosition"), true)) {
        _synchronizeOperatorLocationToTalentLocation(true);
    } else {
        _synchronizeOperatorLocationToLastRecordedVisiblePrompterContent();
        if (prompt && isTalentWindowInUse())
            _synchronizeTalentLocationToOperatorLocation(true);
    }
    _updateBookmarkControllerDeltaLocation();

    d->m_suppressDisplayConfigurationModeChange = false;
    unblockEvents();

    if (d->m_prompterView)
        d->m_prompterView->setUsesAnimation(d->m_savedUsesAnimation);

    const double now = HVTimestamp::seconds();
    if (prompt) {
        _setupPrompterTimer();
        hideCursorAfterDelay();
        if (!d->m_inputController) {
            auto input = std::make_unique<OVInputController>(*this);
            input->setIncreaseSpeedAction(QStringLiteral("increaseSpeed:"));
            input->setDecreaseSpeedAction(QStringLiteral("decreaseSpeed:"));
            input->setScrollLineDownAction(QStringLiteral("scrollToNextLine:"));
            input->setScrollLineUpAction(QStringLiteral("scrollToPreviousLine:"));
            d->m_ownedInputController = std::move(input);
            d->m_inputController = d->m_ownedInputController.get();
        }
        d->m_inputController->start();
    } else {
        if (d->m_talentWatchingSuspended) {
            d->m_talentWatchingSuspended = false;
            if (d->m_talentWindowController)
                d->m_talentWindowController->beginDocumentWatching();
        }
        _synchronizePreviewLocationToTalentLocation();
        _setupTimeTimer();
        if (OVCoreSettings::boolean(QStringLiteral("setDefaultSpeedExitingPromptMode"), false))
            setControllerSpeed(OVCoreSettings::real(QStringLiteral("defaultSpeed"), 3.0));
        if (d->m_autosavingHandler)
            d->m_autosavingHandler(true);
    }

    HVAnalytics& analytics = HVAppServices::shared().analytics();
    analytics.incrementIntegerForKeyPath(QStringLiteral("modeChanges"));
    if (prompt) {
        const std::vector<Screen> screens = Screen::screens();
        if (d->m_prompterView)
            analytics.raiseIntegerForKeyPath(
                QStringLiteral("promptMode.largestPromptedDocumentCharacterCount"),
                d->m_prompterView->textLength());
        // Counted by what the session prompted on: the talent display (as set, or mirrored for a
        // beam splitter), the system mirroring the operator's display, or the operator's alone.
        QString sessions = QStringLiteral("promptMode.sessions.singleScreen");
        if (isTalentWindowInUse()) {
            const bool flipped = OVCoreSettings::boolean(QStringLiteral("horizontallyFlipped"), false) ||
                                 OVCoreSettings::boolean(QStringLiteral("verticallyFlipped"), false);
            sessions = flipped ? QStringLiteral("promptMode.sessions.dualScreenFlipped")
                               : QStringLiteral("promptMode.sessions.dualScreen");
        } else if (screens.size() > 1 && dualScreenStatus() == kDualScreenStatusMirrored) {
            sessions = QStringLiteral("promptMode.sessions.systemVideoMirrored");
        }
        analytics.incrementIntegerForKeyPath(sessions);
        analytics.startTimeForKeyPath(QStringLiteral("promptMode.time"));
        analytics.setPersistsChanges(false);
        d->m_promptModeStartTime = now;
    } else {
        analytics.setPersistsChanges(true);
        analytics.stopTimeForKeyPath(QStringLiteral("promptMode.time"));
        const double scale = d->m_controllerWindow ? d->m_controllerWindow->backingScaleFactor() : 1.0;
        analytics.incrementIntegerForKeyPath(QStringLiteral("promptMode.pixelsScrolled"),
                                             qint64(std::floor(d->m_scrollEngine.pointsScrolled() * scale)));
        analytics.raiseDoubleForKeyPath(QStringLiteral("promptMode.fastestSpeedPrompted"),
                                        d->m_maxSpeedInPromptMode);
        if (d->m_promptModeStartTime > 0)
            analytics.raiseDoubleForKeyPath(QStringLiteral("promptMode.longestSessionTime"),
                                            now - d->m_promptModeStartTime);
    }

    if (!Application::shared().isActive())
        Application::shared().activate();
    if (d->m_controller)
        d->m_controller->coreModeDidChange(d->m_mode);
    NotificationCenter::shared().postNotification(OVCoreDidChangeModeNotification);
    d->m_isModeChanging = false;
    d->m_willBecomeMode = kNoChange;
    if (!prompt && d->m_deferredHardwareProfileUpdate) {
        d->m_deferredHardwareProfileUpdate = false;
        d->m_hardwareProfileStale = true;
    }
}

void OVCore::_synchronizeOperatorLocationToLastRecordedVisiblePrompterContent()
{
    if (!d->m_prompterView)
        return;
    // Scaled text moves even in a window of the same size.
    const double factor = OVCoreSettings::real(QStringLiteral("contentTextMagnificationFactor"), 1.0);
    const bool scaled = OVCoreSettings::boolean(QStringLiteral("enableTalentContentAdjustments"), false) &&
                        std::abs(factor - 1.0) >= 1e-5;
    d->m_prompterView->returnToVisibleContent(d->m_visibleContent, scaled);
    if (d->m_scrollView && d->m_contentView)
        d->m_scrollView->reflectScrolledClipView(d->m_contentView);
}

void OVCore::hideCursorAfterDelay()
{
    // The input controller's clicks cancel and renew the same request. Only the prompter hides the
    // cursor: over the toolbar or another window the operator still needs it.
    HVCursorAdditions::hideAfterDelay(
        [this] { return isModePrompt() && (!d->m_prompterView || d->m_prompterView->isMouseOverPrompter()); },
        kCursorHideDelay);
}

void OVCore::cancelHideCursorAfterDelay()
{
    HVCursorAdditions::cancelHideAfterDelay();
}
