#include "tests/support/IsolatedSettings.h"
#include "tests/support/LogCapture.h"

#include "platform/foundation/FileWrapper.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/text/TextAttachment.h"
#include "text/NSAttributedStringOVBookmarkAdditions.h"
#include "text/NSMutableAttributedStringOVBookmarkAdditions.h"
#include "text/NSTextAttachmentOVBookmarkAdditions.h"
#include "text/OVBookmark.h"
#include "text/OVBookmarkCell.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

using namespace NSAttributedStringOVBookmarkAdditions;
using namespace NSMutableAttributedStringOVBookmarkAdditions;

namespace {

const auto* kIsolated = ::testing::AddGlobalTestEnvironment(new IsolatedSettings);

const QString kMark = QString(QChar(0xFFFC));
const QString kSymbol = QStringLiteral("\u2026");

AttributedString attachmentString(std::shared_ptr<TextAttachment> attachment,
                                  const AttributeDictionary& extra = {})
{
    AttributeDictionary attributes = extra;
    attributes.insert(kAttachmentAttributeName, AttributeValue(std::move(attachment)));
    return AttributedString(kMark, attributes);
}

std::shared_ptr<TextAttachment> image(const QString& name)
{
    auto wrapper = FileWrapper::makeRegularFile("png bytes");
    wrapper->setPreferredFilename(name);
    return std::make_shared<TextAttachment>(wrapper);
}

// A bookmark attachment as it is read from disk: the archive in its file, a plain cell.
std::shared_ptr<TextAttachment> storedBookmark(const QString& name)
{
    auto wrapper = FileWrapper::makeRegularFile(OVBookmark::bookmarkWithName(name)->archivedData());
    wrapper->setPreferredFilename(OVBookmark::preferredFilename());
    return std::make_shared<TextAttachment>(wrapper);
}

std::shared_ptr<OVBookmark> bookmarkAt(const AttributedString& text, qsizetype index)
{
    const auto attachment = text.attribute(kAttachmentAttributeName, index).attachment();
    return attachment ? NSTextAttachmentOVBookmarkAdditions::bookmark(*attachment) : nullptr;
}

class BookmarkTextTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        OVBookmarkCell::setImageSource({});
        OVBookmarkCell::setDisplayMode(1);
        UserDefaults::shared().setBool(true, kBookmarksShowContextKey);
        _bookmarkMenuDisplayMode(0, true);
        setBookmarkControllerState({});
        setAtomResourceLoader(nullptr);
    }
};

} // namespace

TEST_F(BookmarkTextTest, QueriesTellKindsApart)
{
    MutableAttributedString text(QStringLiteral("a"));
    text.append(attachmentString(image("photo.png")));
    text.append(QStringLiteral("b"), {});
    text.append(attachmentString(OVBookmark::bookmark()->textAttachment()));
    text.append(QStringLiteral("c"), {});
    text.append(*atomAttributedString());
    const Range all{0, text.length()};
    EXPECT_EQ(anyAttachmentCharacterRangesInRange(text, all), (std::vector<Range>{{1, 1}, {3, 1}, {5, 1}}));
    EXPECT_EQ(imageCharacterRangesInRange(text, all), (std::vector<Range>{{1, 1}}));
    EXPECT_EQ(bookmarkCharacterRanges(text), (std::vector<Range>{{3, 1}}));
    EXPECT_EQ(atomCharacterRanges(text), (std::vector<Range>{{5, 1}}));
    EXPECT_TRUE(containsImageAttachmentInRange(text, Range{0, 2}));
    EXPECT_FALSE(containsBookmarkAttachmentInRange(text, Range{0, 3}));
    EXPECT_TRUE(containsAtomAttachmentInRange(text, Range{4, 2}));

    const AttributedString plain(QStringLiteral("abc"));
    EXPECT_EQ(bookmarkCharacterRanges(plain), std::nullopt);
    EXPECT_FALSE(containsBookmarkAttachmentInRange(plain, Range{0, 3}));
}

TEST_F(BookmarkTextTest, AtomStringIsMadeOnceWithAStableName)
{
    const auto first = atomAttributedString();
    const auto second = atomAttributedString();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->string(), kMark);
    const auto attachment = first->attribute(kAttachmentAttributeName, 0).attachment();
    const QString name = attachment->fileWrapper()->preferredFilename();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^_OVAtom [0-9A-F-]{36}\\.tiff$")).match(name).hasMatch())
        << name.toStdString();
    EXPECT_EQ(second->attribute(kAttachmentAttributeName, 0).attachment()->fileWrapper()->preferredFilename(),
              name);
}

TEST_F(BookmarkTextTest, MissingAtomPictureDisablesAtoms)
{
    LogCapture log;
    setAtomResourceLoader([](Error* error) -> std::optional<QByteArray> {
        *error = Error::cocoa(260);
        return std::nullopt;
    });
    EXPECT_FALSE(atomAttributedString());
    EXPECT_FALSE(atomAttributedString());
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines().first().startsWith(QStringLiteral("atomFileWrapper error:  ")));

    MutableAttributedString text(QStringLiteral("x"));
    text.append(attachmentString(OVBookmark::bookmark()->textAttachment()));
    replaceBookmarksWithAtoms(text);
    EXPECT_TRUE(bookmarkCharacterRanges(text));
}

TEST_F(BookmarkTextTest, BuiltInAtomPictureIsATiff)
{
    setAtomResourceLoader(nullptr);
    const auto atom = atomAttributedString();
    ASSERT_TRUE(atom);
    const QByteArray picture =
        atom->attribute(kAttachmentAttributeName, 0).attachment()->fileWrapper()->regularFileContents();
    EXPECT_TRUE(picture.startsWith(QByteArray("II*\0", 4)));
}

TEST_F(BookmarkTextTest, LoadingGivesStoredBookmarksLiveCellsAndContextNames)
{
    MutableAttributedString text;
    text.append(attachmentString(storedBookmark(QString())));
    text.append(QStringLiteral("  Hello there.\nGo on."), {});
    auto broken = FileWrapper::makeRegularFile("not an archive");
    broken->setPreferredFilename(OVBookmark::preferredFilename());
    text.append(attachmentString(std::make_shared<TextAttachment>(broken)));
    text.append(QStringLiteral("tail"), {});

    prepareBookmarksForLoading(text);
    const auto first = bookmarkAt(text, 0);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->transientName(), QStringLiteral("Hello there.\u2007Go on") + kSymbol);
    // Undecodable contents keep their place, with a cell that holds no bookmark.
    const qsizetype brokenIndex = text.string().lastIndexOf(kMark);
    const auto attachment = text.attribute(kAttachmentAttributeName, brokenIndex).attachment();
    EXPECT_TRUE(std::dynamic_pointer_cast<OVBookmarkCell>(attachment->attachmentCell()));
    EXPECT_FALSE(bookmarkAt(text, brokenIndex));
}

TEST_F(BookmarkTextTest, ContextNamesOfTabsPicturesAndTheEnd)
{
    MutableAttributedString text;
    text.append(attachmentString(OVBookmark::bookmark()->textAttachment()));
    text.append(QStringLiteral("\tA\t\tB"), {});
    text.append(attachmentString(OVBookmark::bookmark()->textAttachment()));
    text.append(attachmentString(image("photo.png")));
    text.append(QStringLiteral("Go!"), {});
    text.append(attachmentString(image("second.png")));
    text.append(attachmentString(OVBookmark::bookmark()->textAttachment()));
    updateBookmarkTransientNames(text);
    EXPECT_EQ(bookmarkAt(text, 0)->transientName(), QStringLiteral("A B") + kSymbol);
    EXPECT_EQ(bookmarkAt(text, 6)->transientName(), QStringLiteral("(photo.png)") + kSymbol);
    EXPECT_EQ(_transientNameFromIndex(text, 8), QStringLiteral("Go!(second.png)") + kSymbol);
    EXPECT_EQ(bookmarkAt(text, text.length() - 1)->transientName(), QStringLiteral("Bookmark"));

    setBookmarkControllerState({[] { return 2u; }, {}});
    updateBookmarkTransientNames(text);
    EXPECT_EQ(_bookmarkMenuDisplayMode(), 2u);
    EXPECT_EQ(bookmarkAt(text, text.length() - 1)->transientName(), QString());

    UserDefaults::shared().setBool(false, kBookmarksShowContextKey);
    EXPECT_EQ(_transientNameFromIndex(text, 1), QString());
}

TEST_F(BookmarkTextTest, ContextIsAtMostFiftyCharactersAndNeverSplitsACharacter)
{
    MutableAttributedString text;
    text.append(attachmentString(OVBookmark::bookmark()->textAttachment()));
    text.append(QString(49, QLatin1Char('x')) + QStringLiteral("e\u0301 more"), {});
    EXPECT_EQ(_transientNameFromIndex(text, 1),
              QString(49, QLatin1Char('x')) + QStringLiteral("e\u0301") + kSymbol);

    // A character composed of thousands of marks is cut instead of read to its end.
    MutableAttributedString hostile;
    hostile.append(attachmentString(OVBookmark::bookmark()->textAttachment()));
    hostile.append(QString(49, QLatin1Char('x')) + QStringLiteral("e") + QString(100000, QChar(0x0301)), {});
    const QString name = _transientNameFromIndex(hostile, 1);
    EXPECT_TRUE(name.startsWith(QString(49, QLatin1Char('x')) + QStringLiteral("e\u0301")));
    EXPECT_LE(name.size(), 50 + 64 + 1);
}

TEST_F(BookmarkTextTest, NamedBookmarksKeepTheirContextInModeZero)
{
    MutableAttributedString text;
    auto named = OVBookmark::bookmarkWithName("Intro");
    named->setTransientName(QStringLiteral("old"));
    text.append(attachmentString(named->textAttachment()));
    text.append(QStringLiteral("new text"), {});
    updateBookmarkTransientNames(text);
    EXPECT_EQ(named->transientName(), QStringLiteral("old"));
    setBookmarkControllerState({[] { return 1u; }, {}});
    updateBookmarkTransientNames(text);
    EXPECT_EQ(named->transientName(), QStringLiteral("new text") + kSymbol);
}

TEST_F(BookmarkTextTest, RemovingBookmarksLeavesPictures)
{
    MutableAttributedString text(QStringLiteral("ab"));
    text.insert(attachmentString(OVBookmark::bookmark()->textAttachment()), 1);
    text.append(attachmentString(image("photo.png")));
    text.append(attachmentString(OVBookmark::bookmark()->textAttachment()));
    text.append(attachmentString(OVBookmark::bookmark()->textAttachment()));
    const qsizetype before = text.length();
    removeAllBookmarks(text);
    EXPECT_EQ(text.length(), before - 3);
    EXPECT_EQ(text.string(), QStringLiteral("ab") + kMark);
    EXPECT_TRUE(containsImageAttachmentInRange(text, Range{0, text.length()}));
}

TEST_F(BookmarkTextTest, AtomsReplaceEveryBookmarkKeepingTheSurroundingStyle)
{
    const AttributeDictionary style{{kForegroundColorAttributeName, AttributeValue(Color::rgb(1, 0, 0))}};
    MutableAttributedString text(QStringLiteral("one "), style);
    text.append(attachmentString(OVBookmark::bookmark()->textAttachment(), style));
    text.append(QStringLiteral(" two "), style);
    text.append(attachmentString(OVBookmark::bookmark()->textAttachment(), style));
    replaceBookmarksWithAtomsInRange(text, Range{0, 5});
    EXPECT_FALSE(bookmarkCharacterRanges(text));
    EXPECT_EQ(atomCharacterRanges(text), (std::vector<Range>{{4, 1}, {10, 1}}));
    EXPECT_EQ(text.attribute(kForegroundColorAttributeName, 4), AttributeValue(Color::rgb(1, 0, 0)));

    MutableAttributedString shown;
    shown.append(attachmentString(OVBookmark::bookmark()->textAttachment()));
    setBookmarkControllerState({{}, [] { return true; }});
    replaceBookmarksWithAtoms(shown);
    EXPECT_TRUE(bookmarkCharacterRanges(shown));
}

TEST_F(BookmarkTextTest, CellsShowHideAndSaveWithoutIcons)
{
    MutableAttributedString text;
    auto attachment = OVBookmark::bookmark()->textAttachment();
    text.append(attachmentString(attachment));
    hideBookmarkCells(text);
    const auto cell = std::dynamic_pointer_cast<OVBookmarkCell>(attachment->attachmentCell());
    EXPECT_FALSE(cell->isVisible());
    EXPECT_EQ(attachment->fileWrapper()->icon().toString(), QStringLiteral("Atom"));
    showBookmarkCells(text);
    EXPECT_TRUE(cell->isVisible());
    prepareBookmarksForSaving(text);
    EXPECT_FALSE(attachment->fileWrapper()->icon().isValid());

    const auto bookmark = cell->bookmark();
    recreateBookmarkAttachments(text);
    const auto recreated = text.attribute(kAttachmentAttributeName, 0).attachment();
    EXPECT_NE(recreated, attachment);
    EXPECT_EQ(NSTextAttachmentOVBookmarkAdditions::bookmark(*recreated), bookmark);
}

TEST_F(BookmarkTextTest, UnknownActionLogsAndChangesNothing)
{
    LogCapture log;
    MutableAttributedString text;
    text.append(attachmentString(OVBookmark::bookmark()->textAttachment()));
    performAction(text, 7, Range{0, 1});
    EXPECT_EQ(log.lines(), QStringList{QStringLiteral("Unknown modificationAction")});
    EXPECT_EQ(text.length(), 1);
    performAction(text, RemoveAll, Range{0, 0});
    EXPECT_EQ(text.length(), 1);
}
