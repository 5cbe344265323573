#pragma once

#include <QtGlobal>

class ScrollView;
class View;

// What the core needs of a prompter view: its scroll view and text view, and the switches a mode
// change turns. The prompter view implements it; operations with a body are those a plain scroll
// view can do without, so a view that lacks a feature still prompts.
class OVCorePrompterView {
public:
    virtual ~OVCorePrompterView() = default;

    virtual ScrollView* scrollView() const = 0;
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

    // Talent content adjustments, applied to the text the view shows: font sizes scaled by
    // factor, and text and background colours inverted. Each is its own inverse given the
    // reciprocal factor, or a second inversion.
    virtual void adjustTextSizeByFactor(double factor) { Q_UNUSED(factor); }
    virtual void invertColors() {}
};
