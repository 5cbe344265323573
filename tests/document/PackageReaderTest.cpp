#include "PackageTestSupport.h"
#include "tests/support/LogCapture.h"

#include "platform/hvkit/NSErrorHVAdditions.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace packagetest;

namespace {

class PackageReaderTest : public ::testing::Test {
protected:
    QString path() const { return m_dir.filePath("Script.ovdocument"); }
    QUrl url() const { return QUrl::fromLocalFile(path()); }

    // Writes a package holding text and properties, then reads it.
    bool readWith(const AttributedString& text, const PlistDictionary& properties,
                  OVDocumentPackageReader::Options options = plainOptions())
    {
        EXPECT_TRUE(writeRawPackage(path(), text, xml(properties)));
        m_info = OVLoadedDocumentInfo();
        m_error = Error();
        return OVDocumentPackageReader::readPackage(url(), options, &m_info, &m_error);
    }

    bool readWithBookmarks(const AttributedString& text, const PlistArray& items)
    {
        PlistDictionary properties = minimalProperties();
        properties.insert(OVDocumentBookmarkItemArrayKey, items);
        return readWith(text, properties);
    }

    // The text came back whole and the reader says what it left out.
    void expectSalvaged(const QString& text, const QString& leftOut) const
    {
        ASSERT_TRUE(m_info.content);
        EXPECT_EQ(m_info.content->string(), text);
        ASSERT_EQ(m_info.leftOut.size(), 1) << m_info.leftOut.join(u'|').toStdString();
        EXPECT_TRUE(m_info.leftOut.front().contains(leftOut)) << m_info.leftOut.front().toStdString();
    }

    void expectCorrupt() const
    {
        EXPECT_EQ(m_error.domain(), kCocoaErrorDomain);
        EXPECT_EQ(m_error.code(), kFileReadCorruptFileError);
        EXPECT_FALSE(m_error.fileURL().isEmpty());
        EXPECT_FALSE(m_info.content) << "a failed read hands over nothing";
    }

    QTemporaryDir m_dir;
    OVLoadedDocumentInfo m_info;
    Error m_error;
    LogCapture m_log;
};

QByteArray bookmarkData()
{
    return OVBookmark::bookmarkWithName("Mark")->archivedData();
}

} // namespace

TEST_F(PackageReaderTest, MissingMemberIsRefused)
{
    auto package = FileWrapper::makeDirectory(
        {{OVDocumentPackageContentFileName, Rtfd::fileWrapper(AttributedString("x"), {})}});
    ASSERT_TRUE(package->writeToURL(url(), FileWrapper::WritingAtomic, QUrl(), nullptr));
    EXPECT_FALSE(OVDocumentPackageReader::readPackage(url(), plainOptions(), &m_info, &m_error));
    EXPECT_EQ(m_log.lines(), QStringList{"Error: fileWrapper is missing Content.rtfd or Properties.plist"});
    expectCorrupt();
    EXPECT_EQ(m_error.fileURL(), url());
}

TEST_F(PackageReaderTest, RegularFileIsNotAPackage)
{
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a folder");
    file.close();
    EXPECT_FALSE(OVDocumentPackageReader::readPackage(url(), plainOptions(), &m_info, &m_error));
    EXPECT_EQ(m_log.lines(), QStringList{"Error: fileWrapper is not a directory"});
    expectCorrupt();
}

TEST_F(PackageReaderTest, UnreadablePackagePassesTheWrappersError)
{
    EXPECT_FALSE(OVDocumentPackageReader::readPackage(
        QUrl::fromLocalFile(m_dir.filePath("absent.ovdocument")), plainOptions(), &m_info, &m_error));
    EXPECT_EQ(m_log.lines(), QStringList{"Error: fileWrapper is nil"});
    EXPECT_FALSE(m_error.isNull());
    EXPECT_FALSE(m_error.fileURL().isEmpty());
}

TEST_F(PackageReaderTest, ContentWithoutTextIsRefused)
{
    auto package = FileWrapper::makeDirectory(
        {{OVDocumentPackageContentFileName, FileWrapper::makeDirectory()},
         {OVDocumentPackagePropertiesFileName, FileWrapper::makeRegularFile(xml(minimalProperties()))}});
    ASSERT_TRUE(package->writeToURL(url(), FileWrapper::WritingAtomic, QUrl(), nullptr));
    EXPECT_FALSE(OVDocumentPackageReader::readPackage(url(), plainOptions(), &m_info, &m_error));
    EXPECT_EQ(m_log.lines(), QStringList{"Error: Could not create documentContent"});
    EXPECT_FALSE(m_error.isNull());
}

TEST_F(PackageReaderTest, PropertiesThatAreNoFileOrNoPropertyListLeaveTheTextWithDefaults)
{
    auto package = FileWrapper::makeDirectory(
        {{OVDocumentPackageContentFileName, Rtfd::fileWrapper(AttributedString("x"), {})},
         {OVDocumentPackagePropertiesFileName, FileWrapper::makeSymbolicLink("/etc/passwd")}});
    ASSERT_TRUE(package->writeToURL(url(), FileWrapper::WritingAtomic, QUrl(), nullptr));
    EXPECT_TRUE(OVDocumentPackageReader::readPackage(url(), plainOptions(), &m_info, &m_error));
    EXPECT_EQ(m_log.lines(), QStringList{"Error creating data"});
    expectSalvaged("x", "settings");

    const QByteArray valid = xml(minimalProperties());
    for (const QByteArray& broken : {QByteArray("garbage"), valid.left(valid.size() / 2),
                                     QByteArray("bplist00\xff\xff"), QByteArray(), QByteArray(100000, '<')}) {
        m_log.clear();
        ASSERT_TRUE(writeRawPackage(path(), AttributedString("x"), broken));
        m_info = OVLoadedDocumentInfo();
        EXPECT_TRUE(OVDocumentPackageReader::readPackage(url(), plainOptions(), &m_info, &m_error));
        EXPECT_EQ(m_log.lines(), QStringList{"Error creating documentPlist"});
        expectSalvaged("x", "settings");
    }

    m_log.clear();
    QByteArray array = *PropertyListSerialization::dataWithPropertyList(
        PlistArray{1, 2}, PropertyListSerialization::Format::Xml);
    ASSERT_TRUE(writeRawPackage(path(), AttributedString("x"), array));
    m_info = OVLoadedDocumentInfo();
    EXPECT_TRUE(OVDocumentPackageReader::readPackage(url(), plainOptions(), &m_info, &m_error));
    EXPECT_EQ(m_log.lines(), QStringList{"Error: `` should be NSDictionary but is NSArray"});
    expectSalvaged("x", "settings");
}

TEST_F(PackageReaderTest, VersionGateAcceptsFourAndFiveAndCallsTheRestNewer)
{
    PlistDictionary properties = minimalProperties();
    properties.insert(OVDocumentAppVersionKey, "9.1");
    for (qint64 version : {4, 5}) {
        properties.insert(OVDocumentFileFormatNumberKey, version);
        EXPECT_TRUE(readWith(AttributedString("x"), properties)) << version;
    }
    for (const PlistValue& newer : {PlistValue(6), PlistValue(-1), PlistValue::unsignedInteger(~quint64(0)),
                                    PlistValue(1e300), PlistValue(5.5 * 2)}) {
        properties.insert(OVDocumentFileFormatNumberKey, newer);
        EXPECT_FALSE(readWith(AttributedString("x"), properties));
        EXPECT_EQ(m_error.domain(), kHVErrorDomain);
        EXPECT_EQ(m_error.code(), kHVErrorFileCreatedWithNewerVersion);
        EXPECT_EQ(m_error.userInfo().value(kHVNewVersionStringErrorKey).toString(), "9.1");
        EXPECT_EQ(m_error.fileURL(), url());
    }
    properties.remove(OVDocumentFileFormatNumberKey);
    properties.remove(OVDocumentAppVersionKey);
    EXPECT_FALSE(readWith(AttributedString("x"), properties));
    EXPECT_EQ(m_error.code(), kHVErrorFileCreatedWithNewerVersion);
    EXPECT_EQ(m_error.userInfo().value(kHVNewVersionStringErrorKey).toString(), "");
    EXPECT_TRUE(m_log.lines().isEmpty());
}

TEST_F(PackageReaderTest, VersionFieldsOfTheWrongTypeAreDamagedNotNewer)
{
    PlistDictionary properties = minimalProperties();
    properties.insert(OVDocumentFileFormatNumberKey, "5");
    EXPECT_TRUE(readWith(AttributedString("x"), properties));
    EXPECT_EQ(m_log.lines(), QStringList{"Error: `fileFormatNumber` should be NSNumber but is NSString"});
    expectSalvaged("x", "settings");

    m_log.clear();
    properties = minimalProperties();
    properties.insert(OVDocumentAppVersionKey, PlistArray{"9"});
    EXPECT_TRUE(readWith(AttributedString("x"), properties));
    EXPECT_EQ(m_log.lines(), QStringList{"Error: `appVersion` should be NSString but is NSArray"});
    expectSalvaged("x", "settings");
}

TEST_F(PackageReaderTest, MalformedBookmarkItemsAreLeftOutAndTheOthersKept)
{
    const AttributedString text("0123456789ab");
    PlistDictionary properties = minimalProperties();
    properties.insert(OVDocumentBookmarkItemArrayKey, "not an array");
    EXPECT_TRUE(readWith(text, properties));
    EXPECT_EQ(m_log.lines(), QStringList{"Error: `bookmarks` should be NSArray but is NSString"});
    expectSalvaged(text.string(), "bookmark");

    const std::vector<std::pair<PlistValue, QString>> cases = {
        {PlistValue("item"), "Error: `bookmarks Item` should be NSDictionary but is NSString"},
        {PlistValue([] {
             PlistDictionary item = bookmarkItem(bookmarkData(), "1");
             item.insert(OVDocumentBookmarkItemDataKey, "text");
             return item;
         }()),
         "Error: `data` should be NSData but is NSString"},
        {PlistValue([] {
             PlistDictionary item = bookmarkItem(bookmarkData(), "1");
             item.insert(OVDocumentBookmarkItemLocationsKey, 1);
             return item;
         }()),
         "Error: `locations` should be NSString but is NSNumber"},
    };
    for (const auto& [item, line] : cases) {
        m_log.clear();
        // A good bookmark beside the bad one still goes back.
        EXPECT_TRUE(readWithBookmarks(text, PlistArray{item, bookmarkItem(bookmarkData(), "4")}));
        EXPECT_EQ(m_log.lines(), QStringList{line});
        EXPECT_EQ(m_info.content->length(), text.length() + 1);
        EXPECT_EQ(m_info.leftOut, QStringList{"a bookmark that could not be read"});
    }

    for (const QString& missing : {OVDocumentBookmarkItemDataKey, OVDocumentBookmarkItemLocationsKey}) {
        m_log.clear();
        PlistDictionary item = bookmarkItem(bookmarkData(), "1");
        item.remove(missing);
        EXPECT_TRUE(readWithBookmarks(text, PlistArray{item}));
        EXPECT_TRUE(m_log.lines().isEmpty());
        expectSalvaged(text.string(), "bookmark");
    }

    m_log.clear();
    EXPECT_TRUE(readWithBookmarks(
        text, PlistArray{bookmarkItem("not an archive", "1"), bookmarkItem("not one either", "2, 3")}));
    EXPECT_EQ(m_info.content->string(), text.string());
    EXPECT_EQ(m_info.leftOut, QStringList{"2 bookmarks that could not be read"});
}

TEST_F(PackageReaderTest, LocationsAreSplitTrimmedAndCheckedAgainstTheLength)
{
    const AttributedString text("0123456789ab");
    ASSERT_TRUE(readWithBookmarks(text, PlistArray{bookmarkItem(bookmarkData(), "5, , 7")}))
        << m_log.lines().join("|").toStdString() << m_error.localizedDescription().toStdString();
    EXPECT_EQ(bookmarksOf(*m_info.content),
              (std::vector<std::pair<qsizetype, QString>>{{5, "Mark"}, {7, "Mark"}}));
    EXPECT_TRUE(readWithBookmarks(text, PlistArray{bookmarkItem(bookmarkData(), "5,  7")}));
    EXPECT_EQ(bookmarksOf(*m_info.content),
              (std::vector<std::pair<qsizetype, QString>>{{5, "Mark"}, {7, "Mark"}}));

    // 12 is the length: appended. 14 lies beyond the grown length; the rest still loads.
    m_log.clear();
    EXPECT_TRUE(readWithBookmarks(text, PlistArray{bookmarkItem(bookmarkData(), "14, 12")}));
    EXPECT_EQ(m_log.lines(), QStringList{"bookmark location 14 is beyond the document length 13"});
    EXPECT_EQ(bookmarksOf(*m_info.content), (std::vector<std::pair<qsizetype, QString>>{{12, "Mark"}}));

    m_log.clear();
    EXPECT_TRUE(readWithBookmarks(text, PlistArray{bookmarkItem(bookmarkData(), "13")}));
    EXPECT_EQ(m_log.lines(), QStringList{"bookmark location 13 is beyond the document length 12"});
    EXPECT_EQ(m_info.content->length(), 12);
}

TEST_F(PackageReaderTest, LocationsThatAreNoNumbersAreSkippedNotReadAsZero)
{
    const AttributedString text("0123456789ab");
    EXPECT_TRUE(readWithBookmarks(
        text, PlistArray{bookmarkItem(bookmarkData(), "x, 3a, 0x4, -2, 99999999999999999999999999, 4")}));
    EXPECT_EQ(bookmarksOf(*m_info.content), (std::vector<std::pair<qsizetype, QString>>{{4, "Mark"}}));
    EXPECT_TRUE(m_log.contains("bookmark location \"x\" is not a decimal number"));
    EXPECT_TRUE(m_log.contains("bookmark location \"3a\" is not a decimal number"));
    EXPECT_TRUE(m_log.contains("bookmark location \"0x4\" is not a decimal number"));
    EXPECT_TRUE(m_log.contains("bookmark location -2 is beyond the document length 12"));
    EXPECT_EQ(m_log.lines().filter("is beyond").size(), 2);
}

TEST_F(PackageReaderTest, ALaterItemTakesAnIndexOverAndIndexesCountWithEveryBookmarkPresent)
{
    const AttributedString text("abcdef");
    const QByteArray other = OVBookmark::bookmarkWithName("Other")->archivedData();
    EXPECT_TRUE(readWithBookmarks(
        text, PlistArray{bookmarkItem(bookmarkData(), "0, 2"), bookmarkItem(other, "2, 1")}));
    EXPECT_EQ(bookmarksOf(*m_info.content),
              (std::vector<std::pair<qsizetype, QString>>{{0, "Mark"}, {1, "Other"}, {2, "Other"}}));
    EXPECT_EQ(m_info.content->string(), kMark + kMark + kMark + "abcdef");
}

TEST_F(PackageReaderTest, SelectedRangesOutsideTheTextAreDropped)
{
    PlistDictionary properties = minimalProperties();
    properties.insert(
        OVDocumentPrompterSelectedRangesKey,
        PlistArray{"{10, 5}", "{0, 12}", "{9223372036854775807, 9223372036854775807}", "{12, 0}"});
    EXPECT_TRUE(readWith(AttributedString("0123456789ab"), properties));
    EXPECT_EQ(m_info.selectedRanges(), (QStringList{"{0, 12}", "{12, 0}"}));
    EXPECT_EQ(m_log.lines().first(), "range {10, 5} is not within the document length 12");
    EXPECT_EQ(m_log.lines().size(), 2);

    properties.remove(OVDocumentPrompterSelectedRangesKey);
    EXPECT_TRUE(readWith(AttributedString("x"), properties));
    EXPECT_TRUE(m_info.propertyListValue(OVDocumentPrompterSelectedRangesKey).isArray());
    EXPECT_TRUE(m_info.selectedRanges().isEmpty());
}

TEST_F(PackageReaderTest, EveryCheckedKeyOfTheWrongTypeLeavesThePropertiesAtDefaults)
{
    const std::vector<std::tuple<QString, PlistValue, QString>> cases = {
        {"selectedRanges", PlistValue("{0, 1}"), "Error: `selectedRanges` should be NSArray but is NSString"},
        {"selectedRanges", PlistValue(PlistArray{1}),
         "Error: `selectedRanges Item` should be NSString but is NSNumber"},
        {"speed", PlistValue("fast"), "Error: `speed` should be NSNumber but is NSString"},
        {"scrollbarPosition", PlistValue(PlistArray{}),
         "Error: `scrollbarPosition` should be NSNumber but is NSArray"},
        {"windowFrame", PlistValue(3), "Error: `windowFrame` should be NSString but is NSNumber"},
        {"extendedMetadata", PlistValue(PlistArray{}),
         "Error: `extendedMetadata` should be NSDictionary but is NSArray"},
        {"appBuildNumber", PlistValue("12"), "Error: `appBuildNumber` should be NSNumber but is NSString"},
        {"systemVersion", PlistValue(14), "Error: `systemVersion` should be NSString but is NSNumber"},
        {"NSTitle", PlistValue(QByteArray("t")), "Error: `NSTitle` should be NSString but is NSData"},
        {"BackgroundColor", PlistValue("black"),
         "Error: `BackgroundColor` should be NSColor but is NSString"},
    };
    for (const auto& [key, value, line] : cases) {
        m_log.clear();
        PlistDictionary properties = minimalProperties();
        properties.insert(key, value);
        EXPECT_TRUE(readWith(AttributedString("x"), properties)) << key.toStdString();
        EXPECT_EQ(m_log.lines(), QStringList{line});
        expectSalvaged("x", "settings");
        EXPECT_TRUE(m_info.propertyListValue(OVDocumentFileFormatNumberKey).isNull()) << key.toStdString();
    }

    PlistDictionary extended;
    extended.insert("attachmentNames", "a.png");
    PlistDictionary properties = minimalProperties();
    properties.insert("extendedMetadata", extended);
    m_log.clear();
    EXPECT_TRUE(readWith(AttributedString("x"), properties));
    EXPECT_EQ(m_log.lines(), QStringList{"Error: `attachmentNames` should be NSArray but is NSString"});
    extended = PlistDictionary();
    extended.insert("bookmarkNames", PlistArray{"a", PlistDictionary{}});
    properties.insert("extendedMetadata", extended);
    m_log.clear();
    EXPECT_TRUE(readWith(AttributedString("x"), properties));
    EXPECT_EQ(m_log.lines(),
              QStringList{"Error: `bookmarkNames Item` should be NSString but is NSDictionary"});
    expectSalvaged("x", "settings");
}

TEST_F(PackageReaderTest, MistypedExtendedPropertiesAreDroppedWithALogLineAndTheRestIsKept)
{
    const std::vector<std::tuple<QString, PlistValue, QString>> cases = {
        {"director", PlistValue(5), "Error: `director` should be NSString but is NSNumber"},
        {"producer", PlistValue(PlistArray{"Pat"}), "Error: `producer` should be NSString but is NSArray"},
        {"performers", PlistValue("Ann, Bo"), "Error: `performers` should be NSArray but is NSString"},
        {"performers", PlistValue(PlistArray{"Ann", 2}),
         "Error: `performers Item` should be NSString but is NSNumber"},
    };
    PlistDictionary wellTyped;
    wellTyped.insert("bookmarkNames", PlistArray{});
    wellTyped.insert("director", "Dee");
    wellTyped.insert("producer", "Pat");
    wellTyped.insert("performers", PlistArray{"Ann", "Bo"});
    for (const auto& [key, value, line] : cases) {
        m_log.clear();
        PlistDictionary extended = wellTyped;
        extended.insert(key, value);
        PlistDictionary properties = minimalProperties();
        properties.insert(OVDocumentExtendedMetadataKey, extended);
        EXPECT_TRUE(readWith(AttributedString("x"), properties)) << key.toStdString();
        EXPECT_EQ(m_log.lines(), QStringList{line});
        PlistDictionary expected = wellTyped;
        expected.remove(key);
        EXPECT_EQ(m_info.extendedMetadata(), expected) << key.toStdString();
    }
}

TEST_F(PackageReaderTest, DamagedMembersAreReportedUnderThePackagesName)
{
    const auto expectNamesThePackage = [this](const char* what) {
        EXPECT_EQ(m_error.domain(), kCocoaErrorDomain) << what;
        EXPECT_EQ(m_error.code(), kFileReadCorruptFileError) << what;
        EXPECT_EQ(m_error.fileURL(), url()) << what;
        EXPECT_EQ(m_error.userInfo().value(kFilePathErrorKey).toString(), path()) << what;
        const QString message = m_error.localizedDescription();
        EXPECT_TRUE(message.contains(QStringLiteral("“Script.ovdocument”"))) << message.toStdString();
        EXPECT_FALSE(message.contains(QStringLiteral("Content.rtfd"))) << message.toStdString();
        EXPECT_FALSE(message.contains(QStringLiteral("Properties.plist"))) << message.toStdString();
        EXPECT_TRUE(m_error.userInfo().contains(kUnderlyingErrorKey)) << what;
        EXPECT_FALSE(m_info.content) << what;
    };

    auto package = FileWrapper::makeDirectory(
        {{OVDocumentPackageContentFileName, FileWrapper::makeDirectory()},
         {OVDocumentPackagePropertiesFileName, FileWrapper::makeRegularFile(xml(minimalProperties()))}});
    ASSERT_TRUE(package->writeToURL(url(), FileWrapper::WritingAtomic, QUrl(), nullptr));
    EXPECT_FALSE(OVDocumentPackageReader::readPackage(url(), plainOptions(), &m_info, &m_error));
    expectNamesThePackage("content without text");
    EXPECT_FALSE(m_error.localizedFailureReason().isEmpty()) << "the member's reason stays";

    // Properties that are no property list no longer keep the text from the user.
    ASSERT_TRUE(writeRawPackage(path(), AttributedString("x"), "<plist><dict><key>"));
    EXPECT_TRUE(OVDocumentPackageReader::readPackage(url(), plainOptions(), &m_info, &m_error));
    expectSalvaged("x", "settings");
    m_info = OVLoadedDocumentInfo();

    // A member that is neither file nor folder fails the reading of the whole tree.
    ASSERT_TRUE(writeRawPackage(path(), AttributedString("x"), xml(minimalProperties())));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path() + "/Content.rtfd/pipe").constData(), 0600), 0);
    EXPECT_FALSE(OVDocumentPackageReader::readPackage(url(), plainOptions(), &m_info, &m_error));
    expectNamesThePackage("a pipe inside");
    EXPECT_EQ(m_error.userInfo().value(kUnderlyingErrorKey).value<Error>().fileURL(),
              QUrl::fromLocalFile(path() + "/Content.rtfd/pipe"));
}

TEST_F(PackageReaderTest, ShiftedBookmarksMoveToTheirParagraphStart)
{
    auto options = plainOptions();
    options.attemptToFixBookmarkShiftBug = true;
    PlistDictionary properties = minimalProperties();
    // Paragraphs: "ab\n" (0-2), "cdef\n" (3-7), "ghij\n" (8-12); indexes count with bookmarks present.
    properties.insert(OVDocumentBookmarkItemArrayKey, PlistArray{bookmarkItem(bookmarkData(), "1, 5")});
    EXPECT_TRUE(readWith(AttributedString("ab\ncdef\nghij\n"), properties, options));
    EXPECT_EQ(bookmarksOf(*m_info.content),
              (std::vector<std::pair<qsizetype, QString>>{{0, "Mark"}, {4, "Mark"}}));

    // Three characters in stays; so do two bookmarks sharing a paragraph.
    properties.insert(OVDocumentBookmarkItemArrayKey, PlistArray{bookmarkItem(bookmarkData(), "3, 10, 12")});
    EXPECT_TRUE(readWith(AttributedString("abc\ndefgh\nijklmn\n"), properties, options));
    EXPECT_EQ(bookmarksOf(*m_info.content),
              (std::vector<std::pair<qsizetype, QString>>{{3, "Mark"}, {10, "Mark"}, {12, "Mark"}}));

    EXPECT_TRUE(readWith(
        AttributedString("ab\ncdef\n"),
        [&] {
            PlistDictionary p = minimalProperties();
            p.insert(OVDocumentBookmarkItemArrayKey, PlistArray{bookmarkItem(bookmarkData(), "2")});
            return p;
        }(),
        plainOptions()));
    EXPECT_EQ(bookmarksOf(*m_info.content), (std::vector<std::pair<qsizetype, QString>>{{2, "Mark"}}));
}

TEST_F(PackageReaderTest, ContentKeyOfTheFileGivesWayToTheText)
{
    PlistDictionary properties = minimalProperties();
    properties.insert(OVDocumentPrompterContentKey, "forged");
    ASSERT_TRUE(readWith(AttributedString("real"), properties));
    EXPECT_EQ(m_info.content->string(), "real");
    EXPECT_FALSE(m_info.values.contains(OVDocumentPrompterContentKey));
}

TEST_F(PackageReaderTest, TrailingNewlineIsKeptAndNotStrippedLater)
{
    EXPECT_TRUE(readWith(AttributedString("line\n\n"), minimalProperties()));
    EXPECT_EQ(m_info.content->string(), "line\n\n");
    EXPECT_FALSE(m_info.appKitFileTypeAddsNewlineToEnd);
}

TEST_F(PackageReaderTest, InternalDocumentsExpandImageTagsInsideTheirPackageOnly)
{
    auto options = plainOptions();
    options.isInAppBundle = [](const QUrl&) { return true; };
    const AttributedString text(
        "A <IMAGE PATH=\"pic.png\" /> B <IMAGE PATH=\"../secret.png\" /> C <IMAGE PATH=\"x />");
    ASSERT_TRUE(writeRawPackage(path(), text, xml(minimalProperties())));
    QFile picture(path() + "/pic.png");
    ASSERT_TRUE(picture.open(QIODevice::WriteOnly));
    picture.write("png");
    picture.close();
    QFile secret(m_dir.filePath("secret.png"));
    ASSERT_TRUE(secret.open(QIODevice::WriteOnly));
    secret.write("secret");
    secret.close();
    ASSERT_TRUE(OVDocumentPackageReader::readPackage(url(), options, &m_info, &m_error));
    EXPECT_TRUE(m_info.isInternal);
    EXPECT_EQ(m_info.content->string(),
              "A " + kMark + " B <IMAGE PATH=\"../secret.png\" /> C <IMAGE PATH=\"x />");
    EXPECT_EQ(m_info.content->attribute(kAttachmentAttributeName, 2)
                  .attachment()
                  ->fileWrapper()
                  ->regularFileContents(),
              "png");
    EXPECT_EQ(m_log.lines().filter("tagStringAttributes error = ").size(), 1);

    ASSERT_TRUE(OVDocumentPackageReader::readPackage(url(), plainOptions(), &m_info, &m_error));
    EXPECT_FALSE(m_info.isInternal);
    EXPECT_EQ(m_info.content->string(), text.string());
}

TEST_F(PackageReaderTest, AttachmentLinksAndEscapingNamesNeverReachOutside)
{
    const QByteArray rtf = "{\\rtf1\\ansi{\\fonttbl\\f0\\fswiss Helvetica;}\\f0 a"
                           "{{\\NeXTGraphic link.png \\width20 \\height20}\xac}"
                           "{{\\NeXTGraphic ../../../etc/passwd \\width20 \\height20}\xac}b}";
    auto content = FileWrapper::makeDirectory({{"TXT.rtf", FileWrapper::makeRegularFile(rtf)},
                                               {"link.png", FileWrapper::makeSymbolicLink("/etc/passwd")}});
    auto package = FileWrapper::makeDirectory(
        {{OVDocumentPackageContentFileName, content},
         {OVDocumentPackagePropertiesFileName, FileWrapper::makeRegularFile(xml(minimalProperties()))}});
    ASSERT_TRUE(package->writeToURL(url(), FileWrapper::WritingAtomic, QUrl(), nullptr));
    ASSERT_TRUE(OVDocumentPackageReader::readPackage(url(), plainOptions(), &m_info, &m_error));
    const AttributedString& loaded = *m_info.content;
    for (qsizetype i = 0; i < loaded.length(); ++i) {
        const auto attachment = loaded.attribute(kAttachmentAttributeName, i).attachment();
        if (attachment && attachment->fileWrapper()) {
            EXPECT_TRUE(attachment->fileWrapper()->regularFileContents().isEmpty()) << "read through a link";
        }
    }
}
