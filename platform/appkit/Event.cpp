#include "platform/appkit/Event.h"

bool Event::isMouseEvent() const
{
    switch (type) {
    case Type::LeftMouseDown:
    case Type::LeftMouseUp:
    case Type::RightMouseDown:
    case Type::RightMouseUp:
    case Type::MouseMoved:
    case Type::LeftMouseDragged:
    case Type::RightMouseDragged:
    case Type::OtherMouseDown:
    case Type::OtherMouseUp:
    case Type::OtherMouseDragged:
        return true;
    default:
        return false;
    }
}

unsigned short Event::characterCode() const
{
    return characters.isEmpty() ? 0 : characters.at(0).unicode();
}

unsigned short Event::characterCodeIgnoringModifiers() const
{
    return charactersIgnoringModifiers.isEmpty() ? 0 : charactersIgnoringModifiers.at(0).unicode();
}
