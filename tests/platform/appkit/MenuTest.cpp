#include "platform/appkit/Menu.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/View.h"
#include "platform/appkit/Window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>
#include <QWidgetAction>

namespace {

// A window with a focused view, a window controller and a document on the chain, and an application
// delegate behind them.
struct MenuValidation : ::testing::Test {
    MenuValidation() : window(Rect(0, 0, 300, 200))
    {
        window.setWindowController(&controller);
        window.setDocument(&document);
        Application::shared().setDelegate(&appDelegate);
        window.makeKeyWindow();
    }
    ~MenuValidation() override
    {
        Application::shared().setDelegate(nullptr);
        Menu::setModifierFlagsProvider({});
    }

    Event keyDown(const QString& characters, unsigned long flags)
    {
        Event event;
        event.type = Event::Type::KeyDown;
        event.characters = characters;
        event.charactersIgnoringModifiers = characters;
        event.modifierFlags = flags;
        return event;
    }

    Window window;
    Responder controller;
    Responder document;
    Responder appDelegate;
    QStringList log;
};

class RebuildingDelegate : public MenuDelegate {
public:
    int updates = 0;
    void menuNeedsUpdate(Menu& menu) override
    {
        ++updates;
        menu.removeAllItems();
        for (int i = 0; i < updates; ++i)
            menu.addItemWithTitle(QStringLiteral("Item %1").arg(i), QStringLiteral("pick:"));
    }
};

} // namespace

TEST_F(MenuValidation, ItemsAreEnabledByTheFirstResponderThatAnswersTheirAction)
{
    document.setActionHandler(
        "saveDocument:", [](const QVariant&) {}, [](const UserInterfaceItem&) { return false; });
    controller.setActionHandler("zoomIn:", [](const QVariant&) {});
    appDelegate.setActionHandler("openPreferences:", [](const QVariant&) {});

    Menu menu("File");
    MenuItem* save = menu.addItemWithTitle("Save", "saveDocument:", "s");
    MenuItem* zoom = menu.addItemWithTitle("Zoom", "zoomIn:");
    MenuItem* prefs = menu.addItemWithTitle("Settings…", "openPreferences:");
    MenuItem* orphan = menu.addItemWithTitle("Nobody", "nobodyAnswers:");
    MenuItem* holder = menu.addItemWithTitle("Recent", {});
    MenuItem* empty = menu.addItemWithTitle("Label", {});
    holder->setSubmenu(std::make_unique<Menu>());
    menu.update();

    EXPECT_FALSE(save->isEnabled());
    EXPECT_TRUE(zoom->isEnabled());
    EXPECT_TRUE(prefs->isEnabled());
    EXPECT_FALSE(orphan->isEnabled());
    EXPECT_TRUE(holder->isEnabled());
    EXPECT_FALSE(empty->isEnabled());

    // A nearer responder that answers the same action decides instead.
    window.setActionHandler("saveDocument:", [](const QVariant&) {});
    menu.update();
    EXPECT_TRUE(save->isEnabled());
}

TEST_F(MenuValidation, ValidationSeesTheItemsTagAndChoosingSendsTheItem)
{
    MenuItem* chosen = nullptr;
    controller.setActionHandler(
        "setSize:", [&](const QVariant& sender) { chosen = sender.value<MenuItem*>(); },
        [](const UserInterfaceItem& item) { return item.isMenuItem && item.tag == 2; });
    Menu menu;
    MenuItem* one = menu.addItemWithTitle("One", "setSize:");
    one->setTag(1);
    MenuItem* two = menu.addItemWithTitle("Two", "setSize:");
    two->setTag(2);
    menu.update();
    EXPECT_FALSE(one->isEnabled());
    EXPECT_TRUE(two->isEnabled());

    EXPECT_FALSE(menu.performActionForItem(one));
    EXPECT_EQ(chosen, nullptr);
    EXPECT_TRUE(menu.performActionForItem(two));
    EXPECT_EQ(chosen, two);
}

TEST_F(MenuValidation, AnExplicitTargetIsTheOnlyOneAsked)
{
    Responder target;
    controller.setActionHandler("act:", [](const QVariant&) {});
    Menu menu;
    MenuItem* item = menu.addItemWithTitle("Act", "act:");
    item->setTarget(&target);
    menu.update();
    EXPECT_FALSE(item->isEnabled());
    target.setActionHandler("act:", [](const QVariant&) {});
    menu.update();
    EXPECT_TRUE(item->isEnabled());
}

TEST_F(MenuValidation, KeyEquivalentsReachTheChainThroughSubmenus)
{
    int saves = 0;
    int saveAs = 0;
    document.setActionHandler("saveDocument:", [&](const QVariant&) { ++saves; });
    document.setActionHandler("saveDocumentAs:", [&](const QVariant&) { ++saveAs; });
    Menu main;
    MenuItem* file = main.addItemWithTitle("File", {});
    file->setSubmenu(std::make_unique<Menu>("File"));
    file->submenu()->addItemWithTitle("Save", "saveDocument:", "s");
    file->submenu()->addItemWithTitle("Save As…", "saveDocumentAs:", "S");

    EXPECT_TRUE(main.performKeyEquivalent(keyDown("s", kCommandKeyMask)));
    EXPECT_TRUE(main.performKeyEquivalent(keyDown("S", kCommandKeyMask | kShiftKeyMask)));
    EXPECT_FALSE(main.performKeyEquivalent(keyDown("s", kCommandKeyMask | kOptionKeyMask)));
    EXPECT_FALSE(main.performKeyEquivalent(keyDown("s", 0)));
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(saveAs, 1);
}

TEST_F(MenuValidation, AlternatesReplaceTheirItemWhileTheirModifiersAreHeld)
{
    Menu menu;
    MenuItem* size = menu.addItemWithTitle("1280 × 720", "resize:");
    auto alternate = std::make_unique<MenuItem>("1280 × 720 Resize All", "resizeAll:");
    alternate->setAlternate(true);
    alternate->setKeyEquivalentModifierMask(kOptionKeyMask);
    MenuItem* all = menu.addItem(std::move(alternate));
    menu.addItem(MenuItem::separatorItem());
    MenuItem* edit = menu.addItemWithTitle("Edit Sizes…", "editSizes:");

    EXPECT_EQ(menu.displayedItems(0), (std::vector<MenuItem*>{size, menu.itemAtIndex(2), edit}));
    EXPECT_EQ(menu.displayedItems(kOptionKeyMask), (std::vector<MenuItem*>{all, menu.itemAtIndex(2), edit}));

    // The Qt menu asks for the modifiers as it opens.
    unsigned long held = kOptionKeyMask;
    Menu::setModifierFlagsProvider([&] { return held; });
    QMenu* qMenu = menu.qMenu();
    emit qMenu->aboutToShow();
    ASSERT_EQ(qMenu->actions().size(), 3);
    EXPECT_EQ(qMenu->actions()[0]->text(), "1280 × 720 Resize All");
    held = 0;
    emit qMenu->aboutToShow();
    EXPECT_EQ(qMenu->actions()[0]->text(), "1280 × 720");
}

TEST_F(MenuValidation, AnOpenMenuSwapsInItsAlternatesAsAltGoesDownAndStaysOpen)
{
    Menu menu;
    menu.addItemWithTitle("Picture", "choose:");
    auto remove = std::make_unique<MenuItem>("Remove Picture", "remove:");
    remove->setAlternate(true);
    remove->setKeyEquivalentModifierMask(kOptionKeyMask);
    menu.addItem(std::move(remove));
    Menu::setModifierFlagsProvider([] { return 0ul; });
    QMenu* qMenu = menu.qMenu();
    qMenu->popup(QPoint(10, 10));
    ASSERT_TRUE(qMenu->isVisible());
    QKeyEvent altDown(QEvent::KeyPress, Qt::Key_Alt, Qt::NoModifier);
    QCoreApplication::sendEvent(qMenu, &altDown);
    EXPECT_TRUE(qMenu->isVisible());
    EXPECT_EQ(qMenu->actions()[0]->text(), "Remove Picture");
    QKeyEvent altUp(QEvent::KeyRelease, Qt::Key_Alt, Qt::AltModifier);
    QCoreApplication::sendEvent(qMenu, &altUp);
    EXPECT_TRUE(qMenu->isVisible());
    EXPECT_EQ(qMenu->actions()[0]->text(), "Picture");
    qMenu->hide();
}

TEST_F(MenuValidation, TheDelegateRebuildsTheMenuEachTimeItOpens)
{
    RebuildingDelegate delegate;
    controller.setActionHandler("pick:", [](const QVariant&) {});
    Menu menu;
    menu.setDelegate(&delegate);
    QMenu* qMenu = menu.qMenu();
    emit qMenu->aboutToShow();
    emit qMenu->aboutToShow();
    EXPECT_EQ(delegate.updates, 2);
    ASSERT_EQ(qMenu->actions().size(), 2);
    EXPECT_TRUE(qMenu->actions()[1]->isEnabled());
}

TEST_F(MenuValidation, TheQtMenuShowsStateAndEnablingAndTriggersTheAction)
{
    int toggles = 0;
    controller.setActionHandler("toggleLooping:", [&](const QVariant&) { ++toggles; });
    Menu menu;
    MenuItem* looping = menu.addItemWithTitle("Looping", "toggleLooping:", "l");
    looping->setState(MenuItem::On);
    menu.addItemWithTitle("Disabled", "nobody:");
    QMenu* qMenu = menu.qMenu();
    emit qMenu->aboutToShow();
    QAction* loopAction = qMenu->actions()[0];
    EXPECT_TRUE(loopAction->isChecked());
    EXPECT_EQ(loopAction->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_L));
    EXPECT_FALSE(qMenu->actions()[1]->isEnabled());
    loopAction->trigger();
    EXPECT_EQ(toggles, 1);
}

TEST_F(MenuValidation, AStyledItemShowsItsKeyEquivalentAtTheRight)
{
    Menu menu;
    const QString title = QStringLiteral("<b>Opening</b>");
    MenuItem* keyed = menu.addItemWithTitle(QString(), "jump:", "1");
    keyed->setKeyEquivalentModifierMask(kCommandKeyMask | kOptionKeyMask);
    keyed->setStyledTitle(title);
    menu.addItemWithTitle(QString(), "jump:")->setStyledTitle(title);
    QMenu* qMenu = menu.qMenu();
    emit qMenu->aboutToShow();
    ASSERT_EQ(qMenu->actions().size(), 2);
    auto* withKey = qobject_cast<QWidgetAction*>(qMenu->actions()[0]);
    auto* without = qobject_cast<QWidgetAction*>(qMenu->actions()[1]);
    ASSERT_TRUE(withKey && without);
    EXPECT_EQ(withKey->shortcut(), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_1));
    QWidget* keyedView = withKey->defaultWidget();
    QWidget* plainView = without->defaultWidget();
    const QString shown = withKey->shortcut().toString(QKeySequence::NativeText);
    EXPECT_GE(keyedView->sizeHint().width(),
              plainView->sizeHint().width() + QFontMetrics(qMenu->font()).horizontalAdvance(shown));
    // Drawn at the same width, only the item with the key has ink in its right half.
    const QSize size(keyedView->sizeHint().width(), keyedView->sizeHint().height());
    keyedView->resize(size);
    plainView->resize(size);
    const QImage keyedImage = keyedView->grab().toImage();
    const QImage plainImage = plainView->grab().toImage();
    int differing = 0;
    for (int x = size.width() / 2; x < size.width(); ++x)
        for (int y = 0; y < size.height(); ++y)
            differing += keyedImage.pixel(x, y) != plainImage.pixel(x, y);
    EXPECT_GT(differing, 20) << "no key equivalent drawn beside the styled title";
}

TEST_F(MenuValidation, TheMainMenuBecomesAMenuBar)
{
    Menu main;
    MenuItem* file = main.addItemWithTitle("File", {});
    file->setSubmenu(std::make_unique<Menu>());
    file->submenu()->addItemWithTitle("New", "newDocument:", "n");
    MenuItem* hidden = main.addItemWithTitle("Debug", {});
    hidden->setSubmenu(std::make_unique<Menu>());
    hidden->setHidden(true);
    Menu::setMainMenu(&main);
    EXPECT_EQ(Menu::mainMenu(), &main);
    QWidget host;
    QMenuBar* bar = main.makeMenuBar(&host);
    ASSERT_EQ(bar->actions().size(), 1);
    EXPECT_EQ(bar->actions()[0]->text(), "File");
    EXPECT_EQ(main.itemWithAction("newDocument:"), file->submenu()->itemAtIndex(0));
    Menu::setMainMenu(nullptr);
}

TEST(MenuEditing, SeparatorsAreAddedOnlyWhereNeededAndCopiesAreDeep)
{
    Menu menu;
    menu.addSeparatorIfNeeded();
    EXPECT_EQ(menu.numberOfItems(), 0);
    menu.addItemWithTitle("A", "a:");
    menu.addSeparatorIfNeeded();
    menu.addSeparatorIfNeeded();
    EXPECT_EQ(menu.numberOfItems(), 2);

    MenuItem* parent = menu.addItemWithTitle("Blanking", "blankingOptionsAction:");
    parent->setSubmenu(std::make_unique<Menu>());
    parent->submenu()->addItemWithTitle("Black", "chooseBlack:")->setTag(7);
    std::unique_ptr<MenuItem> copy = parent->copy();
    ASSERT_TRUE(copy->hasSubmenu());
    EXPECT_NE(copy->submenu(), parent->submenu());
    EXPECT_EQ(copy->submenu()->itemAtIndex(0)->tag(), 7);
    EXPECT_EQ(menu.indexOfItemWithTag(0), 0);
    std::unique_ptr<MenuItem> removed = menu.removeItem(parent);
    EXPECT_EQ(removed->menu(), nullptr);
    EXPECT_EQ(menu.numberOfItems(), 2);
}

TEST_F(MenuValidation, TheMainMenusKeyEquivalentsActFromEveryWindow)
{
    int news = 0;
    appDelegate.setActionHandler("newDocument:", [&](const QVariant&) { ++news; });
    Menu main;
    MenuItem* file = main.addItemWithTitle("File", {});
    file->setSubmenu(std::make_unique<Menu>());
    file->submenu()->addItemWithTitle("New", "newDocument:", "n");
    Menu::setMainMenu(&main);
    const int token = Menu::installKeyEquivalentMonitor();
    Event press = keyDown("n", kCommandKeyMask);
    EXPECT_FALSE(Application::shared().runMonitors(press));
    Event typing = keyDown("n", 0);
    EXPECT_TRUE(Application::shared().runMonitors(typing));
    Application::shared().removeMonitor(token);
    Menu::setMainMenu(nullptr);
    EXPECT_EQ(news, 1);
}
