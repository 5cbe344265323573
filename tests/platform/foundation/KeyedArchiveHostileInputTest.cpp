#include "platform/foundation/ArchiveObject.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

#include <gtest/gtest.h>

namespace {

PlistValue classEntry(const QString& name)
{
    PlistDictionary entry;
    entry.insert("$classname", name);
    entry.insert("$classes", PlistArray{name, "NSObject"});
    return entry;
}

PlistValue arrayEntry(PlistArray references, quint64 classUid)
{
    PlistDictionary entry;
    entry.insert("NS.objects", std::move(references));
    entry.insert("$class", PlistUid{classUid});
    return entry;
}

PlistValue archiveOf(PlistArray objects, PlistValue root = PlistUid{1})
{
    PlistDictionary top;
    top.insert("root", std::move(root));
    PlistDictionary archive;
    archive.insert("$archiver", "NSKeyedArchiver");
    archive.insert("$objects", std::move(objects));
    archive.insert("$top", top);
    archive.insert("$version", 100000);
    return archive;
}

const QSet<QString> kAllowed{"NSArray", "NSDictionary", "NSColor", "OVBookmark"};

// The failure reason when decoding fails as it must, or a note that it did not.
QString failureOf(const PlistValue& archive, const QSet<QString>& allowed = kAllowed)
{
    Error error;
    const auto decoded = KeyedUnarchiver::unarchivedRootObjectFromPropertyList(archive, allowed, &error);
    if (decoded)
        return QStringLiteral("(decoded)");
    EXPECT_EQ(error.domain(), kCocoaErrorDomain);
    EXPECT_EQ(error.code(), kCoderReadCorruptError);
    return error.localizedFailureReason();
}

PlistValue withTop(PlistValue archive, const QString& key, PlistValue value)
{
    archive.dictionary().insert(key, std::move(value));
    return archive;
}

} // namespace

TEST(KeyedArchiveHostileInputTest, RefusesClassesOutsideTheAllowList)
{
    ArchiveObject object("OVBookmark");
    object.encodeObject("name", "x");
    const PlistValue archive = KeyedArchiver::archivedPropertyList(object);
    EXPECT_TRUE(failureOf(archive, {"NSArray"}).contains("OVBookmark"));
    EXPECT_EQ(failureOf(archive, {"OVBookmark"}), "(decoded)");

    // A refused class deep inside an allowed one fails the whole archive.
    ArchiveObject outer("OVBookmark");
    outer.encodeObject("payload", ArchiveArray{ArchiveObject("NSWindow")});
    EXPECT_TRUE(failureOf(KeyedArchiver::archivedPropertyList(outer)).contains("NSWindow"));
    // Plain strings, numbers and data need no entry.
    EXPECT_EQ(failureOf(KeyedArchiver::archivedPropertyList("text"), {}), "(decoded)");
}

TEST(KeyedArchiveHostileInputTest, RefusesReferencesPastTheObjectTable)
{
    EXPECT_TRUE(failureOf(archiveOf({"$null", "x"}, PlistUid{2})).contains("past"));
    EXPECT_TRUE(failureOf(archiveOf({"$null", "x"}, PlistUid{~0ull})).contains("past"));
    EXPECT_TRUE(failureOf(archiveOf({"$null", arrayEntry({PlistUid{9}}, 2), classEntry("NSArray")}))
                    .contains("past"));
    // A class reference out of range, to nothing, or to the null entry.
    EXPECT_NE(failureOf(archiveOf({"$null", arrayEntry({}, 7)})), "(decoded)");
    EXPECT_NE(failureOf(archiveOf({"$null", arrayEntry({}, 0)})), "(decoded)");
}

TEST(KeyedArchiveHostileInputTest, RefusesObjectsThatContainThemselves)
{
    EXPECT_TRUE(failureOf(archiveOf({"$null", arrayEntry({PlistUid{1}}, 2), classEntry("NSArray")}))
                    .contains("contains itself"));
    // Through another object.
    EXPECT_TRUE(failureOf(archiveOf({"$null", arrayEntry({PlistUid{3}}, 2), classEntry("NSArray"),
                                     arrayEntry({PlistUid{1}}, 2)}))
                    .contains("contains itself"));
    // Through an object's field.
    PlistDictionary selfish;
    selfish.insert("name", PlistUid{1});
    selfish.insert("$class", PlistUid{2});
    EXPECT_TRUE(
        failureOf(archiveOf({"$null", selfish, classEntry("OVBookmark")})).contains("contains itself"));
    // Two references to one object side by side are no cycle.
    EXPECT_EQ(failureOf(archiveOf({"$null", arrayEntry({PlistUid{3}, PlistUid{3}}, 2), classEntry("NSArray"),
                                   arrayEntry({}, 2)})),
              "(decoded)");
}

TEST(KeyedArchiveHostileInputTest, RefusesNestingPastTheDepthLimit)
{
    auto nested = [](int depth) {
        PlistArray objects{"$null", classEntry("NSArray")};
        for (int i = 0; i < depth; ++i) {
            const quint64 uid = objects.size();
            objects.push_back(arrayEntry(i + 1 < depth ? PlistArray{PlistUid{uid + 1}} : PlistArray{}, 1));
        }
        return archiveOf(std::move(objects), PlistUid{2});
    };
    EXPECT_EQ(failureOf(nested(KeyedUnarchiver::kMaxDepth)), "(decoded)");
    EXPECT_TRUE(failureOf(nested(KeyedUnarchiver::kMaxDepth + 1)).contains("deeper"));
    EXPECT_TRUE(failureOf(nested(50000)).contains("deeper"));
}

TEST(KeyedArchiveHostileInputTest, SharedReferencesCannotMultiplyWithoutBound)
{
    // Each level refers twice to the one below: 2^60 values if they were all made.
    PlistArray objects{"$null", classEntry("NSArray")};
    for (int i = 0; i < 60; ++i) {
        const quint64 uid = objects.size();
        objects.push_back(
            arrayEntry(i < 59 ? PlistArray{PlistUid{uid + 1}, PlistUid{uid + 1}} : PlistArray{}, 1));
    }
    EXPECT_TRUE(failureOf(archiveOf(std::move(objects), PlistUid{2})).contains("more than"));

    // One entry of many keys, referenced many times.
    PlistDictionary wide;
    for (int i = 0; i < 5000; ++i)
        wide.insert(QString::number(i), i);
    wide.insert("$class", PlistUid{2});
    PlistArray manyReferences(5000, PlistUid{3});
    EXPECT_TRUE(failureOf(archiveOf({"$null", arrayEntry(manyReferences, 4), classEntry("OVBookmark"), wide,
                                     classEntry("NSArray")}))
                    .contains("more than"));
}

TEST(KeyedArchiveHostileInputTest, RefusesAnObjectTablePastTheLimit)
{
    PlistArray objects(size_t(KeyedUnarchiver::kMaxObjects) + 1, PlistValue("x"));
    objects[0] = "$null";
    EXPECT_TRUE(failureOf(archiveOf(std::move(objects))).contains("more than"));
}

TEST(KeyedArchiveHostileInputTest, RefusesAMalformedArchive)
{
    const PlistValue good = archiveOf({"$null", "x"});
    ASSERT_EQ(failureOf(good), "(decoded)");
    EXPECT_NE(failureOf(PlistArray{}), "(decoded)");
    EXPECT_NE(failureOf(PlistValue()), "(decoded)");
    EXPECT_NE(failureOf(withTop(good, "$archiver", "NSArchiver")), "(decoded)");
    EXPECT_NE(failureOf(withTop(good, "$version", 99999)), "(decoded)");
    EXPECT_NE(failureOf(withTop(good, "$version", "100000")), "(decoded)");
    EXPECT_NE(failureOf(withTop(good, "$objects", "x")), "(decoded)");
    EXPECT_NE(failureOf(withTop(good, "$objects", PlistArray{})), "(decoded)");
    EXPECT_NE(failureOf(withTop(good, "$objects", PlistArray{"x", "x"})), "(decoded)");
    EXPECT_NE(failureOf(withTop(good, "$top", PlistDictionary())), "(decoded)");
    EXPECT_NE(failureOf(withTop(good, "$top", "root")), "(decoded)");
    EXPECT_NE(failureOf(archiveOf({"$null", "x"}, 1)), "(decoded)");
}

TEST(KeyedArchiveHostileInputTest, RefusesValuesOfTheWrongType)
{
    auto dictionaryEntry = [](PlistValue keys, PlistValue values) {
        PlistDictionary entry;
        entry.insert("NS.keys", std::move(keys));
        entry.insert("NS.objects", std::move(values));
        entry.insert("$class", PlistUid{2});
        return PlistValue(entry);
    };
    const PlistValue dictionaryClass = classEntry("NSDictionary");
    EXPECT_EQ(failureOf(archiveOf({"$null", dictionaryEntry(PlistArray{PlistUid{3}}, PlistArray{PlistUid{3}}),
                                   dictionaryClass, "k"})),
              "(decoded)");
    // A key that is not a string, a key missing, counts that differ, lists that are not lists.
    EXPECT_TRUE(
        failureOf(archiveOf({"$null", dictionaryEntry(PlistArray{PlistUid{3}}, PlistArray{PlistUid{3}}),
                             dictionaryClass, 5}))
            .contains("not a string"));
    EXPECT_NE(failureOf(archiveOf({"$null", dictionaryEntry(PlistArray{PlistUid{0}}, PlistArray{PlistUid{3}}),
                                   dictionaryClass, "k"})),
              "(decoded)");
    EXPECT_NE(failureOf(archiveOf(
                  {"$null", dictionaryEntry(PlistArray{PlistUid{3}}, PlistArray{}), dictionaryClass, "k"})),
              "(decoded)");
    EXPECT_NE(failureOf(archiveOf({"$null", dictionaryEntry("k", PlistArray{}), dictionaryClass})),
              "(decoded)");
    // Elements that are values rather than references.
    EXPECT_NE(failureOf(archiveOf({"$null", arrayEntry({"inline"}, 2), classEntry("NSArray")})), "(decoded)");
    // Entries that are not objects.
    EXPECT_NE(failureOf(archiveOf({"$null", PlistArray{}})), "(decoded)");
    EXPECT_NE(failureOf(archiveOf({"$null", PlistUid{0}})), "(decoded)");
    PlistDictionary classless;
    classless.insert("NS.objects", PlistArray{});
    EXPECT_TRUE(failureOf(archiveOf({"$null", classless})).contains("no class"));
    // Class entries without a name or with a chain that is not a list of names.
    PlistDictionary unnamed;
    unnamed.insert("$classes", PlistArray{"NSArray"});
    EXPECT_NE(failureOf(archiveOf({"$null", arrayEntry({}, 2), unnamed})), "(decoded)");
    PlistDictionary badChain;
    badChain.insert("$classname", "NSArray");
    badChain.insert("$classes", PlistArray{1});
    EXPECT_NE(failureOf(archiveOf({"$null", arrayEntry({}, 2), badChain})), "(decoded)");
    // An object field holding a string or a list inline, which no coder writes.
    PlistDictionary inlineString;
    inlineString.insert("name", "inline");
    inlineString.insert("$class", PlistUid{2});
    EXPECT_NE(failureOf(archiveOf({"$null", inlineString, classEntry("OVBookmark")})), "(decoded)");
}

TEST(KeyedArchiveHostileInputTest, RefusesMalformedColours)
{
    auto colour = [](PlistValue space, const QString& key, PlistValue components) {
        PlistDictionary entry;
        entry.insert("NSColorSpace", std::move(space));
        entry.insert(key, std::move(components));
        entry.insert("$class", PlistUid{2});
        return archiveOf({"$null", entry, classEntry("NSColor")});
    };
    const auto decoded = KeyedUnarchiver::unarchivedRootObjectFromPropertyList(
        colour(1, "NSRGB", QByteArray("0.1  0.2\t0.3 0.4", 17)), {"NSColor"}, nullptr);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->color(), ArchivedColor::rgb(0.1, 0.2, 0.3, 0.4, ArchivedColor::Space::CalibratedRGB));

    const char* const badComponents[] = {"",          "0.1 0.2",      "0.1 0.2 0.3 0.4 0.5",
                                         "a b c",     "0.1 0.2 0.3x", "nan 0 0",
                                         "1e999 0 0", "0x1 0 0",      "--1 0 0"};
    for (const char* text : badComponents)
        EXPECT_NE(failureOf(colour(2, "NSRGB", QByteArray(text))), "(decoded)") << text;
    EXPECT_NE(failureOf(colour(2, "NSRGB", "1 1 1")), "(decoded)");
    EXPECT_NE(failureOf(colour(2, "NSWhite", QByteArray("1 1 1"))), "(decoded)");
    EXPECT_NE(failureOf(colour(4, "NSWhite", QByteArray("1 1 1"))), "(decoded)");
    EXPECT_NE(failureOf(colour(9, "NSRGB", QByteArray("1 1 1"))), "(decoded)");
    EXPECT_NE(failureOf(colour("2", "NSRGB", QByteArray("1 1 1"))), "(decoded)");
    EXPECT_NE(failureOf(colour(6, "NSRGB", QByteArray("1 1 1"))), "(decoded)");
}

TEST(KeyedArchiveHostileInputTest, ReadsThePlatformsOtherForms)
{
    // Mutable strings and data keep their contents under one key; a catalogue colour carries
    // its plain equivalent.
    PlistDictionary string;
    string.insert("NS.string", "text");
    string.insert("$class", PlistUid{5});
    PlistDictionary data;
    data.insert("NS.data", QByteArray("raw"));
    data.insert("$class", PlistUid{6});
    PlistDictionary named;
    named.insert("NSColorSpace", 6);
    named.insert("NSCatalogName", PlistUid{0});
    named.insert("NSColor", PlistUid{8});
    named.insert("$class", PlistUid{9});
    PlistDictionary plain;
    plain.insert("NSColorSpace", 3);
    plain.insert("NSWhite", QByteArray("0.5\0", 4));
    plain.insert("$class", PlistUid{9});
    const PlistValue archive =
        archiveOf({"$null", arrayEntry({PlistUid{3}, PlistUid{4}, PlistUid{7}}, 2),
                   classEntry("NSMutableArray"), string, data, classEntry("NSMutableString"),
                   classEntry("NSMutableData"), named, plain, classEntry("NSColor")});
    QSet<QString> allowed = KeyedUnarchiver::propertyListClasses();
    allowed.insert("NSColor");
    Error error;
    const auto decoded = KeyedUnarchiver::unarchivedRootObjectFromPropertyList(archive, allowed, &error);
    ASSERT_TRUE(decoded) << error.localizedFailureReason().toStdString();
    const ArchiveArray expected{"text", QByteArray("raw"),
                                ArchivedColor::grey(0.5, 1, ArchivedColor::Space::CalibratedWhite)};
    EXPECT_EQ(*decoded, ArchiveValue(expected));
}

TEST(KeyedArchiveHostileInputTest, RefusesTruncatedAndDamagedBytes)
{
    ArchiveDictionary root;
    root.insert("list", ArchiveArray{"a", 1, 2.5, QByteArray("xyz"), ArchivedColor::grey(0.5)});
    const QByteArray data = KeyedArchiver::archivedData(root);
    QSet<QString> allowed = KeyedUnarchiver::propertyListClasses();
    allowed.insert("NSColor");
    ASSERT_TRUE(KeyedUnarchiver::unarchivedRootObject(data, allowed, nullptr));
    for (qsizetype length = 0; length < data.size(); ++length) {
        Error error;
        EXPECT_FALSE(KeyedUnarchiver::unarchivedRootObject(data.left(length), allowed, &error)) << length;
        EXPECT_EQ(error.code(), kCoderReadCorruptError) << length;
    }
    // Every single-byte change either still reads or fails cleanly.
    for (qsizetype at = 0; at < data.size(); ++at) {
        for (int bits : {0x01, 0x80, 0xff}) {
            QByteArray damaged = data;
            damaged[at] = char(damaged[at] ^ bits);
            KeyedUnarchiver::unarchivedRootObject(damaged, allowed, nullptr);
        }
    }
    EXPECT_FALSE(KeyedUnarchiver::unarchivedRootObject("not an archive", allowed, nullptr));
}
