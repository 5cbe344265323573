#include "preferences/OVKeyField.h"

#include "platform/appkit/Event.h"
#include "platform/appkit/EventTranslation.h"
#include "preferences/OVKeyGroup.h"
#include "prompting/OVApplication.h"

#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>

#include <limits>

namespace {

// The keys the platform's text system turns into commands, taken by their codes: keypad Enter,
// Tab, Return, Escape, Space, Delete (Backspace), the arrows, Forward Delete, Home, End, Page Up and
// Page Down.
bool isCapturedSpecialKey(unsigned short code)
{
    switch (code) {
    case 3:
    case 9:
    case 13:
    case 27:
    case 32:
    case 127:
    case 0xF700:
    case 0xF701:
    case 0xF702:
    case 0xF703:
    case 0xF728:
    case 0xF729:
    case 0xF72B:
    case 0xF72C:
    case 0xF72D:
        return true;
    default:
        return false;
    }
}

} // namespace

OVKeyField::OVKeyField(QWidget* parent) : QLineEdit(parent)
{
    setAlignment(Qt::AlignCenter);
    setContextMenuPolicy(Qt::NoContextMenu);
    setDragEnabled(false);
    setAcceptDrops(false);
    setAttribute(Qt::WA_InputMethodEnabled, true);
    // Editability follows the group: none yet.
    setEnabled(false);
    setReadOnly(true);
}

OVKeyField::~OVKeyField()
{
    if (m_observing && m_defaults)
        m_defaults->removeObserver(m_observer);
}

void OVKeyField::setKeyGroup(OVKeyGroup* group)
{
    if (m_keyGroup) {
        qWarning("Error:  %s cannot reassign keyGroup;  ignoring.", qPrintable(objectName()));
        return;
    }
    m_keyGroup = group;
    setEnabled(group != nullptr);
    setReadOnly(group == nullptr);
    updateText();
}

unsigned short OVKeyField::storedCode() const
{
    if (!m_defaults)
        return 0;
    const PlistValue stored = m_defaults->objectForKey(m_userInfoKey);
    if (!stored.isNumber())
        return 0;
    const double value = stored.toDouble();
    const bool isCode =
        value > 0 && value <= std::numeric_limits<unsigned short>::max() && value == qint64(value);
    return isCode ? static_cast<unsigned short>(value) : 0;
}

void OVKeyField::bindToDefaultsControllerWithUserInfoKey(const QString& key, UserDefaults& defaults)
{
    if (m_observing && m_defaults)
        m_defaults->removeObserver(m_observer);
    m_userInfoKey = key;
    m_defaults = &defaults;
    m_observer = defaults.addObserver(key, [this](const QString&) { setRepresentedObject(storedCode()); });
    m_observing = true;
    setRepresentedObject(storedCode());
}

void OVKeyField::setRepresentedObject(unsigned short code)
{
    m_representedObject = code;
    // Writing only what differs keeps a registered value unpinned after a reset.
    if (m_defaults && !m_userInfoKey.isEmpty() && storedCode() != code)
        m_defaults->setInteger(code, m_userInfoKey);
    updateText();
    if (m_keyGroup)
        m_keyGroup->updateUserInfoForKeyField(this);
}

void OVKeyField::updateText()
{
    if (!m_keyGroup)
        return;
    setText(m_representedObject == 0 ? QString()
                                     : m_keyGroup->stringForRepresentedObject(m_representedObject));
    if (hasFocus())
        selectAll();
}

void OVKeyField::_attemptToSetRepresentedObject(unsigned short code)
{
    if (!m_keyGroup)
        return;
    if (m_keyGroup->permitRepresentedObject(code, this)) {
        setRepresentedObject(code);
        if (hasFocus())
            focusNextPrevChild(true);
        return;
    }
    setRepresentedObject(m_representedObject);
    OVKeyGroup::beep();
    if (OVKeyGroupDelegate* delegate = m_keyGroup->delegate())
        delegate->duplicateKey(m_keyGroup->stringForRepresentedObject(code),
                               m_keyGroup->fieldForRepresentedObject(code));
}

void OVKeyField::offerTypedText(const QString& text)
{
    if (!m_keyGroup || text.isEmpty())
        return;
    const std::optional<unsigned short> code = m_keyGroup->representedObjectForStringFirstCharacterOnly(text);
    if (!code) {
        // A character beyond 16 bits (an emoji from an input method): no key sends it.
        OVKeyGroup::beep();
        updateText();
        return;
    }
    _attemptToSetRepresentedObject(*code);
}

bool OVKeyField::event(QEvent* event)
{
    if (m_keyGroup && isEnabled()) {
        if (event->type() == QEvent::ShortcutOverride) {
            // Plain keys are the field's to capture; the shortcut key's combinations stay the menus'.
            auto* key = static_cast<QKeyEvent*>(event);
            if (!(key->modifiers() & Qt::ControlModifier)) {
                event->accept();
                return true;
            }
        } else if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            // Tab is a key to capture (the group refuses it), not a move of the focus; Shift-Tab
            // still moves the focus back.
            if (key->key() == Qt::Key_Tab &&
                !(key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier))) {
                keyPressEvent(key);
                return true;
            }
        }
    }
    return QLineEdit::event(event);
}

void OVKeyField::keyPressEvent(QKeyEvent* qtEvent)
{
    if (!m_keyGroup) {
        qtEvent->ignore();
        return;
    }
    if (qtEvent->key() == Qt::Key_Backtab) {
        focusNextPrevChild(false);
        return;
    }
    if (isModifierKey(qtEvent->key()))
        return;
    if (qtEvent->modifiers() & Qt::ControlModifier) {
        qtEvent->ignore();
        return;
    }
    // The same translation the input monitor makes, so the code stored is the code compared.
    const Event event = eventFromKeyEvent(*qtEvent, 0.0);
    if (const std::optional<unsigned short> special = specialKeyCharacter(qtEvent->key())) {
        if (isCapturedSpecialKey(*special))
            _attemptToSetRepresentedObject(*special);
        else if (OVApplication::shared().isModeEdit())
            OVKeyGroup::beep();
        return;
    }
    offerTypedText(event.charactersIgnoringModifiers);
}

void OVKeyField::keyReleaseEvent(QKeyEvent* qtEvent)
{
    // The translation keeps track of held keys; it hears the release as well as the press.
    if (!isModifierKey(qtEvent->key()))
        (void)eventFromKeyEvent(*qtEvent, 0.0);
    qtEvent->accept();
}

void OVKeyField::inputMethodEvent(QInputMethodEvent* event)
{
    // Composing text is not shown; committed text gives its last character.
    event->accept();
    if (!event->commitString().isEmpty())
        offerTypedText(event->commitString());
}

void OVKeyField::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_keyGroup)
        return;
    if (!hasFocus())
        setFocus(Qt::MouseFocusReason);
    selectAll();
}

void OVKeyField::mouseMoveEvent(QMouseEvent*) {}

void OVKeyField::mouseReleaseEvent(QMouseEvent*) {}

void OVKeyField::mouseDoubleClickEvent(QMouseEvent* event)
{
    mousePressEvent(event);
}

void OVKeyField::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
}

void OVKeyField::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    selectAll();
    if (m_keyGroup)
        m_keyGroup->updateClearButtonForKeyField(this);
}

void OVKeyField::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    if (m_keyGroup)
        m_keyGroup->updateClearButtonForKeyField(nullptr);
}
