#pragma once

#include "output/OVBlankingItem.h"
#include "platform/hvkit/HVInitialDefaultsProvider.h"

#include <QString>

#include <optional>
#include <vector>

class HVSettingsController;
class UserDefaults;

inline const QString OVBlankingItemListSelectedItemDidChangeNotification =
    QStringLiteral("OVBlankingItemListSelectedItemDidChangeNotification");
// User info of the notification: the new selected item as a QVariant holding an OVBlankingItem;
// absent when plain black was chosen.
inline const QString OVBlankingItemListUserInfoKeySelectedItem =
    QStringLiteral("OVBlankingItemListUserInfoKeySelectedItem");

inline const QString kBlankingItemsKey = QStringLiteral("blankingItems");
inline const QString kBlankingItemsMaximumCountKey = QStringLiteral("blankingItemsMaximumCount");
inline const QString kBlankingItemsRearrangeAccessedItemsKey =
    QStringLiteral("blankingItemsRearrangeAccessedItems");
inline const QString kBlankingItemsCanVacuumStorageDirectoryURLKey =
    QStringLiteral("blankingItemsCanVacuumStorageDirectoryURL");
inline const QString kBlankingItemsSelectedItemFileNameKey =
    QStringLiteral("blankingItemsSelectedItemFileName");

// The blanking images the operator chose, most recently added or used first, with the selected
// one (none means plain black). The list and the selection are kept in user defaults; files in the
// storage folder that no item refers to any more are cleaned up.
class OVBlankingItemList : public HVInitialDefaultsProvider {
public:
    // The program's list, on the shared defaults, joined to the settings controller's reset.
    static OVBlankingItemList& sharedList();
    static PlistDictionary initialDefaultsDictionary();

    // Reads the items and the selection from defaults; joins settings when given.
    explicit OVBlankingItemList(UserDefaults& defaults, HVSettingsController* settings = nullptr);
    ~OVBlankingItemList() override;
    OVBlankingItemList(const OVBlankingItemList&) = delete;
    OVBlankingItemList& operator=(const OVBlankingItemList&) = delete;

    const std::vector<OVBlankingItem>& items() const { return m_items; }
    // When different: keeps them and writes the user-defaults record.
    void setItems(std::vector<OVBlankingItem> items);
    const std::optional<OVBlankingItem>& selectedItem() const { return m_selectedItem; }
    // When different: keeps it, moves it to the front (when rearranging), saves its file name and
    // posts the selection notification once.
    void setSelectedItem(const std::optional<OVBlankingItem>& item);

    // Below 1, or not a number, counts as 1: a list that keeps nothing could never show an image.
    qint64 maximumCount() const;
    // Also removes the items beyond the new maximum.
    void setMaximumCount(qint64 count);
    bool rearrangeAccessedItems() const;
    // Switching it on moves the selected item to the front.
    void setRearrangeAccessedItems(bool flag);
    bool canVacuumStorageDirectoryURL() const;
    void setCanVacuumStorageDirectoryURL(bool flag);

    std::optional<OVBlankingItem> itemForFileName(const QString& name) const;
    std::optional<OVBlankingItem> itemForFileURL(const QUrl& url) const;

    // New items, newest last: at most the maximum of them (the last ones) are copied into storage
    // and put in front, in their order; then the items beyond the maximum go.
    void addItems(std::vector<OVBlankingItem> items);
    // Deletes their stored files and drops them. Removing the selected item selects plain black, so
    // nothing ever points at a deleted file.
    void removeItems(const std::vector<OVBlankingItem>& items);
    void removeExcessItems();
    void accessItem(const OVBlankingItem& item);
    // Deletes every "Item" file of the storage folder that none of keep refers to, when allowed.
    void vacuumStorageKeepingItems(const std::vector<OVBlankingItem>& keep);

    std::vector<OVBlankingItem> userDefaultsItems() const;
    void setUserDefaultsItems(const std::vector<OVBlankingItem>& items);
    std::optional<OVBlankingItem> userDefaultsSelectedItem() const;
    void setUserDefaultsSelectedItem(const std::optional<OVBlankingItem>& item);

    // A reset of all settings empties the list and deletes its files.
    void defaultsDidReset() override;

private:
    UserDefaults& m_defaults;
    HVSettingsController* m_settings = nullptr;
    std::vector<OVBlankingItem> m_items;
    std::optional<OVBlankingItem> m_selectedItem;
};
