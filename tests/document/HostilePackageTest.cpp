#include "PackageTestSupport.h"
#include "importer/OVDocumentLoader.h"
#include "quicklook/OVQuickLookContent.h"
#include "tests/support/LogCapture.h"

#include <gtest/gtest.h>

using namespace packagetest;

namespace {

// Reads packages from memory, so thousands of damaged variants stay fast.
class HostilePackageTest : public ::testing::Test {
protected:
    bool read(const QByteArray& properties, const AttributedString& text = AttributedString("0123456789ab"))
    {
        if (!m_content || m_contentText != text.string()) {
            m_content = Rtfd::fileWrapper(text, {});
            m_contentText = text.string();
        }
        auto package = FileWrapper::makeDirectory(
            {{OVDocumentPackageContentFileName, m_content},
             {OVDocumentPackagePropertiesFileName, FileWrapper::makeRegularFile(properties)}});
        m_info = OVLoadedDocumentInfo();
        m_error = Error();
        return OVDocumentPackageReader::readPackage(*package, QUrl::fromLocalFile("/x/Hostile.ovdocument"),
                                                    plainOptions(), &m_info, &m_error);
    }

    static PlistDictionary fullProperties()
    {
        PlistDictionary properties = minimalProperties();
        properties.insert(OVDocumentPrompterSelectedRangesKey, PlistArray{"{0, 3}"});
        properties.insert(
            OVDocumentBookmarkItemArrayKey,
            PlistArray{bookmarkItem(OVBookmark::bookmarkWithName("A")->archivedData(), "0, 4, 9")});
        properties.insert(OVDocumentPrompterSpeedKey, 2.5);
        PlistDictionary extended;
        extended.insert("bookmarkNames", PlistArray{"A", "A", "A"});
        properties.insert(OVDocumentExtendedMetadataKey, extended);
        return properties;
    }

    std::shared_ptr<FileWrapper> m_content;
    QString m_contentText;
    OVLoadedDocumentInfo m_info;
    Error m_error;
    LogCapture m_log;
};

} // namespace

TEST_F(HostilePackageTest, EveryTruncationOfEitherFormIsRefusedOrReadWhole)
{
    for (const auto format :
         {PropertyListSerialization::Format::Xml, PropertyListSerialization::Format::Binary}) {
        const QByteArray valid = *PropertyListSerialization::dataWithPropertyList(fullProperties(), format);
        ASSERT_TRUE(read(valid));
        EXPECT_EQ(bookmarksOf(*m_info.content).size(), 3u);
        for (qsizetype cut = 0; cut < valid.size(); ++cut) {
            if (read(valid.left(cut))) {
                ASSERT_TRUE(m_info.content);
            } else {
                EXPECT_FALSE(m_error.isNull()) << cut;
                EXPECT_FALSE(m_info.content);
            }
        }
    }
}

TEST_F(HostilePackageTest, FlippedBytesNeverCrash)
{
    const QByteArray valid = *PropertyListSerialization::dataWithPropertyList(
        fullProperties(), PropertyListSerialization::Format::Binary);
    for (qsizetype i = 0; i < valid.size(); ++i) {
        for (char value : {'\x00', '\xff', '\x7f', '\x13'}) {
            QByteArray damaged = valid;
            damaged[i] = value;
            read(damaged);
        }
    }
    SUCCEED();
}

TEST_F(HostilePackageTest, DeepNestingLeavesThePropertiesAtTheirDefaults)
{
    QByteArray deep = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>bookmarks</key>";
    for (int i = 0; i < 100000; ++i)
        deep += "<array>";
    EXPECT_TRUE(read(deep));
    EXPECT_EQ(m_info.leftOut.size(), 1);
    EXPECT_EQ(m_log.lines(), QStringList{"Error creating documentPlist"});
}

TEST_F(HostilePackageTest, HugeNumbersAreNumbersOrOutsideTheText)
{
    PlistDictionary properties = minimalProperties();
    properties.insert(OVDocumentPrompterSpeedKey, 1e308);
    properties.insert(OVDocumentPrompterScrollbarPositionKey, PlistValue::unsignedInteger(~quint64(0)));
    properties.insert(OVDocumentPrompterSelectedRangesKey,
                      PlistArray{"{99999999999999999999999, 1}", "{1, 99999999999999999999999}", "{-5, 2}"});
    properties.insert(
        OVDocumentBookmarkItemArrayKey,
        PlistArray{bookmarkItem(OVBookmark::bookmark()->archivedData(),
                                "9223372036854775807, 9223372036854775808, -9223372036854775808")});
    ASSERT_TRUE(read(xml(properties)));
    EXPECT_EQ(m_info.speed(), 1e308);
    EXPECT_EQ(m_info.content->length(), 12);
    EXPECT_TRUE(m_info.selectedRanges().isEmpty());
    EXPECT_EQ(m_log.lines().filter("is not within the document length 12").size(), 3);
    // The two largest saturate to one index; each index outside the text is logged once.
    EXPECT_EQ(m_log.lines().filter("is beyond the document length 12").size(), 2);
}

TEST_F(HostilePackageTest, OversizedOrForeignBookmarkArchivesAreLeftOut)
{
    PlistDictionary properties = minimalProperties();
    properties.insert(OVDocumentBookmarkItemArrayKey,
                      PlistArray{bookmarkItem(QByteArray(OVBookmark::kMaxArchiveBytes + 1, 'a'), "1")});
    EXPECT_TRUE(read(xml(properties)));
    EXPECT_EQ(m_info.content->length(), 12);
    EXPECT_EQ(m_info.leftOut, QStringList{"a bookmark that could not be read"});

    ArchiveDictionary root;
    root.insert("name", "not a bookmark");
    properties.insert(OVDocumentBookmarkItemArrayKey,
                      PlistArray{bookmarkItem(KeyedArchiver::archivedData(ArchiveValue(root)), "1")});
    EXPECT_TRUE(read(xml(properties)));
    EXPECT_EQ(m_info.content->length(), 12);
    EXPECT_EQ(m_info.leftOut, QStringList{"a bookmark that could not be read"});

    // An archive that only sits at an index outside the text is never decoded.
    properties.insert(OVDocumentBookmarkItemArrayKey, PlistArray{bookmarkItem("junk", "400")});
    EXPECT_TRUE(read(xml(properties)));
}

TEST_F(HostilePackageTest, TooManyLocationsAreCorrupt)
{
    QString locations;
    for (qsizetype i = 0; i <= OVDocumentPackageReader::kMaxBookmarkLocations; ++i)
        locations += QString::number(i) + ", ";
    PlistDictionary properties = minimalProperties();
    properties.insert(OVDocumentBookmarkItemArrayKey,
                      PlistArray{bookmarkItem(OVBookmark::bookmark()->archivedData(), locations)});
    EXPECT_FALSE(read(xml(properties)));
    EXPECT_EQ(m_error.code(), kFileReadCorruptFileError);
}

TEST(PackageReadingLimits, TheProgramReadsPackagesWithinTheCompanionsBounds)
{
    EXPECT_EQ(OVDocumentPackageReader::kMaxContentBytes, OVDocumentLoader::kMaxContentBytes);
    EXPECT_EQ(OVDocumentPackageReader::kMaxContentDepth, OVDocumentLoader::kMaxContentDepth);
    EXPECT_EQ(OVDocumentPackageReader::kMaxContentEntries, OVDocumentLoader::kMaxContentEntries);
    EXPECT_EQ(OVDocumentPackageReader::kMaxPropertiesBytes, OVDocumentLoader::kMaxPropertiesBytes);
    EXPECT_EQ(OVDocumentPackageReader::kMaxContentBytes, OVQuickLookContent::kMaxContentBytes);
}
