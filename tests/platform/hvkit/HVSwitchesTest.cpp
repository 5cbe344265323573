#include "platform/foundation/Clock.h"
#include "platform/hvkit/HVAppServices.h"
#include "platform/hvkit/HVInitialDefaultsProvider.h"
#include "platform/hvkit/HVLocalizedString.h"
#include "platform/hvkit/HVStackBoolean.h"
#include "platform/hvkit/HVTimestamp.h"

#include <gtest/gtest.h>

TEST(HVStackBooleanTest, NestsSwitchingOnAndOff)
{
    HVStackBoolean off(false);
    off.enable();
    off.enable();
    off.disable();
    EXPECT_TRUE(off.isEnabled());
    off.disable();
    EXPECT_FALSE(off.isEnabled());

    HVStackBoolean on(true);
    on.disable();
    on.disable();
    on.enable();
    EXPECT_TRUE(on.isDisabled());
    on.enable();
    EXPECT_TRUE(on.isEnabled());
}

TEST(HVTimestampTest, ReadsTheSharedClock)
{
    ManualClock clock(500.0);
    Clock::setShared(&clock);
    EXPECT_DOUBLE_EQ(HVTimestamp::seconds(), 500.0);
    clock.advance(0.25);
    EXPECT_DOUBLE_EQ(HVTimestamp::seconds(), 500.25);
    Clock::setShared(nullptr);
}

TEST(HVLocalizedStringTest, AnswersTheDefaultUnlessATableTranslates)
{
    EXPECT_EQ(HVLocalizedString::localizedString("k", "English"), "English");
    EXPECT_EQ(HVLocalizedString::localizedString("only-key"), "only-key");
    HVLocalizedString::setTable([](const QString& key, const QString& table) -> std::optional<QString> {
        if (key == "k" && table == "Main")
            return QStringLiteral("Übersetzt");
        return std::nullopt;
    });
    EXPECT_EQ(HVLocalizedString::localizedString("k", "English", "Main"), "Übersetzt");
    EXPECT_EQ(HVLocalizedString::localizedString("k", "English", "Other"), "English");
    HVLocalizedString::setTable({});
    EXPECT_EQ(HVLocalizedString::localizedString("k", "English", "Main"), "English");
}

namespace {

struct FirstProvider {
    static PlistDictionary initialDefaultsDictionary()
    {
        PlistDictionary d;
        d.insert("testShared", 1);
        d.insert("testFirst", "a");
        return d;
    }
};

struct SecondProvider {
    static PlistDictionary initialDefaultsDictionary()
    {
        PlistDictionary d;
        d.insert("testShared", 2);
        d.insert("testSecond", true);
        return d;
    }
};

} // namespace

TEST(HVInitialDefaultsRegistryTest, MergesEveryRegisteredClassOnceInNameOrder)
{
    {
        HVInitialDefaultsProviderRegistration<SecondProvider> second("ZZTestSecond");
        HVInitialDefaultsProviderRegistration<FirstProvider> first("ZZTestFirst");
        HVInitialDefaultsProviderRegistration<FirstProvider> again("ZZTestFirst");
    }
    int mine = 0;
    for (const auto& providerClass : HVInitialDefaultsRegistry::providerClasses())
        mine += providerClass.className.startsWith("ZZTest");
    EXPECT_EQ(mine, 2);

    const PlistDictionary defaults = HVInitialDefaultsRegistry::initialDefaults();
    EXPECT_EQ(defaults.value("testShared").integer(), 1); // the first class by name wins a clash
    EXPECT_EQ(defaults.value("testFirst").string(), "a");
    EXPECT_TRUE(defaults.value("testSecond").boolean());

    HVInitialDefaultsRegistry::removeProviderClass("ZZTestFirst");
    HVInitialDefaultsRegistry::removeProviderClass("ZZTestSecond");
    EXPECT_FALSE(HVInitialDefaultsRegistry::initialDefaults().contains("testFirst"));
}

TEST(HVAppServicesTest, UnsupportedOnlyFromItsDateOn)
{
    ManualClock clock(100.0);
    Clock::setShared(&clock);
    HVAppServices& services = HVAppServices::shared();
    EXPECT_FALSE(services.isUnsupported());
    services.setUnsupportedDate(150.0);
    EXPECT_FALSE(services.isUnsupported());
    clock.advance(50);
    EXPECT_TRUE(services.isUnsupported());
    services.setUnsupportedDate(std::nullopt);
    EXPECT_FALSE(services.isUnsupported());
    Clock::setShared(nullptr);
}
