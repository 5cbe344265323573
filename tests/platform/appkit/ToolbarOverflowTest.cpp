#include "TestSupport.h"

#include "platform/appkit/Application.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/Toolbar.h"
#include "platform/appkit/ToolbarItem.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/UserDefaults.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QSlider>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// Buttons A..E of equal width, a slider item "Speed" with a menu form of its own, and a space.
class Delegate : public ToolbarDelegate {
public:
    std::unique_ptr<ToolbarItem> itemForItemIdentifier(Toolbar&, const QString& identifier, bool) override
    {
        auto item = std::make_unique<ToolbarItem>(identifier);
        item->setLabel(identifier);
        if (identifier == "Speed") {
            auto slider = std::make_unique<QSlider>(Qt::Horizontal);
            slider->setFixedWidth(120);
            item->setView(std::move(slider));
            auto form = std::make_unique<MenuItem>("Speed");
            auto submenu = std::make_unique<Menu>("Speed");
            submenu->addItemWithTitle("Increase Speed", "faster:");
            form->setSubmenu(std::move(submenu));
            item->setMenuFormRepresentation(std::move(form));
        } else {
            item->setAction(identifier.toLower() + ":");
        }
        item->setVisibilityPriority(priorities.value(identifier, 0));
        return item;
    }
    QStringList allowedItemIdentifiers(Toolbar&) override { return identifiers; }
    QStringList defaultItemIdentifiers(Toolbar&) override { return identifiers; }

    QStringList identifiers{"A", "Speed", "B", kToolbarFlexibleSpaceItemIdentifier, "C", "D"};
    QMap<QString, int> priorities{{"A", 1000}, {"D", 1000}};
};

struct ToolbarOverflow : ::testing::Test {
    ToolbarOverflow() : defaults(folder.filePath("defaults.plist")), window(Rect(0, 0, 300, 200))
    {
        window.setWindowController(&controller);
        window.makeKeyWindow();
        toolbar.setUserDefaults(&defaults);
        toolbar.setDelegate(&delegate);
        auto* layout = new QVBoxLayout(&host);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(toolbar.qToolBar());
        host.show();
    }

    QStringList overflowIdentifiers()
    {
        QStringList names;
        for (ToolbarItem* item : toolbar.overflowItems())
            names << item->itemIdentifier();
        return names;
    }

    void resize(int width)
    {
        host.resize(width, 60);
        QApplication::processEvents();
    }

    QTemporaryDir folder;
    UserDefaults defaults;
    Window window;
    Responder controller;
    Delegate delegate;
    // Holds the bar but goes after the toolbar, which takes its item views back first.
    QWidget host;
    Toolbar toolbar{"Overflowing"};
};

} // namespace

TEST_F(ToolbarOverflow, AWideBarShowsEveryItemAndNoExtensionButton)
{
    resize(1400);
    EXPECT_TRUE(toolbar.overflowItems().empty());
    EXPECT_TRUE(toolbar.extensionButton()->isHidden());
    for (QAction* action : toolbar.qToolBar()->actions())
        EXPECT_TRUE(action->isVisible());
}

TEST_F(ToolbarOverflow, ANarrowBarMovesLowPriorityItemsFromTheEndIntoTheMenu)
{
    resize(1400);
    const int full = toolbar.qToolBar()->sizeHint().width();
    // Room for about half: the items of priority 0 leave, the last first; A and D stay.
    resize(full / 2);
    const QStringList hidden = overflowIdentifiers();
    ASSERT_FALSE(hidden.isEmpty());
    EXPECT_FALSE(hidden.contains("A"));
    EXPECT_FALSE(hidden.contains("D"));
    EXPECT_TRUE(hidden.contains("C"));
    EXPECT_FALSE(toolbar.extensionButton()->isHidden());
    EXPECT_EQ(toolbar.extensionButton()->text(), QStringLiteral("\u00BB"));
    // What shows fits, the button included, so Qt never adds an extension of its own.
    int shown = 0;
    for (QAction* action : toolbar.qToolBar()->actions())
        if (action->isVisible())
            if (QWidget* widget = toolbar.qToolBar()->widgetForAction(action))
                shown += widget->sizeHint().width();
    EXPECT_LE(shown + toolbar.extensionButton()->sizeHint().width(), toolbar.qToolBar()->width());

    // Wide again, everything is back.
    resize(1400);
    EXPECT_TRUE(toolbar.overflowItems().empty());
    EXPECT_TRUE(toolbar.extensionButton()->isHidden());
}

TEST_F(ToolbarOverflow, TheMenuListsTheHiddenItemsMenuFormsInToolbarOrderAndSendsTheirActions)
{
    int sent = 0;
    controller.setActionHandler("c:", [&](const QVariant&) { ++sent; });
    resize(1400);
    const int full = toolbar.qToolBar()->sizeHint().width();
    resize(full / 3);
    ASSERT_TRUE(overflowIdentifiers().contains("Speed"));
    ASSERT_TRUE(overflowIdentifiers().contains("C"));

    Menu& menu = toolbar.overflowMenu();
    menu.prepareToOpen();
    QStringList titles;
    for (MenuItem* item : menu.items())
        titles << item->title();
    QStringList expected;
    for (const QString& name : overflowIdentifiers())
        expected << name;
    EXPECT_EQ(titles, expected);
    // The slider shows as its own menu form, a submenu; a plain button as its label and action.
    MenuItem* speed = menu.itemWithTitle("Speed");
    ASSERT_NE(speed, nullptr);
    ASSERT_TRUE(speed->hasSubmenu());
    EXPECT_EQ(speed->submenu()->itemAtIndex(0)->action(), QStringLiteral("faster:"));
    MenuItem* c = menu.itemWithTitle("C");
    ASSERT_NE(c, nullptr);
    EXPECT_TRUE(c->isEnabled());
    EXPECT_TRUE(menu.performActionForItem(c));
    EXPECT_EQ(sent, 1);
    // An action nobody answers is disabled, as the toolbar button would be.
    MenuItem* b = menu.itemWithTitle("B");
    if (b) {
        EXPECT_FALSE(b->isEnabled());
    }
}

TEST(ToolbarItemMenuForm, ViewItemsWithoutOneShowTheirLabelDisabled)
{
    ToolbarItem view("Timer");
    view.setLabel("Timer");
    view.setView(std::make_unique<QWidget>());
    std::unique_ptr<MenuItem> item = view.makeMenuFormItem();
    EXPECT_EQ(item->title(), QStringLiteral("Timer"));
    EXPECT_FALSE(item->isEnabled());
    EXPECT_TRUE(item->action().isEmpty());

    ToolbarItem button("Start");
    button.setLabel("Start");
    button.setAction("toggleStatus:");
    button.setTag(900);
    item = button.makeMenuFormItem();
    EXPECT_EQ(item->action(), QStringLiteral("toggleStatus:"));
    EXPECT_EQ(item->tag(), 900);
}
