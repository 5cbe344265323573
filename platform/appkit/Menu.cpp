#include "platform/appkit/Menu.h"

#include "platform/appkit/Application.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/EventTranslation.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/View.h"
#include "platform/appkit/Window.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QStyleOptionMenuItem>
#include <QTextCursor>
#include <QTextDocument>
#include <QWidgetAction>

#include <algorithm>
#include <cmath>

namespace {

Menu* g_mainMenu = nullptr;

std::function<unsigned long()>& modifierFlagsProvider()
{
    static std::function<unsigned long()> provider;
    return provider;
}

// Qt's key for a key equivalent's character, for showing it beside the title.
QKeySequence shortcutFor(const MenuItem& item)
{
    if (item.keyEquivalent().isEmpty())
        return {};
    const QChar key = item.keyEquivalent().at(0);
    unsigned long mask = item.keyEquivalentModifierMask();
    if (key.isLetter() && key.isUpper())
        mask |= kShiftKeyMask;
    int qtKey = 0;
    const ushort code = key.unicode();
    if (code >= kF1FunctionKey && code <= kF1FunctionKey + 34)
        qtKey = Qt::Key_F1 + (code - kF1FunctionKey);
    else if (code == kUpArrowFunctionKey)
        qtKey = Qt::Key_Up;
    else if (code == kDownArrowFunctionKey)
        qtKey = Qt::Key_Down;
    else if (code == kLeftArrowFunctionKey)
        qtKey = Qt::Key_Left;
    else if (code == kRightArrowFunctionKey)
        qtKey = Qt::Key_Right;
    else if (code == 0x0D || code == 0x03)
        qtKey = Qt::Key_Return;
    else if (code == 0x1B)
        qtKey = Qt::Key_Escape;
    else if (code == 0x08 || code == 0x7F)
        qtKey = Qt::Key_Backspace;
    else
        qtKey = QKeySequence(QString(key.toUpper()))[0].key();
    int modifiers = 0;
    if (mask & kCommandKeyMask)
        modifiers |= Qt::CTRL;
    if (mask & kControlKeyMask)
        modifiers |= Qt::META;
    if (mask & kOptionKeyMask)
        modifiers |= Qt::ALT;
    if (mask & kShiftKeyMask)
        modifiers |= Qt::SHIFT;
    return QKeySequence(modifiers | qtKey);
}

// An item with a styled title, drawn as the menu draws its other items. It lets the mouse through, so
// the menu itself highlights it, reports it as hovered and chooses it on a click as it does every
// item; the view only follows the menu's highlight when it paints.
class StyledItemView final : public QWidget {
public:
    StyledItemView(QMenu& menu, QAction& action, const QString& html) : m_menu(menu), m_action(action)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        m_document.setDocumentMargin(0);
        m_document.setDefaultFont(menu.font());
        m_document.setHtml(html);
        m_indent = titleIndent(menu);
        // The key equivalent shows at the right, as a plain item shows it.
        m_shortcut = action.shortcut().toString(QKeySequence::NativeText);
        if (!m_shortcut.isEmpty())
            m_shortcutWidth = QFontMetrics(menu.font()).horizontalAdvance(m_shortcut);
    }

    QSize sizeHint() const override
    {
        const QSizeF text = m_document.size();
        const int shortcut = m_shortcutWidth > 0 ? m_shortcutWidth + kShortcutGap : 0;
        return {int(std::ceil(m_document.idealWidth())) + m_indent + kHorizontalMargin + shortcut,
                int(std::ceil(text.height())) + 2 * kVerticalMargin};
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        QStyleOptionMenuItem option;
        option.initFrom(&m_menu);
        option.rect = rect();
        option.menuItemType = QStyleOptionMenuItem::Normal;
        option.checkType = QStyleOptionMenuItem::NotCheckable;
        const bool highlighted = m_menu.activeAction() == &m_action && m_action.isEnabled();
        option.state.setFlag(QStyle::State_Selected, highlighted);
        option.state.setFlag(QStyle::State_Enabled, m_action.isEnabled());
        if (!m_shortcut.isEmpty()) {
            // The style draws what follows a tab as the key equivalent, in the width reserved for it.
            option.text = QLatin1Char('\t') + m_shortcut;
            option.reservedShortcutWidth = m_shortcutWidth;
        }
        style()->drawControl(QStyle::CE_MenuItem, &option, &painter, &m_menu);

        painter.translate(m_indent, (height() - m_document.size().height()) / 2);
        QAbstractTextDocumentLayout::PaintContext context;
        if (!highlighted && m_action.isEnabled()) {
            m_document.documentLayout()->draw(&painter, context);
            return;
        }
        // The title's own colours would vanish on the highlight: one colour for all of it then.
        const QColor colour =
            m_menu.palette().color(m_action.isEnabled() ? QPalette::Active : QPalette::Disabled,
                                   highlighted ? QPalette::HighlightedText : QPalette::Text);
        std::unique_ptr<QTextDocument> recoloured(m_document.clone());
        QTextCursor all(recoloured.get());
        all.select(QTextCursor::Document);
        QTextCharFormat format;
        format.setForeground(colour);
        all.mergeCharFormat(format);
        recoloured->documentLayout()->draw(&painter, context);
    }

private:
    // Where the style starts the title of a plain item, so styled titles line up with the others:
    // found once per style and font by drawing a plain item with a title and one without.
    static int titleIndent(const QMenu& menu)
    {
        static QHash<QString, int> known;
        QStyle* style = menu.style();
        const QString key = style->name() + menu.font().toString();
        if (const auto found = known.constFind(key); found != known.constEnd())
            return *found;
        QStyleOptionMenuItem option;
        option.initFrom(&menu);
        option.rect = QRect(0, 0, 200, QFontMetrics(menu.font()).height() + 8);
        option.menuItemType = QStyleOptionMenuItem::Normal;
        option.checkType = QStyleOptionMenuItem::NotCheckable;
        const auto drawn = [&](const QString& title) {
            QImage image(option.rect.size(), QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            QPainter painter(&image);
            option.text = title;
            style->drawControl(QStyle::CE_MenuItem, &option, &painter, &menu);
            return image;
        };
        const QImage with = drawn(QStringLiteral("M"));
        const QImage without = drawn(QString());
        int indent = -1;
        for (int x = 0; x < with.width() && indent < 0; ++x)
            for (int y = 0; y < with.height() && indent < 0; ++y)
                if (with.pixel(x, y) != without.pixel(x, y))
                    indent = x;
        if (indent < 0)
            indent = kHorizontalMargin;
        known.insert(key, indent);
        return indent;
    }

    static constexpr int kHorizontalMargin = 8;
    static constexpr int kVerticalMargin = 2;
    // Between the title and the key equivalent.
    static constexpr int kShortcutGap = 24;
    int m_indent = kHorizontalMargin;
    QString m_shortcut;
    int m_shortcutWidth = 0;
    QMenu& m_menu;
    QAction& m_action;
    QTextDocument m_document;
};

} // namespace

// Follows the modifier keys while the menu is open, so alternates appear as Alt goes down and up.
class Menu::OpenFilter final : public QObject {
public:
    explicit OpenFilter(Menu& menu) : m_menu(menu) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (isModifierKey(key->key())) {
                Qt::KeyboardModifiers modifiers = key->modifiers();
                // Qt reports the state before a modifier's own press or release.
                const Qt::KeyboardModifier own = key->key() == Qt::Key_Alt       ? Qt::AltModifier
                                                 : key->key() == Qt::Key_Shift   ? Qt::ShiftModifier
                                                 : key->key() == Qt::Key_Control ? Qt::ControlModifier
                                                 : key->key() == Qt::Key_Meta    ? Qt::MetaModifier
                                                                                 : Qt::NoModifier;
                modifiers.setFlag(own, event->type() == QEvent::KeyPress);
                const unsigned long flags = modifierFlagsFromQt(modifiers);
                if (flags != m_menu.m_shownModifiers)
                    m_menu.rebuildQMenu(flags);
                // Alt shows the alternates; left to Qt it would close the menu instead.
                if (key->key() == Qt::Key_Alt)
                    return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    Menu& m_menu;
};

Menu::Menu(QString title) : m_title(std::move(title)) {}

Menu::~Menu()
{
    if (g_mainMenu == this)
        g_mainMenu = nullptr;
    // Actions point at items; the Qt menu goes first.
    m_qMenu.reset();
}

MenuItem* Menu::itemAtIndex(int index) const
{
    return index >= 0 && index < numberOfItems() ? m_items[size_t(index)].get() : nullptr;
}

std::vector<MenuItem*> Menu::items() const
{
    std::vector<MenuItem*> result;
    for (const auto& item : m_items)
        result.push_back(item.get());
    return result;
}

void Menu::adopt(MenuItem& item)
{
    item.m_menu = this;
    if (item.m_submenu) {
        item.m_submenu->m_supermenu = this;
        if (item.m_submenu->title().isEmpty())
            item.m_submenu->setTitle(item.title());
    }
}

MenuItem* Menu::addItem(std::unique_ptr<MenuItem> item)
{
    return insertItem(std::move(item), numberOfItems());
}

MenuItem* Menu::addItemWithTitle(const QString& title, const QString& action, const QString& keyEquivalent)
{
    return addItem(std::make_unique<MenuItem>(title, action, keyEquivalent));
}

void Menu::addSeparatorIfNeeded()
{
    if (!m_items.empty() && !m_items.back()->isSeparatorItem())
        addItem(MenuItem::separatorItem());
}

MenuItem* Menu::insertItem(std::unique_ptr<MenuItem> item, int index)
{
    if (!item)
        return nullptr;
    MenuItem* inserted = item.get();
    adopt(*inserted);
    const int at = index < 0 || index > numberOfItems() ? numberOfItems() : index;
    m_items.insert(m_items.begin() + at, std::move(item));
    return inserted;
}

std::unique_ptr<MenuItem> Menu::removeItemAtIndex(int index)
{
    if (index < 0 || index >= numberOfItems())
        return nullptr;
    std::unique_ptr<MenuItem> removed = std::move(m_items[size_t(index)]);
    m_items.erase(m_items.begin() + index);
    removed->m_menu = nullptr;
    if (removed->m_submenu)
        removed->m_submenu->m_supermenu = nullptr;
    return removed;
}

std::unique_ptr<MenuItem> Menu::removeItem(MenuItem* item)
{
    return removeItemAtIndex(indexOfItem(item));
}

void Menu::removeAllItems()
{
    while (!m_items.empty())
        removeItemAtIndex(numberOfItems() - 1);
}

int Menu::indexOfItem(const MenuItem* item) const
{
    for (int i = 0; i < numberOfItems(); ++i) {
        if (m_items[size_t(i)].get() == item)
            return i;
    }
    return -1;
}

int Menu::indexOfItemWithTag(int tag) const
{
    for (int i = 0; i < numberOfItems(); ++i) {
        if (m_items[size_t(i)]->tag() == tag)
            return i;
    }
    return -1;
}

MenuItem* Menu::itemWithTag(int tag) const
{
    return itemAtIndex(indexOfItemWithTag(tag));
}

MenuItem* Menu::itemWithTitle(const QString& title) const
{
    for (const auto& item : m_items) {
        if (item->title() == title)
            return item.get();
    }
    return nullptr;
}

MenuItem* Menu::itemWithAction(const QString& action) const
{
    for (const auto& item : m_items) {
        if (!item->isSeparatorItem() && item->action() == action)
            return item.get();
        if (item->submenu()) {
            if (MenuItem* found = item->submenu()->itemWithAction(action))
                return found;
        }
    }
    return nullptr;
}

bool Menu::contains(const MenuItem* item) const
{
    return indexOfItem(item) >= 0;
}

// Validation.

bool Menu::validate(const MenuItem& item)
{
    if (item.isSeparatorItem())
        return false;
    if (item.action().isEmpty())
        return item.hasSubmenu();
    Responder* target = Application::shared().targetForAction(item.action(), item.target());
    return target && target->validateMenuItem(item.userInterfaceItem());
}

void Menu::update()
{
    if (!m_autoenablesItems)
        return;
    for (const auto& item : m_items)
        item->setEnabled(validate(*item));
}

std::vector<MenuItem*> Menu::displayedItems(unsigned long modifierFlags) const
{
    std::vector<MenuItem*> shown;
    const unsigned long held = modifierFlags & kDeviceIndependentModifierFlagsMask;
    for (const auto& owned : m_items) {
        MenuItem* item = owned.get();
        if (item->isHidden())
            continue;
        if (!item->isAlternate() || shown.empty() || shown.back()->isSeparatorItem()) {
            // An alternate with nothing to stand in for shows as an item of its own.
            shown.push_back(item);
            continue;
        }
        const unsigned long wanted = item->keyEquivalentModifierMask();
        const bool heldDown = wanted != 0 && (held & wanted) == wanted;
        const bool moreThanPrimary = (wanted & shown.back()->keyEquivalentModifierMask()) !=
                                     wanted; // an alternate needs a modifier its item lacks
        if (heldDown && moreThanPrimary)
            shown.back() = item;
    }
    return shown;
}

void Menu::prepareToOpen()
{
    if (m_delegate) {
        m_delegate->menuNeedsUpdate(*this);
        m_delegate->menuWillOpen(*this);
    }
    update();
}

bool Menu::performActionForItem(MenuItem* item)
{
    if (!item || !contains(item) || item->isSeparatorItem() || item->action().isEmpty())
        return false;
    if (m_autoenablesItems)
        item->setEnabled(validate(*item));
    if (!item->isEnabled())
        return false;
    return Application::shared().sendAction(item->action(), item->target(), QVariant::fromValue(item));
}

bool Menu::performKeyEquivalent(const Event& event)
{
    if (event.type != Event::Type::KeyDown)
        return false;
    // No delegate rebuild here: it would run on every key typed (a script's bookmarks are listed
    // anew each time), and the items that take keys are fixed ones.
    for (const auto& owned : m_items) {
        MenuItem* item = owned.get();
        if (item->submenu() && item->submenu()->performKeyEquivalent(event))
            return true;
        if (item->isHidden() || !item->matchesKeyEquivalent(event))
            continue;
        if (performActionForItem(item))
            return true;
        // A matching item that is disabled still takes the key: nothing else should act on a
        // shortcut the menu shows for something else.
        return true;
    }
    return false;
}

MenuItem* Menu::itemForKeyEquivalent(const Event& event) const
{
    for (const auto& owned : m_items) {
        MenuItem* item = owned.get();
        if (item->submenu()) {
            if (MenuItem* found = item->submenu()->itemForKeyEquivalent(event))
                return found;
        }
        if (!item->isHidden() && item->matchesKeyEquivalent(event))
            return item;
    }
    return nullptr;
}

// Qt.

void Menu::setModifierFlagsProvider(std::function<unsigned long()> provider)
{
    modifierFlagsProvider() = std::move(provider);
}

unsigned long Menu::currentModifierFlags()
{
    if (modifierFlagsProvider())
        return modifierFlagsProvider()();
    return modifierFlagsFromQt(QGuiApplication::queryKeyboardModifiers());
}

QMenu* Menu::qMenu()
{
    if (m_qMenu)
        return m_qMenu.get();
    m_qMenu = std::make_unique<QMenu>(m_title);
    // Items with a tool tip explain themselves while highlighted, as the platform's menus do.
    m_qMenu->setToolTipsVisible(true);
    m_openFilter = std::make_unique<OpenFilter>(*this);
    m_qMenu->installEventFilter(m_openFilter.get());
    QObject::connect(m_qMenu.get(), &QMenu::aboutToShow, m_qMenu.get(), [this] {
        prepareToOpen();
        rebuildQMenu(currentModifierFlags());
    });
    QObject::connect(m_qMenu.get(), &QMenu::aboutToHide, m_qMenu.get(), [this] {
        if (m_delegate)
            m_delegate->menuDidClose(*this);
    });
    rebuildQMenu(currentModifierFlags());
    return m_qMenu.get();
}

void Menu::rebuildQMenu(unsigned long modifierFlags)
{
    if (!m_qMenu)
        return;
    m_shownModifiers = modifierFlags;
    QMenu* menu = m_qMenu.get();
    menu->clear();
    for (MenuItem* item : displayedItems(modifierFlags)) {
        if (item->isSeparatorItem()) {
            menu->addSeparator();
            continue;
        }
        QString title = QString(item->indentationLevel() * 4, u' ') + item->title();
        if (item->submenu()) {
            QMenu* sub = item->submenu()->qMenu();
            sub->setTitle(title);
            QAction* action = menu->addMenu(sub);
            action->setEnabled(item->isEnabled());
            continue;
        }
        QAction* action = nullptr;
        if (!item->styledTitle().isEmpty()) {
            auto* widgetAction = new QWidgetAction(menu);
            // Known before the view is made, which shows it.
            widgetAction->setShortcut(shortcutFor(*item));
            widgetAction->setShortcutContext(Qt::WidgetShortcut);
            widgetAction->setDefaultWidget(new StyledItemView(*menu, *widgetAction, item->styledTitle()));
            menu->addAction(widgetAction);
            action = widgetAction;
        } else {
            action = menu->addAction(title);
        }
        action->setEnabled(item->isEnabled());
        action->setIcon(item->image());
        action->setToolTip(item->toolTip());
        if (item->state() != MenuItem::Off) {
            action->setCheckable(true);
            action->setChecked(true);
            // Qt has no mixed mark; the property lets a style draw a dash instead of a tick.
            action->setProperty("mixedState", item->state() == MenuItem::Mixed);
        }
        // Shown only: key equivalents are matched by performKeyEquivalent for every window.
        action->setShortcut(shortcutFor(*item));
        action->setShortcutContext(Qt::WidgetShortcut);
        QObject::connect(action, &QAction::triggered, menu, [this, item] { performActionForItem(item); });
        QObject::connect(action, &QAction::hovered, menu, [this, item] {
            if (m_delegate && contains(item))
                m_delegate->menuWillHighlightItem(*this, item);
        });
    }
}

QMenuBar* Menu::makeMenuBar(QWidget* parent)
{
    auto* bar = new QMenuBar(parent);
    for (const auto& item : m_items) {
        if (item->isHidden() || !item->submenu())
            continue;
        QMenu* menu = item->submenu()->qMenu();
        menu->setTitle(item->title());
        bar->addMenu(menu);
    }
    return bar;
}

void Menu::popUpContextMenu(const QPoint& globalPosition)
{
    qMenu()->popup(globalPosition);
}

void Menu::popUpContextMenu(const Event& event, View* view)
{
    Q_UNUSED(view);
    Window* window = event.window;
    if (!window || !window->hostWidget()) {
        popUpContextMenu(QCursor::pos());
        return;
    }
    const Point location = event.locationInWindow;
    const QPoint local(int(location.x), int(window->frame().size.height - location.y));
    popUpContextMenu(window->hostWidget()->mapToGlobal(local));
}

Menu* Menu::mainMenu()
{
    return g_mainMenu;
}

void Menu::setMainMenu(Menu* menu)
{
    g_mainMenu = menu;
}

bool Menu::isKeyForADialog(const Event& event)
{
    // The main menu's actions go to the document window behind a dialog: a shortcut typed into a
    // naming field would cut or select the script instead of the field's text.
    if (event.window)
        return event.window->isSheet();
    QWidget* holder = QApplication::focusWidget();
    if (!holder)
        holder = QApplication::activeWindow();
    return holder && !Application::shared().windowForHost(holder->window());
}

int Menu::installKeyEquivalentMonitor()
{
    return Application::shared().addLocalMonitorForEvents(
        Application::maskForType(Event::Type::KeyDown), [](Event& event) {
            if (event.window && event.window->performKeyEquivalent(event))
                return false;
            if (isKeyForADialog(event))
                return true;
            return !(g_mainMenu && g_mainMenu->performKeyEquivalent(event));
        });
}
