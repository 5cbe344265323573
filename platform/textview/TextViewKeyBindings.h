#pragma once

#include <QString>

class Event;

// What a key press asks of an editable text view: a command by its selector name, text to type, or
// nothing, in which case the key goes on up the responder chain.
struct TextViewKeyBinding {
    enum class Action { Command, InsertText, PassOn };

    Action action = Action::PassOn;
    // The command's selector ("moveWordLeft:", "deleteBackwardAndModifySelection:") or the text typed.
    QString argument;
};

// The text view's key bindings, the Linux way: Ctrl moves by word and to the document's ends, Home and
// End go to the line's ends, Shift extends the selection, and Ctrl with a letter runs the Edit menu's
// commands. Kept apart from the view so the bindings read as one table and the view as the view.
class TextViewKeyBindings {
public:
    // editable: whether keys that change the text apply; usesFindBar: whether Ctrl+F shows the find bar.
    static TextViewKeyBinding bindingForKeyDown(const Event& event, bool editable, bool usesFindBar);
};
