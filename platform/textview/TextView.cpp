#include "platform/textview/TextView.h"

#include "platform/appkit/ClipView.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/Pasteboard.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/ScrollView.h"
#include "platform/appkit/Timer.h"
#include "platform/appkit/UndoManager.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/FileWrapper.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/TextAttachment.h"
#include "platform/text/TextAttachmentCell.h"
#include "platform/textview/FindBar.h"
#include "platform/textview/RulerView.h"
#include "platform/textview/SpellChecker.h"
#include "platform/textview/TextViewCommands.h"
#include "platform/textview/TextViewKeyBindings.h"

#include <QBuffer>
#include <QInputMethodEvent>
#include <QPainter>
#include <QTextCharFormat>

#include <algorithm>
#include <cmath>
#include <map>
#include <new>

static const QString kHideFindIndicatorSelector = QStringLiteral("hideFindIndicator");

// What undoing one user change needs: the range the change left in the text and what stood there
// before. Undoing swaps the two and registers the swap back.
struct TextView::TextUndo {
    Range range;
    AttributedString original;
};

TextView::TextView(const Rect& frame, std::shared_ptr<LayoutManager> layoutManager)
    : View(frame),
      m_layoutManager(layoutManager ? std::move(layoutManager) : std::make_shared<LayoutManager>())
{
    m_minSize = frame.size;
    m_typingAttributes.insert(kFontAttributeName,
                              Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica"), 12});
    m_typingAttributes.insert(kForegroundColorAttributeName, Color::gray(0));
    attachLayoutManager();
    updateContainerSize();
    m_rulerClient = std::make_shared<TextView*>(this);
    registerActions();
    resetCursorRects();
}

void TextView::resetCursorRects()
{
    // An I-beam over selectable text; the window picks the cursor from these rects as the mouse moves.
    discardCursorRects();
    if (m_selectable)
        addCursorRect(bounds(), Cursor::iBeamCursor());
}

void TextView::registerActions()
{
    // The Edit menu's commands reach the view through the responder chain and are validated here.
    auto hasSelection = [this](const UserInterfaceItem&) {
        return m_selectable && selectedRange().length > 0;
    };
    auto canEditSelection = [this](const UserInterfaceItem&) {
        return m_editable && selectedRange().length > 0;
    };
    auto canPaste = [this](const UserInterfaceItem&) {
        return m_editable &&
               !pasteboard()
                    .availableTypeFromArray({kPasteboardTypeRTFD, kPasteboardTypeRTF, kPasteboardTypeHTML,
                                             kPasteboardTypeString, kPasteboardTypePNG, kPasteboardTypeTIFF})
                    .isEmpty();
    };
    auto command = [this](const QString& selector) {
        return [this, selector](const QVariant&) { doCommandBySelector(selector); };
    };
    setActionHandler(QStringLiteral("copy:"), command(QStringLiteral("copy:")), hasSelection);
    setActionHandler(QStringLiteral("cut:"), command(QStringLiteral("cut:")), canEditSelection);
    setActionHandler(QStringLiteral("delete:"), command(QStringLiteral("delete:")), canEditSelection);
    setActionHandler(QStringLiteral("paste:"), command(QStringLiteral("paste:")), canPaste);
    setActionHandler(QStringLiteral("pasteAsPlainText:"), command(QStringLiteral("pasteAsPlainText:")),
                     [this](const UserInterfaceItem&) {
                         return m_editable && !pasteboard().stringForType(kPasteboardTypeString).isNull();
                     });
    setActionHandler(QStringLiteral("selectAll:"), command(QStringLiteral("selectAll:")),
                     [this](const UserInterfaceItem&) { return m_selectable && textStorage().length() > 0; });
    setActionHandler(QStringLiteral("undo:"), command(QStringLiteral("undo:")),
                     [this](const UserInterfaceItem&) { return m_allowsUndo && undoManager()->canUndo(); });
    setActionHandler(QStringLiteral("redo:"), command(QStringLiteral("redo:")),
                     [this](const UserInterfaceItem&) { return m_allowsUndo && undoManager()->canRedo(); });
    setActionHandler(QStringLiteral("toggleRuler:"), [this](const QVariant&) { toggleRuler(); },
                     [this](const UserInterfaceItem&) { return m_usesRuler; });
    setActionHandler(QStringLiteral("performFindPanelAction:"),
                     command(QStringLiteral("performFindPanelAction:")),
                     [this](const UserInterfaceItem&) { return m_usesFindBar; });
}

TextView::~TextView()
{
    *m_rulerClient = nullptr;
    RunLoop::main().cancelPreviousPerformRequests(this, kHideFindIndicatorSelector);
    stopBlink();
    if (m_layoutManager) {
        m_layoutManager->removeLayoutObserver(m_layoutObserver);
        m_layoutManager->removeTextView(this);
    }
    if (UndoManager* manager = m_externalUndoManager)
        manager->removeAllActionsWithTarget(this);
}

void TextView::attachLayoutManager()
{
    m_layoutManager->addTextView(this);
    m_layoutObserver = m_layoutManager->addLayoutObserver(
        [this](const Range& range, bool heightChanged) { layoutChanged(range, heightChanged); });
}

void TextView::setLayoutManager(std::shared_ptr<LayoutManager> layoutManager)
{
    if (!layoutManager || layoutManager == m_layoutManager)
        return;
    m_layoutManager->removeLayoutObserver(m_layoutObserver);
    m_layoutManager->removeTextView(this);
    m_layoutManager = std::move(layoutManager);
    attachLayoutManager();
    m_markedRange = {0, 0};
    m_typingUndo.reset();
    setSelectedRanges({snapped(selectedRange())});
    updateContainerSize();
    sizeToFit();
    setNeedsDisplay(true);
}

void TextView::setTextContainerInset(const Size& inset)
{
    m_inset = {std::isfinite(inset.width) ? std::max(0.0, inset.width) : 0.0,
               std::isfinite(inset.height) ? std::max(0.0, inset.height) : 0.0};
    updateContainerSize();
    sizeToFit();
    setNeedsDisplay(true);
}

void TextView::frameDidChange(const Size& oldSize)
{
    View::frameDidChange(oldSize);
    if (frame().size.width != oldSize.width)
        updateContainerSize();
    resetCursorRects();
}

void TextView::updateContainerSize()
{
    if (!m_layoutManager->textContainer().widthTracksTextView())
        return;
    // Views sharing a layout manager draw one container; only the first decides its width, so a
    // second one of another width never makes the text be laid out again under the first.
    if (m_layoutManager->firstTextView() != this)
        return;
    const double width = std::max(0.0, frame().size.width - 2 * m_inset.width);
    m_layoutManager->setTextContainerSize({width, m_layoutManager->textContainer().size().height});
}

void TextView::sizeToFit()
{
    if (!m_verticallyResizable)
        return;
    const double needed = m_layoutManager->usedRectForTextContainer().height() + 2 * m_inset.height;
    const double height = std::max(needed, m_minSize.height);
    if (std::abs(height - frame().size.height) > 1e-9)
        setFrameSize({frame().size.width, height});
}

void TextView::setVerticallyResizable(bool flag)
{
    m_verticallyResizable = flag;
    sizeToFit();
}

void TextView::setMinSize(const Size& size)
{
    m_minSize = size;
    sizeToFit();
}

void TextView::layoutChanged(const Range& range, bool heightChanged)
{
    // Edits made to the storage directly may leave the selection or the marked text past the end.
    const qsizetype length = textStorage().length();
    if (m_markedRange.end() > length)
        m_markedRange = {0, 0};
    if (m_selectedRanges.back().end() > length) {
        std::vector<Range> clamped;
        for (const Range& selected : m_selectedRanges)
            clamped.push_back(selected.intersection({0, length}).isEmpty()
                                  ? Range{std::min(selected.location, length), 0}
                                  : selected.intersection({0, length}));
        const bool changing = m_changingText;
        m_changingText = true;
        setSelectedRanges(clamped);
        m_changingText = changing;
    }
    // Text laid out on its own where the estimates placed it moves when layout from the start reaches
    // it; what is shown keeps its place on screen.
    auto* clip = dynamic_cast<ClipView*>(superview());
    const double move =
        heightChanged && clip
            ? m_layoutManager->reportedMoveAt(clip->bounds().origin.y - textContainerOrigin().y)
            : 0.0;
    sizeToFit();
    if (move != 0 && std::isfinite(move)) {
        const Point shown = clip->bounds().origin;
        clip->scrollToPoint({shown.x, shown.y + move});
        if (ScrollView* scroll = enclosingScrollView())
            scroll->reflectScrolledClipView(clip);
    }
    const Point origin = textContainerOrigin();
    if (heightChanged) {
        // Background layout reports every slice this way; one below the visible lines moves nothing
        // shown, and asking where it starts lays nothing out.
        const double top = m_layoutManager->paragraphTopForCharacterIndex(range.location) + origin.y;
        if (top <= visibleRect().maxY())
            setNeedsDisplay(true);
        return;
    }
    // Only the shown lines are redrawn, and of them only the first and last line's extent matter:
    // the range's rects would place a caret in every line just laid out, and asking past what is
    // shown would lay out (and shape again) every paragraph down to the range's end.
    const Range shown = visibleCharacterRange();
    const qsizetype from = std::max(range.location, shown.location);
    const qsizetype to = std::min({range.end(), shown.end(), length});
    Rect dirty;
    bool any = false;
    if (to > from) {
        for (const qsizetype index : {from, to - 1}) {
            const Rect rect = m_layoutManager->lineFragmentRectForGlyphAtIndex(index);
            if (rect.isEmpty())
                continue;
            const Rect line(0, rect.minY() + origin.y, bounds().size.width, rect.height());
            dirty = any ? dirty.united(line) : line;
            any = true;
        }
    }
    if (range.end() >= shown.location && range.end() <= shown.end() + 1) {
        const Rect caret = m_layoutManager->insertionPointRectForCharacterIndex(range.end());
        const Rect caretLine(0, caret.minY() + origin.y, bounds().size.width, caret.height());
        dirty = any ? dirty.united(caretLine) : caretLine;
        any = true;
    }
    if (any)
        setNeedsDisplayInRect(dirty);
}

void TextView::setString(const QString& string)
{
    m_typingUndo.reset();
    m_markedRange = {0, 0};
    textStorage().replaceCharacters({0, textStorage().length()}, string, m_typingAttributes);
    setSelectedRanges({Range{0, 0}});
}

void TextView::setEditable(bool flag)
{
    m_editable = flag;
    if (flag)
        m_selectable = true;
    restartBlink();
}

void TextView::setSelectable(bool flag)
{
    m_selectable = flag;
    if (!flag)
        m_editable = false;
    resetCursorRects();
    restartBlink();
}

void TextView::setRichText(bool flag)
{
    m_richText = flag;
}

void TextView::setBackgroundColor(const QColor& color)
{
    m_backgroundColor = color;
    setNeedsDisplay(true);
}

void TextView::setDrawsBackground(bool flag)
{
    m_drawsBackground = flag;
    setNeedsDisplay(true);
}

void TextView::setInsertionPointColor(const QColor& color)
{
    m_insertionPointColor = color;
    setNeedsDisplayInRect(insertionPointRect());
}

void TextView::setSelectedTextBackgroundColor(const QColor& color)
{
    m_selectionColor = color;
    invalidateSelection(m_selectedRanges);
}

void TextView::setInactiveSelectionColor(const QColor& color)
{
    m_inactiveSelectionColor = color;
    invalidateSelection(m_selectedRanges);
}

bool TextView::isActive() const
{
    if (m_forcesActive)
        return true;
    Window* owner = window();
    return owner && owner->firstResponder() == this && owner->isKeyWindow();
}

void TextView::setForcesActive(bool flag)
{
    m_forcesActive = flag;
    restartBlink();
    setNeedsDisplay(true);
}

QColor TextView::selectionColorForDrawing() const
{
    return isActive() ? m_selectionColor : m_inactiveSelectionColor;
}

// Selection.

Range TextView::snapped(const Range& range) const
{
    const TextStorage& storage = textStorage();
    const qsizetype length = storage.length();
    qsizetype start = std::clamp<qsizetype>(range.location, 0, length);
    qsizetype end = std::clamp<qsizetype>(range.length > 0 ? range.end() : start, start, length);
    auto insidePair = [&](qsizetype index) {
        return index > 0 && index < length && QChar::isLowSurrogate(storage.characterAtIndex(index)) &&
               QChar::isHighSurrogate(storage.characterAtIndex(index - 1));
    };
    if (insidePair(start))
        --start;
    if (range.length <= 0)
        end = start;
    else if (insidePair(end))
        ++end;
    return {start, end - start};
}

void TextView::setSelectedRange(const Range& range)
{
    setSelectedRanges({range});
}

void TextView::setSelectedRanges(std::vector<Range> ranges, bool stillSelecting)
{
    for (Range& range : ranges)
        range = snapped(range);
    if (ranges.empty())
        ranges.push_back({textStorage().length(), 0});
    std::sort(ranges.begin(), ranges.end(),
              [](const Range& a, const Range& b) { return a.location < b.location; });
    std::vector<Range> joined;
    for (const Range& range : ranges) {
        if (!joined.empty() && range.location <= joined.back().end() &&
            (range.length > 0 || joined.back().length > 0)) {
            const qsizetype end = std::max(joined.back().end(), range.end());
            joined.back().length = end - joined.back().location;
        } else if (joined.empty() || range.length > 0) {
            joined.push_back(range);
        }
    }
    // Carets only stand alone: with real selections they add nothing.
    if (joined.size() > 1)
        std::erase_if(joined, [](const Range& range) { return range.length == 0; });
    if (joined.empty())
        joined.push_back(ranges.front());
    if (m_delegate && !m_changingText)
        joined = m_delegate->textViewWillChangeSelection(*this, m_selectedRanges, joined);
    if (joined.empty())
        joined.push_back({0, 0});
    const std::vector<Range> old = m_selectedRanges;
    if (old == joined) {
        // The text under an unchanged caret may be new (a document just loaded into the view):
        // typing takes its attributes, not those of the text that was there before.
        if (!stillSelecting && !m_changingText)
            updateTypingAttributesFromSelection();
        return;
    }
    m_selectedRanges = std::move(joined);
    if (!m_changingText)
        m_typingUndo.reset();
    invalidateSelection(old);
    invalidateSelection(m_selectedRanges);
    if (!stillSelecting && !m_changingText)
        updateTypingAttributesFromSelection();
    restartBlink();
    if (m_delegate)
        m_delegate->textViewDidChangeSelection(*this, old);
    NotificationCenter::shared().postNotification(
        kTextViewDidChangeSelectionNotification, this,
        {{QStringLiteral("NSOldSelectedCharacterRange"),
          QVariantList{qlonglong(old.front().location), qlonglong(old.front().length)}}});
    updateRuler();
}

void TextView::updateTypingAttributesFromSelection()
{
    const TextStorage& storage = textStorage();
    if (storage.length() == 0)
        return;
    const Range range = selectedRange();
    // Typing takes the attributes of the character before the caret, or of the first selected one.
    qsizetype index = range.length > 0 ? range.location : range.location - 1;
    if (index < 0)
        index = 0;
    index = std::min(index, storage.length() - 1);
    AttributeDictionary attributes = storage.attributesAtIndex(index);
    // Typing next to a picture must not repeat the picture.
    attributes.remove(kAttachmentAttributeName);
    setTypingAttributes(attributes);
}

void TextView::invalidateSelection(const std::vector<Range>& ranges)
{
    const Point origin = textContainerOrigin();
    // Only the part that shows is drawn again: finding the rectangles of a whole long selection
    // would lay out the whole text.
    std::optional<Range> visible;
    for (const Range& range : ranges) {
        if (range.length == 0) {
            setNeedsDisplayInRect(insertionPointRect().insetBy(-2, 0));
            continue;
        }
        if (!visible)
            visible = visibleCharacterRange();
        const Range shown = range.intersection(*visible);
        if (shown.isEmpty())
            continue;
        for (const Rect& rect : m_layoutManager->rectsForCharacterRange(shown))
            setNeedsDisplayInRect(rect.offsetBy(origin.x, origin.y));
    }
}

void TextView::selectAll()
{
    setSelectedRange({0, textStorage().length()});
}

void TextView::setTypingAttributes(const AttributeDictionary& attributes)
{
    if (attributes == m_typingAttributes)
        return;
    m_typingAttributes = attributes;
    if (m_delegate)
        m_delegate->textViewDidChangeTypingAttributes(*this);
    NotificationCenter::shared().postNotification(kTextViewDidChangeTypingAttributesNotification, this);
    updateRuler();
}

// Changes.

UndoManager* TextView::undoManager()
{
    if (m_delegate) {
        if (UndoManager* manager = m_delegate->undoManagerForTextView(*this))
            return manager;
    }
    if (m_externalUndoManager)
        return m_externalUndoManager;
    if (!m_ownUndoManager)
        m_ownUndoManager = std::make_unique<UndoManager>();
    return m_ownUndoManager.get();
}

AttributedString TextView::attributedForInsertion(const QString& string) const
{
    return AttributedString(string, m_typingAttributes);
}

void TextView::replaceCharactersInRange(const Range& range, const QString& string)
{
    const Range clipped = snapped(range);
    textStorage().replaceCharacters(clipped, string);
}

void TextView::replaceCharactersInRange(const Range& range, const AttributedString& string)
{
    const Range clipped = snapped(range);
    textStorage().replaceCharacters(clipped, string);
}

bool TextView::shouldChangeTextInRange(const Range& range, const QString& string)
{
    return shouldChangeTextInRanges({range}, {string});
}

bool TextView::shouldChangeTextInRanges(const std::vector<Range>& ranges, const QStringList& strings)
{
    if (!m_editable)
        return false;
    if (m_delegate && !m_delegate->textViewShouldChangeTextInRanges(*this, ranges, strings))
        return false;
    if (!m_allowsUndo || !undoManager()->isUndoRegistrationEnabled())
        return true;
    // Each range gets its own inverse, registered from the last so the stored ranges stay valid when
    // the group runs backwards.
    const TextStorage& storage = textStorage();
    std::vector<std::pair<Range, qsizetype>> changes;
    for (qsizetype i = 0; i < qsizetype(ranges.size()); ++i) {
        const Range range = snapped(ranges[i]);
        const QString replacement = i < strings.size() ? strings[i] : QString();
        changes.emplace_back(range, replacement.isNull() ? range.length : replacement.size());
    }
    std::sort(changes.begin(), changes.end(),
              [](const auto& a, const auto& b) { return a.first.location < b.first.location; });
    qsizetype shift = 0;
    std::vector<std::shared_ptr<TextUndo>> undos;
    for (const auto& [range, newLength] : changes) {
        auto undo = std::make_shared<TextUndo>();
        undo->range = {range.location + shift, newLength};
        undo->original = storage.attributedSubstring(range);
        shift += newLength - range.length;
        undos.push_back(undo);
    }
    for (const auto& undo : undos)
        registerUndo(undo);
    m_typingUndo.reset();
    return true;
}

void TextView::registerUndo(const std::shared_ptr<TextUndo>& undo)
{
    UndoManager* manager = undoManager();
    manager->registerUndo(this, [this, undo] { applyUndo(undo); });
}

void TextView::applyUndo(const std::shared_ptr<TextUndo>& undo)
{
    TextStorage& storage = textStorage();
    const Range range = undo->range.intersection({0, storage.length()}).isEmpty()
                            ? Range{std::clamp<qsizetype>(undo->range.location, 0, storage.length()), 0}
                            : undo->range.intersection({0, storage.length()});
    auto inverse = std::make_shared<TextUndo>();
    inverse->range = {range.location, undo->original.length()};
    inverse->original = storage.attributedSubstring(range);
    registerUndo(inverse);
    m_changingText = true;
    m_markedRange = {0, 0};
    storage.replaceCharacters(range, undo->original);
    m_changingText = false;
    m_typingUndo.reset();
    setSelectedRange(undo->original.length() > 0 ? inverse->range : Range{range.location, 0});
    didChangeText();
}

void TextView::didChangeText()
{
    if (m_delegate)
        m_delegate->textDidChange(*this);
    NotificationCenter::shared().postNotification(kTextDidChangeNotification, this);
    if (m_spellChecking)
        checkSpellingInRange(textStorage().paragraphRange(selectedRange()));
}

void TextView::breakUndoCoalescing()
{
    m_typingUndo.reset();
}

bool TextView::userReplace(const Range& requested, const AttributedString& replacement,
                           const QString& actionName, bool typing)
{
    const Range range = snapped(requested);
    if (!m_editable)
        return false;
    UndoManager* manager = undoManager();
    const bool undoable = m_allowsUndo && manager->isUndoRegistrationEnabled();
    std::shared_ptr<TextUndo> run =
        typing && undoable && m_typingUndo && m_typingUndoChangeCount == manager->changeCount() ? m_typingUndo
                                                                                                : nullptr;
    TextStorage& storage = textStorage();
    if (run) {
        // Continue the typing run when the change touches its end.
        const qsizetype runEnd = run->range.end();
        if (range.location == runEnd && range.length == 0) {
            // Typed after the run.
        } else if (replacement.length() == 0 && range.end() == runEnd &&
                   range.location >= run->range.location) {
            // Deleted typed characters backwards.
        } else if (replacement.length() == 0 &&
                   range.end() == run->range.location + (runEnd - run->range.location) &&
                   range.location < run->range.location) {
            // Deleted back past where the run began: those characters join what undo restores.
        } else if (replacement.length() == 0 && range.location == runEnd) {
            // Deleted forward from the run's end.
        } else {
            run.reset();
        }
    }
    if (m_delegate && !m_delegate->textViewShouldChangeTextInRanges(*this, {range}, {replacement.string()}))
        return false;
    if (run) {
        const qsizetype runEnd = run->range.end();
        if (range.location == runEnd && range.length == 0) {
            run->range.length += replacement.length();
        } else if (range.location >= run->range.location && range.end() == runEnd) {
            run->range.length -= range.length;
        } else if (range.end() == runEnd) {
            AttributedString before =
                storage.attributedSubstring({range.location, run->range.location - range.location});
            MutableAttributedString joined(before);
            joined.append(run->original);
            run->original = joined;
            run->range = {range.location, 0};
        } else {
            MutableAttributedString joined(run->original);
            joined.append(storage.attributedSubstring(range));
            run->original = joined;
        }
    } else if (undoable) {
        auto undo = std::make_shared<TextUndo>();
        undo->range = {range.location, replacement.length()};
        undo->original = storage.attributedSubstring(range);
        registerUndo(undo);
        manager->setActionName(actionName);
        m_typingUndo = typing ? undo : nullptr;
        m_typingUndoChangeCount = manager->changeCount();
    }
    m_changingText = true;
    storage.replaceCharacters(range, replacement);
    m_changingText = false;
    const std::shared_ptr<TextUndo> keep = m_typingUndo;
    setSelectedRange({range.location + replacement.length(), 0});
    m_typingUndo = typing ? keep : nullptr;
    scrollRangeToVisible(selectedRange());
    didChangeText();
    return true;
}

void TextView::insertText(const QString& string, std::optional<Range> replacementRange)
{
    insertText(attributedForInsertion(string), replacementRange);
}

void TextView::insertText(const AttributedString& string, std::optional<Range> replacementRange)
{
    Range range = replacementRange ? *replacementRange : hasMarkedText() ? m_markedRange : selectedRange();
    if (hasMarkedText() && !replacementRange)
        range = m_markedRange;
    m_markedRange = {0, 0};
    AttributedString text = string;
    if (!m_richText)
        text = AttributedString(string.string(), m_typingAttributes);
    userReplace(range, text, QStringLiteral("Typing"), true);
}

void TextView::deleteRange(const Range& range, bool)
{
    if (range.length <= 0)
        return;
    userReplace(range, AttributedString(), QStringLiteral("Typing"), true);
}

void TextView::deleteSelection()
{
    // Each change resets the selection, so the ranges are taken first.
    const std::vector<Range> ranges = m_selectedRanges;
    for (auto range = ranges.rbegin(); range != ranges.rend(); ++range) {
        if (range->length > 0)
            userReplace(*range, AttributedString(), QStringLiteral("Delete"), false);
    }
}

// Marked text.

void TextView::setMarkedText(const QString& string, const Range& selectedRange,
                             std::optional<Range> replacementRange)
{
    Range range = replacementRange  ? *replacementRange
                  : hasMarkedText() ? m_markedRange
                                    : this->selectedRange();
    range = snapped(range);
    if (!m_editable)
        return;
    // A composition starts its own undo step; pre-edit text is not undoable on its own, the committed
    // text is.
    if (!hasMarkedText())
        m_typingUndo.reset();
    UndoManager* manager = undoManager();
    manager->disableUndoRegistration();
    m_changingText = true;
    textStorage().replaceCharacters(range, string, m_typingAttributes);
    m_changingText = false;
    manager->enableUndoRegistration();
    m_markedRange = {range.location, string.size()};
    if (!string.isEmpty())
        m_layoutManager->addTemporaryAttribute(kTemporaryUnderlineStyleAttributeName, kUnderlineStyleSingle,
                                               m_markedRange);
    const qsizetype caret = std::clamp<qsizetype>(selectedRange.location, 0, string.size());
    const qsizetype length = std::clamp<qsizetype>(selectedRange.length, 0, string.size() - caret);
    m_changingText = true;
    setSelectedRange({range.location + caret, length});
    m_changingText = false;
}

void TextView::unmarkText()
{
    if (hasMarkedText())
        m_layoutManager->removeTemporaryAttribute(kTemporaryUnderlineStyleAttributeName, m_markedRange);
    m_markedRange = {0, 0};
}

bool TextView::inputMethodEvent(QInputMethodEvent& event)
{
    if (!m_editable)
        return false;
    // The committed text replaces the pre-edit text (or the selection) through the user path, so it
    // is checked and undoable like typing.
    if (hasMarkedText()) {
        UndoManager* manager = undoManager();
        manager->disableUndoRegistration();
        const Range marked = m_markedRange;
        unmarkText();
        m_changingText = true;
        textStorage().replaceCharacters(marked, QString());
        m_changingText = false;
        manager->enableUndoRegistration();
        m_changingText = true;
        setSelectedRange({marked.location, 0});
        m_changingText = false;
    }
    if (!event.commitString().isEmpty()) {
        std::optional<Range> replacement;
        if (event.replacementLength() != 0) {
            const qsizetype caret = selectedRange().location;
            replacement = Range{caret + event.replacementStart(), event.replacementLength()};
        }
        insertText(event.commitString(), replacement);
    }
    if (!event.preeditString().isEmpty()) {
        Range selection{event.preeditString().size(), 0};
        for (const QInputMethodEvent::Attribute& attribute : event.attributes()) {
            if (attribute.type == QInputMethodEvent::Cursor)
                selection = {attribute.start, 0};
        }
        setMarkedText(event.preeditString(), selection);
    }
    return true;
}

QVariant TextView::inputMethodQuery(Qt::InputMethodQuery query) const
{
    const Range selection = selectedRange();
    switch (query) {
    case Qt::ImEnabled:
        return m_editable;
    case Qt::ImCursorRectangle: {
        const Rect caret = convertRectToView(insertionPointRect(), nullptr);
        return QRectF(caret.minX(), caret.minY(), caret.width(), caret.height());
    }
    case Qt::ImCursorPosition: {
        const Range paragraph = textStorage().paragraphRange(selection);
        return int(selection.location - paragraph.location);
    }
    case Qt::ImAnchorPosition: {
        const Range paragraph = textStorage().paragraphRange(selection);
        return int(selection.end() - paragraph.location);
    }
    case Qt::ImSurroundingText:
        return textStorage().substring(textStorage().paragraphRange(selection));
    case Qt::ImCurrentSelection:
        return textStorage().substring(selection);
    default:
        return {};
    }
}

// Commands.

qsizetype TextView::insertionIndex() const
{
    const Range range = selectedRange();
    return range.location;
}

bool TextView::doCommandBySelector(const QString& selector)
{
    if (m_delegate && m_delegate->textViewDoCommandBySelector(*this, selector))
        return true;
    return TextViewCommands(*this).perform(selector);
}

void TextView::scrollDocumentByPages(int pages)
{
    ScrollView* scroll = enclosingScrollView();
    if (!scroll)
        return;
    // A page keeps one line of the last page in view, so the reader does not lose the place.
    const double page = std::max(scroll->verticalLineScroll(),
                                 scroll->contentView()->bounds().size.height - scroll->verticalLineScroll());
    scrollDocumentBy(pages * page);
}

void TextView::scrollDocumentByLines(int lines)
{
    if (ScrollView* scroll = enclosingScrollView())
        scrollDocumentBy(lines * scroll->verticalLineScroll());
}

void TextView::scrollDocumentBy(double distance)
{
    ScrollView* scroll = enclosingScrollView();
    if (!scroll)
        return;
    ClipView* clip = scroll->contentView();
    Rect proposed = clip->bounds();
    // Down the text is up the coordinates of a view that is not flipped.
    proposed.origin.y += isFlipped() ? distance : -distance;
    clip->scrollToPoint(clip->constrainBoundsRect(proposed).origin);
    scroll->reflectScrolledClipView(clip);
}

void TextView::undo()
{
    m_typingUndo.reset();
    UndoManager* manager = undoManager();
    if (manager->canUndo())
        manager->undo();
}

void TextView::redo()
{
    m_typingUndo.reset();
    UndoManager* manager = undoManager();
    if (manager->canRedo())
        manager->redo();
}

Pasteboard& TextView::pasteboard() const
{
    return m_pasteboard ? *m_pasteboard : Pasteboard::general();
}

void TextView::copy()
{
    const Range range = selectedRange();
    if (range.length == 0)
        return;
    MutableAttributedString copied;
    // Several selected ranges are copied one after another, as separate lines.
    for (const Range& selected : m_selectedRanges) {
        if (selected.length == 0)
            continue;
        if (copied.length() > 0)
            copied.append(QStringLiteral("\n"), copied.attributesAtIndex(copied.length() - 1));
        copied.append(textStorage().attributedSubstring(selected));
    }
    Pasteboard& board = pasteboard();
    board.clearContents();
    if (m_richText)
        board.writeAttributedString(copied);
    else
        board.setString(copied.string(), kPasteboardTypeString);
}

void TextView::cut()
{
    if (!m_editable || selectedRange().length == 0)
        return;
    copy();
    const std::vector<Range> ranges = m_selectedRanges;
    for (auto range = ranges.rbegin(); range != ranges.rend(); ++range) {
        if (range->length > 0)
            userReplace(*range, AttributedString(), QStringLiteral("Cut"), false);
    }
}

void TextView::paste()
{
    if (!m_editable)
        return;
    if (!m_richText)
        return pasteAsPlainText();
    Pasteboard& board = pasteboard();
    const bool hasText = !board
                              .availableTypeFromArray({kPasteboardTypeRTFD, kPasteboardTypeRTF,
                                                       kPasteboardTypeHTML, kPasteboardTypeString})
                              .isEmpty();
    if (!hasText) {
        // A picture alone (a screenshot) becomes an attachment; it needs a file name with an image
        // extension, which is what tells later checks it is a picture.
        if (const std::optional<QImage> image = board.readImage()) {
            QByteArray png;
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            if (image->save(&buffer, "PNG")) {
                auto file = FileWrapper::makeRegularFile(png);
                file->setPreferredFilename(QStringLiteral("Pasted Graphic.png"));
                file->setFilename(QStringLiteral("Pasted Graphic.png"));
                AttributeDictionary attributes = m_typingAttributes;
                attributes.insert(kAttachmentAttributeName, std::make_shared<TextAttachment>(file));
                userReplace(selectedRange(),
                            AttributedString(QString(QChar(kAttachmentCharacter)), attributes),
                            QStringLiteral("Paste"), false);
            }
        }
        return;
    }
    MutableAttributedString pasted;
    if (!board.readAttributedString(pasted, m_typingAttributes))
        return;
    userReplace(selectedRange(), pasted, QStringLiteral("Paste"), false);
}

void TextView::pasteAsPlainText()
{
    if (!m_editable)
        return;
    const QString text = pasteboard().stringForType(kPasteboardTypeString);
    if (text.isNull())
        return;
    userReplace(selectedRange(), attributedForInsertion(text), QStringLiteral("Paste"), false);
}

// Scrolling and geometry.

Rect TextView::insertionPointRect() const
{
    const Rect caret = m_layoutManager->insertionPointRectForCharacterIndex(insertionIndex());
    const Point origin = textContainerOrigin();
    return caret.offsetBy(origin.x, origin.y);
}

void TextView::scrollRangeToVisible(const Range& range)
{
    auto* clip = dynamic_cast<ClipView*>(superview());
    if (!clip)
        return;
    const Point origin = textContainerOrigin();
    Rect target = m_layoutManager->boundingRectForGlyphRange(snapped(range)).offsetBy(origin.x, origin.y);
    // Drawn upside down about its own centre (a prompter flipped for a beam splitter), the range shows
    // where its mirror image lies.
    if (layerTransform().m22() < 0)
        target.origin.y = bounds().minY() + bounds().maxY() - target.maxY();
    const Rect visible = visibleRect();
    if (visible.isEmpty() && visible.height() <= 0)
        return;
    double y = visible.minY();
    if (target.height() > visible.height())
        target.size.height = visible.height();
    if (target.minY() < visible.minY())
        y = target.minY();
    else if (target.maxY() > visible.maxY())
        y = target.maxY() - visible.height();
    double x = visible.minX();
    if (target.minX() < visible.minX())
        x = target.minX();
    else if (target.maxX() > visible.maxX())
        x = target.maxX() - visible.width();
    if (x == visible.minX() && y == visible.minY())
        return;
    const Point topLeft = convertPointToView({x, y}, clip);
    const Point bottomLeft = convertPointToView({x, y + visible.height()}, clip);
    clip->scrollToPoint({topLeft.x, std::min(topLeft.y, bottomLeft.y)});
}

Range TextView::visibleCharacterRange() const
{
    const Point origin = textContainerOrigin();
    return m_layoutManager->glyphRangeForBoundingRect(visibleRect().offsetBy(-origin.x, -origin.y));
}

// Caret blinking.

bool TextView::becomeFirstResponder()
{
    restartBlink();
    invalidateSelection(m_selectedRanges);
    return true;
}

bool TextView::resignFirstResponder()
{
    m_typingUndo.reset();
    stopBlink();
    m_caretOn = false;
    invalidateSelection(m_selectedRanges);
    return true;
}

void TextView::restartBlink()
{
    const bool wantsCaret = m_editable && selectedRange().length == 0 &&
                            (isActive() || (window() && window()->firstResponder() == this));
    if (!wantsCaret) {
        stopBlink();
        if (m_caretOn) {
            m_caretOn = false;
            setNeedsDisplayInRect(insertionPointRect().insetBy(-2, 0));
        }
        return;
    }
    m_caretOn = true;
    setNeedsDisplayInRect(insertionPointRect().insetBy(-2, 0));
    if (!m_blinkTimer) {
        m_blinkTimer = std::make_unique<Timer>(kInsertionPointBlinkInterval, true, [this](Timer&) {
            m_caretOn = !m_caretOn;
            setNeedsDisplayInRect(insertionPointRect().insetBy(-2, 0));
        });
    }
    m_blinkTimer->invalidate();
    m_blinkTimer->schedule();
}

void TextView::stopBlink()
{
    if (m_blinkTimer)
        m_blinkTimer->invalidate();
}

// Events.

void TextView::keyDown(Event& event)
{
    if (!m_selectable) {
        View::keyDown(event);
        return;
    }
    const TextViewKeyBinding binding = TextViewKeyBindings::bindingForKeyDown(event, m_editable, m_usesFindBar);
    switch (binding.action) {
    case TextViewKeyBinding::Action::Command:
        doCommandBySelector(binding.argument);
        return;
    case TextViewKeyBinding::Action::InsertText:
        insertText(binding.argument);
        return;
    case TextViewKeyBinding::Action::PassOn:
        View::keyDown(event);
        return;
    }
}

Point TextView::containerPointForEvent(const Event& event) const
{
    const Point point = convertPointFromView(event.locationInWindow, nullptr);
    const Point origin = textContainerOrigin();
    return {point.x - origin.x, point.y - origin.y};
}

Range TextView::selectionForGranularity(qsizetype anchor, qsizetype index, Granularity granularity) const
{
    const qsizetype start = std::min(anchor, index);
    const qsizetype end = std::max(anchor, index);
    switch (granularity) {
    case Granularity::Character:
        return {start, end - start};
    case Granularity::Word: {
        const Range first = m_layoutManager->wordRangeAtIndex(start);
        const Range last = m_layoutManager->wordRangeAtIndex(end > start ? end - 1 : end);
        const qsizetype from = std::min(first.location, last.location);
        return {from, std::max(first.end(), last.end()) - from};
    }
    case Granularity::Paragraph:
        return textStorage().paragraphRange({start, end - start});
    }
    return {start, end - start};
}

void TextView::mouseDown(Event& event)
{
    if (!m_selectable) {
        View::mouseDown(event);
        return;
    }
    if (Window* owner = window(); owner && owner->firstResponder() != this)
        owner->makeFirstResponder(this);
    m_goalX.reset();
    unmarkText();
    const Point point = containerPointForEvent(event);
    const qsizetype index = m_layoutManager->insertionIndexForPoint(point);
    const qsizetype under = m_layoutManager->glyphIndexForPoint(point);
    m_trackingCellIndex = -1;
    if (under < textStorage().length() && textStorage().characterAtIndex(under) == kAttachmentCharacter) {
        if (trackMouseInCell(event, under)) {
            m_trackingCellIndex = under;
            return;
        }
        if (m_delegate && m_delegate->textViewClickedOnAttachment(*this, under, event.clickCount))
            return;
    }
    const int clicks = std::max(1, event.clickCount);
    m_granularity = clicks >= 3   ? Granularity::Paragraph
                    : clicks == 2 ? Granularity::Word
                                  : Granularity::Character;
    if ((event.modifierFlags & kShiftKeyMask) && clicks == 1) {
        const Range selection = selectedRange();
        // Shift-click extends from the end away from the click.
        const qsizetype anchor =
            index < selection.location + selection.length / 2 ? selection.end() : selection.location;
        m_dragAnchor = anchor;
        m_dragInitial = {anchor, 0};
        setSelectedRanges({selectionForGranularity(anchor, index, Granularity::Character)}, true);
        m_anchor = anchor;
        return;
    }
    m_dragAnchor = index;
    if (m_granularity == Granularity::Character) {
        m_dragInitial = {index, 0};
    } else {
        const qsizetype at = std::min(under, std::max<qsizetype>(0, textStorage().length() - 1));
        m_dragInitial = m_granularity == Granularity::Word ? m_layoutManager->wordRangeAtIndex(at)
                                                           : textStorage().paragraphRange({at, 0});
    }
    setSelectedRanges({m_dragInitial}, true);
    m_anchor = m_dragInitial.location;
}

bool TextView::trackMouseInCell(const Event& event, qsizetype characterIndex)
{
    const std::shared_ptr<TextAttachment> attachment =
        textStorage().attribute(kAttachmentAttributeName, characterIndex).attachment();
    auto* cell =
        attachment ? dynamic_cast<MouseTrackingAttachmentCell*>(attachment->attachmentCell().get()) : nullptr;
    if (!cell)
        return false;
    Rect frame = m_layoutManager->boundingRectForGlyphRange({characterIndex, 1});
    frame.origin = {frame.origin.x + textContainerOrigin().x, frame.origin.y + textContainerOrigin().y};
    // The cell may change the text from the delegate's call: keep the attachment alive meanwhile.
    return cell->wantsToTrackMouseForEvent(event, frame, *this, characterIndex) &&
           cell->trackMouse(event, frame, *this, characterIndex);
}

void TextView::mouseDragged(Event& event)
{
    // A drag that began on a tracking cell stays the cell's.
    if (m_trackingCellIndex >= 0 && m_trackingCellIndex < textStorage().length()) {
        trackMouseInCell(event, m_trackingCellIndex);
        return;
    }
    if (!m_selectable)
        return View::mouseDragged(event);
    const Point point = containerPointForEvent(event);
    const qsizetype index = m_layoutManager->insertionIndexForPoint(point);
    Range range;
    if (m_granularity == Granularity::Character) {
        range = selectionForGranularity(m_dragAnchor, index, Granularity::Character);
    } else {
        const Range extent =
            selectionForGranularity(index < m_dragInitial.location ? index : m_dragInitial.location,
                                    index > m_dragInitial.end() ? index : m_dragInitial.end(), m_granularity);
        range = extent.united(m_dragInitial);
    }
    setSelectedRanges({range}, true);
    m_anchor = index < m_dragAnchor ? range.end() : range.location;
    scrollRangeToVisible({index, 0});
}

void TextView::mouseUp(Event& event)
{
    if (m_trackingCellIndex >= 0) {
        m_trackingCellIndex = -1;
        return;
    }
    if (!m_selectable)
        return View::mouseUp(event);
    updateTypingAttributesFromSelection();
}

// Drawing.

void TextView::showFindIndicatorForRanges(const std::vector<Range>& ranges)
{
    RunLoop::main().cancelPreviousPerformRequests(this, kHideFindIndicatorSelector);
    const Range text{0, textStorage().length()};
    const auto redraw = [this, &text](const std::vector<Range>& shown) {
        const Point origin = textContainerOrigin();
        for (const Range& range : shown) {
            for (const Rect& rect : m_layoutManager->rectsForCharacterRange(range.intersection(text)))
                setNeedsDisplayInRect(rect.offsetBy(origin.x, origin.y));
        }
    };
    redraw(m_findIndicatorRanges);
    m_findIndicatorRanges.clear();
    for (const Range& range : ranges) {
        if (!range.intersection(text).isEmpty())
            m_findIndicatorRanges.push_back(range.intersection(text));
    }
    if (m_findIndicatorRanges.empty())
        return;
    redraw(m_findIndicatorRanges);
    RunLoop::main().performAfterDelay(kFindIndicatorDuration, this, kHideFindIndicatorSelector,
                                      [this] { showFindIndicatorForRanges({}); });
}

void TextView::drawFindIndicator(QPainter& painter, const Rect& dirtyRect, const Point& origin)
{
    const Range text{0, textStorage().length()};
    // Translucent, so the text under it still reads.
    const QColor indicator(255, 221, 0, 140);
    for (const Range& range : m_findIndicatorRanges) {
        // Edits since it was shown may have shortened the text.
        const Range shown = range.intersection(text);
        if (shown.isEmpty())
            continue;
        for (const Rect& rect : m_layoutManager->rectsForCharacterRange(shown)) {
            const Rect placed = rect.offsetBy(origin.x, origin.y);
            if (placed.intersects(dirtyRect))
                painter.fillRect(QRectF(placed.minX(), placed.minY(), placed.width(), placed.height()), indicator);
        }
    }
}

void TextView::drawRect(QPainter& painter, const Rect& dirtyRect)
{
    if (m_drawsBackground)
        painter.fillRect(QRectF(dirtyRect.minX(), dirtyRect.minY(), dirtyRect.width(), dirtyRect.height()),
                         m_backgroundColor);
    const Point origin = textContainerOrigin();
    LayoutView* previous = m_layoutManager->textViewForDrawing();
    m_layoutManager->setTextViewForDrawing(m_selectable ? this : nullptr);
    try {
        // Lines not laid out yet are laid out here, the first screen of a script just opened among
        // them; memory running out must not reach Qt's painting, which cannot unwind.
        const Range glyphs =
            m_layoutManager->glyphRangeForBoundingRect(dirtyRect.offsetBy(-origin.x, -origin.y));
        m_layoutManager->drawBackgroundForGlyphRange(painter, glyphs, origin);
        m_layoutManager->drawGlyphsForGlyphRange(painter, glyphs, origin);
        m_layoutManager->setTextViewForDrawing(previous);
        drawFindIndicator(painter, dirtyRect, origin);
        if (m_caretOn && m_editable && selectedRange().length == 0) {
            const Rect caret = insertionPointRect();
            if (caret.intersects(dirtyRect.insetBy(-2, 0)))
                drawInsertionPoint(painter, caret, m_insertionPointColor);
        }
    } catch (const std::bad_alloc&) {
        m_layoutManager->setTextViewForDrawing(previous);
        qWarning("Text not drawn: not enough memory to lay it out");
    }
}

void TextView::drawInsertionPoint(QPainter& painter, const Rect& rect, const QColor& color)
{
    painter.fillRect(QRectF(rect.minX(), rect.minY(), 1, rect.height()), color);
}

// Find bar and spelling.

bool TextView::isFindBarVisible() const
{
    return m_findBar && m_findBar->isVisible();
}

FindBar* TextView::findBar()
{
    if (!m_usesFindBar)
        return nullptr;
    if (!m_findBar)
        m_findBar = std::make_unique<FindBar>(*this);
    return m_findBar.get();
}

void TextView::setContinuousSpellCheckingEnabled(bool flag)
{
    const bool enabled = flag && SpellChecker::shared().isAvailable();
    if (enabled == m_spellChecking)
        return;
    m_spellChecking = enabled;
    if (enabled)
        checkSpellingInRange({0, textStorage().length()});
    else
        m_layoutManager->removeTemporaryAttribute(kSpellingStateAttributeName, {0, textStorage().length()});
}

void TextView::checkSpellingInRange(const Range& range)
{
    if (!m_spellChecking)
        return;
    SpellChecker::shared().markMisspellings(*m_layoutManager, range);
}

// Ruler.

void TextView::setUsesRuler(bool flag)
{
    // A ruler already showing stays until it is hidden: whoever turns the ruler off for a while
    // (a change into Prompt mode) first asks whether it was showing, to bring it back later.
    m_usesRuler = flag;
}

RulerView* TextView::rulerView() const
{
    const ScrollView* scrollView = enclosingScrollView();
    auto* ruler = scrollView ? dynamic_cast<RulerView*>(scrollView->horizontalRulerView()) : nullptr;
    return ruler && ruler->client() == this ? ruler : nullptr;
}

bool TextView::isRulerVisible() const
{
    const ScrollView* scrollView = enclosingScrollView();
    return rulerView() && scrollView->hasHorizontalRuler() && scrollView->rulersVisible();
}

void TextView::setRulerVisible(bool flag)
{
    ScrollView* scrollView = enclosingScrollView();
    if (!scrollView || (flag && !m_usesRuler) || flag == isRulerVisible())
        return;
    if (flag && !rulerView()) {
        auto ruler = std::make_unique<RulerView>(m_rulerClient);
        ruler->setFrameSize({scrollView->bounds().size.width, RulerView::kThickness});
        scrollView->setHorizontalRulerView(std::move(ruler));
    }
    scrollView->setHasHorizontalRuler(true);
    scrollView->setRulersVisible(flag);
    updateRuler();
}

void TextView::toggleRuler()
{
    setRulerVisible(!isRulerVisible());
}

void TextView::updateRuler()
{
    RulerView* ruler = rulerView();
    const ScrollView* scrollView = enclosingScrollView();
    if (!ruler || scrollView->horizontalRulerThickness() == 0 || scrollView->suspendsRulerUpdates())
        return;
    ruler->setNeedsDisplay(true);
}

ParagraphStyle TextView::rulerParagraphStyle() const
{
    const AttributeValue value = m_typingAttributes.value(kParagraphStyleAttributeName);
    if (const ParagraphStyle* style = value.paragraphStyle())
        return *style;
    return {};
}

std::vector<RulerMarker> TextView::rulerMarkers() const
{
    return m_layoutManager->rulerMarkersForTextView(this, rulerParagraphStyle());
}

void TextView::changeSelectedParagraphStyles(const std::function<void(ParagraphStyle&)>& change,
                                             const QString& actionName)
{
    if (!m_editable)
        return;
    TextStorage& storage = textStorage();
    std::vector<Range> paragraphs;
    for (const Range& selected : m_selectedRanges) {
        const Range paragraph = storage.paragraphRange(selected);
        if (!paragraphs.empty() && paragraph.location <= paragraphs.back().end())
            paragraphs.back() = paragraphs.back().united(paragraph);
        else
            paragraphs.push_back(paragraph);
    }
    std::erase_if(paragraphs, [](const Range& paragraph) { return paragraph.length == 0; });
    if (!paragraphs.empty()) {
        if (!shouldChangeTextInRanges(paragraphs, {}))
            return;
        std::vector<std::pair<Range, ParagraphStyle>> changes;
        for (const Range& paragraph : paragraphs) {
            storage.enumerateAttribute(kParagraphStyleAttributeName, paragraph, 0,
                                       [&](const AttributeValue& value, const Range& run, bool&) {
                                           ParagraphStyle style =
                                               value.paragraphStyle() ? *value.paragraphStyle() : ParagraphStyle{};
                                           change(style);
                                           changes.emplace_back(run, style);
                                       });
        }
        storage.beginEditing();
        for (const auto& [run, style] : changes)
            storage.addAttribute(kParagraphStyleAttributeName, style, run);
        storage.endEditing();
        UndoManager* manager = undoManager();
        if (m_allowsUndo && manager->isUndoRegistrationEnabled())
            manager->setActionName(actionName);
    }
    ParagraphStyle typing = rulerParagraphStyle();
    change(typing);
    AttributeDictionary attributes = m_typingAttributes;
    attributes.insert(kParagraphStyleAttributeName, typing);
    setTypingAttributes(attributes);
    if (!paragraphs.empty())
        didChangeText();
    updateRuler();
}

void TextView::rulerMoveMarker(const RulerMarker& marker, double location)
{
    if (!std::isfinite(location) || location < 0)
        return;
    const TextContainer& container = textContainer();
    const double lineWidth = std::max(0.0, container.size().width - 2 * container.lineFragmentPadding());
    const qsizetype tabIndex = marker.representedObject.toLongLong();
    const QString& tag = marker.representedObject;
    changeSelectedParagraphStyles(
        [&](ParagraphStyle& style) {
            if (tag == kFirstLineHeadIndentRulerMarkerTag) {
                style.firstLineHeadIndent = location;
            } else if (tag == kHeadIndentRulerMarkerTag) {
                style.headIndent = location;
            } else if (tag == kTailIndentRulerMarkerTag) {
                // Kept relative to the end, as the platform's default styles are, so the indent
                // follows the window's width; only one dragged to the very end means "none".
                style.tailIndent = location >= lineWidth ? 0 : location - lineWidth;
            } else if (tabIndex >= 0 && tabIndex < style.tabStops.size()) {
                style.tabStops[tabIndex].location = location;
                std::stable_sort(style.tabStops.begin(), style.tabStops.end(),
                                 [](const TextTab& a, const TextTab& b) { return a.location < b.location; });
            }
        },
        marker.isIndent() ? QStringLiteral("Set Indent") : QStringLiteral("Move Tab Stop"));
}

void TextView::rulerRemoveMarker(const RulerMarker& marker)
{
    if (marker.isIndent())
        return;
    bool ok = false;
    const qsizetype tabIndex = marker.representedObject.toLongLong(&ok);
    if (!ok)
        return;
    changeSelectedParagraphStyles(
        [&](ParagraphStyle& style) {
            if (tabIndex >= 0 && tabIndex < style.tabStops.size())
                style.tabStops.removeAt(tabIndex);
        },
        QStringLiteral("Remove Tab Stop"));
}

void TextView::rulerAddTab(double location)
{
    if (!std::isfinite(location) || location < 0)
        return;
    changeSelectedParagraphStyles(
        [&](ParagraphStyle& style) {
            TextTab tab{TextTabType::Left, location};
            if (style.tabStops.contains(tab))
                return;
            const auto at = std::lower_bound(style.tabStops.begin(), style.tabStops.end(), location,
                                             [](const TextTab& a, double value) { return a.location < value; });
            style.tabStops.insert(at, tab);
        },
        QStringLiteral("Add Tab Stop"));
}

void TextView::rulerSetAlignment(TextAlignment alignment)
{
    changeSelectedParagraphStyles([alignment](ParagraphStyle& style) { style.alignment = alignment; },
                                  QStringLiteral("Set Alignment"));
}

void TextView::rulerSetLineHeightMultiple(double multiple)
{
    if (!std::isfinite(multiple) || multiple <= 0)
        return;
    changeSelectedParagraphStyles([multiple](ParagraphStyle& style) { style.lineHeightMultiple = multiple; },
                                  QStringLiteral("Set Spacing"));
}
