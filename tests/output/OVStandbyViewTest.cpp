// The standby view: its blanking menu, what it shows and how it turns with the output.
#include "output/OVStandbyView.h"
#include "output/OVBlankingItemList.h"

#include "platform/appkit/Alert.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/OpenPanel.h"
#include "platform/appkit/Window.h"
#include "prompter_view/OVPrompterView.h"
#include "prompting/OVCore.h"

#include "tests/prompting/CoreTestSupport.h"

#include <QDir>
#include <QMenu>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class OVStandbyViewTest : public CoreTest {
protected:
    void SetUp() override
    {
        CoreTest::SetUp();
        ASSERT_TRUE(temp.isValid());
        QDir(OVBlankingItem::storageDirectoryURL().toLocalFile()).removeRecursively();
        OVBlankingItem::clearResourceCaches();
        settings = std::make_unique<UserDefaults>(temp.filePath(QStringLiteral("Orvane.plist")));
        settings->registerDefaults(OVBlankingItemList::initialDefaultsDictionary());
        list = std::make_unique<OVBlankingItemList>(*settings);
        makeCore();
        view = std::make_unique<OVStandbyView>(Rect{0, 0, 1920, 1080});
        view->setItemList(list.get());
        view->setCore(core.get());
        view->setUsesAnimation(false);
    }
    void TearDown() override
    {
        view.reset();
        list.reset();
        CoreTest::TearDown();
    }

    // An image file of the user's: left half red, right half blue, unless one colour is given.
    QString imageFile(const QString& name, QSize size, std::optional<QColor> colour = std::nullopt)
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour.value_or(Qt::red));
        if (!colour) {
            for (int y = 0; y < size.height(); ++y)
                for (int x = size.width() / 2; x < size.width(); ++x)
                    image.setPixel(x, y, qRgb(0, 0, 255));
        }
        const QString path = temp.filePath(name);
        EXPECT_TRUE(image.save(path));
        return path;
    }

    void addItem(const QString& title, QSize size = {100, 50})
    {
        list->addItems({*OVBlankingItem::itemWithFileURL(
            QUrl::fromLocalFile(imageFile(title + QStringLiteral(".png"), size)), title)});
    }

    static QStringList titles(const std::vector<MenuItem*>& items)
    {
        QStringList result;
        for (const MenuItem* item : items)
            result << (item->isSeparatorItem() ? QStringLiteral("-") : item->title());
        return result;
    }

    MenuItem* itemTitled(Menu& menu, const QString& title)
    {
        for (MenuItem* item : menu.items()) {
            if (item->title() == title)
                return item;
        }
        return nullptr;
    }

    QTemporaryDir temp;
    std::unique_ptr<UserDefaults> settings;
    std::unique_ptr<OVBlankingItemList> list;
    std::unique_ptr<OVStandbyView> view;
};

} // namespace

TEST_F(OVStandbyViewTest, AnEmptyListOffersBlackAddingAndAutomaticBlanking)
{
    std::unique_ptr<Menu> menu = view->menuWithSelectedDefault();
    EXPECT_EQ(titles(menu->displayedItems(0)),
              QStringList({"Blank Screen", "-", "Add Image…", "-", "Auto Blank to Hide Edits"}));
    EXPECT_EQ(menu->itemAtIndex(0)->state(), MenuItem::On);
    EXPECT_FALSE(menu->itemAtIndex(0)->image().isNull());
    MenuItem* autoBlank = menu->itemAtIndex(4);
    EXPECT_EQ(autoBlank->state(), MenuItem::Off);
    EXPECT_EQ(autoBlank->toolTip(),
              QStringLiteral("Automatically turns on blanking in Edit mode and turns off "
                             "blanking in Prompt mode. You can still control blanking "
                             "manually when this feature is used."));
    for (MenuItem* item : menu->items()) {
        if (!item->isSeparatorItem()) {
            EXPECT_EQ(item->target(), view.get());
        }
    }

    // Toggling automatic blanking inverts the setting and says so once.
    int toggled = 0;
    NotificationObserver observer(NotificationCenter::shared(),
                                  OVBlankingAutoBlankToHideEditsDidChangeNotification, nullptr,
                                  [&toggled](const Notification&) { ++toggled; });
    EXPECT_TRUE(menu->performActionForItem(autoBlank));
    EXPECT_TRUE(UserDefaults::shared().boolForKey(QStringLiteral("autoBlankToHideEdits")));
    EXPECT_EQ(toggled, 1);
    EXPECT_EQ(view->menuWithSelectedDefault()->itemAtIndex(4)->state(), MenuItem::On);
}

TEST_F(OVStandbyViewTest, ItemsShowWithThumbnailsTheSelectionTickedAndRemoveVariantsUnderAlt)
{
    addItem(QStringLiteral("A"));
    addItem(QStringLiteral("B"));
    list->setRearrangeAccessedItems(false);
    list->setSelectedItem(list->items()[0]);
    std::unique_ptr<Menu> menu = view->menuWithSelectedDefault();
    EXPECT_EQ(titles(menu->displayedItems(0)), QStringList({"Blank Screen", "-", "B", "A", "-", "Add Image…",
                                                            "-", "Auto Blank to Hide Edits"}));
    EXPECT_EQ(titles(menu->displayedItems(kOptionKeyMask)),
              QStringList({"Blank Screen", "-", "Remove B", "Remove A", "-", "Add Image…", "-",
                           "Auto Blank to Hide Edits"}));
    EXPECT_EQ(menu->itemAtIndex(0)->state(), MenuItem::Off);
    EXPECT_EQ(itemTitled(*menu, "B")->state(), MenuItem::On);
    EXPECT_EQ(itemTitled(*menu, "A")->state(), MenuItem::Off);
    EXPECT_EQ(itemTitled(*menu, "Remove B")->state(), MenuItem::On);
    EXPECT_EQ(itemTitled(*menu, "A")->image().actualSize({64, 64}), QSize(32, 32));

    // Choosing A selects it through the list; the view follows.
    EXPECT_TRUE(menu->performActionForItem(itemTitled(*menu, "A")));
    ASSERT_TRUE(list->selectedItem());
    EXPECT_EQ(list->selectedItem()->title(), "A");
    EXPECT_EQ(view->blankingItem(), list->selectedItem());
    // Removing it deletes its file and leaves the view black.
    const QString file = list->selectedItem()->fileURL().toLocalFile();
    menu = view->menuWithSelectedDefault();
    EXPECT_TRUE(menu->performActionForItem(itemTitled(*menu, "Remove A")));
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_FALSE(view->blankingItem());
    // Blank Screen chooses black.
    list->setSelectedItem(list->items()[0]);
    menu = view->menuWithSelectedDefault();
    EXPECT_TRUE(menu->performActionForItem(menu->itemAtIndex(0)));
    EXPECT_FALSE(list->selectedItem());
}

TEST_F(OVStandbyViewTest, EditingTheListWaitsForEditModeButChoosingDoesNot)
{
    addItem(QStringLiteral("A"));
    std::unique_ptr<Menu> menu = view->menuWithSelectedDefault();
    const auto enabled = [&](const QString& title) { return Menu::validate(*itemTitled(*menu, title)); };
    EXPECT_TRUE(enabled("Add Image…"));
    EXPECT_TRUE(enabled("Remove A"));

    QList<bool> editableDuringChange;
    core->setModeChangeStepObserver([&](const QString&) { editableDuringChange << view->canEditItemList(); });
    core->enterPromptMode();
    ASSERT_TRUE(core->isModePrompt());
    // Heard before each step: from the second on, the change is under way.
    ASSERT_GT(editableDuringChange.size(), 1);
    EXPECT_FALSE(editableDuringChange.mid(1).contains(true));
    EXPECT_FALSE(enabled("Add Image…"));
    EXPECT_FALSE(enabled("Remove A"));
    EXPECT_TRUE(enabled("A"));
    EXPECT_TRUE(enabled("Blank Screen"));
    EXPECT_TRUE(enabled("Auto Blank to Hide Edits"));
    EXPECT_TRUE(menu->performActionForItem(itemTitled(*menu, "A")));
    EXPECT_EQ(list->selectedItem()->title(), "A");
    // A disabled remove does nothing even when asked.
    EXPECT_FALSE(menu->performActionForItem(itemTitled(*menu, "Remove A")));
    EXPECT_EQ(list->items().size(), 1u);

    core->setModeChangeStepObserver({});
    core->enterEditMode();
    EXPECT_TRUE(enabled("Add Image…"));
}

TEST_F(OVStandbyViewTest, AddingImagesAsksForImagesAndChoosesTheLast)
{
    const QString first = imageFile(QStringLiteral("first.png"), {10, 10});
    const QString second = imageFile(QStringLiteral("second.jpg"), {10, 10});
    QString message;
    bool multiple = false;
    SavePanelAnswererScope answerer([&](SavePanel& panel) {
        auto& open = static_cast<OpenPanel&>(panel);
        message = open.message();
        multiple = open.allowsMultipleSelection();
        return open.chooseURLs({QUrl::fromLocalFile(first), QUrl::fromLocalFile(second)})
                   ? SavePanel::kModalResponseOK
                   : SavePanel::kModalResponseCancel;
    });
    view->runModalAddBlankingItems();
    EXPECT_EQ(message, "Select images for Blanking");
    EXPECT_TRUE(multiple);
    ASSERT_EQ(list->items().size(), 2u);
    ASSERT_TRUE(list->selectedItem());
    EXPECT_EQ(list->selectedItem()->title(), "second.jpg");
    EXPECT_TRUE(list->selectedItem()->isItemStored());

    list->setMaximumCount(1);
    SavePanelAnswererScope single([&](SavePanel& panel) {
        auto& open = static_cast<OpenPanel&>(panel);
        message = open.message();
        multiple = open.allowsMultipleSelection();
        return SavePanel::kModalResponseCancel;
    });
    view->runModalAddBlankingItems();
    EXPECT_EQ(message, "Select an image for Blanking");
    EXPECT_FALSE(multiple);
}

TEST_F(OVStandbyViewTest, FilesThatAreNotImagesBringTheAlertAndChangeNothing)
{
    addItem(QStringLiteral("A"));
    const QString fake = temp.filePath(QStringLiteral("notes.png"));
    QFile file(fake);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a picture");
    file.close();
    SavePanelAnswererScope answerer([&](SavePanel& panel) {
        return static_cast<OpenPanel&>(panel).chooseURLs({QUrl::fromLocalFile(fake)})
                   ? SavePanel::kModalResponseOK
                   : SavePanel::kModalResponseCancel;
    });
    QStringList alerts;
    AlertPresenterScope presenter([&](Alert& alert) {
        alerts << alert.messageText() << alert.informativeText()
               << QString::number(alert.buttonTitles().size());
        return Alert::kFirstButtonReturn;
    });
    view->runModalAddBlankingItems();
    EXPECT_EQ(alerts, QStringList({"No selected image could be used.", "Please select another image.", "1"}));
    EXPECT_EQ(list->items().size(), 1u);
    EXPECT_FALSE(list->selectedItem());
}

TEST_F(OVStandbyViewTest, TheImageIsCentredAndOnlyEverScaledDown)
{
    addItem(QStringLiteral("small"), {100, 50});
    list->setSelectedItem(list->items()[0]);
    EXPECT_EQ(view->imageRect(), Rect(910, 515, 100, 50));
    const QImage drawn = view->imageOfRect(view->bounds());
    EXPECT_EQ(drawn.pixelColor(915, 540), QColor(Qt::red));
    EXPECT_EQ(drawn.pixelColor(1005, 540), QColor(Qt::blue));
    EXPECT_EQ(drawn.pixelColor(905, 540), QColor(Qt::black));
    EXPECT_EQ(drawn.pixelColor(960, 510), QColor(Qt::black));
    EXPECT_EQ(drawn.pixelColor(5, 5), QColor(Qt::black));

    addItem(QStringLiteral("wide"), {4000, 1000});
    list->setSelectedItem(list->items()[0]);
    EXPECT_EQ(view->imageRect(), Rect(0, 300, 1920, 480));
    const QImage wide = view->imageOfRect(view->bounds());
    EXPECT_EQ(wide.pixelColor(2, 540), QColor(Qt::red));
    EXPECT_EQ(wide.pixelColor(1917, 540), QColor(Qt::blue));
    EXPECT_EQ(wide.pixelColor(960, 290), QColor(Qt::black));
}

TEST_F(OVStandbyViewTest, AHiddenViewKeepsItsItemButHoldsNoImage)
{
    addItem(QStringLiteral("A"));
    list->setSelectedItem(list->items()[0]);
    EXPECT_FALSE(view->displayedImage().isNull());
    view->setStandbyHidden(true);
    EXPECT_TRUE(view->displayedImage().isNull());
    EXPECT_EQ(view->blankingItem(), list->selectedItem());
    view->setStandbyHidden(false);
    EXPECT_FALSE(view->displayedImage().isNull());

    // A view that keeps its own item ignores the list's choice.
    view->setUseBlankingListSelectedItem(false);
    list->setSelectedItem(std::nullopt);
    EXPECT_TRUE(view->blankingItem());
    view->setUseBlankingListSelectedItem(true);
    EXPECT_FALSE(view->blankingItem());
}

TEST_F(OVStandbyViewTest, TheImageTurnsWithTheOutputOnBothAxes)
{
    addItem(QStringLiteral("A"), {100, 50});
    list->setSelectedItem(list->items()[0]);
    view->setHorizontallyFlipped(true);
    QImage drawn = view->imageOfRect(view->bounds());
    EXPECT_EQ(drawn.pixelColor(915, 540), QColor(Qt::blue));
    EXPECT_EQ(drawn.pixelColor(1005, 540), QColor(Qt::red));
    view->setHorizontallyFlipped(false);

    // Top half green, bottom half yellow, to see the vertical turn.
    QImage halves(QSize(100, 50), QImage::Format_RGB32);
    halves.fill(Qt::green);
    for (int y = 25; y < 50; ++y)
        for (int x = 0; x < 100; ++x)
            halves.setPixel(x, y, qRgb(255, 255, 0));
    const QString path = temp.filePath(QStringLiteral("halves.png"));
    ASSERT_TRUE(halves.save(path));
    list->addItems({*OVBlankingItem::itemWithFileURL(QUrl::fromLocalFile(path), "halves")});
    list->setSelectedItem(list->items()[0]);
    drawn = view->imageOfRect(view->bounds());
    EXPECT_EQ(drawn.pixelColor(960, 520), QColor(Qt::green));
    view->setVerticallyFlipped(true);
    drawn = view->imageOfRect(view->bounds());
    EXPECT_EQ(drawn.pixelColor(960, 520), QColor(Qt::yellow));
    EXPECT_EQ(drawn.pixelColor(960, 560), QColor(Qt::green));

    // Animated, the turn passes through the middle and ends mirrored.
    view->setUsesAnimation(true);
    view->setHorizontallyFlipped(true);
    EXPECT_EQ(view->horizontalScale(), 1);
    advance(OVStandbyView::kFlipAnimationDuration / 2);
    EXPECT_GT(view->horizontalScale(), -1);
    EXPECT_LT(view->horizontalScale(), 1);
    advance(OVStandbyView::kFlipAnimationDuration);
    EXPECT_EQ(view->horizontalScale(), -1);
    EXPECT_EQ(view->verticalScale(), -1);
}

TEST_F(OVStandbyViewTest, AStringBecomesABoldWhiteImageOfItsOwnSize)
{
    EXPECT_TRUE(OVStandbyView::imageFromString(QString()).isNull());
    const QImage hi = OVStandbyView::imageFromString(QStringLiteral("Hi"));
    ASSERT_FALSE(hi.isNull());
    EXPECT_GT(hi.height(), 150);
    EXPECT_GT(hi.width(), hi.height() / 2);
    bool white = false;
    for (int y = 0; y < hi.height() && !white; ++y)
        for (int x = 0; x < hi.width() && !white; ++x)
            white = hi.pixelColor(x, y) == QColor(Qt::white);
    EXPECT_TRUE(white);
}

TEST_F(OVStandbyViewTest, ARightClickOnABlankedPrompterOpensTheBlankingMenu)
{
    OVStandbyView::installAsPrompterStandbyView();
    Window window(Rect{{100, 100}, {640, 360}});
    window.setContentView(std::make_unique<View>(Rect{{0, 0}, {640, 360}}));
    auto* prompter = window.contentView()->addSubview(std::make_unique<OVPrompterView>(Rect{0, 0, 640, 360}));
    OVPrompterStandbyView::setFactory({});
    auto* standby = dynamic_cast<OVStandbyView*>(prompter->standbyView());
    ASSERT_TRUE(standby);
    standby->setItemList(list.get());
    prompter->setStandbyViewVisible(true);
    Event click;
    click.type = Event::Type::RightMouseDown;
    click.buttonNumber = 1;
    click.clickCount = 1;
    click.locationInWindow = {320, 180};
    window.sendEvent(click);
    ASSERT_TRUE(standby->contextMenu());
    EXPECT_EQ(standby->contextMenu()->itemAtIndex(0)->title(), QStringLiteral("Blank Screen"));
    EXPECT_TRUE(standby->contextMenu()->qMenu()->isVisible());
    standby->contextMenu()->qMenu()->hide();
}
