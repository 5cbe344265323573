// A text view: set-up and layout, appearance, the selection, commands and the pasteboard, scrolling,
// the caret, drawing, and the find bar and spelling.
#include "platform/textview/TextView.h"

#include "platform/appkit/ClipView.h"
#include "platform/appkit/Menu.h"
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
#include "platform/textview/FindBar.h"
#include "platform/textview/SpellChecker.h"
#include "platform/textview/TextViewCommands.h"

#include <QBuffer>
#include <QDialog>
#include <QPainter>
#include <QTextCharFormat>

#include <algorithm>
#include <cmath>
#include <map>
#include <new>

static const QString kHideFindIndicatorSelector = QStringLiteral("hideFindIndicator");

// Every live text view, oldest first, so a text can find the view that shows it.
static std::vector<TextView*>& liveTextViews()
{
    static std::vector<TextView*> views;
    return views;
}

TextView::TextView(const Rect& frame, std::shared_ptr<LayoutManager> layoutManager)
    : View(frame),
      m_layoutManager(layoutManager ? std::move(layoutManager) : std::make_shared<LayoutManager>())
{
    m_minSize = frame.size;
    m_typingAttributes.insert(kFontAttributeName,
                              Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica"), 12});
    m_typingAttributes.insert(kForegroundColorAttributeName, Color::gray(0));
    liveTextViews().push_back(this);
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
    setActionHandler(
        QStringLiteral("toggleRuler:"), [this](const QVariant&) { toggleRuler(); },
        [this](const UserInterfaceItem&) { return m_usesRuler; });
    setActionHandler(QStringLiteral("performFindPanelAction:"),
                     command(QStringLiteral("performFindPanelAction:")),
                     [this](const UserInterfaceItem&) { return m_usesFindBar; });
}

TextView::~TextView()
{
    std::erase(liveTextViews(), this);
    delete m_spacingPanel.data();
    *m_rulerClient = nullptr;
    RunLoop::main().cancelPreviousPerformRequests(this, kHideFindIndicatorSelector);
    RunLoop::main().cancelPreviousPerformRequests(this, QStringLiteral("prepareContentInRect:"));
    dropAllBands();
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
    // Bands are dropped here for what the change touches, wherever it lies; the redrawing asked for
    // below covers the shown lines only, and the view's growth alone changes no band.
    dropBandsForLayoutChange(range, heightChanged);
    struct HoldBands {
        explicit HoldBands(bool& flag) : m_flag(flag), m_was(flag) { flag = true; }
        ~HoldBands() { m_flag = m_was; }
        bool& m_flag;
        bool m_was;
    } hold(m_holdBands);
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
    invalidateInsertionPoint();
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
            // The caret of this range, which may no longer be the selection's: a caret left
            // where it was would stay on screen.
            const qsizetype index = std::min(range.location, textStorage().length());
            const Rect caret = m_layoutManager->insertionPointRectForCharacterIndex(index);
            setNeedsDisplayInRect(caret.offsetBy(origin.x, origin.y).insetBy(-2, 0));
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
    // The window names its new first responder only after this answers, so the caret is asked for
    // here rather than left to wait for the first key or click.
    restartBlink(true);
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

void TextView::restartBlink(bool becomingFirstResponder)
{
    const bool wantsCaret =
        m_editable && selectedRange().length == 0 &&
        (becomingFirstResponder || isActive() || (window() && window()->firstResponder() == this));
    if (!wantsCaret) {
        stopBlink();
        if (m_caretOn) {
            m_caretOn = false;
            invalidateInsertionPoint();
        }
        return;
    }
    m_caretOn = true;
    invalidateInsertionPoint();
    // As the desktop's own text fields do, the caret stops blinking and stays lit a while after the
    // last key or click, so a script left open in Edit mode costs nothing between uses.
    m_blinksLeft = static_cast<int>(kInsertionPointBlinkTimeout / kInsertionPointBlinkInterval);
    if (!m_blinkTimer) {
        m_blinkTimer = std::make_unique<Timer>(kInsertionPointBlinkInterval, true, [this](Timer& timer) {
            m_caretOn = !m_caretOn;
            invalidateInsertionPoint();
            if (--m_blinksLeft <= 0 && m_caretOn)
                timer.invalidate();
        });
    }
    m_blinkTimer->invalidate();
    m_blinkTimer->schedule();
}

void TextView::invalidateInsertionPoint()
{
    if (const std::optional<Rect> caret = visibleInsertionPointRect())
        setNeedsDisplayInRect(caret->insetBy(-2, 0));
}

std::optional<Rect> TextView::visibleInsertionPointRect() const
{
    // Asking the layout where a caret far outside the lines in view stands would lay out all the text
    // between, and a caret at the end of a long script all of it: a blink must not stall the program
    // or move what the view shows.
    const qsizetype index = insertionIndex();
    const Range visible = visibleCharacterRange();
    if (index < visible.location || index > visible.location + visible.length)
        return std::nullopt;
    return insertionPointRect();
}

void TextView::stopBlink()
{
    if (m_blinkTimer)
        m_blinkTimer->invalidate();
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
                painter.fillRect(QRectF(placed.minX(), placed.minY(), placed.width(), placed.height()),
                                 indicator);
        }
    }
}

void TextView::drawContent(QPainter& painter, const Rect& rect)
{
    if (m_drawsBackground)
        painter.fillRect(QRectF(rect.minX(), rect.minY(), rect.width(), rect.height()), m_backgroundColor);
    const Point origin = textContainerOrigin();
    LayoutView* previous = m_layoutManager->textViewForDrawing();
    m_layoutManager->setTextViewForDrawing(m_selectable ? this : nullptr);
    try {
        // Lines not laid out yet are laid out here, the first screen of a script just opened among
        // them; memory running out must not reach Qt's painting, which cannot unwind.
        const Range glyphs = m_layoutManager->glyphRangeForBoundingRect(rect.offsetBy(-origin.x, -origin.y));
        m_layoutManager->drawBackgroundForGlyphRange(painter, glyphs, origin);
        m_layoutManager->drawGlyphsForGlyphRange(painter, glyphs, origin);
    } catch (...) {
        m_layoutManager->setTextViewForDrawing(previous);
        throw;
    }
    m_layoutManager->setTextViewForDrawing(previous);
    drawFindIndicator(painter, rect, origin);
}

void TextView::drawRect(QPainter& painter, const Rect& dirtyRect)
{
    try {
        if (m_composesFromBands)
            composeFromBands(painter, dirtyRect);
        else
            drawContent(painter, dirtyRect);
        if (m_caretOn && m_editable && selectedRange().length == 0) {
            const std::optional<Rect> caret = visibleInsertionPointRect();
            if (caret && caret->intersects(dirtyRect.insetBy(-2, 0)))
                drawInsertionPoint(painter, *caret, m_insertionPointColor);
        }
        const QString selector = QStringLiteral("prepareContentInRect:");
        if (m_preparesContent && !RunLoop::main().hasPendingPerform(this, selector))
            RunLoop::main().performAfterDelay(
                0, this, selector, [this] { prepareContentInRect(proposedContentPreparationRect()); });
    } catch (const std::bad_alloc&) {
        qWarning("Text not drawn: not enough memory to lay it out");
    }
}

double TextView::adjustPageHeight(double top, double proposedBottom, double limit) const
{
    const Point origin = textContainerOrigin();
    const double bottom = proposedBottom - origin.y;
    // Only the fragment across the proposed end matters; a thin strip finds it.
    const std::vector<LineFragment> fragments =
        m_layoutManager->lineFragmentsInRect(Rect{0, bottom - 0.5, 1e9, 1.0});
    double adjusted = proposedBottom;
    for (const LineFragment& fragment : fragments) {
        const double lineTop = fragment.rect.minY() + origin.y;
        const double lineBottom = fragment.rect.maxY() + origin.y;
        if (lineTop < proposedBottom && lineBottom > proposedBottom && lineTop > top)
            adjusted = std::min(adjusted, lineTop);
    }
    return std::max(adjusted, limit);
}

// Preparing ahead of the scrolling.

void TextView::setPreparesContent(bool flag)
{
    if (flag == m_preparesContent)
        return;
    m_preparesContent = flag;
    if (!flag)
        RunLoop::main().cancelPreviousPerformRequests(this, QStringLiteral("prepareContentInRect:"));
}

Rect TextView::proposedContentPreparationRect() const
{
    const Rect visible = visibleRect();
    return visible.insetBy(0, -visible.size.height);
}

void TextView::prepareContentInRect(const Rect& rect)
{
    const Rect whole = bounds();
    const double top = std::max(rect.minY(), whole.minY());
    const double bottom = std::min(rect.maxY(), whole.maxY());
    m_preparedContentRect = bottom > top ? Rect{whole.origin.x, top, whole.size.width, bottom - top} : Rect{};
    try {
        prepareBands(m_preparedContentRect, kContentPreparationBudget);
    } catch (const std::bad_alloc&) {
        dropAllBands();
        qWarning("Text not prepared: not enough memory to lay it out");
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

TextView* TextView::primaryTextViewForString(const MutableAttributedString& string)
{
    for (TextView* view : liveTextViews())
        if (view->m_layoutManager && view->m_layoutManager->textStorage().get() == &string)
            return view;
    return nullptr;
}
