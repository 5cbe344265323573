#pragma once

#include "platform/foundation/Range.h"
#include "platform/foundation/Size.h"

#include <QtGlobal>

class AttributedString;
class ClipView;
class ScrollView;
class View;

// What the text view draws besides the text: switched off while prompting, restored after.
struct OVPrompterTextOptions {
    bool continuousSpellChecking = false;
    bool drawsMarkedText = false;
    bool findBarVisible = false;
    bool rulerVisible = false;
};

// How the prompter's scrollers behave: the system's way, shown on hover, or kept flashing.
inline constexpr unsigned kOverlayScrollerSystem = 0;
inline constexpr unsigned kOverlayScrollerShowOnHover = 1;
inline constexpr unsigned kOverlayScrollerKeepFlashing = 2;

// The text the operator saw when a mode change began, so the change can return to it.
struct OVVisiblePrompterContent {
    // The characters in view; location -1 when nothing was recorded.
    Range characterRange{-1, 0};
    // The first line was showing when Prompt mode was entered.
    bool atTop = false;
    Size scrollViewSize;
    // Where the text began inside its view: a change of padding moves it.
    double textOffset = 0;
    // How far down the script the view was, for a view without text.
    double scrollRatio = 0;
};

// What the core needs of a prompter view: its scroll view, the clip view the tick moves and the text
// view, and the switches a mode change turns. The prompter view implements it; operations with a body are those a plain scroll
// view can do without, so a view that lacks a feature still prompts.
class OVCorePrompterView {
public:
    virtual ~OVCorePrompterView() = default;

    virtual ScrollView* scrollView() const = 0;
    // The clip view inside the scroll view, whose origin the tick moves.
    virtual ClipView* clipView() const = 0;
    // The text view inside the scroll view; may be null.
    virtual View* textView() const = 0;

    // Editing, undo and selecting are allowed in Edit mode only.
    virtual bool isContentEditable() const { return true; }
    // In Prompt mode: no editing, selection at the start; in Edit mode: editing back, an empty
    // selection at the start of visibleCharacterLocation.
    virtual void setupTextViewForMode(bool promptMode, qsizetype visibleCharacterLocation)
    {
        Q_UNUSED(promptMode);
        Q_UNUSED(visibleCharacterLocation);
    }

    // The length of the text shown, in UTF-16 code units.
    virtual qsizetype textLength() const { return 0; }

    virtual bool usesAnimation() const { return false; }
    virtual void setUsesAnimation(bool flag) { Q_UNUSED(flag); }
    virtual bool isAnimating() const { return false; }
    virtual double animationDuration() const { return 0; }
    virtual void setTextContainerWidthTracksTextView(bool flag) { Q_UNUSED(flag); }

    // The Prompt-mode appearance the settings choose, applied on the way in and restored on the
    // way out.
    virtual bool usesFocusArrow() const { return false; }
    virtual void setUsesFocusArrow(bool flag) { Q_UNUSED(flag); }
    virtual bool usesTimeBar() const { return false; }
    virtual void setUsesTimeBar(bool flag) { Q_UNUSED(flag); }
    virtual double horizontalMarginIndentFactor() const { return 0; }
    virtual void setHorizontalMarginIndentFactor(double factor) { Q_UNUSED(factor); }
    virtual double verticalMarginIndentFactor() const { return 0; }
    virtual void setVerticalMarginIndentFactor(double factor) { Q_UNUSED(factor); }

    // Whitespace padding of one visible height above and below the text, so the first and last
    // lines can reach the reading line.
    virtual bool tracksVerticalInset() const { return false; }
    virtual void setTracksVerticalInset(bool flag) { Q_UNUSED(flag); }
    virtual double verticalInsetAdjustment() const { return 0; }
    virtual void setVerticalInsetAdjustment(double adjustment) { Q_UNUSED(adjustment); }
    // Wheel events are dropped while set.
    virtual void setPreventScrolling(bool flag) { Q_UNUSED(flag); }
    virtual void setOverlayScrollerBehavior(unsigned behavior) { Q_UNUSED(behavior); }
    virtual OVPrompterTextOptions textOptions() const { return {}; }
    virtual void setTextOptions(const OVPrompterTextOptions& options) { Q_UNUSED(options); }
    virtual OVVisiblePrompterContent recordVisibleContent(bool enteringPromptMode) const
    {
        Q_UNUSED(enteringPromptMode);
        return {};
    }
    // Scrolls back to what was recorded when the view's size or the text's place in it changed
    // since, or always when force is set.
    virtual void returnToVisibleContent(const OVVisiblePrompterContent& content, bool force)
    {
        Q_UNUSED(content);
        Q_UNUSED(force);
    }
    // Whether the mouse is over the prompter, where the cursor may hide while prompting.
    virtual bool isMouseOverPrompter() const { return true; }

    // Shown upside down for a beam splitter: its clip view runs the other way to the operator's.
    virtual bool isVerticallyFlipped() const { return false; }
    // Blanking: the standby view covers the script while visible.
    virtual bool isStandbyViewVisible() const { return false; }
    virtual void setStandbyViewVisible(bool visible) { Q_UNUSED(visible); }
    // Where the focus arrow points, measured from the arrow view's origin; 0 without an arrow.
    virtual double focusArrowCenterFromOrigin() const { return 0; }

    // Talent content adjustments, applied to the text the view shows: font sizes scaled by
    // factor, and text and background colours inverted. Each is its own inverse given the
    // reciprocal factor, or a second inversion.
    virtual void adjustTextSizeByFactor(double factor) { Q_UNUSED(factor); }
    virtual void invertColors() {}
    // While set, edits of the text and its background reach none of the text's observers: the
    // talent copy would otherwise replay the adjusted text and adjust it a second time.
    virtual bool contentNotificationsSuspended() const { return false; }
    // Layout of the text when the program is idle; paused while a mode change reshapes the window.
    virtual bool backgroundLayoutEnabled() const { return false; }
    virtual void setBackgroundLayoutEnabled(bool flag) { Q_UNUSED(flag); }
    virtual void setContentNotificationsSuspended(bool flag) { Q_UNUSED(flag); }
    // The text as it was before the adjustments, kept while they are applied: inverting twice
    // cannot tell a run without a colour of its own from a black one, so the way back and every save
    // in between use the copy.
    virtual void saveUnadjustedContent() {}
    // Puts the copy back; false when there is none (the caller then undoes each adjustment).
    virtual bool restoreUnadjustedContent() { return false; }
    virtual const AttributedString* unadjustedContent() const { return nullptr; }
};
