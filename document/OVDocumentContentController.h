#pragma once

#include "platform/foundation/Rect.h"
#include "platform/text/Color.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class AttributedString;
class MutableAttributedString;

// What the document asks of the window that shows it: loaded state goes in when the window has
// loaded, and a save takes the text and the prompter state back out. The document window controller
// implements it; tests give the document a stand-in.
class OVDocumentContentController {
public:
    virtual ~OVDocumentContentController() = default;

    // Loading: everything between suspendUndo and restoreUndo leaves no undo step.
    virtual void suspendUndo() = 0;
    virtual void restoreUndo() = 0;
    virtual void setAttributedString(const AttributedString& string) = 0;
    virtual void setSelectedRangesStringArray(const QStringList& ranges) = 0;
    virtual void setPrompterSpeed(double speed) = 0;
    virtual void setWindowFrame(const Rect& frame) = 0;
    virtual void setPrompterPositionRatio(double ratio) = 0;
    virtual void setBackgroundColor(const Color& color) = 0;
    // The shared default style over the whole text and the background, as an import gets it.
    virtual void applyDefaultStyleWithoutUndo() = 0;
    // Deletes the last character when it is a newline (one an importer added).
    virtual void removeUnnecessaryNewlineAtEnd() = 0;
    virtual void documentLoadingFinished() = 0;

    // Saving. The text is a copy the writer may change.
    virtual std::unique_ptr<MutableAttributedString> exportableTextStorage() const = 0;
    virtual std::optional<Color> backgroundColor() const = 0;
    virtual QStringList selectedRangesStringArray() const = 0;
    virtual std::optional<double> prompterPositionRatioNumber() const = 0;
    virtual std::optional<double> prompterSpeedNumber() const = 0;
    virtual std::optional<QString> windowFrameString() const = 0;
    // After a save, so later typing starts a new undo step.
    virtual void breakUndoCoalescing() = 0;

    // Whether the prompting core works for this window now.
    virtual bool isCoreController() const = 0;
};
