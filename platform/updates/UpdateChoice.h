#pragma once

#include "platform/hvkit/HVAppUpdate.h"
#include "platform/hvkit/HVVersion.h"
#include "platform/updates/Appcast.h"

#include <optional>
#include <vector>

// Which releases of a feed the running application is offered: the newest free one, which the
// updater may install, and the newest paid one, which is only announced.
class UpdateChoice {
public:
    struct RunningApplication {
        HVVersion version;
        qint64 build = 0;
        HVVersion systemVersion;

        // This process, as HVVersion describes it.
        static RunningApplication current();
    };

    static UpdateChoice chooseFromAppcast(const Appcast& appcast,
                                          const RunningApplication& running = RunningApplication::current());

    const std::optional<AppcastItem>& bestFreeItem() const { return m_free; }
    const std::optional<AppcastItem>& bestPaidItem() const { return m_paid; }

    // Free first, then paid; an item without the address its kind needs (a download for a free
    // update, an information page for a paid one) makes no update.
    std::vector<HVAppUpdate> appUpdates() const;

    // Whether an item qualifies for the running application at all, and whether it counts as paid.
    static bool isItemValid(const AppcastItem& item, const RunningApplication& running);
    static bool isItemPaid(const AppcastItem& item, const RunningApplication& running);

    // The leading integer of a text, as a build number is read: "1234", " 12b" gives 12, "b" 0.
    static qint64 integerValue(const QString& text);

private:
    std::optional<AppcastItem> m_free;
    std::optional<AppcastItem> m_paid;
};
