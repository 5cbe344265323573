#include "platform/updates/UpdateChoice.h"

#include <gtest/gtest.h>

namespace {

struct Item {
    const char* display;
    const char* build;
    const char* minimumSystem = "11.0";
    const char* paid = nullptr;
    const char* maximumSystem = "";
};

Appcast appcastOf(std::initializer_list<Item> items)
{
    QByteArray xml = "<rss xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\"><channel>";
    for (const Item& item : items) {
        xml += "<item><link>https://example.org/info/" + QByteArray(item.display) + "</link>";
        if (*item.minimumSystem)
            xml += "<sparkle:minimumSystemVersion>" + QByteArray(item.minimumSystem) +
                   "</sparkle:minimumSystemVersion>";
        if (*item.maximumSystem)
            xml += "<sparkle:maximumSystemVersion>" + QByteArray(item.maximumSystem) +
                   "</sparkle:maximumSystemVersion>";
        if (item.paid)
            xml += "<isPaidUpdate>" + QByteArray(item.paid) + "</isPaidUpdate>";
        xml += "<enclosure url=\"https://example.org/" + QByteArray(item.display) +
               ".tar.gz\" sparkle:version=\"" + item.build + "\" sparkle:shortVersionString=\"" +
               item.display + "\"/></item>";
    }
    xml += "</channel></rss>";
    std::optional<Appcast> appcast = Appcast::appcastWithData(xml);
    EXPECT_TRUE(appcast);
    return appcast.value_or(Appcast());
}

UpdateChoice::RunningApplication running(const char* version, qint64 build)
{
    return {*HVVersion::versionWithString(version), build, HVVersion(15, 0)};
}

QString freeVersion(const UpdateChoice& choice)
{
    return choice.bestFreeItem() ? choice.bestFreeItem()->displayVersionString : QString();
}

QString paidVersion(const UpdateChoice& choice)
{
    return choice.bestPaidItem() ? choice.bestPaidItem()->displayVersionString : QString();
}

} // namespace

TEST(UpdateChoiceTest, NewMajorVersionWithoutMarkIsOnlyAnnouncedAsPaid)
{
    const UpdateChoice choice =
        UpdateChoice::chooseFromAppcast(appcastOf({{"4.0", "2000"}}), running("3.2", 1500));
    EXPECT_EQ(freeVersion(choice), "");
    EXPECT_EQ(paidVersion(choice), "4.0");
    const std::vector<HVAppUpdate> updates = choice.appUpdates();
    ASSERT_EQ(updates.size(), 1u);
    EXPECT_EQ(updates[0].type, HVAppUpdate::Type::Paid);
    EXPECT_TRUE(updates[0].isPaidUpdate);
    EXPECT_EQ(updates[0].webpageURL, QUrl("https://example.org/info/4.0"));
}

TEST(UpdateChoiceTest, MajorVersionMarkedFreeIsOffered)
{
    const UpdateChoice choice =
        UpdateChoice::chooseFromAppcast(appcastOf({{"4.0", "2000", "11.0", "false"}}), running("3.2", 1500));
    EXPECT_EQ(freeVersion(choice), "4.0");
    EXPECT_EQ(paidVersion(choice), "");
    const std::vector<HVAppUpdate> updates = choice.appUpdates();
    ASSERT_EQ(updates.size(), 1u);
    EXPECT_EQ(updates[0].buildVersionString, "2000");
    EXPECT_EQ(updates[0].versionString, "4.0");
}

TEST(UpdateChoiceTest, ReleaseBuildsIgnorePrereleasesWhilePrereleaseBuildsTakeBoth)
{
    const Appcast appcast = appcastOf({{"3.3b1", "1700"}, {"3.2.1", "1600"}});
    EXPECT_EQ(freeVersion(UpdateChoice::chooseFromAppcast(appcast, running("3.2", 1500))), "3.2.1");
    EXPECT_EQ(freeVersion(UpdateChoice::chooseFromAppcast(appcast, running("3.2b2", 1400))), "3.3b1");
}

TEST(UpdateChoiceTest, ItemsOutsideTheSystemBoundsOrWithoutAMinimumAreSkipped)
{
    EXPECT_EQ(
        freeVersion(UpdateChoice::chooseFromAppcast(appcastOf({{"3.3", "1700", ""}}), running("3.2", 1500))),
        "");
    EXPECT_EQ(freeVersion(UpdateChoice::chooseFromAppcast(appcastOf({{"3.3", "1700", "16.0"}}),
                                                          running("3.2", 1500))),
              "");
    EXPECT_EQ(freeVersion(UpdateChoice::chooseFromAppcast(appcastOf({{"3.3", "1700", "11", nullptr, "14.9"}}),
                                                          running("3.2", 1500))),
              "");
    EXPECT_EQ(freeVersion(UpdateChoice::chooseFromAppcast(appcastOf({{"3.3", "1700", "11", nullptr, "15.0"}}),
                                                          running("3.2", 1500))),
              "3.3");
}

TEST(UpdateChoiceTest, NeedsANewerVersionAndALargerBuild)
{
    EXPECT_EQ(
        freeVersion(UpdateChoice::chooseFromAppcast(appcastOf({{"3.2", "1600"}}), running("3.2", 1500))), "");
    EXPECT_EQ(
        freeVersion(UpdateChoice::chooseFromAppcast(appcastOf({{"3.3", "1500"}}), running("3.2", 1500))), "");
    EXPECT_EQ(
        freeVersion(UpdateChoice::chooseFromAppcast(appcastOf({{"3.3", "junk"}}), running("3.2", 1500))), "");
    EXPECT_EQ(freeVersion(UpdateChoice::chooseFromAppcast(appcastOf({{"not a version", "9999"}}),
                                                          running("3.2", 1500))),
              "");
}

TEST(UpdateChoiceTest, KeepsTheNewestOfEachKindAndTheEarlierOnATie)
{
    const Appcast appcast = appcastOf({{"3.3", "1600"},
                                       {"3.4", "1700"},
                                       {"3.4.0", "1701"},
                                       {"5.0", "3000"},
                                       {"4.1", "2100"},
                                       {"3.9", "1900", "11", "yes"}});
    const UpdateChoice choice = UpdateChoice::chooseFromAppcast(appcast, running("3.2", 1500));
    EXPECT_EQ(freeVersion(choice), "3.4");
    EXPECT_EQ(choice.bestFreeItem()->versionString, "1700");
    EXPECT_EQ(paidVersion(choice), "5.0");
    const std::vector<HVAppUpdate> updates = choice.appUpdates();
    ASSERT_EQ(updates.size(), 2u);
    EXPECT_EQ(updates[0].type, HVAppUpdate::Type::Free);
    EXPECT_EQ(updates[1].type, HVAppUpdate::Type::Paid);
}

TEST(UpdateChoiceTest, BuildNumbersReadAsLeadingIntegers)
{
    EXPECT_EQ(UpdateChoice::integerValue("1234"), 1234);
    EXPECT_EQ(UpdateChoice::integerValue(" 12b"), 12);
    EXPECT_EQ(UpdateChoice::integerValue("b"), 0);
    EXPECT_EQ(UpdateChoice::integerValue("-3"), -3);
    EXPECT_EQ(UpdateChoice::integerValue("99999999999999999999999"), std::numeric_limits<qint64>::max());
}
