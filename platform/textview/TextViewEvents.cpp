// Keys and the mouse in a text view: key bindings to commands, and clicks and drags that select.
#include "platform/textview/TextView.h"

#include "platform/appkit/Event.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/UndoManager.h"
#include "platform/appkit/Window.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/TextAttachment.h"
#include "platform/text/TextAttachmentCell.h"
#include "platform/textview/TextViewKeyBindings.h"

#include <algorithm>

void TextView::keyDown(Event& event)
{
    if (!m_selectable) {
        View::keyDown(event);
        return;
    }
    const TextViewKeyBinding binding = TextViewKeyBindings::bindingForKeyDown(event, m_editable, m_usesFindBar);
    switch (binding.action) {
    case TextViewKeyBinding::Action::Command:
        doCommandBySelector(binding.argument);
        return;
    case TextViewKeyBinding::Action::InsertText:
        insertText(binding.argument);
        return;
    case TextViewKeyBinding::Action::PassOn:
        View::keyDown(event);
        return;
    }
}

Point TextView::containerPointForEvent(const Event& event) const
{
    const Point point = convertPointFromView(event.locationInWindow, nullptr);
    const Point origin = textContainerOrigin();
    return {point.x - origin.x, point.y - origin.y};
}

Range TextView::selectionForGranularity(qsizetype anchor, qsizetype index, Granularity granularity) const
{
    const qsizetype start = std::min(anchor, index);
    const qsizetype end = std::max(anchor, index);
    switch (granularity) {
    case Granularity::Character:
        return {start, end - start};
    case Granularity::Word: {
        const Range first = m_layoutManager->wordRangeAtIndex(start);
        const Range last = m_layoutManager->wordRangeAtIndex(end > start ? end - 1 : end);
        const qsizetype from = std::min(first.location, last.location);
        return {from, std::max(first.end(), last.end()) - from};
    }
    case Granularity::Paragraph:
        return textStorage().paragraphRange({start, end - start});
    }
    return {start, end - start};
}

void TextView::mouseDown(Event& event)
{
    if (!m_selectable) {
        View::mouseDown(event);
        return;
    }
    if (Window* owner = window(); owner && owner->firstResponder() != this)
        owner->makeFirstResponder(this);
    m_goalX.reset();
    unmarkText();
    const Point point = containerPointForEvent(event);
    const qsizetype index = m_layoutManager->insertionIndexForPoint(point);
    const qsizetype under = m_layoutManager->glyphIndexForPoint(point);
    m_trackingCellIndex = -1;
    if (under < textStorage().length() && textStorage().characterAtIndex(under) == kAttachmentCharacter) {
        if (trackMouseInCell(event, under)) {
            m_trackingCellIndex = under;
            return;
        }
        if (m_delegate && m_delegate->textViewClickedOnAttachment(*this, under, event.clickCount))
            return;
    }
    const int clicks = std::max(1, event.clickCount);
    m_granularity = clicks >= 3   ? Granularity::Paragraph
                    : clicks == 2 ? Granularity::Word
                                  : Granularity::Character;
    if ((event.modifierFlags & kShiftKeyMask) && clicks == 1) {
        const Range selection = selectedRange();
        // Shift-click extends from the end away from the click.
        const qsizetype anchor =
            index < selection.location + selection.length / 2 ? selection.end() : selection.location;
        m_dragAnchor = anchor;
        m_dragInitial = {anchor, 0};
        setSelectedRanges({selectionForGranularity(anchor, index, Granularity::Character)}, true);
        m_anchor = anchor;
        return;
    }
    m_dragAnchor = index;
    if (m_granularity == Granularity::Character) {
        m_dragInitial = {index, 0};
    } else {
        const qsizetype at = std::min(under, std::max<qsizetype>(0, textStorage().length() - 1));
        m_dragInitial = m_granularity == Granularity::Word ? m_layoutManager->wordRangeAtIndex(at)
                                                           : textStorage().paragraphRange({at, 0});
    }
    setSelectedRanges({m_dragInitial}, true);
    m_anchor = m_dragInitial.location;
}

namespace {

// The responder along the chain from responder on that answers action: the one a menu item of the
// view's menu goes to, whichever view has the keyboard.
Responder* chainTargetForAction(Responder* responder, const QString& action)
{
    for (; responder; responder = responder->nextResponder()) {
        if (responder->respondsToAction(action))
            return responder;
    }
    return nullptr;
}

} // namespace

Menu* TextView::menuForEvent(const Event& event)
{
    Q_UNUSED(event);
    if (!m_selectable)
        return nullptr;
    if (!m_contextMenu)
        m_contextMenu = std::make_unique<Menu>();
    Menu& menu = *m_contextMenu;
    menu.removeAllItems();
    const auto add = [&](const QString& title, const char* action, const char* key) {
        MenuItem* item = menu.addItemWithTitle(title, QString::fromLatin1(action), QString::fromLatin1(key));
        item->setTarget(chainTargetForAction(this, item->action()));
    };
    UndoManager* undo = m_allowsUndo ? undoManager() : nullptr;
    add(undo ? undo->undoMenuItemTitle() : QStringLiteral("Undo"), "undo:", "z");
    add(undo ? undo->redoMenuItemTitle() : QStringLiteral("Redo"), "redo:", "Z");
    menu.addItem(MenuItem::separatorItem());
    add(QStringLiteral("Cut"), "cut:", "x");
    add(QStringLiteral("Copy"), "copy:", "c");
    add(QStringLiteral("Paste"), "paste:", "v");
    add(QStringLiteral("Delete"), "delete:", "");
    menu.addItem(MenuItem::separatorItem());
    add(QStringLiteral("Select All"), "selectAll:", "a");
    return &menu;
}

void TextView::rightMouseDown(Event& event)
{
    Menu* menu = menuForEvent(event);
    if (m_delegate)
        menu = m_delegate->textViewMenuForEvent(*this, menu, event);
    if (!menu) {
        View::rightMouseDown(event);
        return;
    }
    // The view the user points at is the one the menu's commands and the next keys act on.
    if (Window* owner = window(); owner && m_selectable && owner->firstResponder() != this)
        owner->makeFirstResponder(this);
    menu->popUpContextMenu(event, this);
}

bool TextView::trackMouseInCell(const Event& event, qsizetype characterIndex)
{
    const std::shared_ptr<TextAttachment> attachment =
        textStorage().attribute(kAttachmentAttributeName, characterIndex).attachment();
    auto* cell =
        attachment ? dynamic_cast<MouseTrackingAttachmentCell*>(attachment->attachmentCell().get()) : nullptr;
    if (!cell)
        return false;
    Rect frame = m_layoutManager->boundingRectForGlyphRange({characterIndex, 1});
    frame.origin = {frame.origin.x + textContainerOrigin().x, frame.origin.y + textContainerOrigin().y};
    // The cell may change the text from the delegate's call: keep the attachment alive meanwhile.
    return cell->wantsToTrackMouseForEvent(event, frame, *this, characterIndex) &&
           cell->trackMouse(event, frame, *this, characterIndex);
}

void TextView::mouseDragged(Event& event)
{
    // A drag that began on a tracking cell stays the cell's.
    if (m_trackingCellIndex >= 0 && m_trackingCellIndex < textStorage().length()) {
        trackMouseInCell(event, m_trackingCellIndex);
        return;
    }
    if (!m_selectable)
        return View::mouseDragged(event);
    const Point point = containerPointForEvent(event);
    const qsizetype index = m_layoutManager->insertionIndexForPoint(point);
    Range range;
    if (m_granularity == Granularity::Character) {
        range = selectionForGranularity(m_dragAnchor, index, Granularity::Character);
    } else {
        const Range extent =
            selectionForGranularity(index < m_dragInitial.location ? index : m_dragInitial.location,
                                    index > m_dragInitial.end() ? index : m_dragInitial.end(), m_granularity);
        range = extent.united(m_dragInitial);
    }
    setSelectedRanges({range}, true);
    m_anchor = index < m_dragAnchor ? range.end() : range.location;
    scrollRangeToVisible({index, 0});
}

void TextView::mouseUp(Event& event)
{
    if (m_trackingCellIndex >= 0) {
        m_trackingCellIndex = -1;
        return;
    }
    if (!m_selectable)
        return View::mouseUp(event);
    updateTypingAttributesFromSelection();
}
