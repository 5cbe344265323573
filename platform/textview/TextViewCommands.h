#pragma once

#include "platform/foundation/Range.h"

#include <QHash>
#include <QString>

class TextView;

// The commands a text view answers by the platform's selector names ("moveWordLeft:",
// "deleteBackward:", "paste:"), as one table from name to action, with the caret moves they share. A
// selector ending in "AndModifySelection:" runs its command extending the selection. The view keeps its
// state (selection, anchor, the column vertical moves aim for); the commands act on it.
class TextViewCommands {
public:
    explicit TextViewCommands(TextView& view) : m_view(view) {}

    // Runs the command; false when the table has none by that name.
    bool perform(const QString& selector);

private:
    using Action = void (*)(TextViewCommands&);
    static const QHash<QString, Action>& table();

    void moveTo(qsizetype index, bool extend);
    void moveVertically(int lines, bool extend);
    void moveByPage(int direction, bool extend);
    qsizetype lineStart(qsizetype index) const;
    qsizetype lineEnd(qsizetype index) const;
    void moveToBeginningOfParagraph();
    void moveToEndOfParagraph();
    void deleteBackward(bool byWord);
    void deleteForward(bool byWord);

    TextView& m_view;
    // What the command at hand runs on, read once before it runs.
    QString m_command;
    bool m_extend = false;
    Range m_selection;
    qsizetype m_length = 0;
    // The moving end of an extended selection: the one away from the anchor.
    qsizetype m_focus = 0;
};
