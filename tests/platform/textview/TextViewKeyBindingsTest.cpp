#include "platform/textview/TextViewKeyBindings.h"
#include "platform/appkit/Event.h"

#include <gtest/gtest.h>

namespace {

Event keyDown(const QString& characters, unsigned long flags = 0)
{
    Event event;
    event.type = Event::Type::KeyDown;
    event.characters = characters;
    event.charactersIgnoringModifiers = characters;
    event.modifierFlags = flags;
    return event;
}

Event functionKey(unsigned short code, unsigned long flags = 0)
{
    return keyDown(QString(QChar(code)), flags);
}

TextViewKeyBinding command(const char* selector)
{
    return {TextViewKeyBinding::Action::Command, QString::fromLatin1(selector)};
}

void expectBinding(const TextViewKeyBinding& actual, const TextViewKeyBinding& expected)
{
    EXPECT_EQ(actual.action, expected.action);
    EXPECT_EQ(actual.argument.toStdString(), expected.argument.toStdString());
}

TEST(TextViewKeyBindings, ShiftExtendsTheSelectionOfMoves)
{
    expectBinding(TextViewKeyBindings::bindingForKeyDown(functionKey(kLeftArrowFunctionKey), true, true),
                  command("moveLeft:"));
    expectBinding(
        TextViewKeyBindings::bindingForKeyDown(functionKey(kLeftArrowFunctionKey, kShiftKeyMask), true, true),
        command("moveLeftAndModifySelection:"));
    expectBinding(TextViewKeyBindings::bindingForKeyDown(
                      functionKey(kEndFunctionKey, kCommandKeyMask | kShiftKeyMask), true, true),
                  command("moveToEndOfDocumentAndModifySelection:"));
}

TEST(TextViewKeyBindings, ControlMovesByWordAndParagraph)
{
    expectBinding(TextViewKeyBindings::bindingForKeyDown(functionKey(kRightArrowFunctionKey, kCommandKeyMask),
                                                         true, true),
                  command("moveWordRight:"));
    expectBinding(
        TextViewKeyBindings::bindingForKeyDown(functionKey(kUpArrowFunctionKey, kCommandKeyMask), true, true),
        command("moveToBeginningOfParagraph:"));
}

TEST(TextViewKeyBindings, ReadOnlyViewCopiesButPassesEditingKeysOn)
{
    expectBinding(
        TextViewKeyBindings::bindingForKeyDown(keyDown(QStringLiteral("c"), kCommandKeyMask), false, true),
        command("copy:"));
    expectBinding(
        TextViewKeyBindings::bindingForKeyDown(keyDown(QStringLiteral("v"), kCommandKeyMask), false, true),
        {});
    expectBinding(TextViewKeyBindings::bindingForKeyDown(keyDown(QStringLiteral("x")), false, true), {});
    expectBinding(TextViewKeyBindings::bindingForKeyDown(functionKey(kDeleteCharacter), false, true), {});
}

TEST(TextViewKeyBindings, FindKeyNeedsTheFindBar)
{
    expectBinding(
        TextViewKeyBindings::bindingForKeyDown(keyDown(QStringLiteral("f"), kCommandKeyMask), true, true),
        command("performFindPanelAction:"));
    expectBinding(
        TextViewKeyBindings::bindingForKeyDown(keyDown(QStringLiteral("f"), kCommandKeyMask), true, false),
        {});
}

TEST(TextViewKeyBindings, ShiftedPasteAndUndoAreTheirPlainVariants)
{
    expectBinding(TextViewKeyBindings::bindingForKeyDown(
                      keyDown(QStringLiteral("V"), kCommandKeyMask | kShiftKeyMask), true, true),
                  command("pasteAsPlainText:"));
    expectBinding(TextViewKeyBindings::bindingForKeyDown(
                      keyDown(QStringLiteral("Z"), kCommandKeyMask | kShiftKeyMask), true, true),
                  command("redo:"));
}

TEST(TextViewKeyBindings, PrintableKeysTypeAndFunctionKeysTypeNothing)
{
    expectBinding(TextViewKeyBindings::bindingForKeyDown(keyDown(QStringLiteral("é")), true, true),
                  {TextViewKeyBinding::Action::InsertText, QStringLiteral("é")});
    expectBinding(TextViewKeyBindings::bindingForKeyDown(functionKey(kF1FunctionKey), true, true), {});
    expectBinding(
        TextViewKeyBindings::bindingForKeyDown(keyDown(QStringLiteral("a"), kControlKeyMask), true, true),
        {});
}

TEST(TextViewKeyBindings, ReturnInsertsANewlineAndEscapeCancels)
{
    expectBinding(TextViewKeyBindings::bindingForKeyDown(functionKey(kCarriageReturnCharacter), true, true),
                  command("insertNewline:"));
    expectBinding(
        TextViewKeyBindings::bindingForKeyDown(functionKey(kEscapeCharacter, kShiftKeyMask), true, true),
        command("cancelOperation:"));
}

} // namespace
