#include "platform/textview/TextViewKeyBindings.h"

#include "platform/appkit/Event.h"

namespace {

TextViewKeyBinding command(const QString& selector)
{
    return {TextViewKeyBinding::Action::Command, selector};
}

TextViewKeyBinding passOn()
{
    return {};
}

} // namespace

TextViewKeyBinding TextViewKeyBindings::bindingForKeyDown(const Event& event, bool editable, bool usesFindBar)
{
    const unsigned short code = event.characterCodeIgnoringModifiers();
    const unsigned long flags = event.modifierFlags;
    const bool shift = flags & kShiftKeyMask;
    const bool control = flags & kCommandKeyMask;
    const bool option = flags & kOptionKeyMask;
    const QString suffix = shift ? QStringLiteral("AndModifySelection:") : QStringLiteral(":");
    // Moves take Shift to extend the selection; other commands ignore it.
    auto move = [&](const QString& name) { return command(name + suffix); };
    auto plain = [](const QString& name) { return command(name + QLatin1Char(':')); };
    switch (code) {
    case kLeftArrowFunctionKey:
        return move(control || option ? QStringLiteral("moveWordLeft") : QStringLiteral("moveLeft"));
    case kRightArrowFunctionKey:
        return move(control || option ? QStringLiteral("moveWordRight") : QStringLiteral("moveRight"));
    case kUpArrowFunctionKey:
        return move(control || option ? QStringLiteral("moveToBeginningOfParagraph")
                                      : QStringLiteral("moveUp"));
    case kDownArrowFunctionKey:
        return move(control || option ? QStringLiteral("moveToEndOfParagraph") : QStringLiteral("moveDown"));
    case kHomeFunctionKey:
        return move(control ? QStringLiteral("moveToBeginningOfDocument")
                            : QStringLiteral("moveToBeginningOfLine"));
    case kEndFunctionKey:
        return move(control ? QStringLiteral("moveToEndOfDocument") : QStringLiteral("moveToEndOfLine"));
    case kPageUpFunctionKey:
        return move(QStringLiteral("pageUp"));
    case kPageDownFunctionKey:
        return move(QStringLiteral("pageDown"));
    case kEscapeCharacter:
        return plain(QStringLiteral("cancelOperation"));
    default:
        break;
    }
    if (control && !option) {
        const QString key = event.charactersIgnoringModifiers.toLower();
        if (key == QLatin1String("a"))
            return plain(QStringLiteral("selectAll"));
        if (key == QLatin1String("c"))
            return plain(QStringLiteral("copy"));
        if (key == QLatin1String("f") && usesFindBar)
            return plain(QStringLiteral("performFindPanelAction"));
        if (!editable)
            return passOn();
        if (key == QLatin1String("x"))
            return plain(QStringLiteral("cut"));
        if (key == QLatin1String("v"))
            return plain(shift ? QStringLiteral("pasteAsPlainText") : QStringLiteral("paste"));
        if (key == QLatin1String("z"))
            return plain(shift ? QStringLiteral("redo") : QStringLiteral("undo"));
        if (key == QLatin1String("y"))
            return plain(QStringLiteral("redo"));
        if (code == kDeleteCharacter)
            return plain(QStringLiteral("deleteWordBackward"));
        if (code == kDeleteFunctionKey)
            return plain(QStringLiteral("deleteWordForward"));
        return passOn();
    }
    if (!editable)
        return passOn();
    switch (code) {
    case kDeleteCharacter:
    case kBackspaceCharacter:
        return plain(option ? QStringLiteral("deleteWordBackward") : QStringLiteral("deleteBackward"));
    case kDeleteFunctionKey:
        return plain(option ? QStringLiteral("deleteWordForward") : QStringLiteral("deleteForward"));
    case kCarriageReturnCharacter:
    case kEnterCharacter:
        return plain(QStringLiteral("insertNewline"));
    case kTabCharacter:
        return plain(QStringLiteral("insertTab"));
    case kBackTabCharacter:
        return plain(QStringLiteral("insertBacktab"));
    default:
        break;
    }
    QString text = event.characters;
    // Control characters and private-use function keys type nothing.
    text.removeIf([](QChar c) {
        return (c.unicode() < 0x20 && c != u'\t') || c.unicode() == 0x7F ||
               (c.unicode() >= 0xF700 && c.unicode() <= 0xF8FF);
    });
    if (text.isEmpty() || (flags & kControlKeyMask))
        return passOn();
    return {TextViewKeyBinding::Action::InsertText, text};
}
