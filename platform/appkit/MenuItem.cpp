#include "platform/appkit/MenuItem.h"

#include "platform/appkit/Menu.h"

namespace {

// The modifiers a key equivalent is compared on; Caps Lock, the keypad and Function flags never count.
constexpr unsigned long kKeyEquivalentModifiers =
    kShiftKeyMask | kControlKeyMask | kOptionKeyMask | kCommandKeyMask;

} // namespace

MenuItem::MenuItem(QString title, QString action, QString keyEquivalent)
    : m_title(std::move(title)), m_action(std::move(action)), m_keyEquivalent(std::move(keyEquivalent))
{
}

MenuItem::~MenuItem() = default;

std::unique_ptr<MenuItem> MenuItem::separatorItem()
{
    auto item = std::make_unique<MenuItem>();
    item->m_separator = true;
    item->m_enabled = false;
    return item;
}

std::unique_ptr<MenuItem> MenuItem::copy() const
{
    auto item = std::make_unique<MenuItem>(m_title, m_action, m_keyEquivalent);
    item->m_styledTitle = m_styledTitle;
    item->m_target = m_target;
    item->m_tag = m_tag;
    item->m_representedObject = m_representedObject;
    item->m_modifierMask = m_modifierMask;
    item->m_state = m_state;
    item->m_enabled = m_enabled;
    item->m_hidden = m_hidden;
    item->m_alternate = m_alternate;
    item->m_separator = m_separator;
    item->m_indentation = m_indentation;
    item->m_toolTip = m_toolTip;
    item->m_image = m_image;
    if (m_submenu) {
        auto submenu = std::make_unique<Menu>(m_submenu->title());
        for (MenuItem* child : m_submenu->items())
            submenu->addItem(child->copy());
        item->setSubmenu(std::move(submenu));
    }
    return item;
}

void MenuItem::setSubmenu(std::unique_ptr<Menu> submenu)
{
    m_submenu = std::move(submenu);
    if (m_submenu && m_menu)
        m_submenu->setTitle(m_submenu->title().isEmpty() ? m_title : m_submenu->title());
}

bool MenuItem::matchesKeyEquivalent(const Event& event) const
{
    if (m_separator || m_keyEquivalent.isEmpty() || event.type != Event::Type::KeyDown)
        return false;
    const QString pressed = event.charactersIgnoringModifiers;
    if (pressed.isEmpty())
        return false;
    unsigned long required = m_modifierMask & kKeyEquivalentModifiers;
    const QChar key = m_keyEquivalent.at(0);
    // "S" means Shift-S; the platform spells it that way instead of with the Shift flag.
    if (key.isLetter() && key.isUpper())
        required |= kShiftKeyMask;
    unsigned long held = event.modifierFlags & kKeyEquivalentModifiers;
    // Shift only counts where it could matter: letters, or when the item asks for it.
    if (!key.isLetter() && !(required & kShiftKeyMask))
        held &= ~kShiftKeyMask;
    return held == required && pressed.at(0).toLower() == key.toLower();
}
