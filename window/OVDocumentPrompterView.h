#pragma once

#include "prompter_view/OVPrompterView.h"

#include <optional>
#include <utility>

class TextView;

// The document window's content: the prompter view around the document's rich-text view, which the
// core scrolls in Prompt mode and the user edits in Edit mode, with the prompter's position as the
// document stores it.
class OVDocumentPrompterView : public OVPrompterView {
public:
    explicit OVDocumentPrompterView(const Rect& frame);
    ~OVDocumentPrompterView() override;

    TextView* documentTextView() const;

    // The prompter's position: 0 at the script's top, 1 where its end reaches the bottom, on the
    // whole text laid out.
    double positionRatio() const;
    void setPositionRatio(double ratio);
    // The position a file keeps, as the script opens: in a long text not laid out yet the share is
    // taken of the estimated height, and the line there stays as the text above is laid out, so
    // that opening a script far down does not wait for the layout of all the text above it.
    void restorePositionRatio(double ratio);
    // The line at the top: its first character and how far below its top the view's top is; absent
    // where no line is there. Asks only about the lines shown, so it lays out nothing new.
    std::optional<std::pair<qsizetype, double>> lineAtTop() const;
    // Puts the line holding index at the top, offset into it, laying out that line where the height
    // estimates place it rather than the text above it; the corrections that layout from the start
    // brings keep it there. False, with nothing changed, when index is outside the text.
    bool setLineAtTop(qsizetype index, double offset);

private:
    // Below this many characters the whole text is laid out to place a share exactly: it takes a
    // few milliseconds.
    static constexpr qsizetype kLongestTextLaidOutToPlace = 1 << 16;

    void placeWhereEstimated(double ratio);
};
