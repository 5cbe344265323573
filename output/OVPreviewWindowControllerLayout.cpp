// Where the preview panel stands and how tall it is: its height following its sections, its first
// and its saved position; and the preview's frame in its box at the output's proportions, showing
// what the operator sees of the script.
#include "output/OVPreviewWindowController.h"
#include "output/OVPreviewWindowControllerPrivate.h"

#include "output/OVBoxView.h"
#include "output/OVEnvironment.h"
#include "output/OVScreen.h"
#include "output/OVTalentWindowController.h"
#include "platform/appkit/Screen.h"
#include "platform/hvkit/HVAnalytics.h"
#include "platform/hvkit/HVAppServices.h"
#include "prompter_view/OVPrompterView.h"
#include "prompting/OVCore.h"
#include "text/OVTextView.h"

#include <QLayout>
#include <QStackedWidget>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

using namespace OVPreviewWindowControllerPrivate;

namespace {

double roundHalfAway(double value)
{
    return std::round(value);
}

} // namespace

void OVPreviewWindowController::resizePanelToContents(double duration)
{
    // Qt keeps the sizes it asked for until its next layout pass; a new page or section counts now.
    m_displayOptions->updateGeometry();
    if (QLayout* layout = m_controls->layout()) {
        layout->invalidate();
        layout->activate();
    }
    m_controls->adjustSize();
    const double controlsHeight = std::ceil(m_controls->sizeHint().height());
    const double contentHeight = controlsHeight + kBoxHeight + 2 * kBoxInset;
    const Rect oldFrame = m_panel->frame();
    Rect frame = m_panel->frameRectForContentRect({{0, 0}, {kPanelWidth, contentHeight}});
    // The top edge stays where it was.
    frame.origin = {oldFrame.origin.x, oldFrame.maxY() - frame.size.height};
    // The controls hang from the top (Qt counts from there), so a growing panel uncovers them.
    m_controls->setGeometry(0, int(kBoxHeight + 2 * kBoxInset), int(kPanelWidth), int(controlsHeight));
    const Point boxOrigin{kBoxInset, controlsHeight + kBoxInset};
    const unsigned generation = ++m_panelResizeGeneration;
    if (!(duration > 0) || frame == oldFrame) {
        m_panel->stopFrameAnimation();
        m_suppressPanelFrameNotifications = true;
        m_panel->setFrame(frame, false);
        m_suppressPanelFrameNotifications = false;
        m_box->setFrameOrigin(boxOrigin);
        return;
    }
    // The preview keeps to the top while the height changes; y counts up from the bottom here.
    const double contentNow = m_panel->contentRectForFrameRect(oldFrame).size.height;
    m_box->setFrameOrigin({kBoxInset, contentNow - kBoxInset - kBoxHeight});
    m_suppressPanelFrameNotifications = true;
    m_panel->animateFrame(frame, duration, [this, boxOrigin, generation](bool) {
        // A later change has taken over: its own end puts things right.
        if (generation != m_panelResizeGeneration)
            return;
        m_suppressPanelFrameNotifications = false;
        m_box->setFrameOrigin(boxOrigin);
    });
}

void OVPreviewWindowController::placePanelForStart()
{
    placePanelInitially();
    restorePanelTopEdge();
}

void OVPreviewWindowController::placePanelInitially()
{
    const std::optional<Screen> screen = OVScreen::operatorScreen();
    if (!screen)
        return;
    const Rect area = screen->visibleFrame();
    const Rect frame = m_panel->frame();
    // The very first launch shows the whole panel at the top; later ones where it always starts,
    // unless a position was saved (restored next).
    const bool firstLaunch = HVAppServices::shared().analytics().earlierAppLaunchCount() <= 0;
    const double top = area.maxY() - (firstLaunch ? 0 : kDefaultTopInset);
    const double x = std::max(area.origin.x, area.maxX() - frame.size.width - kDefaultRightInset);
    m_suppressPanelFrameNotifications = true;
    m_panel->setFrameTopLeftPoint({x, top});
    m_suppressPanelFrameNotifications = false;
}

// Geometry.

void OVPreviewWindowController::updatePreviewBounds()
{
    updatePreviewBoundsForSize(OVEnvironment::prompterOutputSize());
}

std::optional<Rect> OVPreviewWindowController::previewFrameForSize(const Size& size, const Size& box)
{
    if (!(size.width > 0 && size.height > 0))
        return std::nullopt;
    // A box not laid out yet (or collapsed) has no room: a divisor from it would be infinite.
    if (!(box.width > 0 && box.height > 0))
        return std::nullopt;
    const double divisor = std::ceil(std::max(size.width / box.width, size.height / box.height));
    const Size frameSize{roundHalfAway(size.width / divisor), roundHalfAway(size.height / divisor)};
    return Rect{{roundHalfAway((box.width - frameSize.width) * 0.5),
                 roundHalfAway((box.height - frameSize.height) * 0.5)},
                frameSize};
}

void OVPreviewWindowController::updatePreviewBoundsForSize(const Size& size)
{
    const std::optional<Rect> computed = previewFrameForSize(size, m_box->bounds().size);
    if (!computed)
        return;
    const Rect frame = *computed;
    const Rect bounds{{0, 0}, size};

    const bool animation = m_prompterView->usesAnimation();
    m_prompterView->setUsesAnimation(false);
    const bool frameChanged = m_prompterView->frame() != frame;
    if (frameChanged)
        m_prompterView->setFrameWithoutTile(frame);
    if (m_prompterView->bounds() != bounds) {
        m_prompterView->setBounds(bounds);
        m_prompterView->tile();
    } else if (frameChanged) {
        m_prompterView->tile();
    }
    m_prompterView->setUsesAnimation(animation);
    syncPreviewToFrontmostDocument();
}

void OVPreviewWindowController::syncPreviewToFrontmostDocument()
{
    if (!defaults().boolForKey(QStringLiteral("enableTalentScreenTracksEdits")))
        return;
    OVTextView* document = m_talent.documentTextView();
    if (!document)
        return;
    // What the operator sees of the script, wherever the caret is.
    const Range range = document->visibleCharacterRange();
    if (range.location == kNotFound)
        return;
    OVTextView* preview = m_prompterView->prompterTextView();
    if (range.location + range.length > preview->textStorage().length())
        return;
    preview->scrollRangeToVisible(range);
    m_core.synchronizeTalentLocationToPreviewLocation();
}

// Position.

void OVPreviewWindowController::savePanelTopEdge()
{
    if (m_suppressPanelFrameNotifications || m_initialOpen || !m_core.isModeEdit() || m_core.isModeChanging())
        return;
    defaults().setDouble(roundHalfAway(m_panel->frame().maxY()), kTopFrameKey);
}

void OVPreviewWindowController::restorePanelTopEdge()
{
    // No saved position is the key being absent or holding its registered value; a saved top edge
    // of 0 is a real one (the bottom of the primary screen).
    if (!defaults().hasUserValue(kTopFrameKey))
        return;
    const double saved = defaults().doubleForKey(kTopFrameKey);
    if (!std::isfinite(saved) || saved == std::numeric_limits<double>::min())
        return;
    double top = roundHalfAway(saved);
    Rect frame = m_panel->frame();
    // The screen it was saved on may be gone: keep the panel inside one attached now.
    std::optional<Screen> screen = m_panel->screen();
    if (!screen)
        screen = Screen::mainScreen();
    if (screen) {
        const Rect area = screen->visibleFrame();
        top = std::clamp(top, area.origin.y + std::min(frame.size.height, area.size.height), area.maxY());
    }
    m_suppressPanelFrameNotifications = true;
    m_panel->setFrameTopLeftPoint({frame.origin.x, top});
    m_suppressPanelFrameNotifications = false;
}
