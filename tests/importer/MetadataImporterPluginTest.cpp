#include "importer/MetadataImporterPlugin.h"
#include "tests/support/CompanionPackages.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

#include <cstring>

using namespace companiontest;

namespace {

OVUUIDBytes uuid(const char* text)
{
    const QByteArray raw = QUuid::fromString(QLatin1String(text)).toRfc4122();
    OVUUIDBytes bytes;
    std::memcpy(bytes.bytes, raw.constData(), sizeof bytes.bytes);
    return bytes;
}

OVMetadataImporterInterface* table(void* instance)
{
    return *static_cast<OVMetadataImporterInterface**>(instance);
}

void collect(void* context, const char* name, const char* value)
{
    const QJsonDocument parsed = QJsonDocument::fromJson(QByteArray("[") + value + "]");
    static_cast<QJsonObject*>(context)->insert(QString::fromUtf8(name), parsed.array().first());
}

TEST(MetadataImporterPluginTest, FactoryMakesInstancesOfTheImporterTypeOnly)
{
    const OVUUIDBytes factory = uuid(OV_METADATA_IMPORTER_FACTORY_UUID);
    EXPECT_EQ(MetadataImporterPluginFactory(nullptr, uuid(OV_MD_IMPORTER_INTERFACE_UUID)), nullptr);
    EXPECT_EQ(MetadataImporterInstanceCountForFactory(factory), 0u);
    void* instance = MetadataImporterPluginFactory(nullptr, uuid(OV_MD_IMPORTER_TYPE_UUID));
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(MetadataImporterInstanceCountForFactory(factory), 1u);
    EXPECT_EQ(table(instance)->reserved, nullptr);
    EXPECT_EQ(table(instance)->Release(instance), 0u);
    EXPECT_EQ(MetadataImporterInstanceCountForFactory(factory), 0u);
}

TEST(MetadataImporterPluginTest, QueryAnswersTheImporterInterfaceAndIUnknownOnly)
{
    const OVUUIDBytes factory = uuid(OV_METADATA_IMPORTER_FACTORY_UUID);
    void* instance = MetadataImporterPluginFactory(nullptr, uuid(OV_MD_IMPORTER_TYPE_UUID));
    ASSERT_NE(instance, nullptr);
    void* found = nullptr;
    EXPECT_EQ(table(instance)->QueryInterface(instance, uuid(OV_MD_IMPORTER_INTERFACE_UUID), &found),
              OV_S_OK);
    EXPECT_EQ(found, instance);
    found = nullptr;
    EXPECT_EQ(table(instance)->QueryInterface(instance, uuid(OV_IUNKNOWN_UUID), &found), OV_S_OK);
    EXPECT_EQ(found, instance);
    found = instance;
    EXPECT_EQ(table(instance)->QueryInterface(instance, uuid(OV_MD_IMPORTER_TYPE_UUID), &found),
              OV_E_NOINTERFACE);
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(uint32_t(OV_E_NOINTERFACE), 0x80000004u);
    // One reference from the factory, two from the successful queries.
    EXPECT_EQ(table(instance)->AddRef(instance), 4u);
    EXPECT_EQ(table(instance)->Release(instance), 3u);
    EXPECT_EQ(table(instance)->Release(instance), 2u);
    EXPECT_EQ(table(instance)->Release(instance), 1u);
    EXPECT_EQ(MetadataImporterInstanceCountForFactory(factory), 1u);
    EXPECT_EQ(table(instance)->Release(instance), 0u);
    EXPECT_EQ(MetadataImporterInstanceCountForFactory(factory), 0u);
}

TEST(MetadataImporterPluginTest, ReportsNothingForAFileItCannotRead)
{
    void* instance = MetadataImporterPluginFactory(nullptr, uuid(OV_MD_IMPORTER_TYPE_UUID));
    QJsonObject attributes;
    OVMetadataAttributeSink sink{&attributes, collect};
    QTemporaryDir dir;
    EXPECT_EQ(table(instance)->GetMetadataForFile(instance, &sink, nullptr, qPrintable(dir.path())), 0);
    EXPECT_EQ(table(instance)->GetMetadataForFile(instance, &sink, nullptr, nullptr), 0);
    EXPECT_TRUE(attributes.isEmpty());
    table(instance)->Release(instance);
}

TEST(MetadataImporterPluginTest, ReportsEveryAttributeOfAWrittenPackage)
{
    QTemporaryDir dir;
    const QString package = dir.filePath(QStringLiteral("Full.ovdocument"));
    PackageContents contents;
    contents.bookmarks = {0, 6};
    contents.images = {QStringLiteral("photo.png")};
    contents.metadata = {{QStringLiteral("author"), QStringLiteral("Ann")},
                     {QStringLiteral("organization"), QStringLiteral("ACME")},
                     {QStringLiteral("copyright"), QStringLiteral("(c) ACME")},
                     {QStringLiteral("subject"), QStringLiteral("News")},
                     {QStringLiteral("keywords"), QStringList{QStringLiteral("a"), QStringLiteral("b")}},
                     {QStringLiteral("comments"), QStringLiteral("Late show")}};
    contents.extendedMetadata.insert(QStringLiteral("director"), PlistValue(QStringLiteral("Dee")));
    contents.extendedMetadata.insert(QStringLiteral("producer"), PlistValue(QStringLiteral("Pat")));
    // The program stores the performers as a list of names.
    contents.extendedMetadata.insert(QStringLiteral("performers"),
                                     PlistValue(PlistArray{PlistValue("Max"), PlistValue("Moe")}));
    ASSERT_TRUE(writePackage(package, contents));

    void* instance = MetadataImporterPluginFactory(nullptr, uuid(OV_MD_IMPORTER_TYPE_UUID));
    QJsonObject attributes;
    OVMetadataAttributeSink sink{&attributes, collect};
    ASSERT_EQ(table(instance)->GetMetadataForFile(instance, &sink, "com.example.other", qPrintable(package)),
              1);
    table(instance)->Release(instance);

    EXPECT_EQ(attributes.value(QStringLiteral("kMDItemTextContent")).toString(),
              QStringLiteral("Hello world"));
    EXPECT_EQ(attributes.value(QStringLiteral("kMDItemFonts")).toArray(),
              QJsonArray{QStringLiteral("Helvetica")});
    EXPECT_EQ(attributes.value(QStringLiteral("kMDItemAuthors")).toArray(),
              QJsonArray{QStringLiteral("Ann")});
    EXPECT_EQ(attributes.value(QStringLiteral("kMDItemOrganizations")).toArray(),
              QJsonArray{QStringLiteral("ACME")});
    EXPECT_EQ(attributes.value(QStringLiteral("kMDItemCopyright")).toString(), QStringLiteral("(c) ACME"));
    EXPECT_EQ(attributes.value(QStringLiteral("kMDItemSubject")).toString(), QStringLiteral("News"));
    EXPECT_EQ(attributes.value(QStringLiteral("kMDItemKeywords")).toArray(),
              (QJsonArray{QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(attributes.value(QStringLiteral("kMDItemComment")).toString(), QStringLiteral("Late show"));
    EXPECT_EQ(attributes.value(QStringLiteral("kMDItemDirector")).toString(), QStringLiteral("Dee"));
    EXPECT_EQ(attributes.value(QStringLiteral("kMDItemProducer")).toString(), QStringLiteral("Pat"));
    EXPECT_EQ(attributes.value(QStringLiteral("kMDItemPerformers")).toArray(),
              (QJsonArray{QStringLiteral("Max"), QStringLiteral("Moe")}));
    EXPECT_EQ(attributes.value(QStringLiteral("org_orvane_orvane_ovdocument_bookmarks")).toArray(),
              (QJsonArray{QStringLiteral("Mark 0"), QStringLiteral("Mark 6")}));
    EXPECT_EQ(attributes.value(QStringLiteral("org_orvane_orvane_ovdocument_bookmarkcount")).toInt(), 2);
    EXPECT_EQ(attributes.value(QStringLiteral("org_orvane_orvane_ovdocument_attachments")).toArray(),
              QJsonArray{QStringLiteral("photo.png")});
    EXPECT_EQ(attributes.value(QStringLiteral("org_orvane_orvane_ovdocument_attachmentcount")).toInt(), 1);
}

TEST(MetadataImporterPluginTest, AnEmptyNameListCountsZeroAndAbsentPropertiesStayAbsent)
{
    QTemporaryDir dir;
    const QString package = dir.filePath(QStringLiteral("Plain.ovdocument"));
    ASSERT_TRUE(writePackage(package, PackageContents()));
    void* instance = MetadataImporterPluginFactory(nullptr, uuid(OV_MD_IMPORTER_TYPE_UUID));
    QJsonObject attributes;
    OVMetadataAttributeSink sink{&attributes, collect};
    ASSERT_EQ(table(instance)->GetMetadataForFile(instance, &sink, nullptr, qPrintable(package)), 1);
    table(instance)->Release(instance);
    EXPECT_EQ(attributes.value(QStringLiteral("org_orvane_orvane_ovdocument_bookmarks")).toArray(),
              QJsonArray());
    EXPECT_EQ(attributes.value(QStringLiteral("org_orvane_orvane_ovdocument_bookmarkcount")).toInt(-1), 0);
    for (const char* absent : {"kMDItemDirector", "kMDItemProducer", "kMDItemPerformers", "kMDItemAuthors"})
        EXPECT_FALSE(attributes.contains(QLatin1String(absent))) << absent;
}

TEST(MetadataImporterPluginTest, PerformersOfAnOlderFileAreIndexedAsAListAndForeignValuesAreSkipped)
{
    QTemporaryDir dir;
    const auto performersOf = [&](const QString& name, const PlistValue& performers) {
        const QString package = dir.filePath(name + QStringLiteral(".ovdocument"));
        PackageContents contents;
        contents.extendedMetadata.insert(QStringLiteral("performers"), performers);
        EXPECT_TRUE(writePackage(package, contents));
        void* instance = MetadataImporterPluginFactory(nullptr, uuid(OV_MD_IMPORTER_TYPE_UUID));
        QJsonObject attributes;
        OVMetadataAttributeSink sink{&attributes, collect};
        EXPECT_EQ(table(instance)->GetMetadataForFile(instance, &sink, nullptr, qPrintable(package)), 1);
        table(instance)->Release(instance);
        return attributes.value(QStringLiteral("kMDItemPerformers"));
    };
    EXPECT_EQ(performersOf(QStringLiteral("Older"), PlistValue("Max, Moe")).toArray(),
              QJsonArray{QStringLiteral("Max, Moe")});
    EXPECT_TRUE(
        performersOf(QStringLiteral("Mixed"), PlistValue(PlistArray{PlistValue("Max"), PlistValue(3)}))
            .isUndefined());
    EXPECT_TRUE(performersOf(QStringLiteral("Number"), PlistValue(7)).isUndefined());
}

} // namespace
