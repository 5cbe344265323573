#include "output/OVBlankingItemList.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVSettingsController.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

constexpr qint64 kDefaultMaximumCount = 5;

bool contains(const std::vector<OVBlankingItem>& items, const OVBlankingItem& item)
{
    return std::find(items.begin(), items.end(), item) != items.end();
}

} // namespace

OVBlankingItemList& OVBlankingItemList::sharedList()
{
    // Never freed: standby views and menus hold on to it until the process ends.
    static auto* list = new OVBlankingItemList(UserDefaults::shared(), &HVSettingsController::shared());
    return *list;
}

PlistDictionary OVBlankingItemList::initialDefaultsDictionary()
{
    PlistDictionary defaults;
    defaults.insert(kBlankingItemsMaximumCountKey, kDefaultMaximumCount);
    defaults.insert(kBlankingItemsRearrangeAccessedItemsKey, true);
    defaults.insert(kBlankingItemsCanVacuumStorageDirectoryURLKey, true);
    return defaults;
}

OVBlankingItemList::OVBlankingItemList(UserDefaults& defaults, HVSettingsController* settings)
    : m_defaults(defaults), m_settings(settings)
{
    m_items = userDefaultsItems();
    m_selectedItem = userDefaultsSelectedItem();
    if (m_settings)
        m_settings->registerDefaultsProviderForResetAll(this);
}

OVBlankingItemList::~OVBlankingItemList()
{
    if (m_settings)
        m_settings->unregisterDefaultsProviderForResetAll(this);
}

// Items and selection.

void OVBlankingItemList::setItems(std::vector<OVBlankingItem> items)
{
    if (items == m_items)
        return;
    m_items = std::move(items);
    setUserDefaultsItems(m_items);
}

void OVBlankingItemList::setSelectedItem(const std::optional<OVBlankingItem>& item)
{
    if (item == m_selectedItem)
        return;
    m_selectedItem = item;
    if (item)
        accessItem(*item);
    setUserDefaultsSelectedItem(item);
    QVariantMap userInfo;
    if (item)
        userInfo.insert(OVBlankingItemListUserInfoKeySelectedItem, QVariant::fromValue(*item));
    NotificationCenter::shared().postNotification(OVBlankingItemListSelectedItemDidChangeNotification, this,
                                                  userInfo);
}

// Settings.

qint64 OVBlankingItemList::maximumCount() const
{
    const PlistValue value = m_defaults.objectForKey(kBlankingItemsMaximumCountKey);
    if (!value.isNumber())
        return 1;
    return std::max<qint64>(1, m_defaults.integerForKey(kBlankingItemsMaximumCountKey));
}

void OVBlankingItemList::setMaximumCount(qint64 count)
{
    m_defaults.setInteger(std::max<qint64>(1, count), kBlankingItemsMaximumCountKey);
    removeExcessItems();
}

bool OVBlankingItemList::rearrangeAccessedItems() const
{
    return m_defaults.boolForKey(kBlankingItemsRearrangeAccessedItemsKey);
}

void OVBlankingItemList::setRearrangeAccessedItems(bool flag)
{
    m_defaults.setBool(flag, kBlankingItemsRearrangeAccessedItemsKey);
    if (flag && m_selectedItem)
        accessItem(*m_selectedItem);
}

bool OVBlankingItemList::canVacuumStorageDirectoryURL() const
{
    return m_defaults.boolForKey(kBlankingItemsCanVacuumStorageDirectoryURLKey);
}

void OVBlankingItemList::setCanVacuumStorageDirectoryURL(bool flag)
{
    m_defaults.setBool(flag, kBlankingItemsCanVacuumStorageDirectoryURLKey);
}

// Look-up.

std::optional<OVBlankingItem> OVBlankingItemList::itemForFileName(const QString& name) const
{
    const QUrl url = OVBlankingItem::fileURLFromFileName(name);
    if (url.isEmpty())
        return std::nullopt;
    return itemForFileURL(url);
}

std::optional<OVBlankingItem> OVBlankingItemList::itemForFileURL(const QUrl& url) const
{
    if (url.isEmpty())
        return std::nullopt;
    for (const OVBlankingItem& item : m_items) {
        if (item.fileURL() == url)
            return item;
    }
    return std::nullopt;
}

// Changes.

void OVBlankingItemList::addItems(std::vector<OVBlankingItem> items)
{
    if (items.empty())
        return;
    const qint64 maximum = maximumCount();
    if (qint64(items.size()) > maximum)
        items.erase(items.begin(), items.end() - maximum);
    for (OVBlankingItem& item : items)
        item.addItemToStorage();
    std::vector<OVBlankingItem> list = std::move(items);
    list.insert(list.end(), m_items.begin(), m_items.end());
    setItems(std::move(list));
    removeExcessItems();
}

void OVBlankingItemList::removeItems(const std::vector<OVBlankingItem>& items)
{
    if (items.empty())
        return;
    for (const OVBlankingItem& item : items)
        item.removeItemFromStorage();
    std::vector<OVBlankingItem> kept;
    for (const OVBlankingItem& item : m_items) {
        if (!contains(items, item))
            kept.push_back(item);
    }
    setItems(std::move(kept));
    if (m_selectedItem && contains(items, *m_selectedItem))
        setSelectedItem(std::nullopt);
}

void OVBlankingItemList::removeExcessItems()
{
    const qint64 maximum = maximumCount();
    if (qint64(m_items.size()) <= maximum)
        return;
    removeItems(std::vector<OVBlankingItem>(m_items.begin() + maximum, m_items.end()));
}

void OVBlankingItemList::accessItem(const OVBlankingItem& item)
{
    if (!rearrangeAccessedItems())
        return;
    const auto found = std::find(m_items.begin(), m_items.end(), item);
    if (found == m_items.end() || found == m_items.begin())
        return;
    std::vector<OVBlankingItem> list = m_items;
    std::rotate(list.begin(), list.begin() + (found - m_items.begin()),
                list.begin() + (found - m_items.begin()) + 1);
    setItems(std::move(list));
}

void OVBlankingItemList::vacuumStorageKeepingItems(const std::vector<OVBlankingItem>& keep)
{
    if (!canVacuumStorageDirectoryURL())
        return;
    const QUrl folderURL = OVBlankingItem::storageDirectoryURL();
    const QDir folder(folderURL.toLocalFile());
    if (folderURL.isEmpty() || !folder.exists())
        return;
    if (!QFileInfo(folder.path()).isReadable()) {
        qWarning().noquote() << QStringLiteral("%1 file enumeration error = %2")
                                    .arg(QStringLiteral("-[OVBlankingItemList vacuumStorageKeepingItems:]"),
                                         QStringLiteral("the folder %1 cannot be read").arg(folder.path()));
        return;
    }
    QStringList kept;
    for (const OVBlankingItem& item : keep) {
        if (item.isItemStored())
            kept << item.fileName();
    }
    const QString prefix = OVBlankingItem::storageFileNamePrefix();
    // Regular files only: links are never followed, and folders are not the store's.
    const QFileInfoList entries = folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::System |
                                                       QDir::NoSymLinks | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        const QString name = entry.fileName();
        if (!name.startsWith(prefix) || kept.contains(name) || entry.isSymLink() || !entry.isFile())
            continue;
        QFile::remove(entry.filePath());
        OVBlankingItem::_removeFromResourceCachesWithFileURL(QUrl::fromLocalFile(entry.filePath()));
    }
}

// User defaults.

std::vector<OVBlankingItem> OVBlankingItemList::userDefaultsItems() const
{
    std::vector<OVBlankingItem> items;
    // Neither key has a registered value: only what the user stored counts.
    if (!m_defaults.hasUserValue(kBlankingItemsKey))
        return items;
    const PlistValue records = m_defaults.objectForKey(kBlankingItemsKey);
    if (!records.isArray())
        return items;
    for (const PlistValue& record : records.array()) {
        if (!record.isDictionary())
            continue;
        if (std::optional<OVBlankingItem> item =
                OVBlankingItem::itemWithDictionaryRepresentation(record.dictionary()))
            items.push_back(std::move(*item));
    }
    return items;
}

void OVBlankingItemList::setUserDefaultsItems(const std::vector<OVBlankingItem>& items)
{
    PlistArray records;
    for (const OVBlankingItem& item : items) {
        if (std::optional<PlistDictionary> record = item.dictionaryRepresentation())
            records.push_back(std::move(*record));
    }
    if (records.empty())
        m_defaults.removeObjectForKey(kBlankingItemsKey);
    else
        m_defaults.setObject(records, kBlankingItemsKey);
}

std::optional<OVBlankingItem> OVBlankingItemList::userDefaultsSelectedItem() const
{
    if (!m_defaults.hasUserValue(kBlankingItemsSelectedItemFileNameKey))
        return std::nullopt;
    const PlistValue name = m_defaults.objectForKey(kBlankingItemsSelectedItemFileNameKey);
    if (!name.isString())
        return std::nullopt;
    return itemForFileName(name.string());
}

void OVBlankingItemList::setUserDefaultsSelectedItem(const std::optional<OVBlankingItem>& item)
{
    if (item && !item->fileName().isEmpty())
        m_defaults.setObject(item->fileName(), kBlankingItemsSelectedItemFileNameKey);
    else
        m_defaults.removeObjectForKey(kBlankingItemsSelectedItemFileNameKey);
}

void OVBlankingItemList::defaultsDidReset()
{
    // The controller also calls this after an import or a restore, which bring their own list: the
    // list is read back from the new values rather than emptied, which after a reset is the same.
    setItems(userDefaultsItems());
    setSelectedItem(userDefaultsSelectedItem());
    vacuumStorageKeepingItems(m_items);
}
