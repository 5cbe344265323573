#include "platform/appkit/Toolbar.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/ToolbarItem.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/UserDefaults.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QPointer>
#include <QSlider>
#include <QTemporaryDir>
#include <QToolBar>

namespace {

class Delegate : public ToolbarDelegate {
public:
    std::unique_ptr<ToolbarItem> itemForItemIdentifier(Toolbar&, const QString& identifier, bool) override
    {
        if (!allowed.contains(identifier))
            return nullptr;
        auto item = std::make_unique<ToolbarItem>(identifier);
        item->setLabel(identifier);
        if (identifier == "Speed")
            item->setView(std::make_unique<QSlider>());
        else
            item->setAction(identifier.toLower() + ":");
        return item;
    }
    QStringList allowedItemIdentifiers(Toolbar&) override { return allowed; }
    QStringList defaultItemIdentifiers(Toolbar&) override { return defaults; }
    void toolbarDidRemoveItem(Toolbar&, ToolbarItem& item) override { removed << item.itemIdentifier(); }

    QStringList allowed{"Start", "Speed", "Preview", "Modes"};
    QStringList defaults{"Start", "Speed", kToolbarFlexibleSpaceItemIdentifier, "Modes"};
    QStringList removed;
};

struct Toolbars : ::testing::Test {
    Toolbars() : defaults(folder.filePath("defaults.plist")), window(Rect(0, 0, 300, 200))
    {
        window.setWindowController(&controller);
        window.makeKeyWindow();
    }

    QTemporaryDir folder;
    UserDefaults defaults;
    Window window;
    Responder controller;
    Delegate delegate;
};

} // namespace

TEST_F(Toolbars, StartsWithTheDefaultItems)
{
    Toolbar toolbar("DocumentToolbar");
    toolbar.setUserDefaults(&defaults);
    toolbar.setDelegate(&delegate);
    EXPECT_EQ(toolbar.itemIdentifiers(), delegate.defaults);
    EXPECT_FALSE(toolbar.insertItemWithItemIdentifier("Unknown", 0));
    EXPECT_TRUE(toolbar.insertItemWithItemIdentifier("Preview", 1));
    EXPECT_EQ(toolbar.itemIdentifiers().value(1), "Preview");
    toolbar.removeItemAtIndex(0);
    EXPECT_EQ(delegate.removed, QStringList{"Start"});
}

TEST_F(Toolbars, TheConfigurationIsSavedAndRestoredPerIdentifier)
{
    {
        Toolbar toolbar("DocumentToolbar");
        toolbar.setUserDefaults(&defaults);
        toolbar.setAutosavesConfiguration(true);
        toolbar.setDelegate(&delegate);
        toolbar.removeItemAtIndex(1);
        toolbar.insertItemWithItemIdentifier("Preview", 0);
        toolbar.setDisplayMode(Toolbar::DisplayMode::IconOnly);
        toolbar.setVisible(false);
    }
    const PlistDictionary stored = defaults.dictionaryForKey("NSToolbar Configuration DocumentToolbar");
    EXPECT_EQ(stored.value("TB Display Mode").integer(), 2);
    EXPECT_EQ(stored.value("TB Is Shown").integer(), 0);

    // An item no longer allowed is left out when restoring.
    delegate.allowed.removeAll("Modes");
    Toolbar restored("DocumentToolbar");
    restored.setUserDefaults(&defaults);
    restored.setAutosavesConfiguration(true);
    restored.setDelegate(&delegate);
    EXPECT_EQ(restored.itemIdentifiers(),
              QStringList({"Preview", "Start", kToolbarFlexibleSpaceItemIdentifier}));
    EXPECT_EQ(restored.displayMode(), Toolbar::DisplayMode::IconOnly);
    EXPECT_FALSE(restored.isVisible());

    Toolbar other("OtherToolbar");
    other.setUserDefaults(&defaults);
    other.setAutosavesConfiguration(true);
    other.setDelegate(&delegate);
    EXPECT_EQ(other.itemIdentifiers().value(0), "Start");
    EXPECT_TRUE(other.isVisible());
}

TEST_F(Toolbars, AStoredConfigurationOfTheWrongShapeIsIgnored)
{
    PlistDictionary damaged;
    damaged.insert("TB Display Mode", PlistValue("two"));
    damaged.insert("TB Item Identifiers", PlistValue(PlistArray{PlistValue(3), PlistValue("Start")}));
    damaged.insert("TB Size Mode", PlistValue(99));
    defaults.setObject(PlistValue(damaged), "NSToolbar Configuration T");
    Toolbar toolbar("T");
    toolbar.setUserDefaults(&defaults);
    toolbar.setAutosavesConfiguration(true);
    toolbar.setDelegate(&delegate);
    EXPECT_EQ(toolbar.itemIdentifiers(), QStringList{"Start"});
    EXPECT_EQ(toolbar.displayMode(), Toolbar::DisplayMode::Default);
    EXPECT_EQ(toolbar.sizeMode(), Toolbar::SizeMode::Default);
}

TEST_F(Toolbars, ItemsAreValidatedThroughTheResponderChain)
{
    int starts = 0;
    controller.setActionHandler(
        "start:", [&](const QVariant&) { ++starts; },
        [](const UserInterfaceItem& item) { return !item.isMenuItem; });
    Toolbar toolbar("T");
    toolbar.setUserDefaults(&defaults);
    toolbar.setDelegate(&delegate);
    toolbar.validateVisibleItems();
    EXPECT_TRUE(toolbar.itemWithIdentifier("Start")->isEnabled());
    EXPECT_FALSE(toolbar.itemWithIdentifier("Modes")->isEnabled());
    // Items without an action keep their own state.
    EXPECT_TRUE(toolbar.itemWithIdentifier("Speed")->isEnabled());

    controller.setActionHandler(
        "start:", [&](const QVariant&) { ++starts; }, [](const UserInterfaceItem&) { return false; });
    toolbar.validateVisibleItems();
    EXPECT_FALSE(toolbar.itemWithIdentifier("Start")->isEnabled());
    EXPECT_FALSE(toolbar.itemWithIdentifier("Start")->performAction());
    EXPECT_EQ(starts, 0);
}

TEST_F(Toolbars, TheQtToolbarFollowsItemsModesAndEnabling)
{
    int modes = 0;
    controller.setActionHandler("modes:", [&](const QVariant&) { ++modes; });
    Toolbar toolbar("T");
    toolbar.setUserDefaults(&defaults);
    toolbar.setDelegate(&delegate);
    QToolBar* bar = toolbar.qToolBar();
    ASSERT_EQ(bar->actions().size(), 4);
    QPointer<QWidget> slider = toolbar.itemWithIdentifier("Speed")->view();
    // No control of the bar takes the keyboard from the script.
    ASSERT_TRUE(slider);
    EXPECT_EQ(slider->focusPolicy(), Qt::NoFocus);
    for (QWidget* widget : bar->findChildren<QWidget*>())
        EXPECT_EQ(widget->focusPolicy(), Qt::NoFocus) << widget->metaObject()->className();
    toolbar.validateVisibleItems();
    EXPECT_FALSE(bar->actions()[0]->isEnabled());
    bar->actions()[3]->trigger();
    EXPECT_EQ(modes, 1);

    toolbar.setDisplayMode(Toolbar::DisplayMode::LabelOnly);
    EXPECT_EQ(bar->toolButtonStyle(), Qt::ToolButtonTextOnly);
    toolbar.itemWithIdentifier("Modes")->setLabel("Edit Mode");
    EXPECT_EQ(bar->actions()[3]->text(), "Edit Mode");

    // Rebuilding the bar leaves the item's view alive; removing the item ends it.
    toolbar.insertItemWithItemIdentifier("Preview", 0);
    EXPECT_EQ(bar->actions().size(), 5);
    ASSERT_TRUE(slider);
    toolbar.removeItemAtIndex(2);
    EXPECT_FALSE(slider);
}

TEST_F(Toolbars, AWindowHoldingTheBarLosesItWithTheToolbar)
{
    QWidget host;
    {
        Toolbar toolbar("T");
        toolbar.setUserDefaults(&defaults);
        toolbar.setDelegate(&delegate);
        toolbar.qToolBar()->setParent(&host);
        EXPECT_NE(host.findChild<QToolBar*>(), nullptr);
    }
    EXPECT_EQ(host.findChild<QToolBar*>(), nullptr);
}
