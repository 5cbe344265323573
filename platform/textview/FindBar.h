#pragma once

#include "platform/foundation/Range.h"

#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QWidget;
class TextView;

// The find bar of a text view: what to find and replace, and the commands. It searches the view's
// text, selects and scrolls to matches, and replaces through the view so replacements are undoable.
// The view shows it on Ctrl+F and hides it on Escape. In a window it appears as a strip of Qt widgets
// over the top of the view's scroll view: a find field (Return finds the next match, typing finds as
// you type), a replace field (Return replaces and finds on), and buttons.
class FindBar {
public:
    explicit FindBar(TextView& textView);
    ~FindBar();

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

    // The strip of widgets, while shown in a window; null otherwise. Its fields are named "find" and
    // "replace", its buttons "previous", "next", "replace", "replaceAll" and "done".
    QWidget* panel() const { return m_panel.get(); }

private:
    bool find(bool forward);
    bool selectionMatches() const;
    void showPanel();

    TextView& m_textView;
    QString m_findString;
    QString m_replaceString;
    bool m_ignoresCase = true;
    bool m_wraps = true;
    bool m_visible = false;
    std::function<void(bool)> m_visibilityHandler;
    std::unique_ptr<QWidget> m_panel;
};
