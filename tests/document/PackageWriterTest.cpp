#include "PackageTestSupport.h"
#include "tests/support/LogCapture.h"

#include "platform/foundation/GeometryStrings.h"
#include "platform/hvkit/HVVersion.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QSysInfo>

using namespace packagetest;

namespace {

class PackageWriterTest : public ::testing::Test {
protected:
    QString packagePath(const QString& name = QStringLiteral("Script.ovdocument")) const
    {
        return m_dir.filePath(name);
    }

    bool write(OVDocumentPackageWriter::Input& input, const QString& path, Error* error = nullptr)
    {
        return OVDocumentPackageWriter::writeToURL(QUrl::fromLocalFile(path), QUrl(), input, error);
    }

    OVLoadedDocumentInfo read(const QString& path)
    {
        OVLoadedDocumentInfo info;
        Error error;
        EXPECT_TRUE(
            OVDocumentPackageReader::readPackage(QUrl::fromLocalFile(path), plainOptions(), &info, &error))
            << error.localizedDescription().toStdString();
        return info;
    }

    QTemporaryDir m_dir;
};

QStringList keysOf(const PlistDictionary& dictionary)
{
    QStringList keys;
    for (const auto& [key, value] : dictionary)
        keys.append(key);
    return keys;
}

} // namespace

TEST_F(PackageWriterTest, WritesExactlyTwoMembersAndTheKeysInOrder)
{
    MutableAttributedString text(QStringLiteral("Hello"));
    OVDocumentPackageWriter::Input input;
    input.text = &text;
    input.selectedRanges = QStringList{QStringLiteral("{0, 5}")};
    input.scrollbarPosition = 0.5;
    input.speed = 3.5;
    input.windowFrame = QStringLiteral("{{10, 20}, {800, 600}}");
    ASSERT_TRUE(write(input, packagePath()));

    EXPECT_EQ(QDir(packagePath()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              (QStringList{QStringLiteral("Content.rtfd"), QStringLiteral("Properties.plist")}));
    EXPECT_TRUE(QFileInfo(packagePath() + "/Content.rtfd/TXT.rtf").isFile());
    QFile raw(packagePath() + "/Properties.plist");
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    EXPECT_TRUE(raw.readAll().startsWith("<?xml"));

    const PlistDictionary properties = readProperties(packagePath());
    EXPECT_EQ(keysOf(properties), (QStringList{"selectedRanges", "bookmarks", "scrollbarPosition", "speed",
                                               "windowFrame", "extendedMetadata", "fileFormatNumber",
                                               "appVersion", "appBuildNumber", "systemVersion"}));
    EXPECT_TRUE(properties.value("bookmarks").array().empty());
    EXPECT_TRUE(properties.value("fileFormatNumber").isInteger());
    EXPECT_EQ(properties.value("fileFormatNumber").integer(), 5);
    EXPECT_TRUE(properties.value("appBuildNumber").isInteger());
    EXPECT_TRUE(properties.value("speed").isReal());
    const PlistDictionary extended = properties.value("extendedMetadata").dictionary();
    EXPECT_EQ(keysOf(extended), (QStringList{"bookmarkNames", "attachmentNames"}));
}

TEST_F(PackageWriterTest, LeavesOutWhatTheWindowDidNotGive)
{
    MutableAttributedString text(QStringLiteral("Hello"));
    OVDocumentPackageWriter::Input input;
    input.text = &text;
    ASSERT_TRUE(write(input, packagePath()));
    EXPECT_EQ(keysOf(readProperties(packagePath())),
              (QStringList{"bookmarks", "extendedMetadata", "fileFormatNumber", "appVersion",
                           "appBuildNumber", "systemVersion"}));
}

// The file names the system it was written on; a generated, shipped file names none, so it comes
// out the same wherever it is generated.
TEST_F(PackageWriterTest, RecordsTheRunningSystemsVersionUnlessGeneratedForShipping)
{
    MutableAttributedString text(QStringLiteral("Hello"));
    OVDocumentPackageWriter::Input input;
    input.text = &text;
    ASSERT_TRUE(write(input, packagePath()));
    const QString recorded = readProperties(packagePath()).value("systemVersion").string();
    EXPECT_EQ(recorded, HVVersion::runningSystemVersion().stringValue());
    const QString release = QSysInfo::productVersion();
    if (!release.isEmpty() && release.front().isDigit())
        EXPECT_TRUE(recorded.startsWith(release.section(u'.', 0, 0) + u'.'))
            << recorded.toStdString() << " on " << release.toStdString();
    EXPECT_TRUE(HVVersion::versionWithString(recorded).has_value()) << recorded.toStdString();

    MutableAttributedString shipped(QStringLiteral("Hello"));
    OVDocumentPackageWriter::Input generated;
    generated.text = &shipped;
    generated.recordsSystemVersion = false;
    ASSERT_TRUE(write(generated, packagePath(QStringLiteral("Shipped.ovdocument"))));
    EXPECT_FALSE(readProperties(packagePath(QStringLiteral("Shipped.ovdocument"))).contains("systemVersion"));
}

TEST_F(PackageWriterTest, BookmarksWithEqualArchivesShareOneItemAndComeBackInPlace)
{
    MutableAttributedString text(QStringLiteral("0123456789abcdefghijklmnop"));
    insertBookmark(text, 3, QStringLiteral("same"));
    insertBookmark(text, 9, QStringLiteral("other"));
    insertBookmark(text, 20, QStringLiteral("same"));
    const QString expectedString = text.string();
    OVDocumentPackageWriter::Input input;
    input.text = &text;
    ASSERT_TRUE(write(input, packagePath()));

    const PlistArray items = readProperties(packagePath()).value("bookmarks").array();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].dictionary().value("locations").string(), QStringLiteral("3, 20"));
    EXPECT_EQ(items[1].dictionary().value("locations").string(), QStringLiteral("9"));
    EXPECT_TRUE(items[0].dictionary().value("data").isData());

    MutableAttributedString stored;
    ASSERT_TRUE(
        Rtfd::readFromURL(QUrl::fromLocalFile(packagePath() + "/Content.rtfd"), stored, nullptr, nullptr));
    EXPECT_FALSE(stored.string().contains(kMark));

    const OVLoadedDocumentInfo info = read(packagePath());
    EXPECT_EQ(info.content->string(), expectedString);
    EXPECT_EQ(bookmarksOf(*info.content),
              (std::vector<std::pair<qsizetype, QString>>{{3, "same"}, {9, "other"}, {20, "same"}}));
}

TEST_F(PackageWriterTest, BookmarkNamesFollowTextOrderWithEmptyForNoName)
{
    MutableAttributedString text(QStringLiteral("abcdef"));
    insertBookmark(text, 1, QStringLiteral("A"));
    insertBookmark(text, 3, std::nullopt);
    insertBookmark(text, 5, QStringLiteral("A"));
    // A transient name stands in for an empty name.
    auto contextual = OVBookmark::bookmarkWithName(QString());
    contextual->setTransientName(QStringLiteral("context"));
    text.append(attachmentString(contextual->textAttachment()));
    text.append(attachmentString(image("png", "photo.png")));
    auto unnamed = FileWrapper::makeRegularFile("x");
    text.append(attachmentString(std::make_shared<TextAttachment>(unnamed)));
    OVDocumentPackageWriter::Input input;
    input.text = &text;
    ASSERT_TRUE(write(input, packagePath()));
    const PlistDictionary extended = readProperties(packagePath()).value("extendedMetadata").dictionary();
    EXPECT_EQ(extended.value("bookmarkNames"), PlistValue(PlistArray{"A", "", "A", "context"}));
    EXPECT_EQ(extended.value("attachmentNames"), PlistValue(PlistArray{"photo.png", ""}));
}

TEST_F(PackageWriterTest, EqualPicturesAreStoredOnceAndStayTwoCharacters)
{
    MutableAttributedString text(QStringLiteral("a"));
    text.append(attachmentString(image("same bytes", "one.png")));
    text.append(QStringLiteral("b"), {});
    text.append(attachmentString(image("same bytes", "two.png")));
    text.append(attachmentString(image("other bytes", "three.png")));
    OVDocumentPackageWriter::Input input;
    input.text = &text;
    ASSERT_TRUE(write(input, packagePath()));
    // Both characters now hold the one shared wrapper.
    EXPECT_EQ(text.attribute(kAttachmentAttributeName, 1).attachment()->fileWrapper(),
              text.attribute(kAttachmentAttributeName, 3).attachment()->fileWrapper());
    const QStringList files = QDir(packagePath() + "/Content.rtfd").entryList(QDir::Files);
    EXPECT_EQ(files.size(), 3) << files.join(", ").toStdString();
    const OVLoadedDocumentInfo info = read(packagePath());
    EXPECT_EQ(info.content->string().count(kMark), 3);
}

TEST_F(PackageWriterTest, MetadataIsMappedAndOnlyTheTitleOfTheKeptAttributesSurvives)
{
    MutableAttributedString text(QStringLiteral("Hello"));
    OVDocumentPackageWriter::Input input;
    input.text = &text;
    input.backgroundColor = Color::rgb(0, 0, 0);
    input.metadataInfo = {{"author", "Ann"},
                          {"organization", "Org"},
                          {"copyright", "(c)"},
                          {"subject", QVariant()},
                          {"keywords", QStringList{"a", "b"}},
                          {"comments", "Note"},
                          {"unknown", "dropped"}};
    input.extendedMetadataInfo.insert("director", "Dee");
    input.extendedMetadataInfo.insert("producer", PlistValue());
    input.extendedMetadataInfo.insert("performers", PlistArray{"P1", "P2"});
    const QDateTime stamp = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
    input.unusedMetadataInfo = {{NSTitleDocumentAttribute, "Title"},
                                {NSEditorDocumentAttribute, "Ed"},
                                {NSCreationTimeDocumentAttribute, stamp},
                                {NSModificationTimeDocumentAttribute, stamp}};
    ASSERT_TRUE(write(input, packagePath()));

    const OVLoadedDocumentInfo info = read(packagePath());
    const DocumentAttributes attributes = info.documentAttributes();
    EXPECT_EQ(attributes.value(NSAuthorDocumentAttribute).toString(), "Ann");
    EXPECT_EQ(attributes.value(NSCompanyDocumentAttribute).toString(), "Org");
    EXPECT_EQ(attributes.value(NSCopyrightDocumentAttribute).toString(), "(c)");
    EXPECT_EQ(attributes.value(NSKeywordsDocumentAttribute).toStringList(), (QStringList{"a", "b"}));
    EXPECT_EQ(attributes.value(NSCommentDocumentAttribute).toString(), "Note");
    EXPECT_EQ(attributes.value(NSTitleDocumentAttribute).toString(), "Title");
    EXPECT_FALSE(attributes.contains(NSSubjectDocumentAttribute));
    EXPECT_FALSE(attributes.contains(NSEditorDocumentAttribute));
    EXPECT_FALSE(attributes.contains(NSCreationTimeDocumentAttribute));
    EXPECT_FALSE(attributes.contains(NSModificationTimeDocumentAttribute));
    EXPECT_EQ(info.backgroundColor(), Color::rgb(0, 0, 0));

    const PlistDictionary extended = info.extendedMetadata();
    EXPECT_EQ(keysOf(extended), (QStringList{"bookmarkNames", "attachmentNames", "director", "performers"}));
    EXPECT_EQ(extended.value("performers"), PlistValue(PlistArray{"P1", "P2"}));
}

TEST_F(PackageWriterTest, RoundTripKeepsTextAttributesBookmarksAndPrompterState)
{
    Font font;
    font.fontName = QStringLiteral("Helvetica-Bold");
    font.familyName = QStringLiteral("Helvetica");
    font.pointSize = 48;
    font.bold = true;
    ParagraphStyle centred;
    centred.alignment = TextAlignment::Center;
    const AttributeDictionary style{{kFontAttributeName, AttributeValue(font)},
                                    {kForegroundColorAttributeName, AttributeValue(Color::rgb(1, 1, 1))},
                                    {kParagraphStyleAttributeName, AttributeValue(centred)}};
    MutableAttributedString text(QStringLiteral("Scene one\nThe hero enters.\nScene two\n"), style);
    insertBookmark(text, 0, QStringLiteral("Scene 1"));
    insertBookmark(text, 28, QStringLiteral("Scene 2"));
    text.insert(attachmentString(image("picture", "still.png"), style), 12);
    const MutableAttributedString original = text;

    OVDocumentPackageWriter::Input input;
    MutableAttributedString copy = text;
    input.text = &copy;
    input.selectedRanges = QStringList{"{5, 3}", "{20, 0}"};
    input.scrollbarPosition = 0.375;
    input.speed = -2.25;
    input.windowFrame = stringFromRect(Rect(100, 50, 1024.5, 768));
    input.backgroundColor = Color::rgb(0.1, 0.2, 0.3);
    ASSERT_TRUE(write(input, packagePath()));

    const OVLoadedDocumentInfo info = read(packagePath());
    ASSERT_TRUE(info.content);
    EXPECT_EQ(info.content->string(), original.string());
    EXPECT_TRUE(info.content->string().endsWith('\n'));
    EXPECT_FALSE(info.appKitFileTypeAddsNewlineToEnd);
    EXPECT_EQ(bookmarksOf(*info.content),
              (std::vector<std::pair<qsizetype, QString>>{{0, "Scene 1"}, {29, "Scene 2"}}));
    EXPECT_EQ(bookmarksOf(*info.content), bookmarksOf(original));
    for (qsizetype i : {1, 14, 30}) {
        EXPECT_EQ(info.content->attribute(kFontAttributeName, i), AttributeValue(font)) << i;
        EXPECT_EQ(info.content->attribute(kForegroundColorAttributeName, i),
                  AttributeValue(Color::rgb(1, 1, 1)));
        EXPECT_EQ(info.content->attribute(kParagraphStyleAttributeName, i).paragraphStyle()->alignment,
                  TextAlignment::Center);
    }
    // Bookmarks take the style of the text around them.
    EXPECT_EQ(info.content->attribute(kFontAttributeName, 29), AttributeValue(font));
    EXPECT_EQ(info.selectedRanges(), (QStringList{"{5, 3}", "{20, 0}"}));
    EXPECT_EQ(info.scrollbarPosition(), 0.375);
    EXPECT_EQ(info.speed(), -2.25);
    EXPECT_EQ(info.windowFrame(), QStringLiteral("{{100, 50}, {1024.5, 768}}"));
    ASSERT_TRUE(info.backgroundColor());
    EXPECT_NEAR(info.backgroundColor()->green, 0.2, 1e-4);
    // Writing worked on the copy: the document's own text keeps its bookmarks.
    EXPECT_EQ(bookmarksOf(text).size(), 2u);
}

TEST_F(PackageWriterTest, FailedSaveReportsAndLeavesThePreviousPackage)
{
    MutableAttributedString first(QStringLiteral("first version"));
    OVDocumentPackageWriter::Input input;
    input.text = &first;
    ASSERT_TRUE(write(input, packagePath()));

    // A destination inside a folder that is a plain file cannot be written.
    QFile blocker(m_dir.filePath("blocker"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    MutableAttributedString second(QStringLiteral("second"));
    input.text = &second;
    LogCapture log;
    Error error;
    const QString target = m_dir.filePath("blocker/Script.ovdocument");
    EXPECT_FALSE(write(input, target, &error));
    EXPECT_TRUE(log.contains("Error writing result fileWrapper"));
    EXPECT_FALSE(error.isNull());
    EXPECT_FALSE(error.fileURL().isEmpty());

    // A save that fails half-way through writing (here: an attached folder nested past what may be
    // written) leaves the previous package as it was, with nothing left beside it.
    auto nested = FileWrapper::makeDirectory();
    auto outer = nested;
    for (int i = 0; i < 300; ++i) {
        auto inner = FileWrapper::makeDirectory();
        inner->addRegularFile("x", "leaf.txt");
        inner->setPreferredFilename(QStringLiteral("d"));
        outer->addFileWrapper(inner);
        outer = inner;
    }
    nested->setPreferredFilename(QStringLiteral("folder"));
    MutableAttributedString failing(QStringLiteral("never saved"));
    failing.append(attachmentString(std::make_shared<TextAttachment>(nested)));
    input.text = &failing;
    log.clear();
    EXPECT_FALSE(write(input, packagePath(), &error));
    EXPECT_TRUE(log.contains("Error writing result fileWrapper"));
    EXPECT_EQ(read(packagePath()).content->string(), QStringLiteral("first version"));

    // A save over an existing package replaces it whole.
    MutableAttributedString third(QStringLiteral("third version"));
    input.text = &third;
    ASSERT_TRUE(write(input, packagePath()));
    EXPECT_EQ(read(packagePath()).content->string(), QStringLiteral("third version"));
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size(), 2);
}
