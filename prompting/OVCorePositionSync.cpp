// The talent and preview views following the operator's, and blanking the talent screen.
#include "prompting/OVCore.h"
#include "prompting/OVCorePrivate.h"

#include "platform/appkit/ClipView.h"
#include "platform/appkit/ScrollView.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/NotificationCenter.h"
#include "prompting/OVCoreSettings.h"
#include "prompting/OVCoreTalentOutput.h"

#include <cmath>

namespace {

// Where a 1 x 1 rectangle at this coordinate lands on whole device pixels.
double snapped(double value, double scale)
{
    return std::round(value * scale) / scale;
}

} // namespace

void OVCore::setTalentWindowController(OVCoreTalentOutput* controller)
{
    // A talent output let go of while prompting watches the front document again.
    if (d->m_talentWatchingSuspended && d->m_talentWindowController &&
        controller != d->m_talentWindowController) {
        d->m_talentWindowController->beginDocumentWatching();
        d->m_talentWatchingSuspended = false;
    }
    if (d->m_talentContentView && d->m_talentObserver)
        d->m_talentContentView->removeObserver(d->m_talentObserver);
    d->m_talentObserver = 0;
    d->m_backingScales.clear();
    d->m_talentWindowController = controller;
    d->m_talentPrompterView = controller ? controller->talentPrompterView() : nullptr;
    d->m_talentScrollView = d->m_talentPrompterView ? d->m_talentPrompterView->scrollView() : nullptr;
    d->m_talentContentView = d->m_talentPrompterView ? d->m_talentPrompterView->clipView() : nullptr;
    if (d->m_suppressNextNotificationContentView &&
        d->m_suppressNextNotificationContentView != d->m_contentView &&
        d->m_suppressNextNotificationContentView != d->m_previewContentView)
        d->m_suppressNextNotificationContentView = nullptr;
    if (d->m_talentContentView)
        d->m_talentObserver = d->m_talentContentView->addBoundsObserver(
            [this](View& view) { contentViewScrolledNotification(static_cast<ClipView*>(&view)); });
}

OVCoreTalentOutput* OVCore::talentWindowController() const
{
    return d->m_talentWindowController;
}

OVCorePrompterView* OVCore::talentPrompterView() const
{
    return d->m_talentPrompterView;
}

bool OVCore::isTalentWindowInUse() const
{
    return d->m_talentWindowController && d->m_talentWindowController->isTalentWindowInUse();
}

bool OVCore::isOrWasTalentWindowUtilized() const
{
    if (isModeChanging() && willBecomeMode() == kModeEdit)
        return d->m_modeChange.windowConfiguration().isTalentWindowUtilized;
    return isTalentWindowInUse();
}

void OVCore::setPreviewScrollView(ScrollView* scrollView)
{
    observePreviewClipView(false);
    d->m_previewScrollView = scrollView;
    d->m_previewContentView = scrollView ? scrollView->contentView() : nullptr;
    // Prompt mode leaves the preview alone; the way back into Edit mode watches it again.
    if (!isModePrompt())
        observePreviewClipView(true);
}

ScrollView* OVCore::previewScrollView() const
{
    return d->m_previewScrollView;
}

void OVCore::observePreviewClipView(bool observe)
{
    if (d->m_previewObserver && d->m_previewContentView)
        d->m_previewContentView->removeObserver(d->m_previewObserver);
    d->m_previewObserver = 0;
    if (observe && d->m_previewContentView)
        d->m_previewObserver = d->m_previewContentView->addBoundsObserver(
            [this](View& view) { contentViewScrolledNotification(static_cast<ClipView*>(&view)); });
}

void OVCore::observeOperatorClipView(bool observe)
{
    if (d->m_operatorObserver && d->m_observedOperatorContentView)
        d->m_observedOperatorContentView->removeObserver(d->m_operatorObserver);
    d->m_operatorObserver = 0;
    d->m_observedOperatorContentView = observe ? d->m_contentView : nullptr;
    if (d->m_observedOperatorContentView)
        d->m_operatorObserver = d->m_observedOperatorContentView->addBoundsObserver(
            [this](View& view) { contentViewScrolledNotification(static_cast<ClipView*>(&view)); });
}

void OVCore::forgetSyncedViews()
{
    observeOperatorClipView(false);
    observePreviewClipView(false);
    setTalentWindowController(nullptr);
}

void OVCore::contentViewScrolledNotification(ClipView* contentView)
{
    if (isModeChanging())
        return;
    if (contentView == d->m_suppressNextNotificationContentView) {
        d->m_suppressNextNotificationContentView = nullptr;
        return;
    }
    _synchronizeOperatorAndTalentLocationFromLastScrolledContentView(contentView, false);
}

void OVCore::synchronizeTalentLocationToPreviewLocation()
{
    _synchronizeTalentLocationToPreviewLocation(false);
}

void OVCore::synchronizePreviewLocationToTalentLocation()
{
    _synchronizePreviewLocationToTalentLocation(false);
}

void OVCore::noTrackFixSynchronizeTalentLocationToPreviewLocationAndForceSync(bool forceSync)
{
    _synchronizeTalentLocationToPreviewLocation(forceSync);
}

void OVCore::_synchronizeTalentLocationToOperatorLocation(bool forceSync)
{
    _synchronizeOperatorAndTalentLocationFromLastScrolledContentView(d->m_contentView, forceSync);
}

void OVCore::_synchronizeOperatorLocationToTalentLocation(bool forceSync)
{
    _synchronizeOperatorAndTalentLocationFromLastScrolledContentView(d->m_talentContentView, forceSync);
}

void OVCore::_synchronizeTalentLocationToPreviewLocation(bool forceSync)
{
    _synchronizeOperatorAndTalentLocationFromLastScrolledContentView(d->m_previewContentView, forceSync);
}

void OVCore::_synchronizePreviewLocationToTalentLocation(bool forceSync)
{
    _synchronizeOperatorAndTalentLocationFromLastScrolledContentView(d->m_talentContentView, forceSync);
}

double OVCore::backingScaleFor(const View* view)
{
    const Window* window = view->window();
    if (!window)
        return 1.0;
    for (const auto& [known, scale] : d->m_backingScales) {
        if (known == window)
            return scale;
    }
    const double scale = window->backingScaleFactor();
    d->m_backingScales.emplace_back(window, std::isfinite(scale) && scale > 0 ? scale : 1.0);
    return d->m_backingScales.back().second;
}

void OVCore::_synchronizeOperatorAndTalentLocationFromLastScrolledContentView(ClipView* source,
                                                                              bool forceSync)
{
    if (d->m_syncScrolling.isDisabled() || !source)
        return;
    const bool prompt = isModePrompt();
    if (prompt && !isTalentWindowInUse())
        return;
    // S is the operator while prompting and the preview while editing; T is always the talent.
    ClipView* sClip = prompt ? d->m_contentView : d->m_previewContentView;
    ClipView* tClip = d->m_talentContentView;
    if (!sClip || !tClip || (source != sClip && source != tClip))
        return;

    const Rect sBounds = sClip->bounds();
    const Rect tBounds = tClip->bounds();
    const double sScale = backingScaleFor(sClip);
    const double tScale = backingScaleFor(tClip);
    const double sY = snapped(sBounds.origin.y, sScale);
    const double tY = snapped(tBounds.origin.y, tScale);
    const Rect sDocument = sClip->documentRect();
    const Rect tDocument = tClip->documentRect();
    const double k = std::ceil(tDocument.origin.y - sDocument.origin.y);
    const bool flipped = d->m_talentPrompterView && d->m_talentPrompterView->isVerticallyFlipped();
    // Upside down, the talent's origin counts from the script's end: both directions use one
    // mapping, each the inverse of the other, so a round trip between two views comes back to where
    // it began whatever their heights.
    const double flippedSum = k + std::ceil(tBounds.size.height - sBounds.size.height) +
                              sDocument.size.height - sBounds.size.height;

    ClipView* target;
    Point point;
    double scale;
    if (source == sClip) {
        target = tClip;
        point = {sBounds.origin.x, flipped ? flippedSum - sY : sY + k};
        scale = tScale;
    } else {
        target = sClip;
        point = {tBounds.origin.x, flipped ? flippedSum - tY : tY - k};
        scale = sScale;
    }
    point = {snapped(point.x, scale), snapped(point.y, scale)};
    const Rect proposed = target->constrainBoundsRect({point, target->bounds().size});
    // A move to where the view already is posts nothing, so a mark set for it would swallow the
    // view's next real scroll.
    if (!forceSync && proposed.origin == target->bounds().origin)
        return;
    d->m_suppressNextNotificationContentView = target;
    target->scrollToPoint(point);
    // The bounds change came back synchronously (and was swallowed) or never came: either way the
    // mark has done its work and must not outlive this scroll.
    d->m_suppressNextNotificationContentView = nullptr;
    if (ScrollView* scrollView = target == tClip ? d->m_talentScrollView
                                 : prompt        ? d->m_scrollView
                                                 : d->m_previewScrollView)
        scrollView->reflectScrolledClipView(target);
}

void OVCore::_recordOperatorVisiblePrompterContent()
{
    if (d->m_prompterView)
        d->m_visibleContent = d->m_prompterView->recordVisibleContent(isModePrompt());
}

void OVCore::_updateBookmarkControllerDeltaLocation()
{
    OVCorePrompterView* view = d->m_prompterView;
    if (isModePrompt() && isTalentWindowInUse() && d->m_talentPrompterView)
        view = d->m_talentPrompterView;
    if (!view || !d->m_bookmarkDeltaLocationHandler)
        return;
    double delta = 0;
    if (view->tracksVerticalInset() && view->scrollView())
        delta += view->scrollView()->contentSize().height + view->verticalInsetAdjustment();
    if (view->usesFocusArrow())
        delta += view->focusArrowCenterFromOrigin();
    d->m_bookmarkDeltaLocationHandler(delta);
}

void OVCore::setBookmarkDeltaLocationHandler(std::function<void(double deltaLocation)> handler)
{
    d->m_bookmarkDeltaLocationHandler = std::move(handler);
}

// Blanking

bool OVCore::canBlankScreen() const
{
    return dualScreenStatus() == kDualScreenStatusAvailable && isTalentWindowInUse();
}

bool OVCore::isBlanking() const
{
    return d->m_blanking;
}

void OVCore::setBlanking(bool flag)
{
    if (flag == d->m_blanking)
        return;
    d->m_blanking = flag;
    if (d->m_talentPrompterView)
        d->m_talentPrompterView->setStandbyViewVisible(flag);
    NotificationCenter::shared().postNotification(OVCoreBlankingDidChangeNotification);
}

void OVCore::toggleBlanking()
{
    setBlanking(!d->m_blanking);
}

void OVCore::autoBlankToHideEditsIfNecessary()
{
    if (!d->m_talentWindowController ||
        !OVCoreSettings::boolean(QStringLiteral("autoBlankToHideEdits"), false))
        return;
    if (isModePrompt())
        setBlanking(false);
    else if (canBlankScreen())
        setBlanking(true);
}
