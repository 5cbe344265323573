// The application delegate's menus and Help-menu scripts, on the delegate alone: the dynamic
// submenus follow their sources and settings, the dock's menu follows the mode, and the tutorial
// and sample scripts are found and generated as the Help menu promises.
#include "app/OVAppDelegate.h"
#include "app/OVTutorialDocuments.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/DocumentController.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/MenuItem.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVAnalytics.h"
#include "platform/text/AttributeNames.h"

#include <QColor>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

QStringList titlesOf(const std::vector<MenuItem*>& items)
{
    QStringList titles;
    for (const MenuItem* item : items)
        titles << (item->isSeparatorItem() ? QStringLiteral("-") : item->title());
    return titles;
}

class AppDelegateMenus : public ::testing::Test {
protected:
    void TearDown() override
    {
        OVAppDelegate::setSizePresetSource({});
        OVAppDelegate::setBlankingMenuSource({});
        UserDefaults::shared().removeObjectForKey(QStringLiteral("suppressConfirmationForUnmark"));
    }
    Menu& submenuHolding(const char* action) const
    {
        MenuItem* item = delegate.mainMenu()->itemWithAction(QString::fromLatin1(action));
        EXPECT_TRUE(item);
        return *item->menu();
    }

    OVAppDelegate delegate;
};

TEST_F(AppDelegateMenus, ThePresetSubmenuListsEachSizeWithAResizeAllAlternateUnderAlt)
{
    OVAppDelegate::setSizePresetSource([] {
        return std::vector<OVAppDelegate::SizePreset>{{QStringLiteral("1280 × 720"), false},
                                                      {QStringLiteral("1920 × 1080"), true}};
    });
    delegate.rebuildWindowPresetSizesMenu();
    Menu& presets = submenuHolding("resizeDocumentPrompterContentForMenuItem:");
    EXPECT_EQ(titlesOf(presets.displayedItems(0)),
              (QStringList{QStringLiteral("1280 × 720"), QStringLiteral("1920 × 1080"), QStringLiteral("-"),
                           QStringLiteral("Edit Sizes…")}));
    EXPECT_EQ(titlesOf(presets.displayedItems(kOptionKeyMask)),
              (QStringList{QStringLiteral("1280 × 720 Resize All"), QStringLiteral("1920 × 1080 Resize All"),
                           QStringLiteral("-"), QStringLiteral("Edit Sizes…")}));
    const std::vector<MenuItem*> items = presets.items();
    ASSERT_EQ(items.size(), 6u);
    EXPECT_EQ(items[0]->state(), MenuItem::Off);
    EXPECT_EQ(items[2]->state(), MenuItem::Mixed);
    EXPECT_EQ(items[3]->action(), QStringLiteral("resizeAllDocumentPrompterContentForMenuItem:"));
    EXPECT_EQ(items[3]->representedObject().toString(), QStringLiteral("1920 × 1080"));
    EXPECT_TRUE(items[2]->keyEquivalent().isEmpty());

    // Rebuilding replaces the list rather than adding to it.
    OVAppDelegate::setSizePresetSource({});
    delegate.rebuildWindowPresetSizesMenu();
    EXPECT_EQ(presets.numberOfItems(), int(OVAppDelegate::defaultSizePresets().size()) * 2 + 2);
}

TEST_F(AppDelegateMenus, StoredPresetsAndTheirFavouriteFillTheSubmenu)
{
    UserDefaults& defaults = UserDefaults::shared();
    defaults.setObject(PlistArray{PlistValue("800 × 600"), PlistValue(qint64(5)), PlistValue("1024 × 768")},
                       QStringLiteral("windowPresetResolutions"));
    defaults.setObject(PlistValue("1024 × 768"), QStringLiteral("windowFavoritePresetResolution"));
    delegate.rebuildWindowPresetSizesMenu();
    Menu& presets = submenuHolding("resizeDocumentPrompterContentForMenuItem:");
    // An entry that is not a string is no size and is left out.
    EXPECT_EQ(titlesOf(presets.displayedItems(0)),
              (QStringList{QStringLiteral("800 × 600"), QStringLiteral("1024 × 768"), QStringLiteral("-"),
                           QStringLiteral("Edit Sizes…")}));
    EXPECT_EQ(presets.itemAtIndex(2)->state(), MenuItem::Mixed);
    defaults.removeObjectForKey(QStringLiteral("windowPresetResolutions"));
    defaults.removeObjectForKey(QStringLiteral("windowFavoritePresetResolution"));
}

TEST_F(AppDelegateMenus, TheUnmarkTitlePromisesAConfirmationOnlyWhenOneComes)
{
    delegate.updateUnmarkMenuItemsForSuppressSetting();
    MenuItem* unmark = delegate.mainMenu()->itemWithAction(QStringLiteral("unmarkAll:"));
    ASSERT_TRUE(unmark);
    EXPECT_EQ(unmark->title(), QStringLiteral("Unmark All…"));
    UserDefaults::shared().setBool(true, QStringLiteral("suppressConfirmationForUnmark"));
    EXPECT_EQ(unmark->title(), QStringLiteral("Unmark All"));
    UserDefaults::shared().setBool(false, QStringLiteral("suppressConfirmationForUnmark"));
    EXPECT_EQ(unmark->title(), QStringLiteral("Unmark All…"));
}

TEST_F(AppDelegateMenus, TheBlankingSubmenuIsRebuiltFromItsSourceEachTimeItOpens)
{
    MenuItem* options = delegate.mainMenu()->itemWithAction(QStringLiteral("blankingOptionsAction:"));
    ASSERT_TRUE(options && options->submenu());
    EXPECT_FALSE(delegate.validateUserInterfaceItem(options->userInterfaceItem()));

    int count = 2;
    OVAppDelegate::setBlankingMenuSource([&count] {
        auto menu = std::make_unique<Menu>();
        for (int i = 0; i < count; ++i)
            menu->addItemWithTitle(QStringLiteral("Image %1").arg(i), QStringLiteral("selectBlankingItem:"));
        return menu;
    });
    EXPECT_TRUE(delegate.validateUserInterfaceItem(options->userInterfaceItem()));
    options->submenu()->prepareToOpen();
    EXPECT_EQ(titlesOf(options->submenu()->items()),
              (QStringList{QStringLiteral("Image 0"), QStringLiteral("Image 1")}));
    count = 3;
    options->submenu()->prepareToOpen();
    EXPECT_EQ(options->submenu()->numberOfItems(), 3);
}

TEST_F(AppDelegateMenus, TheDockMenuOffersNewDocumentInEditMode)
{
    EXPECT_EQ(titlesOf(delegate.applicationDockMenu()->items()),
              (QStringList{QStringLiteral("New"), QStringLiteral("-"), QStringLiteral("Toggle Mode"),
                           QStringLiteral("Start or Pause")}));
}

TEST_F(AppDelegateMenus, HiddenItemsTakeTheirSeparatorWithThem)
{
    UserDefaults::shared().setBool(false, QStringLiteral("enableQuickZoom"));
    UserDefaults::shared().setBool(true, QStringLiteral("preventUnderlineColors"));
    delegate.applicationWillFinishLaunching();
    for (const char* action : {"toggleQuickZoomContent:", "removeUnderlineColors:"}) {
        Menu& menu = submenuHolding(action);
        const QStringList shown = titlesOf(menu.displayedItems(0));
        EXPECT_FALSE(shown.contains(QStringLiteral("Quick Zoom"))) << action;
        EXPECT_FALSE(shown.contains(QStringLiteral("Remove Underline Colors"))) << action;
        EXPECT_FALSE(shown.join(u',').contains(QStringLiteral("-,-"))) << shown.join(u',').toStdString();
        EXPECT_FALSE(shown.endsWith(QStringLiteral("-"))) << action;
    }
    UserDefaults::shared().removeObjectForKey(QStringLiteral("enableQuickZoom"));
    UserDefaults::shared().removeObjectForKey(QStringLiteral("preventUnderlineColors"));
}

TEST_F(AppDelegateMenus, SettingsWindowHasItsFivePanesInOrder)
{
    QStringList identifiers;
    for (const OVAppDelegate::SettingsItem& item : OVAppDelegate::settingsItems())
        identifiers << item.identifier;
    EXPECT_EQ(identifiers,
              (QStringList{QStringLiteral("general"), QStringLiteral("prompter"), QStringLiteral("controls"),
                           QStringLiteral("updates"), QStringLiteral("advanced")}));
    EXPECT_TRUE(OVAppDelegate::settingsItems().back().advanced);
    EXPECT_TRUE(OVAppDelegate::settingsItems().back().helpAnchor.isEmpty());
    delegate.showSettingsWindow();
    ASSERT_TRUE(delegate.settingsWindow());
    // At least the standard size, and never so small that a pane's controls overlap.
    const QSize size = delegate.settingsWindow()->size();
    EXPECT_GE(size.width(), OVAppDelegate::kSettingsWindowWidth);
    EXPECT_GE(size.height(), OVAppDelegate::kSettingsWindowHeight);
    EXPECT_GE(size.width(), delegate.settingsWindow()->minimumSizeHint().width());
    EXPECT_EQ(delegate.settingsWindow()->windowTitle(), QStringLiteral("General"));
}

TEST(AppDelegateLaunch, PreReleasesHaveTheirOwnSupportAddressAndRequestsLeaveTheStatisticsOut)
{
    // Built without addresses: none at all, never one made up.
    const OVAppDelegate::ApplicationAddresses unset = OVAppDelegate::makeApplicationAddresses(false);
    EXPECT_TRUE(unset.website.isEmpty() && unset.store.isEmpty() && unset.support.isEmpty() &&
                unset.announcements.isEmpty() && unset.contactSupportEmailAddress.isEmpty());
    EXPECT_TRUE(OVAppDelegate::supportRequestMailURL(unset).isEmpty());

    OVAppDelegate::setAddressConfiguration(OVAppDelegate::AddressConfiguration{
        QStringLiteral("https://orvane.invalid/"), QStringLiteral("https://orvane.invalid/get"),
        QStringLiteral("https://orvane.invalid/support"), QStringLiteral("ftp://orvane.invalid/news.xml"),
        QStringLiteral("support@orvane.invalid"), QStringLiteral("beta@orvane.invalid")});
    const OVAppDelegate::ApplicationAddresses release = OVAppDelegate::makeApplicationAddresses(false);
    const OVAppDelegate::ApplicationAddresses beta = OVAppDelegate::makeApplicationAddresses(true);
    OVAppDelegate::setAddressConfiguration(std::nullopt);
    EXPECT_EQ(release.contactSupportEmailAddress, QStringLiteral("support@orvane.invalid"));
    EXPECT_EQ(beta.contactSupportEmailAddress, QStringLiteral("beta@orvane.invalid"));
    EXPECT_TRUE(release.website.isValid() && release.store.isValid() && release.support.isValid());
    // Only https is asked for or opened.
    EXPECT_TRUE(release.announcements.isEmpty());
    EXPECT_EQ(release.releaseNotesHelpAnchor, QStringLiteral("ReleaseNotesAnchor"));
    EXPECT_EQ(release.supportRemovedUserDefaultsKeys, QStringList{HVAnalytics::userDefaultsKey()});
}

TEST(TutorialDocuments, TheTutorialsNameWidensItsMarginsWithTheFirstScreen)
{
    QTemporaryDir folder;
    const QLocale locale(QStringLiteral("de_CH"));
    ASSERT_TRUE(QDir(folder.path()).mkpath(QStringLiteral("de/ Tutorial .ovdocument")));
    ASSERT_TRUE(QDir(folder.path()).mkpath(QStringLiteral("de_CH/  Tutorial  .ovdocument")));
    EXPECT_EQ(OVTutorialDocuments::tutorialName(folder.path(), 1280, locale), QStringLiteral("Tutorial"));
    EXPECT_EQ(OVTutorialDocuments::tutorialName(folder.path(), 1440, locale), QStringLiteral(" Tutorial "));
    EXPECT_EQ(OVTutorialDocuments::tutorialName(folder.path(), 1920, locale), QStringLiteral("  Tutorial  "));
    // A language without its own wide copy falls back to the plain name.
    EXPECT_EQ(OVTutorialDocuments::tutorialName(folder.path(), 1920, QLocale(QStringLiteral("fr_FR"))),
              QStringLiteral("Tutorial"));
    EXPECT_EQ(
        OVTutorialDocuments::pathForDocument(folder.path(), QStringLiteral(" Tutorial .ovdocument"), locale),
        QDir(folder.path()).filePath(QStringLiteral("de/ Tutorial .ovdocument")));
    EXPECT_TRUE(
        OVTutorialDocuments::pathForDocument(folder.path(), QStringLiteral("../de"), locale).isEmpty());
}

TEST(TutorialDocuments, LinesColoursTwoThePowersOfTwoAndThePrimes)
{
    const MutableAttributedString lines = OVTutorialDocuments::linesText({});
    QStringList expected;
    for (int number = 1; number <= 100; ++number)
        expected << QString::number(number);
    ASSERT_EQ(lines.string(), expected.join(u'\n'));
    const auto colorOf = [&lines](int number) -> std::optional<Color> {
        const qsizetype at =
            lines.string().indexOf(QRegularExpression(QStringLiteral("(^|\n)%1(\n|$)").arg(number)));
        const qsizetype start = at == 0 && number == 1 ? 0 : at + 1;
        const AttributeValue* value = lines.attributesAtIndex(start).find(kForegroundColorAttributeName);
        return value && value->color() ? std::optional(*value->color()) : std::nullopt;
    };
    EXPECT_EQ(colorOf(2), OVTutorialDocuments::colorC());
    for (int power : {1, 4, 8, 16, 32, 64})
        EXPECT_EQ(colorOf(power), OVTutorialDocuments::colorA()) << power;
    int primes = 0;
    for (int number = 3; number <= 100; ++number) {
        bool prime = true;
        for (int d = 2; d * d <= number; ++d)
            prime = prime && number % d != 0;
        if (prime) {
            ++primes;
            EXPECT_EQ(colorOf(number), OVTutorialDocuments::colorB()) << number;
        } else if ((number & (number - 1)) != 0) {
            EXPECT_EQ(colorOf(number), std::nullopt) << number;
        }
    }
    EXPECT_EQ(primes, 24);
    const QColor a =
        QColor::fromRgbF(float(OVTutorialDocuments::colorA().red), float(OVTutorialDocuments::colorA().green),
                         float(OVTutorialDocuments::colorA().blue));
    EXPECT_NEAR(a.hsvHueF(), 185.0 / 359.0, 0.002);
    EXPECT_NEAR(a.hsvSaturationF(), 0.88, 0.002);
    EXPECT_NEAR(a.valueF(), 1.0, 0.002);
}

TEST(TutorialDocuments, LoremIpsumColoursEveryLoremAndIpsumInAnyCase)
{
    const MutableAttributedString text = OVTutorialDocuments::loremIpsumText({});
    EXPECT_EQ(text.string().count(u'\n'), 63);
    int lorems = 0;
    for (qsizetype at = text.string().indexOf(QStringLiteral("lorem"), 0, Qt::CaseInsensitive); at >= 0;
         at = text.string().indexOf(QStringLiteral("lorem"), at + 1, Qt::CaseInsensitive)) {
        ++lorems;
        const AttributeValue* value = text.attributesAtIndex(at + 4).find(kForegroundColorAttributeName);
        ASSERT_TRUE(value && value->color());
        EXPECT_EQ(*value->color(), OVTutorialDocuments::colorA());
    }
    EXPECT_GT(lorems, 10);
    const qsizetype ipsum = text.string().indexOf(QStringLiteral("Ipsum"), 0, Qt::CaseSensitive);
    if (ipsum >= 0) {
        const AttributeValue* value = text.attributesAtIndex(ipsum).find(kForegroundColorAttributeName);
        ASSERT_TRUE(value && value->color());
        EXPECT_EQ(*value->color(), OVTutorialDocuments::colorB());
    }
    EXPECT_EQ(OVTutorialDocuments::placeholderParagraphs(3), OVTutorialDocuments::placeholderParagraphs(3));
}

} // namespace
