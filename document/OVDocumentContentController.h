#pragma once

#include "document/OVScrollbarAnchor.h"
#include "platform/foundation/Rect.h"
#include "platform/text/Color.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class AttributedString;
class MutableAttributedString;
class OVTextView;

// What the document asks of the window that shows it: loaded state goes in when the window has
// loaded, and a save, an export or printing takes the text and the prompter state back out. The
// document window controller implements it; tests give the document a stand-in.
class OVDocumentContentController {
public:
    virtual ~OVDocumentContentController() = default;

    // Loading, in this order: everything between suspendUndo and restoreUndo leaves no undo step.
    virtual void suspendUndo() = 0;
    virtual void restoreUndo() = 0;
    virtual void setAttributedString(const AttributedString& string) = 0;
    // Range strings as saved ("{location, length}"); one outside the text is logged and dropped, and
    // with none left the caret goes to the start.
    virtual void setSelectedRangesStringArray(const QStringList& ranges) = 0;
    virtual void setPrompterSpeed(double speed) = 0;
    // In the platform's convention (origin at the bottom left of the primary screen); the size is
    // kept within the window's limits, and a frame on no screen moves onto the primary one.
    virtual void setWindowFrame(const Rect& frame) = 0;
    // 0 at the top, 1 where the end of the text reaches the bottom; clamped to that.
    virtual void setPrompterPositionRatio(double ratio) = 0;
    // The share a file keeps, as the script opens: a long text is not laid out for it first, but
    // placed on its estimated height (the line there then stays as the text above is laid out).
    virtual void restorePrompterPositionRatio(double ratio) { setPrompterPositionRatio(ratio); }
    // Puts the anchor's line at the top without laying out the text above it; false, with nothing
    // changed, when the anchor names no line of the text (the caller then restores by the share).
    virtual bool setPrompterScrollbarAnchor(const OVScrollbarAnchor& anchor) = 0;
    virtual void setBackgroundColor(const Color& color) = 0;
    // The shared default style over the whole text and the background, as an import gets it.
    virtual void applyDefaultStyleWithoutUndo() = 0;
    // Deletes the newline (a CR LF pair whole) that an importer added after the text.
    virtual void removeUnnecessaryNewlineAtEnd() = 0;
    virtual void documentLoadingFinished() = 0;

    // Saving. Each storage is a new copy the caller owns and may change; the editor's own is never
    // handed out.
    // The editor's text with bookmarks of their own, so the copy shares nothing with the editor.
    virtual std::unique_ptr<MutableAttributedString> coreTextViewTextStorage() const = 0;
    // The copy with lines ending in "\n" and its bookmarks ready to show.
    virtual std::unique_ptr<MutableAttributedString> textViewTextStorage() const = 0;
    // The copy with its bookmarks ready to be written.
    virtual std::unique_ptr<MutableAttributedString> exportableTextStorage() const = 0;
    // The copy in a style any reader prints well on white: no attachments or bookmarks, font sizes
    // within the print panel's small band, dark readable colours, no highlights, paragraphs with
    // their alignment and direction alone.
    virtual std::unique_ptr<MutableAttributedString> exportableStyleSimplifiedStorage() const = 0;
    virtual std::optional<Color> backgroundColor() const = 0;
    virtual Color styleSimplifiedBackgroundColor() const = 0;
    // Counted in the text with its lines ending in "\n", as the saved text is.
    virtual QStringList selectedRangesStringArray() const = 0;
    virtual std::optional<double> prompterPositionRatioNumber() const = 0;
    // The line at the top, in the saved text's characters; absent where no line is at the top. It
    // lays out nothing that is not laid out already.
    virtual std::optional<OVScrollbarAnchor> prompterScrollbarAnchor() const = 0;
    virtual std::optional<double> prompterSpeedNumber() const = 0;
    virtual std::optional<QString> windowFrameString() const = 0;
    // After a save, so later typing starts a new undo step.
    virtual void breakUndoCoalescing() = 0;

    // Printing: a new view of the script laid out as Prompt mode shows it on the output, without
    // bookmarks, on the prompter's background.
    virtual std::unique_ptr<OVTextView> printableTextView() = 0;

    // Whether the prompting core works for this window now.
    virtual bool isCoreController() const = 0;
};
