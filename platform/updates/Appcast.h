#pragma once

#include "platform/foundation/Error.h"
#include "platform/updates/AppcastItem.h"

#include <QByteArray>

#include <optional>
#include <vector>

// An update feed: an RSS 2.0 channel whose items carry the update framework's elements and
// enclosure attributes. Reading takes the feed's bytes; fetching them is the caller's.
class Appcast {
public:
    // Empty, with an error, for anything that is not a well-formed feed within the size limits.
    static std::optional<Appcast> appcastWithData(const QByteArray& data, Error* error = nullptr);

    const QString& title() const { return m_title; }
    const std::vector<AppcastItem>& items() const { return m_items; }

private:
    QString m_title;
    std::vector<AppcastItem> m_items;
};
