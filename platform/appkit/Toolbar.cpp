#include "platform/appkit/Toolbar.h"

#include "platform/appkit/Menu.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/ToolbarItem.h"
#include "platform/foundation/UserDefaults.h"

#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QIcon>
#include <QLayout>
#include <QPixmap>
#include <QPointer>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <map>

namespace {

const QString kDisplayModeKey = QStringLiteral("TB Display Mode");
const QString kSizeModeKey = QStringLiteral("TB Size Mode");
const QString kIconSizeModeKey = QStringLiteral("TB Icon Size Mode");
const QString kIsShownKey = QStringLiteral("TB Is Shown");
const QString kItemIdentifiersKey = QStringLiteral("TB Item Identifiers");

const QStringList& standardIdentifiers()
{
    static const QStringList identifiers{kToolbarSpaceItemIdentifier,     kToolbarFlexibleSpaceItemIdentifier,
                                         kToolbarSeparatorItemIdentifier, kToolbarShowColorsItemIdentifier,
                                         kToolbarShowFontsItemIdentifier, kToolbarPrintItemIdentifier};
    return identifiers;
}

bool isSpace(const QString& identifier)
{
    return identifier == kToolbarSpaceItemIdentifier || identifier == kToolbarFlexibleSpaceItemIdentifier;
}

Qt::ToolButtonStyle styleFor(Toolbar::DisplayMode mode)
{
    switch (mode) {
    case Toolbar::DisplayMode::IconOnly:
        return Qt::ToolButtonIconOnly;
    case Toolbar::DisplayMode::LabelOnly:
        return Qt::ToolButtonTextOnly;
    case Toolbar::DisplayMode::Default:
    case Toolbar::DisplayMode::IconAndLabel:
        break;
    }
    return Qt::ToolButtonTextUnderIcon;
}

} // namespace

// The QToolBar kept in step with the items. Item views stay the items' own: they sit in holders the
// toolbar owns and are taken out again before a holder goes. Items the bar has no room for leave it
// and show as their menu forms behind an extension button at its right end.
class Toolbar::Mirror : public QObject, public MenuDelegate {
public:
    explicit Mirror(Toolbar& toolbar)
        : m_toolbar(toolbar), m_bar(new QToolBar(toolbar.identifier())),
          m_overflowMenu(std::make_unique<Menu>(QString()))
    {
        m_bar->setMovable(false);
        m_bar->setFloatable(false);
        m_bar->installEventFilter(this);
        m_overflowMenu->setDelegate(this);
        m_extension = new QToolButton(m_bar);
        m_extension->setObjectName(QStringLiteral("toolbarExtensionButton"));
        m_extension->setText(QStringLiteral("\u00BB"));
        m_extension->setAutoRaise(true);
        m_extension->setFocusPolicy(Qt::NoFocus);
        m_extension->setPopupMode(QToolButton::InstantPopup);
        m_extension->setToolButtonStyle(Qt::ToolButtonTextOnly);
        // The chevron says there is more; the menu arrow beside it would say it twice.
        m_extension->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; }"));
        m_extension->setMenu(m_overflowMenu->qMenu());
        m_extension->hide();
    }

    ~Mirror() override
    {
        if (m_bar)
            m_bar->removeEventFilter(this);
        releaseViews();
        // Its buttons call into the toolbar: the bar goes with it, even from a window that holds it.
        delete m_bar.data();
    }

    QToolBar* bar() const { return m_bar.data(); }

    void rebuild()
    {
        if (!m_bar)
            return;
        releaseViews();
        m_bar->clear();
        m_actions.clear();
        for (ToolbarItem* item : m_toolbar.items()) {
            const QString& identifier = item->itemIdentifier();
            if (identifier == kToolbarSeparatorItemIdentifier) {
                m_actions[item] = m_bar->addSeparator();
                continue;
            }
            if (isSpace(identifier)) {
                auto* spacer = new QWidget;
                if (identifier == kToolbarFlexibleSpaceItemIdentifier)
                    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
                else
                    spacer->setFixedWidth(16);
                m_actions[item] = m_bar->addWidget(spacer);
                continue;
            }
            if (QWidget* view = item->view()) {
                auto* holder = new QWidget;
                holder->setObjectName(QStringLiteral("toolbarItemHolder"));
                auto* layout = new QHBoxLayout(holder);
                layout->setContentsMargins(0, 0, 0, 0);
                layout->addWidget(view);
                view->show();
                m_actions[item] = m_bar->addWidget(holder);
                m_views.push_back(view);
                continue;
            }
            QAction* action = m_bar->addAction(item->image(), item->label());
            QObject::connect(action, &QAction::triggered, m_bar, [this, item] {
                const auto items = m_toolbar.items();
                if (std::find(items.begin(), items.end(), item) != items.end())
                    item->performAction();
            });
            m_actions[item] = action;
            refresh(*item);
        }
        // Toolbar controls answer the mouse only: keys belong to the script. A slider holding the
        // focus would turn the operator's Ctrl+End into full speed, and Space into a click.
        for (QWidget* widget : m_bar->findChildren<QWidget*>())
            widget->setFocusPolicy(Qt::NoFocus);
        applyModes();
        applyOverflow();
    }

    // Hides what does not fit the bar's width, lowest visibility priority first and, among equals,
    // from the end; the extension button then takes the room at the end.
    void applyOverflow()
    {
        if (!m_bar || m_applyingOverflow)
            return;
        m_applyingOverflow = true;
        const std::vector<ToolbarItem*> items = m_toolbar.items();
        // The room QToolBar's own layout gives its items: style margins at both ends, style spacing
        // between items.
        QStyle* style = m_bar->style();
        const int margin = style->pixelMetric(QStyle::PM_ToolBarItemMargin, nullptr, m_bar) +
                           style->pixelMetric(QStyle::PM_ToolBarFrameWidth, nullptr, m_bar);
        const QMargins margins = m_bar->contentsMargins() + QMargins(margin, margin, margin, margin);
        const int spacing = std::max(0, style->pixelMetric(QStyle::PM_ToolBarItemSpacing, nullptr, m_bar));
        // A few pixels to spare, so Qt's own layout never finds the row a hair too long.
        constexpr int kSlack = 4;
        const int available = m_bar->width() - margins.left() - margins.right() - kSlack;
        std::vector<int> widths(items.size(), 0);
        for (size_t i = 0; i < items.size(); ++i)
            widths[i] = widthOf(*items[i]);
        auto total = [&](const std::vector<bool>& shown, int extra) {
            int sum = extra, count = extra > 0 ? 1 : 0;
            for (size_t i = 0; i < items.size(); ++i) {
                if (shown[i]) {
                    sum += widths[i];
                    ++count;
                }
            }
            return sum + spacing * std::max(0, count - 1);
        };
        std::vector<bool> shown(items.size(), true);
        m_hidden.clear();
        const int extensionWidth = m_extension->sizeHint().width();
        // A bar not laid out yet has no width to go by: everything stays.
        if (m_bar->width() > 0 && total(shown, 0) > available) {
            std::vector<size_t> order(items.size());
            for (size_t i = 0; i < order.size(); ++i)
                order[i] = i;
            std::stable_sort(order.begin(), order.end(), [&items](size_t a, size_t b) {
                if (items[a]->visibilityPriority() != items[b]->visibilityPriority())
                    return items[a]->visibilityPriority() < items[b]->visibilityPriority();
                return a > b;
            });
            for (size_t index : order) {
                if (total(shown, extensionWidth) <= available)
                    break;
                shown[index] = false;
            }
            for (size_t i = 0; i < items.size(); ++i) {
                if (!shown[i])
                    m_hidden.push_back(items[i]);
            }
        }
        for (size_t i = 0; i < items.size(); ++i) {
            auto it = m_actions.find(items[i]);
            if (it != m_actions.end() && it->second->isVisible() != shown[i])
                it->second->setVisible(shown[i]);
        }
        const bool overflow = std::any_of(m_hidden.begin(), m_hidden.end(),
                                          [](ToolbarItem* item) { return !isSpaceOrSeparator(*item); });
        if (overflow) {
            const QSize size = m_extension->sizeHint();
            m_extension->setGeometry(m_bar->width() - margins.right() - size.width(),
                                     (m_bar->height() - size.height()) / 2, size.width(), size.height());
            m_extension->raise();
        }
        m_extension->setVisible(overflow);
        m_applyingOverflow = false;
    }

    const std::vector<ToolbarItem*>& hiddenItems() const { return m_hidden; }
    Menu& overflowMenu() const { return *m_overflowMenu; }
    QToolButton* extensionButton() const { return m_extension; }

    void menuNeedsUpdate(Menu& menu) override
    {
        menu.removeAllItems();
        for (ToolbarItem* item : m_hidden) {
            if (!isSpaceOrSeparator(*item))
                menu.addItem(item->makeMenuFormItem());
        }
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_bar && event->type() == QEvent::Resize)
            applyOverflow();
        return false;
    }

    QWidget* widgetFor(const ToolbarItem* item) const
    {
        auto it = m_actions.find(const_cast<ToolbarItem*>(item));
        return it == m_actions.end() || !m_bar ? nullptr : m_bar->widgetForAction(it->second);
    }

    void refresh(ToolbarItem& item)
    {
        auto it = m_actions.find(&item);
        if (it == m_actions.end())
            return;
        QAction* action = it->second;
        if (isSpaceOrSeparator(item))
            return;
        action->setEnabled(item.isEnabled());
        if (item.view())
            return;
        action->setText(item.label());
        action->setIcon(item.image());
        action->setToolTip(item.toolTip().isEmpty() ? item.label() : item.toolTip());
        // An item with a width of its own keeps it whatever its label says.
        if (QWidget* button = m_bar ? m_bar->widgetForAction(action) : nullptr;
            button && item.maxSize().width > 0) {
            button->setMinimumWidth(int(std::ceil(item.minSize().width)));
            button->setMaximumWidth(int(std::ceil(item.maxSize().width)));
        }
        // A new label may widen the item past the room there is.
        applyOverflow();
    }

    void applyModes()
    {
        if (!m_bar)
            return;
        m_bar->setToolButtonStyle(styleFor(m_toolbar.displayMode()));
        const int size = m_toolbar.sizeMode() == SizeMode::Small ? 24 : 32;
        m_bar->setIconSize(QSize(size, size));
        // A view item is as tall as a button, so a caption at its foot sits on the buttons' labels.
        const int height = buttonHeight();
        for (QWidget* holder : m_bar->findChildren<QWidget*>(QStringLiteral("toolbarItemHolder")))
            holder->setFixedHeight(height);
        // A bar nobody holds yet would show as a window of its own; its holder shows it.
        if (m_bar->parentWidget())
            m_bar->setVisible(m_toolbar.isVisible());
        applyOverflow();
    }

private:
    // The height of the bar's buttons, icon and label, as the style makes them.
    int buttonHeight() const
    {
        QToolButton probe;
        probe.setStyle(m_bar->style());
        probe.setFont(m_bar->font());
        probe.setToolButtonStyle(m_bar->toolButtonStyle());
        probe.setIconSize(m_bar->iconSize());
        QPixmap icon(m_bar->iconSize());
        icon.fill(Qt::transparent);
        probe.setIcon(QIcon(icon));
        probe.setText(QStringLiteral("Xg"));
        probe.setAutoRaise(true);
        return probe.sizeHint().height();
    }

    static bool isSpaceOrSeparator(const ToolbarItem& item)
    {
        return isSpace(item.itemIdentifier()) || item.itemIdentifier() == kToolbarSeparatorItemIdentifier;
    }

    // The room the item takes in the bar; a flexible space may shrink to nothing.
    int widthOf(const ToolbarItem& item) const
    {
        if (item.itemIdentifier() == kToolbarFlexibleSpaceItemIdentifier)
            return 0;
        auto it = m_actions.find(const_cast<ToolbarItem*>(&item));
        if (it == m_actions.end())
            return 0;
        QWidget* widget = m_bar->widgetForAction(it->second);
        return widget ? std::max(0, widget->sizeHint().width()) : 0;
    }

    void releaseViews()
    {
        for (const QPointer<QWidget>& view : m_views) {
            if (view) {
                view->hide();
                view->setParent(nullptr);
            }
        }
        m_views.clear();
    }

    Toolbar& m_toolbar;
    QPointer<QToolBar> m_bar;
    std::map<ToolbarItem*, QAction*> m_actions;
    std::vector<QPointer<QWidget>> m_views;
    std::vector<ToolbarItem*> m_hidden;
    std::unique_ptr<Menu> m_overflowMenu;
    QPointer<QToolButton> m_extension;
    bool m_applyingOverflow = false;
};

Toolbar::Toolbar(QString identifier) : m_identifier(std::move(identifier)) {}

Toolbar::~Toolbar()
{
    m_mirror.reset();
}

void Toolbar::setDelegate(ToolbarDelegate* delegate)
{
    m_delegate = delegate;
    if (!delegate)
        return;
    // The configuration is the toolbar's own saved state, never registered: read what is stored.
    const PlistValue stored =
        m_autosaves ? defaults().persistentDomain().value(configurationKey()) : PlistValue();
    if (stored.isDictionary() && stored.dictionary().value(kItemIdentifiersKey).isArray())
        setConfigurationFromDictionary(stored.dictionary());
    else
        setItems(defaultItemIdentifiers());
}

std::vector<ToolbarItem*> Toolbar::items() const
{
    std::vector<ToolbarItem*> result;
    for (const auto& item : m_items)
        result.push_back(item.get());
    return result;
}

QStringList Toolbar::itemIdentifiers() const
{
    QStringList identifiers;
    for (const auto& item : m_items)
        identifiers << item->itemIdentifier();
    return identifiers;
}

ToolbarItem* Toolbar::itemWithIdentifier(const QString& identifier) const
{
    for (const auto& item : m_items) {
        if (item->itemIdentifier() == identifier)
            return item.get();
    }
    return nullptr;
}

QStringList Toolbar::allowedItemIdentifiers()
{
    return m_delegate ? m_delegate->allowedItemIdentifiers(*this) : QStringList();
}

QStringList Toolbar::defaultItemIdentifiers()
{
    return m_delegate ? m_delegate->defaultItemIdentifiers(*this) : QStringList();
}

std::unique_ptr<ToolbarItem> Toolbar::makeItem(const QString& identifier, bool willBeInserted)
{
    if (!standardIdentifiers().contains(identifier))
        return m_delegate ? m_delegate->itemForItemIdentifier(*this, identifier, willBeInserted) : nullptr;
    auto item = std::make_unique<ToolbarItem>(identifier);
    if (identifier == kToolbarShowColorsItemIdentifier) {
        item->setLabel(QStringLiteral("Colors"));
        item->setAction(QStringLiteral("orderFrontColorPanel:"));
    } else if (identifier == kToolbarShowFontsItemIdentifier) {
        item->setLabel(QStringLiteral("Fonts"));
        item->setAction(QStringLiteral("orderFrontFontPanel:"));
    } else if (identifier == kToolbarPrintItemIdentifier) {
        item->setLabel(QStringLiteral("Print"));
        item->setAction(QStringLiteral("printDocument:"));
    }
    return item;
}

bool Toolbar::insertItemWithItemIdentifier(const QString& identifier, int index)
{
    if (!standardIdentifiers().contains(identifier) && !allowedItemIdentifiers().contains(identifier))
        return false;
    std::unique_ptr<ToolbarItem> item = makeItem(identifier, true);
    if (!item)
        return false;
    item->m_toolbar = this;
    if (m_delegate)
        m_delegate->toolbarWillAddItem(*this, *item);
    const int at = index < 0 || index > int(m_items.size()) ? int(m_items.size()) : index;
    m_items.insert(m_items.begin() + at, std::move(item));
    changed(Change::Items);
    return true;
}

void Toolbar::removeItemAtIndex(int index)
{
    if (index < 0 || index >= int(m_items.size()))
        return;
    std::unique_ptr<ToolbarItem> removed = std::move(m_items[size_t(index)]);
    m_items.erase(m_items.begin() + index);
    // Out of the QToolBar before the item (and its view) goes.
    changed(Change::Items);
    removed->m_toolbar = nullptr;
    if (m_delegate)
        m_delegate->toolbarDidRemoveItem(*this, *removed);
}

void Toolbar::setItems(const QStringList& identifiers)
{
    m_restoring = true;
    while (!m_items.empty())
        removeItemAtIndex(int(m_items.size()) - 1);
    for (const QString& identifier : identifiers)
        insertItemWithItemIdentifier(identifier, int(m_items.size()));
    m_restoring = false;
    changed(Change::Items);
}

void Toolbar::setVisible(bool visible)
{
    if (visible == m_visible)
        return;
    m_visible = visible;
    changed(Change::Visibility);
}

void Toolbar::setDisplayMode(DisplayMode mode)
{
    if (mode == m_displayMode)
        return;
    m_displayMode = mode;
    changed(Change::DisplayMode);
}

void Toolbar::setSizeMode(SizeMode mode)
{
    if (mode == m_sizeMode)
        return;
    m_sizeMode = mode;
    changed(Change::SizeMode);
}

void Toolbar::setAutosavesConfiguration(bool flag)
{
    m_autosaves = flag;
    if (flag && m_delegate) {
        const PlistValue stored = defaults().persistentDomain().value(configurationKey());
        if (stored.isDictionary())
            setConfigurationFromDictionary(stored.dictionary());
    }
}

PlistDictionary Toolbar::configurationDictionary() const
{
    PlistDictionary configuration;
    configuration.insert(kDisplayModeKey, PlistValue(int(m_displayMode)));
    configuration.insert(kIconSizeModeKey, PlistValue(int(m_sizeMode)));
    configuration.insert(kIsShownKey, PlistValue(m_visible ? 1 : 0));
    PlistArray identifiers;
    for (const auto& item : m_items)
        identifiers.push_back(PlistValue(item->itemIdentifier()));
    configuration.insert(kItemIdentifiersKey, PlistValue(identifiers));
    configuration.insert(kSizeModeKey, PlistValue(int(m_sizeMode)));
    return configuration;
}

void Toolbar::setConfigurationFromDictionary(const PlistDictionary& configuration)
{
    m_restoring = true;
    const PlistValue display = configuration.value(kDisplayModeKey);
    if (display.isInteger() && display.integer() >= 0 && display.integer() <= 3)
        m_displayMode = DisplayMode(display.integer());
    const PlistValue size = configuration.value(kSizeModeKey);
    if (size.isInteger() && size.integer() >= 0 && size.integer() <= 2)
        m_sizeMode = SizeMode(size.integer());
    const PlistValue shown = configuration.value(kIsShownKey);
    if (shown.isInteger() || shown.isBoolean())
        m_visible = shown.isBoolean() ? shown.boolean() : shown.integer() != 0;
    const PlistValue identifiers = configuration.value(kItemIdentifiersKey);
    if (identifiers.isArray()) {
        QStringList list;
        for (const PlistValue& value : identifiers.array()) {
            if (value.isString())
                list << value.string();
        }
        setItems(list);
    }
    m_restoring = false;
    changed(Change::DisplayMode);
    changed(Change::SizeMode);
    changed(Change::Visibility);
}

void Toolbar::validateVisibleItems()
{
    if (!m_visible)
        return;
    for (const auto& item : m_items)
        item->validate();
}

void Toolbar::changed(Change change)
{
    if (m_restoring)
        return;
    if (m_mirror) {
        if (change == Change::Items)
            m_mirror->rebuild();
        else
            m_mirror->applyModes();
    }
    if (m_autosaves && !m_autosavingSuspended && m_delegate)
        defaults().setObject(PlistValue(configurationDictionary()), configurationKey());
    if (m_changeHandler)
        m_changeHandler(*this, change);
}

void Toolbar::itemDidChange(ToolbarItem& item)
{
    if (m_mirror)
        m_mirror->refresh(item);
}

QToolBar* Toolbar::qToolBar()
{
    if (!m_mirror) {
        m_mirror = std::make_unique<Mirror>(*this);
        m_mirror->rebuild();
    }
    return m_mirror->bar();
}

std::vector<ToolbarItem*> Toolbar::overflowItems()
{
    std::vector<ToolbarItem*> result;
    qToolBar();
    for (ToolbarItem* item : m_mirror->hiddenItems()) {
        if (!isSpace(item->itemIdentifier()) && item->itemIdentifier() != kToolbarSeparatorItemIdentifier)
            result.push_back(item);
    }
    return result;
}

Menu& Toolbar::overflowMenu()
{
    qToolBar();
    return m_mirror->overflowMenu();
}

QToolButton* Toolbar::extensionButton()
{
    qToolBar();
    return m_mirror->extensionButton();
}

QWidget* Toolbar::widgetForItem(const ToolbarItem* item)
{
    return m_mirror ? m_mirror->widgetFor(item) : nullptr;
}

UserDefaults& Toolbar::defaults() const
{
    return m_defaults ? *m_defaults : UserDefaults::shared();
}
