#pragma once

#include "platform/foundation/Range.h"

#include <QString>

#include <functional>

class TextView;

// The find bar of a text view: what to find and replace, and the commands. It searches the view's
// text, selects and scrolls to matches, and replaces through the view so replacements are undoable.
// The view shows it on Ctrl+F and hides it on Escape; drawing it is left to whoever hosts the view.
class FindBar {
public:
    explicit FindBar(TextView& textView) : m_textView(textView) {}

    bool isVisible() const { return m_visible; }
    void show();
    void hide();
    // Told when the bar is shown or hidden.
    void setVisibilityHandler(std::function<void(bool visible)> handler)
    {
        m_visibilityHandler = std::move(handler);
    }

    const QString& findString() const { return m_findString; }
    void setFindString(const QString& string) { m_findString = string; }
    const QString& replaceString() const { return m_replaceString; }
    void setReplaceString(const QString& string) { m_replaceString = string; }
    bool ignoresCase() const { return m_ignoresCase; }
    void setIgnoresCase(bool flag) { m_ignoresCase = flag; }
    bool wraps() const { return m_wraps; }
    void setWraps(bool flag) { m_wraps = flag; }

    // Selects the next (or previous) match from the selection; false when there is none.
    bool findNext();
    bool findPrevious();
    // Replaces the selection when it is a match, then finds the next one.
    bool replace();
    bool replaceAndFind();
    // Replaces every match as one undo step; answers how many.
    int replaceAll();

    // The ranges of every match.
    std::vector<Range> matches() const;

private:
    bool find(bool forward);
    bool selectionMatches() const;

    TextView& m_textView;
    QString m_findString;
    QString m_replaceString;
    bool m_ignoresCase = true;
    bool m_wraps = true;
    bool m_visible = false;
    std::function<void(bool)> m_visibilityHandler;
};
