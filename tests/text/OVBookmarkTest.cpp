#include "text/OVBookmark.h"
#include "platform/foundation/ArchiveObject.h"
#include "platform/foundation/FileWrapper.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/text/TextAttachment.h"
#include "text/NSTextAttachmentOVBookmarkAdditions.h"
#include "text/OVBookmarkCell.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

namespace {

QByteArray archiveOf(const ArchiveObject& object)
{
    return KeyedArchiver::archivedData(ArchiveValue(object));
}

} // namespace

TEST(OVBookmarkTest, ArchiveRoundTripDropsTheTransientName)
{
    auto bookmark = OVBookmark::bookmarkWithName("Intro");
    bookmark->setTransientName(QStringLiteral("Once upon a time"));
    const auto read = OVBookmark::unarchivedBookmark(bookmark->archivedData());
    ASSERT_TRUE(read);
    EXPECT_EQ(read->name(), QStringLiteral("Intro"));
    EXPECT_EQ(read->type(), 0);
    EXPECT_FALSE(read->transientName().has_value());
}

TEST(OVBookmarkTest, ArchiveWithoutNameReadsAsAbsentName)
{
    ArchiveObject object("OVBookmark");
    object.encodeInteger("type", 0);
    const auto read = OVBookmark::unarchivedBookmark(archiveOf(object));
    ASSERT_TRUE(read);
    EXPECT_FALSE(read->name().has_value());
    EXPECT_EQ(OVBookmark::bookmark()->archivedData(), archiveOf(object));
}

TEST(OVBookmarkTest, BookmarkOnlyDecoderRefusesEverythingElse)
{
    Error error;
    EXPECT_FALSE(OVBookmark::unarchivedBookmark("garbage", &error));
    EXPECT_FALSE(error.isNull());
    EXPECT_FALSE(OVBookmark::unarchivedBookmark(QByteArray()));

    ArchiveObject other("OVSomethingElse");
    other.encodeObject("name", "x");
    EXPECT_FALSE(OVBookmark::unarchivedBookmark(archiveOf(other)));

    ArchiveObject numberName("OVBookmark");
    numberName.encodeObject("name", 12);
    EXPECT_FALSE(OVBookmark::unarchivedBookmark(archiveOf(numberName)));

    ArchiveObject stringType("OVBookmark");
    stringType.encodeObject("type", "zero");
    EXPECT_FALSE(OVBookmark::unarchivedBookmark(archiveOf(stringType)));

    // A plain string as root is no bookmark either.
    EXPECT_FALSE(OVBookmark::unarchivedBookmark(KeyedArchiver::archivedData(ArchiveValue("Intro"))));

    ArchiveObject huge("OVBookmark");
    huge.encodeObject("name", QString(OVBookmark::kMaxArchiveBytes, QLatin1Char('a')));
    EXPECT_FALSE(OVBookmark::unarchivedBookmark(archiveOf(huge)));

    const QByteArray valid = OVBookmark::bookmarkWithName("Intro")->archivedData();
    for (qsizetype cut = 0; cut < valid.size(); ++cut)
        EXPECT_FALSE(OVBookmark::unarchivedBookmark(valid.left(cut))) << cut;
}

TEST(OVBookmarkTest, TitleJoinsNameAndTransientName)
{
    OVBookmark bookmark(QStringLiteral("Intro"));
    bookmark.setTransientName(QStringLiteral("Once upon a time"));
    EXPECT_EQ(bookmark.nameAndTransientName(), QStringLiteral("Intro \u2013 Once upon a time"));
    bookmark.setName(QString());
    EXPECT_EQ(bookmark.nameAndTransientName(), QStringLiteral("Once upon a time"));
    bookmark.setTransientName(QString());
    EXPECT_EQ(bookmark.nameAndTransientName(), QString());
    bookmark.setName(QStringLiteral("A"));
    EXPECT_EQ(bookmark.nameAndTransientName(), QStringLiteral("A"));
}

TEST(OVBookmarkTest, EqualityAndHashFollowNameAndType)
{
    const auto a = OVBookmark::bookmarkWithName("A");
    const auto b = OVBookmark::bookmarkWithName("A");
    const auto unnamed = OVBookmark::bookmark();
    EXPECT_TRUE(a->isEqual(b.get()));
    EXPECT_EQ(a->hash(), b->hash());
    EXPECT_FALSE(a->isEqual(unnamed.get()));
    EXPECT_FALSE(a->isEqual(nullptr));
    EXPECT_TRUE(unnamed->isEqual(OVBookmark::bookmark().get()));
    EXPECT_EQ(unnamed->hash(), size_t(992));
    b->setType(1);
    EXPECT_FALSE(a->isEqual(b.get()));
    EXPECT_EQ(b->hash(), a->hash() + 1);
}

TEST(OVBookmarkTest, CopyLeavesTheTransientNameBehind)
{
    auto bookmark = OVBookmark::bookmarkWithName("A");
    bookmark->setType(3);
    bookmark->setTransientName(QStringLiteral("context"));
    const auto copied = bookmark->copy();
    EXPECT_TRUE(copied->isEqual(bookmark.get()));
    EXPECT_FALSE(copied->transientName());
    EXPECT_TRUE(bookmark->description().endsWith(QStringLiteral(">  Name:  A")));
}

TEST(OVBookmarkTest, AttachmentsCarryFreshNamesAndEqualArchives)
{
    OVBookmarkCell::setImageSource({});
    const QRegularExpression pattern(
        QStringLiteral("^_OVBookmark [0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"));
    auto bookmark = OVBookmark::bookmarkWithName("Intro");
    const auto first = bookmark->textAttachment();
    const auto second = bookmark->textAttachment();
    const FileWrapper& wrapper = *first->fileWrapper();
    EXPECT_TRUE(pattern.match(wrapper.preferredFilename()).hasMatch());
    EXPECT_TRUE(pattern.match(wrapper.filename()).hasMatch());
    EXPECT_NE(wrapper.filename(), wrapper.preferredFilename());
    EXPECT_NE(wrapper.preferredFilename(), second->fileWrapper()->preferredFilename());
    EXPECT_EQ(wrapper.regularFileContents(), second->fileWrapper()->regularFileContents());
    EXPECT_EQ(NSTextAttachmentOVBookmarkAdditions::bookmark(*first), bookmark);
    EXPECT_EQ(wrapper.icon().toString(), QStringLiteral("Bookmark"));
}

TEST(OVBookmarkTest, KindIsDecidedByThePreferredName)
{
    using namespace NSTextAttachmentOVBookmarkAdditions;
    auto wrapper = FileWrapper::makeRegularFile("x");
    TextAttachment attachment(wrapper);
    wrapper->setPreferredFilename(QStringLiteral("_OVBookmark"));
    EXPECT_FALSE(isBookmark(attachment));
    wrapper->setPreferredFilename(QStringLiteral("_OVBookmark x"));
    EXPECT_TRUE(isBookmark(attachment));
    // A bookmark read from disk has no live cell yet.
    EXPECT_FALSE(bookmark(attachment));
    wrapper->setPreferredFilename(QStringLiteral("_OVAtom 5F0C.tiff"));
    EXPECT_TRUE(isAtom(attachment));
    EXPECT_FALSE(isBookmark(attachment));
    EXPECT_FALSE(isBookmark(TextAttachment()));
}
