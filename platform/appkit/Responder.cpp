#include "platform/appkit/Responder.h"

#include "platform/appkit/Event.h"

#include <algorithm>

namespace {
// Guards against a chain that loops back on itself.
constexpr int kMaxChainLength = 1000;
} // namespace

Responder::~Responder() = default;

void Responder::setActionHandler(const QString& action, ActionHandler handler, ActionValidator validator)
{
    removeActionHandler(action);
    m_actions.push_back({action, std::move(handler), std::move(validator)});
}

void Responder::removeActionHandler(const QString& action)
{
    std::erase_if(m_actions, [&](const ActionEntry& entry) { return entry.action == action; });
}

const Responder::ActionEntry* Responder::entryFor(const QString& action) const
{
    auto it = std::find_if(m_actions.begin(), m_actions.end(),
                           [&](const ActionEntry& entry) { return entry.action == action; });
    return it == m_actions.end() ? nullptr : &*it;
}

bool Responder::respondsToAction(const QString& action) const
{
    return entryFor(action) != nullptr;
}

bool Responder::performAction(const QString& action, const QVariant& sender)
{
    const ActionEntry* entry = entryFor(action);
    if (!entry)
        return false;
    // The handler may replace or remove itself; call a copy.
    ActionHandler handler = entry->handler;
    handler(sender);
    return true;
}

bool Responder::tryToPerform(const QString& action, const QVariant& sender)
{
    Responder* responder = this;
    for (int i = 0; responder && i < kMaxChainLength; ++i, responder = responder->nextResponder()) {
        if (responder->respondsToAction(action))
            return responder->performAction(action, sender);
    }
    return false;
}

bool Responder::validateUserInterfaceItem(const UserInterfaceItem& item) const
{
    const ActionEntry* entry = entryFor(item.action);
    if (entry && entry->validator)
        return entry->validator(item);
    return true;
}

void Responder::keyDown(Event& event)
{
    if (m_nextResponder)
        m_nextResponder->keyDown(event);
}

void Responder::keyUp(Event& event)
{
    if (m_nextResponder)
        m_nextResponder->keyUp(event);
}

void Responder::flagsChanged(Event& event)
{
    if (m_nextResponder)
        m_nextResponder->flagsChanged(event);
}

void Responder::mouseDown(Event& event)
{
    if (m_nextResponder)
        m_nextResponder->mouseDown(event);
}

void Responder::mouseDragged(Event& event)
{
    if (m_nextResponder)
        m_nextResponder->mouseDragged(event);
}

void Responder::mouseUp(Event& event)
{
    if (m_nextResponder)
        m_nextResponder->mouseUp(event);
}

void Responder::rightMouseDown(Event& event)
{
    if (m_nextResponder)
        m_nextResponder->rightMouseDown(event);
}

void Responder::rightMouseDragged(Event& event)
{
    if (m_nextResponder)
        m_nextResponder->rightMouseDragged(event);
}

void Responder::rightMouseUp(Event& event)
{
    if (m_nextResponder)
        m_nextResponder->rightMouseUp(event);
}

void Responder::otherMouseDown(Event& event)
{
    if (m_nextResponder)
        m_nextResponder->otherMouseDown(event);
}

void Responder::otherMouseDragged(Event& event)
{
    if (m_nextResponder)
        m_nextResponder->otherMouseDragged(event);
}

void Responder::otherMouseUp(Event& event)
{
    if (m_nextResponder)
        m_nextResponder->otherMouseUp(event);
}

void Responder::mouseMoved(Event& event)
{
    if (m_nextResponder)
        m_nextResponder->mouseMoved(event);
}

void Responder::mouseEntered(Event& event)
{
    if (m_nextResponder)
        m_nextResponder->mouseEntered(event);
}

void Responder::mouseExited(Event& event)
{
    if (m_nextResponder)
        m_nextResponder->mouseExited(event);
}

void Responder::scrollWheel(Event& event)
{
    if (m_nextResponder)
        m_nextResponder->scrollWheel(event);
}

void Responder::dispatchEvent(Event& event)
{
    switch (event.type) {
    case Event::Type::KeyDown:
        keyDown(event);
        break;
    case Event::Type::KeyUp:
        keyUp(event);
        break;
    case Event::Type::FlagsChanged:
        flagsChanged(event);
        break;
    case Event::Type::LeftMouseDown:
        mouseDown(event);
        break;
    case Event::Type::LeftMouseDragged:
        mouseDragged(event);
        break;
    case Event::Type::LeftMouseUp:
        mouseUp(event);
        break;
    case Event::Type::RightMouseDown:
        rightMouseDown(event);
        break;
    case Event::Type::RightMouseDragged:
        rightMouseDragged(event);
        break;
    case Event::Type::RightMouseUp:
        rightMouseUp(event);
        break;
    case Event::Type::OtherMouseDown:
        otherMouseDown(event);
        break;
    case Event::Type::OtherMouseDragged:
        otherMouseDragged(event);
        break;
    case Event::Type::OtherMouseUp:
        otherMouseUp(event);
        break;
    case Event::Type::MouseMoved:
        mouseMoved(event);
        break;
    case Event::Type::MouseEntered:
        mouseEntered(event);
        break;
    case Event::Type::MouseExited:
        mouseExited(event);
        break;
    case Event::Type::ScrollWheel:
        scrollWheel(event);
        break;
    }
}
