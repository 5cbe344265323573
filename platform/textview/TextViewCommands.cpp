#include "platform/textview/TextViewCommands.h"

#include "platform/textview/FindBar.h"
#include "platform/textview/TextView.h"

#include <algorithm>
#include <cstdlib>

namespace {

bool isParagraphTerminator(char16_t c)
{
    return c == u'\n' || c == u'\r' || c == 0x2029;
}

} // namespace

bool TextViewCommands::perform(const QString& selector)
{
    m_extend = selector.endsWith(QLatin1String("AndModifySelection:"));
    m_command = selector;
    if (m_extend)
        m_command = selector.left(selector.size() - int(qstrlen("AndModifySelection:"))) + QLatin1Char(':');
    m_selection = m_view.selectedRange();
    m_length = m_view.textStorage().length();
    m_focus = m_selection.location == m_view.m_anchor ? m_selection.end() : m_selection.location;
    const bool vertical = m_command == QLatin1String("moveUp:") || m_command == QLatin1String("moveDown:") ||
                          m_command == QLatin1String("pageUp:") || m_command == QLatin1String("pageDown:");
    if (!vertical)
        m_view.m_goalX.reset();
    if (!m_extend && m_selection.length == 0)
        m_view.m_anchor = m_selection.location;
    const auto found = table().constFind(m_command);
    if (found == table().constEnd())
        return false;
    (*found)(*this);
    return true;
}

const QHash<QString, TextViewCommands::Action>& TextViewCommands::table()
{
    static const QHash<QString, Action> commands{
        {QStringLiteral("moveLeft:"),
         [](TextViewCommands& c) {
             if (!c.m_extend && c.m_selection.length > 0)
                 return c.moveTo(c.m_selection.location, false);
             c.moveTo(c.m_view.layoutManager()->visualCursorPosition(
                          c.m_extend ? c.m_focus : c.m_selection.location, true),
                      c.m_extend);
         }},
        {QStringLiteral("moveBackward:"),
         [](TextViewCommands& c) {
             if (!c.m_extend && c.m_selection.length > 0)
                 return c.moveTo(c.m_selection.location, false);
             c.moveTo(c.m_view.layoutManager()->previousCursorPosition(c.m_extend ? c.m_focus
                                                                                  : c.m_selection.location),
                      c.m_extend);
         }},
        {QStringLiteral("moveRight:"),
         [](TextViewCommands& c) {
             if (!c.m_extend && c.m_selection.length > 0)
                 return c.moveTo(c.m_selection.end(), false);
             c.moveTo(c.m_view.layoutManager()->visualCursorPosition(
                          c.m_extend ? c.m_focus : c.m_selection.end(), false),
                      c.m_extend);
         }},
        {QStringLiteral("moveForward:"),
         [](TextViewCommands& c) {
             if (!c.m_extend && c.m_selection.length > 0)
                 return c.moveTo(c.m_selection.end(), false);
             c.moveTo(
                 c.m_view.layoutManager()->nextCursorPosition(c.m_extend ? c.m_focus : c.m_selection.end()),
                 c.m_extend);
         }},
        {QStringLiteral("moveWordLeft:"),
         [](TextViewCommands& c) {
             c.moveTo(c.m_view.layoutManager()->previousWordBoundary(c.m_extend ? c.m_focus
                                                                                : c.m_selection.location),
                      c.m_extend);
         }},
        {QStringLiteral("moveWordBackward:"),
         [](TextViewCommands& c) {
             c.moveTo(c.m_view.layoutManager()->previousWordBoundary(c.m_extend ? c.m_focus
                                                                                : c.m_selection.location),
                      c.m_extend);
         }},
        {QStringLiteral("moveWordRight:"),
         [](TextViewCommands& c) {
             c.moveTo(
                 c.m_view.layoutManager()->nextWordBoundary(c.m_extend ? c.m_focus : c.m_selection.end()),
                 c.m_extend);
         }},
        {QStringLiteral("moveWordForward:"),
         [](TextViewCommands& c) {
             c.moveTo(
                 c.m_view.layoutManager()->nextWordBoundary(c.m_extend ? c.m_focus : c.m_selection.end()),
                 c.m_extend);
         }},
        {QStringLiteral("moveUp:"), [](TextViewCommands& c) { c.moveVertically(-1, c.m_extend); }},
        {QStringLiteral("moveDown:"), [](TextViewCommands& c) { c.moveVertically(1, c.m_extend); }},
        {QStringLiteral("pageUp:"), [](TextViewCommands& c) { c.moveByPage(-1, c.m_extend); }},
        {QStringLiteral("pageDown:"), [](TextViewCommands& c) { c.moveByPage(1, c.m_extend); }},
        {QStringLiteral("moveToBeginningOfLine:"),
         [](TextViewCommands& c) {
             c.moveTo(c.lineStart(c.m_extend ? c.m_focus : c.m_selection.location), c.m_extend);
         }},
        {QStringLiteral("moveToLeftEndOfLine:"),
         [](TextViewCommands& c) {
             c.moveTo(c.lineStart(c.m_extend ? c.m_focus : c.m_selection.location), c.m_extend);
         }},
        {QStringLiteral("moveToEndOfLine:"),
         [](TextViewCommands& c) {
             c.moveTo(c.lineEnd(c.m_extend ? c.m_focus : c.m_selection.end()), c.m_extend);
         }},
        {QStringLiteral("moveToRightEndOfLine:"),
         [](TextViewCommands& c) {
             c.moveTo(c.lineEnd(c.m_extend ? c.m_focus : c.m_selection.end()), c.m_extend);
         }},
        {QStringLiteral("moveToBeginningOfParagraph:"),
         [](TextViewCommands& c) { c.moveToBeginningOfParagraph(); }},
        {QStringLiteral("moveToEndOfParagraph:"), [](TextViewCommands& c) { c.moveToEndOfParagraph(); }},
        {QStringLiteral("moveToBeginningOfDocument:"), [](TextViewCommands& c) { c.moveTo(0, c.m_extend); }},
        {QStringLiteral("moveToEndOfDocument:"),
         [](TextViewCommands& c) { c.moveTo(c.m_length, c.m_extend); }},
        {QStringLiteral("selectAll:"), [](TextViewCommands& c) { c.m_view.selectAll(); }},
        {QStringLiteral("selectWord:"),
         [](TextViewCommands& c) {
             c.m_view.setSelectedRange(c.m_view.layoutManager()->wordRangeAtIndex(c.m_selection.location));
         }},
        {QStringLiteral("selectParagraph:"),
         [](TextViewCommands& c) {
             c.m_view.setSelectedRange(c.m_view.textStorage().paragraphRange(c.m_selection));
         }},
        {QStringLiteral("deleteBackward:"), [](TextViewCommands& c) { c.deleteBackward(false); }},
        {QStringLiteral("deleteForward:"), [](TextViewCommands& c) { c.deleteForward(false); }},
        {QStringLiteral("deleteWordBackward:"), [](TextViewCommands& c) { c.deleteBackward(true); }},
        {QStringLiteral("deleteWordForward:"), [](TextViewCommands& c) { c.deleteForward(true); }},
        {QStringLiteral("insertNewline:"),
         [](TextViewCommands& c) { c.m_view.insertText(QStringLiteral("\n")); }},
        {QStringLiteral("insertLineBreak:"),
         [](TextViewCommands& c) { c.m_view.insertText(QStringLiteral("\n")); }},
        {QStringLiteral("insertTab:"),
         [](TextViewCommands& c) { c.m_view.insertText(QStringLiteral("\t")); }},
        // Nothing to do inside a text: focus moves are the window's business.
        {QStringLiteral("insertBacktab:"), [](TextViewCommands&) {}},
        {QStringLiteral("cut:"), [](TextViewCommands& c) { c.m_view.cut(); }},
        {QStringLiteral("copy:"), [](TextViewCommands& c) { c.m_view.copy(); }},
        {QStringLiteral("paste:"), [](TextViewCommands& c) { c.m_view.paste(); }},
        {QStringLiteral("pasteAsPlainText:"), [](TextViewCommands& c) { c.m_view.pasteAsPlainText(); }},
        {QStringLiteral("delete:"), [](TextViewCommands& c) { c.m_view.deleteSelection(); }},
        {QStringLiteral("undo:"), [](TextViewCommands& c) { c.m_view.undo(); }},
        {QStringLiteral("redo:"), [](TextViewCommands& c) { c.m_view.redo(); }},
        {QStringLiteral("performFindPanelAction:"),
         [](TextViewCommands& c) {
             if (FindBar* bar = c.m_view.findBar())
                 bar->show();
         }},
        {QStringLiteral("showFindBar:"),
         [](TextViewCommands& c) {
             if (FindBar* bar = c.m_view.findBar())
                 bar->show();
         }},
        {QStringLiteral("cancelOperation:"),
         [](TextViewCommands& c) {
             if (c.m_view.m_findBar && c.m_view.m_findBar->isVisible())
                 c.m_view.m_findBar->hide();
         }},
        {QStringLiteral("scrollPageDown:"), [](TextViewCommands& c) { c.m_view.scrollDocumentByPages(1); }},
        {QStringLiteral("scrollPageUp:"), [](TextViewCommands& c) { c.m_view.scrollDocumentByPages(-1); }},
        {QStringLiteral("scrollLineDown:"), [](TextViewCommands& c) { c.m_view.scrollDocumentByLines(1); }},
        {QStringLiteral("scrollLineUp:"), [](TextViewCommands& c) { c.m_view.scrollDocumentByLines(-1); }},
        {QStringLiteral("scrollToBeginningOfDocument:"),
         [](TextViewCommands& c) {
             c.m_view.scrollRangeToVisible({0, 0});
         }},
        {QStringLiteral("scrollToEndOfDocument:"),
         [](TextViewCommands& c) {
             c.m_view.scrollRangeToVisible({c.m_length, 0});
         }},
    };
    return commands;
}

void TextViewCommands::moveToBeginningOfParagraph()
{
    const TextStorage& storage = m_view.textStorage();
    const qsizetype from = m_extend ? m_focus : m_selection.location;
    qsizetype start = storage.paragraphRange({std::min(from, m_length), 0}).location;
    if (start == from && from > 0)
        start = storage.paragraphRange({from - 1, 0}).location;
    moveTo(start, m_extend);
}

void TextViewCommands::moveToEndOfParagraph()
{
    const TextStorage& storage = m_view.textStorage();
    const qsizetype from = m_extend ? m_focus : m_selection.end();
    const Range paragraph = storage.paragraphRange({std::min(from, m_length), 0});
    qsizetype end = paragraph.end();
    while (end > paragraph.location && isParagraphTerminator(storage.characterAtIndex(end - 1)))
        --end;
    if (end == from && paragraph.end() < m_length) {
        const Range next = storage.paragraphRange({paragraph.end(), 0});
        end = next.end();
        while (end > next.location && isParagraphTerminator(storage.characterAtIndex(end - 1)))
            --end;
    }
    moveTo(end, m_extend);
}

void TextViewCommands::deleteBackward(bool byWord)
{
    if (m_selection.length > 0)
        return m_view.deleteRange(m_selection, false);
    const LayoutManager& layout = *m_view.layoutManager();
    if (byWord) {
        const qsizetype start = layout.previousWordBoundary(m_selection.location);
        return m_view.deleteRange({start, m_selection.location - start}, false);
    }
    if (m_selection.location > 0)
        m_view.deleteRange({layout.previousCursorPosition(m_selection.location),
                            m_selection.location - layout.previousCursorPosition(m_selection.location)},
                           false);
}

void TextViewCommands::deleteForward(bool byWord)
{
    if (m_selection.length > 0)
        return m_view.deleteRange(m_selection, true);
    const LayoutManager& layout = *m_view.layoutManager();
    if (byWord) {
        const qsizetype end = layout.nextWordBoundary(m_selection.location);
        return m_view.deleteRange({m_selection.location, end - m_selection.location}, true);
    }
    if (m_selection.location < m_length)
        m_view.deleteRange(
            {m_selection.location, layout.nextCursorPosition(m_selection.location) - m_selection.location},
            true);
}

// Caret moves.

void TextViewCommands::moveTo(qsizetype index, bool extend)
{
    index = std::clamp<qsizetype>(index, 0, m_view.textStorage().length());
    if (extend) {
        const qsizetype anchor = m_view.m_anchor;
        m_view.setSelectedRange({std::min(anchor, index), std::abs(index - anchor)});
        m_view.m_anchor = anchor;
    } else {
        m_view.setSelectedRange({index, 0});
        m_view.m_anchor = index;
    }
    m_view.scrollRangeToVisible({index, 0});
}

qsizetype TextViewCommands::lineStart(qsizetype index) const
{
    const TextStorage& storage = m_view.textStorage();
    if (index >= storage.length() &&
        (storage.length() == 0 || isParagraphTerminator(storage.characterAtIndex(storage.length() - 1))))
        return storage.length();
    Range line;
    m_view.m_layoutManager->lineFragmentRectForGlyphAtIndex(std::min(index, storage.length() - 1), &line);
    return line.location;
}

qsizetype TextViewCommands::lineEnd(qsizetype index) const
{
    const TextStorage& storage = m_view.textStorage();
    if (index >= storage.length())
        return storage.length();
    Range line;
    m_view.m_layoutManager->lineFragmentRectForGlyphAtIndex(index, &line);
    qsizetype end = line.end();
    // Stay before the terminator, or before the space a wrapped line ends in.
    while (end > line.location &&
           (isParagraphTerminator(storage.characterAtIndex(end - 1)) ||
            (end < storage.length() && storage.characterAtIndex(end - 1) == u' ' && end == line.end())))
        --end;
    return end;
}

void TextViewCommands::moveVertically(int lines, bool extend)
{
    const Range selection = m_view.selectedRange();
    qsizetype index = extend ? (m_view.m_anchor == selection.location ? selection.end() : selection.location)
                             : (lines < 0 ? selection.location : selection.end());
    const Rect caret = m_view.m_layoutManager->insertionPointRectForCharacterIndex(index);
    if (!m_view.m_goalX)
        m_view.m_goalX = caret.minX();
    const double goal = *m_view.m_goalX;
    qsizetype target;
    if (lines < 0) {
        target = caret.minY() <= 0.5
                     ? 0
                     : m_view.m_layoutManager->insertionIndexForPoint({goal, caret.minY() - 0.5});
    } else {
        const double below = caret.maxY() + 0.5;
        target = below >= m_view.m_layoutManager->usedRectForTextContainer().maxY()
                     ? m_view.textStorage().length()
                     : m_view.m_layoutManager->insertionIndexForPoint({goal, below});
    }
    moveTo(target, extend);
    m_view.m_goalX = goal;
}

void TextViewCommands::moveByPage(int direction, bool extend)
{
    const double page = std::max(1.0, m_view.visibleRect().height() - 10);
    const qsizetype index = direction < 0 ? m_view.selectedRange().location : m_view.selectedRange().end();
    const Rect caret = m_view.m_layoutManager->insertionPointRectForCharacterIndex(index);
    if (!m_view.m_goalX)
        m_view.m_goalX = caret.minX();
    const double goal = *m_view.m_goalX;
    const double y = caret.midY() + direction * page;
    qsizetype target;
    if (y < 0)
        target = 0;
    else if (y >= m_view.m_layoutManager->usedRectForTextContainer().maxY())
        target = m_view.textStorage().length();
    else
        target = m_view.m_layoutManager->insertionIndexForPoint({goal, y});
    moveTo(target, extend);
    m_view.m_goalX = goal;
}
