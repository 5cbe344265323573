// The blanking item store on the test binary's own temporary data folder (IsolatedSettings points
// XDG_DATA_HOME at it before any test runs), with user defaults in a temporary file.
#include "output/OVBlankingItemList.h"

#include "platform/foundation/DataFolder.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVSettingsController.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

class OVBlankingItemListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_temp.isValid());
        m_storage = OVBlankingItem::storageDirectoryURL().toLocalFile();
        ASSERT_FALSE(m_storage.isEmpty());
        ASSERT_TRUE(m_storage.startsWith(DataFolder::path()));
        QDir(m_storage).removeRecursively();
        QDir().mkpath(m_storage);
        OVBlankingItem::clearResourceCaches();
        m_defaults = std::make_unique<UserDefaults>(m_temp.filePath("Orvane.plist"));
        m_defaults->registerDefaults(OVBlankingItemList::initialDefaultsDictionary());
    }

    // A PNG of the user's, outside the store.
    QUrl userImage(const QString& name, QSize size = {8, 4}, Qt::GlobalColor color = Qt::red)
    {
        QImage image(size, QImage::Format_ARGB32);
        image.fill(color);
        const QString path = m_temp.filePath(name);
        EXPECT_TRUE(image.save(path, "PNG"));
        return QUrl::fromLocalFile(path);
    }

    OVBlankingItem item(const QString& name)
    {
        return *OVBlankingItem::itemWithFileURL(userImage(name + QStringLiteral(".png")), name);
    }

    QStringList storedNames() const
    {
        return QDir(m_storage).entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    }

    static QStringList titles(const OVBlankingItemList& list)
    {
        QStringList result;
        for (const OVBlankingItem& item : list.items())
            result << item.title();
        return result;
    }

    QString victim(const QString& path)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("keep me");
        return path;
    }

    PlistDictionary record(const QString& fileName, const QString& title)
    {
        PlistDictionary result;
        result.insert(QStringLiteral("fileName"), fileName);
        result.insert(QStringLiteral("title"), title);
        return result;
    }

    QTemporaryDir m_temp;
    QString m_storage;
    std::unique_ptr<UserDefaults> m_defaults;
};

} // namespace

TEST_F(OVBlankingItemListTest, ItemsNeedAFileURLAndATitleAndCompareByBoth)
{
    EXPECT_FALSE(OVBlankingItem::itemWithFileURL(QUrl(QStringLiteral("https://example.org/a.png")), "a"));
    EXPECT_FALSE(OVBlankingItem::itemWithFileURL(QUrl::fromLocalFile("/tmp/a.png"), QString()));
    const auto a = OVBlankingItem::itemWithFileURL(QUrl::fromLocalFile("/tmp/a.png"), "a");
    const auto same = OVBlankingItem::itemWithFileURL(QUrl::fromLocalFile("/tmp/a.png"), "a");
    const auto renamed = OVBlankingItem::itemWithFileURL(QUrl::fromLocalFile("/tmp/a.png"), "b");
    ASSERT_TRUE(a && same && renamed);
    EXPECT_EQ(*a, *same);
    EXPECT_EQ(qHash(*a), qHash(*same));
    EXPECT_NE(*a, *renamed);
    // Not stored: no record to write.
    EXPECT_FALSE(a->isItemStored());
    EXPECT_FALSE(a->dictionaryRepresentation());
}

TEST_F(OVBlankingItemListTest, AddingCopiesTheFileUnderAFreshItemNameAndWritesItsRecord)
{
    OVBlankingItemList list(*m_defaults);
    const QUrl logo = userImage(QStringLiteral("logo.png"));
    list.addItems({*OVBlankingItem::itemWithFileURL(logo, QStringLiteral("logo"))});

    ASSERT_EQ(list.items().size(), 1u);
    const OVBlankingItem& stored = list.items().front();
    EXPECT_TRUE(stored.isItemStored());
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^Item [0-9A-F-]{36}\\.png$")).match(stored.fileName()).hasMatch())
        << stored.fileName().toStdString();
    QFile copy(stored.fileURL().toLocalFile());
    QFile original(logo.toLocalFile());
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly) && original.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), original.readAll());

    const PlistValue records = m_defaults->objectForKey(kBlankingItemsKey);
    ASSERT_TRUE(records.isArray());
    ASSERT_EQ(records.array().size(), 1u);
    EXPECT_EQ(records.array()[0].dictionary(), record(stored.fileName(), QStringLiteral("logo")));

    // A file without an extension is stored without a dot.
    QFile::copy(logo.toLocalFile(), m_temp.filePath(QStringLiteral("plain")));
    list.addItems({*OVBlankingItem::itemWithFileURL(QUrl::fromLocalFile(m_temp.filePath("plain")), "plain")});
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Item [0-9A-F-]{36}$"))
                    .match(list.items().front().fileName())
                    .hasMatch());
}

TEST_F(OVBlankingItemListTest, AddingMoreThanTheMaximumKeepsTheLastChosenAndDropsTheOldest)
{
    OVBlankingItemList list(*m_defaults);
    list.addItems({item("old1"), item("old2")});
    EXPECT_EQ(titles(list), QStringList({"old1", "old2"}));

    std::vector<OVBlankingItem> seven;
    for (int i = 1; i <= 7; ++i)
        seven.push_back(item(QStringLiteral("new%1").arg(i)));
    list.addItems(seven);
    // The first two chosen are never copied; the five others go in front, and both old items and
    // their files go.
    EXPECT_EQ(titles(list), QStringList({"new3", "new4", "new5", "new6", "new7"}));
    EXPECT_EQ(storedNames().size(), 5);

    // Lowering the maximum deletes all but the first two.
    list.setMaximumCount(2);
    EXPECT_EQ(titles(list), QStringList({"new3", "new4"}));
    EXPECT_EQ(storedNames().size(), 2);

    // Below one counts as one; a value that is not a number reads as the registered maximum.
    list.setMaximumCount(-4);
    EXPECT_EQ(list.maximumCount(), 1);
    EXPECT_EQ(titles(list), QStringList({"new3"}));
    m_defaults->setObject(QStringLiteral("many"), kBlankingItemsMaximumCountKey);
    EXPECT_EQ(list.maximumCount(), 5);
    m_defaults->setInteger(0, kBlankingItemsMaximumCountKey);
    EXPECT_EQ(list.maximumCount(), 1);
}

TEST_F(OVBlankingItemListTest, SelectingSavesTheChoiceAnnouncesItOnceAndMovesItToTheFront)
{
    OVBlankingItemList list(*m_defaults);
    list.addItems({item("a"), item("b"), item("c")});
    int posted = 0;
    std::optional<OVBlankingItem> announced;
    NotificationObserver observer(
        NotificationCenter::shared(), OVBlankingItemListSelectedItemDidChangeNotification, &list,
        [&](const Notification& notification) {
            ++posted;
            const QVariant value = notification.userInfo.value(OVBlankingItemListUserInfoKeySelectedItem);
            announced = value.isValid() ? std::optional(value.value<OVBlankingItem>()) : std::nullopt;
        });
    const OVBlankingItem c = list.items()[2];
    list.setSelectedItem(c);
    EXPECT_EQ(posted, 1);
    EXPECT_EQ(announced, c);
    EXPECT_EQ(titles(list), QStringList({"c", "a", "b"}));
    EXPECT_EQ(m_defaults->stringForKey(kBlankingItemsSelectedItemFileNameKey), c.fileName());
    list.setSelectedItem(c);
    EXPECT_EQ(posted, 1);

    // Without rearranging the order stays; switching it back on brings the selection forward.
    list.setRearrangeAccessedItems(false);
    const OVBlankingItem b = list.items()[2];
    list.setSelectedItem(b);
    EXPECT_EQ(titles(list), QStringList({"c", "a", "b"}));
    list.setRearrangeAccessedItems(true);
    EXPECT_EQ(titles(list), QStringList({"b", "c", "a"}));

    list.setSelectedItem(std::nullopt);
    EXPECT_EQ(posted, 3);
    EXPECT_FALSE(announced);
    EXPECT_FALSE(m_defaults->hasUserValue(kBlankingItemsSelectedItemFileNameKey));
}

TEST_F(OVBlankingItemListTest, RemovingTheSelectedItemDeletesItsFileAndSelectsBlack)
{
    OVBlankingItemList list(*m_defaults);
    list.addItems({item("a"), item("b")});
    const OVBlankingItem a = list.items()[0];
    list.setSelectedItem(a);
    (void)a.image();
    (void)a.previewImage();
    EXPECT_EQ(OVBlankingItem::imageCacheCount(), 1);
    EXPECT_EQ(OVBlankingItem::previewImageCacheCount(), 1);
    int posted = 0;
    NotificationObserver observer(NotificationCenter::shared(),
                                  OVBlankingItemListSelectedItemDidChangeNotification, &list,
                                  [&](const Notification&) { ++posted; });

    list.removeItems({a});
    EXPECT_FALSE(QFileInfo::exists(a.fileURL().toLocalFile()));
    EXPECT_EQ(titles(list), QStringList({"b"}));
    EXPECT_FALSE(list.selectedItem());
    EXPECT_EQ(posted, 1);
    EXPECT_FALSE(m_defaults->hasUserValue(kBlankingItemsSelectedItemFileNameKey));
    EXPECT_EQ(OVBlankingItem::imageCacheCount(), 0);
    EXPECT_EQ(OVBlankingItem::previewImageCacheCount(), 0);

    // The same when the selected item falls off the end of the list.
    const OVBlankingItem b = list.items()[0];
    list.setSelectedItem(b);
    list.setRearrangeAccessedItems(false);
    list.addItems({item("c")});
    list.setMaximumCount(1);
    EXPECT_EQ(titles(list), QStringList({"c"}));
    EXPECT_FALSE(list.selectedItem());
    EXPECT_FALSE(QFileInfo::exists(b.fileURL().toLocalFile()));
}

TEST_F(OVBlankingItemListTest, ARelaunchRestoresTheListAndSelectionAndDropsIncompleteRecords)
{
    std::optional<OVBlankingItem> selected;
    {
        OVBlankingItemList list(*m_defaults);
        list.addItems({item("a"), item("b")});
        selected = list.items()[1];
        list.setRearrangeAccessedItems(false);
        list.setSelectedItem(selected);
    }
    PlistArray records = m_defaults->objectForKey(kBlankingItemsKey).array();
    PlistDictionary noTitle;
    noTitle.insert(QStringLiteral("fileName"), QStringLiteral("Item 1.png"));
    PlistDictionary noName;
    noName.insert(QStringLiteral("title"), QStringLiteral("nameless"));
    PlistDictionary wrongTypes;
    wrongTypes.insert(QStringLiteral("fileName"), qint64(7));
    wrongTypes.insert(QStringLiteral("title"), true);
    records.insert(records.begin() + 1, noTitle);
    records.push_back(noName);
    records.push_back(wrongTypes);
    records.push_back(QStringLiteral("not a record"));
    m_defaults->setObject(records, kBlankingItemsKey);

    OVBlankingItemList relaunched(*m_defaults);
    EXPECT_EQ(titles(relaunched), QStringList({"a", "b"}));
    EXPECT_EQ(relaunched.selectedItem(), selected);

    m_defaults->setObject(QStringLiteral("not a list"), kBlankingItemsKey);
    EXPECT_TRUE(OVBlankingItemList(*m_defaults).items().empty());
}

TEST_F(OVBlankingItemListTest, AFailedCopyKeepsTheUsersFileListedButNeverSavedOrDeleted)
{
    OVBlankingItemList list(*m_defaults);
    // A folder where the file should be: nothing to copy from, and nothing the store may delete.
    const QUrl user = QUrl::fromLocalFile(m_temp.filePath(QStringLiteral("locked.png")));
    ASSERT_TRUE(QDir().mkpath(user.toLocalFile()));
    list.addItems({*OVBlankingItem::itemWithFileURL(user, QStringLiteral("locked"))});
    ASSERT_EQ(list.items().size(), 1u);
    EXPECT_EQ(list.items().front().fileURL(), user);
    EXPECT_FALSE(m_defaults->hasUserValue(kBlankingItemsKey));
    list.removeItems(list.items());
    EXPECT_TRUE(QFileInfo(user.toLocalFile()).isDir());
}

TEST_F(OVBlankingItemListTest, AResetEmptiesTheListAndDeletesItemFilesButNothingElse)
{
    HVSettingsController settings(*m_defaults, m_temp.filePath(QStringLiteral("snapshot.plist")));
    OVBlankingItemList list(*m_defaults, &settings);
    list.addItems({item("a"), item("b")});
    list.setSelectedItem(list.items()[0]);
    victim(m_storage + QStringLiteral("/notes.txt"));
    victim(m_storage + QStringLiteral("/Item orphan.png"));

    ASSERT_TRUE(settings.resetAllSettingsPreservingKeys({}));
    EXPECT_TRUE(list.items().empty());
    EXPECT_FALSE(list.selectedItem());
    EXPECT_FALSE(m_defaults->hasUserValue(kBlankingItemsKey));
    EXPECT_FALSE(m_defaults->hasUserValue(kBlankingItemsSelectedItemFileNameKey));
    EXPECT_EQ(storedNames(), QStringList({"notes.txt"}));

    // Restoring the settings brings the records back rather than wiping them again.
    ASSERT_TRUE(settings.restoreSettingsToOriginalValues());
    EXPECT_EQ(titles(list), QStringList({"a", "b"}));
}

TEST_F(OVBlankingItemListTest, CleanUpKeepsTheGivenItemsAndOnlyWhenAllowed)
{
    OVBlankingItemList list(*m_defaults);
    list.addItems({item("a")});
    victim(m_storage + QStringLiteral("/Item stray"));
    list.setCanVacuumStorageDirectoryURL(false);
    list.vacuumStorageKeepingItems(list.items());
    EXPECT_EQ(storedNames().size(), 2);
    list.setCanVacuumStorageDirectoryURL(true);
    list.vacuumStorageKeepingItems(list.items());
    EXPECT_EQ(storedNames(), QStringList({list.items()[0].fileName()}));
}

TEST_F(OVBlankingItemListTest, HostileRecordsNeverDeleteAnythingOutsideTheFolder)
{
    const QString outside = m_temp.filePath(QStringLiteral("outside"));
    const QString dataVictim = victim(DataFolder::path() + QStringLiteral("/x"));
    const QString absoluteVictim = victim(outside + QStringLiteral("/victim.png"));
    const QString siblingVictim = victim(m_storage + QStringLiteral("2/Item sibling.png"));
    const QString linkTarget = victim(outside + QStringLiteral("/Item target.png"));
    ASSERT_TRUE(QFile::link(linkTarget, m_storage + QStringLiteral("/Item link.png")));
    ASSERT_TRUE(QFile::link(outside, m_storage + QStringLiteral("/Item folderlink")));
    const QStringList victims = {dataVictim, absoluteVictim, siblingVictim, linkTarget};

    PlistArray records;
    const QString withNul = QStringLiteral("x") + QChar(0) + QStringLiteral("y");
    for (const QString& name :
         {QStringLiteral("../x"), QStringLiteral("/etc/passwd"), absoluteVictim, QStringLiteral("a/b"),
          QStringLiteral("."), QStringLiteral(".."), QStringLiteral("../Blanking Items2/Item sibling.png"),
          QStringLiteral("Item folderlink/victim.png"), QString(), withNul})
        records.push_back(record(name, QStringLiteral("hostile")));
    records.push_back(record(QStringLiteral("Item link.png"), QStringLiteral("link")));
    m_defaults->setObject(records, kBlankingItemsKey);
    m_defaults->setObject(QStringLiteral("../x"), kBlankingItemsSelectedItemFileNameKey);

    HVSettingsController settings(*m_defaults, m_temp.filePath(QStringLiteral("snapshot.plist")));
    OVBlankingItemList list(*m_defaults, &settings);
    // Only the plain name survives reading; the selection names no item.
    EXPECT_EQ(titles(list), QStringList({"link"}));
    EXPECT_FALSE(list.selectedItem());
    EXPECT_FALSE(list.itemForFileName(QStringLiteral("../x")));
    EXPECT_TRUE(OVBlankingItem::fileURLFromFileName(QStringLiteral("../x")).isEmpty());

    // Items made by hand, around the record reader.
    const auto escaping = OVBlankingItem::itemWithFileURL(QUrl::fromLocalFile(m_storage + "/../x"), "up");
    const auto sibling = OVBlankingItem::itemWithFileURL(QUrl::fromLocalFile(siblingVictim), "sibling");
    const auto absolute = OVBlankingItem::itemWithFileURL(QUrl::fromLocalFile(absoluteVictim), "absolute");
    const auto folder = OVBlankingItem::itemWithFileURL(QUrl::fromLocalFile(m_storage), "folder");
    EXPECT_FALSE(escaping->isItemStored());
    EXPECT_FALSE(sibling->isItemStored());
    EXPECT_FALSE(absolute->isItemStored());
    EXPECT_FALSE(folder->isItemStored());
    list.setItems({list.items()[0], *escaping, *sibling, *absolute, *folder});

    list.removeItems({*escaping, *sibling});
    list.setMaximumCount(1);
    list.vacuumStorageKeepingItems({});
    ASSERT_TRUE(settings.resetAllSettingsPreservingKeys({}));

    for (const QString& path : victims)
        EXPECT_TRUE(QFileInfo::exists(path)) << path.toStdString();
    EXPECT_TRUE(QFileInfo(m_storage).isDir());
    // The links are not the store's files: they stay, and so does what they point to.
    EXPECT_TRUE(QFileInfo(m_storage + QStringLiteral("/Item link.png")).isSymLink());
    EXPECT_TRUE(QFileInfo(m_storage + QStringLiteral("/Item folderlink")).isSymLink());
}

TEST_F(OVBlankingItemListTest, ThumbnailsAre32PointsAndKeepTheImagesShape)
{
    OVBlankingItemList list(*m_defaults);
    list.addItems({*OVBlankingItem::itemWithFileURL(userImage("wide.png", {400, 100}, Qt::green), "wide")});
    const QImage thumbnail = list.items()[0].previewImage();
    ASSERT_EQ(thumbnail.size(), QSize(32, 32));
    EXPECT_EQ(QColor(thumbnail.pixel(16, 16)), QColor(Qt::green));
    EXPECT_EQ(qAlpha(thumbnail.pixel(16, 2)), 0);
    // Not an image: no picture and nothing cached.
    const auto text =
        OVBlankingItem::itemWithFileURL(QUrl::fromLocalFile(victim(m_temp.filePath("t.png"))), "t");
    EXPECT_TRUE(text->image().isNull());
}
