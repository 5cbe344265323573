#pragma once

#include <QString>

#include <functional>
#include <optional>

// Localised user-visible text by key. Without a translation table the English default (or the
// key itself) is the answer, so the program reads correctly before any table exists.
class HVLocalizedString {
public:
    // Answers the translation of a key in a table, or nothing when the table has none.
    using Table = std::function<std::optional<QString>(const QString& key, const QString& table)>;

    static QString localizedString(const QString& key, const QString& defaultValue = {},
                                   const QString& table = {});
    // Installs the lookup; an empty function removes it.
    static void setTable(Table table);

    static QString stateOn();
    static QString stateOff();
};
