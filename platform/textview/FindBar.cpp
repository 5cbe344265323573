#include "platform/textview/FindBar.h"

#include "platform/appkit/UndoManager.h"
#include "platform/textview/TextView.h"

void FindBar::show()
{
    if (m_visible)
        return;
    m_visible = true;
    if (m_visibilityHandler)
        m_visibilityHandler(true);
}

void FindBar::hide()
{
    if (!m_visible)
        return;
    m_visible = false;
    if (m_visibilityHandler)
        m_visibilityHandler(false);
}

std::vector<Range> FindBar::matches() const
{
    std::vector<Range> result;
    if (m_findString.isEmpty())
        return result;
    const QString text = m_textView.string();
    const Qt::CaseSensitivity sensitivity = m_ignoresCase ? Qt::CaseInsensitive : Qt::CaseSensitive;
    for (qsizetype at = text.indexOf(m_findString, 0, sensitivity); at >= 0;
         at = text.indexOf(m_findString, at + m_findString.size(), sensitivity))
        result.push_back({at, m_findString.size()});
    return result;
}

bool FindBar::find(bool forward)
{
    if (m_findString.isEmpty())
        return false;
    const QString text = m_textView.string();
    const Qt::CaseSensitivity sensitivity = m_ignoresCase ? Qt::CaseInsensitive : Qt::CaseSensitive;
    const Range selection = m_textView.selectedRange();
    qsizetype at;
    if (forward) {
        at = text.indexOf(m_findString, selection.end(), sensitivity);
        if (at < 0 && m_wraps)
            at = text.indexOf(m_findString, 0, sensitivity);
    } else {
        at =
            selection.location > 0 ? text.lastIndexOf(m_findString, selection.location - 1, sensitivity) : -1;
        // A match must end before the selection starts.
        while (at >= 0 && at + m_findString.size() > selection.location)
            at = at > 0 ? text.lastIndexOf(m_findString, at - 1, sensitivity) : -1;
        if (at < 0 && m_wraps)
            at = text.lastIndexOf(m_findString, -1, sensitivity);
    }
    if (at < 0)
        return false;
    const Range match{at, m_findString.size()};
    m_textView.setSelectedRange(match);
    m_textView.scrollRangeToVisible(match);
    return true;
}

bool FindBar::findNext()
{
    return find(true);
}

bool FindBar::findPrevious()
{
    return find(false);
}

bool FindBar::selectionMatches() const
{
    const Range selection = m_textView.selectedRange();
    if (selection.length != m_findString.size() || m_findString.isEmpty())
        return false;
    return m_textView.textStorage().substring(selection).compare(
               m_findString, m_ignoresCase ? Qt::CaseInsensitive : Qt::CaseSensitive) == 0;
}

bool FindBar::replace()
{
    if (!selectionMatches() || !m_textView.isEditable())
        return false;
    const Range selection = m_textView.selectedRange();
    if (!m_textView.shouldChangeTextInRange(selection, m_replaceString))
        return false;
    m_textView.replaceCharactersInRange(selection, m_replaceString);
    m_textView.undoManager()->setActionName(QStringLiteral("Replace"));
    m_textView.setSelectedRange({selection.location + m_replaceString.size(), 0});
    m_textView.didChangeText();
    return true;
}

bool FindBar::replaceAndFind()
{
    replace();
    return findNext();
}

int FindBar::replaceAll()
{
    const std::vector<Range> found = matches();
    if (found.empty() || !m_textView.isEditable())
        return 0;
    QStringList strings;
    for (size_t i = 0; i < found.size(); ++i)
        strings.push_back(m_replaceString);
    if (!m_textView.shouldChangeTextInRanges(found, strings))
        return 0;
    TextStorage& storage = m_textView.textStorage();
    storage.beginEditing();
    for (auto range = found.rbegin(); range != found.rend(); ++range)
        storage.replaceCharacters(*range, m_replaceString);
    storage.endEditing();
    m_textView.undoManager()->setActionName(QStringLiteral("Replace All"));
    m_textView.setSelectedRange({found.front().location, 0});
    m_textView.didChangeText();
    return int(found.size());
}
