// The blanking images as a user meets them in the program as started: the Prompt menu's Blanking
// Options, adding an image through it with the defaults the program registers itself, and the
// operator's prompter following the choice.
#include "app/OVDocumentSession.h"
#include "app/OVProgramStart.h"
#include "output/OVBlankingItemList.h"
#include "output/OVStandbyView.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Document.h"
#include "platform/appkit/DocumentController.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/OpenPanel.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/DataFolder.h"
#include "window/OVDocumentPrompterView.h"
#include "window/OVDocumentWindowController.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "LaunchedScriptTest.h"

namespace {

class LaunchedBlanking : public launchtest::LaunchedScriptTest {
protected:
    void SetUp() override
    {
        LaunchedScriptTest::SetUp();
        if (HasFatalFailure())
            return;
        MenuItem* options = Menu::mainMenu()->itemWithAction(QStringLiteral("blankingOptionsAction:"));
        ASSERT_TRUE(options && options->submenu());
        blanking = options->submenu();
    }

    // What the submenu shows as it opens.
    QStringList shown()
    {
        blanking->prepareToOpen();
        QStringList titles;
        for (MenuItem* item : blanking->displayedItems(0))
            titles << (item->isSeparatorItem() ? QStringLiteral("-") : item->title());
        return titles;
    }

    MenuItem* item(const QString& title) const { return blanking->itemWithTitle(title); }

    Menu* blanking = nullptr;
};

} // namespace

TEST_F(LaunchedBlanking, AnImageAddedThroughTheBlankingMenuIsStoredChosenAndShownByThePrompter)
{
    EXPECT_EQ(shown(), QStringList({"Blank Screen", "-", "Add Image…", "-", "Auto Blank to Hide Edits"}));
    EXPECT_TRUE(Menu::validate(*Menu::mainMenu()->itemWithAction(QStringLiteral("blankingOptionsAction:"))));
    EXPECT_EQ(item(QStringLiteral("Blank Screen"))->state(), MenuItem::On);
    EXPECT_TRUE(item(QStringLiteral("Add Image…"))->isEnabled());

    QImage picture(64, 32, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    const QString path = folder.filePath(QStringLiteral("Station Logo.png"));
    ASSERT_TRUE(picture.save(path));
    QString asked;
    SavePanelAnswererScope answerer([&](SavePanel& panel) {
        asked = panel.title();
        return static_cast<OpenPanel&>(panel).chooseURLs({QUrl::fromLocalFile(path)})
                   ? SavePanel::kModalResponseOK
                   : SavePanel::kModalResponseCancel;
    });
    EXPECT_TRUE(blanking->performActionForItem(item(QStringLiteral("Add Image…"))));
    // The registered maximum of five lets several images be chosen at once.
    EXPECT_EQ(asked, QStringLiteral("Select images for Blanking"));

    const QStringList stored =
        QDir(DataFolder::path() + QStringLiteral("/Blanking Items")).entryList(QDir::Files);
    ASSERT_EQ(stored.size(), 1);
    EXPECT_TRUE(stored.front().startsWith(QStringLiteral("Item ")));
    EXPECT_EQ(shown(), QStringList({"Blank Screen", "-", "Station Logo.png", "-", "Add Image…", "-",
                                    "Auto Blank to Hide Edits"}));
    EXPECT_EQ(item(QStringLiteral("Station Logo.png"))->state(), MenuItem::On);
    EXPECT_EQ(item(QStringLiteral("Blank Screen"))->state(), MenuItem::Off);

    auto* standby = dynamic_cast<OVStandbyView*>(controller().documentPrompterView()->standbyView());
    ASSERT_TRUE(standby);
    ASSERT_TRUE(standby->blankingItem());
    EXPECT_EQ(standby->blankingItem()->title(), QStringLiteral("Station Logo.png"));
    // Hidden until blanking: no image held meanwhile.
    EXPECT_TRUE(standby->displayedImage().isNull());

    // Back to black through the same menu.
    EXPECT_TRUE(blanking->performActionForItem(item(QStringLiteral("Blank Screen"))));
    EXPECT_FALSE(OVBlankingItemList::sharedList().selectedItem());
    EXPECT_FALSE(standby->blankingItem());
}
