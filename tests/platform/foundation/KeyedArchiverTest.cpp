#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/ArchiveObject.h"
#include "platform/foundation/KeyedUnarchiver.h"

#include <gtest/gtest.h>

namespace {

PlistValue classEntry(const QString& name, const QStringList& chain)
{
    PlistArray classes;
    for (const QString& item : chain)
        classes.emplace_back(item);
    PlistDictionary entry;
    entry.insert("$classname", name);
    entry.insert("$classes", classes);
    return entry;
}

QStringList keysOf(const PlistValue& value)
{
    QStringList keys;
    for (const auto& entry : value.dictionary())
        keys.append(entry.first);
    return keys;
}

ArchiveObject bookmark(const ArchiveValue& name, qint64 type = 0)
{
    ArchiveObject object("OVBookmark");
    object.encodeObject("name", name);
    object.encodeInteger("type", type);
    return object;
}

const PlistArray& objectsOf(const PlistValue& archive)
{
    return archive.dictionary().find("$objects")->array();
}

std::optional<ArchiveValue> roundTrip(const ArchiveValue& value, const QSet<QString>& allowed,
                                      Error* error = nullptr)
{
    return KeyedUnarchiver::unarchivedRootObjectFromPropertyList(KeyedArchiver::archivedPropertyList(value),
                                                                 allowed, error);
}

} // namespace

TEST(KeyedArchiverTest, WritesThePlatformStructureForAnObject)
{
    const PlistValue archive = KeyedArchiver::archivedPropertyList(bookmark("Intro"));

    EXPECT_EQ(keysOf(archive), QStringList({"$archiver", "$objects", "$top", "$version"}));
    EXPECT_EQ(archive.dictionary().value("$archiver"), PlistValue("NSKeyedArchiver"));
    EXPECT_EQ(archive.dictionary().value("$version"), PlistValue(qint64(100000)));
    PlistDictionary top;
    top.insert("root", PlistUid{1});
    EXPECT_EQ(archive.dictionary().value("$top"), PlistValue(top));

    PlistDictionary object;
    object.insert("name", PlistUid{2});
    object.insert("type", 0);
    object.insert("$class", PlistUid{3});
    const PlistArray expected{"$null", object, "Intro", classEntry("OVBookmark", {"OVBookmark", "NSObject"})};
    ASSERT_EQ(objectsOf(archive), expected);
    EXPECT_EQ(keysOf(objectsOf(archive)[1]), QStringList({"name", "type", "$class"}));
    EXPECT_EQ(keysOf(objectsOf(archive)[3]), QStringList({"$classname", "$classes"}));
}

TEST(KeyedArchiverTest, AbsentObjectReferencesNull)
{
    const PlistValue archive = KeyedArchiver::archivedPropertyList(bookmark(ArchiveValue(), 3));
    const PlistArray& objects = objectsOf(archive);
    ASSERT_EQ(objects.size(), 3u);
    EXPECT_EQ(objects[1].dictionary().value("name"), PlistValue(PlistUid{0}));
    EXPECT_EQ(objects[1].dictionary().value("type"), PlistValue(3));

    const auto decoded = roundTrip(bookmark(ArchiveValue(), 3), {"OVBookmark"});
    ASSERT_TRUE(decoded && decoded->object());
    EXPECT_TRUE(decoded->object()->containsValueForKey("name"));
    EXPECT_TRUE(decoded->object()->decodeObject("name").isNil());
    EXPECT_EQ(decoded->object()->decodeInteger("type"), 3);

    const PlistValue nilRoot = KeyedArchiver::archivedPropertyList(ArchiveValue());
    EXPECT_EQ(objectsOf(nilRoot), PlistArray{"$null"});
    const auto nothing = KeyedUnarchiver::unarchivedRootObjectFromPropertyList(nilRoot, {}, nullptr);
    ASSERT_TRUE(nothing);
    EXPECT_TRUE(nothing->isNil());
}

TEST(KeyedArchiverTest, SharesClassEntriesAndEqualValues)
{
    const ArchiveValue list(ArchiveArray{bookmark("A"), bookmark("A", 1), "A", 7, 7, 7.0, true});
    const PlistValue archive = KeyedArchiver::archivedPropertyList(list);
    const PlistArray& objects = objectsOf(archive);

    PlistDictionary first;
    first.insert("name", PlistUid{3});
    first.insert("type", 0);
    first.insert("$class", PlistUid{4});
    PlistDictionary second;
    second.insert("name", PlistUid{3});
    second.insert("type", 1);
    second.insert("$class", PlistUid{4});
    PlistDictionary array;
    array.insert("NS.objects", PlistArray{PlistUid{2}, PlistUid{5}, PlistUid{3}, PlistUid{6}, PlistUid{6},
                                          PlistUid{7}, PlistUid{8}});
    array.insert("$class", PlistUid{9});
    const PlistArray expected{
        "$null", array, first, "A",  classEntry("OVBookmark", {"OVBookmark", "NSObject"}),
        second,  7,     7.0,   true, classEntry("NSArray", {"NSArray", "NSObject"})};
    EXPECT_EQ(objects, expected);
}

TEST(KeyedArchiverTest, SharedObjectIsArchivedOnce)
{
    const auto shared = std::make_shared<const ArchiveObject>(bookmark("Shared"));
    const PlistValue archive =
        KeyedArchiver::archivedPropertyList(ArchiveArray{ArchiveValue(shared), ArchiveValue(shared)});
    const PlistArray& objects = objectsOf(archive);
    const PlistArray references = objects[1].dictionary().value("NS.objects").array();
    ASSERT_EQ(references.size(), 2u);
    EXPECT_EQ(references[0], references[1]);
    EXPECT_EQ(objects.size(), 6u);
}

TEST(KeyedArchiverTest, DictionaryWritesKeysThenValues)
{
    ArchiveDictionary dictionary;
    dictionary.insert("Version", 2);
    dictionary.insert("Profiles", ArchiveArray{});
    const PlistValue archive = KeyedArchiver::archivedPropertyList(dictionary);
    const PlistArray& objects = objectsOf(archive);

    PlistDictionary entry;
    entry.insert("NS.keys", PlistArray{PlistUid{2}, PlistUid{3}});
    entry.insert("NS.objects", PlistArray{PlistUid{4}, PlistUid{5}});
    entry.insert("$class", PlistUid{7});
    PlistDictionary emptyArray;
    emptyArray.insert("NS.objects", PlistArray{});
    emptyArray.insert("$class", PlistUid{6});
    const PlistArray expected{"$null",
                              entry,
                              "Version",
                              "Profiles",
                              2,
                              emptyArray,
                              classEntry("NSArray", {"NSArray", "NSObject"}),
                              classEntry("NSDictionary", {"NSDictionary", "NSObject"})};
    EXPECT_EQ(objects, expected);
}

TEST(KeyedArchiverTest, ColoursAreWrittenAsTheirComponentText)
{
    auto colorEntry = [](const ArchivedColor& color) {
        const PlistValue archive = KeyedArchiver::archivedPropertyList(color);
        return objectsOf(archive)[1].dictionary();
    };
    const PlistDictionary opaque = colorEntry(ArchivedColor::rgb(1, 0.5, 0));
    EXPECT_EQ(opaque.value("NSColorSpace"), PlistValue(2));
    EXPECT_EQ(opaque.value("NSRGB"), PlistValue(QByteArray("1 0.5 0\0", 8)));

    const PlistDictionary translucent =
        colorEntry(ArchivedColor::rgb(0.25, 0.5, 0.75, 0.5, ArchivedColor::Space::CalibratedRGB));
    EXPECT_EQ(translucent.value("NSColorSpace"), PlistValue(1));
    EXPECT_EQ(translucent.value("NSRGB"), PlistValue(QByteArray("0.25 0.5 0.75 0.5\0", 18)));

    const PlistDictionary grey =
        colorEntry(ArchivedColor::grey(0.5, 1, ArchivedColor::Space::CalibratedWhite));
    EXPECT_EQ(grey.value("NSColorSpace"), PlistValue(3));
    EXPECT_EQ(grey.value("NSWhite"), PlistValue(QByteArray("0.5\0", 4)));
    EXPECT_FALSE(grey.contains("NSRGB"));

    // Components that have no short decimal form still read back exactly.
    const ArchivedColor indigo = ArchivedColor::rgb(88 / 255.0, 86 / 255.0, 214 / 255.0);
    const auto decoded = roundTrip(indigo, {"NSColor"});
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->color(), indigo);
}

TEST(KeyedArchiverTest, EqualValuesGiveEqualArchives)
{
    EXPECT_EQ(KeyedArchiver::archivedPropertyList(bookmark("Intro")),
              KeyedArchiver::archivedPropertyList(bookmark("Intro")));
    EXPECT_NE(KeyedArchiver::archivedPropertyList(bookmark("Intro")),
              KeyedArchiver::archivedPropertyList(bookmark("Outro")));
}

TEST(KeyedArchiverTest, RoundTripsEveryKindOfValue)
{
    ArchiveObject inner("OVThing", {"OVBase"});
    inner.encodeDouble("ratio", 0.75);
    inner.encodeBool("visible", true);
    inner.encodeBytes("bytes", QByteArray("\x00\x01", 2));
    inner.encodeObject("colour", ArchivedColor::grey(0.2, 0.4));
    ArchiveDictionary dictionary;
    dictionary.insert("string", "Grüße");
    dictionary.insert("integer", -(qint64(1) << 40));
    dictionary.insert("real", 2.5);
    dictionary.insert("bool", false);
    dictionary.insert("data", QByteArray(300, 'x'));
    dictionary.insert("date", PlistDate{123.5});
    dictionary.insert("object", inner);
    dictionary.insert("nested",
                      ArchiveArray{ArchiveArray{}, ArchiveDictionary{}, ArchivedColor::rgb(0, 0, 0)});

    QSet<QString> allowed = KeyedUnarchiver::propertyListClasses();
    allowed += {"OVThing", "NSColor"};
    Error error;
    const auto decoded = roundTrip(dictionary, allowed, &error);
    ASSERT_TRUE(decoded) << error.localizedFailureReason().toStdString();
    EXPECT_EQ(*decoded, ArchiveValue(dictionary));

    const ArchiveObject* object = decoded->dictionary().value("object").object();
    ASSERT_TRUE(object);
    EXPECT_EQ(object->classes(), QStringList({"OVThing", "OVBase", "NSObject"}));
    EXPECT_EQ(object->decodeDouble("ratio"), 0.75);
    EXPECT_EQ(object->decodeBool("visible"), true);
    EXPECT_EQ(object->decodeObject("colour").color(), ArchivedColor::grey(0.2, 0.4));
    // Typed reads do not mix inline values and objects.
    EXPECT_FALSE(object->decodeInteger("ratio"));
    EXPECT_FALSE(object->decodeBytes("colour"));
    EXPECT_TRUE(object->decodeObject("ratio").isNil());
    EXPECT_FALSE(object->decodeBool("missing"));
}

TEST(KeyedArchiverTest, PropertyListsConvertBothWays)
{
    PlistDictionary condition;
    condition.insert("HardwareName", "MacBook2,1");
    condition.insert("VideoCardName", "GMA 950");
    PlistDictionary override;
    override.insert("CanCaptureDisplays", -1);
    override.insert("VideoMemoryState", 0);
    PlistDictionary profile;
    profile.insert("Condition", condition);
    profile.insert("Override", override);
    PlistDictionary profiles;
    profiles.insert("Version", 2);
    profiles.insert("Profiles", PlistArray{profile});

    const auto value = ArchiveValue::fromPropertyList(profiles);
    ASSERT_TRUE(value);
    const auto decoded = roundTrip(*value, KeyedUnarchiver::propertyListClasses());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->toPropertyList(), PlistValue(profiles));

    EXPECT_FALSE(ArchiveValue::fromPropertyList(PlistArray{PlistUid{1}}));
    EXPECT_FALSE(ArchiveValue(ArchiveArray{ArchivedColor()}).toPropertyList());
    EXPECT_FALSE(ArchiveValue(ArchiveArray{ArchiveValue()}).toPropertyList());
}

TEST(KeyedArchiverTest, RoundTripsThroughTheBinaryForm)
{
    const QByteArray data = KeyedArchiver::archivedData(bookmark("Intro"));
    EXPECT_TRUE(data.startsWith("bplist00"));
    EXPECT_EQ(data, KeyedArchiver::archivedData(bookmark("Intro")));
    Error error;
    const auto decoded = KeyedUnarchiver::unarchivedRootObject(data, {"OVBookmark"}, &error);
    ASSERT_TRUE(decoded) << error.localizedFailureReason().toStdString();
    EXPECT_EQ(*decoded, ArchiveValue(bookmark("Intro")));
}
