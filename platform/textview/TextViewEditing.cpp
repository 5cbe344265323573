// How edits enter a text view's text: the user's replacements with their undo, typing runs, and
// input-method composition.
#include "platform/textview/TextView.h"

#include "platform/appkit/UndoManager.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/text/AttributeNames.h"

#include <QInputMethodEvent>

#include <algorithm>

// What undoing one user change needs: the range the change left in the text and what stood there
// before. Undoing swaps the two and registers the swap back.
struct TextView::TextUndo {
    Range range;
    AttributedString original;
};

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
