#include "platform/hvkit/HVInitialDefaultsProvider.h"

#include <QDebug>

#include <algorithm>

namespace {

std::vector<HVInitialDefaultsRegistry::ProviderClass>& registry()
{
    static std::vector<HVInitialDefaultsRegistry::ProviderClass> classes;
    return classes;
}

} // namespace

void HVInitialDefaultsRegistry::addProviderClass(const QString& className, DefaultsFunction function)
{
    auto& classes = registry();
    auto position =
        std::lower_bound(classes.begin(), classes.end(), className,
                         [](const ProviderClass& c, const QString& name) { return c.className < name; });
    if (position != classes.end() && position->className == className) {
        position->initialDefaultsDictionary = function;
        return;
    }
    classes.insert(position, ProviderClass{className, function});
}

void HVInitialDefaultsRegistry::removeProviderClass(const QString& className)
{
    auto& classes = registry();
    std::erase_if(classes, [&](const ProviderClass& c) { return c.className == className; });
}

std::vector<HVInitialDefaultsRegistry::ProviderClass> HVInitialDefaultsRegistry::providerClasses()
{
    return registry();
}

PlistDictionary HVInitialDefaultsRegistry::initialDefaults()
{
    PlistDictionary merged;
    for (const ProviderClass& providerClass : registry()) {
        if (!providerClass.initialDefaultsDictionary)
            continue;
        for (const auto& [key, value] : providerClass.initialDefaultsDictionary()) {
            if (merged.contains(key)) {
                qWarning().noquote() << QStringLiteral("%1 registers the default %2 a second time; ignored")
                                            .arg(providerClass.className, key);
                continue;
            }
            merged.insert(key, value);
        }
    }
    return merged;
}
