#include "importer/OVDocumentLoader.h"
#include "importer/OVMetadataAttributes.h"
#include "tests/support/CompanionPackages.h"

#include <gtest/gtest.h>

#include <QJsonArray>

using namespace companiontest;

namespace {

class OVDocumentLoaderTest : public ::testing::Test {
protected:
    QString path(const QString& name = QStringLiteral("Script.ovdocument")) const
    {
        return dir.filePath(name);
    }

    // A package whose Properties.plist is replaced by the given dictionary.
    QString withProperties(const PlistDictionary& properties,
                           const QString& text = QStringLiteral("0123456789"))
    {
        const QString package = path();
        EXPECT_TRUE(
            packagetest::writeRawPackage(package, AttributedString(text), packagetest::xml(properties)));
        return package;
    }

    static PlistDictionary formatFive()
    {
        PlistDictionary properties;
        properties.insert(QStringLiteral("fileFormatNumber"), PlistValue(qint64(5)));
        return properties;
    }

    static PlistValue bookmarkItem(const QString& locations)
    {
        PlistDictionary item;
        item.insert(QStringLiteral("data"), PlistValue(QByteArray("archive")));
        item.insert(QStringLiteral("locations"), PlistValue(locations));
        return PlistValue(item);
    }

    QTemporaryDir dir;
};

TEST_F(OVDocumentLoaderTest, PlacesPlaceholdersAtBookmarksAtStartAndEndWithoutChangingTextOrFonts)
{
    PackageContents contents;
    contents.bookmarks = {0, 12};
    ASSERT_TRUE(writePackage(path(), contents));
    const auto loader = OVDocumentLoader::loadDocumentAtPath(path());
    ASSERT_TRUE(loader);
    EXPECT_EQ(loader->documentAttributedString().string(),
              QString(QChar(0xFFFC)) + QStringLiteral("Hello world") + QChar(0xFFFC));
    EXPECT_EQ(loader->textContent(), QStringLiteral("Hello world"));
    EXPECT_EQ(loader->usedFonts(), QStringList{QStringLiteral("Helvetica")});
    EXPECT_FALSE(loader->documentBackgroundColor());
}

TEST_F(OVDocumentLoaderTest, KeepsTheBackgroundColourApartFromTheMetadata)
{
    PackageContents contents;
    contents.backgroundColor = Color::rgb(1, 1, 1);
    ASSERT_TRUE(writePackage(path(), contents));
    const auto loader = OVDocumentLoader::loadDocumentAtPath(path());
    ASSERT_TRUE(loader);
    ASSERT_TRUE(loader->documentBackgroundColor());
    EXPECT_DOUBLE_EQ(loader->documentBackgroundColor()->red, 1.0);
    EXPECT_FALSE(loader->metadataInfo().contains(NSBackgroundColorDocumentAttribute));
    EXPECT_FALSE(loader->documentInfo().contains(QStringLiteral("extendedMetadata")));
}

TEST_F(OVDocumentLoaderTest, RefusesAnythingButADirectoryWithTheNativeExtension)
{
    QFile plain(path(QStringLiteral("x.ovdocument")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.write("not a package");
    plain.close();
    EXPECT_FALSE(OVDocumentLoader::loadDocumentAtPath(plain.fileName()));

    PackageContents contents;
    ASSERT_TRUE(writePackage(path(QStringLiteral("real.ovdocument")), contents));
    ASSERT_TRUE(QDir().rename(path(QStringLiteral("real.ovdocument")), path(QStringLiteral("folder.rtfd"))));
    EXPECT_FALSE(OVDocumentLoader::loadDocumentAtPath(path(QStringLiteral("folder.rtfd"))));
    EXPECT_FALSE(
        OVDocumentLoader::loadDocumentAtURL(QUrl(QStringLiteral("https://example.org/a.ovdocument"))));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("empty.ovdocument")));
    EXPECT_FALSE(OVDocumentLoader::loadDocumentAtPath(path(QStringLiteral("empty.ovdocument"))));
}

TEST_F(OVDocumentLoaderTest, FailsOnAMissingTooNewOrWronglyTypedFormatNumber)
{
    for (const PlistValue& number : {PlistValue(qint64(6)), PlistValue(QStringLiteral("5")), PlistValue(5.0),
                                     PlistValue(qint64(-1)), PlistValue(PlistArray{})}) {
        PlistDictionary properties;
        properties.insert(QStringLiteral("fileFormatNumber"), number);
        EXPECT_FALSE(OVDocumentLoader::loadDocumentAtPath(withProperties(properties)));
    }
    EXPECT_FALSE(OVDocumentLoader::loadDocumentAtPath(withProperties(PlistDictionary())));
    PlistDictionary older;
    older.insert(QStringLiteral("fileFormatNumber"), PlistValue(qint64(4)));
    EXPECT_TRUE(OVDocumentLoader::loadDocumentAtPath(withProperties(older)));
}

TEST_F(OVDocumentLoaderTest, FailsOnAMalformedBookmarkStructure)
{
    const auto load = [&](const PlistValue& bookmarks) {
        PlistDictionary properties = formatFive();
        properties.insert(QStringLiteral("bookmarks"), bookmarks);
        return OVDocumentLoader::loadDocumentAtPath(withProperties(properties)) != nullptr;
    };
    EXPECT_FALSE(load(PlistValue(QStringLiteral("not an array"))));
    EXPECT_FALSE(load(PlistValue(PlistArray{PlistValue(QStringLiteral("not a dictionary"))})));
    PlistDictionary noData;
    noData.insert(QStringLiteral("locations"), PlistValue(QStringLiteral("1")));
    EXPECT_FALSE(load(PlistValue(PlistArray{PlistValue(noData)})));
    PlistDictionary numberLocations;
    numberLocations.insert(QStringLiteral("data"), PlistValue(QByteArray("x")));
    numberLocations.insert(QStringLiteral("locations"), PlistValue(qint64(3)));
    EXPECT_FALSE(load(PlistValue(PlistArray{PlistValue(numberLocations)})));
    EXPECT_TRUE(load(PlistValue(PlistArray{bookmarkItem(QStringLiteral("2"))})));
}

TEST_F(OVDocumentLoaderTest, SkipsLocationsPastTheTextOrNotNumbers)
{
    PlistDictionary properties = formatFive();
    properties.insert(QStringLiteral("bookmarks"),
                      PlistValue(PlistArray{bookmarkItem(QStringLiteral("3, 480, -2, x7, ,  5 "))}));
    const auto loader = OVDocumentLoader::loadDocumentAtPath(withProperties(properties));
    ASSERT_TRUE(loader);
    // 3 first, then 5 counted with the first placeholder in place.
    EXPECT_EQ(loader->documentAttributedString().string(), QStringLiteral("012") + QChar(0xFFFC) +
                                                               QStringLiteral("3") + QChar(0xFFFC) +
                                                               QStringLiteral("456789"));
}

TEST_F(OVDocumentLoaderTest, SkipsWronglyTypedMetadataAndReportsTheRest)
{
    PlistDictionary extended;
    extended.insert(QStringLiteral("director"), PlistValue(qint64(7)));
    extended.insert(QStringLiteral("producer"), PlistValue(QStringLiteral("P")));
    extended.insert(QStringLiteral("bookmarkNames"), PlistValue(QStringLiteral("not a list")));
    extended.insert(QStringLiteral("attachmentNames"),
                    PlistValue(PlistArray{PlistValue(QStringLiteral("a.png")), PlistValue(qint64(1))}));
    PlistDictionary properties = formatFive();
    properties.insert(QStringLiteral("extendedMetadata"), PlistValue(extended));
    const auto loader = OVDocumentLoader::loadDocumentAtPath(withProperties(properties));
    ASSERT_TRUE(loader);
    const QJsonObject attributes = OVMetadataAttributes::attributesForLoader(*loader);
    EXPECT_EQ(attributes.value(kMDItemProducer).toString(), QStringLiteral("P"));
    EXPECT_FALSE(attributes.contains(kMDItemDirector));
    EXPECT_FALSE(attributes.contains(kOVBookmarksAttribute));
    EXPECT_FALSE(attributes.contains(kOVBookmarkCountAttribute));
    EXPECT_FALSE(attributes.contains(kOVAttachmentsAttribute));

    PlistDictionary notADictionary = formatFive();
    notADictionary.insert(QStringLiteral("extendedMetadata"), PlistValue(PlistArray{}));
    EXPECT_TRUE(OVDocumentLoader::loadDocumentAtPath(withProperties(notADictionary)));
}

TEST_F(OVDocumentLoaderTest, ExtendedMetadataNeverReplacesADocumentAttribute)
{
    PackageContents contents;
    contents.metadata.insert(QStringLiteral("author"), QStringLiteral("Alice"));
    contents.extendedMetadata.insert(QStringLiteral("director"), PlistValue(QStringLiteral("Dora")));
    ASSERT_TRUE(writePackage(path(), contents));
    // A hand-edited file that names a document attribute in its extended metadata.
    QFile propertiesFile(path() + QStringLiteral("/Properties.plist"));
    ASSERT_TRUE(propertiesFile.open(QIODevice::ReadOnly));
    auto properties = PropertyListSerialization::propertyListWithData(propertiesFile.readAll());
    propertiesFile.close();
    ASSERT_TRUE(properties);
    PlistDictionary extended =
        properties->dictionary().value(QStringLiteral("extendedMetadata")).dictionary();
    extended.insert(NSAuthorDocumentAttribute, PlistValue(QStringLiteral("Mallory")));
    properties->dictionary().insert(QStringLiteral("extendedMetadata"), PlistValue(extended));
    ASSERT_TRUE(propertiesFile.open(QIODevice::WriteOnly | QIODevice::Truncate));
    propertiesFile.write(packagetest::xml(properties->dictionary()));
    propertiesFile.close();

    const auto loader = OVDocumentLoader::loadDocumentAtPath(path());
    ASSERT_TRUE(loader);
    EXPECT_EQ(loader->metadataInfo().value(NSAuthorDocumentAttribute).toString(), QStringLiteral("Alice"));
    const QJsonObject attributes = OVMetadataAttributes::attributesForLoader(*loader);
    EXPECT_EQ(attributes.value(kMDItemAuthors).toArray(), QJsonArray{QStringLiteral("Alice")});
    EXPECT_EQ(attributes.value(kMDItemDirector).toString(), QStringLiteral("Dora"));
}

TEST_F(OVDocumentLoaderTest, RefusesLinkedOrSpecialMembers)
{
    PackageContents contents;
    ASSERT_TRUE(writePackage(path(QStringLiteral("outside.ovdocument")), contents));
    // A package whose content is a link to another package's content.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("linked.ovdocument")));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("outside.ovdocument/Content.rtfd")),
                            path(QStringLiteral("linked.ovdocument/Content.rtfd"))));
    ASSERT_TRUE(QFile::copy(path(QStringLiteral("outside.ovdocument/Properties.plist")),
                            path(QStringLiteral("linked.ovdocument/Properties.plist"))));
    EXPECT_FALSE(OVDocumentLoader::loadDocumentAtPath(path(QStringLiteral("linked.ovdocument"))));
}

TEST_F(OVDocumentLoaderTest, ReadsBookmarkImagesOnlyWhenAskedAndPresent)
{
    PackageContents contents;
    contents.bookmarks = {5};
    ASSERT_TRUE(writePackage(path(), contents));
    QTemporaryDir bundle;
    OVDocumentLoader::Options images;
    images.useBookmarkImages = true;
    EXPECT_FALSE(OVDocumentLoader::loadDocumentAtPath(path(), bundle.path(), images));
    ASSERT_TRUE(QDir(bundle.path()).mkpath(QStringLiteral("Images")));
    QFile tiff(bundle.filePath(QStringLiteral("Images/Bookmark.tiff")));
    ASSERT_TRUE(tiff.open(QIODevice::WriteOnly));
    tiff.write("II*\0");
    tiff.close();
    const auto loader = OVDocumentLoader::loadDocumentAtPath(path(), bundle.path(), images);
    ASSERT_TRUE(loader);
    const auto attachment =
        loader->documentAttributedString().attribute(kAttachmentAttributeName, 5).attachment();
    ASSERT_TRUE(attachment);
    EXPECT_EQ(attachment->fileWrapper()->preferredFilename(), QStringLiteral("_OVBookmark"));
    images.stripBookmarkAttachments = true;
    EXPECT_TRUE(OVDocumentLoader::loadDocumentAtPath(path(), QString(), images));
}

} // namespace
