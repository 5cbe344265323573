#include "platform/hvkit/HVLocalizedString.h"

namespace {

HVLocalizedString::Table& installedTable()
{
    static HVLocalizedString::Table table;
    return table;
}

} // namespace

QString HVLocalizedString::localizedString(const QString& key, const QString& defaultValue,
                                           const QString& table)
{
    if (const Table& lookup = installedTable()) {
        if (std::optional<QString> translated = lookup(key, table))
            return *translated;
    }
    return defaultValue.isEmpty() ? key : defaultValue;
}

void HVLocalizedString::setTable(Table table)
{
    installedTable() = std::move(table);
}

QString HVLocalizedString::stateOn()
{
    return localizedString(QStringLiteral("state-on"), QStringLiteral("On"));
}

QString HVLocalizedString::stateOff()
{
    return localizedString(QStringLiteral("state-off"), QStringLiteral("Off"));
}
