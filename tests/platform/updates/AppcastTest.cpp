#include "platform/updates/Appcast.h"

#include <gtest/gtest.h>

namespace {

const QByteArray kFeed = R"(<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle">
  <channel>
    <title>Orvane Changelog</title>
    <item>
      <title>Version 3.1</title>
      <link>https://example.org/orvane/3.1</link>
      <sparkle:releaseNotesLink> https://example.org/notes/3.1.html </sparkle:releaseNotesLink>
      <pubDate>Wed, 09 Jan 2026 19:20:11 +0000</pubDate>
      <sparkle:minimumSystemVersion>11.0</sparkle:minimumSystemVersion>
      <sparkle:maximumSystemVersion>15.9</sparkle:maximumSystemVersion>
      <isPaidUpdate>NO</isPaidUpdate>
      <description><![CDATA[<p>Faster <b>scrolling</b></p>]]></description>
      <enclosure url="https://example.org/orvane-3.1.tar.gz" sparkle:version="1100"
                 sparkle:shortVersionString="3.1" length="1623481" type="application/gzip"
                 sparkle:edSignature="c2lnbmF0dXJl"/>
    </item>
    <item>
      <title>Version 3.0</title>
      <sparkle:version>1000</sparkle:version>
      <enclosure url="file:///etc/passwd" length="-5"/>
    </item>
  </channel>
</rss>)";

Error readError(const QByteArray& data)
{
    Error error;
    EXPECT_FALSE(Appcast::appcastWithData(data, &error).has_value()) << data.left(60).toStdString();
    EXPECT_EQ(error.domain(), "SUSparkleErrorDomain");
    return error;
}

} // namespace

TEST(AppcastTest, ReadsItemsWithTheirEnclosures)
{
    const std::optional<Appcast> appcast = Appcast::appcastWithData(kFeed);
    ASSERT_TRUE(appcast);
    EXPECT_EQ(appcast->title(), "Orvane Changelog");
    ASSERT_EQ(appcast->items().size(), 2u);

    const AppcastItem& item = appcast->items()[0];
    EXPECT_EQ(item.title, "Version 3.1");
    EXPECT_EQ(item.versionString, "1100");
    EXPECT_EQ(item.displayVersionString, "3.1");
    EXPECT_EQ(item.minimumSystemVersion, "11.0");
    EXPECT_EQ(item.maximumSystemVersion, "15.9");
    EXPECT_EQ(item.fileURL, QUrl("https://example.org/orvane-3.1.tar.gz"));
    EXPECT_EQ(item.infoURL, QUrl("https://example.org/orvane/3.1"));
    EXPECT_EQ(item.releaseNotesURL, QUrl("https://example.org/notes/3.1.html"));
    EXPECT_EQ(item.contentLength, 1623481);
    EXPECT_EQ(item.contentType, "application/gzip");
    EXPECT_EQ(item.edSignature, "c2lnbmF0dXJl");
    EXPECT_EQ(item.itemDescription, "<p>Faster <b>scrolling</b></p>");
    EXPECT_EQ(item.date.toSecsSinceEpoch(),
              QDateTime(QDate(2026, 1, 9), QTime(19, 20, 11), Qt::UTC).toSecsSinceEpoch());
    EXPECT_EQ(item.propertiesDictionary.value("isPaidUpdate").toString(), "NO");
    EXPECT_EQ(item.propertiesDictionary.value("sparkle:minimumSystemVersion").toString(), "11.0");
}

TEST(AppcastTest, ItemVersionStandsInForAMissingDisplayVersionAndBadAddressesAreDropped)
{
    const std::optional<Appcast> appcast = Appcast::appcastWithData(kFeed);
    ASSERT_TRUE(appcast);
    const AppcastItem& item = appcast->items()[1];
    EXPECT_EQ(item.versionString, "1000");
    EXPECT_EQ(item.displayVersionString, "1000");
    EXPECT_TRUE(item.fileURL.isEmpty());
    EXPECT_EQ(item.contentLength, -1);
    EXPECT_TRUE(item.minimumSystemVersion.isEmpty());
}

TEST(AppcastTest, AnyNamespacePrefixForTheFrameworkElements)
{
    const QByteArray feed = R"(<rss xmlns:su="http://www.andymatuschak.org/xml-namespaces/sparkle"><channel>
        <item><su:shortVersionString>2.0</su:shortVersionString>
        <enclosure url="http://example.org/a" su:version="7"/></item></channel></rss>)";
    const std::optional<Appcast> appcast = Appcast::appcastWithData(feed);
    ASSERT_TRUE(appcast);
    ASSERT_EQ(appcast->items().size(), 1u);
    EXPECT_EQ(appcast->items()[0].versionString, "7");
    EXPECT_EQ(appcast->items()[0].displayVersionString, "2.0");
}

TEST(AppcastTest, RejectsHostileFeeds)
{
    readError("");
    readError("not xml at all");
    readError("<rss><channel><item><title>cut off");
    readError("<html><channel/></html>");
    readError("<rss><nochannel/></rss>");
    readError("<rss><channel><item></channel></rss>");

    QByteArray deep = "<rss><channel><item><x>";
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";
    readError(deep);

    QByteArray many = "<rss><channel>";
    for (int i = 0; i < 10001; ++i)
        many += "<item/>";
    many += "</channel></rss>";
    readError(many);

    readError("<rss><channel><item><title>" + QByteArray(2 * 1024 * 1024, 'x') +
              "</title></item></channel></rss>");
    readError(QByteArray(17 * 1024 * 1024, ' '));
}

TEST(AppcastTest, EntityExpansionIsBounded)
{
    QByteArray laughs = "<?xml version=\"1.0\"?><!DOCTYPE rss [<!ENTITY a \"aaaaaaaaaa\">";
    QByteArray previous = "a";
    for (char c = 'b'; c <= 'k'; ++c) {
        laughs += "<!ENTITY " + QByteArray(1, c) + " \"";
        for (int i = 0; i < 10; ++i)
            laughs += "&" + previous + ";";
        laughs += "\">";
        previous = QByteArray(1, c);
    }
    laughs += "]><rss><channel><title>&k;</title></channel></rss>";
    readError(laughs);
}

TEST(AppcastTest, HugeNumbersAndWrongTypesAreNotFatal)
{
    const QByteArray feed = R"(<rss><channel><item>
        <enclosure url="https://example.org/a" length="999999999999999999999999" sparkle:version="x"/>
        <sparkle:minimumSystemVersion><nested>10.0</nested></sparkle:minimumSystemVersion>
        </item></channel></rss>)";
    // The undeclared prefix makes this malformed XML, which is refused.
    readError(feed);
    const QByteArray declared =
        R"(<rss xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle"><channel><item>
        <enclosure url="https://example.org/a" length="999999999999999999999999" sparkle:version="x"/>
        <sparkle:minimumSystemVersion><nested>10.0</nested></sparkle:minimumSystemVersion>
        </item></channel></rss>)";
    const std::optional<Appcast> appcast = Appcast::appcastWithData(declared);
    ASSERT_TRUE(appcast);
    EXPECT_EQ(appcast->items()[0].contentLength, -1);
    EXPECT_EQ(appcast->items()[0].versionString, "x");
    EXPECT_EQ(appcast->items()[0].minimumSystemVersion, "10.0");
}
